// Decoding, encoding, loading through the file manager and the image cache; the in-memory
// engine, so no display is needed.
#include "graphics/Image.h"
#include "graphics/ImageCodec.h"
#include "graphics/NullEngine.h"
#include "io/FileManager.h"
#include "io/Path.h"
#include "io/koa/KoaWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace KoGraphics {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Color at(const Bitmap& b, uint32_t x, uint32_t y) {
    Color c;
    std::memcpy(&c, &b.pixels[(size_t(y) * b.width + x) * 4], 4);
    return c;
}

const fs::path images = GRAPHICS_TEST_IMAGES;

// The test picture: red, green, blue, white over half-transparent red, black, grey and a
// transparent pixel (black behind the opaque versions).
void expectPicture(const char* file, bool alpha, int tolerance = 0) {
    SCOPED_TRACE(file);
    auto bytes = readAll(images / file);
    ASSERT_FALSE(bytes.empty());
    Bitmap b;
    ASSERT_TRUE(decodeImage(bytes.data(), bytes.size(), b));
    ASSERT_EQ(b.width, 4u);
    ASSERT_EQ(b.height, 2u);
    auto near = [&](Color got, Color want) {
        for (int s = 0; s < 32; s += 8)
            if (std::abs(int((got >> s) & 0xFF) - int((want >> s) & 0xFF)) > tolerance) return false;
        return true;
    };
    EXPECT_PRED2(near, at(b, 0, 0), 0xFFFF0000u);
    EXPECT_PRED2(near, at(b, 1, 0), 0xFF00FF00u);
    EXPECT_PRED2(near, at(b, 2, 0), 0xFF0000FFu);
    EXPECT_PRED2(near, at(b, 3, 0), 0xFFFFFFFFu);
    EXPECT_PRED2(near, at(b, 1, 1), 0xFF000000u);
    EXPECT_PRED2(near, at(b, 2, 1), 0xFF808080u);
    if (alpha) {
        EXPECT_NEAR(int(alphaOf(at(b, 0, 1))), 128, 1);
        EXPECT_EQ(redOf(at(b, 0, 1)), 255u); // straight alpha, not premultiplied
        EXPECT_EQ(alphaOf(at(b, 3, 1)), 0u);
    } else {
        EXPECT_EQ(alphaOf(at(b, 3, 1)), 255u);
    }
}

TEST(ImageCodec, EveryDepthAndFormatDecodesTo32Bits) {
    expectPicture("rgba.png", true);
    expectPicture("deep16.png", true);
    expectPicture("tga.tga", true);
    expectPicture("rgb.png", false);
    expectPicture("rgb24.bmp", false);
    expectPicture("rle8.bmp", false);
    expectPicture("palette.png", false);
    expectPicture("gif.gif", false);
    expectPicture("jpeg.jpg", false, 3);
    expectPicture("interlaced.png", true);
}

TEST(ImageCodec, GreyImagesSpreadOverTheChannels) {
    auto bytes = readAll(images / "gray.png");
    Bitmap b;
    ASSERT_TRUE(decodeImage(bytes.data(), bytes.size(), b));
    Color c = at(b, 3, 0);
    EXPECT_EQ(c, 0xFFFFFFFFu);
    c = at(b, 0, 0);
    EXPECT_EQ(redOf(c), greenOf(c));
    EXPECT_EQ(greenOf(c), blueOf(c));
}

TEST(ImageCodec, BrokenDataIsRefusedWithoutCrashing) {
    Bitmap b;
    EXPECT_FALSE(decodeImage(nullptr, 0, b));
    const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_FALSE(decodeImage(junk, sizeof junk, b));
    for (const char* file : {"rgba.png", "jpeg.jpg", "rgb24.bmp", "gif.gif", "tga.tga"}) {
        SCOPED_TRACE(file);
        auto bytes = readAll(images / file);
        // Every truncation, and the header with a flipped bit.
        for (size_t n = 0; n < bytes.size(); n += 29) {
            Bitmap out;
            if (decodeImage(bytes.data(), n, out)) {
                EXPECT_GT(out.width, 0u);
                EXPECT_EQ(out.pixels.size(), size_t(out.width) * out.height * 4);
            }
        }
        for (size_t i = 0; i < std::min<size_t>(bytes.size(), 64); i += 5) {
            auto bad = bytes;
            bad[i] ^= 0x5A;
            Bitmap out;
            if (decodeImage(bad.data(), bad.size(), out)) {
                EXPECT_EQ(out.pixels.size(), size_t(out.width) * out.height * 4);
            }
        }
    }
    // A PNG header that claims a huge picture.
    auto bytes = readAll(images / "rgb.png");
    bytes[16] = 0x7F; // width 0x7F000004
    EXPECT_FALSE(decodeImage(bytes.data(), bytes.size(), b));
}

