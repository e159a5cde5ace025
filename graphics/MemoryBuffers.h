#pragma once
// Vertex and index buffers kept as byte arrays; engines derive to add their device copies.
#include "graphics/IBuffer.h"

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace KoGraphics {

// Growing it leaves the new bytes as they are: its writers fill whole vertices straight after.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
using ByteArray = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

class MemoryVertexBuffer : public IVertexBuffer {
public:
    // format must be 1-10 (vertexLayout non-null).
    MemoryVertexBuffer(uint32_t format, uint32_t kind)
        : format_(format), kind_(kind), layout_(*vertexLayout(format)) {}
    uint32_t getFormat() override { return format_; }
    uint32_t getKind() override { return kind_; }
    uint32_t getCount() override { return uint32_t(bytes_.size() / layout_.stride); }
    uint32_t getStride() override { return layout_.stride; }
    size_t getSize() override { return bytes_.size(); }
    uint8_t* getVertex(uint32_t i) override;
    float* getPosition(uint32_t i) override { return element<float>(i, layout_.position); }
    float* getBlendWeight(uint32_t i) override { return element<float>(i, layout_.blendWeight); }
    uint8_t* getBlendIndices(uint32_t i) override { return element<uint8_t>(i, layout_.blendIndices); }
    float* getNormal(uint32_t i) override { return element<float>(i, layout_.normal); }
    uint32_t* getColor(uint32_t i) override { return element<uint32_t>(i, layout_.color); }
    float* getTexcoord(uint32_t i) override { return element<float>(i, layout_.texcoord); }
    void clear() override {
        bytes_.clear();
        ++version_;
    }
    void append(const void* bytes, size_t length) override;
    const uint8_t* data() override { return bytes_.data(); }
    // Takes `bytes` as the whole content and hands back the old one (its storage reused by the
    // next batch): a renderer passes a frame's vertices without copying them.
    void swapBytes(ByteArray& bytes) {
        bytes_.swap(bytes);
        ++version_;
    }
    // Changes with every modification, so a device copy knows when it is stale.
    uint64_t version() const { return version_; }
    const VertexLayout& layout() const { return layout_; }

protected:
    template <class T>
    T* element(uint32_t i, int32_t offset) {
        if (offset < 0) return nullptr;
        uint8_t* v = getVertex(i);
        return v ? reinterpret_cast<T*>(v + offset) : nullptr;
    }
    uint32_t format_, kind_;
    VertexLayout layout_;
    ByteArray bytes_;
    uint64_t version_ = 0;
};

class MemoryIndexBuffer : public IIndexBuffer {
public:
    MemoryIndexBuffer(uint32_t format, uint32_t kind) : format_(format), kind_(kind) {}
    uint32_t getFormat() override { return format_; }
    uint32_t getKind() override { return kind_; }
    uint32_t getCount() override { return uint32_t(bytes_.size() / getIndexSize()); }
    uint32_t getIndexSize() override { return format_ == 2 ? 4 : 2; }
    size_t getSize() override { return bytes_.size(); }
    uint8_t* getIndex(uint32_t i) override;
    void clear() override {
        bytes_.clear();
        ++version_;
    }
    void append(const void* bytes, size_t length) override;
    const uint8_t* data() override { return bytes_.data(); }
    uint64_t version() const { return version_; }

protected:
    uint32_t format_, kind_;
    std::vector<uint8_t> bytes_;
    uint64_t version_ = 0;
};

} // namespace KoGraphics
