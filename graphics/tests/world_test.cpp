// Model files, models, actors, cameras and the world's drawing rules on the in-memory engine.
#include "graphics/Canvas.h"
#include "graphics/NullEngine.h"
#include "graphics/world/ModelLoader.h"
#include "graphics/world/World.h"
#include "io/FileManager.h"
#include "io/Path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace KoGraphics {
namespace {

namespace fs = std::filesystem;
const fs::path models = GRAPHICS_TEST_MODELS;

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kHead = "Metasequoia Document\nFormat Text Ver 1.0\n";

// One triangle object with the given material chunk and face line.
std::string triangle(const std::string& materials, const std::string& face) {
    return kHead + materials +
           "Object \"o\" {\n vertex 3 {\n 0.0 0.0 0.0\n 1.0 0.0 0.0\n"
           " 0.0 1.0 0.0\n }\n face 1 {\n " +
           face + "\n }\n}\n";
}

ModelData load(const std::string& text) {
    ModelError e = ModelError::Header;
    auto d = loadModelData(text, &e);
    EXPECT_TRUE(d);
    EXPECT_EQ(e, ModelError::None);
    return d ? *d : ModelData{};
}

ModelError refusal(const std::string& text) {
    ModelError e = ModelError::None;
    EXPECT_FALSE(loadModelData(text, &e));
    return e;
}

// --- the loader ------------------------------------------------------------------------------

TEST(ModelLoader, MaterialColoursAreTruncatedProducts) {
    auto d = load(kHead + "Material 2 {\n"
                          "\t\"m\" col(1.000 0.500 0.000 1.000) dif(0.800)\n"
                          "\t\"n\" col(0.200 0.400 1.000 0.500) dif(0.500) amb(0.250) emi(1.000)"
                          " spc(0.100) power(30.00) tex(\"hull.png\")\n}\n");
    ASSERT_EQ(d.materials.size(), 2u);
    EXPECT_EQ(d.materials[0].base, 0xFFFF7F00u);
    EXPECT_EQ(d.materials[0].diffuse, 0xFFCC6500u);
    EXPECT_EQ(d.materials[0].textures[0], "");
    const ModelMaterial& n = d.materials[1];
    // 0.2 x 255 = 51, 0.4 x 255 = 102, alpha 0.5 x 255 = 127.
    EXPECT_EQ(n.base, makeColor(127, 51, 102, 255));
    EXPECT_EQ(n.diffuse, makeColor(127, 25, 51, 127));
    EXPECT_EQ(n.ambient, makeColor(127, 12, 25, 63));
    EXPECT_EQ(n.emissive, n.base);
    EXPECT_EQ(n.specular, makeColor(127, 5, 10, 25));
    EXPECT_FLOAT_EQ(n.power, 30.0f);
    EXPECT_EQ(n.textures[0], "hull.png");
}

TEST(ModelLoader, TextureNamesWithPathsOrOddCharactersDoNotMatch) {
    for (const char* tex : {"tex(\"dir/hull.png\")", "tex(\"my_hull.png\")", "tex(\"a b.png\")",
                            "tex(\"hull\")", "tex(hull.png)"}) {
        auto d = load(kHead + "Material 1 {\n \"m\" col(1.000 1.000 1.000 1.000) " + tex + "\n}\n");
        ASSERT_EQ(d.materials.size(), 1u);
        EXPECT_EQ(d.materials[0].textures[0], "") << tex;
    }
}

TEST(ModelLoader, ValuesBeyondOneSaturateTheChannel) {
    auto d = load(kHead + "Material 1 {\n \"m\" col(2.000 1.000 0.000 1.000) dif(3.000)\n}\n");
    EXPECT_EQ(d.materials[0].base, 0xFFFFFF00u);
    EXPECT_EQ(d.materials[0].diffuse, 0xFFFFFF00u);
}

TEST(ModelLoader, PositionsFlipZAndEveryCornerIsItsOwnVertex) {
    auto d = load(kHead + "Object \"o\" {\n vertex 4 {\n 1.0 2.0 3.0\n -1.5 0.0 -2.0\n"
                          " 0.0 1.0 0.0\n 1.0 1.0 0.0\n }\n face 2 {\n"
                          " 3 V(0 1 2) M(0) UV(0.1 0.2 0.3 0.4 0.5 0.6)\n"
                          " 4 V(0 1 2 3) M(1) UV(0.0 0.0 1.0 0.0 1.0 1.0 0.0 1.0)\n }\n}\n");
    ASSERT_EQ(d.positions.size(), 4u);
    EXPECT_EQ(d.positions[0], (std::array<float, 3>{1, 2, -3}));
    EXPECT_EQ(d.positions[1], (std::array<float, 3>{-1.5f, 0, 2}));
    ASSERT_EQ(d.vertices.size(), 7u);
    ASSERT_EQ(d.triangles.size(), 3u);
    EXPECT_EQ(d.triangles[0].material, 0u);
    EXPECT_FLOAT_EQ(d.vertices[2].uv[0], 0.5f);
    EXPECT_FLOAT_EQ(d.vertices[2].uv[1], 0.6f);
    // The quad (a, b, c, d) is (a, b, c) and (a, c, d) over its own four vertices.
    EXPECT_EQ(d.triangles[1].material, 1u);
    EXPECT_EQ(d.triangles[1].index[0], 3);
    EXPECT_EQ(d.triangles[1].index[1], 4);
    EXPECT_EQ(d.triangles[1].index[2], 5);
    EXPECT_EQ(d.triangles[2].index[0], 3);
    EXPECT_EQ(d.triangles[2].index[1], 5);
    EXPECT_EQ(d.triangles[2].index[2], 6);
    EXPECT_FLOAT_EQ(d.vertices[6].position[0], 1.0f);
    EXPECT_FLOAT_EQ(d.vertices[6].uv[1], 1.0f);
}

TEST(ModelLoader, FacesReferToTheirOwnObjectsVertices) {
    std::string object = "Object \"o\" {\n vertex 3 {\n 0.0 0.0 0.0\n 1.0 0.0 0.0\n 0.0 1.0 0.0\n"
                         " }\n face 1 {\n 3 V(0 1 2)\n }\n}\n";
    std::string moved = object;
    moved.replace(moved.find("0.0 0.0 0.0"), 11, "5.0 5.0 5.0");
    auto d = load(kHead + object + moved);
    ASSERT_EQ(d.triangles.size(), 2u);
    EXPECT_FLOAT_EQ(d.vertices[d.triangles[1].index[0]].position[0], 5.0f);
    // No M(...): the face belongs to no material.
    EXPECT_EQ(d.triangles[0].material, kNoMaterial);
}

TEST(ModelLoader, NormalsComeFromTheFaces) {
    // Clockwise as seen from -z after the flip: its normal points at -z.
    auto d = load(triangle("", "3 V(0 2 1) M(0)"));
    ASSERT_EQ(d.vertices.size(), 3u);
    for (const auto& v : d.vertices) {
        EXPECT_NEAR(v.normal[0], 0.0f, 1e-6);
        EXPECT_NEAR(v.normal[1], 0.0f, 1e-6);
        EXPECT_NEAR(v.normal[2], -1.0f, 1e-6);
    }
    auto flipped = load(triangle("", "3 V(0 1 2) M(0)"));
    EXPECT_NEAR(flipped.vertices[0].normal[2], 1.0f, 1e-6);
}

TEST(ModelLoader, CubeNormalsPointOutwardsAndStayFlatAcrossSharpEdges) {
    auto d = load(readText(models / "white.mqo")); // facet 59.5: the 90 degree edges stay sharp
    ASSERT_EQ(d.vertices.size(), 24u);
    for (const auto& v : d.vertices) {
        float dot = 0, len = 0;
        for (int k = 0; k < 3; ++k) {
            dot += v.normal[k] * v.position[k];
            len += v.normal[k] * v.normal[k];
        }
        EXPECT_NEAR(len, 1.0f, 1e-5);
        EXPECT_NEAR(dot, 1.0f, 1e-5); // a unit axis along the corner's own face
    }
}

TEST(ModelLoader, SmoothingJoinsFacesWithinTheFacetAngle) {
    // Two triangles meeting along x = 0 at 20 degrees to each other.
    auto object = [](const char* facet) {
        return kHead + "Object \"o\" {\n " + facet +
               "\n vertex 4 {\n 0.0 0.0 0.0\n"
               " 0.0 1.0 0.0\n -1.0 0.0 0.0\n 0.9397 0.0 -0.3420\n }\n face 2 {\n"
               " 3 V(0 1 2) M(0)\n 3 V(0 3 1) M(0)\n }\n}\n";
    };
    auto smooth = load(object("facet 30.0"));
    auto sharp = load(object("facet 10.0"));
    auto flat = load(object("shading 0\n facet 30.0"));
    // Corner 0 of the first face: averaged with the second face when smoothed.
    EXPECT_NEAR(smooth.vertices[0].normal[0], smooth.vertices[3].normal[0], 1e-6);
    EXPECT_NEAR(smooth.vertices[0].normal[2], smooth.vertices[3].normal[2], 1e-6);
    EXPECT_NEAR(smooth.vertices[0].normal[0], -0.1736f, 1e-3); // half of 20 degrees off z
    EXPECT_NEAR(sharp.vertices[0].normal[0], 0.0f, 1e-6);
    EXPECT_NEAR(flat.vertices[0].normal[0], 0.0f, 1e-6);
    // Corner 2 belongs to the first face alone.
    EXPECT_NEAR(smooth.vertices[2].normal[0], 0.0f, 1e-6);
}

TEST(ModelLoader, NumbersTooLargeRefuseTheFile) {
    std::string huge(60, '9');
    EXPECT_EQ(refusal(kHead + "Material 99999999999 {\n"), ModelError::Number);
    EXPECT_EQ(refusal(kHead + "Material 1 {\n \"m\" col(" + huge + ".0 1.0 1.0 1.0)\n}\n"),
              ModelError::Number);
    EXPECT_EQ(refusal(kHead + "Object \"o\" {\n vertex 1 {\n 1" + std::string(400, '0') +
                      ".0 0.0 0.0\n }\n}\n"),
              ModelError::Number);
    EXPECT_EQ(refusal(triangle("", "3 V(0 1 2) M(4294967296)")), ModelError::Number);
    EXPECT_EQ(refusal(triangle("", "3 V(0 1 99999999999)")), ModelError::Number);
    // Too small for a float is zero, not an error.
    auto d = load(kHead + "Object \"o\" {\n vertex 1 {\n 0." + std::string(400, '0') +
                  "1 0.0 0.0\n }\n}\n");
    ASSERT_EQ(d.positions.size(), 1u);
    EXPECT_EQ(d.positions[0][0], 0.0f);
}

TEST(ModelLoader, BrokenFilesAreRefused) {
    EXPECT_EQ(refusal("Metasequoia Documen"), ModelError::Header);
    EXPECT_EQ(refusal("metasequoia document\n"), ModelError::Header);
    EXPECT_EQ(refusal(triangle("", "3 V(0 1 3) M(0)")), ModelError::Index);
    EXPECT_EQ(refusal(kHead + "Object \"o\" {\n vertex 1 {\n --1.0 0.0 0.0\n }\n}\n"),
              ModelError::Number);
    // Counts larger than the file end with it.
    auto d = load(kHead + "Material 9 {\n \"m\" col(1.0 1.0 1.0 1.0)\n");
    EXPECT_EQ(d.materials.size(), 1u);
}

// Every corner is a drawn vertex and indices are 16-bit: 16384 quads fill them exactly.
TEST(ModelLoader, DrawnVerticesStopAtSixteenBitIndices) {
    auto quads = [](int n) {
        std::string text = kHead +
                           "Object \"o\" {\n vertex 4 {\n 0.0 0.0 0.0\n 1.0 0.0 0.0\n"
                           " 1.0 1.0 0.0\n 0.0 1.0 0.0\n }\n face " +
                           std::to_string(n) + " {\n";
        for (int i = 0; i < n; ++i) text += " 4 V(0 1 2 3) M(0)\n";
        return text + " }\n}\n";
    };
    auto full = load(quads(16384));
    ASSERT_EQ(full.vertices.size(), 65536u);
    EXPECT_EQ(full.triangles.back().index[1], 65534);
    EXPECT_EQ(full.triangles.back().index[2], 65535);
    EXPECT_EQ(refusal(quads(16385)), ModelError::TooManyVertices);
}

TEST(ModelLoader, RegressionInputsLoadOrAreRefused) {
    for (auto& entry : fs::directory_iterator(models.parent_path() / "regressions"))
        if (entry.path().extension() == ".mqo") {
            auto text = readText(entry.path());
            loadModelData(text); // must return, either way
        }
}

TEST(ModelLoader, TextureDirectoryIsTheModelsFolder) {
    EXPECT_EQ(textureDirectory(u"models/ship.mqo"), u"models/");
    EXPECT_EQ(textureDirectory(u"a\\b/c\\ship.mqo"), u"a\\b/c/");
    EXPECT_EQ(textureDirectory(u"ship.mqo"), u"");
}

// --- models, actors, the world ---------------------------------------------------------------

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ko-graphics-world.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directories(dir / "models");
        for (const char* f : {"white.mqo", "textured.mqo", "two.mqo", "skin.png"})
            fs::copy_file(models / f, dir / "models" / f);
        fs::copy_file(models / "textured.mqo", dir / "textured.mqo");
        KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u"", false));
        clearModelCache();
        engine = createNullEngine(640, 480);
    }
    void TearDown() override {
        clearModelCache();
        KoIO::setFileManager(nullptr);
        fs::remove_all(dir);
    }
    fs::path dir;
    std::shared_ptr<IEngine> engine;
    World world;
};

