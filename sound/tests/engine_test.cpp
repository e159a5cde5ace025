// Sounds, groups and channels played through OpenAL Soft's loopback device, mixed exactly and
// faster than real time: levels through nested groups, speed, fades and delayed stops stepped
// frame by frame, loops with a loop start, several channels of one sound, pause.
#include "sound/Callback.h"
#include "sound/Sound.h"
#include "sound/al/AlEngine.h"
#include "sound/tests/TestSounds.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace KoSound;
using namespace KoTest;

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrame = kRate / 60; // one frame of the frame cycle

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        engine = Al::AlEngine::createLoopback(kRate);
        ASSERT_TRUE(engine) << "no loopback device";
    }
    void TearDown() override {
        if (engine) engine->shutdown();
    }

    // A stereo 16-bit sound whose frame i holds value(i) in both channels.
    template <class F>
    std::shared_ptr<Sound> sound(uint32_t frames, F value, uint32_t rate = kRate) {
        auto d = WavSoundLoader().load(fileData(makeWav(pcm16(frames, 2, value), {1, 2, rate})));
        return Sound::create(engine, d);
    }
    std::shared_ptr<Sound> level(uint32_t frames, int value = 16384) {
        return sound(frames, [=](uint32_t) { return value; });
    }
    // Left channel of the next n mixed frames.
    std::vector<float> render(uint32_t n) {
        std::vector<float> lr(size_t(n) * 2);
        EXPECT_TRUE(engine->render(lr.data(), n));
        std::vector<float> left(n);
        for (uint32_t i = 0; i < n; ++i) left[i] = lr[2 * i];
        return left;
    }
    float lastLevel(uint32_t n = kFrame) { return render(n).back(); }
    // Number of frames rendered (in steps of `step`) until silence.
    uint32_t heardFrames(uint32_t limit) {
        uint32_t heard = 0;
        auto out = render(limit);
        for (uint32_t i = 0; i < limit; ++i)
            if (out[i] != 0.0f) heard = i + 1;
        return heard;
    }

    std::shared_ptr<Al::AlEngine> engine;
};

TEST_F(Loopback, VolumeMultipliesThroughNestedGroups) {
    auto s = level(kRate * 2);
    auto outer = Group::create();
    auto inner = Group::create();
    ASSERT_TRUE(outer->addMember(inner));
    ASSERT_TRUE(inner->addMember(s));
    ASSERT_TRUE(s->setVolume(0.5f));
    ASSERT_TRUE(inner->setVolume(0.5f));
    ASSERT_TRUE(outer->setVolume(0.8f));
    auto c = s->play(0);
    ASSERT_TRUE(c);
    EXPECT_NEAR(lastLevel(), 0.5f * 0.2f, 1e-4);
    // A change anywhere above reaches the playing channel at once.
    ASSERT_TRUE(outer->setVolume(0.4f));
    EXPECT_NEAR(lastLevel(), 0.5f * 0.1f, 1e-4);
    ASSERT_TRUE(c->setVolume(0.5f));
    EXPECT_NEAR(lastLevel(), 0.5f * 0.05f, 1e-4);
    EXPECT_FALSE(c->setVolume(1.5f));
    EXPECT_FALSE(s->setVolume(-0.1f));
    EXPECT_NEAR(lastLevel(), 0.5f * 0.05f, 1e-4);
    // Leaving the group keeps the factors; joining another takes its chain.
    auto other = Group::create();
    other->setVolume(1.0f);
    ASSERT_TRUE(other->addMember(s));
    EXPECT_EQ(inner->getMembers().size(), 0u);
    EXPECT_NEAR(lastLevel(), 0.5f * 0.5f * 0.5f, 1e-4);
    // A group cannot join itself or a group below it.
    EXPECT_FALSE(inner->addMember(outer));
    EXPECT_FALSE(outer->addMember(outer));
}

TEST_F(Loopback, SpeedShortensTheSoundAndRefusedRatiosKeepThePrevious) {
    auto s = level(kRate / 2);
    ASSERT_TRUE(s->setSpeed(2.0f));
    ASSERT_TRUE(s->play(0));
    EXPECT_NEAR(double(heardFrames(kRate)), kRate / 4, 64);
    EXPECT_FALSE(s->isPlaying());

    // 2.0 in a group at 2.0 would be 4.0: refused, the buffer plays at its default ratio.
    auto g = Group::create();
    ASSERT_TRUE(g->setSpeed(2.0f));
    ASSERT_TRUE(g->addMember(s));
    ASSERT_TRUE(s->play(0));
    EXPECT_NEAR(double(heardFrames(kRate)), kRate / 2, 64);

    g->setSpeed(0.5f); // 2.0 × 0.5: normal speed
    auto c = s->play(0);
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->setSpeed(0.4f));
    EXPECT_FALSE(c->setSpeed(2.5f));
    ASSERT_TRUE(c->setSpeed(0.5f)); // half speed: twice as long
    EXPECT_NEAR(double(heardFrames(kRate + kRate / 2)), kRate, 64);
}

