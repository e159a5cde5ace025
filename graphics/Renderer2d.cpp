#include "graphics/Renderer2d.h"

#include <algorithm>
#include <cstring>

namespace KoGraphics {

std::shared_ptr<IShader> ShaderCache::get(IEngine& engine, IEffect2d& effect, bool textured) {
    const std::pair<uint32_t, bool> key{effect.getType(), textured};
    auto it = shaders_.find(key);
    if (it != shaders_.end()) return it->second;
    auto shader = effect.createShader(engine, textured);
    shaders_.emplace(key, shader);
    return shader;
}

Renderer2d::Renderer2d(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
                       std::shared_ptr<ShaderCache> cache)
    : engine_(std::move(engine)), target_(std::move(target)), cache_(std::move(cache)) {
    if (!cache_) cache_ = std::make_shared<ShaderCache>();
    buffer_ = engine_->createVertexBuffer(2, BufferSystem);
    memory_ = dynamic_cast<MemoryVertexBuffer*>(buffer_.get());
}

namespace {
bool isLine(uint32_t t) { return t == LineList || t == LineStrip; }
bool isTriangle(uint32_t t) { return t >= TriangleList && t <= TriangleFan; }
} // namespace

bool Renderer2d::joins(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
                       const std::shared_ptr<IEffect2d>& effect) const {
    return count_ > 0 && effect == effect_ && blend == blend_ && texture == texture_ &&
           ((isLine(type_) && isLine(type)) || (isTriangle(type_) && isTriangle(type)));
}

void Renderer2d::start(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
                       const std::shared_ptr<IEffect2d>& effect) {
    flush();
    blend_ = blend;
    texture_ = texture;
    effect_ = effect;
    type_ = type;
}

// Other triangles join a batch of quads: its quads become triangle lists.
void Renderer2d::expandQuads() {
    quads_ = false;
    const size_t quads = used_ / (4 * sizeof(Vertex2d));
    scratch_.resize(quads * 4);
    std::memcpy(scratch_.data(), vertices_.data(), quads * 4 * sizeof(Vertex2d));
    used_ = 0;
    Vertex2d* t = room(uint32_t(quads * 6));
    for (size_t i = 0; i < quads; ++i, t += 6) {
        const Vertex2d* c = scratch_.data() + i * 4;
        const Vertex2d six[6] = {c[0], c[1], c[2], c[0], c[2], c[3]};
        std::memcpy(t, six, sizeof six);
    }
}

void Renderer2d::grow(size_t bytes) {
    vertices_.resize(std::max({vertices_.size() * 2, used_ + bytes, 4096 * sizeof(Vertex2d)}));
}

void Renderer2d::append(const Vertex2d* v, uint32_t n) {
    if (n) std::memcpy(room(n), v, size_t(n) * sizeof(Vertex2d));
}

bool Renderer2d::drawQuad(uint32_t blend, const std::shared_ptr<ITexture>& texture,
                          const std::shared_ptr<IEffect2d>& effect, const Vertex2d (&corners)[4]) {
    // The common case first: one more quad for a pending batch of quads with the same state.
    if (quads_ && texture == texture_ && effect == effect_ && blend == blend_) {
        std::memcpy(room(4), corners, sizeof corners);
        count_ += 2;
        return true;
    }
    if (!buffer_) return false;
    if (!joins(TriangleList, blend, texture, effect)) {
        start(TriangleList, blend, texture, effect);
        quads_ = true;
    }
    if (quads_) {
        std::memcpy(room(4), corners, sizeof corners);
    } else {
        const Vertex2d six[6] = {corners[0], corners[1], corners[2],
                                 corners[0], corners[2], corners[3]};
        std::memcpy(room(6), six, sizeof six);
    }
    count_ += 2;
    return true;
}

bool Renderer2d::draw(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
                      const std::shared_ptr<IEffect2d>& effect, const Vertex2d* v, uint32_t n) {
    if (!buffer_ || !v || type < PointList || type > TriangleFan) return false;
    uint32_t minimum = type == PointList ? 1 : isLine(type) ? 2 : 3;
    if (n < minimum) return false;
    if (!joins(type, blend, texture, effect))
        start(type, blend, texture, effect);
    else if (quads_)
        expandQuads();
    switch (type) {
    case PointList:
        append(v, n);
        count_ += n;
        break;
    case LineList:
        n -= n % 2;
        append(v, n);
        count_ += n / 2;
        break;
    case LineStrip:
        scratch_.clear();
        for (uint32_t i = 0; i + 1 < n; ++i) {
            scratch_.push_back(v[i]);
            scratch_.push_back(v[i + 1]);
        }
        append(scratch_.data(), uint32_t(scratch_.size()));
        count_ += n - 1;
        type_ = LineList;
        break;
    case TriangleList:
        n -= n % 3;
        append(v, n);
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
        append(scratch_.data(), uint32_t(scratch_.size()));
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
        append(scratch_.data(), uint32_t(scratch_.size()));
        count_ += n - 2;
        type_ = TriangleList;
        break;
    }
    return true;
}

bool Renderer2d::flush() {
    if (!count_) {
        used_ = 0;
        return true;
    }
    IEffect2d& effect = effect_ ? *effect_ : *basicEffect();
    bool ok = false;
    if (auto shader = cache_->get(*engine_, effect, bool(texture_))) {
        engine_->setTarget(target_);
        engine_->setBlendMode(blend_); // an unknown mode keeps the previous one
        if (quads_ && !quadIndicesFor(count_ / 2)) expandQuads();
        if (memory_) {
            // The buffer's old bytes come back as the next batch's storage, at full size.
            vertices_.resize(used_);
            memory_->swapBytes(vertices_);
            vertices_.resize(vertices_.capacity());
        } else {
            buffer_->clear();
            buffer_->append(vertices_.data(), used_);
        }
        engine_->setVertexBuffer(buffer_);
        if (quads_) engine_->setIndexBuffer(quadIndices_);
        if (effect.apply(*engine_, *shader, texture_) && shader->begin()) {
            ok = quads_ ? engine_->drawIndexedPrimitive(type_, count_, 0)
                        : engine_->drawPrimitive(type_, count_, 0);
            shader->end();
        }
    }
    used_ = 0;
    count_ = 0;
    quads_ = false;
    texture_.reset();
    effect_.reset();
    return ok;
}

// The shared quad indices, grown (doubling) to hold at least `quads` quads.
bool Renderer2d::quadIndicesFor(uint32_t quads) {
    if (quads <= quadCapacity_) return true;
    if (!quadIndices_) quadIndices_ = engine_->createIndexBuffer(2, BufferDevice);
    if (!quadIndices_ || quads > (uint32_t(1) << 28)) return false;
    uint32_t capacity = std::max(quadCapacity_ * 2, std::max(quads, uint32_t(1024)));
    std::vector<uint32_t> more;
    more.reserve(size_t(capacity - quadCapacity_) * 6);
    for (uint32_t i = quadCapacity_; i < capacity; ++i) {
        const uint32_t b = i * 4;
        more.insert(more.end(), {b, b + 1, b + 2, b, b + 2, b + 3});
    }
    quadIndices_->append(more.data(), more.size() * sizeof(uint32_t));
    quadCapacity_ = capacity;
    return true;
}

} // namespace KoGraphics