// Inputs that once made the decoders allocate gigabytes: refused up front.
TEST(ImageCodec, FuzzRegressionsAreRefused) {
    for (auto& entry : fs::directory_iterator(images.parent_path() / "regressions")) {
        auto bytes = readAll(entry.path());
        Bitmap b;
        EXPECT_FALSE(decodeImage(bytes.data(), bytes.size(), b)) << entry.path();
    }
}

// SDL2_image also knows SVG, XPM and more; only PNG, JPEG, GIF, BMP and TGA are decoded (its
// SVG decoder leaked on a fuzzed file).
TEST(ImageCodec, FormatsBeyondTheFiveAreRefused) {
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\">"
                            "<rect width=\"4\" height=\"4\" fill=\"red\"/></svg>";
    const std::string xpm = "/* XPM */\nstatic char *x[] = {\"2 1 1 1\", \"a c #FF0000\", \"aa\"};\n";
    // A GIF signature does not open the door to the others either.
    const std::string gifSvg = "GIF8" + svg;
    for (const std::string& text : {svg, xpm, gifSvg}) {
        Bitmap b;
        EXPECT_FALSE(decodeImage(reinterpret_cast<const uint8_t*>(text.data()), text.size(), b))
            << text;
    }
}

TEST(ImageCodec, EncodedFilesDecodeToTheSamePixels) {
    auto bytes = readAll(images / "rgba.png");
    Bitmap b;
    ASSERT_TRUE(decodeImage(bytes.data(), bytes.size(), b));
    for (auto type : {ImageFileType::Png, ImageFileType::Bmp}) {
        auto file = encodeImage(b, type);
        ASSERT_FALSE(file.empty());
        Bitmap back;
        ASSERT_TRUE(decodeImage(file.data(), file.size(), back));
        EXPECT_EQ(back.pixels, b.pixels) << int(type);
    }
    auto jpeg = encodeImage(b, ImageFileType::Jpeg);
    ASSERT_GT(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_TRUE(encodeImage(b, ImageFileType::Unknown).empty());
    EXPECT_TRUE(encodeImage(Bitmap{}, ImageFileType::Png).empty());
    EXPECT_EQ(imageFileType(u"a/b.PNG"), ImageFileType::Png);
    EXPECT_EQ(imageFileType(u"x.JpEg"), ImageFileType::Jpeg);
    EXPECT_EQ(imageFileType(u"x.jpg"), ImageFileType::Jpeg);
    EXPECT_EQ(imageFileType(u"x.bmp"), ImageFileType::Bmp);
    EXPECT_EQ(imageFileType(u"x.gif"), ImageFileType::Unknown);
    EXPECT_EQ(imageFileType(u"png"), ImageFileType::Unknown);
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ko-graphics-image.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        clearImageCache();
        engine = createNullEngine(640, 480);
    }
    void TearDown() override {
        clearImageCache();
        KoIO::setFileManager(nullptr);
        fs::remove_all(dir);
    }
    void useDir() {
        KoIO::setFileManager(KoIO::buildFileManager(KoIO::fromPosixPath(dir.string()), u"", false));
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string picture(uint32_t w, uint32_t h) {
        Bitmap b{w, h, std::vector<uint8_t>(size_t(w) * h * 4, 0x80)};
        auto file = encodeImage(b, ImageFileType::Png);
        return std::string(file.begin(), file.end());
    }
    fs::path dir;
    std::shared_ptr<IEngine> engine;
};

TEST_F(ImageFiles, ImagesLoadFromTheDiskAndFromArchives) {
    auto png = readAll(images / "rgba.png");
    write("disk.png", std::string(png.begin(), png.end()));
    write("data.koa", Koa::Writer::buildArchive({{"pics\\inside.png", 0, std::string(png.begin(), png.end())}}));
    write("broken.png", std::string(png.begin(), png.begin() + 40));
    useDir();
    auto disk = loadImage(*engine, u"disk.png");
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->getWidth(), 4);
    auto inside = loadImage(*engine, u"pics/inside.png");
    ASSERT_TRUE(inside);
    auto buffer = inside->getTexture()->lock();
    Color c;
    std::memcpy(&c, buffer->getPixel(1, 0), 4);
    EXPECT_EQ(c, 0xFF00FF00u);
    inside->getTexture()->unlock();
    EXPECT_FALSE(loadImage(*engine, u"missing.png"));
    EXPECT_FALSE(loadImage(*engine, u"broken.png"));
    EXPECT_FALSE(loadImage(*engine, u"pics"));
    EXPECT_FALSE(loadImage(*engine, u""));
}

