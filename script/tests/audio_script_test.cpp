// The Audio table from script on the silent clock-driven engine: loading from the disk and
// from archives, the load-failure text, argument lists, channels of sounds and groups, fades
// and delayed stops stepped by the end of frame, and the library's one engine at a time.
#include "io/FileManager.h"
#include "io/Path.h"
#include "io/koa/KoaWriter.h"
#include "script/ScAudio.h"
#include "script/tests/ScriptVm.h"
#include "sound/tests/TestSounds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string wav(uint32_t frames, uint32_t rate = 44100) {
    auto b = KoTest::makeWav(KoTest::pcm16(frames, 2, [](uint32_t i) { return int(i % 100); }),
                             {1, 2, rate});
    return std::string(b.begin(), b.end());
}

class AudioScript : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KO_SOUND", "null", 1);
        char tmpl[] = "/tmp/ko-audio-script.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        write("tone.wav", wav(44100));
        write("sub/short.wav", wav(4410));
        write("bad.wav", std::string("RIFF\x10\0\0\0WAVEjunk", 16));
        write("data.koa", Koa::Writer::buildArchive({{"packed\\in.wav", 0, wav(1000)}}));
        KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u""));
        ASSERT_TRUE(vm.load(std::make_shared<KoScript::AudioLibrary>())) << vm.takeErr();
        ASSERT_TRUE(vm.run(
            "function err(f) { try { f(); } catch (e) { return e; } return \"no error\"; }"));
    }
    void TearDown() override {
        KoIO::setFileManager(nullptr);
        fs::remove_all(dir);
    }
    void write(const std::string& rel, const std::string& data) {
        fs::create_directories((dir / rel).parent_path());
        std::ofstream(dir / rel, std::ios::binary) << data;
    }
    std::string eval(const std::string& e) { return vm.eval(e); }
    void frames(int n) {
        for (int i = 0; i < n; ++i) vm.endFrame();
    }

    fs::path dir;
    KoTest::ScriptVm vm;
};

TEST_F(AudioScript, SoundsLoadFromTheDiskAndArchivesOrRaiseTheLoadFailure) {
    EXPECT_EQ(eval("Audio.Sound(\"tone.wav\").getLength()"), "44100");
    EXPECT_EQ(eval("Audio.Sound(\"SUB\\\\Short.WAV\").getLength()"), "4410");
    EXPECT_EQ(eval("Audio.Sound(\"packed/in.wav\").getLength()"), "1000");
    EXPECT_EQ(eval("err(@() Audio.Sound(\"missing.ogg\"))"),
              "音声ファイル 'missing.ogg' の読み込みに失敗しました。");
    EXPECT_EQ(eval("err(@() Audio.Sound(\"bad.wav\"))"),
              "音声ファイル 'bad.wav' の読み込みに失敗しました。");
    EXPECT_EQ(eval("err(@() Audio.Sound())"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Audio.Sound(1))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Audio.Sound(\"tone.wav\", 3))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Audio.Sound(\"tone.wav\", Audio.Channel()))"),
              "wrong number of parameters");
}

TEST_F(AudioScript, PlayAndLoopArgumentsAndResults) {
    ASSERT_TRUE(vm.run("s <- Audio.Sound(\"tone.wav\");"));
    EXPECT_EQ(eval("s.play(s.getLength()) == null"), "true");
    EXPECT_EQ(eval("s.play(-1) == null"), "true");
    EXPECT_EQ(eval("(function() { local a = s.play(0), b = s.play(0);"
                   " return (a != b) + \" \" + a.isPlaying() + b.isPlaying(); })()"),
              "true truetrue");
    EXPECT_EQ(eval("err(@() s.play(0, 1))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() s.loop(0, 1, 2, 3))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() s.play(\"x\"))"), "wrong number of parameters");
    EXPECT_EQ(eval("typeof s.loop()"), "instance");
    EXPECT_EQ(eval("s.loop(0, 1, 44100) == null"), "true");
    EXPECT_EQ(eval("s.loop(0, 2, 1000).isInvalid()"), "false");
    EXPECT_EQ(eval("s.isPlaying()"), "true");
    EXPECT_EQ(eval("s.stop()"), "true");
    EXPECT_EQ(eval("s.isPlaying()"), "false");
    EXPECT_EQ(eval("s.setVolume(1.5)"), "false");
    EXPECT_EQ(eval("s.setVolume(0)"), "true");
    EXPECT_EQ(eval("s.getVolume()"), "0");
    EXPECT_EQ(eval("s.setSpeed(2.5)"), "false");
    EXPECT_EQ(eval("s.setSpeed(2)"), "true");
    EXPECT_EQ(eval("s.getSpeed()"), "2");
}