TEST_F(WorldTest, SubsetsFollowTheMaterialsAndDropUnknownOnes) {
    auto actor = world.createActor(*engine, u"models/two.mqo");
    ASSERT_TRUE(actor);
    Model& m = actor->model();
    ASSERT_EQ(m.subsets.size(), 2u);
    // Faces 0, 2, 4 use material 0, faces 1, 3 material 1, face 5 material 5 (none).
    EXPECT_EQ(m.subsets[0].first, 0u);
    EXPECT_EQ(m.subsets[0].count, 6u);
    EXPECT_EQ(m.subsets[1].first, 18u);
    EXPECT_EQ(m.subsets[1].count, 4u);
    EXPECT_EQ(m.indices->getCount(), 30u);
    EXPECT_EQ(m.subsets[0].diffuse, 0xFFCC6500u);
    EXPECT_EQ(m.box[0], (Vector3{-1, -1, -1}));
    EXPECT_EQ(m.box[7], (Vector3{1, 1, 1}));
}

TEST_F(WorldTest, TexturesComeFromTheModelsFolder) {
    auto inFolder = world.createActor(*engine, u"models/textured.mqo");
    ASSERT_TRUE(inFolder);
    ASSERT_TRUE(inFolder->model().subsets[0].textures[0]);
    EXPECT_EQ(inFolder->model().subsets[0].textures[0]->getWidth(), 8);
    // Beside the executable there is no skin.png: the stage stays empty, the model loads.
    auto beside = world.createActor(*engine, u"textured.mqo");
    ASSERT_TRUE(beside);
    EXPECT_FALSE(beside->model().subsets[0].textures[0]);
    fs::copy_file(models / "skin.png", dir / "skin.png");
    clearModelCache();
    auto found = world.createActor(*engine, u"textured.mqo");
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->model().subsets[0].textures[0]);
}

