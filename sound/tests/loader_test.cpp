// WAV headers in the shapes found in the wild, refusals of damaged or foreign data, Ogg Vorbis
// formats and lengths, damaged Ogg data, and the mixed loader's order.
#include "sound/SoundData.h"
#include "sound/ogg/OggSoundLoader.h"
#include "sound/tests/TestSounds.h"

#include <gtest/gtest.h>

using namespace KoSound;
using namespace KoTest;

namespace {

SoundDataPtr loadWav(const Bytes& b) {
    return WavSoundLoader().load(fileData(b));
}

std::vector<int16_t> readAll16(ISoundData& d, uint32_t chunk = 1000) {
    std::vector<int16_t> out;
    std::vector<uint8_t> buf(chunk);
    while (uint32_t n = d.read(buf.data(), chunk)) {
        for (uint32_t i = 0; i + 1 < n; i += 2) out.push_back(int16_t(buf[i] | buf[i + 1] << 8));
    }
    return out;
}

TEST(WavLoader, ChunksAreWalkedWhateverTheirLayout) {
    auto pcm = pcm16(100, 2, [](uint32_t i) { return int(i) * 3 - 150; });
    for (uint32_t fmtSize : {16u, 18u, 40u}) {
        for (int lists = 0; lists < 4; ++lists) {
            WavShape s;
            s.fmtSize = fmtSize;
            s.listBefore = lists & 1;
            s.listAfter = lists & 2;
            auto d = loadWav(makeWav(pcm, s));
            ASSERT_TRUE(d) << fmtSize << " " << lists;
            EXPECT_EQ(d->getLength(), 100u);
            auto f = d->getFormat();
            EXPECT_EQ(f.channels, 2u);
            EXPECT_EQ(f.samplesPerSecond, 44100u);
            EXPECT_EQ(f.bitsPerSample, 16u);
            auto samples = readAll16(*d, 6); // reads of 6 bytes cut frames: whole frames only
            ASSERT_EQ(samples.size(), 200u);
            EXPECT_EQ(samples[0], -150);
            EXPECT_EQ(samples[199], 99 * 3 - 150); // the trailing chunk is not played
        }
    }
}

TEST(WavLoader, EightBitMonoAndSixteenBitStereoFrames) {
    Bytes pcm8 = {0x80, 0x81, 0x7F, 0xFF, 0x00};
    WavShape s;
    s.channels = 1;
    s.bits = 8;
    s.rate = 8000;
    auto d = loadWav(makeWav(pcm8, s)); // odd data size: the pad byte is skipped
    ASSERT_TRUE(d);
    EXPECT_EQ(d->getLength(), 5u);
    EXPECT_EQ(d->getFormat().bitsPerSample, 8u);
    uint8_t out[8] = {};
    EXPECT_EQ(d->read(out, 8), 5u);
    EXPECT_EQ(out[3], 0xFF);

    auto stereo = loadWav(makeWav(pcm16(10, 2, [](uint32_t i) { return int(i); })));
    ASSERT_TRUE(stereo);
    ASSERT_TRUE(stereo->seek(9));
    EXPECT_EQ(stereo->tell(), 9u);
    EXPECT_EQ(stereo->read(out, 8), 4u); // one 4-byte frame left
    EXPECT_FALSE(stereo->seek(10));      // at the length: refused, the position stays
    EXPECT_EQ(stereo->tell(), 10u);
    EXPECT_EQ(stereo->read(out, 8), 0u);
    EXPECT_EQ(stereo->read(nullptr, 8), 0u);
}

TEST(WavLoader, RefusesDamagedAndForeignHeaders) {
    auto pcm = pcm16(50, 2, [](uint32_t i) { return int(i); });
    auto good = makeWav(pcm);
    ASSERT_TRUE(loadWav(good));

    WavShape zeroChannels;
    zeroChannels.channels = 0;
    EXPECT_FALSE(loadWav(makeWav(pcm, zeroChannels)));
    WavShape pastEnd;
    pastEnd.dataSizeField = int64_t(pcm.size()) + 2;
    EXPECT_FALSE(loadWav(makeWav(pcm, pastEnd)));
    WavShape adpcm;
    adpcm.formatTag = 2;
    EXPECT_FALSE(loadWav(makeWav(pcm, adpcm)));
    WavShape floats;
    floats.formatTag = 3;
    floats.bits = 32;
    EXPECT_FALSE(loadWav(makeWav(pcm, floats)));
    WavShape bits24;
    bits24.bits = 24;
    EXPECT_FALSE(loadWav(makeWav(pcm, bits24)));
    WavShape zeroRate;
    zeroRate.rate = 0;
    EXPECT_FALSE(loadWav(makeWav(pcm, zeroRate)));
    WavShape shortFmt;
    shortFmt.fmtSize = 16;
    auto cut = makeWav(pcm, shortFmt);
    cut[16] = 12; // "fmt " claims 12 bytes: too short for a format
    EXPECT_FALSE(loadWav(cut));

    auto avi = good;
    std::memcpy(avi.data() + 8, "AVI ", 4);
    EXPECT_FALSE(loadWav(avi));
    auto noData = good;
    std::memcpy(noData.data() + 36, "junk", 4);
    EXPECT_FALSE(loadWav(noData));
    // Every truncation of a good file is refused or reads within its bytes; none crashes.
    for (size_t n = 0; n < good.size(); ++n) {
        auto d = loadWav(Bytes(good.begin(), good.begin() + n));
        if (d) readAll16(*d);
    }
    EXPECT_FALSE(WavSoundLoader().load(nullptr));
}

TEST(WavLoader, ReadersOfOneFileAreIndependent) {
    auto d = loadWav(makeWav(pcm16(20, 1, [](uint32_t i) { return int(i); }), {1, 1}));
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->seek(10));
    auto e = d->reopen();
    EXPECT_EQ(e->tell(), 0u);
    EXPECT_EQ(d->tell(), 10u);
    EXPECT_EQ(e->getFileData(), d->getFileData());
}