TEST_F(AudioScript, EmptyChannelsAndChannelLimits) {
    EXPECT_EQ(eval("Audio.Channel().isInvalid()"), "true");
    EXPECT_EQ(eval("Audio.Channel().stop()"), "false");
    EXPECT_EQ(eval("Audio.Channel().isPlaying()"), "false");
    EXPECT_EQ(eval("Audio.Channel().getVolume()"), "0");
    EXPECT_EQ(eval("Audio.Channel().setVolume(0.5)"), "false");
    EXPECT_EQ(eval("Audio.Channel().fade(10, 0.5)"), "false");
    EXPECT_EQ(eval("Audio.Channel().fadeOut(10)"), "false");
    EXPECT_EQ(eval("err(@() Audio.Channel(1))"), "wrong number of parameters");
    ASSERT_TRUE(vm.run("s <- Audio.Sound(\"tone.wav\"); c <- s.loop();"));
    EXPECT_EQ(eval("c.setSpeed(0.4)"), "false");
    EXPECT_EQ(eval("c.setSpeed(0.5)"), "true");
    EXPECT_EQ(eval("c.getSpeed()"), "0.5");
    EXPECT_EQ(eval("c.pause()"), "true");
    EXPECT_EQ(eval("c.isPaused() + \" \" + c.isInvalid()"), "true false");
    EXPECT_EQ(eval("c.restart()"), "true");
    EXPECT_EQ(eval("c.stop()"), "true");
    EXPECT_EQ(eval("c.stop()"), "false");
    EXPECT_EQ(eval("c.isInvalid()"), "true");
    EXPECT_EQ(eval("(clone c).isInvalid()"), "true");
}

TEST_F(AudioScript, ChannelsAreMadeByTheClassBoundAsAudioChannel) {
    ASSERT_TRUE(vm.run("made <- 0;"
                       "class Tracked extends Audio.Channel {"
                       "    constructor() { base.constructor(); ::made++; }"
                       "    function label() { return \"tracked \" + isInvalid(); } }"
                       "Audio.Channel = Tracked;"
                       "s <- Audio.Sound(\"tone.wav\"); g <- Audio.Group();"
                       "m <- Audio.Sound(\"sub/short.wav\", g);"));
    EXPECT_EQ(eval("s.play().label()"), "tracked false");
    EXPECT_EQ(eval("s.loop(0, 1).label()"), "tracked false");
    EXPECT_EQ(eval("g.play().label()"), "tracked false");
    EXPECT_EQ(eval("s.play().stop()"), "true"); // the native channel is in the new instance
    EXPECT_EQ(eval("made"), "4");
    EXPECT_EQ(eval("s.play(s.getLength()) == null && made == 4"), "true"); // no channel: null
    // A constructor that raises makes play raise the same error.
    ASSERT_TRUE(vm.run("class Refusing extends Audio.Channel {"
                       "    constructor() { throw \"no channels now\"; } }"
                       "Audio.Channel = Refusing;"));
    EXPECT_EQ(eval("err(@() s.play())"), "no channels now");
    // One that skips the base constructor still gets the channel.
    ASSERT_TRUE(vm.run("class Bare extends Audio.Channel { constructor() {} }"
                       "Audio.Channel = Bare;"));
    EXPECT_EQ(eval("s.play().isInvalid()"), "false");
}

