#include "graphics/font/Font.h"
#include "graphics/font/tests/FakeEngine.h"

#include "io/FileManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

using namespace KoGraphics;
using KoFontTest::FakeEngine;

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint32_t> solid(uint16_t w, uint16_t h, uint32_t v) {
    return std::vector<uint32_t>(size_t(w) * h, v);
}

Rect rectOf(const Core::FontCache& c, int32_t i) {
    Core::FontCache::Entry e;
    EXPECT_TRUE(c.getEntry(i, e));
    return e.rect;
}

bool sameRect(Rect a, Rect b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Registers the test face (family "KoTest Square") once per process.
void registerSquare() {
    static const bool ok = registerFont(readBytes(KO_FONT_TEST_DATA "/square.ttf"));
    ASSERT_TRUE(ok);
}

} // namespace

TEST(FontCache, PacksAlongAShelfThenStartsANewShelf) {
    auto engine = std::make_shared<FakeEngine>(64, 64);
    Core::FontCache cache(engine);
    EXPECT_EQ(cache.getPageWidth(), 64);
    auto p = solid(30, 20, 0xFFFFFFFF);
    EXPECT_EQ(cache.add(p.data(), 30, 10, 120), 0);
    EXPECT_EQ(cache.add(p.data(), 20, 20, 120), 1);
    EXPECT_TRUE(sameRect(rectOf(cache, 0), Rect{0, 0, 30, 10}));
    EXPECT_TRUE(sameRect(rectOf(cache, 1), Rect{30, 0, 50, 20}));
    // 50 + 14 reaches the page width: "x + width >= width" starts a new shelf below the
    // tallest piece of the old one.
    EXPECT_EQ(cache.add(p.data(), 14, 5, 120), 2);
    EXPECT_TRUE(sameRect(rectOf(cache, 2), Rect{0, 20, 14, 25}));
    // 14 + 30 < 64: stays on the new shelf.
    EXPECT_EQ(cache.add(p.data(), 30, 5, 120), 3);
    EXPECT_TRUE(sameRect(rectOf(cache, 3), Rect{14, 20, 44, 25}));
    EXPECT_EQ(engine->textures.size(), 1u);
}

TEST(FontCache, StartsANewPageWhenTheShelfWouldReachTheBottom) {
    auto engine = std::make_shared<FakeEngine>(64, 64);
    Core::FontCache cache(engine);
    auto p = solid(40, 40, 0xFFFFFFFF);
    ASSERT_EQ(cache.add(p.data(), 40, 40, 160), 0);
    // New shelf at y 40; 40 + 24 reaches the bottom: a new page.
    ASSERT_EQ(cache.add(p.data(), 40, 24, 160), 1);
    ASSERT_EQ(engine->textures.size(), 2u);
    Core::FontCache::Entry a, b;
    ASSERT_TRUE(cache.getEntry(0, a));
    ASSERT_TRUE(cache.getEntry(1, b));
    EXPECT_NE(a.texture, b.texture);
    EXPECT_TRUE(sameRect(b.rect, Rect{0, 0, 40, 24}));
    EXPECT_EQ(cache.getTexture(), b.texture);
    // 40 + 30 reaches the width: a new shelf at 24, where 24 + 23 < 64 still fits.
    ASSERT_EQ(cache.add(p.data(), 30, 23, 160), 2);
    ASSERT_EQ(cache.add(p.data(), 30, 23, 160), 3);
    EXPECT_TRUE(sameRect(rectOf(cache, 2), Rect{0, 24, 30, 47}));
    EXPECT_TRUE(sameRect(rectOf(cache, 3), Rect{30, 24, 60, 47}));
    EXPECT_EQ(engine->textures.size(), 2u);
    // The first page keeps its piece.
    EXPECT_EQ(static_cast<KoFontTest::FakeTexture*>(a.texture.get())->pixel(39, 39), 0xFFFFFFFFu);
}

