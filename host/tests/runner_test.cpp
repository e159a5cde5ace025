// The script runner's states and the order of one frame, driven directly rather than through a
// game: each test works in a scratch game folder.
#include "frame/IWindow.h"
#include "host/FrameCycle.h"
#include "host/ScriptRunner.h"
#include "io/FileManager.h"
#include "io/Path.h"
#include "script/Library.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace KoPlayhost;

namespace {

class GameFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ko-runner.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        oldCwd = fs::current_path();
        fs::current_path(dir);
        KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u"", true));
    }
    void TearDown() override {
        KoIO::setFileManager(nullptr);
        fs::current_path(oldCwd);
        fs::remove_all(dir);
    }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir, oldCwd;
};

// ---- ScriptRunner -------------------------------------------------------------------------

using ScriptRunnerStates = GameFolder;

TEST_F(ScriptRunnerStates, EmptyUntilCompiledAndStepsNothing) {
    KoTest::ScriptVm vm;
    ScriptRunner runner(vm.vm());
    EXPECT_EQ(runner.state(), ScriptRunner::Empty);
    EXPECT_FALSE(runner.step());
    EXPECT_FALSE(runner.compile(u"start.nut")); // missing: no report, still empty
    EXPECT_EQ(runner.state(), ScriptRunner::Empty);
    EXPECT_EQ(vm.takeErr(), "");
    write("start.nut", "local x = ;");
    EXPECT_FALSE(runner.compile(u"start.nut"));
    EXPECT_EQ(runner.state(), ScriptRunner::Empty);
    EXPECT_NE(vm.takeErr().find("start.nut line = (1)"), std::string::npos);
    EXPECT_FALSE(runner.step());
}

TEST_F(ScriptRunnerStates, ReadySuspendedFinishedThenEmptyOnRelease) {
    write("start.nut", "trail <- \"a\"; suspend(); trail += \"b\"; suspend(); trail += \"c\";");
    KoTest::ScriptVm vm;
    SQInteger top = sq_gettop(vm.vm());
    ScriptRunner runner(vm.vm());
    ASSERT_TRUE(runner.compile(u"start.nut"));
    EXPECT_EQ(runner.state(), ScriptRunner::Ready);
    EXPECT_EQ(vm.eval("\"trail\" in getroottable()"), "false"); // compiled, not run

    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Suspended);
    EXPECT_EQ(vm.eval("trail"), "a");
    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Suspended);
    EXPECT_EQ(vm.eval("trail"), "ab");
    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Finished);
    EXPECT_EQ(vm.eval("trail"), "abc");
    EXPECT_EQ(sq_gettop(vm.vm()), top); // the closure is off the stack again

    EXPECT_FALSE(runner.step()); // nothing runs twice
    EXPECT_EQ(vm.eval("trail"), "abc");
    EXPECT_EQ(runner.state(), ScriptRunner::Finished);
    runner.release();
    EXPECT_EQ(runner.state(), ScriptRunner::Empty);
    EXPECT_FALSE(runner.step());
    EXPECT_EQ(vm.takeErr(), "");
}

TEST_F(ScriptRunnerStates, UncaughtErrorFinishesInThatStepWithOneReport) {
    write("start.nut", "suspend(); throw \"late\"; trail <- \"never\";");
    KoTest::ScriptVm vm;
    SQInteger top = sq_gettop(vm.vm());
    ScriptRunner runner(vm.vm());
    ASSERT_TRUE(runner.compile(u"start.nut"));
    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Suspended);
    EXPECT_EQ(vm.err, "");
    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Finished);
    std::string err = vm.takeErr();
    EXPECT_EQ(err.find("AN ERROR HAS OCCURED [late]"), 1u) << err;
    EXPECT_EQ(err.find("AN ERROR HAS OCCURED", 2), std::string::npos) << err;
    EXPECT_EQ(sq_gettop(vm.vm()), top);
    EXPECT_EQ(vm.eval("\"trail\" in getroottable()"), "false");
    EXPECT_FALSE(runner.step());
}

TEST_F(ScriptRunnerStates, ScriptWithoutSuspendFinishesInTheFirstStep) {
    write("start.nut", "n <- 0; for (local i = 0; i < 5; ++i) n += i;");
    KoTest::ScriptVm vm;
    ScriptRunner runner(vm.vm());
    ASSERT_TRUE(runner.compile(u"start.nut"));
    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Finished);
    EXPECT_EQ(vm.eval("n"), "10");
    // Compiling again starts over from Ready.
    ASSERT_TRUE(runner.compile(u"start.nut"));
    EXPECT_EQ(runner.state(), ScriptRunner::Ready);
    EXPECT_TRUE(runner.step());
    EXPECT_EQ(runner.state(), ScriptRunner::Finished);
}

// ---- the frame cycle ----------------------------------------------------------------------

// Writes every call it gets into a shared log; `mark(text)` lets the script write there too.
std::vector<std::string>* g_log = nullptr;

