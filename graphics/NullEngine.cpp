#include "graphics/NullEngine.h"

#include "graphics/MemoryBuffers.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace KoGraphics {
namespace {

class MemoryTextureBuffer final : public ITextureBuffer {
public:
    MemoryTextureBuffer(uint8_t* bits, uint16_t w, uint16_t h, uint32_t format)
        : bits_(bits), w_(w), h_(h), format_(format) {}
    uint32_t getFormat() override { return format_; }
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }
    uint32_t getBytesPerPixel() override { return 4; }
    uint8_t* getPixel(uint32_t x, uint32_t y) override { return bits_ + y * getPitch() + x * 4; }
    uint8_t* getRow(uint32_t y) override { return bits_ + y * getPitch(); }
    uint32_t getPitch() override { return uint32_t(w_) * 4; }

private:
    uint8_t* bits_;
    uint16_t w_, h_;
    uint32_t format_;
};

class MemoryTexture final : public ITexture {
public:
    MemoryTexture(uint16_t w, uint16_t h, uint32_t format)
        : w_(w), h_(h), format_(format), bits_(size_t(w) * h * 4, 0) {}
    uint32_t getFormat() override { return format_; }
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }
    float getU(float x) override { return x / float(w_); }
    float getV(float y) override { return y / float(h_); }
    std::shared_ptr<ITextureBuffer> lock() override {
        if (locked_) return nullptr;
        locked_ = true;
        return std::make_shared<MemoryTextureBuffer>(bits_.data(), w_, h_, format_);
    }
    void unlock() override { locked_ = false; }
    bool update(uint16_t x, uint16_t y, uint16_t w, uint16_t h, const void* pixels,
                uint32_t pitch) override {
        if (!pixels || uint32_t(x) + w > w_ || uint32_t(y) + h > h_ || pitch < uint32_t(w) * 4)
            return false;
        for (uint16_t r = 0; r < h; ++r)
            std::memcpy(&bits_[(size_t(y + r) * w_ + x) * 4],
                        static_cast<const uint8_t*>(pixels) + size_t(r) * pitch, size_t(w) * 4);
        return true;
    }
    void fill(Color c) {
        for (size_t i = 0; i < bits_.size(); i += 4) std::memcpy(&bits_[i], &c, 4);
    }
    std::vector<uint8_t>& bits() { return bits_; }

private:
    uint16_t w_, h_;
    uint32_t format_;
    bool locked_ = false;
    std::vector<uint8_t> bits_;
};

class NullTargetBuffer final : public ITargetBuffer {
public:
    NullTargetBuffer(uint16_t w, uint16_t h) : w_(w), h_(h) {}
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }

private:
    uint16_t w_, h_;
};

class NullTarget final : public ITarget {
public:
    explicit NullTarget(std::shared_ptr<MemoryTexture> t) : texture_(std::move(t)) {}
    uint16_t getWidth() override { return texture_->getWidth(); }
    uint16_t getHeight() override { return texture_->getHeight(); }
    uint32_t getFormat() override { return texture_->getFormat(); }
    std::shared_ptr<ITexture> getTexture() override { return texture_; }
    std::shared_ptr<ITargetBuffer> getBuffer() override {
        return std::make_shared<NullTargetBuffer>(getWidth(), getHeight());
    }
    bool backup() override {
        backup_ = texture_->bits();
        return true;
    }
    void clearBackup() override { std::vector<uint8_t>().swap(backup_); }
    void reset() {
        if (backup_.empty())
            std::fill(texture_->bits().begin(), texture_->bits().end(), 0);
        else
            texture_->bits() = backup_;
    }
    MemoryTexture& texture() { return *texture_; }

private:
    std::shared_ptr<MemoryTexture> texture_;
    std::vector<uint8_t> backup_;
};

class NullShader final : public IShader {
public:
    bool setValue(std::string_view, const void*, size_t) override { return true; }
    bool setBool(std::string_view, bool) override { return true; }
    bool setBoolArray(std::string_view, const bool*, uint32_t) override { return true; }
    bool setInt(std::string_view, int32_t) override { return true; }
    bool setIntArray(std::string_view, const int32_t*, uint32_t) override { return true; }
    bool setFloat(std::string_view, float) override { return true; }
    bool setFloatArray(std::string_view, const float*, uint32_t) override { return true; }
    bool setVector(std::string_view, const float*) override { return true; }
    bool setVector3(std::string_view, const float*) override { return true; }
    bool setVector2(std::string_view, const float*) override { return true; }
    bool setVectorArray(std::string_view, const float*, uint32_t) override { return true; }
    bool setColor(std::string_view, Color) override { return true; }
    bool setColorArray(std::string_view, const Color*, uint32_t) override { return true; }
    bool setMatrix(std::string_view, const float*) override { return true; }
    bool setMatrixArray(std::string_view, const float*, uint32_t) override { return true; }
    bool setTexture(std::string_view, std::shared_ptr<ITexture>) override { return true; }
    bool begin() override { return true; }
    bool end() override { return true; }
    bool commit() override { return true; }
};

class NullCaps final : public IEngineCaps {
public:
    std::string getEngineName() override { return "Null"; }
    std::string getShaderLanguage() override { return "GLSL"; }
    uint16_t getMaxTextureWidth() override { return 8192; }
    uint16_t getMaxTextureHeight() override { return 8192; }
};

