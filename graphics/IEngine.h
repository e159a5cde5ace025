#pragma once
// The one layer that talks to the graphics device. Factories return empty on failure.
#include "graphics/IBuffer.h"
#include "graphics/IShader.h"
#include "graphics/ITarget.h"
#include "graphics/ITexture.h"
#include "graphics/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace KoGraphics {

class IEngineCaps {
public:
    virtual ~IEngineCaps() = default;
    virtual std::string getEngineName() = 0;   // "OpenGL", "Null"
    virtual std::string getShaderLanguage() = 0; // "GLSL"
    virtual uint16_t getMaxTextureWidth() = 0;
    virtual uint16_t getMaxTextureHeight() = 0;
};

// Shader sources are GLSL 3.30 bodies holding both stages: the engine compiles the text twice,
// once with KO_VERTEX and once with KO_FRAGMENT defined, after a prelude with the #version line
// and `uniform float koFlipY;` which the engine sets at begin(): 1 drawing to the window, -1
// drawing into a target, so a vertex stage writes gl_Position.y * koFlipY and every texture
// (target or not) keeps its top row at v = 0.
class IEngine {
public:
    virtual ~IEngine() = default;
    virtual std::shared_ptr<ITexture> createTexture(uint16_t width, uint16_t height,
                                                    uint32_t format) = 0;
    virtual std::shared_ptr<ITarget> createTarget(uint16_t width, uint16_t height,
                                                  uint32_t format) = 0;
    virtual std::shared_ptr<IVertexBuffer> createVertexBuffer(uint32_t format, uint32_t kind) = 0;
    virtual std::shared_ptr<IIndexBuffer> createIndexBuffer(uint32_t format, uint32_t kind) = 0;
    virtual std::shared_ptr<IShader> createShader(std::string_view source) = 0;
    virtual std::shared_ptr<IEngineCaps> getCaps() = 0;
    // Back-buffer size.
    virtual uint16_t getWidth() = 0;
    virtual uint16_t getHeight() = 0;
    // The switch happens at the next beginScene(); 0 or another unknown mode is refused.
    virtual bool setScreenMode(uint32_t mode) = 0;
    virtual uint32_t getScreenMode() = 0;
    // Unknown values are refused and keep the previous mode.
    virtual bool setBlendMode(uint32_t mode) = 0;
    virtual uint32_t getBlendMode() = 0;
    virtual bool setCullMode(uint32_t mode) = 0;
    virtual uint32_t getCullMode() = 0;
    // Empty selects the back buffer. The viewport follows the target's size.
    virtual bool setTarget(std::shared_ptr<ITarget> target) = 0;
    virtual std::shared_ptr<ITarget> getTarget() = 0;
    virtual uint16_t getTargetWidth() = 0;
    virtual uint16_t getTargetHeight() = 0;
    virtual bool setVertexBuffer(std::shared_ptr<IVertexBuffer> buffer) = 0;
    virtual std::shared_ptr<IVertexBuffer> getVertexBuffer() = 0;
    virtual bool setIndexBuffer(std::shared_ptr<IIndexBuffer> buffer) = 0;
    virtual std::shared_ptr<IIndexBuffer> getIndexBuffer() = 0;
    virtual bool clearColor(Color color) = 0;
    virtual bool clearDepth(float z) = 0;
    // Depth test (less or equal) and depth writes for the draws that follow; off by default.
    // Engines without a depth buffer ignore it.
    virtual bool setDepthTest(bool) { return false; }
    virtual bool beginScene() = 0;
    virtual bool endScene() = 0;
    // count primitives of the current vertex buffer from vertex start.
    virtual bool drawPrimitive(uint32_t type, uint32_t count, uint32_t start) = 0;
    virtual bool drawIndexedPrimitive(uint32_t type, uint32_t count, uint32_t start) = 0;
    virtual bool present() = 0;
    // Shows a target's texture on the whole window exactly as it is, when the engine can do
    // that without a draw (an opaque surface of the window's size); false: draw it instead.
    virtual bool copyToScreen(const std::shared_ptr<ITexture>&) { return false; }

    // Draw calls issued since creation (for tests and the benchmark).
    virtual uint64_t getDrawCount() = 0;
    // Loses and restores every target as a device reset would: contents kept only where a
    // backup exists.
    virtual void simulateReset() = 0;
};

// Vertices of a primitive list of count primitives.
uint32_t vertexCountOf(uint32_t type, uint32_t count);

} // namespace KoGraphics