TEST_F(WorldTest, EachActorOwnsItsMaterials) {
    auto a = world.createActor(*engine, u"models/white.mqo");
    auto b = world.createActor(*engine, u"models/white.mqo");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(modelCacheSize(), 1u);
    EXPECT_EQ(a->model().vertices, b->model().vertices); // shared buffers
    a->model().subsets[0].diffuse = 0xFF102030;
    a->model().subsets[0].textures[0] = engine->createTexture(2, 2, FormatA8R8G8B8);
    EXPECT_EQ(b->model().subsets[0].diffuse, 0xFFFFFFFFu);
    EXPECT_FALSE(b->model().subsets[0].textures[0]);
    auto c = world.createActor(*engine, u"models/white.mqo");
    EXPECT_EQ(c->model().subsets[0].diffuse, 0xFFFFFFFFu);
}

TEST_F(WorldTest, NoModelWithoutFileMaterialsOrVertices) {
    EXPECT_FALSE(world.createActor(*engine, u"models/missing.mqo"));
    std::ofstream(dir / "nomat.mqo") << kHead
                                     << "Object \"o\" {\n vertex 3 {\n 0.0 0.0 0.0\n 1.0 0.0 0.0\n"
                                        " 0.0 1.0 0.0\n }\n face 1 {\n 3 V(0 1 2) M(0)\n }\n}\n";
    std::ofstream(dir / "novert.mqo") << kHead << "Material 1 {\n \"m\" col(1.0 1.0 1.0 1.0)\n}\n";
    std::ofstream(dir / "big.mqo")
        << kHead << "Material 1 {\n \"m\" col(1" << std::string(50, '0') << ".0 1.0 1.0 1.0)\n}\n";
    EXPECT_FALSE(world.createActor(*engine, u"nomat.mqo"));
    EXPECT_FALSE(world.createActor(*engine, u"novert.mqo"));
    ModelError why = ModelError::None;
    EXPECT_FALSE(world.createActor(*engine, u"big.mqo", &why));
    EXPECT_EQ(why, ModelError::Number);
    EXPECT_EQ(modelCacheSize(), 0u);
}

