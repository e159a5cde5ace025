// The Math, Collection and Log tables: the generator's scaling and reproducibility, Bezier
// points, element-wise arithmetic and helpers, collection filters, and log lines in and out of
// debug mode.
#include "io/FileManager.h"
#include "io/Path.h"
#include "script/ScCollection.h"
#include "script/ScIO.h"
#include "script/ScLog.h"
#include "script/ScMath.h"
#include "script/ScSystem.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace KoScript;

namespace {

const char* kErr = "function err(f) { try { f(); } catch (e) { return e; } return \"no error\"; }";

TEST(MathCore, ScalingFollowsTheStatedArithmetic) {
    using MathCore::scaleFloat;
    using MathCore::scaleInt;
    EXPECT_EQ(scaleInt(0, 0, 9), 0);
    EXPECT_EQ(scaleInt(0xFFFFFFFFu, 0, 9), 9);
    EXPECT_EQ(scaleInt(0x80000000u, 0, 9), 5);
    EXPECT_EQ(scaleInt(0x80000000u, -10, 9), 0);
    EXPECT_EQ(scaleInt(0xFFFFFFFFu, INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(scaleInt(0, INT32_MIN, INT32_MAX), INT32_MIN);
    EXPECT_EQ(scaleInt(12345, 5, 5), 5);
    EXPECT_EQ(scaleFloat(0, 2.0f, 4.0f), 2.0f);
    EXPECT_EQ(scaleFloat(0xFFFFFFFFu, 0.0f, 1.0f), 1.0f); // rounds up to 1 as a float
    EXPECT_EQ(scaleFloat(0x80000000u, -1.0f, 1.0f), 0.0f);

    // The engine is the standard MT19937: its first output for seed 42 is a published value.
    MathCore::Random r(42);
    EXPECT_EQ(r.engine(), 1608637542u);
    EXPECT_EQ(MathCore::toRadian(180.0f), 3.14159274101257324f);
    EXPECT_EQ(MathCore::toDegree(1.0f), 57.2957763671875f);
}

TEST(MathCore, BezierByDeCasteljau) {
    MathCore::Bezier line({{0, 0}, {10, 20}});
    EXPECT_EQ(*line.get(0.5f), std::make_pair(5.0f, 10.0f));
    EXPECT_EQ(*line.get(2.0f), std::make_pair(20.0f, 40.0f));
    MathCore::Bezier quad({{0, 0}, {10, 10}, {20, 0}});
    EXPECT_EQ(*quad.get(0.5f), std::make_pair(10.0f, 5.0f));
    EXPECT_EQ(*quad.get(0.5f), std::make_pair(10.0f, 5.0f)); // control points unchanged
    EXPECT_EQ(*MathCore::Bezier({{3, 4}}).get(9.0f), std::make_pair(3.0f, 4.0f));
    EXPECT_FALSE(MathCore::Bezier({}).get(0.5f));
}

class MathScript : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vm.load(std::make_shared<MathLibrary>())) << vm.takeErr();
        ASSERT_TRUE(vm.load(std::make_shared<CollectionLibrary>())) << vm.takeErr();
        ASSERT_TRUE(vm.run(kErr));
    }
    std::string eval(const std::string& e) { return vm.eval(e); }
    KoTest::ScriptVm vm;
};

