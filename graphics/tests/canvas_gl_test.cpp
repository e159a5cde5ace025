// Canvases drawn by the OpenGL engine and read back from their targets.
#include "graphics/Context.h"
#include "graphics/tests/Support.h"

#include <SDL.h>

#include <algorithm>

namespace KoGraphics::Test {
namespace {

Point2d pt(float x, float y, Color c = 0xFFFFFFFF) { return {x, y, 0, c}; }

// Fills the whole canvas with one untextured quad of colour c in blend mode `blend`.
bool fillQuad(Canvas& cv, Color c, uint32_t blend) {
    Point2d quad[4] = {pt(0, 0, c), pt(float(cv.getWidth()), 0, c),
                       pt(float(cv.getWidth()), float(cv.getHeight()), c),
                       pt(0, float(cv.getHeight()), c)};
    return cv.drawShape(quad, 4, blend, 0xFFFFFFFF);
}

struct Channels {
    double a, r, g, b;
};
Channels split(Color c) {
    return {alphaOf(c) / 255.0, redOf(c) / 255.0, greenOf(c) / 255.0, blueOf(c) / 255.0};
}
Color join(Channels c) {
    auto q = [](double v) { return uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return makeColor(q(c.a), q(c.r), q(c.g), q(c.b));
}

// What the blend table makes of source s over destination d.
Color blendExpected(uint32_t mode, Color src, Color dst) {
    Channels s = split(src), d = split(dst);
    double sa = s.a;
    auto colour = [&](double sf, double df, bool sub) {
        return Channels{0, sub ? d.r * df - s.r * sf : s.r * sf + d.r * df,
                        sub ? d.g * df - s.g * sf : s.g * sf + d.g * df,
                        sub ? d.b * df - s.b * sf : s.b * sf + d.b * df};
    };
    Channels out{};
    switch (mode) {
    case 0: return src;
    case 1: out = colour(sa, 1 - sa, false); out.a = sa + d.a * (1 - sa); break;
    case 2: out = colour(sa, 1, false); out.a = sa + d.a * (1 - sa); break;
    case 3: out = colour(sa, 1, true); out.a = sa + d.a * (1 - sa); break;
    case 4: out = colour(sa, 1 - sa, false); out.a = d.a; break;
    case 5: out = d; out.a = sa; break;
    }
    return join(out);
}

TEST_F(GlTest, EveryBlendModeFollowsTheTable) {
    const Color dst = makeColor(0x80, 0x40, 0x80, 0xC0);
    const Color src = makeColor(0x60, 0xC0, 0x40, 0x20);
    for (uint32_t mode = 0; mode <= 5; ++mode) {
        auto cv = canvas(4, 4);
        ASSERT_TRUE(cv->clear(dst));
        ASSERT_TRUE(cv->begin());
        ASSERT_TRUE(fillQuad(*cv, src, mode));
        ASSERT_TRUE(cv->end());
        EXPECT_TRUE(near(pixel(*cv, 2, 2), blendExpected(mode, src, dst))) << "mode " << mode;
    }
}

TEST_F(GlTest, AnUnknownBlendModeKeepsThePreviousOne) {
    const Color dst = makeColor(0xFF, 0x20, 0x20, 0x20), src = makeColor(0x80, 0x80, 0x80, 0x80);
    auto cv = canvas(4, 4);
    cv->clear(dst);
    cv->begin();
    fillQuad(*cv, 0, BlendAdd); // adds nothing, leaves ADD in force
    cv->end();
    cv->begin();
    EXPECT_TRUE(fillQuad(*cv, src, 9));
    cv->end();
    EXPECT_TRUE(near(pixel(*cv, 1, 1), blendExpected(BlendAdd, src, dst)));
    EXPECT_EQ(engine->getBlendMode(), uint32_t(BlendAdd));
    EXPECT_FALSE(engine->setBlendMode(6));
}

// Draws a 1x1 image of colour c with `effect` in blend NONE and returns the pixel.
Color throughEffect(GlTest& t, Canvas& cv, Image& img, std::shared_ptr<IEffect2d> effect,
                    Color diffuse = 0xFFFFFFFF) {
    cv.clear(0);
    cv.begin();
    Rotation none;
    cv.drawImage(img, nullptr, Destination::rectangle({0, 0, 4, 4}), none, effect, BlendNone, diffuse);
    cv.end();
    (void)t;
    return pixel(cv, 1, 1);
}

TEST_F(GlTest, EffectsFollowTheirFormulas) {
    const Color c = makeColor(0xC0, 0x30, 0x90, 0xE0);
    auto img = image(1, 1, {c});
    auto cv = canvas(4, 4);
    Channels s = split(c);
    double y = 0.298912 * s.r + 0.586611 * s.g + 0.114478 * s.b;
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, nullptr), c));
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, createGrayEffect()), join({s.a, y, y, y})));
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, createNegaEffect()),
                     join({s.a, 1 - s.r, 1 - s.g, 1 - s.b})));
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, createSepiaEffect()),
                     join({s.a, 0.941176 * y, 0.784313 * y, 0.568627 * y})));
    // Fill: the draw colour's rgb, alpha = texture alpha x draw alpha.
    Color diffuse = makeColor(0x80, 0x10, 0xF0, 0x40);
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, createFillEffect(), diffuse),
                     join({s.a * (0x80 / 255.0), 0x10 / 255.0, 0xF0 / 255.0, 0x40 / 255.0})));
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, createFillEffect(0xFF00FF00)),
                     join({s.a, 0, 1, 0})));
    // The diffuse colour modulates the texture before the effect.
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, createNegaEffect(), 0xFF808080),
                     join({s.a, 1 - s.r * 128 / 255, 1 - s.g * 128 / 255, 1 - s.b * 128 / 255})));
}

