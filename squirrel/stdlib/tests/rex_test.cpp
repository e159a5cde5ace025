// The regular-expression engine: syntax, the no-backtracking match rules,
// compile errors, captures, and bounds on work and depth.
#include <gtest/gtest.h>

#include <sqstdprintf.h>
#include <sqstdstring.h>

#include <string>

#include "squirrel/internal/utf16.h"
#include "squirrel/stdlib/rex.h"

namespace {

struct Rex {
    explicit Rex(const std::u16string& pat) { r = sqstd_rex_compile(pat.c_str(), &err); }
    ~Rex() { sqstd_rex_free(r); }
    SQRex* r = nullptr;
    const SQChar* err = nullptr;
};

std::string compile_error(const char* pat) {
    Rex x(sqstd::from_utf8(pat));
    if (x.r) return "ok";
    return sqstd::to_utf8(x.err ? x.err : u"(null)");
}

bool match(const char* pat, const char* subject) {
    Rex x(sqstd::from_utf8(pat));
    EXPECT_NE(x.r, nullptr) << pat;
    if (!x.r) return false;
    std::u16string s = sqstd::from_utf8(subject);
    return sqstd_rex_match(x.r, s.c_str()) != SQFalse;
}

// "b..e" of the first match or "null".
std::string search(const char* pat, const char* subject) {
    Rex x(sqstd::from_utf8(pat));
    EXPECT_NE(x.r, nullptr) << pat;
    if (!x.r) return "compile error";
    std::u16string s = sqstd::from_utf8(subject);
    const SQChar *b = nullptr, *e = nullptr;
    if (!sqstd_rex_search(x.r, s.c_str(), &b, &e)) return "null";
    return std::to_string(b - s.c_str()) + ".." + std::to_string(e - s.c_str());
}

TEST(Rex, LiteralsDotAndAnchors) {
    EXPECT_TRUE(match("abc", "abc"));
    EXPECT_EQ(search("abc", "xabcx"), "1..4");
    EXPECT_TRUE(match("a.c", "a\nc"));
    EXPECT_EQ(search("^ab", "xab"), "null");
    EXPECT_EQ(search("ab$", "xab"), "1..3");
    EXPECT_EQ(search("ab$", "abx"), "null");
    EXPECT_TRUE(match("a^b", "a^b")); // ^ inside a sequence is a character
    EXPECT_EQ(search("$", "abc"), "null");
    EXPECT_EQ(search("x*", ""), "null"); // search never tries the empty subject
    EXPECT_EQ(search("(^a|b)", "ba"), "0..1");
    EXPECT_EQ(search("c|^a", "xa"), "null");
}

TEST(Rex, RepetitionStopsAtTheFollowingElement) {
    EXPECT_EQ(search("a.*b", "axxbxxb"), "0..4");
    EXPECT_EQ(search("a+a", "aaa"), "0..2");
    EXPECT_FALSE(match("a?a", "a"));
    EXPECT_EQ(search("a?a", "a"), "null");
    EXPECT_EQ(search("a.*by", "axxbxxby"), "null");
    EXPECT_EQ(search("a*ab", "aaab"), "1..4");
    EXPECT_TRUE(match("a*b*c", "aabbc")); // a following optional repetition keeps it greedy
    EXPECT_EQ(search("a.*", "xabc"), "1..4");
    EXPECT_EQ(search("a.*b", "ab"), "null"); // the element is taken once if it can be
    EXPECT_EQ(search("<.+>", "<a><b>"), "0..3");
    EXPECT_EQ(search("x{0}y", "xy"), "1..2");
    EXPECT_TRUE(match("a{2,}", "aaaaa"));
    EXPECT_FALSE(match("a{1,2}", "aaa"));
    EXPECT_FALSE(match("a{3,1}", "aaa"));
    EXPECT_TRUE(match("(ab){2}", "abab"));
    EXPECT_EQ(search("\\w+\\b", "foo bar"), "0..2"); // boundaries look at white space
}

TEST(Rex, AlternativesAreNotRetried) {
    EXPECT_FALSE(match("(x|xy)z", "xyz"));
    EXPECT_TRUE(match("x|xy", "x"));
    EXPECT_FALSE(match("x|xy", "xy"));
    EXPECT_TRUE(match("gr(a|e)y", "grey"));
    EXPECT_EQ(search("cat|dog", "hotdog"), "3..6");
    EXPECT_EQ(search("(a|b)+", "abc"), "0..2");
    EXPECT_TRUE(match("(?:ab)+", "abab"));
}

TEST(Rex, ClassesAndEscapes) {
    EXPECT_EQ(search("[abc]+", "xxbcay"), "2..5");
    EXPECT_EQ(search("[^abc]+", "abxyc"), "2..4");
    EXPECT_TRUE(match("[-a]+", "a-a"));
    EXPECT_TRUE(match("[a\\]]+", "a]a"));
    EXPECT_TRUE(match("[\\d]+", "12"));
    EXPECT_TRUE(match("[\\b]", "b")); // \b in a class is b
    EXPECT_TRUE(match("[\\t\\n]+", "\t\n"));
    EXPECT_EQ(search("\\d+", "ab123cd"), "2..5");
    EXPECT_EQ(search("\\W+", "ab!?cd"), "2..4");
    EXPECT_EQ(search("\\l+", "ABcdE"), "2..4");
    EXPECT_EQ(search("\\u+", "abCDe"), "2..4");
    EXPECT_EQ(search("\\p+", "ab.,!c"), "2..5");
    EXPECT_EQ(search("\\x+", "zz1aFz"), "2..5");
    EXPECT_TRUE(match("\\c\\C", "\x01"
                                "a"));
    EXPECT_TRUE(match("a\\.b", "a.b"));
    EXPECT_FALSE(match("a\\.b", "axb"));
    EXPECT_TRUE(match("\\q\\0", "q0"));
    EXPECT_TRUE(match("a\\", "a\\")); // a trailing backslash stands for itself
    // Character tests are ASCII: other units belong to the negated classes only.
    EXPECT_TRUE(match("\\W\\S\\D\\A", "日本語字"));
    EXPECT_FALSE(match("\\w", "日"));
}

TEST(Rex, WideSubjects) {
    EXPECT_EQ(search("本+", "日本本語"), "1..3");
    EXPECT_TRUE(match("[ぁ-ん]+", "ひらがな"));
    EXPECT_FALSE(match("[ぁ-ん]+", "カタカナ"));
}

TEST(Rex, CompileErrors) {
    for (const char* p : {"(", "[", "[abc", "^", "a|", "(?:", ""})
        EXPECT_EQ(compile_error(p), "letter expected") << p;
    for (const char* p : {"(a", "()", "(?x)", "a{1,2", "a{1,x}"})
        EXPECT_EQ(compile_error(p), "expected paren") << p;
    for (const char* p : {"a)", "a**"}) EXPECT_EQ(compile_error(p), "unexpected character") << p;
    for (const char* p : {"a{", "a{,2}"}) EXPECT_EQ(compile_error(p), "number expected") << p;
    EXPECT_EQ(compile_error("a{2"), ", or } expected");
    for (const char* p : {"[z-a]", "[a-]", "[a-"})
        EXPECT_EQ(compile_error(p), "invalid range") << p;
    for (const char* p : {"[]", "[^]", "[]a]"}) EXPECT_EQ(compile_error(p), "empty class") << p;
    for (const char* p : {"*", "+a", "?", "{2}", ")", "|a", "a||b", "a{3,1}", "a\\"})
        EXPECT_EQ(compile_error(p), "ok") << p;
}

TEST(Rex, CapturesAndSubexpressionCount) {
    Rex x(u"(\\d+)-(\\d+)-(\\d+)");
    ASSERT_NE(x.r, nullptr);
    EXPECT_EQ(sqstd_rex_getsubexpcount(x.r), 4);
    std::u16string s = u"on 2012-11-10 and";
    const SQChar *b, *e;
    ASSERT_TRUE(sqstd_rex_search(x.r, s.c_str(), &b, &e));
    SQRexMatch m;
    const int want[4][2] = {{3, 10}, {3, 4}, {8, 2}, {11, 2}};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(sqstd_rex_getsubexp(x.r, i, &m));
        EXPECT_EQ(m.begin - s.c_str(), want[i][0]) << i;
        EXPECT_EQ(m.len, want[i][1]) << i;
    }
    EXPECT_FALSE(sqstd_rex_getsubexp(x.r, 4, &m));
    EXPECT_FALSE(sqstd_rex_getsubexp(x.r, -1, &m));