TEST_F(MathScript, RandomIsReproducible) {
    EXPECT_EQ(eval("Math.Random(42).getSeed()"), "42");
    EXPECT_EQ(eval("Math.Random(42).nextInt()"), "804318771");
    EXPECT_EQ(eval("fabs(Math.Random(42).nextFloat() - 0.3745401) < 1e-6"), "true");
    EXPECT_EQ(eval("(function() { local a = Math.Random(7), b = Math.Random(7);"
                   " for (local i = 0; i < 200; ++i) {"
                   "   if (a.nextInt(i) != b.nextInt(i) || a.nextFloat(-1.0, 1.0) != b.nextFloat(-1.0, 1.0))"
                   "     return false; }"
                   " return true; })()"),
              "true");
    EXPECT_EQ(eval("(function() { local r = Math.Random(3);"
                   " for (local i = 0; i < 1000; ++i) {"
                   "   local n = r.nextInt(-3, 3), f = r.nextFloat(2.0);"
                   "   if (n < -3 || n > 3 || f < 0 || f > 2.0) return false; }"
                   " return true; })()"),
              "true");
    EXPECT_EQ(eval("Math.Random(1).nextInt(5, 5)"), "5");
    EXPECT_EQ(eval("Math.Random(1).nextFloat(2.0, 2.0)"), "2");
    EXPECT_EQ(eval("Math.Random(-1).getSeed()"), "-1"); // the seed is taken as 32 bits
    EXPECT_EQ(eval("(function() { local a = Math.Random(5); a.nextInt(); local b = clone a;"
                   " return a.nextInt() == b.nextInt(); })()"),
              "true");
    EXPECT_EQ(eval("err(@() Math.Random(\"x\"))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Math.Random(1, 2))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Math.Random(1).nextInt(1, 2, 3))"),
              "No overload matching this argument list found");
}

TEST_F(MathScript, BezierFromScript) {
    EXPECT_EQ(eval("(function() { local p = Math.Bezier([[0, 0], [10, 20]]).get(0.5);"
                   " return p[0] + \",\" + p[1]; })()"),
              "5,10");
    EXPECT_EQ(eval("(function() { local p = Math.Bezier([[0, 0], [10, 20]]).get(2.0);"
                   " return p[0] + \",\" + p[1]; })()"),
              "20,40");
    EXPECT_EQ(eval("Math.Bezier([]).get(0.5) == null"), "true");
    EXPECT_EQ(eval("err(@() Math.Bezier([[0, 0], 5]))"), "wrong number of parameters");
    EXPECT_EQ(eval("err(@() Math.Bezier([[0, 0], [1]]))"), "failed create instance");
    EXPECT_EQ(eval("err(@() Math.Bezier(3))"), "wrong number of parameters");
}

TEST_F(MathScript, ElementWiseAndHelpers) {
    EXPECT_EQ(eval("Math.add([1, 2], [3]) == null"), "true");
    EXPECT_EQ(eval("Math.add([1, 2], 10).reduce(@(a, b) a + \",\" + b)"), "11,12");
    EXPECT_EQ(eval("Math.sub(10, [1, 2]).reduce(@(a, b) a + \",\" + b)"), "9,8");
    EXPECT_EQ(eval("Math.mul([1, 2], [3, 4]).reduce(@(a, b) a + \",\" + b)"), "3,8");
    EXPECT_EQ(eval("Math.div(7, 2) + \",\" + Math.mod(7, 2)"), "3,1");
    EXPECT_EQ(eval("Math.lerp([0, 10], [10, 20], 0.5).reduce(@(a, b) a + \",\" + b)"), "5,15");
    EXPECT_EQ(eval("Math.lerp_v(0, 10, 0.25)"), "2.5");
    EXPECT_EQ(eval("Math.clamp([-5, 5, 15], 0, 10).reduce(@(a, b) a + \",\" + b)"), "0,5,10");
    EXPECT_EQ(eval("Math.rclamp(11, 0, 10) + \",\" + Math.rclamp(-1, 0, 10) + \",\" + Math.rclamp(4, 0, 10)"),
              "0,10,4");
    EXPECT_EQ(eval("Math.min(3, 1, 2) + \",\" + Math.max([4, 9, 2]) + \",\" + Math.min([5])"), "1,9,5");
    EXPECT_EQ(eval("err(@() Math.max())"), "wrong number of parameters");
    EXPECT_EQ(eval("Math.range(1, 5, 2).reduce(@(a, b) a + \",\" + b)"), "1,3,5");
    EXPECT_EQ(eval("Math.range(5, 1, 2).reduce(@(a, b) a + \",\" + b)"), "5,3,1");
    EXPECT_EQ(eval("Math.range(1, 6, -2).reduce(@(a, b) a + \",\" + b)"), "1,3,5");
    EXPECT_EQ(eval("Math.range(3, 3).len() + \",\" + Math.range(3, 3)[0]"), "1,3");
    EXPECT_EQ(eval("Math.range(2147483640, 2147483647, 5).len()"), "2"); // no wrap to negative
    EXPECT_EQ(eval("err(@() Math.range(0, 3, 0))"), "Math.range: step must not be 0");
    EXPECT_EQ(eval("Math.between(5, 10, 0) && Math.between(0, 0, 10) && !Math.between(11, 0, 10)"), "true");
    EXPECT_EQ(eval("Math.distance(0, 0, 3, 4) + \",\" + Math.distance([1, 1], [4, 5])"), "5,5");
    EXPECT_EQ(eval("fabs(Math.angle([0, 0], [0, 1]) - PI / 2) < 1e-6"), "true");
    EXPECT_EQ(eval("err(@() Math.distance(1, 2, 3))"), "wrong number of parameters");
    // The same seed shuffles alike; a shuffle is a permutation; shuffled leaves the original.
    EXPECT_EQ(eval("(function() { local a = Math.range(0, 19), b = Math.shuffled(a, 9);"
                   " local c = Math.shuffled(a, 9), sorted = clone b; sorted.sort();"
                   " for (local i = 0; i < 20; ++i) if (b[i] != c[i] || sorted[i] != i || a[i] != i) return false;"
                   " return true; })()"),
              "true");
}

