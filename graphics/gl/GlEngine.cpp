#include "graphics/gl/GlEngine.h"

#include "graphics/MemoryBuffers.h"
#include "graphics/NullEngine.h"
#include "graphics/gl/GlFunctions.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace KoGraphics::Gl {
namespace {

// Attribute locations every shader source uses.
enum Attribute : GLuint { AttrPosition = 0, AttrColor = 1, AttrTexcoord = 2, AttrNormal = 3,
                          AttrBlendWeight = 4, AttrBlendIndices = 5 };

// What every object made on the context shares; `alive` turns false when the context goes, so
// objects that outlive the engine no longer touch GL.
struct Device {
    Functions gl;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool alive = false;
    GLuint program = 0; // in use
    bool targetBound = false;

    void useProgram(GLuint p) {
        if (program != p) {
            gl.UseProgram(p);
            program = p;
        }
    }
};
using DevicePtr = std::shared_ptr<Device>;

// Points the attributes of `layout` at the buffer bound to GL_ARRAY_BUFFER.
void setAttributes(Functions& gl, const VertexLayout& l) {
    auto at = [](int32_t off) { return reinterpret_cast<const void*>(intptr_t(off)); };
    GLsizei s = GLsizei(l.stride);
    gl.EnableVertexAttribArray(AttrPosition);
    gl.VertexAttribPointer(AttrPosition, 3, GL_FLOAT, GL_FALSE, s, at(l.position));
    if (l.color >= 0) {
        gl.EnableVertexAttribArray(AttrColor);
        // ARGB words are B, G, R, A bytes in memory.
        gl.VertexAttribPointer(AttrColor, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, at(l.color));
    }
    if (l.texcoord >= 0) {
        gl.EnableVertexAttribArray(AttrTexcoord);
        gl.VertexAttribPointer(AttrTexcoord, 2, GL_FLOAT, GL_FALSE, s, at(l.texcoord));
    }
    if (l.normal >= 0) {
        gl.EnableVertexAttribArray(AttrNormal);
        gl.VertexAttribPointer(AttrNormal, 3, GL_FLOAT, GL_FALSE, s, at(l.normal));
    }
    if (l.blendWeight >= 0) {
        gl.EnableVertexAttribArray(AttrBlendWeight);
        gl.VertexAttribPointer(AttrBlendWeight, 3, GL_FLOAT, GL_FALSE, s, at(l.blendWeight));
    }
    if (l.blendIndices >= 0) {
        gl.EnableVertexAttribArray(AttrBlendIndices);
        gl.VertexAttribIPointer(AttrBlendIndices, 4, GL_UNSIGNED_BYTE, s, at(l.blendIndices));
    }
}

GLenum primitiveMode(uint32_t type) {
    switch (type) {
    case PointList: return GL_POINTS;
    case LineList: return GL_LINES;
    case LineStrip: return GL_LINE_STRIP;
    case TriangleList: return GL_TRIANGLES;
    case TriangleStrip: return GL_TRIANGLE_STRIP;
    case TriangleFan: return GL_TRIANGLE_FAN;
    default: return GL_NONE;
    }
}

// --- textures --------------------------------------------------------------------------------

class GlTextureBuffer final : public ITextureBuffer {
public:
    GlTextureBuffer(uint8_t* bits, uint16_t w, uint16_t h, uint32_t format)
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

class GlTexture final : public ITexture {
public:
    GlTexture(DevicePtr device, GLuint id, uint16_t w, uint16_t h, uint32_t format)
        : device_(std::move(device)), id_(id), w_(w), h_(h), format_(format) {}
    ~GlTexture() override {
        if (device_->alive) device_->gl.DeleteTextures(1, &id_);
    }
    uint32_t getFormat() override { return format_; }
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }
    float getU(float x) override { return x / float(w_); }
    float getV(float y) override { return y / float(h_); }
    std::shared_ptr<ITextureBuffer> lock() override {
        if (locked_ || !device_->alive) return nullptr;
        lockBits_.resize(size_t(w_) * h_ * 4);
        if (!read(lockBits_.data())) return nullptr;
        locked_ = true;
        return std::make_shared<GlTextureBuffer>(lockBits_.data(), w_, h_, format_);
    }
    void unlock() override {
        if (!locked_) return;
        locked_ = false;
        update(0, 0, w_, h_, lockBits_.data(), uint32_t(w_) * 4);
        std::vector<uint8_t>().swap(lockBits_);
    }
    bool update(uint16_t x, uint16_t y, uint16_t w, uint16_t h, const void* pixels,
                uint32_t pitch) override {
        if (!device_->alive || !pixels || pitch % 4 || uint32_t(x) + w > w_ ||
            uint32_t(y) + h > h_ || pitch < uint32_t(w) * 4)
            return false;
        if (!w || !h) return true;
        knownOpaque = false;
        auto& gl = device_->gl;
        gl.BindTexture(GL_TEXTURE_2D, id_);
        gl.PixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pitch / 4));
        gl.TexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
        gl.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        return true;
    }
    // Whole texture, top row first.
    bool read(uint8_t* out) {
        if (!device_->alive) return false;
        auto& gl = device_->gl;
        gl.BindTexture(GL_TEXTURE_2D, id_);
        gl.GetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
        return true;
    }
    GLuint id() const { return id_; }
    // Every texel holds alpha 1, so the window may show the colour channels as they are
    // (kept by the engine for a target's surface).
    bool knownOpaque = false;
    GLuint framebuffer = 0; // the target's, while this is a target's surface

