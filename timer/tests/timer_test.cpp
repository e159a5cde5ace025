#include "timer/ITimer.h"

#include <gtest/gtest.h>
#include <vector>

using namespace KoTimer;

namespace {

// Time stands still until the code under test sleeps or the test advances it.
class FakeClock : public IClock {
public:
    explicit FakeClock(uint32_t start = 1000) : t(start) {}
    uint32_t now() override { return t; }
    void sleep(uint32_t ms) override {
        t += ms;
        slept += ms;
    }
    uint32_t t;
    uint32_t slept = 0;
};

} // namespace

TEST(Timer, CountsFromCreationAndAcrossTickWrap) {
    auto clock = std::make_shared<FakeClock>(0xFFFFFF00u);
    auto timer = createTimer(clock);
    EXPECT_FALSE(timer->isStopped());
    clock->t += 0x200; // wraps past zero
    EXPECT_EQ(timer->get(), 0x200u);
}

TEST(Timer, SetWhileRunningKeepsCountingSetWhileStoppedHolds) {
    auto clock = std::make_shared<FakeClock>();
    auto timer = createTimer(clock);
    EXPECT_TRUE(timer->set(5000));
    EXPECT_EQ(timer->get(), 5000u);
    clock->t += 40;
    EXPECT_EQ(timer->get(), 5040u);

    EXPECT_TRUE(timer->stop());
    EXPECT_TRUE(timer->set(5000));
    clock->t += 40;
    EXPECT_TRUE(timer->isStopped());
    EXPECT_EQ(timer->get(), 5000u);
}

TEST(Timer, StopStartRules) {
    auto clock = std::make_shared<FakeClock>();
    auto timer = createTimer(clock);
    EXPECT_FALSE(timer->start()) << "start on a running timer";
    clock->t += 100;
    EXPECT_TRUE(timer->stop());
    clock->t += 50;
    EXPECT_FALSE(timer->stop()) << "second stop";
    EXPECT_EQ(timer->get(), 100u) << "second stop keeps the first held value";

    EXPECT_TRUE(timer->start());
    clock->t += 25;
    EXPECT_EQ(timer->get(), 125u) << "resumes from the held value";

    EXPECT_TRUE(timer->stop());
    EXPECT_TRUE(timer->reset());
    EXPECT_TRUE(timer->isStopped()) << "reset keeps a stopped timer stopped";
    clock->t += 10;
    EXPECT_EQ(timer->get(), 0u);
}

TEST(Fps, SixtyFramesEndOnTheRoundedSchedule) {
    auto clock = std::make_shared<FakeClock>();
    const uint32_t start = clock->t;
    auto fps = createFps(60, clock);
    std::vector<uint32_t> ends;
    for (int i = 0; i < 60; ++i) {
        EXPECT_FALSE(fps->wait()) << "frame " << i << " was not late";
        ends.push_back(clock->t - start);
    }
    EXPECT_EQ(ends[0], 17u);
    EXPECT_EQ(ends[1], 33u);
    EXPECT_EQ(ends[2], 50u);
    EXPECT_EQ(ends[3], 67u);
    EXPECT_EQ(ends[29], 500u);
    EXPECT_EQ(ends[59], 1000u);

    // The sixtieth wait began a new cycle at its end.
    fps->wait();
    EXPECT_EQ(clock->t - start, 1017u);
}

TEST(Fps, StallRestartsTheCycleWithoutCatchingUp) {
    auto clock = std::make_shared<FakeClock>();
    auto fps = createFps(60, clock);
    fps->wait(); // 17
    fps->wait(); // 33
    clock->t += 300;
    const uint32_t stalledAt = clock->t;
    EXPECT_FALSE(fps->wait()) << "after a reset the frame is not late";
    EXPECT_EQ(clock->t - stalledAt, 17u);
}

TEST(Fps, LateFrameReturnsTrueWithoutSleeping) {
    auto clock = std::make_shared<FakeClock>();
    auto fps = createFps(60, clock);
    clock->t += 30; // due at 17, not a stall (30 <= 0 + 200)
    clock->slept = 0;
    EXPECT_TRUE(fps->wait());
    EXPECT_EQ(clock->slept, 0u);
}

TEST(Fps, SetFpsRestartsOnlyOnChangeAndZeroNeverWaits) {
    auto clock = std::make_shared<FakeClock>();
    auto fps = createFps(60, clock);
    const uint32_t start = clock->t;
    fps->wait(); // 17
    clock->t += 5;
    EXPECT_TRUE(fps->setFps(60));
    fps->wait();
    EXPECT_EQ(clock->t - start, 33u) << "same target keeps the cycle";

    EXPECT_TRUE(fps->setFps(10));
    EXPECT_EQ(fps->getFps(), 10u);
    const uint32_t restart = clock->t;
    fps->wait();
    EXPECT_EQ(clock->t - restart, 100u) << "a new target restarts the cycle";

    EXPECT_TRUE(fps->setFps(0));
    clock->slept = 0;
    EXPECT_FALSE(fps->wait());
    EXPECT_EQ(clock->slept, 0u);
}

TEST(Fps, SystemClockPacesRealTime) {
    auto clock = systemClock();
    auto fps = createFps(100, clock);
    const uint32_t t0 = clock->now();
    for (int i = 0; i < 5; ++i) fps->wait();
    EXPECT_GE(clock->now() - t0, 49u);
}

// The clock of reproducible runs: time moves only by the keeper's sleeps, so sixty frames at
// 60 fps take exactly one second of it and a timer on it reads whole frames.
TEST(ManualClock, FramesAdvanceItByTheKeepersSchedule) {
    auto clock = manualClock(500);
    auto fps = createFps(60, clock);
    auto timer = createTimer(clock);
    fps->wait();
    EXPECT_EQ(clock->now(), 517u);
    fps->wait();
    EXPECT_EQ(clock->now(), 533u);
    for (int i = 2; i < 60; ++i) fps->wait();
    EXPECT_EQ(clock->now(), 1500u);
    EXPECT_EQ(timer->get(), 1000u);
}
