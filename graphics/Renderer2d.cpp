#include "graphics/Renderer2d.h"

namespace KoGraphics {

std::shared_ptr<IShader> ShaderCache::get(IEngine& engine, IEffect2d& effect) {
    auto it = shaders_.find(effect.getType());
    if (it != shaders_.end()) return it->second;
    auto shader = effect.createShader(engine);
    shaders_.emplace(effect.getType(), shader);
    return shader;
}

Renderer2d::Renderer2d(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
                       std::shared_ptr<ShaderCache> cache)
    : engine_(std::move(engine)), target_(std::move(target)), cache_(std::move(cache)) {
    if (!cache_) cache_ = std::make_shared<ShaderCache>();
    buffer_ = engine_->createVertexBuffer(2, BufferSystem);
}

namespace {
bool isLine(uint32_t t) { return t == LineList || t == LineStrip; }
bool isTriangle(uint32_t t) { return t >= TriangleList && t <= TriangleFan; }
} // namespace

bool Renderer2d::draw(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
                      const std::shared_ptr<IEffect2d>& effect, const Vertex2d* v, uint32_t n) {
    if (!buffer_ || !v || type < PointList || type > TriangleFan) return false;
    uint32_t minimum = type == PointList ? 1 : isLine(type) ? 2 : 3;
    if (n < minimum) return false;
    bool joins = count_ > 0 && effect == effect_ && blend == blend_ && texture == texture_ &&
                 ((isLine(type_) && isLine(type)) || (isTriangle(type_) && isTriangle(type)));
    if (!joins) {
        flush();
        blend_ = blend;
        texture_ = texture;
        effect_ = effect;
        type_ = type;
    }
    const size_t stride = sizeof(Vertex2d);
    switch (type) {
    case PointList:
        buffer_->append(v, n * stride);
        count_ += n;
        break;
    case LineList:
        n -= n % 2;
        buffer_->append(v, n * stride);
        count_ += n / 2;
        break;
    case LineStrip:
        scratch_.clear();
        for (uint32_t i = 0; i + 1 < n; ++i) {
            scratch_.push_back(v[i]);
            scratch_.push_back(v[i + 1]);
        }
        buffer_->append(scratch_.data(), scratch_.size() * stride);
        count_ += n - 1;
        type_ = LineList;
        break;
    case TriangleList:
        n -= n % 3;
        buffer_->append(v, n * stride);
        count_ += n / 3;
        break;
    case TriangleStrip:
        scratch_.clear();
        for (uint32_t i = 0; i + 2 < n; ++i) {
            // Odd triangles swap their last two vertices so the winding stays the same.
            scratch_.push_back(v[i]);
            scratch_.push_back(v[i % 2 ? i + 2 : i + 1]);
            scratch_.push_back(v[i % 2 ? i + 1 : i + 2]);
        }
        buffer_->append(scratch_.data(), scratch_.size() * stride);
        count_ += n - 2;
        type_ = TriangleList;
        break;
    case TriangleFan:
        scratch_.clear();
        for (uint32_t i = 1; i + 1 < n; ++i) {
            scratch_.push_back(v[0]);
            scratch_.push_back(v[i]);
            scratch_.push_back(v[i + 1]);
        }
        buffer_->append(scratch_.data(), scratch_.size() * stride);
        count_ += n - 2;
        type_ = TriangleList;
        break;
    }
    return true;
}

bool Renderer2d::flush() {
    if (!count_) return true;
    IEffect2d& effect = effect_ ? *effect_ : *basicEffect();
    bool ok = false;
    if (auto shader = cache_->get(*engine_, effect)) {
        engine_->setTarget(target_);
        engine_->setBlendMode(blend_); // an unknown mode keeps the previous one
        engine_->setVertexBuffer(buffer_);
        if (effect.apply(*engine_, *shader, texture_) && shader->begin()) {
            ok = engine_->drawPrimitive(type_, count_, 0);
            shader->end();
        }
    }
    buffer_->clear();
    count_ = 0;
    texture_.reset();
    effect_.reset();
    return ok;
}

} // namespace KoGraphics
