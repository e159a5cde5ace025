// The one UTF-8/UTF-16 converter every part uses at its edges, and script-encoding sniffing.
#include "io/Encoding.h"
#include "io/Utf.h"

#include <gtest/gtest.h>

using namespace KoIO;

TEST(Utf, RoundTripsEveryPlane) {
    const std::u16string text = u"A\u00E9\u3042\uFFFF\U00010000\U0010FFFF";
    const std::string utf8 = KoIO::toUtf8(text);
    EXPECT_EQ(utf8, "A\xC3\xA9\xE3\x81\x82\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(KoIO::fromUtf8(utf8), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    // Lone surrogates on the way out.
    EXPECT_EQ(KoIO::toUtf8(std::u16string(1, char16_t(0xDC00)) + u"a"), "\xEF\xBF\xBD"
                                                                        "a");
    EXPECT_EQ(KoIO::toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    // Overlong, surrogate, out-of-range, truncated and stray bytes on the way in.
    EXPECT_EQ(KoIO::fromUtf8("\xC0\x80"), u"\uFFFD\uFFFD");
    EXPECT_EQ(KoIO::fromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(KoIO::fromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(KoIO::fromUtf8("a\xE3\x81"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(KoIO::fromUtf8("\x80z"), u"\uFFFDz");
    EXPECT_EQ(KoIO::fromUtf8(std::string("\0x", 2)), std::u16string(u"\0x", 2));
}

TEST(Utf, StrictFormsRefuseWhatLossyFormsReplace) {
    std::string out8;
    std::u16string out16;
    EXPECT_FALSE(utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x", out8));
    EXPECT_TRUE(utf16ToUtf8(u"\U0001F600", out8));
    EXPECT_EQ(out8, "\xF0\x9F\x98\x80");
    EXPECT_FALSE(utf8ToUtf16("ok\xE3\x81", out16));
    EXPECT_TRUE(utf8ToUtf16("\xE3\x81\x82", out16));
    EXPECT_EQ(out16, u"\u3042");
}

TEST(ScriptEncoding, MarkOrValidNonAsciiUtf8ElseShiftJis) {
    size_t mark = 99;
    EXPECT_EQ(detectScriptEncoding("\xEF\xBB\xBFprint(1)", mark), UTF8);
    EXPECT_EQ(mark, 3u);
    EXPECT_EQ(detectScriptEncoding("print(\"\xE3\x81\x82\")", mark), UTF8); // "あ" in UTF-8
    EXPECT_EQ(mark, 0u);
    // Plain ASCII is read as Shift_JIS: both give the same text.
    EXPECT_EQ(detectScriptEncoding("print(1)", mark), SHIFT_JIS);
    // "あ" in Shift_JIS (82 A0) is no UTF-8 sequence; neither is a truncated one at the end.
    EXPECT_EQ(detectScriptEncoding("print(\"\x82\xA0\")", mark), SHIFT_JIS);
    EXPECT_EQ(detectScriptEncoding("x\xE3\x81", mark), SHIFT_JIS);
    // An overlong or surrogate form is not UTF-8 either.
    EXPECT_EQ(detectScriptEncoding("\xC0\xAF", mark), SHIFT_JIS);
    EXPECT_EQ(detectScriptEncoding("\xED\xA0\x80", mark), SHIFT_JIS);
}
