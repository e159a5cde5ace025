#include "graphics/font/GlyphBitmap.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace KoGraphics;

namespace {

Coverage cov(uint32_t w, uint32_t h, std::vector<uint8_t> v) { return {w, h, std::move(v)}; }
uint32_t alpha(const GlyphBitmap& b, uint32_t x, uint32_t y) { return b.pixels[y * b.width + x] >> 24; }

} // namespace

TEST(Downsample, SumOverNineWhiteColourAndDroppedRemainder) {
    // 7 x 4 source: output 2 x 1; column 6 and row 3 are dropped.
    Coverage c = cov(7, 4, std::vector<uint8_t>(28, 0));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            c.values[y * 7 + x] = 255;
    c.values[0 * 7 + 3] = 100; // one sample in the second block
    c.values[1 * 7 + 5] = 8;   // sum 108 -> 12
    c.values[0 * 7 + 6] = 255; // dropped column
    c.values[3 * 7 + 4] = 255; // dropped row
    GlyphBitmap b = downsample3(c);
    ASSERT_EQ(b.width, 2u);
    ASSERT_EQ(b.height, 1u);
    EXPECT_EQ(b.pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(b.pixels[1], 0x0CFFFFFFu);
    // Truncating division: 8 / 9 is 0, 17 / 9 is 1.
    Coverage small = cov(3, 3, {8, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(alpha(downsample3(small), 0, 0), 0u);
    small.values[1] = 9;
    EXPECT_EQ(alpha(downsample3(small), 0, 0), 1u);
}

TEST(Downsample, CellsSmallerThanThreeGiveEmptyBitmaps) {
    GlyphBitmap b = downsample3(cov(2, 5, std::vector<uint8_t>(10, 255)));
    EXPECT_EQ(b.width, 0u);
    EXPECT_TRUE(b.pixels.empty());
}

TEST(Gradient, TopOpaqueHalfThenLinearFadeToZero) {
    // h 16, start 0.5 -> s = 8: rows 0..8 at 255, then 255 * (15 - y) / 7.
    for (uint32_t y = 0; y <= 8; ++y)
        EXPECT_EQ(gradientFactor(y, 16, 255, 0, 0.5f), 255) << y;
    for (uint32_t y = 9; y < 16; ++y)
        EXPECT_EQ(gradientFactor(y, 16, 255, 0, 0.5f), uint8_t(std::lround(255.0 * (15 - y) / 7)))
            << y;
    EXPECT_EQ(gradientFactor(15, 16, 255, 0, 0.5f), 0);
    // Fractional start row (h 15, s 7.5): row 7 is still top, row 8 already fades.
    EXPECT_EQ(gradientFactor(7, 15, 255, 0, 0.5f), 255);
    EXPECT_EQ(gradientFactor(8, 15, 255, 0, 0.5f), uint8_t(std::lround(255 - 255 * 0.5 / 6.5)));
}

TEST(Gradient, EdgeStartsAndRisingFade) {
    // Start 0: row 0 is top, the last row is bottom.
    EXPECT_EQ(gradientFactor(0, 10, 0, 200, 0.0f), 0);
    EXPECT_EQ(gradientFactor(9, 10, 0, 200, 0.0f), 200);
    EXPECT_EQ(gradientFactor(3, 10, 0, 200, 0.0f), uint8_t(std::lround(200.0 * 3 / 9)));
    // Start at or past the end: every row is top (no division by zero).
    for (uint32_t y = 0; y < 10; ++y) {
        EXPECT_EQ(gradientFactor(y, 10, 77, 0, 1.0f), 77);
        EXPECT_EQ(gradientFactor(y, 10, 77, 0, 0.85f), y == 9 ? 0 : 77);
    }
    // A start before the glyph fades already at row 0; a one-row glyph works too.
    EXPECT_EQ(gradientFactor(0, 10, 255, 0, -1.0f), uint8_t(std::lround(255 - 255 * 10.0 / 19)));
    EXPECT_EQ(gradientFactor(0, 1, 255, 0, -0.5f), 0);
    EXPECT_EQ(gradientFactor(0, 1, 255, 0, 0.0f), 255);
    EXPECT_EQ(gradientFactor(4, 10, 255, 0, std::nanf("")), gradientFactor(4, 10, 255, 0, 0.0f));
}

TEST(Gradient, LayerScalesCoverageRowByRowRounded) {
    Coverage c = cov(2, 4, {255, 100, 255, 100, 255, 100, 255, 100});
    GlyphBitmap l1 = whiteLayer(c);
    GlyphBitmap l2 = gradientLayer(c, 255, 0, 0.5f); // s = 2: rows 0..2 at 255, row 3 at 0
    ASSERT_EQ(l2.width, 2u);
    ASSERT_EQ(l2.height, 4u);
    EXPECT_EQ(l1.pixels[1], 0x64FFFFFFu);
    EXPECT_EQ(alpha(l2, 0, 0), 255u);
    EXPECT_EQ(alpha(l2, 1, 2), 100u);
    EXPECT_EQ(alpha(l2, 0, 3), 0u);
    // 100 * 128 / 255 = 50.2 -> 50; 255 * 128 / 255 -> 128.
    GlyphBitmap half = gradientLayer(c, 128, 128, 0.0f);
    EXPECT_EQ(alpha(half, 1, 1), 50u);
    EXPECT_EQ(alpha(half, 0, 1), 128u);
    EXPECT_EQ(half.pixels[0] & 0xFFFFFFu, 0xFFFFFFu);
}

TEST(Measure, WidestLineAndHeightByLineFeeds) {
    auto adv = [](char32_t c) -> int { return c == u'a' ? 5 : c == u'b' ? 7 : c == u'c' ? 3 : -1; };
    EXPECT_EQ(measureTextWidth(u"ab\nc", adv), 12u);
    EXPECT_EQ(measureTextWidth(u"c\nab", adv), 12u);
    EXPECT_EQ(measureTextWidth(u"abc", adv), 15u);
    EXPECT_EQ(measureTextWidth(u"", adv), 0u);
    EXPECT_EQ(measureTextWidth(u"\n\n", adv), 0u);
    EXPECT_EQ(measureTextWidth(u"a?b", adv), 12u); // unmeasurable characters count nothing
    EXPECT_EQ(measureTextHeight(u"ab\nc", 16), 32u);
    EXPECT_EQ(measureTextHeight(u"abc", 16), 16u);
    EXPECT_EQ(measureTextHeight(u"", 16), 16u);
    EXPECT_EQ(measureTextHeight(u"a\n", 16), 32u);
    EXPECT_EQ(measureTextHeight(u"\r\n\r\n", 10), 30u);
}

TEST(Measure, SurrogatePairsAreOneCharacter) {
    std::vector<char32_t> seen;
    auto adv = [&](char32_t c) { seen.push_back(c); return 1; };
    const std::u16string text = u"x\U0001F600y\xD800"; // lone high surrogate at the end
    EXPECT_EQ(measureTextWidth(text, adv), 4u);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1], char32_t(0x1F600));
    EXPECT_EQ(seen[3], char32_t(0xD800));
}
