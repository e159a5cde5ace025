#pragma once
#include "Clock.h"
#include <cstdint>
#include <memory>

namespace KoTimer {

// Millisecond stopwatch.
class ITimer {
public:
    virtual ~ITimer() = default;
    virtual bool isStopped() = 0;
    virtual bool set(uint32_t ms) = 0;
    virtual uint32_t get() = 0;
    virtual bool start() = 0;
    virtual bool stop() = 0;
    virtual bool reset() = 0;
};

// Frame-rate keeper: wait() sleeps until the next frame of the cycle is due.
class IFps {
public:
    virtual ~IFps() = default;
    virtual bool setFps(uint32_t fps) = 0;
    virtual uint32_t getFps() = 0;
    virtual bool wait() = 0;
};

std::shared_ptr<ITimer> createTimer(std::shared_ptr<IClock> clock = systemClock());
std::shared_ptr<IFps> createFps(uint32_t fps, std::shared_ptr<IClock> clock = systemClock());

} // namespace KoTimer
