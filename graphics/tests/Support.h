#pragma once
// A hidden window with the OpenGL engine on it, and pixel helpers for canvases.
#include "frame/IWindow.h"
#include "graphics/Canvas.h"
#include "graphics/Image.h"
#include "graphics/gl/GlEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace KoGraphics::Test {

class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = KoFrame::createWindow(u"graphics test", 64, 64, false);
        ASSERT_TRUE(window);
        engine = Gl::createGlEngine(window->getHandle(), 64, 64);
        ASSERT_TRUE(engine);
    }
    void TearDown() override {
        engine.reset();
        if (window) window->destroy();
    }

    std::shared_ptr<Canvas> canvas(uint16_t w = 16, uint16_t h = 16) {
        auto c = Canvas::create(engine, w, h, cache);
        EXPECT_TRUE(c);
        return c;
    }
    // An image of the given ARGB pixels, rows top first.
    std::shared_ptr<Image> image(uint32_t w, uint32_t h, std::vector<Color> pixels) {
        Bitmap b{w, h, std::vector<uint8_t>(size_t(w) * h * 4)};
        std::memcpy(b.pixels.data(), pixels.data(), b.pixels.size());
        return createImage(*engine, b);
    }

    std::shared_ptr<KoFrame::IWindow> window;
    std::shared_ptr<IEngine> engine;
    std::shared_ptr<ShaderCache> cache = std::make_shared<ShaderCache>();
};

// Every pixel of the canvas, rows top first.
inline std::vector<Color> pixels(Canvas& c) {
    auto t = c.getTexture();
    std::vector<Color> out;
    if (!t) return out;
    auto b = t->lock();
    if (!b) return out;
    out.resize(size_t(b->getWidth()) * b->getHeight());
    for (uint32_t y = 0; y < b->getHeight(); ++y)
        std::memcpy(&out[size_t(y) * b->getWidth()], b->getRow(y), size_t(b->getWidth()) * 4);
    t->unlock();
    return out;
}

inline Color pixel(Canvas& c, uint32_t x, uint32_t y) {
    auto p = pixels(c);
    return p.empty() ? 0 : p[size_t(y) * c.getWidth() + x];
}

// Channels within `tolerance` of each other.
inline ::testing::AssertionResult near(Color actual, Color expected, int tolerance = 2) {
    for (int s = 0; s < 32; s += 8) {
        int a = int((actual >> s) & 0xFF), e = int((expected >> s) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << actual << " is not near 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

} // namespace KoGraphics::Test