TEST_F(MathScript, CollectionFilters) {
    auto show = [&](const std::string& e) {
        return eval("(function() { local v = " + e +
                    "; if (typeof v == \"array\") return v.reduce(@(a, b) a + \",\" + b);"
                    " local k = []; foreach (key, x in v) k.append(key + \"=\" + x); k.sort();"
                    " return k.reduce(@(a, b) a + \",\" + b); })()");
    };
    EXPECT_EQ(show("Collection.removed([1, 2, 3, 4], @(k, v) v % 2 == 0)"), "1,3");
    EXPECT_EQ(show("Collection.selected([5, 6, 7], @(k, v) k > 0)"), "6,7");
    EXPECT_EQ(show("Collection.removed({a = 1, b = 2}, @(k, v) k == \"a\")"), "b=2");
    EXPECT_EQ(show("Collection.selected({a = 1, b = 2, c = 3}, @(k, v) v >= 2)"), "b=2,c=3");
    // In place: the same object, changed.
    EXPECT_EQ(eval("(function() { local a = [1, 2, 3]; local r = Collection.remove(a, @(k, v) v == 2);"
                   " return (r == a) + \",\" + a.len() + \",\" + a[1]; })()"),
              "true,2,3");
    EXPECT_EQ(eval("(function() { local t = {x = 1, y = 2}; Collection.select(t, @(k, v) v == 1);"
                   " return t.len() + \",\" + (\"x\" in t); })()"),
              "1,true");
    EXPECT_EQ(show("Collection.copy([9, 9, 9, 9], [1, 2])"), "1,2");
    EXPECT_EQ(show("Collection.copy({old = 1}, {a = 1})"), "a=1");
    EXPECT_EQ(show("(function() { local t = {a = 1}; return Collection.copy(t, t); })()"), "a=1");
    EXPECT_EQ(eval("err(@() Collection.copy([], {}))"), "type miss match");
    EXPECT_EQ(eval("err(@() Collection.copy(1, 1))"), "type miss match");
    EXPECT_EQ(eval("err(@() Collection.removed(\"abc\", @(k, v) true))"), "type miss match");
}