private:
    DevicePtr device_;
    GLuint id_;
    uint16_t w_, h_;
    uint32_t format_;
    bool locked_ = false;
    std::vector<uint8_t> lockBits_;
};

GLuint makeTexture(Functions& gl, uint16_t w, uint16_t h, uint32_t format, const void* pixels) {
    GLuint id = 0;
    gl.GenTextures(1, &id);
    gl.BindTexture(GL_TEXTURE_2D, id);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (format == FormatX8R8G8B8) gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    return id;
}

// --- targets ---------------------------------------------------------------------------------

class GlTargetBuffer final : public ITargetBuffer {
public:
    GlTargetBuffer(uint16_t w, uint16_t h) : w_(w), h_(h) {}
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }

private:
    uint16_t w_, h_;
};

class GlTarget final : public ITarget {
public:
    GlTarget(DevicePtr device, std::shared_ptr<GlTexture> texture, GLuint fbo)
        : device_(std::move(device)), texture_(std::move(texture)), fbo_(fbo) {}
    ~GlTarget() override {
        texture_->framebuffer = 0;
        if (!device_->alive) return;
        device_->gl.DeleteFramebuffers(1, &fbo_);
        if (depth_) device_->gl.DeleteRenderbuffers(1, &depth_);
    }
    uint16_t getWidth() override { return texture_->getWidth(); }
    uint16_t getHeight() override { return texture_->getHeight(); }
    uint32_t getFormat() override { return texture_->getFormat(); }
    std::shared_ptr<ITexture> getTexture() override { return texture_; }
    GlTexture& surface() { return *texture_; }
    std::shared_ptr<ITargetBuffer> getBuffer() override {
        return std::make_shared<GlTargetBuffer>(getWidth(), getHeight());
    }
    bool backup() override {
        std::vector<uint8_t> copy(size_t(getWidth()) * getHeight() * 4);
        if (!texture_->read(copy.data())) {
            std::fputs("互換性サーフェースへの出力に失敗\n", stderr);
            return false;
        }
        backup_ = std::move(copy);
        return true;
    }
    void clearBackup() override { std::vector<uint8_t>().swap(backup_); }
    // A device reset: the contents are gone, the backup (if any) comes back.
    void reset() {
        std::vector<uint8_t> empty;
        const uint8_t* from = backup_.data();
        if (backup_.empty()) {
            empty.assign(size_t(getWidth()) * getHeight() * 4, 0);
            from = empty.data();
        }
        if (!texture_->update(0, 0, getWidth(), getHeight(), from, uint32_t(getWidth()) * 4) &&
            !backup_.empty())
            std::fputs("バックアップからの復元に失敗\n", stderr);
    }
    GLuint fbo() const { return fbo_; }
    // The depth buffer comes with the first depth test or depth clear on this target (it must
    // be the bound one): 2D drawing never needs it, and llvmpipe pays for an attached one.
    void needDepth() {
        if (depth_) return;
        auto& gl = device_->gl;
        gl.GenRenderbuffers(1, &depth_);
        gl.BindRenderbuffer(GL_RENDERBUFFER, depth_);
        gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, getWidth(), getHeight());
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    }

private:
    DevicePtr device_;
    std::shared_ptr<GlTexture> texture_;
    GLuint fbo_, depth_ = 0;
    std::vector<uint8_t> backup_;
};

// --- buffers ---------------------------------------------------------------------------------

