#pragma once
// Graphics.Video: videos that scripts play and draw like images, their sound sent to the
// sound engine of the Audio library.
#include "timer/Clock.h"

#include <squirrel.h>

#include <memory>

namespace KoGraphics {
class Context;
class IImage;
class IVideoSoundOutput;
} // namespace KoGraphics

namespace KoScript {

// Adds the Video class to the table at tableIdx. Videos register their per-frame update with
// the context (held weakly: the Graphics library owns it). With a clock, videos keep its time
// instead of real time (a counted run's).
void registerVideo(HSQUIRRELVM v, SQInteger tableIdx,
                   const std::shared_ptr<KoGraphics::Context>& context,
                   std::shared_ptr<KoTimer::IClock> clock = nullptr);
// The image of the Graphics.Video instance at idx; null when the value is not one.
std::shared_ptr<KoGraphics::IImage> videoImageAt(HSQUIRRELVM v, SQInteger idx);
// Video sound through the engine of the sound context that exists when a video opens.
std::shared_ptr<KoGraphics::IVideoSoundOutput> createEngineSoundOutput();

} // namespace KoScript
