// UTF-16 <-> UTF-8 at the edges of the program: the VM's converter, as the standard library
// and sq reach it.
#include <gtest/gtest.h>

#include "squirrel/internal/utf16.h"

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

TEST(Utf, StrayBytesBecomeReplacementCharactersNotTheirByteValues) {
    // A Latin-1 byte is not kept as its code point: U+FFFD, and the text after it decodes.
    EXPECT_EQ(sqstd::from_utf8("caf\xE9"), u"caf\xFFFD");
    EXPECT_EQ(sqstd::from_utf8("\x80\xBF"), u"\xFFFD\xFFFD"); // continuation bytes alone
    EXPECT_EQ(sqstd::from_utf8("\xFF\xE6\x97\xA5"), u"\xFFFD\x65E5");
    EXPECT_EQ(sqstd::from_utf8("\xE6\x97x"), u"\xFFFD\xFFFDx"); // sequence broken by ASCII
    EXPECT_EQ(sqstd::from_utf8("\xF0\x9F\x98"), u"\xFFFD\xFFFD\xFFFD");
    // Boundaries that are text: the last two-, three- and four-byte forms.
    EXPECT_EQ(sqstd::from_utf8("\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"),
              std::u16string({0x7FF, 0xFFFF, 0xDBFF, 0xDFFF}));
    EXPECT_EQ(sqstd::from_utf8("\xE0\x9F\xBF"), u"\xFFFD\xFFFD\xFFFD"); // overlong U+07FF
}

TEST(Utf, VmConverterTakesPointerAndLength) {
    // Embedded zeros and a length shorter than the buffer: the converter reads exactly len.
    const char bytes[] = "ab\0\xE6\x97\xA5zz";
    EXPECT_EQ(vm_fromutf8(bytes, 6), std::u16string(u"ab\0\x65E5", 4));
    EXPECT_EQ(vm_fromutf8(bytes, 5), std::u16string(u"ab\0\xFFFD\xFFFD", 5));
    const SQChar units[] = {u'a', 0xD83D, 0xDE00, 0xD83D};
    EXPECT_EQ(vm_toutf8(units, 3), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(vm_toutf8(units, 2), "a\xEF\xBF\xBD"); // the pair cut by len
    EXPECT_EQ(vm_toutf8(units, 0), "");
}

} // namespace