class GlVertexBuffer final : public MemoryVertexBuffer {
public:
    GlVertexBuffer(DevicePtr device, uint32_t format, uint32_t kind)
        : MemoryVertexBuffer(format, kind), device_(std::move(device)) {}
    ~GlVertexBuffer() override {
        if (!device_->alive) return;
        if (vbo) device_->gl.DeleteBuffers(1, &vbo);
        if (vao) device_->gl.DeleteVertexArrays(1, &vao);
    }
    // Device copy of kind 2 buffers, rebuilt after any change.
    GLuint vbo = 0, vao = 0;
    uint64_t uploaded = ~uint64_t(0);

private:
    DevicePtr device_;
};

class GlIndexBuffer final : public MemoryIndexBuffer {
public:
    GlIndexBuffer(DevicePtr device, uint32_t format, uint32_t kind)
        : MemoryIndexBuffer(format, kind), device_(std::move(device)) {}
    ~GlIndexBuffer() override {
        if (device_->alive && ibo) device_->gl.DeleteBuffers(1, &ibo);
    }
    GLuint ibo = 0;
    uint64_t uploaded = ~uint64_t(0);

private:
    DevicePtr device_;
};

// --- shaders ---------------------------------------------------------------------------------

class GlShader final : public IShader {
public:
    GlShader(DevicePtr device, GLuint program) : device_(std::move(device)), program_(program) {}
    ~GlShader() override {
        if (!device_->alive) return;
        if (device_->program == program_) device_->useProgram(0);
        device_->gl.DeleteProgram(program_);
    }
    bool setValue(std::string_view name, const void* bytes, size_t size) override {
        if (!bytes || size % 4) return false;
        return setFloatArray(name, static_cast<const float*>(bytes), uint32_t(size / 4));
    }
    bool setBool(std::string_view name, bool b) override { return setInt(name, b ? 1 : 0); }
    bool setBoolArray(std::string_view name, const bool* values, uint32_t count) override {
        std::vector<int32_t> v(values, values + count);
        return setIntArray(name, v.data(), count);
    }
    bool setInt(std::string_view name, int32_t i) override {
        GLint loc = use(name);
        if (loc < 0) return false;
        device_->gl.Uniform1i(loc, i);
        return true;
    }
    bool setIntArray(std::string_view name, const int32_t* values, uint32_t count) override {
        GLint loc = use(name);
        if (loc < 0 || !values) return false;
        device_->gl.Uniform1iv(loc, GLsizei(count), values);
        return true;
    }
    bool setFloat(std::string_view name, float f) override {
        GLint loc = use(name);
        if (loc < 0) return false;
        device_->gl.Uniform1f(loc, f);
        return true;
    }
    bool setFloatArray(std::string_view name, const float* values, uint32_t count) override {
        GLint loc = use(name);
        if (loc < 0 || !values) return false;
        device_->gl.Uniform1fv(loc, GLsizei(count), values);
        return true;
    }
    bool setVector(std::string_view name, const float* xyzw) override {
        return setVectorArray(name, xyzw, 1);
    }
    bool setVector3(std::string_view name, const float* xyz) override {
        float v[4] = {xyz[0], xyz[1], xyz[2], 1.0f};
        return setVectorArray(name, v, 1);
    }
    bool setVector2(std::string_view name, const float* xy) override {
        float v[4] = {xy[0], xy[1], 0.0f, 1.0f};
        return setVectorArray(name, v, 1);
    }
    bool setVectorArray(std::string_view name, const float* xyzw, uint32_t count) override {
        GLint loc = use(name);
        if (loc < 0 || !xyzw) return false;
        device_->gl.Uniform4fv(loc, GLsizei(count), xyzw);
        return true;
    }
    bool setColor(std::string_view name, Color c) override { return setColorArray(name, &c, 1); }
    bool setColorArray(std::string_view name, const Color* colors, uint32_t count) override {
        if (!colors) return false;
        std::vector<float> v(size_t(count) * 4);
        for (uint32_t i = 0; i < count; ++i) {
            v[i * 4 + 0] = float(redOf(colors[i])) / 255.0f;
            v[i * 4 + 1] = float(greenOf(colors[i])) / 255.0f;
            v[i * 4 + 2] = float(blueOf(colors[i])) / 255.0f;
            v[i * 4 + 3] = float(alphaOf(colors[i])) / 255.0f;
        }
        return setVectorArray(name, v.data(), count);
    }
    // Row vectors times a row-major matrix equal the column-major reading of the same floats
    // applied as `m * v`, so the floats go up untransposed.
    bool setMatrix(std::string_view name, const float* m16) override {
        return setMatrixArray(name, m16, 1);
    }
    bool setMatrixArray(std::string_view name, const float* m16, uint32_t count) override {
        GLint loc = use(name);
        if (loc < 0 || !m16) return false;
        device_->gl.UniformMatrix4fv(loc, GLsizei(count), GL_FALSE, m16);
        return true;
    }
    bool setTexture(std::string_view name, std::shared_ptr<ITexture> texture) override {
        GLint loc = use(name);
        if (loc < 0) return false;
        auto it = std::find_if(samplers_.begin(), samplers_.end(),
                               [&](const Sampler& s) { return s.name == name; });
        if (it == samplers_.end()) {
            samplers_.push_back({std::string(name), GLint(samplers_.size()), nullptr});
            it = samplers_.end() - 1;
            device_->gl.Uniform1i(loc, it->unit);
        }
        it->texture = std::static_pointer_cast<GlTexture>(std::move(texture));
        bind(*it);
        return true;
    }
    bool begin() override {
        if (!device_->alive) return false;
        device_->useProgram(program_);
        if (flipLoc_ == -2) flipLoc_ = device_->gl.GetUniformLocation(program_, "koFlipY");
        if (flipLoc_ >= 0) device_->gl.Uniform1f(flipLoc_, device_->targetBound ? -1.0f : 1.0f);
        for (auto& s : samplers_) bind(s);
        return true;
    }
    bool end() override { return true; }
    bool commit() override { return true; }

private:
    struct Sampler {
        std::string name;
        GLint unit;
        std::shared_ptr<GlTexture> texture;
    };
    void bind(const Sampler& s) {
        auto& gl = device_->gl;
        gl.ActiveTexture(GL_TEXTURE0 + GLenum(s.unit));
        gl.BindTexture(GL_TEXTURE_2D, s.texture ? s.texture->id() : 0);
        gl.ActiveTexture(GL_TEXTURE0);
    }
    // Makes the program current and finds the uniform; -1 when the source has none by that name.
    GLint use(std::string_view name) {
        if (!device_->alive) return -1;
        device_->useProgram(program_);
        for (auto& [n, loc] : locations_)
            if (n == name) return loc;
        GLint loc = device_->gl.GetUniformLocation(program_, std::string(name).c_str());
        locations_.emplace_back(std::string(name), loc);
        return loc;
    }