TEST_F(WorldTest, DrawOrderIsByPriorityThenCreation) {
    auto a = world.createActor(*engine, u"models/white.mqo");
    auto b = world.createActor(*engine, u"models/white.mqo");
    auto c = world.createActor(*engine, u"models/white.mqo");
    auto d = world.createActor(*engine, u"models/white.mqo");
    a->priority = 1;
    b->priority = 5;
    c->priority = 1;
    d->priority = 5;
    auto list = world.drawList();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], b);
    EXPECT_EQ(list[1], d);
    EXPECT_EQ(list[2], a);
    EXPECT_EQ(list[3], c);
    d->released = true;
    list.clear();
    c.reset(); // expired
    list = world.drawList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], b);
    EXPECT_EQ(list[1], a);
}

TEST(WorldMath, RotationComesBeforeTheScale) {
    Actor actor(nullptr);
    actor.scale = {2, 1, 1};
    actor.rotation = {0, 0, float(M_PI / 2)};
    actor.position = {10, 0, 0};
    Matrix m = actor.worldMatrix();
    auto p = transformPoint({0, 1, 0}, m); // turned onto -x, then stretched along world x
    EXPECT_NEAR(p[0], 8.0f, 1e-5);
    EXPECT_NEAR(p[1], 0.0f, 1e-5);
    p = transformPoint({1, 0, 0}, m); // turned onto +y, which the stretch leaves alone
    EXPECT_NEAR(p[0], 10.0f, 1e-5);
    EXPECT_NEAR(p[1], 1.0f, 1e-5);
}