TEST_F(Loopback, FadeReachesItsEndOnTheFrameCounted) {
    auto s = level(kRate * 4);
    ASSERT_TRUE(s->play(0));
    CallbackList callbacks;
    ASSERT_TRUE(callbacks.fade(std::static_pointer_cast<ISound>(s), 60, 0.0f));
    for (int frame = 1; frame <= 61; ++frame) {
        callbacks.update();
        float expected = 0.5f * (1.0f - float(frame - 1) / 60.0f);
        ASSERT_NEAR(lastLevel(), expected, 1e-4) << "frame " << frame;
    }
    EXPECT_EQ(s->getVolume(), 0.0f);
    EXPECT_EQ(callbacks.size(), 1u);
    callbacks.update(); // sets the end once more and finishes
    EXPECT_EQ(callbacks.size(), 1u);
    callbacks.update(); // removed two frames after reaching the end
    EXPECT_EQ(callbacks.size(), 0u);
    EXPECT_TRUE(s->isPlaying()); // a fade alone does not stop

    // A fade over 0 frames leaves the volume at its first step and sets the end at its second.
    s->setVolume(1.0f);
    callbacks.fade(std::static_pointer_cast<ISound>(s), 0, 0.25f);
    callbacks.update();
    EXPECT_EQ(s->getVolume(), 1.0f);
    callbacks.update();
    EXPECT_EQ(s->getVolume(), 0.25f);

    // A target that stops jumps to the end volume at the next step.
    callbacks.fade(std::static_pointer_cast<ISound>(s), 100, 0.25f, 0.75f);
    callbacks.update();
    s->stop();
    callbacks.update();
    EXPECT_EQ(s->getVolume(), 0.75f);
}

TEST_F(Loopback, DelayedStopEndsTheSoundAfterItsFrames) {
    auto s = level(kRate * 4);
    auto c = s->play(0);
    ASSERT_TRUE(c);
    CallbackList callbacks;
    ASSERT_TRUE(callbacks.fadeOut(c, 30));
    for (int frame = 1; frame <= 30; ++frame) {
        callbacks.update();
        render(kFrame);
        ASSERT_TRUE(c->isPlaying()) << frame;
    }
    callbacks.update(); // the 31st step stops it
    EXPECT_FALSE(c->isPlaying());
    EXPECT_TRUE(c->isInvalid());
    EXPECT_EQ(lastLevel(), 0.0f);
    EXPECT_FALSE(s->isPlaying());
    // The channel's own volume went to 0 with the fade; the sound's did not.
    EXPECT_EQ(s->getVolume(), 1.0f);
    EXPECT_FALSE(callbacks.fadeOut(ChannelPtr(), 5));
}

TEST_F(Loopback, LoopsRepeatFromTheLoopStart) {
    constexpr uint32_t n = 3000, loopStart = 1000;
    auto s = sound(n, [](uint32_t i) { return int(i) + 1; });
    ASSERT_TRUE(s->loop(0, 2, loopStart));
    auto out = render(n * 3);
    std::vector<uint32_t> frames;
    for (float f : out)
        if (f != 0.0f) frames.push_back(uint32_t(std::lround(f * 32768.0f)) - 1);
    ASSERT_EQ(frames.size(), size_t(n + 2 * (n - loopStart)));
    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(frames[i], i);
    for (uint32_t k = 0; k < 2; ++k)
        for (uint32_t i = 0; i < n - loopStart; ++i)
            ASSERT_EQ(frames[n + k * (n - loopStart) + i], loopStart + i) << k << " " << i;
    EXPECT_FALSE(s->isPlaying());

    // Count 0 repeats for ever; a loop start at the length is refused.
    auto c = s->loop(0, 0, 2999);
    ASSERT_TRUE(c);
    render(n * 4);
    EXPECT_TRUE(c->isPlaying());
    EXPECT_FALSE(s->loop(0, 1, n));
    EXPECT_FALSE(s->play(n));
}

