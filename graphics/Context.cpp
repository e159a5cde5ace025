#include "graphics/Context.h"

#include "graphics/IEffect2d.h"

#include <algorithm>

namespace KoGraphics {

std::shared_ptr<Context> Context::create(std::shared_ptr<IEngine> engine) {
    if (!engine) return nullptr;
    auto caps = engine->getCaps();
    if (!caps || caps->getShaderLanguage() != "GLSL") return nullptr;
    auto shader = engine->createShader(kScreenShaderSource);
    auto quad = engine->createVertexBuffer(2, BufferSystem);
    if (!shader || !quad) return nullptr;
    return std::shared_ptr<Context>(new Context(std::move(engine), std::move(shader), std::move(quad)));
}

Context::Context(std::shared_ptr<IEngine> engine, std::shared_ptr<IShader> screenShader,
                 std::shared_ptr<IVertexBuffer> quad)
    : engine_(std::move(engine)), screenShader_(std::move(screenShader)), quad_(std::move(quad)) {}

Context::~Context() {
    for (auto& c : callbacks_) c->onRelease();
    for (auto& w : weakCallbacks_)
        if (auto c = w.lock()) c->onRelease();
}

void Context::addCallback(std::shared_ptr<ICallback> callback) {
    if (callback) callbacks_.push_back(std::move(callback));
}

void Context::addWeakCallback(std::weak_ptr<ICallback> callback) {
    weakCallbacks_.push_back(std::move(callback));
}

template <class F>
void Context::notify(F f) {
    std::erase_if(callbacks_, [](auto& c) { return c->isFinished(); });
    std::erase_if(weakCallbacks_, [](auto& w) {
        auto c = w.lock();
        return !c || c->isFinished();
    });
    // Copies: a callback may add callbacks.
    auto strong = callbacks_;
    for (auto& c : strong) f(*c);
    auto weak = weakCallbacks_;
    for (auto& w : weak)
        if (auto c = w.lock()) f(*c);
}

void Context::beginFrame() {
    notify([](ICallback& c) { c.onBeginFrame(); });
    engine_->beginScene();
}

void Context::endFrame(const std::shared_ptr<ITexture>& screen) {
    notify([](ICallback& c) { c.onEndFrame(); });
    if (screen) engine_->setTarget(nullptr);
    if (screen && !engine_->copyToScreen(screen)) {
        float w = engine_->getWidth(), h = engine_->getHeight();
        float u = screen->getU(screen->getWidth()), v = screen->getV(screen->getHeight());
        Vertex2d q[4] = {{0, 0, 0, 0xFFFFFFFF, 0, 0},
                         {w, 0, 0, 0xFFFFFFFF, u, 0},
                         {w, h, 0, 0xFFFFFFFF, u, v},
                         {0, h, 0, 0xFFFFFFFF, 0, v}};
        quad_->clear();
        quad_->append(q, sizeof q);
        screenShader_->setTexture("texBase", screen);
        screenShader_->setInt("nTargetWidth", engine_->getWidth());
        screenShader_->setInt("nTargetHeight", engine_->getHeight());
        // The copy covers the whole viewport and its shader composes the canvas over black
        // itself, so the window needs neither a clear nor blending.
        engine_->setBlendMode(BlendNone);
        engine_->setVertexBuffer(quad_);
        if (screenShader_->begin()) {
            engine_->drawPrimitive(TriangleFan, 2, 0);
            screenShader_->end();
        }
    }
    engine_->endScene();
    engine_->present();
}

} // namespace KoGraphics
