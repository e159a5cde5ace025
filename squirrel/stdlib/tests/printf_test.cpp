// sqstd_vsnprintf: the formatter behind the print and error functions.
#include <gtest/gtest.h>

#include <sqstdprintf.h>

#include <climits>
#include <string>

#include "squirrel/internal/utf16.h"

namespace {

std::string u8(const std::u16string& s) {
    return sqstd::to_utf8(s);
}

TEST(Printf, ReportLayouts) {
    EXPECT_EQ(u8(sqstd::formatf(u"\nAN ERROR HAS OCCURED [%s]\n", u"boom")),
              "\nAN ERROR HAS OCCURED [boom]\n");
    EXPECT_EQ(u8(sqstd::formatf(u"*FUNCTION [%s()] %s line [%d]\n", u"f", u"x.nut", -1)),
              "*FUNCTION [f()] x.nut line [-1]\n");
    EXPECT_EQ(u8(sqstd::formatf(u"%s line = (%d) column = (%d) : error %s\n", u"c1.nut", 2, 12,
                                u"expression expected")),
              "c1.nut line = (2) column = (12) : error expression expected\n");
}

TEST(Printf, FourteenDigitFloatsOfSinglePrecisionValues) {
    EXPECT_EQ(u8(sqstd::formatf(u"%.14g", static_cast<double>(0.1f))), "0.10000000149012");
    EXPECT_EQ(u8(sqstd::formatf(u"%.14g", static_cast<double>(1.0f))), "1");
    EXPECT_EQ(u8(sqstd::formatf(u"%.14g", static_cast<double>(2.5f))), "2.5");
    EXPECT_EQ(u8(sqstd::formatf(u"%.14g", static_cast<double>(1e20f))), "1.0000000200409e+020");
    EXPECT_EQ(u8(sqstd::formatf(u"%g", 0.333333333)), "0.333333");
}

TEST(Printf, TruncatesSafelyAndReturnsTheFullLength) {
    char16_t buf[8];
    for (auto& c : buf) c = u'#';
    EXPECT_EQ(sqstd_snprintf(buf, 5, u"%s-%d", u"abcdef", 42), 9);
    EXPECT_EQ(std::u16string(buf), u"abcd");
    EXPECT_EQ(buf[5], u'#'); // nothing written past the size
    EXPECT_EQ(sqstd_snprintf(nullptr, 0, u"%05d", 3), 5);
    EXPECT_EQ(sqstd_snprintf(buf, 1, u"xyz"), 3);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(sqstd_snprintf(buf, 8, u"abc"), 3);
    EXPECT_EQ(std::u16string(buf), u"abc");
}

TEST(Printf, LengthModifiersAndStarArguments) {
    EXPECT_EQ(
        u8(sqstd::formatf(u"%ld %lld %lu %zu", -5L, LLONG_MIN, ULONG_MAX, static_cast<size_t>(7))),
        "-5 -9223372036854775808 18446744073709551615 7");
    EXPECT_EQ(u8(sqstd::formatf(u"%hd %hhu %hx", 70000, 257, 0x12345)), "4464 1 2345");
    EXPECT_EQ(u8(sqstd::formatf(u"[%*d] [%-*d] [%.*f]", 4, 1, 3, 2, 2, 3.14159)),
              "[   1] [2  ] [3.14]");
    EXPECT_EQ(u8(sqstd::formatf(u"[%*d]", -4, 1)), "[1   ]");
    EXPECT_EQ(u8(sqstd::formatf(u"[%.*s]", -1, u"all")), "[all]");
}

TEST(Printf, NarrowAndWideText) {
    EXPECT_EQ(u8(sqstd::formatf(u"%hs|%s|%c", "na\xC3\xAFve", u"日本", 0x8A9E)),
              "na\xC3\xAFve|日本|語");
    EXPECT_EQ(u8(sqstd::formatf(u"%s %hs", static_cast<const char16_t*>(nullptr),
                                static_cast<const char*>(nullptr))),
              "(null) (null)");
    // the precision bounds how far an unterminated text is read
    const char16_t raw[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(u8(sqstd::formatf(u"%.2s", raw)), "ab");
}

TEST(Printf, PointersAndUnknownConversions) {
    EXPECT_EQ(u8(sqstd::formatf(u"0x%p", reinterpret_cast<void*>(0x12FA30))), "0x0012FA30");
    EXPECT_EQ(u8(sqstd::formatf(u"0x%p", static_cast<void*>(nullptr))), "0x00000000");
    // unknown conversions are copied and take no argument
    EXPECT_EQ(u8(sqstd::formatf(u"%n %q %d", 5)), "%n %q 5");
    EXPECT_EQ(u8(sqstd::formatf(u"100%% %")), "100% %");
    EXPECT_EQ(u8(sqstd::formatf(u"%-5")), "%-5");
}

TEST(Printf, HugeFieldsAreClamped) {
    std::u16string s = sqstd::formatf(u"%*d", INT_MAX, 1);
    EXPECT_EQ(s.size(), 65536u);
    EXPECT_EQ(sqstd::formatf(u"%99999999999999999999d", 1).size(), 65536u);
}

} // namespace
