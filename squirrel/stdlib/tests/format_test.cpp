// format(): conversions, flags, widths, the Windows runtime's float text, errors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <sqstdprintf.h>

#include "squirrel/internal/utf16.h"
#include "squirrel/stdlib/scriptformat.h"

namespace {

using sqstd::FormatArg;

struct Args {
    std::vector<FormatArg> list;
    std::vector<std::u16string> texts;
};

bool get_arg(void* ctx, int k, FormatArg& arg) {
    Args& a = *static_cast<Args*>(ctx);
    if (k < 0 || static_cast<size_t>(k) >= a.list.size()) return false;
    arg = a.list[static_cast<size_t>(k)];
    return true;
}

FormatArg I(int32_t v) {
    FormatArg a;
    a.kind = FormatArg::Integer;
    a.i = v;
    return a;
}
FormatArg F(float v) {
    FormatArg a;
    a.kind = FormatArg::Float;
    a.f = v;
    return a;
}
FormatArg S(const char16_t* s, size_t n) {
    FormatArg a;
    a.kind = FormatArg::String;
    a.s = s;
    a.n = n;
    return a;
}
FormatArg S(const char16_t* s) {
    return S(s, std::char_traits<char16_t>::length(s));
}
FormatArg Other() {
    return FormatArg{};
}

// Formats and returns the text, or "error: ..." .
std::string fmt(const char* f, std::vector<FormatArg> args = {}) {
    std::u16string wf = sqstd::from_utf8(f);
    Args a{std::move(args), {}};
    std::u16string out;
    const char* err = sqstd::script_format(wf.data(), wf.size(), get_arg, &a, out);
    if (err) return std::string("error: ") + err;
    return sqstd::to_utf8(out);
}

TEST(Format, IntegersWithFlagsWidthAndPrecision) {
    EXPECT_EQ(fmt("[%d] [%5d] [%-5d] [%05d] [%+d] [% d]", {I(7), I(7), I(7), I(7), I(7), I(7)}),
              "[7] [    7] [7    ] [00007] [+7] [ 7]");
    EXPECT_EQ(fmt("[%.3d] [%8.3d] [%-+6d]", {I(-7), I(-7), I(-7)}), "[-007] [    -007] [-7    ]");
    EXPECT_EQ(fmt("%05d", {I(-7)}), "-0007");
    EXPECT_EQ(fmt("%d %i", {I(INT32_MIN), I(INT32_MAX)}), "-2147483648 2147483647");
    // precision 0 and value 0 print no digits, as in C
    EXPECT_EQ(fmt("[%.0d]", {I(0)}), "[]");
    // a given precision disables zero padding
    EXPECT_EQ(fmt("[%08.3d]", {I(5)}), "[     005]");
}

TEST(Format, UnsignedHexOctalOfNegativeValues) {
    EXPECT_EQ(fmt("%x %X %o %u", {I(-1), I(-1), I(-1), I(-1)}),
              "ffffffff FFFFFFFF 37777777777 4294967295");
    EXPECT_EQ(fmt("%#x %#X %#o %#x %#o", {I(255), I(255), I(255), I(0), I(0)}),
              "0xff 0XFF 0377 0 0");
    EXPECT_EQ(fmt("[%08x] [%6x] [%-6X]", {I(10), I(255), I(255)}), "[0000000a] [    ff] [FF    ]");
    EXPECT_EQ(fmt("%#010x", {I(255)}), "0x000000ff");
}

TEST(Format, FloatsTruncateForIntegerConversions) {
    EXPECT_EQ(fmt("%d %d %c", {F(1.9f), F(-1.9f), F(66.9f)}), "1 -1 B");
    // out of range and NaN convert like the x86 instruction
    EXPECT_EQ(fmt("%d", {F(1e20f)}), "-2147483648");
    EXPECT_EQ(fmt("%d", {F(std::numeric_limits<float>::quiet_NaN())}), "-2147483648");
    EXPECT_EQ(fmt("%.1f", {I(3)}), "3.0");
}

TEST(Format, CharactersAreUtf16Units) {
    EXPECT_EQ(fmt("%c%c%c", {I(72), I(105), I(33)}), "Hi!");
    EXPECT_EQ(fmt("[%3c] [%-3c]", {I('x'), I('y')}), "[  x] [y  ]");
    EXPECT_EQ(fmt("%c", {I(0x65E5)}), "\xE6\x97\xA5");  // 日
    EXPECT_EQ(fmt("%c", {I(0x165E5)}), "\xE6\x97\xA5"); // truncated to 16 bits
}

TEST(Format, FixedPointAsTheFloatValue) {
    EXPECT_EQ(fmt("%f", {F(1234.5678f)}), "1234.567749");
    EXPECT_EQ(fmt("[%.2f] [%8.3f] [%-8.2f] [%+.1f] [% .1f] [%08.2f]",
                  {F(3.14159f), F(3.14159f), F(3.14159f), F(3.14159f), F(3.14159f), F(-2.7f)}),
              "[3.14] [   3.142] [3.14    ] [+3.1] [ 3.1] [-0002.70]");
    EXPECT_EQ(fmt("[%.0f] [%#.0f] [%.0f]", {F(-2.7f), F(-2.7f), F(0.3f)}), "[-3] [-3.] [0]");
    EXPECT_EQ(fmt("%.2f %.2f", {F(0.001f), F(0.006f)}), "0.00 0.01");
    EXPECT_EQ(fmt("%.0f %.1f", {F(9.5f), F(9.96f)}), "10 10.0");
    EXPECT_EQ(fmt("%f", {F(-0.0f)}), "-0.000000");
    EXPECT_EQ(fmt("%.3f", {F(1e10f)}), "10000000000.000");
}

TEST(Format, HalvesRoundUpFromSeventeenDigits) {
    // exact halves round away from zero (the C library on Linux rounds to even)
    EXPECT_EQ(fmt("%.1f %.1f %.0f %.0f", {F(1.25f), F(-1.25f), F(0.5f), F(2.5f)}), "1.3 -1.3 1 3");
    // digits past the 17th are not looked at
    EXPECT_EQ(fmt("%.20f", {F(0.1f)}), "0.10000000149011612000");
}

TEST(Format, GeneralForm) {
    EXPECT_EQ(fmt("%g %g %g %g %g", {F(0.0f), F(0.5f), F(100.0f), F(0.0001f), F(123456.0f)}),
              "0 0.5 100 0.0001 123456");
    EXPECT_EQ(fmt("%#g %#g %#g", {F(0.0f), F(0.0001f), F(123456.0f)}),
              "0.00000 0.000100000 123456.");
    EXPECT_EQ(fmt("%.3g %.2g %.1g %#.3g", {F(3.14159f), F(3.14159f), F(-2.7f), F(7.3f)}),
              "3.14 3.1 -3 7.30");
    EXPECT_EQ(fmt("%g %G", {F(1e20f), F(1e-5f)}), "1e+020 1E-005");
    EXPECT_EQ(fmt("%g", {F(1234567.0f)}), "1.23457e+006");
    EXPECT_EQ(fmt("%g", {F(999999.5f)}), "1e+006");
    EXPECT_EQ(fmt("%.0g", {F(25.0f)}), "3e+001");
}

TEST(Format, ExponentFormHasThreeDigits) {
    EXPECT_EQ(fmt("%e", {F(1.3f)}), "1.300000e+000");
    EXPECT_EQ(fmt("%E", {F(0.00125f)}), "1.250000E-003");
    EXPECT_EQ(fmt("%.0e %#.0e", {F(12345.678f), F(12345.678f)}), "1e+004 1.e+004");
    EXPECT_EQ(fmt("%+.3e % .1E", {F(0.0f), F(-2.4f)}), "+0.000e+000 -2.4E+000");
    EXPECT_EQ(fmt("%.2e", {F(9.999f)}), "1.00e+001");
    EXPECT_EQ(fmt("%e", {F(3.0e38f)}), "3.000000e+038");
}

TEST(Format, InfinityAndNanInWindowsForms) {
    float inf = std::numeric_limits<float>::infinity();
    float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(fmt("%f %f %g %e", {F(inf), F(-inf), F(inf), F(-inf)}),
              "1.#INF -1.#INF 1.#INF -1.#INF");
    EXPECT_EQ(fmt("%f %f", {F(-nan), F(nan)}), "-1.#IND 1.#QNAN");
    EXPECT_EQ(fmt("[%8f] [%-8f] [%08f] [%+f]", {F(inf), F(inf), F(inf), F(inf)}),
              "[  1.#INF] [1.#INF  ] [  1.#INF] [+1.#INF]");
}

TEST(Format, StringsTakeUtf16Text) {
    EXPECT_EQ(
        fmt("[%10s] [%-10s] [%.2s] [%5.1s]", {S(u"hello"), S(u"hello"), S(u"hello"), S(u"hello")}),
        "[     hello] [hello     ] [he] [    h]");
    EXPECT_EQ(fmt("%s", {S(u"%d (not interpreted)")}), "%d (not interpreted)");
    EXPECT_EQ(fmt("[%4s]", {S(u"日本")}), "[  日本]"); // width counts units
    // an argument stops at an embedded zero character
    static const char16_t embedded[] = {u'a', 0, u'b'};
    EXPECT_EQ(fmt("[%s]", {S(embedded, 3)}), "[a]");
}

TEST(Format, PercentAndPlainText) {
    EXPECT_EQ(fmt("%%"), "%");
    EXPECT_EQ(fmt("a%%b%%c"), "a%b%c");
    EXPECT_EQ(fmt(""), "");
    EXPECT_EQ(fmt("%d %d", {I(1), I(2), I(3)}), "1 2"); // extra arguments ignored
    EXPECT_EQ(fmt("%99d", {I(1)}).size(), 99u);
    EXPECT_EQ(fmt("%.99f", {F(1.0f)}).size(), 101u);
}

TEST(Format, ErrorsInTheirOrder) {
    EXPECT_EQ(fmt("%d"), "error: not enough paramters for the given format string");
    EXPECT_EQ(fmt("trailing %"), "error: not enough paramters for the given format string");
    EXPECT_EQ(fmt("%999d"), "error: not enough paramters for the given format string");
    EXPECT_EQ(fmt("%999d", {I(1)}), "error: width format too long");
    EXPECT_EQ(fmt("%.100f", {F(1)}), "error: precision format too long");
    EXPECT_EQ(fmt("%-+ #0-+ #0-+ #0-+ #0-+d", {I(1)}), "error: format too long");
    EXPECT_EQ(fmt("%-+ #0-+ #0-+ #0-+ #099z", {I(1)}), "error: format too long");
    EXPECT_EQ(fmt("%-+ #0-+ #0-+ #0-+ 99d", {I(1)}).size(), 99u);
    for (const char* bad : {"%z", "%ld", "%lf", "%*d", "%p", "%n", "%q", "abc %"})
        EXPECT_EQ(fmt(bad, {I(1), I(1)}), "error: invalid format") << bad;
    EXPECT_EQ(fmt("%d", {S(u"five")}), "error: integer expected for the specified format");
    EXPECT_EQ(fmt("%c", {Other()}), "error: integer expected for the specified format");
    EXPECT_EQ(fmt("%f", {S(u"1.5")}), "error: float expected for the specified format");
    EXPECT_EQ(fmt("%s", {I(5)}), "error: string expected for the specified format");
    EXPECT_EQ(fmt("%s and %s", {S(u"one")}),
              "error: not enough paramters for the given format string");
}

TEST(Format, FormatStopsAtZeroCharacter) {
    std::u16string f = u"ab%d";
    f[1] = 0;
    Args a;
    std::u16string out;
    EXPECT_EQ(sqstd::script_format(f.data(), f.size(), get_arg, &a, out), nullptr);
    EXPECT_EQ(out, u"a");
}

} // namespace
