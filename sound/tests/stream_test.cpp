// Stream sound data: PCM pushed while it plays (a video's sound track), read by the engine,
// with the media time of every frame the output reaches.
#include "sound/StreamSoundData.h"
#include "sound/al/AlEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace KoSound;

namespace {

std::vector<int16_t> ramp(uint32_t frames, uint32_t channels, int16_t from) {
    std::vector<int16_t> s(size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c) s[size_t(i) * channels + c] = int16_t(from + i);
    return s;
}

std::vector<int16_t> readFrames(StreamSoundData& d, uint32_t frames, uint32_t channels,
                                uint32_t* got = nullptr) {
    std::vector<int16_t> out(size_t(frames) * channels, -1);
    uint32_t bytes = d.read(out.data(), frames * channels * 2);
    if (got) *got = bytes / (channels * 2);
    return out;
}

TEST(StreamSoundData, ReadsAcrossPushedBlocksAndKnowsEveryFramesTime) {
    StreamSoundData d(2, 1000);
    auto a = ramp(100, 2, 0), b = ramp(50, 2, 1000);
    d.push(a.data(), 100, 5.0);
    d.push(b.data(), 50, 7.0); // a jump in the track (a gap in the file)
    EXPECT_NEAR(d.queuedSeconds(), 0.15, 1e-9);
    auto out = readFrames(d, 120, 2);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[99 * 2 + 1], 99);
    EXPECT_EQ(out[100 * 2], 1000);
    EXPECT_EQ(out[119 * 2], 1019);
    EXPECT_EQ(d.tell(), 120u);
    EXPECT_DOUBLE_EQ(d.timeAt(0), 5.0);
    EXPECT_DOUBLE_EQ(d.timeAt(40), 5.04);
    EXPECT_DOUBLE_EQ(d.timeAt(100), 7.0);
    EXPECT_DOUBLE_EQ(d.timeAt(110), 7.01);
    EXPECT_NEAR(d.queuedSeconds(), 0.03, 1e-9);
}

TEST(StreamSoundData, RunningDryPlaysSilenceOfNoKnownTimeUntilTheEnd) {
    StreamSoundData d(1, 1000);
    auto a = ramp(10, 1, 1);
    d.push(a.data(), 10, 2.0);
    uint32_t got = 0;
    auto out = readFrames(d, 30, 1, &got);
    EXPECT_EQ(got, 30u) << "the output keeps running";
    EXPECT_EQ(out[9], 10);
    EXPECT_EQ(out[10], 0);
    EXPECT_EQ(out[29], 0);
    EXPECT_DOUBLE_EQ(d.timeAt(9), 2.009);
    EXPECT_TRUE(std::isnan(d.timeAt(10)));
    EXPECT_TRUE(std::isnan(d.timeAt(29)));
    d.push(a.data(), 10, 2.01);
    readFrames(d, 5, 1);
    EXPECT_DOUBLE_EQ(d.timeAt(32), 2.012) << "known again once data flows";
    d.endOfData();
    readFrames(d, 100, 1, &got);
    EXPECT_EQ(got, 5u) << "the rest, then no filler after the end";
    readFrames(d, 100, 1, &got);
    EXPECT_EQ(got, 0u);
}

TEST(StreamSoundData, FlushDropsTheQueueAndSeekRenumbers) {
    StreamSoundData d(1, 1000);
    auto a = ramp(100, 1, 1);
    d.push(a.data(), 100, 0.0);
    d.endOfData();
    d.flush();
    EXPECT_EQ(d.queuedSeconds(), 0.0);
    d.push(a.data(), 100, 3.0);
    EXPECT_TRUE(d.seek(0));
    uint32_t got = 0;
    auto out = readFrames(d, 10, 1, &got);
    EXPECT_EQ(got, 10u) << "the end was forgotten with the flush";
    EXPECT_EQ(out[0], 1);
    EXPECT_DOUBLE_EQ(d.timeAt(5), 3.005);
    EXPECT_TRUE(d.seek(0));
    EXPECT_TRUE(std::isnan(d.timeAt(5))) << "times of an earlier play are gone";
    EXPECT_EQ(d.tell(), 0u);
}

TEST(StreamSoundData, AnOutputThatNeverReadsKeepsOnlyTheNewest) {
    StreamSoundData d(1, 1000, 0.5);
    auto a = ramp(100, 1, 0);
    for (int i = 0; i < 20; ++i) d.push(a.data(), 100, i * 0.1);
    EXPECT_LE(d.queuedSeconds(), 0.5);
    readFrames(d, 1, 1);
    EXPECT_GE(d.timeAt(0), 1.4);
    EXPECT_EQ(d.reopen(), nullptr);
    EXPECT_EQ(d.read(nullptr, 1), 0u) << "less than one frame";
}

TEST(StreamSoundData, TheEngineReportsTheTimeBeingHeard) {
    auto engine = Al::AlEngine::createLoopback(44100);
    ASSERT_TRUE(engine);
    auto d = std::make_shared<StreamSoundData>(1, 44100);
    std::vector<int16_t> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t(8000 * std::sin(i * 0.06));
    d->push(tone.data(), 44100, 10.0);
    auto buffer = engine->createBuffer(d);
    ASSERT_TRUE(buffer);
    ASSERT_TRUE(buffer->play(0));
    std::vector<float> mix(2 * 4410);
    ASSERT_TRUE(engine->render(mix.data(), 4410));
    ASSERT_TRUE(engine->render(mix.data(), 4410));
    float peak = 0;
    for (float f : mix) peak = std::max(peak, std::abs(f));
    EXPECT_GT(peak, 0.1f);
    double heard = d->timeAt(buffer->getPosition());
    EXPECT_NEAR(heard, 10.2, 0.03) << "two tenths of a second mixed";
    engine->shutdown();
}

} // namespace
