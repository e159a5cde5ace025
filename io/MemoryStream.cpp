#include "io/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace KoIO::Core {

bool MemoryStream::open(uint8_t* data, uint32_t size) {
    close();
    if (!data || size == 0) return false;
    data_ = data;
    size_ = size;
    in_ = out_ = 0;
    return true;
}

bool MemoryStream::moveCursor(uint32_t& cursor, uint32_t p) {
    if (!data_ || p > size_) return false;
    cursor = p;
    return true;
}

int MemoryStream::peek() {
    if (!data_ || in_ >= size_) return -1;
    return data_[in_];
}

int MemoryStream::readByte() {
    if (!data_ || in_ >= size_) return -1;
    return data_[in_++];
}

uint32_t MemoryStream::read(uint8_t* buffer, uint32_t count) {
    if (!data_ || in_ >= size_ || !buffer) return 0;
    uint32_t n = std::min(count, size_ - in_);
    std::memcpy(buffer, data_ + in_, n);
    in_ += n;
    return n;
}

uint32_t MemoryStream::write(const uint8_t* buffer, uint32_t count) {
    if (!data_ || out_ >= size_ || !buffer) return 0;
    uint32_t n = std::min(count, size_ - out_);
    std::memcpy(data_ + out_, buffer, n);
    out_ += n;
    return n;
}

uint32_t MemoryStream::writeByte(uint8_t value) {
    if (!data_ || out_ >= size_) return 0;
    data_[out_++] = value;
    return 1;
}

} // namespace KoIO::Core