    Rex y(u"(a)|(b)");
    std::u16string t = u"b";
    ASSERT_TRUE(sqstd_rex_search(y.r, t.c_str(), &b, &e));
    ASSERT_TRUE(sqstd_rex_getsubexp(y.r, 1, &m));
    EXPECT_EQ(m.begin, nullptr); // took no part
    ASSERT_TRUE(sqstd_rex_getsubexp(y.r, 2, &m));
    EXPECT_EQ(m.begin, t.c_str());

    for (auto [p, n] :
         {std::pair{u"abc", 1}, {u"((a)(b))", 4}, {u"(a|b)+c", 2}, {u"(?:ab)(c)", 2}}) {
        Rex z(p);
        EXPECT_EQ(sqstd_rex_getsubexpcount(z.r), n);
    }
}

TEST(Rex, SearchRangeTreatsTheRangeAsTheSubject) {
    Rex x(u"^\\d+$");
    std::u16string s = u"ab12cd";
    const SQChar *b, *e;
    ASSERT_TRUE(sqstd_rex_searchrange(x.r, s.c_str() + 2, s.c_str() + 4, &b, &e));
    EXPECT_EQ(b - s.c_str(), 2);
    EXPECT_EQ(e - s.c_str(), 4);
    EXPECT_FALSE(sqstd_rex_searchrange(x.r, s.c_str() + 2, s.c_str() + 5, &b, &e));
    // zero characters inside a range are ordinary
    std::u16string z(u"a\0b", 3);
    Rex y(u"a.b");
    EXPECT_TRUE(sqstd::rex_match_range(y.r, z.data(), z.data() + 3));
}

