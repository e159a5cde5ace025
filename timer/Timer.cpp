#include "Timer.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace KoTimer {

namespace {
class SystemClock final : public IClock {
public:
    uint32_t now() override {
        using namespace std::chrono;
        auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        return static_cast<uint32_t>(ms);
    }
    void sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

class ManualClock final : public IClock {
public:
    explicit ManualClock(uint32_t start) : now_(start) {}
    uint32_t now() override { return now_; }
    void sleep(uint32_t ms) override { now_ += ms; }

private:
    uint32_t now_;
};
} // namespace

std::shared_ptr<IClock> manualClock(uint32_t start) {
    return std::make_shared<ManualClock>(start);
}

std::shared_ptr<IClock> systemClock() {
    static const auto clock = std::make_shared<SystemClock>();
    return clock;
}

std::shared_ptr<ITimer> createTimer(std::shared_ptr<IClock> clock) {
    return std::make_shared<Core::Timer>(std::move(clock));
}

std::shared_ptr<IFps> createFps(uint32_t fps, std::shared_ptr<IClock> clock) {
    return std::make_shared<Core::Fps>(fps, std::move(clock));
}

namespace Core {

Timer::Timer(std::shared_ptr<IClock> clock) : clock_(std::move(clock)), startTick_(clock_->now()) {}

bool Timer::set(uint32_t ms) {
    startTick_ = clock_->now() - ms;
    held_ = ms;
    return true;
}

uint32_t Timer::get() {
    return stopped_ ? held_ : clock_->now() - startTick_;
}

bool Timer::start() {
    if (!stopped_) return false;
    set(held_);
    stopped_ = false;
    return true;
}

bool Timer::stop() {
    if (stopped_) return false;
    held_ = get();
    stopped_ = true;
    return true;
}

Fps::Fps(uint32_t fps, std::shared_ptr<IClock> clock)
    : clock_(std::move(clock)), fps_(fps), cycleStart_(clock_->now()) {}

bool Fps::setFps(uint32_t fps) {
    if (fps != fps_) {
        fps_ = fps;
        counter_ = 0;
        cycleStart_ = clock_->now();
    }
    return true;
}

bool Fps::wait() {
    if (fps_ == 0) return false;
    uint32_t elapsed = clock_->now() - cycleStart_;
    if (elapsed > prevElapsed_ + kStallMs) {
        counter_ = 0;
        cycleStart_ = clock_->now();
        elapsed = 0;
    }
    // Due times count from the cycle start, so rounding never accumulates within a cycle.
    const double exact = 1000.0 / fps_ * (static_cast<double>(counter_) + 1.0);
    const auto due = static_cast<uint32_t>(std::floor(exact + 0.5));
    while (clock_->now() - cycleStart_ < due) clock_->sleep(1);

    const uint32_t before = counter_++;
    if (before >= fps_ - 1) {
        counter_ = 0;
        cycleStart_ = clock_->now();
    }
    prevElapsed_ = elapsed;
    return due < elapsed;
}

} // namespace Core
} // namespace KoTimer