TEST(FontCache, PagesAreAtMost1024AndFollowSmallerCaps) {
    auto big = std::make_shared<FakeEngine>(8192, 4096);
    Core::FontCache c1(big);
    auto p = solid(1, 1, 0xFFFFFFFF);
    ASSERT_EQ(c1.add(p.data(), 1, 1, 4), 0);
    EXPECT_EQ(big->textures[0]->getWidth(), 1024);
    EXPECT_EQ(big->textures[0]->getHeight(), 1024);
    EXPECT_EQ(big->textures[0]->getFormat(), FormatA8R8G8B8);
    auto small = std::make_shared<FakeEngine>(512, 256);
    Core::FontCache c2(small);
    ASSERT_EQ(c2.add(p.data(), 1, 1, 4), 0);
    EXPECT_EQ(small->textures[0]->getWidth(), 512);
    EXPECT_EQ(small->textures[0]->getHeight(), 256);
}

TEST(FontCache, PiecesThatCanNeverFitOrThatTheDeviceRefusesFail) {
    auto engine = std::make_shared<FakeEngine>(64, 64);
    Core::FontCache cache(engine);
    auto p = solid(64, 64, 0xFFFFFFFF);
    EXPECT_EQ(cache.add(p.data(), 64, 10, 256), -1);
    EXPECT_EQ(cache.add(p.data(), 10, 64, 256), -1);
    EXPECT_TRUE(engine->textures.empty()); // no empty page started for nothing
    EXPECT_EQ(cache.add(p.data(), 63, 63, 256), 0);
    engine->refuseTextures = true;
    EXPECT_EQ(cache.add(p.data(), 5, 5, 256), -1);
    engine->refuseTextures = false;
    ASSERT_EQ(cache.add(p.data(), 5, 5, 256), 1);
    engine->textures.back()->refuseUpdates = true;
    EXPECT_EQ(cache.add(p.data(), 5, 5, 256), -1);
    EXPECT_EQ(cache.getEntryCount(), 2u);
    Core::FontCache::Entry e;
    EXPECT_FALSE(cache.getEntry(-1, e));
    EXPECT_FALSE(cache.getEntry(2, e));
    // No caps at all: nothing fits, nothing crashes.
    Core::FontCache none(nullptr);
    EXPECT_EQ(none.add(p.data(), 1, 1, 4), -1);
}

TEST(FontCache, CopiesRowsByPitch) {
    auto engine = std::make_shared<FakeEngine>(64, 64);
    Core::FontCache cache(engine);
    // 2 x 2 piece inside rows of 3 pixels.
    std::vector<uint32_t> src{1, 2, 99, 3, 4, 99};
    ASSERT_EQ(cache.add(src.data(), 5, 1, 0), 0); // zero pitch for a one-row piece is fine
    ASSERT_EQ(cache.add(src.data(), 2, 2, 12), 1);
    auto& t = *engine->textures[0];
    EXPECT_EQ(t.pixel(5, 0), 1u);
    EXPECT_EQ(t.pixel(6, 0), 2u);
    EXPECT_EQ(t.pixel(5, 1), 3u);
    EXPECT_EQ(t.pixel(6, 1), 4u);
    EXPECT_EQ(t.pixel(7, 0), 0u);
}

TEST(Font, PlainGlyphIsSizeTallSupersampledAndCached) {
    registerSquare();
    auto engine = std::make_shared<FakeEngine>();
    auto font = createFont(engine, u"KoTest Square", 20, false, false);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->getName(), u"KoTest Square");
    EXPECT_EQ(font->getSize(), 20);
    EXPECT_EQ(font->getLineHeight(), 20u);
    Glyph g;
    ASSERT_TRUE(font->getGlyph(U'A', g));
    ASSERT_EQ(g.count, 1u);
    EXPECT_EQ(g.width, 20);
    EXPECT_FALSE(g.lineBreak);
    EXPECT_EQ(g.pieces[0].rect.width(), 20);
    EXPECT_EQ(g.pieces[0].rect.height(), 20);
    auto* tex = static_cast<KoFontTest::FakeTexture*>(g.pieces[0].texture.get());
    EXPECT_EQ(tex->pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(tex->pixel(19, 19), 0xFFFFFFFFu);
    const int updates = tex->updates;
    Glyph again;
    ASSERT_TRUE(font->getGlyph(U'A', again));
    EXPECT_EQ(tex->updates, updates); // rendered once
    EXPECT_TRUE(sameRect(again.pieces[0].rect, g.pieces[0].rect));
    // 'B' covers the top half; its piece follows on the same shelf.
    Glyph b;
    ASSERT_TRUE(font->getGlyph(U'B', b));
    EXPECT_EQ(b.pieces[0].rect.left, 20);
    EXPECT_EQ(b.pieces[0].texture, g.pieces[0].texture);
    EXPECT_EQ(tex->pixel(25, 9), 0xFFFFFFFFu);
    EXPECT_EQ(tex->pixel(25, 10) >> 24, 0u);
}

