#include "TestSupport.h"
#include "io/Encoding.h"

#include <gtest/gtest.h>

using namespace KoIO;
using namespace KoIOTest;

namespace {
// Decodes everything; the units, or "<fail>" when the decoder gives 0.
std::u16string decodeAll(IDecoder& d, const std::string& in, uint32_t room = 256) {
    std::u16string out(room / 2, u'\0');
    uint32_t n = d.decode(out.data(), room, in.data(), uint32_t(in.size()));
    if (n == 0) return u"<fail>";
    out.resize(n / 2);
    return out;
}

std::string encodeAll(IEncoder& e, const std::u16string& in, uint32_t room = 256) {
    std::string out(room, '\0');
    uint32_t n = e.encode(out.data(), room, in.data(), uint32_t(in.size() * 2));
    out.resize(n);
    return out;
}
} // namespace

TEST(ShiftJis, DecodesAsciiKanaKanjiAndHalfWidthKana) {
    ShiftJisDecoder d;
    EXPECT_EQ(decodeAll(d, "a\\~"), u"a\\~");
    EXPECT_EQ(decodeAll(d, "\x82\xA0\x8A\xBF\x8E\x9A"), u"あ漢字");
    EXPECT_EQ(decodeAll(d, "\xB1\xDF"), u"ｱﾟ");
    EXPECT_EQ(decodeAll(d, "\x81\x60\x87\x40\xFA\x40"), u"～①ⅰ");
}

TEST(ShiftJis, InvalidIncompleteOrTooBigInputGivesZero) {
    ShiftJisDecoder d;
    EXPECT_EQ(decodeAll(d, "\x82"), u"<fail>");        // lead byte alone
    EXPECT_EQ(decodeAll(d, "a\x82\x20"), u"<fail>");   // bad trail byte
    EXPECT_EQ(decodeAll(d, "\x85\x40"), u"<fail>");    // unassigned cell
    EXPECT_EQ(decodeAll(d, "abc", 4), u"<fail>");      // three units do not fit in 4 bytes
    EXPECT_EQ(decodeAll(d, "ab", 4), u"ab");
    char16_t out[2];
    EXPECT_EQ(d.decode(nullptr, 4, "a", 1), 0u);
    EXPECT_EQ(d.decode(out, 4, nullptr, 1), 0u);
    EXPECT_EQ(d.decode(out, 0, "a", 1), 0u);
    EXPECT_EQ(d.decode(out, 4, "a", 0), 0u);
}

TEST(ShiftJis, SingleBytesTheWindowsCodePageMapsRoundTrip) {
    ShiftJisDecoder d;
    ShiftJisEncoder e;
    std::u16string text = decodeAll(d, "\x80\xA0\xFD\xFE\xFF");
    EXPECT_EQ(text, (std::u16string{0x0080, 0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3}));
    EXPECT_EQ(encodeAll(e, text), "\x80\xA0\xFD\xFE\xFF");
}

TEST(ShiftJis, EncoderReplacesUnmappableCharactersAndKeepsGoing) {
    ShiftJisEncoder e;
    EXPECT_EQ(encodeAll(e, u"aあb"), "a\x82\xA0" "b");
    EXPECT_EQ(encodeAll(e, u"x\u00E9y"), "x?y");        // é has no code page 932 form
    EXPECT_EQ(encodeAll(e, u"\U0001F600!"), "?!");       // a pair is one character
    EXPECT_EQ(encodeAll(e, std::u16string{0xD800, u'z'}), "?z"); // lone half
    EXPECT_EQ(encodeAll(e, u"\u00A5"), "\x5C");         // one way: yen to backslash
    EXPECT_EQ(encodeAll(e, u"ｱ"), "\xB1");
    EXPECT_EQ(encodeAll(e, u"あい", 3), "");             // does not fit
}

TEST(Cp932Names, ConversionFailsInsteadOfReplacing) {
    std::string out;
    EXPECT_TRUE(toCp932(u"データ\\画像.png", out));
    std::u16string back;
    EXPECT_TRUE(fromCp932(out, back));
    EXPECT_EQ(back, u"データ\\画像.png");
    EXPECT_FALSE(toCp932(u"caf\u00E9", out));
    EXPECT_FALSE(fromCp932("\x82", back));
}

