// Text drawn by the OpenGL engine from the fonts' atlases and read back from a canvas.
#include "graphics/font/Font.h"
#include "graphics/tests/Support.h"

#include <fstream>
#include <iterator>

namespace KoGraphics::Test {
namespace {

void registerSquare() {
    static const bool ok = [] {
        std::ifstream in(KO_FONT_TEST_DATA "/square.ttf", std::ios::binary);
        return registerFont({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    }();
    ASSERT_TRUE(ok);
}

constexpr Color kBlack = 0xFF000000, kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

TEST_F(GlTest, PlainGlyphsLandExactlyAtThePen) {
    registerSquare();
    auto font = createFont(engine, u"KoTest Square", 10, false, false);
    ASSERT_TRUE(font);
    auto cv = canvas(40, 32);
    ASSERT_TRUE(cv->clear(kBlack));
    ASSERT_TRUE(cv->begin());
    // 'A' fills its 10 x 10 cell, 'B' the cell's top half; the line feed returns to x 2.
    ASSERT_TRUE(cv->drawText(*font, u"AB\nA", Destination::point(2, 3), BlendNormal, kRed));
    ASSERT_TRUE(cv->end());
    auto p = pixels(*cv);
    auto at = [&](int x, int y) { return p[size_t(y) * 40 + size_t(x)]; };
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool a1 = x >= 2 && x < 12 && y >= 3 && y < 13;
            const bool b = x >= 12 && x < 22 && y >= 3 && y < 8;
            const bool a2 = x >= 2 && x < 12 && y >= 13 && y < 23;
            ASSERT_TRUE(near(at(x, y), a1 || b || a2 ? kRed : kBlack)) << x << "," << y;
        }
    }
}

TEST_F(GlTest, GradationGlyphOverlaysTheFadingSecondColour) {
    registerSquare();
    auto font = createGradationFont(engine, u"KoTest Square", 16, false, false, 255, 0, 0.0f);
    ASSERT_TRUE(font);
    auto cv = canvas(16, 16);
    ASSERT_TRUE(cv->clear(kBlack));
    ASSERT_TRUE(cv->begin());
    ASSERT_TRUE(cv->drawText(*font, u"A", Destination::point(0, 0), BlendNormal, kRed, kBlue));
    ASSERT_TRUE(cv->end());
    // Row y: blue at alpha f(y) = 255 (15 - y) / 15 over red.
    for (uint32_t y = 0; y < 16; ++y) {
        const uint32_t f = uint32_t(std::lround(255.0 * (15 - y) / 15));
        EXPECT_TRUE(near(pixel(*cv, 7, y), makeColor(255, 255 - f, 0, f), 3)) << y;
    }
}

TEST_F(GlTest, JapaneseTextFromMsGothicIsInked) {
    auto font = createFont(engine, u"MS Gothic", 16, false, false);
    ASSERT_TRUE(font);
    auto cv = canvas(64, 16);
    ASSERT_TRUE(cv->clear(kBlack));
    ASSERT_TRUE(cv->begin());
    ASSERT_TRUE(cv->drawText(*font, u"日本語", Destination::point(0, 0), BlendNormal, 0xFFFFFFFF));
    ASSERT_TRUE(cv->end());
    auto p = pixels(*cv);
    // Each 16 x 16 character has ink; nothing lands past the third one.
    for (int c = 0; c < 4; ++c) {
        int lit = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = c * 16; x < c * 16 + 16; ++x)
                lit += redOf(p[size_t(y) * 64 + size_t(x)]) > 128;
        if (c < 3)
            EXPECT_GT(lit, 25) << c;
        else
            EXPECT_EQ(lit, 0);
    }
}

} // namespace
} // namespace KoGraphics::Test
