#pragma once
// The one object that owns the engine and drives the frame: begin the scene, let the script
// draw into canvases, then copy the screen canvas to the window and present.
#include "graphics/IEngine.h"
#include "graphics/Renderer2d.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace KoGraphics {

// Per-frame work (a playing video registers one).
class ICallback {
public:
    virtual ~ICallback() = default;
    virtual bool isFinished() = 0;
    virtual void onBeginFrame() = 0;
    virtual void onEndFrame() = 0;
    virtual void onRelease() = 0;
};

class Context {
public:
    // Empty when the engine is missing or the screen shader cannot be made.
    static std::shared_ptr<Context> create(std::shared_ptr<IEngine> engine);
    ~Context();

    const std::shared_ptr<IEngine>& getEngine() { return engine_; }
    const std::shared_ptr<ShaderCache>& getShaderCache() { return shaders_; }
    bool setScreenMode(uint32_t mode) { return engine_->setScreenMode(mode); }
    uint32_t getScreenMode() { return engine_->getScreenMode(); }
    uint16_t getScreenWidth() { return engine_->getWidth(); }
    uint16_t getScreenHeight() { return engine_->getHeight(); }
    void addCallback(std::shared_ptr<ICallback> callback);
    void addWeakCallback(std::weak_ptr<ICallback> callback);

    void beginFrame();
    // Copies the texture (the screen canvas) onto the window and presents it.
    void endFrame(const std::shared_ptr<ITexture>& screen);

private:
    Context(std::shared_ptr<IEngine> engine, std::shared_ptr<IShader> screenShader,
            std::shared_ptr<IVertexBuffer> quad);
    template <class F>
    void notify(F f);

    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<IShader> screenShader_;
    std::shared_ptr<IVertexBuffer> quad_;
    std::shared_ptr<ShaderCache> shaders_ = std::make_shared<ShaderCache>();
    std::vector<std::shared_ptr<ICallback>> callbacks_;
    std::vector<std::weak_ptr<ICallback>> weakCallbacks_;
};

} // namespace KoGraphics
