#include "graphics/NullEngine.h"
#include "graphics/video/Video.h"
#include "io/FileManager.h"
#include "io/MemoryStream.h"
#include "io/Path.h"
#include "io/koa/KoaWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace KoGraphics;

namespace {

const fs::path clips = VIDEO_TEST_CLIPS;

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Owns its bytes, unlike MemoryStream.
std::shared_ptr<KoIO::IInputStream> memoryStream(std::vector<uint8_t> bytes) {
    struct Owned {
        std::vector<uint8_t> bytes;
        KoIO::Core::MemoryStream stream;
    };
    auto o = std::make_shared<Owned>();
    o->bytes = std::move(bytes);
    o->stream.open(o->bytes.data(), uint32_t(o->bytes.size()));
    return std::shared_ptr<KoIO::IInputStream>(o, &o->stream);
}

struct Rgb {
    int r, g, b;
};

Rgb centre(IVideo& video) {
    auto t = video.getTexture();
    auto buffer = t->lock();
    if (!buffer) return {-1, -1, -1};
    const uint8_t* p = buffer->getPixel(video.getWidth() / 2, video.getHeight() / 2);
    Rgb c{p[2], p[1], p[0]};
    t->unlock();
    return c;
}

bool isRed(Rgb c) {
    return c.r > 200 && c.g < 60 && c.b < 60;
}
bool isBlue(Rgb c) {
    return c.b > 200 && c.r < 60 && c.g < 60;
}

// A sound output that keeps what it is given and answers a heard time the test sets.
struct FakeSound final : IVideoSound {
    void push(const int16_t* s, uint32_t frames, double time) override {
        std::lock_guard lock(mutex);
        if (!gotFirst) firstTime = time;
        gotFirst = true;
        for (uint32_t i = 0; i < frames * channels; ++i) peak = std::max(peak, std::abs(int(s[i])));
        pushed += frames;
    }
    void endOfData() override {
        std::lock_guard lock(mutex);
        if (!ended) pushedAtEnd = pushed;
        ended = true;
    }
    void flush() override {
        std::lock_guard lock(mutex);
        ++flushes;
        gotFirst = false;
    }
    double queuedSeconds() override { return 0.0; } // always hungry: decode everything
    bool start() override { return playing = true; }
    bool pause() override { return !(playing = false); }
    bool resume() override { return playing = true; }
    bool stop() override { return !(playing = false); }
    bool setGain(float g) override {
        gain = g;
        return true;
    }
    double heardTime() override { return playing ? heard : NAN; }
    template <class F>
    bool waitFor(F test) {
        for (int i = 0; i < 2000; ++i) { // up to 10 s on a loaded machine
            {
                std::lock_guard lock(mutex);
                if (test()) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::mutex mutex;
    uint32_t channels = 1;
    uint64_t pushed = 0;
    int peak = 0;
    double firstTime = 0;
    bool gotFirst = false;
    int flushes = 0;
    bool ended = false;
    uint64_t pushedAtEnd = 0;
    bool playing = false;
    float gain = -1;
    double heard = NAN;
};

struct FakeOutput final : IVideoSoundOutput {
    std::shared_ptr<IVideoSound> open(uint32_t channels, uint32_t rate) override {
        sound = std::make_shared<FakeSound>();
        sound->channels = channels;
        this->rate = rate;
        return sound;
    }
    std::shared_ptr<FakeSound> sound;
    uint32_t rate = 0;
};

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override { engine = createNullEngine(64, 64); }
    void TearDown() override { KoIO::setFileManager(nullptr); }

    std::shared_ptr<IVideo> open(const std::string& clip) {
        VideoOptions o;
        o.sound = output;
        o.clock = [this] { return now; };
        return openVideo(*engine, memoryStream(readAll(clips / clip)), clip, o);
    }
    // Runs frames at the clock's present time until the centre pixel passes `test` (the worker
    // may still be decoding toward it).
    template <class F>
    bool frameUntil(IVideo& v, F test) {
        for (int i = 0; i < 2000; ++i) { // up to 10 s on a loaded machine
            v.onBeginFrame();
            if (test(centre(v))) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::shared_ptr<IEngine> engine;
    std::shared_ptr<FakeOutput> output = std::make_shared<FakeOutput>();
    double now = 100.0;
};

class EveryFormat : public VideoTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EveryFormat, PlaysRedThenBlueWithItsSound) {
    auto v = open(GetParam());
    ASSERT_TRUE(v) << GetParam();
    EXPECT_EQ(v->getWidth(), 64);
    EXPECT_EQ(v->getHeight(), 48);
    EXPECT_NEAR(v->getLength(), 2.0, 0.12);
    EXPECT_TRUE(isRed(centre(*v))) << "the first picture is shown before play";
    ASSERT_TRUE(v->play());
    now += 0.5;
    EXPECT_TRUE(frameUntil(*v, isRed));
    EXPECT_NEAR(v->getCursor(), 0.5, 1e-6);
    now += 1.2;
    EXPECT_TRUE(frameUntil(*v, isBlue)) << "late in the clip";
    auto s = output->sound;
    ASSERT_TRUE(s);
    // Program streams start their clock at about half a second: times count from the start.
    EXPECT_LT(std::abs(s->firstTime), 0.1);
    EXPECT_TRUE(s->waitFor([&] { return s->peak > 3000; })) << "the tone is heard";
    now += 1.0;
    v->onBeginFrame();
    EXPECT_FALSE(v->isPlaying()) << "ended";
}

INSTANTIATE_TEST_SUITE_P(Clips, EveryFormat,
                         ::testing::Values("mpeg1.mpg", "mpeg2.mpg", "wmv1.wmv", "wmv2.wmv",
                                           "mjpeg.avi", "mpeg4.avi", "msmpeg4v2.avi",
                                           "msmpeg4v3.avi", "theora.ogv"),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.')) + "_" + n.substr(n.find('.') + 1);
                         });

TEST_F(VideoTest, WholeSoundTrackArrivesThroughTheFlushAtTheEnd) {
    for (const char* clip : {"mpeg1.mpg", "mpeg2.mpg", "theora.ogv", "wmv2.wmv", "mjpeg.avi"}) {
        output = std::make_shared<FakeOutput>();
        auto v = open(clip);
        ASSERT_TRUE(v) << clip;
        auto s = output->sound;
        ASSERT_TRUE(s);
        // The sound output here is always hungry, so the worker decodes the short clip to its
        // end without anyone playing it.
        EXPECT_TRUE(s->waitFor([&] { return s->ended; })) << clip;
        // Two seconds of tone, give or take an encoder frame of padding.
        EXPECT_NEAR(double(s->pushedAtEnd) / output->rate, 2.0, 0.15) << clip;
        v->play();
        for (int i = 0; i < 200 && v->isPlaying(); ++i) {
            now += 0.02;
            v->onBeginFrame();
        }
        EXPECT_FALSE(v->isPlaying()) << clip;
    }
}

TEST_F(VideoTest, StopRewindsAndClearsTheFlags) {
    auto v = open("mpeg1.mpg");
    ASSERT_TRUE(v);
    EXPECT_FALSE(v->isPlaying());
    EXPECT_TRUE(v->loop());
    EXPECT_TRUE(v->isPlaying());
    EXPECT_TRUE(v->isLooped());
    now += 1.5;
    EXPECT_NEAR(v->getCursor(), 1.5, 1e-6);
    EXPECT_TRUE(v->pause());
    EXPECT_TRUE(v->isPaused());
    EXPECT_FALSE(v->isPlaying());
    EXPECT_FALSE(v->isLooped());
    EXPECT_TRUE(v->stop());
    EXPECT_FALSE(v->isPaused());
    EXPECT_FALSE(v->isPlaying());
    EXPECT_EQ(v->getCursor(), 0.0f);
    EXPECT_TRUE(v->play());
    EXPECT_FALSE(v->isLooped()) << "play clears the loop flag that stop already cleared";
}

TEST_F(VideoTest, PauseHoldsThePositionAndRestartResumes) {
    auto v = open("mpeg1.mpg");
    ASSERT_TRUE(v);
    EXPECT_FALSE(v->restart()) << "only a paused video restarts";
    v->play();
    now += 0.4;
    v->pause();
    now += 5.0;
    EXPECT_NEAR(v->getCursor(), 0.4, 1e-6);
    EXPECT_TRUE(v->restart());
    EXPECT_FALSE(v->isPaused());
    EXPECT_TRUE(v->isPlaying());
    now += 0.3;
    EXPECT_NEAR(v->getCursor(), 0.7, 1e-6);
    EXPECT_FALSE(output->sound->playing == false);
}

TEST_F(VideoTest, CursorLimitsAndSeeking) {
    auto v = open("mpeg2.mpg");
    ASSERT_TRUE(v);
    float length = v->getLength();
    EXPECT_FALSE(v->setCursor(length + 1.0f));
    EXPECT_FALSE(v->setCursor(-0.5f));
    EXPECT_FALSE(v->setCursor(NAN));
    EXPECT_TRUE(v->setCursor(0.0f));
    EXPECT_TRUE(v->setCursor(1.5f));
    EXPECT_NEAR(v->getCursor(), 1.5, 1e-6);
    v->play();
    EXPECT_TRUE(frameUntil(*v, isBlue)) << "the picture at the new place shows at once";
    auto s = output->sound;
    ASSERT_TRUE(s->waitFor([&] { return s->gotFirst; }));
    EXPECT_NEAR(s->firstTime, 1.5, 0.05) << "the sound starts there too";
    EXPECT_TRUE(v->setCursor(0.25f));
    EXPECT_TRUE(frameUntil(*v, isRed));
    EXPECT_TRUE(v->setCursor(length)) << "the end itself is a valid place";
}

TEST_F(VideoTest, TheEndRewindsAndLoopsOrStops) {
    auto v = open("mpeg1.mpg");
    ASSERT_TRUE(v);
    v->play();
    now += 1.5;
    ASSERT_TRUE(frameUntil(*v, isBlue));
    now += 1.0;
    v->onBeginFrame();
    EXPECT_FALSE(v->isPlaying());
    EXPECT_FALSE(v->isPaused());
    EXPECT_EQ(v->getCursor(), 0.0f);

    v->loop();
    now += 1.5;
    ASSERT_TRUE(frameUntil(*v, isBlue));
    now += 1.0;
    v->onBeginFrame();
    EXPECT_TRUE(v->isPlaying());
    EXPECT_TRUE(v->isLooped());
    EXPECT_LT(v->getCursor(), 0.01);
    now += 0.2;
    EXPECT_TRUE(frameUntil(*v, isRed)) << "the second pass starts red again";
}

TEST_F(VideoTest, VolumeIsKeptInHundredthsOfADecibel) {
    auto v = open("wmv2.wmv");
    ASSERT_TRUE(v);
    EXPECT_FLOAT_EQ(v->getVolume(), 1.0f);
    EXPECT_TRUE(v->setVolume(0.5f));
    EXPECT_EQ(v->getVolumeLevel(), -5000);
    EXPECT_FLOAT_EQ(v->getVolume(), 0.5f);
    EXPECT_NEAR(output->sound->gain, std::pow(10.0, -2.5), 1e-6);
    EXPECT_TRUE(v->setVolume(0.0f));
    EXPECT_EQ(v->getVolumeLevel(), -10000);
    EXPECT_FALSE(v->setVolume(1.01f));
    EXPECT_FALSE(v->setVolume(-0.01f));
    EXPECT_EQ(v->getVolumeLevel(), -10000);
    EXPECT_TRUE(v->setVolume(0.33333f));
    EXPECT_EQ(v->getVolumeLevel(), -6666) << "truncated toward zero";

    output = std::make_shared<FakeOutput>();
    auto mute = open("silent.mpg");
    ASSERT_TRUE(mute);
    EXPECT_FALSE(output->sound) << "no track, no output";
    EXPECT_FALSE(mute->setVolume(0.5f)) << "a file without sound has no volume";
    EXPECT_EQ(mute->getVolume(), 0.0f);
}

TEST_F(VideoTest, ThePictureClockFollowsTheSoundHeard) {
    auto v = open("mpeg1.mpg");
    ASSERT_TRUE(v);
    auto s = output->sound;
    v->play();
    now += 0.2;
    s->heard = 1.2; // the sound is a second ahead (the picture stalled): jump
    v->onBeginFrame();
    EXPECT_NEAR(v->getCursor(), 1.2, 1e-6);
    s->heard = 1.21; // small differences are eased in, not jumped
    v->onBeginFrame();
    EXPECT_GT(v->getCursor(), 1.2);
    EXPECT_LT(v->getCursor(), 1.21);
    s->heard = NAN; // nothing heard: real time alone
    now += 0.1;
    float before = v->getCursor();
    v->onBeginFrame();
    EXPECT_FLOAT_EQ(v->getCursor(), before);
}

TEST_F(VideoTest, VideosPlayFromDiskAndFromArchives) {
    char tmpl[] = "/tmp/ko-video.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    fs::path dir = tmpl;
    auto bytes = readAll(clips / "theora.ogv");
    std::ofstream(dir / "data.koa", std::ios::binary) << Koa::Writer::buildArchive(
        {{"movie\\intro.ogv", 0, std::string(bytes.begin(), bytes.end())}});
    fs::copy_file(clips / "mpeg1.mpg", dir / "disk.mpg");
    KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u"", false));
    VideoOptions o;
    o.clock = [this] { return now; };
    auto inside = openVideo(*engine, u"movie/intro.ogv", o);
    ASSERT_TRUE(inside);
    EXPECT_NEAR(inside->getLength(), 2.0, 0.12);
    inside->play();
    now += 1.5;
    EXPECT_TRUE(frameUntil(*inside, isBlue));
    EXPECT_TRUE(openVideo(*engine, u"DISK.MPG", o)) << "names resolve as for every file";
    EXPECT_FALSE(openVideo(*engine, u"missing.mpg", o));
    EXPECT_FALSE(openVideo(*engine, u"movie", o));
    EXPECT_FALSE(openVideo(*engine, u"", o));
    fs::remove_all(dir);
}

TEST_F(VideoTest, DamagedFilesAreRefused) {
    auto good = readAll(clips / "mpeg2.mpg");
    auto refused = [&](std::vector<uint8_t> bytes, const char* name) {
        return !openVideo(*engine, memoryStream(std::move(bytes)), name);
    };
    EXPECT_TRUE(refused({}, "empty.mpg"));
    EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.begin() + 40), "cut.mpg"));
    // Cut inside the headers or before the first picture is complete.
    for (auto [clip, cut] : {std::pair{"wmv2.wmv", 900},
                             {"msmpeg4v3.avi", 9000},
                             {"theora.ogv", 6000},
                             {"mjpeg.avi", 5000}}) {
        auto bytes = readAll(clips / clip);
        EXPECT_TRUE(refused({bytes.begin(), bytes.begin() + cut}, clip)) << clip;
    }
    EXPECT_TRUE(refused(std::vector<uint8_t>(5000, 0), "zeros.avi"));
    std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o', '\n'};
    EXPECT_TRUE(refused(text, "hello.wmv"));
    srand(7);
    std::vector<uint8_t> noise(8192);
    for (auto& b : noise) b = uint8_t(rand());
    EXPECT_TRUE(refused(noise, "noise.ogv"));
    // Headers intact, everything after them garbled: no picture decodes.
    for (const char* clip : {"wmv1.wmv", "mjpeg.avi", "theora.ogv", "mpeg4.avi"}) {
        auto bytes = readAll(clips / clip);
        for (size_t i = 0; i < bytes.size(); ++i)
            if (i > 700) bytes[i] = uint8_t(rand());
        // Whatever the decoder makes of it, opening and playing never crash.
        if (auto v = openVideo(*engine, memoryStream(bytes), clip)) {
            v->play();
            v->onBeginFrame();
        }
    }
    // Truncated at every few hundred bytes: refused or played, never a crash.
    for (const char* clip : {"mpeg1.mpg", "wmv2.wmv", "msmpeg4v3.avi", "theora.ogv"}) {
        auto bytes = readAll(clips / clip);
        for (size_t cut = 0; cut < bytes.size(); cut += 397) {
            auto v = openVideo(*engine, memoryStream({bytes.begin(), bytes.begin() + cut}), clip);
            if (v) {
                v->play();
                now += 3;
                v->onBeginFrame();
            }
        }
    }
}

} // namespace
