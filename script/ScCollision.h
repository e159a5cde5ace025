#pragma once
#include "script/Library.h"

namespace KoScript {

// The Collision table: integer points, segments, rectangles and circles, and
// Collision.intersects. No frame hooks, no built-in script.
class CollisionLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
};

} // namespace KoScript
