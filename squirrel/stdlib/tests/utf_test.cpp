// UTF-16 <-> UTF-8 at the edges of the program.
#include <gtest/gtest.h>

#include <sqstdprintf.h>

namespace {

TEST(Utf, JapaneseAndSupplementaryCharactersRoundTrip) {
    std::u16string text = u"日本語のテキスト、かな・カナ 😀 end";
    std::string u8 = sqstd::to_utf8(text);
    EXPECT_EQ(u8, "日本語のテキスト、かな・カナ 😀 end");
    EXPECT_EQ(sqstd::from_utf8(u8), text);
}

TEST(Utf, LoneSurrogatesBecomeReplacementCharacters) {
    std::u16string s = {0xD800, u'a', 0xDC00};
    EXPECT_EQ(sqstd::to_utf8(s), "\xEF\xBF\xBD"
                                 "a"
                                 "\xEF\xBF\xBD");
    std::u16string trailing = {u'x', 0xD83D};
    EXPECT_EQ(sqstd::to_utf8(trailing), "x\xEF\xBF\xBD");
}

TEST(Utf, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(sqstd::from_utf8("a\xFF"
                               "b"),
              u"a\xFFFD"
              "b");
    EXPECT_EQ(sqstd::from_utf8("\xC0\xAF"), u"\xFFFD\xFFFD");           // overlong
    EXPECT_EQ(sqstd::from_utf8("\xED\xA0\x80"), u"\xFFFD\xFFFD\xFFFD"); // encoded surrogate
    EXPECT_EQ(sqstd::from_utf8("\xE6\x97"), u"\xFFFD\xFFFD");           // cut short
    EXPECT_EQ(sqstd::from_utf8("\xF4\x90\x80\x80"), u"\xFFFD\xFFFD\xFFFD\xFFFD"); // past U+10FFFF
    EXPECT_EQ(sqstd::from_utf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

} // namespace
