#pragma once
#include "ITimer.h"

namespace KoTimer::Core {

class Timer final : public ITimer {
public:
    explicit Timer(std::shared_ptr<IClock> clock);
    bool isStopped() override { return stopped_; }
    bool set(uint32_t ms) override;
    uint32_t get() override;
    bool start() override;
    bool stop() override;
    bool reset() override { return set(0); }

private:
    std::shared_ptr<IClock> clock_;
    uint32_t startTick_;
    uint32_t held_ = 0;
    bool stopped_ = false;
};

class Fps final : public IFps {
public:
    Fps(uint32_t fps, std::shared_ptr<IClock> clock);
    bool setFps(uint32_t fps) override;
    uint32_t getFps() override { return fps_; }
    bool wait() override;

private:
    // A frame later than this many milliseconds beyond the previous one restarts the cycle.
    static constexpr uint32_t kStallMs = 200;

    std::shared_ptr<IClock> clock_;
    uint32_t fps_;
    uint32_t counter_ = 0;
    uint32_t cycleStart_;
    uint32_t prevElapsed_ = 0;
};

} // namespace KoTimer::Core