    DevicePtr device_;
    GLuint program_;
    GLint flipLoc_ = -2;
    std::vector<std::pair<std::string, GLint>> locations_;
    std::vector<Sampler> samplers_;
};

// --- caps ------------------------------------------------------------------------------------

class GlCaps final : public IEngineCaps {
public:
    explicit GlCaps(uint16_t maxSize) : max_(maxSize) {}
    std::string getEngineName() override { return "OpenGL"; }
    std::string getShaderLanguage() override { return "GLSL"; }
    uint16_t getMaxTextureWidth() override { return max_; }
    uint16_t getMaxTextureHeight() override { return max_; }

private:
    uint16_t max_;
};

// --- the engine ------------------------------------------------------------------------------

class GlEngine final : public IEngine {
public:
    GlEngine(DevicePtr device, uint16_t w, uint16_t h) : d_(std::move(device)), w_(w), h_(h) {
        auto& gl = d_->gl;
        GLint max = 0;
        gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
        maxTexture_ = uint16_t(std::clamp(max, 1, 65535));
        gl.GenBuffers(1, &streamVbo_);
        gl.GenBuffers(1, &streamIbo_);
        gl.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
        gl.Disable(GL_DEPTH_TEST);
        gl.Disable(GL_BLEND);
        gl.Disable(GL_CULL_FACE);
        gl.BlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
        gl.BlendFuncSeparate(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
        applyViewport();
    }
    ~GlEngine() override {
        auto& gl = d_->gl;
        for (GLuint vao : streamVaos_)
            if (vao) gl.DeleteVertexArrays(1, &vao);
        gl.DeleteBuffers(1, &streamVbo_);
        gl.DeleteBuffers(1, &streamIbo_);
        d_->alive = false;
        // Without naming the window, which may be gone by now.
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(d_->context);
    }

    std::shared_ptr<ITexture> createTexture(uint16_t w, uint16_t h, uint32_t format) override {
        if (!w || !h || (format != 1 && format != 2) || w > maxTexture_ || h > maxTexture_)
            return nullptr;
        GLuint id = makeTexture(d_->gl, w, h, format, nullptr);
        if (!id) return nullptr;
        return std::make_shared<GlTexture>(d_, id, w, h, format);
    }

    std::shared_ptr<ITarget> createTarget(uint16_t w, uint16_t h, uint32_t format) override {
        if (!w || !h || (format != 1 && format != 2) || w > maxTexture_ || h > maxTexture_)
            return nullptr;
        auto& gl = d_->gl;
        // Starts transparent black, like a cleared canvas.
        std::vector<uint8_t> zeros(size_t(w) * h * 4, 0);
        GLuint id = makeTexture(gl, w, h, format, zeros.data());
        if (!id) return nullptr;
        auto texture = std::make_shared<GlTexture>(d_, id, w, h, format);
        GLuint fbo = 0;
        gl.GenFramebuffers(1, &fbo);
        texture->framebuffer = fbo;
        gl.BindFramebuffer(GL_FRAMEBUFFER, fbo);
        gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, id, 0);
        bool complete = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        bindCurrentTarget();
        auto target = std::make_shared<GlTarget>(d_, std::move(texture), fbo);
        if (!complete) return nullptr;
        targets_.push_back(target);
        return target;
    }

