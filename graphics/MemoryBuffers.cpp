#include "graphics/MemoryBuffers.h"

#include <cstring>

namespace KoGraphics {

uint8_t* MemoryVertexBuffer::getVertex(uint32_t i) {
    if (i >= getCount()) return nullptr;
    ++version_;
    return bytes_.data() + size_t(i) * layout_.stride;
}

void MemoryVertexBuffer::append(const void* bytes, size_t length) {
    if (!bytes || !length) return;
    // insert copies straight in; resize would first zero the bytes (a quad per draw call).
    const auto* from = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), from, from + length);
    ++version_;
}

uint8_t* MemoryIndexBuffer::getIndex(uint32_t i) {
    if (i >= getCount()) return nullptr;
    ++version_;
    return bytes_.data() + size_t(i) * getIndexSize();
}

void MemoryIndexBuffer::append(const void* bytes, size_t length) {
    if (!bytes || !length) return;
    // insert copies straight in; resize would first zero the bytes (a quad per draw call).
    const auto* from = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), from, from + length);
    ++version_;
}

} // namespace KoGraphics