SQInteger markNative(HSQUIRRELVM v) {
    const SQChar* s = nullptr;
    sq_getstring(v, 2, &s);
    if (g_log && s) g_log->push_back("script " + KoIO::toUtf8(s));
    return 0;
}

class Recorder : public KoScript::Library {
public:
    Recorder(std::string name, bool accept = true) : name_(std::move(name)), accept_(accept) {}
    bool load(HSQUIRRELVM v) override {
        g_log->push_back("load " + name_);
        if (!accept_) return false;
        sq_pushroottable(v);
        sq_pushstring(v, u"mark", -1);
        sq_newclosure(v, markNative, 0);
        sq_newslot(v, -3, SQFalse);
        sq_poptop(v);
        return true;
    }
    void unload(HSQUIRRELVM) override { g_log->push_back("unload " + name_); }
    void beginFrame(HSQUIRRELVM) override { g_log->push_back("begin " + name_); }
    void endFrame(HSQUIRRELVM) override {
        g_log->push_back("end " + name_);
        if (++frames_ == quitAfter) KoFrame::postQuitMessage(0);
    }
    int quitAfter = 0; // ends the loop from this frame's end hook, as exit() does

private:
    std::string name_;
    bool accept_;
    int frames_ = 0;
};

class FrameOrder : public GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        g_log = &log;
        window = KoFrame::createWindow(u"frame order", 64, 48);
        ASSERT_TRUE(window);
    }
    void TearDown() override {
        if (window) window->destroy();
        g_log = nullptr;
        GameFolder::TearDown();
    }
    // Runs the cycle with libraries A, a refusing one, and B.
    void run(const KoPlayhost::Setup& setup = KoPlayhost::Setup{}) {
        runFrameCycle(window, setup, {u"koplayhost"}, [this] {
            return std::vector<std::shared_ptr<KoScript::Library>>{
                a, std::make_shared<Recorder>("refused", false), b};
        });
    }
    static std::vector<std::string> frame(const std::string& script) {
        std::vector<std::string> f{"begin A", "begin B"};
        if (!script.empty()) f.push_back("script " + script);
        f.insert(f.end(), {"end A", "end B"});
        return f;
    }
    static std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    std::vector<std::string> log;
    std::shared_ptr<Recorder> a = std::make_shared<Recorder>("A");
    std::shared_ptr<Recorder> b = std::make_shared<Recorder>("B");
    std::shared_ptr<KoFrame::IWindow> window;
};

const std::string kExitHook = "function _on_exit_() { mark(\"exit\"); }\n";

TEST_F(FrameOrder, HooksAroundEverySliceInRegistrationOrderThenExitHookAndUnload) {
    write("start.nut", kExitHook + "mark(\"1\"); suspend(); mark(\"2\"); suspend(); mark(\"3\");");
    run();
    EXPECT_EQ(log, join({{"load A", "load refused", "load B"},
                         frame("1"),
                         frame("2"),
                         frame("3"),
                         {"script exit", "unload A", "unload B"}}));
    EXPECT_FALSE(fs::exists(dir / "error.txt"));
}

TEST_F(FrameOrder, ErrorInTheFirstStatementStillEndsTheFrame) {
    write("start.nut", kExitHook + "throw \"first\";");
    run();
    EXPECT_EQ(log, join({{"load A", "load refused", "load B"},
                         frame(""),
                         {"script exit", "unload A", "unload B"}}));
    EXPECT_EQ(read("error.txt").find("\nAN ERROR HAS OCCURED [first]"), 0u) << read("error.txt");
}

TEST_F(FrameOrder, QuitFromAnEndHookCompletesTheFrameAndNeverResumes) {
    a->quitAfter = 2;
    write("start.nut", kExitHook + "for (local i = 1; ; ++i) { mark(\"\" + i); suspend(); }");
    run();
    EXPECT_EQ(log, join({{"load A", "load refused", "load B"},
                         frame("1"),
                         frame("2"), // B's end hook still runs after A posted the quit
                         {"script exit", "unload A", "unload B"}}));
}

TEST_F(FrameOrder, NoFrameAndNoExitHookWhenSetUpFails) {
    // Without start.nut nothing runs, nothing is reported.
    run();
    EXPECT_EQ(log, (std::vector<std::string>{"load A", "load refused", "load B", "unload A",
                                             "unload B"}));
    EXPECT_FALSE(fs::exists(dir / "error.txt"));
    // A setup-load text that fails (no include here: the System library is not loaded).
    log.clear();
    write("start.nut", kExitHook + "mark(\"never\");");
    KoPlayhost::Setup setup;
    setup.scripts = {u"first.nut"};
    run(setup);
    EXPECT_EQ(log, (std::vector<std::string>{"load A", "load refused", "load B", "unload A",
                                             "unload B"}));
    EXPECT_TRUE(fs::exists(dir / "error.txt"));
}

} // namespace