// Log writes through the IO library into a scratch game folder.
class LogScript : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ko-log-script.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        oldCwd = fs::current_path();
        fs::current_path(dir);
        KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u"", true));
        vm = std::make_unique<KoTest::ScriptVm>(GetParam());
        ASSERT_TRUE(vm->load(std::make_shared<SystemLibrary>())) << vm->takeErr();
        ASSERT_TRUE(vm->load(std::make_shared<IOLibrary>())) << vm->takeErr();
        ASSERT_TRUE(vm->load(std::make_shared<LogLibrary>())) << vm->takeErr();
    }
    void TearDown() override {
        vm.reset();
        KoIO::setFileManager(nullptr);
        fs::current_path(oldCwd);
        fs::remove_all(dir);
    }
    std::string readFile(const std::string& rel) {
        std::ifstream in(dir / rel, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir, oldCwd;
    std::unique_ptr<KoTest::ScriptVm> vm;
};

// Every local "Y/MM/DD hh:mm:ss" stamp from `from` to `to`, as alternatives of a pattern.
std::string stampsBetween(time_t from, time_t to) {
    std::string any;
    for (time_t t = from; t <= to; ++t) {
        struct tm local;
        localtime_r(&t, &local);
        char text[32];
        strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
        any += (any.empty() ? "" : "|") + std::string(text);
    }
    return "(" + any + ")";
}

TEST_P(LogScript, WritesOnlyInDebugMode) {
    bool debug = GetParam();
    // A zone 13 hours east of UTC: a stamp in UTC, or a month counted from 0, shows.
    const char* oldZone = getenv("TZ");
    std::string keptZone = oldZone ? oldZone : "";
    setenv("TZ", "XST-13", 1);
    tzset();
    struct ZoneBack {
        const char* old;
        std::string kept;
        ~ZoneBack() {
            if (old)
                setenv("TZ", kept.c_str(), 1);
            else
                unsetenv("TZ");
            tzset();
        }
    } zoneBack{oldZone, keptZone};
    time_t before = time(nullptr);
    EXPECT_EQ(vm->eval("Log.getOutputPath() + \",\" + Log.getOutputMode() + \",\" + Log.Level.ERROR + \",\" + Log.Mode.CONSOLE"),
              "log.txt,1,3,2");
    ASSERT_TRUE(vm->run("Log.setOutputMode(Log.Mode.FILE | Log.Mode.CONSOLE);\n"
                        "Log.d(\"tag\", \"x\");\n"
                        "Log.write(7, 5, \"odd level\");\n"
                        "Log.setOutputPath(\"sub.log\"); Log.e(\"E\", \"to the other file\");"))
        << vm->takeErr();
    time_t after = time(nullptr);
    std::string log = readFile("log.txt");
    if (!debug) {
        EXPECT_FALSE(fs::exists(dir / "log.txt"));
        EXPECT_FALSE(fs::exists(dir / "sub.log"));
        EXPECT_EQ(vm->takeOut(), "");
        return;
    }
    std::string stamp = stampsBetween(before, after);
    std::regex lines("\\[d\\] <tag> " + stamp + " test\\(2\\) x\r\n"
                     "\\[-\\] <5> " + stamp + " test\\(3\\) odd level\r\n");
    EXPECT_TRUE(std::regex_match(log, lines)) << log;
    // Files hold CRLF line ends like every text file written; the console gets the line as is.
    std::string printed = std::regex_replace(log + readFile("sub.log"), std::regex("\r\n"), "\n");
    EXPECT_EQ(vm->takeOut(), printed);
    EXPECT_TRUE(std::regex_match(readFile("sub.log"), std::regex("\\[e\\] <E> .* test\\(4\\) to the other file\r\n")));
    // clear empties the current file only.
    ASSERT_TRUE(vm->run("Log.clear();"));
    EXPECT_EQ(readFile("sub.log"), "");
    EXPECT_EQ(readFile("log.txt"), log);
}

INSTANTIATE_TEST_SUITE_P(DebugOffAndOn, LogScript, ::testing::Bool());

} // namespace