TEST(Rex, EmptyRepetitionsTerminate) {
    EXPECT_TRUE(match("(a*)*b", "aab"));
    EXPECT_TRUE(match("(\\b)+x", "x"));
    EXPECT_TRUE(match("(|a)*", ""));
    EXPECT_TRUE(match("(|a)*", "a") == false); // the empty alternative wins
    EXPECT_TRUE(match("(a?){5}b", "b"));
}

TEST(Rex, DeepNestingIsACompileErrorNotACrash) {
    std::string deep(100000, '(');
    deep += "a";
    deep += std::string(100000, ')');
    EXPECT_EQ(compile_error(deep.c_str()), "expression too complex");
    std::string ok(sqstd::kRexMaxDepth - 1, '(');
    ok += "a";
    ok += std::string(sqstd::kRexMaxDepth - 1, ')');
    EXPECT_TRUE(match(ok.c_str(), "a"));
}

TEST(Rex, RunawayWorkStopsAtTheBudget) {
    // A repeated group with a following element costs O(n) per start position.
    std::u16string s(20000, u'a');
    const SQChar *b, *e;
    Rex x(u"(a)+b");
    EXPECT_FALSE(sqstd_rex_search(x.r, s.c_str(), &b, &e));
    EXPECT_TRUE(sqstd::rex_budget_exceeded(x.r));
    // the flag belongs to the last call
    std::u16string t = u"aab";
    EXPECT_TRUE(sqstd_rex_search(x.r, t.c_str(), &b, &e));
    EXPECT_FALSE(sqstd::rex_budget_exceeded(x.r));
    // plain repetitions are remembered per position within one search
    Rex y(u"a+b");
    EXPECT_FALSE(sqstd_rex_search(y.r, s.c_str(), &b, &e));
    EXPECT_FALSE(sqstd::rex_budget_exceeded(y.r));
    Rex z(u"((((((((a*)*)*)*)*)*)*)*)*(((((a*)*)*)*)*)*x");
    EXPECT_FALSE(sqstd_rex_search(z.r, s.c_str(), &b, &e));
}

TEST(Rex, RememberedRepetitionsMatchLikeCapturedOnes) {
    // Groups switch the memo off; with and without, spans must agree.
    const std::pair<const char16_t*, const char16_t*> pairs[] = {
        {u"[ab]*b", u"([ab])*b"},
        {u"a+ab", u"(a)+ab"},
        {u"a.*b", u"a(.)*b"},
        {u"[ab]+[bc]*c", u"([ab])+([bc])*c"},
        {u"x?a*b", u"(x)?(a)*b"}};
    uint32_t seed = 7;
    for (int round = 0; round < 300; ++round) {
        std::u16string s;
        for (int i = 0; i < 12; ++i) {
            seed = seed * 1103515245u + 12345u;
            s.push_back(u"abcx"[(seed >> 16) % 4]);
        }
        for (const auto& [plain, grouped] : pairs) {
            Rex p(plain), g(grouped);
            const SQChar *pb = nullptr, *pe = nullptr, *gb = nullptr, *ge = nullptr;
            bool pm = sqstd_rex_search(p.r, s.c_str(), &pb, &pe);
            bool gm = sqstd_rex_search(g.r, s.c_str(), &gb, &ge);
            ASSERT_EQ(pm, gm) << sqstd::to_utf8(plain) << " on " << sqstd::to_utf8(s);
            if (pm) {
                EXPECT_EQ(pb, gb);
                EXPECT_EQ(pe, ge);
            }
            EXPECT_EQ(sqstd_rex_match(p.r, s.c_str()), sqstd_rex_match(g.r, s.c_str()));
        }
    }
}

} // namespace
