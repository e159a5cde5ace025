#pragma once
// Turns canvas draws into as few draw calls as possible: one per run of equal texture, effect,
// blend mode and primitive family. A run made only of quads keeps four vertices per quad and
// draws through one index buffer that never changes.
#include "graphics/IEffect2d.h"
#include "graphics/IEngine.h"
#include "graphics/MemoryBuffers.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace KoGraphics {

// Compiled shaders by effect type, shared by the renderers of one engine.
class ShaderCache {
public:
    // The shader for the effect's type and kind of batch, compiled on first use; empty when it
    // cannot be made (a failure is remembered, so a broken effect is not recompiled every batch).
    std::shared_ptr<IShader> get(IEngine& engine, IEffect2d& effect, bool textured);

private:
    std::map<std::pair<uint32_t, bool>, std::shared_ptr<IShader>> shaders_;
};

class Renderer2d {
public:
    Renderer2d(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
               std::shared_ptr<ShaderCache> cache);
    // Adds n vertices of a primitive of `type` (1-6). False for an unknown type or too few
    // vertices.
    bool draw(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
              const std::shared_ptr<IEffect2d>& effect, const Vertex2d* vertices, uint32_t n);
    // Two triangles (0, 1, 2) and (0, 2, 3); joins triangle batches like any triangle list.
    bool drawQuad(uint32_t blend, const std::shared_ptr<ITexture>& texture,
                  const std::shared_ptr<IEffect2d>& effect, const Vertex2d (&corners)[4]);
    // Draws the pending batch. False when its shader cannot be made; the batch is dropped
    // either way.
    bool flush();
    // The pending batch, for tests.
    uint32_t pendingType() const { return type_; }
    uint32_t pendingCount() const { return count_; }

private:
    bool joins(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
               const std::shared_ptr<IEffect2d>& effect) const;
    void start(uint32_t type, uint32_t blend, const std::shared_ptr<ITexture>& texture,
               const std::shared_ptr<IEffect2d>& effect);
    void expandQuads();
    bool quadIndicesFor(uint32_t quads);
    // Room for n more vertices of the pending batch, uninitialised.
    Vertex2d* room(uint32_t n) {
        const size_t bytes = size_t(n) * sizeof(Vertex2d);
        if (bytes > vertices_.size() - used_) grow(bytes);
        auto* p = reinterpret_cast<Vertex2d*>(vertices_.data() + used_);
        used_ += bytes;
        return p;
    }
    void grow(size_t bytes);
    void append(const Vertex2d* v, uint32_t n);

    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<ITarget> target_;
    std::shared_ptr<ShaderCache> cache_;
    std::shared_ptr<IVertexBuffer> buffer_;
    std::shared_ptr<IIndexBuffer> quadIndices_; // 0 1 2 0 2 3, 4 5 6 4 6 7, ...
    uint32_t quadCapacity_ = 0;
    uint32_t type_ = 0, blend_ = 0, count_ = 0;
    bool quads_ = false; // the pending batch holds only quads, four vertices each
    std::shared_ptr<ITexture> texture_;
    std::shared_ptr<IEffect2d> effect_;
    std::vector<Vertex2d> scratch_;
    // The pending batch's vertices, written in place and handed to buffer_ once per flush:
    // swapped in when it keeps its bytes in memory (both engines' buffers do), else copied.
    // Its size is its capacity (growing it leaves the bytes uninitialised); used_ bytes count.
    ByteArray vertices_;
    size_t used_ = 0;
    MemoryVertexBuffer* memory_ = nullptr;
};

} // namespace KoGraphics
