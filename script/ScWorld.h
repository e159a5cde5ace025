#pragma once
// The 3D classes of the Graphics table: World, Actor, Camera, Effect3D.Fog and
// Canvas.drawWorld.
#include "script/bind/Bind.h"

#include <memory>

namespace KoGraphics {
class Context;
}

namespace KoScript {

// Adds the classes to the Graphics table at tableIdx and drawWorld to the already bound canvas
// class. Images for textures are instances of imageTag's or canvasTag's class. Empties the
// model cache, whose models belong to an earlier engine.
bool registerWorld(HSQUIRRELVM v, SQInteger tableIdx, std::shared_ptr<KoGraphics::Context> context,
                   const ClassTag& imageTag, const ClassTag& canvasTag);

} // namespace KoScript