TEST_F(GlTest, AlphamaskScalesAlphaByTheShiftedMap) {
    auto img = image(1, 1, {0xFF204060});
    auto map = image(1, 1, {makeColor(0xFF, 64, 0, 0)}); // red 0.25
    auto cv = canvas(4, 4);
    auto mask = createAlphamapEffect(map->getTexture(), 0.5f);
    ASSERT_TRUE(mask);
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, mask), 0x40204060));
    ASSERT_TRUE(mask->setPower(1.0f));
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, mask), 0xFF204060));
    ASSERT_TRUE(mask->setPower(0.0f));
    EXPECT_TRUE(near(throughEffect(*this, *cv, *img, mask), 0x00204060));
    EXPECT_FALSE(mask->setPower(1.5f));
    EXPECT_EQ(mask->getPower(), 0.0f);
    // Untextured draws through the mask are fully transparent.
    cv->clear(0xFFFFFFFF);
    cv->begin();
    Point2d tri[3] = {pt(0, 0), pt(4, 0), pt(0, 4)};
    Vertex2d v[3];
    for (int i = 0; i < 3; ++i) v[i] = {tri[i].x, tri[i].y, 0, 0xFF00FF00, 0, 0};
    cv->drawVertices(nullptr, TriangleList, v, 3, mask, BlendNone);
    cv->end();
    EXPECT_EQ(pixel(*cv, 0, 0), 0u);
}

TEST_F(GlTest, AOnePixelImageLandsOnExactlyOnePixel) {
    auto img = image(1, 1, {0xFFFF0000});
    auto cv = canvas(32, 32);
    cv->clear(0xFF000000);
    cv->begin();
    ASSERT_TRUE(cv->drawImage(*img, nullptr, Destination::point(10, 20), {}, nullptr, BlendNormal,
                              0xFFFFFFFF));
    cv->end();
    auto p = pixels(*cv);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            EXPECT_EQ(p[y * 32 + x], x == 10 && y == 20 ? 0xFFFF0000u : 0xFF000000u)
                << x << "," << y;
}