TEST(WorldMath, CameraLooksAlongZWithDepthFromNearToFar) {
    Camera cam;
    cam.position = {0, 0, -10};
    cam.look = {0, 0, 0};
    cam.aspect = 2.0f;
    Matrix vp = multiply(cam.view(), cam.projection());
    auto nearPoint = transformPoint({0, 0, -9}, vp);
    auto farPoint = transformPoint({0, 0, 4990}, vp);
    EXPECT_NEAR(nearPoint[2] / nearPoint[3], 0.0f, 1e-5);
    EXPECT_NEAR(farPoint[2] / farPoint[3], 1.0f, 1e-4);
    // tan(30 degrees) up at distance 1 is the top edge; x shrinks by the aspect.
    auto top = transformPoint({0, std::tan(0.5236f) * 5, -5}, vp);
    EXPECT_NEAR(top[1] / top[3], 1.0f, 1e-3);
    auto right = transformPoint({std::tan(0.5236f) * 5, 0, -5}, vp);
    EXPECT_NEAR(right[0] / right[3], 0.5f, 1e-3);
}

std::array<Vector3, 8> box(Vector3 lo, Vector3 hi) {
    std::array<Vector3, 8> b;
    for (int c = 0; c < 8; ++c)
        b[c] = {c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]};
    return b;
}

