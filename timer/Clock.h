#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace KoTimer {

// Source of the millisecond tick count and of sleeping. Differences of tick
// counts are taken as unsigned 32-bit values, so the count may wrap.
class IClock {
public:
    virtual ~IClock() = default;
    virtual uint32_t now() = 0;
    virtual void sleep(uint32_t ms) = 0;
};

// The platform's monotonic clock, truncated to 32 bits.
std::shared_ptr<IClock> systemClock();

// A clock that moves only when slept on, at once: a run paced by it takes exactly the frame
// keeper's interval per frame however fast the machine is, so it is reproducible.
std::shared_ptr<IClock> manualClock(uint32_t start = 0);

// Seconds of `clock` since this call, never going back (the tick count may wrap), for the
// media players that keep time in seconds.
inline std::function<double()> secondsOf(std::shared_ptr<IClock> clock) {
    return [clock = std::move(clock), last = uint32_t(0), total = uint64_t(0),
            started = false]() mutable {
        uint32_t now = clock->now();
        if (started) total += uint32_t(now - last);
        started = true;
        last = now;
        return double(total) / 1000.0;
    };
}

} // namespace KoTimer