TEST_F(GlTest, ImagesKeepTheirOrientationAndMirrorWithReversedSources) {
    const Color a = 0xFFFF0000, b = 0xFF00FF00, c = 0xFF0000FF, d = 0xFFFFFF00;
    auto img = image(2, 2, {a, b, c, d});
    auto cv = canvas(8, 8);
    cv->clear(0);
    cv->begin();
    cv->drawImage(*img, nullptr, Destination::point(0, 0), {}, nullptr, BlendNone, 0xFFFFFFFF);
    Rect mirrored{2, 0, 0, 2}; // right < left: mirrored left to right
    cv->drawImage(*img, &mirrored, Destination::point(4, 0), {}, nullptr, BlendNone, 0xFFFFFFFF);
    Rect flipped{0, 2, 2, 0};
    cv->drawImage(*img, &flipped, Destination::point(0, 4), {}, nullptr, BlendNone, 0xFFFFFFFF);
    cv->end();
    EXPECT_EQ(pixel(*cv, 0, 0), a);
    EXPECT_EQ(pixel(*cv, 1, 0), b);
    EXPECT_EQ(pixel(*cv, 0, 1), c);
    EXPECT_EQ(pixel(*cv, 1, 1), d);
    EXPECT_EQ(pixel(*cv, 4, 0), b);
    EXPECT_EQ(pixel(*cv, 5, 0), a);
    EXPECT_EQ(pixel(*cv, 0, 4), c);
    EXPECT_EQ(pixel(*cv, 0, 5), a);

    // A canvas drawn into another comes out the right way up.
    auto outer = canvas(8, 8);
    outer->clear(0);
    outer->begin();
    ASSERT_TRUE(outer->drawImage(*cv, nullptr, Destination::point(2, 2), {}, nullptr, BlendNone,
                                 0xFFFFFFFF));
    outer->end();
    EXPECT_EQ(pixel(*outer, 2, 2), a);
    EXPECT_EQ(pixel(*outer, 3, 3), d);
    EXPECT_EQ(pixel(*outer, 2, 7), a); // the flipped copy's second row
}

TEST_F(GlTest, StretchedAndRotatedImagesCoverTheirRectangles) {
    auto img = image(1, 1, {0xFFFFFFFF});
    auto cv = canvas(16, 16);
    cv->clear(0);
    cv->begin();
    cv->drawImage(*img, nullptr, Destination::rectangle({2, 3, 6, 5}), {}, nullptr, BlendNone,
                  0xFFFFFFFF);
    cv->end();
    auto p = pixels(*cv);
    int covered = 0;
    for (uint32_t i = 0; i < p.size(); ++i) covered += p[i] != 0;
    EXPECT_EQ(covered, 8);
    EXPECT_NE(pixel(*cv, 2, 3), 0u);
    EXPECT_NE(pixel(*cv, 5, 4), 0u);

    // A quarter turn clockwise about the top-left corner: (x, y) -> (-y, x).
    cv->clear(0);
    cv->begin();
    Rect src{0, 0, 1, 1};
    cv->drawImage(*img, &src, Destination::rectangle({8, 8, 12, 10}), {float(M_PI / 2), 0, 0},
                  nullptr, BlendNone, 0xFFFFFFFF);
    cv->end();
    EXPECT_NE(pixel(*cv, 7, 9), 0u);
    EXPECT_NE(pixel(*cv, 6, 11), 0u);
    EXPECT_EQ(pixel(*cv, 9, 9), 0u);
}