TEST_F(AudioScript, GroupsMultiplyAndPlayTheirMembers) {
    EXPECT_EQ(eval("Audio.Group().play() == null"), "true");
    EXPECT_EQ(eval("Audio.Group().getLength()"), "0");
    EXPECT_EQ(eval("err(@() Audio.Group(1))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Audio.Group(Audio.Group(), 1))"), "wrong number of parameters");
    ASSERT_TRUE(vm.run(
        "outer <- Audio.Group(); inner <- Audio.Group(outer);"
        "a <- Audio.Sound(\"tone.wav\", inner); b <- Audio.Sound(\"sub/short.wav\", outer);"));
    EXPECT_EQ(eval("outer.getLength()"), "44100");
    EXPECT_EQ(eval("inner.getLength()"), "44100");
    ASSERT_TRUE(vm.run("m <- outer.loop();"));
    EXPECT_EQ(eval("m.isPlaying()"), "true");
    EXPECT_EQ(eval("m.setSpeed(1.5)"), "false");
    EXPECT_EQ(eval("m.setSpeed(1.0)"), "true");
    EXPECT_EQ(eval("a.isPlaying() + \" \" + b.isPlaying()"), "true true");
    EXPECT_EQ(eval("outer.pause()"), "true");
    EXPECT_EQ(eval("inner.isPaused()"), "true");
    EXPECT_EQ(eval("outer.stop()"), "true");
    EXPECT_EQ(eval("m.isInvalid()"), "true");
    // Membership is weak: a dropped sound leaves its group.
    ASSERT_TRUE(vm.run("a = null; collectgarbage();"));
    EXPECT_EQ(eval("inner.getLength()"), "0");
}

TEST_F(AudioScript, FadesAndDelayedStopsStepAtTheEndOfFrames) {
    ASSERT_TRUE(vm.run("s <- Audio.Sound(\"tone.wav\"); c <- s.loop();"));
    EXPECT_EQ(eval("s.fade(4, 0.0)"), "true");
    frames(1);
    EXPECT_EQ(eval("s.getVolume()"), "1");
    frames(2);
    EXPECT_EQ(eval("s.getVolume()"), "0.5");
    frames(2);
    EXPECT_EQ(eval("s.getVolume()"), "0");
    EXPECT_EQ(eval("s.fade(2, 0.2, 0.6)"), "true");
    frames(2);
    EXPECT_EQ(eval("fabs(s.getVolume() - 0.4) < 1e-6"), "true");
    EXPECT_EQ(eval("err(@() s.fade(1))"), "wrong number of parameters");

    // fadeOut stops after its frames and leaves the sound's volume at 0.
    EXPECT_EQ(eval("s.fadeOut(3)"), "true");
    frames(3);
    EXPECT_EQ(eval("c.isInvalid()"), "false");
    frames(1);
    EXPECT_EQ(eval("c.isInvalid()"), "true");
    EXPECT_EQ(eval("s.getVolume()"), "0");
    ASSERT_TRUE(vm.run("d <- s.loop();"));
    EXPECT_EQ(eval("d.isPlaying()"), "true");

    // A channel's own fade; a group's fadeOut stops its members.
    EXPECT_EQ(eval("d.fade(2, 0.5)"), "true");
    frames(3);
    EXPECT_EQ(eval("d.getVolume()"), "0.5");
    ASSERT_TRUE(vm.run("g <- Audio.Group(); t <- Audio.Sound(\"tone.wav\", g); t.loop();"));
    EXPECT_EQ(eval("g.fadeOut(1)"), "true");
    frames(2);
    EXPECT_EQ(eval("t.isPlaying() + \" \" + g.getVolume()"), "false 0");
}

TEST_F(AudioScript, ASecondAudioLibraryIsRefusedWhileOneIsLoaded) {
    KoTest::ScriptVm other;
    EXPECT_FALSE(other.load(std::make_shared<KoScript::AudioLibrary>()));
}

} // namespace