    std::shared_ptr<IVertexBuffer> createVertexBuffer(uint32_t format, uint32_t kind) override {
        if (!vertexLayout(format) || (kind != 1 && kind != 2)) return nullptr;
        return std::make_shared<GlVertexBuffer>(d_, format, kind);
    }
    std::shared_ptr<IIndexBuffer> createIndexBuffer(uint32_t format, uint32_t kind) override {
        if ((format != 1 && format != 2) || (kind != 1 && kind != 2)) return nullptr;
        return std::make_shared<GlIndexBuffer>(d_, format, kind);
    }

    std::shared_ptr<IShader> createShader(std::string_view source) override {
        auto& gl = d_->gl;
        GLuint vs = compile(GL_VERTEX_SHADER, "KO_VERTEX", source);
        GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, "KO_FRAGMENT", source) : 0;
        if (!vs || !fs) {
            if (vs) gl.DeleteShader(vs);
            return nullptr;
        }
        GLuint p = gl.CreateProgram();
        gl.AttachShader(p, vs);
        gl.AttachShader(p, fs);
        gl.LinkProgram(p);
        gl.DeleteShader(vs);
        gl.DeleteShader(fs);
        GLint ok = 0;
        gl.GetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            gl.GetProgramInfoLog(p, sizeof log - 1, nullptr, log);
            std::fprintf(stderr, "shader link failed: %s\n", log);
            gl.DeleteProgram(p);
            return nullptr;
        }
        return std::make_shared<GlShader>(d_, p);
    }

    std::shared_ptr<IEngineCaps> getCaps() override {
        if (!caps_) caps_ = std::make_shared<GlCaps>(maxTexture_);
        return caps_;
    }
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }

    bool setScreenMode(uint32_t mode) override {
        if (mode != ScreenWindow && mode != ScreenFull) return false;
        // A second request before the switch happened cancels the first.
        pending_ = mode != screenMode_;
        requested_ = mode;
        return true;
    }
    // The requested mode, at once: a script toggling twice in one frame gets back where it was.
    uint32_t getScreenMode() override { return requested_; }

    bool setBlendMode(uint32_t mode) override {
        auto& gl = d_->gl;
        switch (mode) {
        case BlendNone:
            gl.Disable(GL_BLEND);
            gl.BlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
            gl.BlendFuncSeparate(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
            break;
        case BlendNormal:
            blend(GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case BlendAdd:
            blend(GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case BlendSub:
            blend(GL_FUNC_REVERSE_SUBTRACT, GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case BlendColorCopy:
            blend(GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
            break;
        case BlendAlphaCopy: blend(GL_FUNC_ADD, GL_ZERO, GL_ONE, GL_ONE, GL_ZERO); break;
        default: return false;
        }
        blendMode_ = mode;
        return true;
    }
    uint32_t getBlendMode() override { return blendMode_; }

    bool setCullMode(uint32_t mode) override {
        if (mode > CullCounterClockwise) return false;
        cullMode_ = mode;
        applyCull();
        return true;
    }
    uint32_t getCullMode() override { return cullMode_; }

    bool setTarget(std::shared_ptr<ITarget> target) override {
        if (target == target_) return true;
        target_ = std::static_pointer_cast<GlTarget>(std::move(target));
        bindCurrentTarget();
        if (target_ && depthTest_) target_->needDepth();
        applyViewport();
        applyCull();
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
        auto& gl = d_->gl;
        gl.ClearColor(float(redOf(c)) / 255.0f, float(greenOf(c)) / 255.0f,
                      float(blueOf(c)) / 255.0f, float(alphaOf(c)) / 255.0f);
        gl.Clear(GL_COLOR_BUFFER_BIT);
        if (target_) target_->surface().knownOpaque = alphaOf(c) == 255;
        return true;
    }
    bool clearDepth(float z) override {
        auto& gl = d_->gl;
        if (target_) target_->needDepth();
        gl.DepthMask(GL_TRUE);
        gl.ClearDepth(z);
        gl.Clear(GL_DEPTH_BUFFER_BIT);
        return true;
    }
    bool setDepthTest(bool on) override {
        auto& gl = d_->gl;
        depthTest_ = on;
        if (on && target_) target_->needDepth();
        if (on) {
            gl.Enable(GL_DEPTH_TEST);
            gl.DepthFunc(GL_LEQUAL);
        } else {
            gl.Disable(GL_DEPTH_TEST);
        }
        gl.DepthMask(on ? GL_TRUE : GL_FALSE);
        return true;
    }

    bool beginScene() override {
        if (pending_) switchScreenMode();
        return true;
    }
    bool endScene() override { return true; }

    bool drawPrimitive(uint32_t type, uint32_t count, uint32_t start) override {
        auto vb = std::static_pointer_cast<GlVertexBuffer>(vertices_);
        GLenum mode = primitiveMode(type);
        uint32_t n = vertexCountOf(type, count);
        if (!vb || mode == GL_NONE || !n || uint64_t(start) + n > vb->getCount()) return false;
        auto& gl = d_->gl;
        if (vb->getKind() == BufferDevice) {
            bindDeviceBuffer(*vb);
            gl.DrawArrays(mode, GLint(start), GLsizei(n));
        } else {
            bindStream(*vb, vb->data() + size_t(start) * vb->getStride(), size_t(n) * vb->getStride());
            gl.DrawArrays(mode, 0, GLsizei(n));
        }
        drawn();
        return true;
    }

    bool drawIndexedPrimitive(uint32_t type, uint32_t count, uint32_t start) override {
        auto vb = std::static_pointer_cast<GlVertexBuffer>(vertices_);
        auto ib = std::static_pointer_cast<GlIndexBuffer>(indices_);
        GLenum mode = primitiveMode(type);
        uint32_t n = vertexCountOf(type, count);
        if (!vb || !ib || mode == GL_NONE || !n || uint64_t(start) + n > ib->getCount())
            return false;
        auto& gl = d_->gl;
        if (vb->getKind() == BufferDevice) bindDeviceBuffer(*vb);
        else bindStream(*vb, vb->data(), vb->getSize());
        // Device index buffers stay on the device (the 2D renderer's quad indices), also
        // under streamed vertices.
        if (ib->getKind() == BufferDevice) {
            if (ib->uploaded != ib->version() || !ib->ibo) {
                if (!ib->ibo) gl.GenBuffers(1, &ib->ibo);
                gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->ibo);
                gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(ib->getSize()), ib->data(),
                              GL_STATIC_DRAW);
                ib->uploaded = ib->version();
            }
            gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->ibo);
        } else {
            gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, streamIbo_);
            gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(ib->getSize()), ib->data(),
                          GL_STREAM_DRAW);
        }
        GLenum it = ib->getIndexSize() == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
        gl.DrawElements(mode, GLsizei(n), it,
                        reinterpret_cast<const void*>(uintptr_t(start) * ib->getIndexSize()));
        drawn();
        return true;
    }

    bool copyToScreen(const std::shared_ptr<ITexture>& texture) override {
        // An opaque target of the window's size needs no shader pass: the driver's copy costs
        // llvmpipe a fraction of a full-window textured draw. The first frame is drawn all the
        // same, as the driver compiles its copy shaders at their first use (some 50 ms) and
        // the first picture should not wait for them.
        auto* t = dynamic_cast<GlTexture*>(texture.get());
        if (!presents_ || !t || !t->framebuffer || !t->knownOpaque || !exactView_ ||
            t->getWidth() != w_ || t->getHeight() != h_)
            return false;
        auto& gl = d_->gl;
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, t->framebuffer);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        // A target keeps its top row at y = 0; the window's top row is its last.
        gl.BlitFramebuffer(0, 0, w_, h_, 0, h_, w_, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        bindCurrentTarget();
        return true;
    }

    bool present() override {
        SDL_GL_SwapWindow(d_->window);
        ++presents_;
        return true;
    }

    uint64_t getDrawCount() override { return draws_; }

    void simulateReset() override {
        std::shared_ptr<ITarget> keep = target_;
        setTarget(nullptr);
        for (auto it = targets_.begin(); it != targets_.end();) {
            if (auto t = it->lock()) {
                t->reset();
                ++it;
            } else {
                it = targets_.erase(it);
            }
        }
        setTarget(keep);
    }