TEST_F(GlTest, RunsOfEqualStateBecomeOneDrawCall) {
    auto img = image(1, 1, {0xFFFFFFFF});
    auto other = image(1, 1, {0xFFFFFFFF});
    auto cv = canvas(8, 8);
    auto drawCount = [&](auto draw) {
        uint64_t before = engine->getDrawCount();
        cv->begin();
        draw();
        cv->end();
        return engine->getDrawCount() - before;
    };
    auto at = [](int x) { return Destination::point(x, 0); };
    EXPECT_EQ(drawCount([&] {
        cv->drawImage(*img, nullptr, at(0), {}, nullptr, BlendNormal, 0xFFFF0000);
        cv->drawImage(*img, nullptr, at(1), {}, nullptr, BlendNormal, 0xFF00FF00); // colour ok
    }), 1u);
    EXPECT_EQ(drawCount([&] {
        cv->drawImage(*img, nullptr, at(0), {}, nullptr, BlendNormal, 0xFFFFFFFF);
        cv->drawImage(*img, nullptr, at(1), {}, nullptr, BlendAdd, 0xFFFFFFFF);
    }), 2u);
    EXPECT_EQ(drawCount([&] {
        cv->drawImage(*img, nullptr, at(0), {}, nullptr, BlendNormal, 0xFFFFFFFF);
        cv->drawImage(*other, nullptr, at(1), {}, nullptr, BlendNormal, 0xFFFFFFFF);
    }), 2u);
    auto gray = createGrayEffect(), sepia = createSepiaEffect();
    EXPECT_EQ(drawCount([&] {
        cv->drawImage(*img, nullptr, at(0), {}, gray, BlendNormal, 0xFFFFFFFF);
        cv->drawImage(*img, nullptr, at(1), {}, sepia, BlendNormal, 0xFFFFFFFF);
    }), 2u);
    // Lines after triangles start a new batch; shapes after shapes do not.
    Point2d tri[3] = {pt(0, 0), pt(4, 0), pt(0, 4)};
    Point2d line[2] = {pt(0, 0), pt(4, 4)};
    EXPECT_EQ(drawCount([&] {
        cv->drawShape(tri, 3, BlendNormal, 0xFFFFFFFF);
        cv->drawShape(tri, 3, BlendNormal, 0xFFFFFFFF);
        cv->drawLines(line, 2, BlendNormal, 0xFFFFFFFF);
    }), 2u);
    // clear() flushes what is pending first.
    EXPECT_EQ(drawCount([&] {
        cv->drawShape(tri, 3, BlendNormal, 0xFFFFFFFF);
        cv->clear(0);
        cv->drawShape(tri, 3, BlendNormal, 0xFFFFFFFF);
    }), 2u);
}

// Images go into the batch as quads drawn through shared indices: more quads than the index
// buffer first holds all land, each on its own pixel, in one draw call.
TEST_F(GlTest, ThousandsOfQuadsAreOneDrawCall) {
    auto img = image(1, 1, {0xFFFFFFFF});
    auto cv = canvas(64, 48);
    cv->clear(0);
    uint64_t before = engine->getDrawCount();
    cv->begin();
    for (uint32_t i = 0; i < 64u * 48u; ++i)
        cv->drawImage(*img, nullptr, Destination::point(int32_t(i % 64), int32_t(i / 64)), {},
                      nullptr, BlendNone, makeColor(255, uint8_t(i % 251), uint8_t(i / 64), 7));
    cv->end();
    EXPECT_EQ(engine->getDrawCount() - before, 1u);
    auto all = pixels(*cv);
    for (uint32_t i = 0; i < 64u * 48u; ++i)
        ASSERT_EQ(all[i], makeColor(255, uint8_t(i % 251), uint8_t(i / 64), 7)) << i;
}