TEST(WorldMath, CullingNeedsOnePlaneWithEveryCornerOutside) {
    Camera cam;
    cam.aspect = 1.0f;
    Matrix vp = multiply(cam.view(), cam.projection());
    EXPECT_FALSE(outsideView(box({-1, -1, 9}, {1, 1, 11}), vp));     // ahead
    EXPECT_TRUE(outsideView(box({-1, -1, -11}, {1, 1, -9}), vp));    // behind
    EXPECT_TRUE(outsideView(box({50, -1, 9}, {52, 1, 11}), vp));     // off to the right
    EXPECT_TRUE(outsideView(box({-1, -1, 6000}, {1, 1, 6010}), vp)); // beyond far
    // The camera inside a building: every corner is outside the view, none on the same side.
    EXPECT_FALSE(outsideView(box({-100, -100, -100}, {100, 100, 100}), vp));
    // A wall spanning the view: its corners lie left and right of it.
    EXPECT_FALSE(outsideView(box({-500, -500, 20}, {500, 500, 21}), vp));
}

TEST_F(WorldTest, DrawingSkipsHiddenAndClippedActors) {
    auto canvas = Canvas::create(engine, 64, 64);
    Camera cam;
    cam.aspect = 1.0f;
    auto front = world.createActor(*engine, u"models/two.mqo");
    auto behind = world.createActor(*engine, u"models/two.mqo");
    front->position = {0, 0, 10};
    behind->position = {0, 0, -10};
    EXPECT_EQ(drawWorld(*canvas, world, cam), -1); // not between begin and end
    canvas->begin();
    uint64_t before = engine->getDrawCount();
    EXPECT_EQ(drawWorld(*canvas, world, cam), 1);
    EXPECT_EQ(engine->getDrawCount() - before, 2u); // one draw per non-empty subset
    behind->clipping = false;
    EXPECT_EQ(drawWorld(*canvas, world, cam), 2);
    front->visible = false;
    EXPECT_EQ(drawWorld(*canvas, world, cam), 1);
    behind->released = true;
    EXPECT_EQ(drawWorld(*canvas, world, cam), 0);
    canvas->end();
}

TEST_F(WorldTest, TheCacheCountsBuffersAndTextures) {
    ASSERT_TRUE(loadCachedModel(*engine, u"models/white.mqo"));
    uint32_t one = modelCacheBytes();
    // 24 vertices of 32 bytes and 36 indices of 2 bytes.
    EXPECT_EQ(one, 24u * 32 + 36 * 2);
    auto again = loadCachedModel(*engine, u"models/white.mqo");
    EXPECT_EQ(loadCachedModel(*engine, u"models/white.mqo"), again);
    ASSERT_TRUE(loadCachedModel(*engine, u"models/textured.mqo"));
    EXPECT_EQ(modelCacheBytes(), one * 2 + 8 * 8 * 4);
    EXPECT_EQ(modelCacheSize(), 2u);
}

} // namespace
} // namespace KoGraphics
