#include "graphics/font/FtFace.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace KoGraphics;

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kSquare = KO_FONT_TEST_DATA "/square.ttf";

class SquareFace : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(Ft::registerFontData(readBytes(kSquare))); }
};

uint32_t inked(const Coverage& c) {
    uint32_t n = 0;
    for (uint8_t v : c.values)
        n += v > 0;
    return n;
}

} // namespace

TEST_F(SquareFace, RegisteredFaceIsFoundByEitherFamilyNameAnyCase) {
    for (const char16_t* name : {u"KoTest Square", u"kotest square", u"コテスト角"}) {
        auto set = Ft::FaceSet::open(name, 30, false, false);
        ASSERT_TRUE(set);
        EXPECT_EQ(set->familyName(), u"KoTest Square");
    }
}

TEST_F(SquareFace, CellIsWindowsAscentPlusDescent) {
    // The cell (800 + 200 units) maps to 30 pixels: 'A' fills it exactly, 'B' (y 300..800)
    // its top 15 rows, 'C' its left half.
    auto set = Ft::FaceSet::open(u"KoTest Square", 30, false, false);
    ASSERT_TRUE(set);
    Ft::CharMetrics m;
    ASSERT_TRUE(set->measure(U'A', m));
    EXPECT_EQ(m.width, 30u);
    EXPECT_EQ(m.height, 30u);
    Coverage a, b, c, sp;
    ASSERT_TRUE(set->render(U'A', a));
    ASSERT_EQ(a.width, 30u);
    ASSERT_EQ(a.height, 30u);
    EXPECT_EQ(inked(a), 900u);
    EXPECT_EQ(a.values.front(), 255);
    EXPECT_EQ(a.values.back(), 255);
    ASSERT_TRUE(set->render(U'B', b));
    for (uint32_t y = 0; y < 30; ++y)
        EXPECT_EQ(b.values[y * 30 + 10], y < 15 ? 255 : 0) << y;
    ASSERT_TRUE(set->render(U'C', c));
    EXPECT_EQ(c.values[29 * 30 + 14], 255);
    EXPECT_EQ(c.values[0 * 30 + 15], 0);
    ASSERT_TRUE(set->render(U' ', sp));
    EXPECT_EQ(sp.width, 15u);
    EXPECT_EQ(inked(sp), 0u);
    // Supersampled and downsampled, a plain glyph is size x size and fully opaque.
    GlyphBitmap g = downsample3(a);
    EXPECT_EQ(g.width, 10u);
    EXPECT_EQ(g.height, 10u);
    for (uint32_t p : g.pixels)
        ASSERT_EQ(p, 0xFFFFFFFFu);
}

TEST_F(SquareFace, SyntheticBoldWidensAndItalicLeans) {
    auto plain = Ft::FaceSet::open(u"KoTest Square", 30, false, false);
    auto bold = Ft::FaceSet::open(u"KoTest Square", 30, true, false);
    auto italic = Ft::FaceSet::open(u"KoTest Square", 30, false, true);
    ASSERT_TRUE(plain && bold && italic);
    Ft::CharMetrics mp, mb;
    ASSERT_TRUE(plain->measure(U'C', mp));
    ASSERT_TRUE(bold->measure(U'C', mb));
    EXPECT_GT(mb.width, mp.width);
    Coverage p, i;
    ASSERT_TRUE(plain->render(U'C', p));
    ASSERT_TRUE(italic->render(U'C', i));
    // The left half leans right: its top row reaches further right than its bottom row.
    auto rightEdge = [](const Coverage& c, uint32_t y) {
        uint32_t last = 0;
        for (uint32_t x = 0; x < c.width; ++x)
            if (c.values[y * c.width + x] > 128)
                last = x;
        return last;
    };
    EXPECT_EQ(rightEdge(p, 0), rightEdge(p, 29));
    EXPECT_GT(rightEdge(i, 0), rightEdge(i, 29) + 3);
}

TEST_F(SquareFace, MissingCharacterComesFromAnInstalledJapaneseFace) {
    auto set = Ft::FaceSet::open(u"KoTest Square", 48, false, false);
    ASSERT_TRUE(set);
    Coverage c;
    ASSERT_TRUE(set->render(U'あ', c));
    EXPECT_EQ(c.height, 48u);
    EXPECT_GT(c.width, 30u);
    EXPECT_GT(inked(c), 100u);
}