// A fan after images of the same texture joins their batch: the quads pending so far turn
// into triangles and both pictures come out.
TEST_F(GlTest, TrianglesJoinABatchOfQuads) {
    auto img = image(1, 1, {0xFFFFFFFF});
    auto cv = canvas(8, 8);
    cv->clear(0);
    uint64_t before = engine->getDrawCount();
    cv->begin();
    cv->drawImage(*img, nullptr, Destination::rectangle({0, 0, 2, 2}), {}, nullptr, BlendNone,
                  0xFFFF0000);
    Vertex2d fan[4] = {{4, 4, 0, 0xFF00FF00, 0, 0}, {8, 4, 0, 0xFF00FF00, 1, 0},
                       {8, 8, 0, 0xFF00FF00, 1, 1}, {4, 8, 0, 0xFF00FF00, 0, 1}};
    cv->drawImageEx(*img, fan, 4, nullptr, nullptr, BlendNone, 0xFFFFFFFF);
    cv->drawImage(*img, nullptr, Destination::point(7, 0), {}, nullptr, BlendNone, 0xFF0000FF);
    EXPECT_EQ(cv->renderer().pendingCount(), 6u);
    cv->end();
    EXPECT_EQ(engine->getDrawCount() - before, 1u);
    EXPECT_EQ(pixel(*cv, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(pixel(*cv, 2, 2), 0u);
    EXPECT_EQ(pixel(*cv, 5, 5), 0xFF00FF00u);
    EXPECT_EQ(pixel(*cv, 7, 7), 0xFF00FF00u);
    EXPECT_EQ(pixel(*cv, 7, 0), 0xFF0000FFu);
    EXPECT_EQ(pixel(*cv, 6, 0), 0u);
}

// Past the batch's first storage (thousands of quads) a fan still joins: every quad pending so
// far is turned into triangles in place and the whole run stays one draw call.
TEST_F(GlTest, AFanJoinsThousandsOfPendingQuads) {
    auto img = image(1, 1, {0xFFFFFFFF});
    auto cv = canvas(64, 48);
    cv->clear(0);
    uint64_t before = engine->getDrawCount();
    cv->begin();
    const uint32_t quads = 64u * 40u; // rows 0 to 39, one quad per pixel
    for (uint32_t i = 0; i < quads; ++i)
        cv->drawImage(*img, nullptr, Destination::point(int32_t(i % 64), int32_t(i / 64)), {},
                      nullptr, BlendNone, makeColor(255, uint8_t(i % 253), uint8_t(i / 64), 9));
    Vertex2d fan[4] = {{0, 40, 0, 0xFF00FF00, 0, 0}, {64, 40, 0, 0xFF00FF00, 1, 0},
                       {64, 48, 0, 0xFF00FF00, 1, 1}, {0, 48, 0, 0xFF00FF00, 0, 1}};
    cv->drawImageEx(*img, fan, 4, nullptr, nullptr, BlendNone, 0xFFFFFFFF);
    cv->drawImage(*img, nullptr, Destination::point(63, 47), {}, nullptr, BlendNone, 0xFF0000FF);
    EXPECT_EQ(cv->renderer().pendingCount(), quads * 2 + 2 + 2);
    cv->end();
    EXPECT_EQ(engine->getDrawCount() - before, 1u);
    auto all = pixels(*cv);
    for (uint32_t i = 0; i < quads; ++i)
        ASSERT_EQ(all[i], makeColor(255, uint8_t(i % 253), uint8_t(i / 64), 9)) << i;
    EXPECT_EQ(pixel(*cv, 0, 40), 0xFF00FF00u);
    EXPECT_EQ(pixel(*cv, 62, 47), 0xFF00FF00u);
    EXPECT_EQ(pixel(*cv, 63, 47), 0xFF0000FFu);
}

TEST_F(GlTest, StripsAndFansExpandIntoLists) {
    auto cv = canvas(8, 8);
    cv->begin();
    Point2d four[4] = {pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)};
    Point2d three[3] = {pt(0, 0), pt(2, 2), pt(4, 0)};
    cv->drawLines(four, 4, BlendNormal, 0xFFFFFFFF);
    cv->drawLines(three, 3, BlendNormal, 0xFFFFFFFF);
    EXPECT_EQ(cv->renderer().pendingType(), uint32_t(LineList));
    EXPECT_EQ(cv->renderer().pendingCount(), 5u);
    Point2d five[5] = {pt(0, 0), pt(4, 0), pt(6, 3), pt(4, 6), pt(0, 6)};
    cv->drawShape(five, 5, BlendNormal, 0xFFFFFFFF);
    EXPECT_EQ(cv->renderer().pendingType(), uint32_t(TriangleList));
    EXPECT_EQ(cv->renderer().pendingCount(), 3u);
    cv->end();
    EXPECT_EQ(cv->renderer().pendingCount(), 0u);
}

TEST_F(GlTest, TriangleStripsKeepTheirWinding) {
    auto cv = canvas(8, 8);
    ASSERT_TRUE(engine->setCullMode(CullCounterClockwise));
    cv->clear(0);
    cv->begin();
    // A strip of two triangles wound clockwise on the screen: both survive CCW culling.
    Vertex2d v[4] = {{0, 0, 0, 0xFFFFFFFF, 0, 0}, {8, 0, 0, 0xFFFFFFFF, 0, 0},
                     {0, 8, 0, 0xFFFFFFFF, 0, 0}, {8, 8, 0, 0xFFFFFFFF, 0, 0}};
    cv->drawVertices(nullptr, TriangleStrip, v, 4, nullptr, BlendNone);
    cv->end();
    EXPECT_EQ(pixel(*cv, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(*cv, 6, 6), 0xFFFFFFFFu);
    // The same triangles culled clockwise disappear.
    ASSERT_TRUE(engine->setCullMode(CullClockwise));
    cv->clear(0);
    cv->begin();
    cv->drawVertices(nullptr, TriangleStrip, v, 4, nullptr, BlendNone);
    cv->end();
    EXPECT_EQ(pixel(*cv, 1, 1), 0u);
    EXPECT_EQ(pixel(*cv, 6, 6), 0u);
    engine->setCullMode(CullNone);
}

TEST_F(GlTest, LinesCoverThePixelsBetweenTheirPoints) {
    auto cv = canvas(8, 8);
    cv->clear(0);
    cv->begin();
    Point2d line[2] = {pt(1, 3, 0xFFFF0000), pt(6, 3, 0xFFFF0000)};
    cv->drawLines(line, 2, BlendNone, 0xFFFFFFFF);
    cv->end();
    for (uint32_t x = 1; x < 6; ++x) EXPECT_EQ(pixel(*cv, x, 3), 0xFFFF0000u) << x;
    EXPECT_EQ(pixel(*cv, 3, 2), 0u);
    EXPECT_EQ(pixel(*cv, 3, 4), 0u);
}

class BrokenEffect final : public IEffect2d {
public:
    uint32_t getType() override { return 99; }
    std::shared_ptr<IShader> createShader(IEngine& engine, bool) override {
        return engine.createShader("this is not GLSL");
    }
    bool apply(IEngine&, IShader&, const std::shared_ptr<ITexture>&) override { return true; }
};

TEST_F(GlTest, ABatchWithoutShaderIsDroppedNotKept) {
    auto cv = canvas(4, 4);
    auto broken = std::make_shared<BrokenEffect>();
    auto img = image(1, 1, {0xFFFFFFFF});
    cv->clear(0);
    cv->begin();
    for (int i = 0; i < 3; ++i)
        cv->drawImage(*img, nullptr, Destination::point(0, 0), {}, broken, BlendNone, 0xFFFFFFFF);
    EXPECT_EQ(cv->renderer().pendingCount(), 6u);
    EXPECT_FALSE(cv->renderer().flush());
    EXPECT_EQ(cv->renderer().pendingCount(), 0u);
    // Later draws with a good effect still work.
    cv->drawImage(*img, nullptr, Destination::point(1, 1), {}, nullptr, BlendNone, 0xFFFFFFFF);
    EXPECT_TRUE(cv->end());
    EXPECT_EQ(pixel(*cv, 0, 0), 0u);
    EXPECT_EQ(pixel(*cv, 1, 1), 0xFFFFFFFFu);
}

TEST_F(GlTest, CanvasStateRules) {
    auto cv = canvas(4, 4);
    auto img = image(1, 1, {0xFFFFFFFF});
    EXPECT_FALSE(cv->end());
    EXPECT_FALSE(cv->drawImage(*img, nullptr, Destination::point(0, 0), {}, nullptr, 1, 0xFFFFFFFF));
    EXPECT_TRUE(cv->begin());
    EXPECT_FALSE(cv->begin());
    EXPECT_FALSE(cv->backup());
    EXPECT_FALSE(cv->getTexture());
    // A canvas cannot draw itself.
    EXPECT_FALSE(cv->drawImage(*cv, nullptr, Destination::point(0, 0), {}, nullptr, 1, 0xFFFFFFFF));
    Point2d one[1] = {pt(0, 0)};
    EXPECT_FALSE(cv->drawLines(one, 1, 1, 0xFFFFFFFF));
    EXPECT_FALSE(cv->drawShape(one, 1, 1, 0xFFFFFFFF));
    EXPECT_TRUE(cv->end());
    EXPECT_TRUE(cv->backup());
    EXPECT_FALSE(Canvas::create(engine, 0, 4));
    EXPECT_FALSE(Canvas::create(engine, 4, 60000));
}

TEST_F(GlTest, AResetKeepsOnlyBackedUpTargets) {
    auto kept = canvas(4, 4), lost = canvas(4, 4);
    kept->clear(0xFF112233);
    lost->clear(0xFF112233);
    ASSERT_TRUE(kept->backup());
    engine->simulateReset();
    EXPECT_EQ(pixel(*kept, 1, 1), 0xFF112233u);
    EXPECT_EQ(pixel(*lost, 1, 1), 0u);
    kept->clearBackup();
    engine->simulateReset();
    EXPECT_EQ(pixel(*kept, 1, 1), 0u);
}

TEST_F(GlTest, EngineFactoriesRefuseBadArguments) {
    EXPECT_FALSE(engine->createTexture(0, 4, 1));
    EXPECT_FALSE(engine->createTexture(4, 4, 0));
    EXPECT_FALSE(engine->createTexture(4, 4, 3));
    EXPECT_FALSE(engine->createTarget(4, 0, 1));
    EXPECT_FALSE(engine->createVertexBuffer(11, 1));
    EXPECT_FALSE(engine->createVertexBuffer(2, 3));
    EXPECT_FALSE(engine->createIndexBuffer(3, 1));
    EXPECT_FALSE(engine->createShader("void main() {"));
    auto caps = engine->getCaps();
    EXPECT_EQ(caps->getShaderLanguage(), "GLSL");
    EXPECT_GE(caps->getMaxTextureWidth(), 1024);
    EXPECT_FALSE(engine->drawPrimitive(TriangleList, 1, 0)); // no vertex buffer
    auto vb = engine->createVertexBuffer(2, BufferDevice);
    engine->setVertexBuffer(vb);
    EXPECT_FALSE(engine->drawPrimitive(TriangleList, 1, 0)); // too few vertices
    Vertex2d v[3] = {};
    vb->append(v, sizeof v);
    EXPECT_TRUE(engine->drawPrimitive(TriangleList, 1, 0));
    EXPECT_FALSE(engine->drawPrimitive(7, 1, 0));
    EXPECT_FALSE(engine->drawIndexedPrimitive(TriangleList, 1, 0)); // no index buffer
}

TEST_F(GlTest, ScreenModeIsReportedAtOnceAndSwitchedAtTheNextScene) {
    EXPECT_FALSE(engine->setScreenMode(0));
    EXPECT_FALSE(engine->setScreenMode(3));
    EXPECT_TRUE(engine->setScreenMode(ScreenWindow));
    EXPECT_EQ(engine->getScreenMode(), uint32_t(ScreenWindow));
    EXPECT_TRUE(engine->setScreenMode(ScreenFull));
    EXPECT_EQ(engine->getScreenMode(), uint32_t(ScreenFull));
    EXPECT_FALSE(engine->setScreenMode(0));
    EXPECT_EQ(engine->getScreenMode(), uint32_t(ScreenFull));
    EXPECT_TRUE(engine->setScreenMode(ScreenWindow)); // cancels the pending switch
    EXPECT_EQ(engine->getScreenMode(), uint32_t(ScreenWindow));
    engine->beginScene();
    EXPECT_EQ(engine->getScreenMode(), uint32_t(ScreenWindow));
}

TEST_F(GlTest, TexturesUpdateAndLockRectangles) {
    auto t = engine->createTexture(4, 4, FormatA8R8G8B8);
    ASSERT_TRUE(t);
    uint32_t px[2] = {0x11223344, 0x55667788};
    EXPECT_TRUE(t->update(2, 3, 2, 1, px, 8));
    EXPECT_FALSE(t->update(3, 3, 2, 1, px, 8)); // past the right edge
    auto b = t->lock();
    ASSERT_TRUE(b);
    EXPECT_FALSE(t->lock()); // locked already
    uint32_t got;
    std::memcpy(&got, b->getPixel(3, 3), 4);
    EXPECT_EQ(got, 0x55667788u);
    uint32_t white = 0xFFFFFFFF;
    std::memcpy(b->getPixel(0, 0), &white, 4);
    t->unlock();
    b = t->lock();
    std::memcpy(&got, b->getPixel(0, 0), 4);
    EXPECT_EQ(got, white);
    t->unlock();
    EXPECT_FLOAT_EQ(t->getU(2), 0.5f);
}

// The window's pixel (x, y from the top) of the 64-pixel-high test window.
Color windowPixel(int x, int yFromTop) {
    using ReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
    auto readPixels = reinterpret_cast<ReadPixels>(SDL_GL_GetProcAddress("glReadPixels"));
    uint8_t rgba[4] = {};
    if (readPixels) readPixels(x, 63 - yFromTop, 1, 1, 0x1908, 0x1401, rgba); // RGBA bytes
    return makeColor(rgba[3], rgba[0], rgba[1], rgba[2]);
}

// The window shows the screen canvas over black, whatever its alpha and whatever the window
// held before: the copy neither blends nor leaves old pixels. Read from the back buffer after
// the swap, which llvmpipe leaves holding the presented frame.
TEST_F(GlTest, TheWindowShowsTheCanvasOverBlack) {
    auto context = Context::create(engine);
    ASSERT_TRUE(context);
    auto screen = canvas(64, 64);
    auto shown = [&](Color fill) {
        screen->clear(fill);
        context->beginFrame();
        context->endFrame(screen->getTexture());
        return windowPixel(10, 10);
    };
    EXPECT_EQ(shown(0xFF20C0FF), 0xFF20C0FFu);
    EXPECT_EQ(shown(0x80FF4000), 0xFF802000u); // half alpha: half of each channel over black
    EXPECT_EQ(shown(0x00FFFFFF), 0xFF000000u); // transparent: black, not the frame before
    EXPECT_EQ(shown(0xFF20C0FF), 0xFF20C0FFu);
}

// After the first frame, an opaque canvas of the window's size reaches the window as a plain
// copy (no draw call), the right way up; once a draw may have left translucent pixels, it is
// drawn again, over black.
TEST_F(GlTest, AnOpaqueScreenCanvasIsCopiedTheRightWayUp) {
    auto context = Context::create(engine);
    ASSERT_TRUE(context);
    auto screen = canvas(64, 64);
    auto present = [&] {
        uint64_t before = engine->getDrawCount();
        context->beginFrame();
        context->endFrame(screen->getTexture());
        return engine->getDrawCount() - before;
    };
    Point2d top[4] = {pt(0, 0, 0xFFFF0000), pt(64, 0, 0xFFFF0000), pt(64, 8, 0xFFFF0000),
                      pt(0, 8, 0xFFFF0000)};

    screen->clear(0xFF0000FF);
    EXPECT_EQ(present(), 1u); // the first frame is drawn
    EXPECT_EQ(windowPixel(60, 60), 0xFF0000FFu);
    ASSERT_TRUE(screen->begin());
    ASSERT_TRUE(screen->drawShape(top, 4, BlendNormal, 0xFFFFFFFF));
    ASSERT_TRUE(screen->end());
    EXPECT_EQ(present(), 0u);
    EXPECT_EQ(windowPixel(3, 2), 0xFFFF0000u);
    EXPECT_EQ(windowPixel(60, 60), 0xFF0000FFu);

    // Blending off writes the source's alpha: half a red over the top, drawn over black.
    for (auto& p : top) p.color = 0x80FF0000;
    ASSERT_TRUE(screen->begin());
    ASSERT_TRUE(screen->drawShape(top, 4, BlendNone, 0xFFFFFFFF));
    ASSERT_TRUE(screen->end());
    EXPECT_EQ(present(), 1u);
    EXPECT_EQ(windowPixel(3, 2), 0xFF800000u);
    EXPECT_EQ(windowPixel(60, 60), 0xFF0000FFu);

    // Only an opaque clear makes it opaque again; a canvas of another size is always drawn.
    screen->clear(0xFF00FF00);
    EXPECT_EQ(present(), 0u);
    EXPECT_EQ(windowPixel(30, 30), 0xFF00FF00u);
    auto small = canvas(32, 32);
    small->clear(0xFFFFFFFF);
    uint64_t before = engine->getDrawCount();
    context->beginFrame();
    context->endFrame(small->getTexture());
    EXPECT_EQ(engine->getDrawCount() - before, 1u);
}

} // namespace
} // namespace KoGraphics::Test
