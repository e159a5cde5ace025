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
    size_t at = bytes_.size();
    bytes_.resize(at + length);
    std::memcpy(bytes_.data() + at, bytes, length);
    ++version_;
}

uint8_t* MemoryIndexBuffer::getIndex(uint32_t i) {
    if (i >= getCount()) return nullptr;
    ++version_;
    return bytes_.data() + size_t(i) * getIndexSize();
}

void MemoryIndexBuffer::append(const void* bytes, size_t length) {
    if (!bytes || !length) return;
    size_t at = bytes_.size();
    bytes_.resize(at + length);
    std::memcpy(bytes_.data() + at, bytes, length);
    ++version_;
}

} // namespace KoGraphics