TEST(Font, LineFeedAndMeasurement) {
    registerSquare();
    auto font = createFont(std::make_shared<FakeEngine>(), u"KoTest Square", 16, false, false);
    ASSERT_TRUE(font);
    Glyph lf;
    ASSERT_TRUE(font->getGlyph(10, lf));
    EXPECT_EQ(lf.count, 0u);
    EXPECT_EQ(lf.width, 0);
    EXPECT_EQ(lf.height, 16);
    EXPECT_TRUE(lf.lineBreak);
    EXPECT_EQ(font->getCharWidth(U'A'), 16u);
    EXPECT_EQ(font->getCharWidth(U' '), 8u);
    EXPECT_EQ(font->getTextWidth(u"AB\nA"), 32u);
    EXPECT_EQ(font->getTextWidth(u"A\nA B"), 40u);
    EXPECT_EQ(font->getTextWidth(u"AAA"), 48u);
    EXPECT_EQ(font->getTextHeight(u"AB\nA"), 32u);
    EXPECT_EQ(font->getTextHeight(u"AAA"), 16u);
    EXPECT_EQ(font->getTextHeight(u"\n\n"), 48u);
    // Other control characters (CR of CR LF, tab) draw nothing and take no room.
    Glyph cr;
    ASSERT_TRUE(font->getGlyph(13, cr));
    EXPECT_EQ(cr.count, 0u);
    EXPECT_EQ(cr.width, 0);
    EXPECT_FALSE(cr.lineBreak);
    EXPECT_EQ(font->getTextWidth(u"AB\r\nA\t\x7f"), 32u);
    EXPECT_EQ(font->getTextHeight(u"AB\r\nA"), 32u);
    EXPECT_EQ(font->getCharWidth(0), 0u);
    // Advances agree with what getGlyph reports.
    Glyph a;
    ASSERT_TRUE(font->getGlyph(U'A', a));
    EXPECT_EQ(a.width, font->getCharWidth(U'A'));
}

TEST(Font, GradationGlyphHasCoverageAndFadingLayer) {
    registerSquare();
    auto engine = std::make_shared<FakeEngine>();
    auto font = createGradationFont(engine, u"KoTest Square", 16, false, false, 255, 0, 0.5f);
    ASSERT_TRUE(font);
    Glyph g;
    ASSERT_TRUE(font->getGlyph(U'A', g));
    ASSERT_EQ(g.count, 2u);
    EXPECT_EQ(g.width, 16);
    auto* tex = static_cast<KoFontTest::FakeTexture*>(g.pieces[1].texture.get());
    const Rect r1 = g.pieces[0].rect, r2 = g.pieces[1].rect;
    EXPECT_EQ(r1.height(), 16);
    EXPECT_EQ(r2.height(), 16);
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(tex->pixel(r1.left + 3, r1.top + y), 0xFFFFFFFFu) << y;
        const uint32_t want = y <= 8 ? 255 : uint32_t(std::lround(255.0 * (15 - y) / 7));
        EXPECT_EQ(tex->pixel(r2.left + 3, r2.top + y), want << 24 | 0xFFFFFF) << y;
    }
    EXPECT_EQ(font->getCharWidth(U'A'), 16u);
}