TEST_F(Loopback, ThreeChannelsOfOneSoundPlayIndependently) {
    auto s = level(kRate, 8192);
    auto a = s->play(0), b = s->play(0), c = s->play(kRate / 2);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(s->channelCount(), 3u);
    EXPECT_NEAR(lastLevel(), 3 * 0.25f, 1e-4);
    ASSERT_TRUE(b->stop());
    EXPECT_NEAR(lastLevel(), 2 * 0.25f, 1e-4);
    render(kRate / 2); // c (started half-way) ends; a plays on
    EXPECT_TRUE(c->isInvalid());
    EXPECT_FALSE(a->isInvalid());
    s->pause(); // prunes the ended channels
    EXPECT_EQ(s->channelCount(), 1u);
    s->restart();
    ASSERT_TRUE(s->stop());
    EXPECT_TRUE(a->isInvalid());
    EXPECT_EQ(lastLevel(), 0.0f);
    EXPECT_FALSE(a->stop()); // an invalid channel refuses everything
    EXPECT_FALSE(a->setVolume(0.5f));
}

TEST_F(Loopback, APausedChannelStaysValidAndResumesWhereItWas) {
    constexpr uint32_t n = kRate;
    auto s = sound(n, [](uint32_t i) { return int(i % 30000) + 1; });
    auto c = s->play(0);
    ASSERT_TRUE(c);
    render(1000);
    ASSERT_TRUE(c->pause());
    auto silent = render(kRate); // a second paused
    EXPECT_EQ(silent.back(), 0.0f);
    EXPECT_FALSE(c->isInvalid());
    EXPECT_TRUE(c->isPlaying());
    EXPECT_TRUE(c->isPaused());
    EXPECT_TRUE(s->isPaused());
    ASSERT_TRUE(c->restart());
    auto out = render(10);
    uint32_t resumedAt = uint32_t(std::lround(out[0] * 32768.0f)) - 1;
    EXPECT_NEAR(double(resumedAt), 1000, 300); // within the pause's mixing step
    EXPECT_FALSE(c->isPaused());
    EXPECT_FALSE(c->restart()); // not paused
}

TEST_F(Loopback, GroupChannelsAndEndedChannels) {
    auto g = Group::create();
    EXPECT_FALSE(g->play(0)); // no members
    EXPECT_EQ(g->getLength(), 0u);
    auto a = level(1000), b = level(3000);
    ASSERT_TRUE(g->addMember(a));
    ASSERT_TRUE(g->addMember(b));
    EXPECT_EQ(g->getLength(), 3000u);
    auto m = g->play(0);
    ASSERT_TRUE(m);
    EXPECT_NEAR(lastLevel(100), 1.0f, 1e-4);
    EXPECT_FALSE(m->setSpeed(1.5f)); // a group's channel takes at most 1.0
    EXPECT_TRUE(m->setSpeed(1.0f));
    render(2000);
    EXPECT_FALSE(m->isInvalid()); // b still plays
    render(2000);
    EXPECT_TRUE(m->isInvalid());
    EXPECT_FALSE(g->play(3000)); // beyond both lengths
    // Membership is weak: a dropped sound leaves.
    b.reset();
    EXPECT_EQ(g->getMembers().size(), 1u);
    EXPECT_EQ(g->getLength(), 1000u);
}

TEST_F(Loopback, MonoPlaysAtFullLevelOnBothSides) {
    for (uint16_t bits : {uint16_t(8), uint16_t(16)}) {
        Bytes pcm = bits == 16 ? pcm16(kRate, 1, [](uint32_t i) { return i % 2 ? 8192 : 16384; })
                               : Bytes(kRate, 0xC0); // 8-bit unsigned: 0xC0 is half scale
        auto d = WavSoundLoader().load(fileData(makeWav(pcm, {1, 1, kRate, bits})));
        auto s = Sound::create(engine, d);
        ASSERT_TRUE(s->play(0));
        std::vector<float> lr(2 * 1000);
        ASSERT_TRUE(engine->render(lr.data(), 1000));
        EXPECT_EQ(lr[1998], lr[1999]) << bits;
        if (bits == 16) {
            EXPECT_NEAR(lr[1998], 0.25f, 1e-5); // frame 999 is odd
            EXPECT_NEAR(lr[1996], 0.5f, 1e-5);
        } else {
            EXPECT_NEAR(lr[1998], 0.5f, 1e-2);
        }
        s->stop();
    }
}

TEST_F(Loopback, ADroppedSoundStopsAndItsBuffersGo) {
    auto s = level(kRate);
    auto c = s->play(0);
    ASSERT_TRUE(c);
    render(100);
    s.reset();
    EXPECT_TRUE(c->isInvalid());
    c.reset();
    render(100);
    EXPECT_EQ(engine->bufferCount(), 0u);
    EXPECT_EQ(lastLevel(100), 0.0f);
}

TEST_F(Loopback, ShutdownReleasesBuffersStillHeld) {
    auto s = level(kRate);
    auto c = s->play(0);
    ASSERT_TRUE(c);
    engine->shutdown();
    EXPECT_TRUE(c->isInvalid());
    EXPECT_FALSE(s->play(0)); // no buffers after shutdown
    EXPECT_FALSE(c->setVolume(0.5f));
}

} // namespace
