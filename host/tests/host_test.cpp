#include "host/Prelude.h"
#include "host/Setup.h"
#include "io/Path.h"
#include "script/Run.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

using namespace KoPlayhost;

namespace {

KoPlayhost::Setup setupFrom(const char16_t* text, bool expectOk = true) {
    KoPlayhost::Setup s;
    std::u16string problem;
    EXPECT_EQ(readSetupText(text, s, &problem), expectOk)
        << std::string(problem.begin(), problem.end());
    return s;
}

} // namespace

TEST(Setup, EmptyTextGivesDefaults) {
    KoPlayhost::Setup s = setupFrom(u"");
    EXPECT_EQ(s.ID, u"KoPlayhost");
    EXPECT_EQ(s.title, u"KoPlayhost");
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
    EXPECT_FALSE(s.single);
    EXPECT_FALSE(s.debug);
    EXPECT_TRUE(s.scripts.empty());
    EXPECT_TRUE(s.plugins.empty());
}

TEST(Setup, SlotConversions) {
    KoPlayhost::Setup s =
        setupFrom(u"title = 12; width = 70000; height = 300.9; single = true; debug <- true;"
                  u"ID = \"game\"; scripts = [\"a.nut\", 3, \"b\\\\c.nut\"]; plugins = \"p\";");
    EXPECT_EQ(s.title, u"12");
    EXPECT_EQ(s.width, 4464); // kept in 16 bits
    EXPECT_EQ(s.height, 300); // truncated
    EXPECT_TRUE(s.single);
    EXPECT_TRUE(s.debug);
    EXPECT_EQ(s.ID, u"game");
    EXPECT_EQ(s.scripts, (std::vector<std::u16string>{u"a.nut", u"b\\c.nut"}));
    EXPECT_TRUE(s.plugins.empty()); // a single string is not a list
}

TEST(Setup, BrokenTextFailsWithReasonAndKeepsRecord) {
    KoPlayhost::Setup s;
    s.title = u"kept";
    std::u16string problem;
    EXPECT_FALSE(readSetupText(u"title = ;", s, &problem));
    EXPECT_NE(problem.find(u"compile"), std::u16string::npos);
    EXPECT_FALSE(readSetupText(u"title = \"x\"; throw \"nope\";", s, &problem));
    EXPECT_NE(problem.find(u"nope"), std::u16string::npos);
    EXPECT_EQ(s.title, u"kept");
}

TEST(Prelude, ArgumentsAndNamesSurviveAnyText) {
    // Every awkward argument must come back exactly, and nothing can inject script text.
    std::vector<std::u16string> args{
        u"/path/koplayhost",       u"a b",    u"q\"uote",    u"back\\slash",
        u"\"]; injected <- 1; //", u"日本語", u"line\nbreak"};
    KoTest::ScriptVm vm;
    ASSERT_TRUE(KoScript::runText(vm.vm(), buildPrelude(true, args)));
    EXPECT_EQ(vm.eval("cmdline.len()"), std::to_string(args.size()));
    for (size_t i = 0; i < args.size(); ++i) {
        std::string expr = "cmdline[" + std::to_string(i) + "]";
        EXPECT_EQ(KoIO::fromUtf8(vm.eval(expr)), args[i]) << expr;
    }
    EXPECT_EQ(vm.eval("\"injected\" in getroottable()"), "false");
    EXPECT_EQ(vm.eval("DEBUG"), "true");
    EXPECT_EQ(vm.eval("KOPLAYHOST_VERSION"), "10105");
    EXPECT_EQ(vm.eval("SQUIRREL_VERSION"), "30004");
}

TEST(Prelude, SetupLoadTextImportsThenIncludesWithEscapedNames) {
    KoPlayhost::Setup s;
    s.plugins = {u"p1", u"p\"2"};
    s.scripts = {u"dir\\a.nut"};
    EXPECT_EQ(buildSetupLoadText(s),
              u"import(\"p1\");import(\"p\\\"2\");include(\"dir\\\\a.nut\");");
    EXPECT_EQ(buildSetupLoadText(KoPlayhost::Setup{}), u"");
    KoTest::ScriptVm vm;
    ASSERT_TRUE(vm.run("seen <- []; function import(n) { seen.append(n); } function include(n) { "
                       "seen.append(n); }"));
    ASSERT_TRUE(KoScript::runText(vm.vm(), buildSetupLoadText(s)));
    EXPECT_EQ(vm.eval("seen[1]"), "p\"2");
    EXPECT_EQ(vm.eval("seen[2]"), "dir\\a.nut");
}

TEST(ScriptText, Utf8AndShiftJisReadAlike) {
    const char utf8[] = "s <- \"\xE6\x97\xA5\xE6\x9C\xAC\";"; // 日本
    const char sjis[] = "s <- \"\x93\xFA\x96\x7B\";";         // 日本 in code page 932
    const char bom[] = "\xEF\xBB\xBFs <- \"\xE6\x97\xA5\xE6\x9C\xAC\";";
    std::u16string expected = u"s <- \"日本\";";
    EXPECT_EQ(KoScript::decodeScript(utf8), expected);
    EXPECT_EQ(KoScript::decodeScript(sjis), expected);
    EXPECT_EQ(KoScript::decodeScript(bom), expected);
    EXPECT_EQ(KoScript::decodeScript("a\r\nb"), u"a\nb");
    EXPECT_EQ(KoScript::decodeScript(""), u"");
    // Half-width katakana is one byte in Shift_JIS and never valid UTF-8 on its own.
    EXPECT_EQ(KoScript::decodeScript("\xB6\xC0"), u"ｶﾀ");
}

TEST(ScriptText, UndecodableBytesBecomeReplacementCharacters) {
    // 0x94 starts a two-byte character that '*' (0x2A) cannot end: the reader gives up after four
    // bytes, which become one U+FFFD, and goes on; the script is not cut short there.
    EXPECT_EQ(KoScript::decodeScript("ab\x94*cdefg"), u"ab\uFFFDefg");
    EXPECT_EQ(KoScript::decodeScript("\x94*cd\x94*ef!"), u"\uFFFD\uFFFD!");
}
