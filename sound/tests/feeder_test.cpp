// The real engine with its feeder thread on OpenAL Soft's null device (silent, real time):
// every script-side call hammered against the feeder's refills; and the clock-driven silent
// engine used when there is no device.
#include "sound/Context.h"
#include "sound/NullEngine.h"
#include "sound/Sound.h"
#include "sound/al/AlEngine.h"
#include "sound/ogg/OggSoundLoader.h"
#include "sound/tests/TestSounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

using namespace KoSound;
using namespace KoTest;

namespace {

std::shared_ptr<Al::AlEngine> nullDeviceEngine() {
    setenv("ALSOFT_DRIVERS", "null", 1);
    return Al::AlEngine::create();
}

std::vector<SoundDataPtr> testData() {
    std::vector<SoundDataPtr> data;
    data.push_back(WavSoundLoader().load(
        fileData(makeWav(pcm16(30000, 2, [](uint32_t i) { return int(i % 2000) * 8; })))));
    data.push_back(WavSoundLoader().load(
        fileData(makeWav({0x80, 0x90, 0xA0, 0x90, 0x80, 0x70, 0x60}, {1, 1, 11025, 8}))));
    for (auto name : {"tone-mono-22050.ogg", "tone-stereo-44100.ogg", "short-stereo-48000.ogg"})
        data.push_back(Ogg::SoundLoader().load(fileData(readFile(dataPath(name)))));
    for (auto& d : data) EXPECT_TRUE(d);
    return data;
}

// Plays, stops, seeks, pauses, changes volume and speed and drops buffers from this thread
// as fast as it can while the feeder refills the same buffers. Run under the sanitizers.
TEST(Feeder, ScriptCallsRaceTheFeederSafely) {
    auto engine = nullDeviceEngine();
    if (!engine) GTEST_SKIP() << "OpenAL Soft's null device did not open";
    auto data = testData();
    std::mt19937 rng(7);
    std::vector<BufferPtr> buffers(24);
    // At least 1.5 s and 2000 calls; a loaded machine gets more time, up to a limit.
    auto start = std::chrono::steady_clock::now();
    auto least = start + std::chrono::milliseconds(1500), most = start + std::chrono::seconds(20);
    int operations = 0;
    for (auto now = start; (now < least || operations < 2000) && now < most;
         now = std::chrono::steady_clock::now()) {
        auto& b = buffers[rng() % buffers.size()];
        if (!b) {
            b = engine->createBuffer(data[rng() % data.size()]->reopen());
            ASSERT_TRUE(b);
            continue;
        }
        uint32_t length = b->getLength();
        switch (rng() % 11) {
        case 0:
            b->play(rng() % (length + 10));
            break;
        case 1:
            b->loop(rng() % length, int32_t(rng() % 3), rng() % length);
            break;
        case 2:
            b->stop();
            break;
        case 3:
            b->setPosition(rng() % (length + 10));
            break;
        case 4:
            b->pause();
            break;
        case 5:
            b->restart();
            break;
        case 6:
            b->setVolume(float(rng() % 100) / 99.0f);
            break;
        case 7:
            b->setSpeed(0.25f + float(rng() % 100) / 60.0f);
            break;
        case 8:
            EXPECT_LE(b->getPosition(), length);
            break;
        case 9:
            b.reset();
            break; // dropped while blocks may still be queued
        case 10:
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
            break;
        }
        ++operations;
    }
    EXPECT_GT(operations, 500);
    // Sounds still end on their own while the thread runs.
    auto s = Sound::create(engine, data[4]);
    auto c = s->play(0);
    ASSERT_TRUE(c);
    for (int i = 0; i < 200 && !c->isInvalid(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(c->isInvalid()); // 0.1 s of sound is over within a second
    engine->shutdown();
    for (auto& b : buffers) {
        if (b) {
            EXPECT_FALSE(b->isPlaying());
        }
    }
}

TEST(Feeder, PositionAdvancesInRealTime) {
    auto engine = nullDeviceEngine();
    if (!engine) GTEST_SKIP() << "OpenAL Soft's null device did not open";
    auto data = testData();
    auto b = engine->createBuffer(data[3]->reopen()); // 0.5 s at 44100
    ASSERT_TRUE(b);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(b->play(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    uint32_t p = b->getPosition();
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // Ahead of the clock by no more than the mixer's buffer (it mixes a period at once),
    // behind it by no more than the start latency (generous: the machine may be loaded).
    EXPECT_LE(p, uint32_t(elapsed * 44100) + 3 * 1024);
    EXPECT_GE(p, uint32_t(std::max(0.0, elapsed - 0.15) * 44100));
    EXPECT_TRUE(b->setPosition(22000));
    EXPECT_GE(b->getPosition(), 22000u);
    for (int i = 0; i < 400 && b->isPlaying(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(b->isPlaying()); // 50 frames were left
    EXPECT_EQ(b->getPosition(), 22050u);
}

TEST(NullEngine, PositionsFollowTheClock) {
    double now = 0;
    auto engine = std::make_shared<NullEngine>([&] { return now; });
    auto data = WavSoundLoader().load(
        fileData(makeWav(pcm16(1000, 1, [](uint32_t) { return 0; }), {1, 1, 1000})));
    auto s = Sound::create(engine, data);
    auto c = s->play(0);
    ASSERT_TRUE(c);
    now = 0.5;
    EXPECT_TRUE(c->isPlaying());
    EXPECT_TRUE(c->setSpeed(2.0f));
    now = 0.74; // 500 + 240 × 2 frames
    EXPECT_FALSE(c->isInvalid());
    now = 0.76;
    EXPECT_TRUE(c->isInvalid());

    auto l = s->loop(0, 1, 600); // 1000 frames, then 400 more
    now += 1.2;
    EXPECT_FALSE(l->isInvalid());
    now += 0.25;
    EXPECT_TRUE(l->isInvalid());

    auto p = s->play(0);
    now += 0.5;
    p->pause();
    now += 10;
    EXPECT_TRUE(p->isPaused());
    EXPECT_FALSE(p->isInvalid());
    p->restart();
    now += 0.49;
    EXPECT_FALSE(p->isInvalid());
    now += 0.02;
    EXPECT_TRUE(p->isInvalid());

    auto forever = s->loop(0, 0, 999);
    now += 1e6;
    EXPECT_TRUE(forever->isPlaying());
    engine->shutdown();
    EXPECT_TRUE(forever->isInvalid());
    EXPECT_FALSE(s->play(0));
}

} // namespace

// The device opens later: on a worker once asked, or on the first call that needs it. A sound
// made and played before it is ready waits for it and plays; a failed open leaves the silent
// engine; shutting down before any open opens nothing.
TEST(DeferredEngine, OpensOnlyWhenAskedAndASoundMadeMeanwhilePlays) {
    std::atomic<bool> gate{false}, opened{false};
    std::atomic<std::thread::id> opener{};
    auto engine = std::make_shared<DeferredEngine>([&]() -> EnginePtr {
        opener = std::this_thread::get_id();
        while (!gate) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        opened = true;
        return nullDeviceEngine();
    });
    auto data = Ogg::SoundLoader().load(fileData(readFile(dataPath("tone-mono-22050.ogg"))));
    ASSERT_TRUE(data);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(opener.load(), std::thread::id{}); // nothing started by itself
    engine->startOpening();
    engine->startOpening(); // once
    gate = true;
    auto s = Sound::create(engine, data);
    ASSERT_TRUE(s);
    auto c = s->play(0);
    ASSERT_TRUE(c);
    EXPECT_TRUE(opened);
    EXPECT_NE(opener.load(), std::this_thread::get_id()); // made on the worker
    EXPECT_TRUE(c->isPlaying());
    auto b = engine->createBuffer(data->reopen());
    ASSERT_TRUE(b);
    ASSERT_TRUE(b->play(0));
    for (int i = 0; i < 400 && b->getPosition() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(b->getPosition(), 0u); // the device is heard, not just accepted
    engine->shutdown();
    EXPECT_TRUE(c->isInvalid());
    EXPECT_FALSE(engine->createBuffer(data->reopen()));
}

TEST(DeferredEngine, FirstUseOpensOnTheCallersThread) {
    std::thread::id opener{};
    DeferredEngine engine([&]() -> EnginePtr {
        opener = std::this_thread::get_id();
        return nullDeviceEngine();
    });
    auto data = WavSoundLoader().load(
        fileData(makeWav(pcm16(1000, 1, [](uint32_t) { return 0; }), {1, 1, 1000})));
    EXPECT_TRUE(engine.createBuffer(data));
    EXPECT_EQ(opener, std::this_thread::get_id());
    engine.startOpening(); // too late: nothing more happens
    EXPECT_TRUE(engine.createBuffer(data->reopen()));
}

TEST(DeferredEngine, FailedOpenFallsBackToSilenceAndEarlyShutdownOpensNothing) {
    auto data = WavSoundLoader().load(
        fileData(makeWav(pcm16(1000, 1, [](uint32_t) { return 0; }), {1, 1, 1000})));
    EXPECT_TRUE(DeferredEngine([]() -> EnginePtr { return nullptr; }).createBuffer(data));
    EXPECT_TRUE(DeferredEngine(nullptr).createBuffer(data));

    bool opened = false;
    {
        DeferredEngine unused([&]() -> EnginePtr {
            opened = true;
            return nullDeviceEngine();
        });
        unused.shutdown();
        EXPECT_FALSE(unused.createBuffer(data));
    }
    EXPECT_FALSE(opened);

    // Dropped while the worker still opens: the destructor waits for it and closes the device.
    std::atomic<bool> slowOpened{false};
    {
        DeferredEngine slow([&]() -> EnginePtr {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            slowOpened = true;
            return nullDeviceEngine();
        });
        slow.startOpening();
    }
    EXPECT_TRUE(slowOpened);
}