TEST_F(ImageFiles, CachedLoadsShareOneImageUntilTheBudgetIsExceeded) {
    for (int i = 0; i < 16; ++i) write("big" + std::to_string(i) + ".png", picture(1024, 1024));
    write("small.png", picture(2, 2));
    useDir();
    auto a = loadCachedImage(*engine, u"small.png");
    ASSERT_TRUE(a);
    EXPECT_EQ(loadCachedImage(*engine, u"small.png"), a);
    EXPECT_NE(loadImage(*engine, u"small.png"), a); // uncached: a new texture
    EXPECT_NE(loadCachedImage(*engine, u"./small.png"), a); // paths compare exactly
    clearImageCache();

    std::vector<std::shared_ptr<Image>> first;
    for (int i = 0; i < 15; ++i) {
        std::u16string name = u"big";
        for (char ch : std::to_string(i)) name += char16_t(ch);
        name += u".png";
        first.push_back(loadCachedImage(*engine, name));
        ASSERT_TRUE(first.back());
    }
    EXPECT_EQ(imageCacheSize(), 15u);
    EXPECT_EQ(imageCacheBytes(), 62914560u);
    auto sixteenth = loadCachedImage(*engine, u"big15.png");
    ASSERT_TRUE(sixteenth);
    EXPECT_EQ(imageCacheSize(), 1u);
    EXPECT_EQ(imageCacheBytes(), 4194304u);
    // The first path loads again: a new image, while the script's old one stays alive.
    auto again = loadCachedImage(*engine, u"big0.png");
    EXPECT_NE(again, first[0]);
    EXPECT_EQ(first[0]->getWidth(), 1024);
    // Failed loads enter nothing.
    EXPECT_FALSE(loadCachedImage(*engine, u"missing.png"));
    EXPECT_EQ(imageCacheSize(), 2u);
}

TEST(NullEngine, KeepsPixelsAndCountsDraws) {
    auto engine = createNullEngine(64, 48);
    ASSERT_TRUE(engine);
    EXPECT_FALSE(createNullEngine(0, 48));
    EXPECT_EQ(engine->getCaps()->getShaderLanguage(), "GLSL");
    auto target = engine->createTarget(4, 4, 1);
    ASSERT_TRUE(target);
    engine->setTarget(target);
    engine->clearColor(0x80112233);
    auto b = target->getTexture()->lock();
    Color c;
    std::memcpy(&c, b->getPixel(3, 3), 4);
    EXPECT_EQ(c, 0x80112233u);
    target->getTexture()->unlock();
    target->backup();
    engine->clearColor(0);
    engine->simulateReset();
    b = target->getTexture()->lock();
    std::memcpy(&c, b->getPixel(0, 0), 4);
    EXPECT_EQ(c, 0x80112233u);
    target->getTexture()->unlock();
    auto vb = engine->createVertexBuffer(2, 1);
    Vertex2d v[3] = {};
    vb->append(v, sizeof v);
    engine->setVertexBuffer(vb);
    EXPECT_TRUE(engine->drawPrimitive(TriangleList, 1, 0));
    EXPECT_FALSE(engine->drawPrimitive(TriangleList, 2, 0));
    EXPECT_EQ(engine->getDrawCount(), 1u);
}

TEST(VertexLayouts, ElementsFollowTheFormatTable) {
    auto engine = createNullEngine(8, 8);
    auto f5 = engine->createVertexBuffer(5, 1);
    uint8_t bytes[64] = {};
    f5->append(bytes, 64);
    EXPECT_EQ(f5->getStride(), 32u);
    EXPECT_EQ(f5->getCount(), 2u);
    EXPECT_EQ(f5->getColor(0), nullptr);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(f5->getTexcoord(1)) - f5->getVertex(1), 24);
    EXPECT_EQ(f5->getVertex(2), nullptr);
    auto f2 = engine->createVertexBuffer(2, 1);
    f2->append(bytes, 48);
    EXPECT_EQ(f2->getNormal(0), nullptr);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(f2->getColor(1)) - f2->getVertex(1), 12);
    auto f10 = engine->createVertexBuffer(10, 1);
    f10->append(bytes, 52);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(f10->getTexcoord(0)) - f10->getVertex(0), 44);
    EXPECT_EQ(vertexCountOf(LineStrip, 3), 4u);
    EXPECT_EQ(vertexCountOf(TriangleFan, 2), 4u);
    EXPECT_EQ(vertexCountOf(7, 2), 0u);
}

} // namespace
} // namespace KoGraphics