TEST(InstalledFace, WindowsJapaneseNamesResolveToFacesWithKana) {
    struct Case { const char16_t* name; const char16_t* family; };
    for (Case k : {Case{u"MS Gothic", u"IPAGothic"}, Case{u"ＭＳ ゴシック", u"IPAGothic"},
                   Case{u"MS PGothic", u"IPAPGothic"}, Case{u"MS UI Gothic", u"IPAPGothic"}}) {
        auto set = Ft::FaceSet::open(k.name, 48, false, false);
        ASSERT_TRUE(set);
        EXPECT_EQ(set->familyName(), k.family);
        Coverage c;
        ASSERT_TRUE(set->render(U'漢', c));
        EXPECT_EQ(c.height, 48u);
        EXPECT_GT(inked(c), 200u);
    }
    // Meiryo prefers Noto CJK; without it the proportional IPA face still draws kana.
    auto meiryo = Ft::FaceSet::open(u"Meiryo", 24, false, false);
    ASSERT_TRUE(meiryo);
    Coverage c;
    ASSERT_TRUE(meiryo->render(U'か', c));
    EXPECT_GT(inked(c), 20u);
}

TEST(InstalledFace, FixedPitchGothicHasFullWidthKanaAndHalfWidthLatin) {
    auto set = Ft::FaceSet::open(u"MS Gothic", 48, false, false);
    ASSERT_TRUE(set);
    Ft::CharMetrics kana, latin;
    ASSERT_TRUE(set->measure(U'あ', kana));
    ASSERT_TRUE(set->measure(U'a', latin));
    EXPECT_EQ(kana.width, 48u);
    EXPECT_EQ(latin.width, 24u);
}

TEST(InstalledFace, UnusableRequestsAreRefused) {
    EXPECT_FALSE(Ft::FaceSet::open(u"MS Gothic", 0, false, false));
    EXPECT_FALSE(Ft::FaceSet::open(u"MS Gothic", 100000, false, false));
    EXPECT_FALSE(Ft::FaceSet::open(std::u16string(u"MS\0Gothic", 9), 20, false, false));
    // An unknown name still gets the default face, as the platform's font mapper does.
    EXPECT_TRUE(Ft::FaceSet::open(u"No Such Face 12345", 20, false, false));
}

TEST(Register, BytesThatAreNotAFontAreRefused) {
    EXPECT_FALSE(Ft::registerFontData({}));
    EXPECT_FALSE(Ft::registerFontData(std::vector<uint8_t>(1000, 0)));
    const std::string png = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    EXPECT_FALSE(Ft::registerFontData(std::vector<uint8_t>(png.begin(), png.end())));
    std::string text = "this is a text file, not a font\n";
    EXPECT_FALSE(Ft::registerFontData(std::vector<uint8_t>(text.begin(), text.end())));
}

TEST(Register, TruncatedAndCorruptFontsNeverCrash) {
    const std::vector<uint8_t> good = readBytes(kSquare);
    ASSERT_GT(good.size(), 500u);
    for (size_t cut : {size_t(4), size_t(12), size_t(100), size_t(300), good.size() - 40}) {
        std::vector<uint8_t> part(good.begin(), good.begin() + cut);
        if (Ft::registerFontData(part)) {
            auto set = Ft::FaceSet::open(u"KoTest Square", 20, false, false);
            Coverage c;
            if (set)
                set->render(U'A', c);
        }
    }
    // Every byte flipped in turn: registration and drawing may fail, never crash.
    for (size_t i = 0; i < good.size(); i += 7) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= 0xA5;
        if (Ft::registerFontData(bad)) {
            auto set = Ft::FaceSet::open(u"KoTest Square", 12, true, true);
            Coverage c;
            if (set)
                for (char32_t ch : {U'A', U'B', U'C', U' '})
                    set->render(ch, c);
        }
    }
}

TEST(Register, FontBytesCanBeCheckedWithoutRegistering) {
    auto set = Ft::FaceSet::openData(readBytes(kSquare), 30, false, false);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->familyName(), u"KoTest Square");
    Coverage c;
    ASSERT_TRUE(set->render(U'A', c));
    EXPECT_EQ(inked(c), 900u);
    // Without fallbacks, a character the face lacks is its missing-glyph shape (empty here).
    ASSERT_TRUE(set->render(U'あ', c));
    EXPECT_EQ(inked(c), 0u);
    EXPECT_FALSE(Ft::FaceSet::openData({'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'}, 30,
                                       false, false));
    EXPECT_FALSE(Ft::FaceSet::openData(readBytes(kSquare), 0, false, false));
}