TEST(Utf8, StrictDecoding) {
    Utf8Decoder d;
    EXPECT_EQ(decodeAll(d, "h\xC3\xA9\xE6\xBC\xA2"), u"hé漢");
    EXPECT_EQ(decodeAll(d, "\xEF\xBB\xBFx"), u"\uFEFFx"); // the mark is a character here
    EXPECT_EQ(decodeAll(d, "\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(decodeAll(d, "\xF0\x9F\x98\x80", 2), u"<fail>"); // a pair needs 4 bytes
    EXPECT_EQ(decodeAll(d, "\xE6\xBC"), u"<fail>");         // incomplete
    EXPECT_EQ(decodeAll(d, "\xC0\x80"), u"<fail>");         // overlong
    EXPECT_EQ(decodeAll(d, "\xED\xA0\x80"), u"<fail>");     // surrogate
    EXPECT_EQ(decodeAll(d, "\xF4\x90\x80\x80"), u"<fail>"); // above U+10FFFF
    EXPECT_EQ(decodeAll(d, "\x80"), u"<fail>");             // stray continuation
}

TEST(Utf8, EncodingPairsAndLoneHalves) {
    Utf8Encoder e;
    EXPECT_EQ(encodeAll(e, u"aé漢"), "a\xC3\xA9\xE6\xBC\xA2");
    EXPECT_EQ(encodeAll(e, u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(encodeAll(e, std::u16string{0xDC00}), "\xEF\xBF\xBD");
    EXPECT_EQ(encodeAll(e, u"漢", 2), "");
}

TEST(Utf16, FixedOrderCodecsCopyEvenCounts) {
    Utf16DecoderLE le;
    Utf16DecoderBE be;
    EXPECT_EQ(decodeAll(le, std::string("a\0b\0", 4)), u"ab");
    EXPECT_EQ(decodeAll(be, std::string("\0a\0b", 4)), u"ab");
    EXPECT_EQ(decodeAll(le, std::string("a\0b", 3)), u"a"); // odd byte dropped
    EXPECT_EQ(decodeAll(le, std::string("a\0b\0", 4), 2), u"a"); // min of both sizes
    EXPECT_EQ(decodeAll(le, "x"), u"<fail>");
    Utf16EncoderLE ele;
    Utf16EncoderBE ebe;
    EXPECT_EQ(encodeAll(ele, u"a\u3042"), std::string("a\0\x42\x30", 4));
    EXPECT_EQ(encodeAll(ebe, u"a\u3042"), std::string("\0a\x30\x42", 4));
    EXPECT_EQ(encodeAll(ebe, u"ab", 3), std::string("\0a", 2));
}

TEST(Utf16, DetectingDecoderSwitchesOnMarksAndDefaultsToBigEndian) {
    Utf16Decoder d;
    EXPECT_EQ(decodeAll(d, std::string("\0a", 2)), u"a");
    EXPECT_EQ(decodeAll(d, std::string("\xFF\xFE", 2)), u"<fail>"); // a mark needs 4 bytes
    EXPECT_EQ(decodeAll(d, std::string("\xFF\xFE" "b\0", 4)), u"b");
    EXPECT_EQ(decodeAll(d, std::string("c\0", 2)), u"c");          // stays little-endian
    EXPECT_EQ(decodeAll(d, std::string("\xFE\xFF\0d", 4)), u"d");  // back to big-endian
    EXPECT_EQ(decodeAll(d, std::string("\0e", 2)), u"e");
    EXPECT_EQ(decodeAll(d, "x"), u"<fail>");
}

// Each number's codec, known by what it does to bytes that only it reads or writes this way.
TEST(Encodings, FactoriesByNumber) {
    const std::u16string text = u"a\u3042"; // a, hiragana a
    const std::string bytes[] = {
        "a\x82\xA0",                    // 1: Shift_JIS
        "a\xE3\x81\x82",                // 2: UTF-8
        std::string("\0a\x30\x42", 4),  // 3: UTF-16, written big-endian
        std::string("a\0\x42\x30", 4),  // 4: UTF-16LE
        std::string("\0a\x30\x42", 4),  // 5: UTF-16BE
    };
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        auto decoder = createDecoder(n);
        auto encoder = createEncoder(n);
        ASSERT_TRUE(decoder && encoder);
        EXPECT_EQ(decodeAll(*decoder, bytes[n - 1]), text);
        EXPECT_EQ(encodeAll(*encoder, text), bytes[n - 1]);
    }
    // 3 detects the order from a mark; the others take a mark as a character or refuse it.
    EXPECT_EQ(decodeAll(*createDecoder(3), std::string("\xFF\xFE" "a\0", 4)), u"a");
    EXPECT_EQ(decodeAll(*createDecoder(4), std::string("\xFF\xFE" "a\0", 4)), u"\uFEFFa");
    EXPECT_EQ(createDecoder(0), nullptr);
    EXPECT_EQ(createDecoder(6), nullptr);
    EXPECT_EQ(createEncoder(0), nullptr);
    EXPECT_EQ(createEncoder(6), nullptr);
}
