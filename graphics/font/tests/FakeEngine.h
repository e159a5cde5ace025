#pragma once
// An engine that keeps textures in memory, for tests of the font atlas without a device.
#include "graphics/IEngine.h"

#include <cstring>
#include <vector>

namespace KoFontTest {

using namespace KoGraphics;

class FakeTexture final : public ITexture {
public:
    FakeTexture(uint16_t w, uint16_t h, uint32_t format)
        : w_(w), h_(h), format_(format), pixels_(size_t(w) * h, 0) {}
    uint32_t getFormat() override { return format_; }
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }
    float getU(float x) override { return x / w_; }
    float getV(float y) override { return y / h_; }
    std::shared_ptr<ITextureBuffer> lock() override { return nullptr; }
    void unlock() override {}
    bool update(uint16_t x, uint16_t y, uint16_t width, uint16_t height, const void* pixels,
                uint32_t pitch) override {
        ++updates;
        if (refuseUpdates || x + width > w_ || y + height > h_)
            return false;
        for (uint16_t r = 0; r < height; ++r)
            std::memcpy(&pixels_[size_t(y + r) * w_ + x],
                        static_cast<const uint8_t*>(pixels) + size_t(r) * pitch, size_t(width) * 4);
        return true;
    }
    uint32_t pixel(uint32_t x, uint32_t y) const { return pixels_[size_t(y) * w_ + x]; }

    bool refuseUpdates = false;
    int updates = 0;

private:
    uint16_t w_, h_;
    uint32_t format_;
    std::vector<uint32_t> pixels_;
};

class FakeCaps final : public IEngineCaps {
public:
    FakeCaps(uint16_t w, uint16_t h) : w_(w), h_(h) {}
    std::string getEngineName() override { return "Null"; }
    std::string getShaderLanguage() override { return "GLSL"; }
    uint16_t getMaxTextureWidth() override { return w_; }
    uint16_t getMaxTextureHeight() override { return h_; }

private:
    uint16_t w_, h_;
};

class FakeEngine final : public IEngine {
public:
    explicit FakeEngine(uint16_t maxW = 8192, uint16_t maxH = 8192)
        : caps_(std::make_shared<FakeCaps>(maxW, maxH)) {}
    std::shared_ptr<ITexture> createTexture(uint16_t w, uint16_t h, uint32_t format) override {
        if (refuseTextures)
            return nullptr;
        auto t = std::make_shared<FakeTexture>(w, h, format);
        textures.push_back(t);
        return t;
    }
    std::shared_ptr<ITarget> createTarget(uint16_t, uint16_t, uint32_t) override { return nullptr; }
    std::shared_ptr<IVertexBuffer> createVertexBuffer(uint32_t, uint32_t) override { return nullptr; }
    std::shared_ptr<IIndexBuffer> createIndexBuffer(uint32_t, uint32_t) override { return nullptr; }
    std::shared_ptr<IShader> createShader(std::string_view) override { return nullptr; }
    std::shared_ptr<IEngineCaps> getCaps() override { return caps_; }
    uint16_t getWidth() override { return 640; }
    uint16_t getHeight() override { return 480; }
    bool setScreenMode(uint32_t) override { return false; }
    uint32_t getScreenMode() override { return 1; }
    bool setBlendMode(uint32_t) override { return false; }
    uint32_t getBlendMode() override { return 1; }
    bool setCullMode(uint32_t) override { return false; }
    uint32_t getCullMode() override { return 0; }
    bool setTarget(std::shared_ptr<ITarget>) override { return false; }
    std::shared_ptr<ITarget> getTarget() override { return nullptr; }
    uint16_t getTargetWidth() override { return 640; }
    uint16_t getTargetHeight() override { return 480; }
    bool setVertexBuffer(std::shared_ptr<IVertexBuffer>) override { return false; }
    std::shared_ptr<IVertexBuffer> getVertexBuffer() override { return nullptr; }
    bool setIndexBuffer(std::shared_ptr<IIndexBuffer>) override { return false; }
    std::shared_ptr<IIndexBuffer> getIndexBuffer() override { return nullptr; }
    bool clearColor(Color) override { return false; }
    bool clearDepth(float) override { return false; }
    bool beginScene() override { return false; }
    bool endScene() override { return false; }
    bool drawPrimitive(uint32_t, uint32_t, uint32_t) override { return false; }
    bool drawIndexedPrimitive(uint32_t, uint32_t, uint32_t) override { return false; }
    bool present() override { return false; }
    uint64_t getDrawCount() override { return 0; }
    void simulateReset() override {}

    bool refuseTextures = false;
    std::vector<std::shared_ptr<FakeTexture>> textures;

private:
    std::shared_ptr<FakeCaps> caps_;
};

} // namespace KoFontTest