private:
    // A draw into a target keeps it opaque only under a blend whose alpha is
    // a = sa + da (1 - sa) or da, which leaves da = 1 at 1.
    void drawn() {
        ++draws_;
        if (target_ && blendMode_ != BlendNormal && blendMode_ != BlendAdd &&
            blendMode_ != BlendSub && blendMode_ != BlendColorCopy)
            target_->surface().knownOpaque = false;
    }

    void blend(GLenum colorOp, GLenum src, GLenum dst, GLenum alphaSrc, GLenum alphaDst) {
        auto& gl = d_->gl;
        gl.Enable(GL_BLEND);
        gl.BlendEquationSeparate(colorOp, GL_FUNC_ADD);
        gl.BlendFuncSeparate(src, dst, alphaSrc, alphaDst);
    }

    void bindCurrentTarget() {
        d_->gl.BindFramebuffer(GL_FRAMEBUFFER, target_ ? target_->fbo() : 0);
        d_->targetBound = bool(target_);
    }

    // Targets fill their whole surface; the window shows the back buffer scaled to fit,
    // letterboxed when the drawable has another shape (full screen).
    void applyViewport() {
        auto& gl = d_->gl;
        if (target_) {
            gl.Viewport(0, 0, target_->getWidth(), target_->getHeight());
            return;
        }
        int dw = w_, dh = h_;
        SDL_GL_GetDrawableSize(d_->window, &dw, &dh);
        exactView_ = dw == w_ && dh == h_;
        if (exactView_) {
            gl.Viewport(0, 0, w_, h_);
            return;
        }
        double scale = std::min(double(dw) / w_, double(dh) / h_);
        int vw = int(w_ * scale), vh = int(h_ * scale);
        gl.ClearColor(0, 0, 0, 1);
        gl.Viewport(0, 0, dw, dh);
        gl.Clear(GL_COLOR_BUFFER_BIT);
        gl.Viewport((dw - vw) / 2, (dh - vh) / 2, vw, vh);
    }

    // Clockwise as seen on the screen. Drawing into a target mirrors y (its top row stays at
    // v = 0), which turns the winding around.
    void applyCull() {
        auto& gl = d_->gl;
        if (cullMode_ == CullNone) {
            gl.Disable(GL_CULL_FACE);
            return;
        }
        gl.Enable(GL_CULL_FACE);
        gl.CullFace(GL_BACK);
        bool cullCw = cullMode_ == CullClockwise;
        if (d_->targetBound) cullCw = !cullCw;
        gl.FrontFace(cullCw ? GL_CCW : GL_CW);
    }

    void switchScreenMode() {
        pending_ = false;
        if (requested_ == screenMode_) return;
        if (requested_ == ScreenFull) {
            SDL_GetWindowPosition(d_->window, &savedX_, &savedY_);
            SDL_GetWindowSize(d_->window, &savedW_, &savedH_);
            if (SDL_SetWindowFullscreen(d_->window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
                requested_ = screenMode_;
                return;
            }
        } else {
            if (SDL_SetWindowFullscreen(d_->window, 0) != 0) {
                requested_ = screenMode_;
                return;
            }
            SDL_SetWindowSize(d_->window, savedW_, savedH_);
            SDL_SetWindowPosition(d_->window, savedX_, savedY_);
        }
        screenMode_ = requested_;
        if (!target_) applyViewport();
    }

    GLuint compile(GLenum stage, const char* define, std::string_view source) {
        auto& gl = d_->gl;
        std::string text = "#version 330 core\n#define ";
        text += define;
        text += " 1\nuniform float koFlipY;\n#line 1\n";
        text.append(source);
        GLuint s = gl.CreateShader(stage);
        const char* p = text.c_str();
        gl.ShaderSource(s, 1, &p, nullptr);
        gl.CompileShader(s);
        GLint ok = 0;
        gl.GetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            gl.GetShaderInfoLog(s, sizeof log - 1, nullptr, log);
            std::fprintf(stderr, "shader compile failed (%s): %s\n", define, log);
            gl.DeleteShader(s);
            return 0;
        }
        return s;
    }

    // Kind 1: the bytes go into the one streaming buffer, whose attribute layout per format
    // lives in one vertex array each.
    void bindStream(GlVertexBuffer& vb, const uint8_t* bytes, size_t size) {
        auto& gl = d_->gl;
        GLuint& vao = streamVaos_[vb.getFormat()];
        if (!vao) {
            gl.GenVertexArrays(1, &vao);
            gl.BindVertexArray(vao);
            gl.BindBuffer(GL_ARRAY_BUFFER, streamVbo_);
            setAttributes(gl, vb.layout());
        } else {
            gl.BindVertexArray(vao);
            gl.BindBuffer(GL_ARRAY_BUFFER, streamVbo_);
        }
        // Orphan the old storage so the driver need not wait for draws still reading it.
        if (size > streamSize_) streamSize_ = std::max(size, size_t(1) << 16);
        gl.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(streamSize_), nullptr, GL_STREAM_DRAW);
        gl.BufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(size), bytes);
    }

    void bindDeviceBuffer(GlVertexBuffer& vb) {
        auto& gl = d_->gl;
        if (!vb.vao) {
            gl.GenVertexArrays(1, &vb.vao);
            gl.GenBuffers(1, &vb.vbo);
            gl.BindVertexArray(vb.vao);
            gl.BindBuffer(GL_ARRAY_BUFFER, vb.vbo);
            setAttributes(gl, vb.layout());
        }
        gl.BindVertexArray(vb.vao);
        if (vb.uploaded != vb.version()) {
            gl.BindBuffer(GL_ARRAY_BUFFER, vb.vbo);
            gl.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(vb.getSize()), vb.data(), GL_STATIC_DRAW);
            vb.uploaded = vb.version();
        }
    }

    DevicePtr d_;
    uint16_t w_, h_;
    uint16_t maxTexture_ = 0;
    std::shared_ptr<IEngineCaps> caps_;
    uint32_t screenMode_ = ScreenWindow, requested_ = ScreenWindow;
    bool pending_ = false;
    int savedX_ = 0, savedY_ = 0, savedW_ = 0, savedH_ = 0;
    uint32_t blendMode_ = BlendNone, cullMode_ = CullNone;
    bool depthTest_ = false;
    bool exactView_ = false; // the window's drawable is the back buffer's size
    std::shared_ptr<GlTarget> target_;
    std::shared_ptr<IVertexBuffer> vertices_;
    std::shared_ptr<IIndexBuffer> indices_;
    std::vector<std::weak_ptr<GlTarget>> targets_;
    GLuint streamVbo_ = 0, streamIbo_ = 0;
    GLuint streamVaos_[11] = {};
    size_t streamSize_ = 0;
    uint64_t draws_ = 0, presents_ = 0;
};

} // namespace