TEST(Font, JapaneseTextFromMsGothicHasCoverage) {
    auto engine = std::make_shared<FakeEngine>();
    auto font = createFont(engine, u"ＭＳ ゴシック", 24, false, false);
    ASSERT_TRUE(font);
    uint32_t inked = 0;
    for (char32_t ch : {U'日', U'本', U'語', U'か', U'ナ'}) {
        Glyph g;
        ASSERT_TRUE(font->getGlyph(ch, g));
        ASSERT_EQ(g.count, 1u);
        EXPECT_EQ(g.width, 24);
        EXPECT_EQ(g.pieces[0].rect.height(), 24);
        auto* tex = static_cast<KoFontTest::FakeTexture*>(g.pieces[0].texture.get());
        for (int y = g.pieces[0].rect.top; y < g.pieces[0].rect.bottom; ++y)
            for (int x = g.pieces[0].rect.left; x < g.pieces[0].rect.right; ++x)
                inked += (tex->pixel(x, y) >> 24) > 128;
    }
    EXPECT_GT(inked, 5u * 40);
    EXPECT_EQ(font->getTextWidth(u"日本語\nab"), 72u);
}

TEST(Font, ManyGlyphsFillShelvesAndPagesOfSmallEngines) {
    auto engine = std::make_shared<FakeEngine>(128, 128);
    auto font = createFont(engine, u"MS Gothic", 30, false, false);
    ASSERT_TRUE(font);
    std::set<ITexture*> pages;
    for (char32_t ch = U'あ'; ch < U'あ' + 40; ++ch) {
        Glyph g;
        ASSERT_TRUE(font->getGlyph(ch, g));
        const Rect r = g.pieces[0].rect;
        EXPECT_LT(r.right, 128);
        EXPECT_LT(r.bottom, 128);
        pages.insert(g.pieces[0].texture.get());
    }
    // 30 x 30 glyphs: 4 per shelf (120 + 30 >= 128 at the fifth), 4 shelves (the fifth at
    // 120 + 30 >= 128 starts a page): 16 per page, so 40 glyphs take 3 pages.
    EXPECT_EQ(pages.size(), 3u);
    EXPECT_EQ(engine->textures.size(), 3u);
}

TEST(Font, CreationFailures) {
    EXPECT_FALSE(createFont(nullptr, u"MS Gothic", 16, false, false));
    EXPECT_FALSE(createGradationFont(nullptr, u"MS Gothic", 16, false, false));
    auto engine = std::make_shared<FakeEngine>();
    EXPECT_FALSE(createFont(engine, u"MS Gothic", 0, false, false));
    EXPECT_FALSE(createFont(engine, u"MS Gothic", 60000, false, false));
    // Too tall for any page: created and measured, but no glyph, and nothing rendered.
    auto huge = createFont(engine, u"MS Gothic", 1024, false, false);
    ASSERT_TRUE(huge);
    Glyph g;
    EXPECT_FALSE(huge->getGlyph(U'A', g));
    EXPECT_GT(huge->getCharWidth(U'A'), 400u);
    EXPECT_TRUE(engine->textures.empty());
}

TEST(Font, RegisterFontFileReadsThroughTheFileManager) {
    const std::string dir = KO_FONT_TEST_DATA;
    EXPECT_TRUE(registerFontFile(std::u16string(dir.begin(), dir.end()) + u"/square.ttf"));
    EXPECT_FALSE(registerFontFile(std::u16string(dir.begin(), dir.end()) + u"/make_test_font.py"));
    EXPECT_FALSE(registerFontFile(u"/no/such/font.ttf"));
}

TEST(Font, GlyphWiderThanAPageFailsWithoutStartingAPage) {
    registerSquare();
    auto engine = std::make_shared<FakeEngine>(16, 64);
    auto font = createFont(engine, u"KoTest Square", 20, false, false);
    auto fontG = createGradationFont(engine, u"KoTest Square", 20, false, false);
    ASSERT_TRUE(font && fontG);
    Glyph g;
    EXPECT_FALSE(font->getGlyph(U'A', g));
    EXPECT_FALSE(fontG->getGlyph(U'A', g));
    EXPECT_FALSE(font->getGlyph(U'A', g)); // remembered, still false
    EXPECT_TRUE(engine->textures.empty());
    // Measuring needs no page.
    EXPECT_EQ(font->getTextWidth(u"AA"), 40u);
    // A narrow glyph of the same font fits.
    EXPECT_TRUE(font->getGlyph(U' ', g));
    EXPECT_EQ(g.width, 10);
}
