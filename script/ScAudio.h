#pragma once
#include "script/Library.h"
#include "timer/Clock.h"

#include <memory>

namespace KoScript {

// The Audio table: Sound, Group and Channel over the sound engine. Loading starts the engine
// (silent when there is no device); the end of every frame steps the fades and delayed stops;
// unloading releases the engine.
class AudioLibrary final : public Library {
public:
    AudioLibrary() = default;
    // Sounds play silently on `clock` instead of the device: a counted run, whose frames take
    // no real time, then hears its sounds end after the same number of frames on any machine.
    explicit AudioLibrary(std::shared_ptr<KoTimer::IClock> clock) : clock_(std::move(clock)) {}
    bool load(HSQUIRRELVM v) override;
    void unload(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;

private:
    std::shared_ptr<KoTimer::IClock> clock_;
};

} // namespace KoScript