std::shared_ptr<IEngine> createGlEngine(SDL_Window* window, uint16_t width, uint16_t height) {
    if (!window || !width || !height) return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return nullptr;
    auto device = std::make_shared<Device>();
    device->window = window;
    device->context = context;
    bool ok = SDL_GL_MakeCurrent(window, context) == 0 && device->gl.load();
    GLint major = 0, minor = 0;
    if (ok) {
        device->gl.GetIntegerv(GL_MAJOR_VERSION, &major);
        device->gl.GetIntegerv(GL_MINOR_VERSION, &minor);
    }
    if (!ok || major * 10 + minor < 33) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    device->alive = true;
    SDL_GL_SetSwapInterval(0); // frames are paced by the frame keeper, not the retrace
    return std::make_shared<GlEngine>(std::move(device), width, height);
}

} // namespace KoGraphics::Gl

namespace KoGraphics {

std::shared_ptr<IEngine> createEngine(SDL_Window* window, uint16_t width, uint16_t height) {
    const char* choice = std::getenv("KO_GRAPHICS");
    bool wantNull = choice && std::strcmp(choice, "null") == 0;
    if (!wantNull && window) {
        if (auto engine = Gl::createGlEngine(window, width, height)) return engine;
        std::fputs("OpenGL 3.3 is not available; drawing goes nowhere\n", stderr);
    }
    return createNullEngine(width, height);
}

bool getDisplaySize(uint16_t& width, uint16_t& height) {
    width = height = 0;
    SDL_DisplayMode mode;
    if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    width = uint16_t(std::clamp(mode.w, 0, 65535));
    height = uint16_t(std::clamp(mode.h, 0, 65535));
    return true;
}

} // namespace KoGraphics