TEST(FileData, ReadsClampAtTheEnd) {
    MemoryFileData f({1, 2, 3, 4});
    uint8_t out[8] = {};
    EXPECT_EQ(f.read(out, 2, 8), 2u);
    EXPECT_EQ(out[1], 4);
    EXPECT_EQ(f.read(out, 4, 1), 0u);
    EXPECT_EQ(f.read(out, 0xFFFFFFF0u, 0x20), 0u); // no wrap of offset + count
    EXPECT_EQ(f.read(nullptr, 0, 1), 0u);
}

TEST(OggLoader, FormatsAndLengthsOfMonoAndStereo) {
    struct Case {
        const char* name;
        uint32_t channels, rate, frames;
    } cases[] = {{"tone-mono-22050.ogg", 1, 22050, 11025},
                 {"tone-stereo-44100.ogg", 2, 44100, 22050},
                 {"short-stereo-48000.ogg", 2, 48000, 4800}};
    for (auto& c : cases) {
        auto d = Ogg::SoundLoader().load(fileData(readFile(dataPath(c.name))));
        ASSERT_TRUE(d) << c.name;
        auto f = d->getFormat();
        EXPECT_EQ(f.channels, c.channels);
        EXPECT_EQ(f.samplesPerSecond, c.rate);
        EXPECT_EQ(f.bitsPerSample, 16u);
        EXPECT_EQ(d->getLength(), c.frames);
        auto samples = readAll16(*d, 4096);
        EXPECT_EQ(samples.size(), size_t(c.frames) * c.channels);
        int peak = 0;
        for (auto s : samples) peak = std::max(peak, std::abs(int(s)));
        EXPECT_NEAR(peak, 16384, 1200) << c.name; // a sine at half of full scale

        ASSERT_TRUE(d->seek(c.frames / 2));
        EXPECT_EQ(d->tell(), c.frames / 2);
        EXPECT_EQ(readAll16(*d).size(), size_t(c.frames - c.frames / 2) * c.channels);
        EXPECT_FALSE(d->seek(c.frames));
        auto again = d->reopen();
        ASSERT_TRUE(again);
        EXPECT_EQ(again->tell(), 0u);
    }
}

TEST(OggLoader, DamagedDataNeverCrashes) {
    auto good = readFile(dataPath("tone-stereo-44100.ogg"));
    ASSERT_GT(good.size(), 1000u);
    EXPECT_FALSE(Ogg::SoundLoader().load(fileData({})));
    EXPECT_FALSE(Ogg::SoundLoader().load(nullptr));
    EXPECT_FALSE(
        Ogg::SoundLoader().load(fileData(makeWav(pcm16(10, 2, [](uint32_t) { return 0; })))));
    // Cut anywhere: refused, or read to wherever the data stops.
    for (size_t n = 0; n < good.size(); n += 97) {
        if (auto d = Ogg::SoundLoader().load(fileData(Bytes(good.begin(), good.begin() + n))))
            readAll16(*d);
    }
    // Bytes overwritten past the headers: decoding stops or skips, without a crash.
    for (size_t at = 200; at < good.size(); at += 331) {
        auto bad = good;
        for (size_t k = at; k < std::min(bad.size(), at + 64); ++k) bad[k] ^= 0x5A;
        if (auto d = Ogg::SoundLoader().load(fileData(bad))) {
            readAll16(*d);
            d->seek(d->getLength() / 2);
            readAll16(*d);
        }
    }
}

TEST(MixedLoader, AsksInOrderAndFirstAcceptWins) {
    MixedSoundLoader mixed;
    auto wav = std::make_shared<WavSoundLoader>();
    auto ogg = std::make_shared<Ogg::SoundLoader>();
    EXPECT_FALSE(mixed.addLoader(nullptr));
    EXPECT_TRUE(mixed.addLoader(wav));
    EXPECT_TRUE(mixed.addLoader(ogg));
    EXPECT_EQ(mixed.loaderCount(), 2);
    auto o = mixed.load(fileData(readFile(dataPath("short-stereo-48000.ogg"))));
    ASSERT_TRUE(o);
    EXPECT_EQ(o->getFormat().samplesPerSecond, 48000u);
    EXPECT_TRUE(mixed.load(fileData(makeWav(pcm16(4, 1, [](uint32_t) { return 1; })))));
    EXPECT_FALSE(mixed.load(fileData({'n', 'o', 'p', 'e'})));
    EXPECT_TRUE(mixed.removeLoader(ogg));
    EXPECT_FALSE(mixed.removeLoader(ogg));
    EXPECT_FALSE(mixed.load(fileData(readFile(dataPath("short-stereo-48000.ogg")))));
    EXPECT_FALSE(mixed.removeLoaderAt(1));
    EXPECT_TRUE(mixed.removeLoaderAt(0));
    EXPECT_TRUE(mixed.clearLoaders());
    EXPECT_EQ(mixed.loaderCount(), 0);
}

} // namespace
