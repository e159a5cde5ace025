// Worlds drawn by OpenGL into a canvas and read back: lighting, fog, depth and textures.
#include "Support.h"
#include "graphics/world/World.h"
#include "io/FileManager.h"
#include "io/Path.h"

#include <filesystem>

namespace KoGraphics::Test {
namespace {

namespace fs = std::filesystem;

class WorldGlTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        KoIO::setFileManager(
            KoIO::buildFileManager(KoIO::fromPosixPath(GRAPHICS_TEST_MODELS), u"", false));
        clearModelCache();
        cam.aspect = 1.0f;
    }
    void TearDown() override {
        clearModelCache();
        KoIO::setFileManager(nullptr);
        GlTest::TearDown();
    }
    std::vector<Color> draw() {
        auto c = canvas(64, 64);
        c->clear(0xFF000000);
        c->begin();
        drawn = drawWorld(*c, world, cam);
        c->end();
        return pixels(*c);
    }
    World world;
    Camera cam;
    int32_t drawn = -1;
};

Color at(const std::vector<Color>& p, int x, int y) {
    return p[size_t(y) * 64 + x];
}
// Half-Lambert grey of a white surface: the light comes along (1, 1, -1).
constexpr uint32_t kLit = 201;   // normal -z, +x or +y: 0.5 + 0.5 / sqrt(3)
constexpr uint32_t kShade = 128; // normal +z, -x or -y: turned away, 0.5

TEST_F(WorldGlTest, FacesTurnedToTheLightAreBrighter) {
    auto cube = world.createActor(*engine, u"white.mqo");
    ASSERT_TRUE(cube);
    cam.position = {-4, 0, -4}; // sees the -x face on the left, the -z face on the right
    cam.look = {0, 0, 0};
    auto p = draw();
    EXPECT_EQ(drawn, 1);
    EXPECT_TRUE(near(at(p, 20, 32), makeColor(255, kShade, kShade, kShade), 3));
    EXPECT_TRUE(near(at(p, 44, 32), makeColor(255, kLit, kLit, kLit), 3));
    EXPECT_EQ(at(p, 1, 1), 0xFF000000u); // background
    // From behind, the far faces are the visible ones: +x lit, +z turned away.
    cam.position = {4, 0, 4};
    p = draw();
    EXPECT_TRUE(near(at(p, 20, 32), makeColor(255, kLit, kLit, kLit), 3));
    EXPECT_TRUE(near(at(p, 44, 32), makeColor(255, kShade, kShade, kShade), 3));
}

TEST_F(WorldGlTest, FogTurnsFarPixelsTowardsItsColour) {
    auto cube = world.createActor(*engine, u"white.mqo");
    ASSERT_TRUE(cube);
    auto fog = std::make_shared<FogEffect3d>();
    fog->color = 0xFF0000FF;
    fog->nearZ = 2.0f;
    fog->farZ = 30.0f;
    cube->model().subsets[0].effect = fog;
    cam.position = {0, 0, -5};
    auto near4 = at(draw(), 32, 32); // front face at depth 4: factor 26 / 28
    cube->position = {0, 0, 20};
    auto far24 = at(draw(), 32, 32); // depth 24: factor 6 / 28
    EXPECT_TRUE(near(near4, makeColor(255, 187, 187, 205), 3));
    EXPECT_TRUE(near(far24, makeColor(255, 43, 43, 243), 3));
    EXPECT_LT(redOf(far24), redOf(near4));
    EXPECT_GT(blueOf(far24), blueOf(near4));
}

TEST_F(WorldGlTest, NearerSurfacesHideFartherOnesWhateverTheOrder) {
    auto white = world.createActor(*engine, u"white.mqo");
    auto red = world.createActor(*engine, u"red.mqo");
    ASSERT_TRUE(white && red);
    red->position = {0, 0, 5};
    white->priority = 1; // drawn first, then the red one behind it
    cam.position = {0, 0, -5};
    auto p = draw();
    EXPECT_EQ(drawn, 2);
    EXPECT_TRUE(near(at(p, 32, 32), makeColor(255, kLit, kLit, kLit), 3));
    red->priority = 2;
    white->visible = false;
    p = draw();
    EXPECT_TRUE(near(at(p, 32, 32), makeColor(255, kLit, 0, 0), 3));
}

TEST_F(WorldGlTest, AnActorLargerThanTheViewIsDrawn) {
    auto wall = world.createActor(*engine, u"white.mqo");
    ASSERT_TRUE(wall);
    wall->scale = {100, 100, 100};
    wall->position = {0, 0, 110}; // its near face at z = 10 fills the view
    auto p = draw();
    EXPECT_EQ(drawn, 1);
    EXPECT_TRUE(near(at(p, 0, 0), makeColor(255, kLit, kLit, kLit), 3));
    EXPECT_TRUE(near(at(p, 63, 63), makeColor(255, kLit, kLit, kLit), 3));
}

TEST_F(WorldGlTest, TexturesTintTheLitColour) {
    auto cube = world.createActor(*engine, u"textured.mqo");
    ASSERT_TRUE(cube);
    ASSERT_TRUE(cube->model().subsets[0].textures[0]);
    cam.position = {0, 0, -5};
    auto p = draw();
    // skin.png: yellow (240, 192, 32) above, blue (32, 64, 240) below; lit by 0.789.
    bool yellow = false, blue = false;
    for (Color c : p) {
        yellow |= near(c, makeColor(255, 189, 151, 25), 3);
        blue |= near(c, makeColor(255, 25, 50, 189), 3);
    }
    EXPECT_TRUE(yellow);
    EXPECT_TRUE(blue);
}

TEST_F(WorldGlTest, TwoDDrawingAfterAWorldIsNotDepthTested) {
    auto cube = world.createActor(*engine, u"white.mqo");
    cam.position = {0, 0, -5};
    auto c = canvas(64, 64);
    c->clear(0xFF000000);
    c->begin();
    drawWorld(*c, world, cam);
    Point2d square[4] = {{0, 0, 0, 0xFF00FF00},
                         {64, 0, 0, 0xFF00FF00},
                         {64, 64, 0, 0xFF00FF00},
                         {0, 64, 0, 0xFF00FF00}};
    c->drawShape(square, 4, BlendNone, 0xFFFFFFFF);
    c->end();
    EXPECT_EQ(pixel(*c, 32, 32), 0xFF00FF00u);
}

} // namespace
} // namespace KoGraphics::Test