class NullEngine final : public IEngine {
public:
    NullEngine(uint16_t w, uint16_t h) : w_(w), h_(h) {}
    std::shared_ptr<ITexture> createTexture(uint16_t w, uint16_t h, uint32_t format) override {
        if (!w || !h || (format != 1 && format != 2) || w > 8192 || h > 8192) return nullptr;
        return std::make_shared<MemoryTexture>(w, h, format);
    }
    std::shared_ptr<ITarget> createTarget(uint16_t w, uint16_t h, uint32_t format) override {
        auto t = std::static_pointer_cast<MemoryTexture>(createTexture(w, h, format));
        if (!t) return nullptr;
        auto target = std::make_shared<NullTarget>(std::move(t));
        targets_.push_back(target);
        return target;
    }
    std::shared_ptr<IVertexBuffer> createVertexBuffer(uint32_t format, uint32_t kind) override {
        if (!vertexLayout(format) || (kind != 1 && kind != 2)) return nullptr;
        return std::make_shared<MemoryVertexBuffer>(format, kind);
    }
    std::shared_ptr<IIndexBuffer> createIndexBuffer(uint32_t format, uint32_t kind) override {
        if ((format != 1 && format != 2) || (kind != 1 && kind != 2)) return nullptr;
        return std::make_shared<MemoryIndexBuffer>(format, kind);
    }
    std::shared_ptr<IShader> createShader(std::string_view source) override {
        if (source.empty()) return nullptr;
        return std::make_shared<NullShader>();
    }
    std::shared_ptr<IEngineCaps> getCaps() override {
        if (!caps_) caps_ = std::make_shared<NullCaps>();
        return caps_;
    }
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }
    bool setScreenMode(uint32_t mode) override {
        if (mode != ScreenWindow && mode != ScreenFull) return false;
        pending_ = mode != screenMode_;
        requested_ = mode;
        return true;
    }
    uint32_t getScreenMode() override { return requested_; }
    bool setBlendMode(uint32_t mode) override {
        if (mode > BlendAlphaCopy) return false;
        blend_ = mode;
        return true;
    }
    uint32_t getBlendMode() override { return blend_; }
    bool setCullMode(uint32_t mode) override {
        if (mode > CullCounterClockwise) return false;
        cull_ = mode;
        return true;
    }
    uint32_t getCullMode() override { return cull_; }
    bool setTarget(std::shared_ptr<ITarget> target) override {
        target_ = std::static_pointer_cast<NullTarget>(std::move(target));
        return true;
    }
    std::shared_ptr<ITarget> getTarget() override { return target_; }
    uint16_t getTargetWidth() override { return target_ ? target_->getWidth() : w_; }
    uint16_t getTargetHeight() override { return target_ ? target_->getHeight() : h_; }
    bool setVertexBuffer(std::shared_ptr<IVertexBuffer> b) override {
        vertices_ = std::move(b);
        return true;
    }
    std::shared_ptr<IVertexBuffer> getVertexBuffer() override { return vertices_; }
    bool setIndexBuffer(std::shared_ptr<IIndexBuffer> b) override {
        indices_ = std::move(b);
        return true;
    }
    std::shared_ptr<IIndexBuffer> getIndexBuffer() override { return indices_; }
    bool clearColor(Color c) override {
        if (target_) target_->texture().fill(c);
        return true;
    }
    bool clearDepth(float) override { return true; }
    bool beginScene() override {
        if (pending_) screenMode_ = requested_;
        pending_ = false;
        return true;
    }
    bool endScene() override { return true; }
    bool drawPrimitive(uint32_t type, uint32_t count, uint32_t start) override {
        uint32_t n = vertexCountOf(type, count);
        if (!vertices_ || !n || uint64_t(start) + n > vertices_->getCount()) return false;
        ++draws_;
        return true;
    }
    bool drawIndexedPrimitive(uint32_t type, uint32_t count, uint32_t start) override {
        uint32_t n = vertexCountOf(type, count);
        if (!vertices_ || !indices_ || !n || uint64_t(start) + n > indices_->getCount())
            return false;
        ++draws_;
        return true;
    }
    bool present() override { return true; }
    uint64_t getDrawCount() override { return draws_; }
    void simulateReset() override {
        for (auto it = targets_.begin(); it != targets_.end();) {
            if (auto t = it->lock()) {
                t->reset();
                ++it;
            } else {
                it = targets_.erase(it);
            }
        }
    }

private:
    uint16_t w_, h_;
    std::shared_ptr<IEngineCaps> caps_;
    uint32_t screenMode_ = ScreenWindow, requested_ = ScreenWindow;
    bool pending_ = false;
    uint32_t blend_ = BlendNone, cull_ = CullNone;
    std::shared_ptr<NullTarget> target_;
    std::shared_ptr<IVertexBuffer> vertices_;
    std::shared_ptr<IIndexBuffer> indices_;
    std::vector<std::weak_ptr<NullTarget>> targets_;
    uint64_t draws_ = 0;
};

} // namespace

std::shared_ptr<IEngine> createNullEngine(uint16_t width, uint16_t height) {
    if (!width || !height) return nullptr;
    return std::make_shared<NullEngine>(width, height);
}

} // namespace KoGraphics
