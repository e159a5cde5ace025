// Library logic that needs no VM: the C runtime's random generator, calendar
// dates, and the byte buffer behind blobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace sqstd {

// The generator of the Windows C runtime, so that seeded games replay the
// same sequence: state = state * 214013 + 2531011, result bits 16..30.
class MsRand {
public:
    static constexpr int kMax = 32767;
    void seed(uint32_t s) { state_ = s; }
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_ = 1;
};

// The generator behind the script rand()/srand() (one per thread, as the
// runtime keeps it).
MsRand& script_rand();

struct DateParts {
    int sec, min, hour, day, month, year, wday, yday;
};
// Calendar fields of time `t` (seconds since 1970 UTC); false for times the
// runtime rejects (before 1970) or cannot convert.
bool date_parts(int64_t t, bool utc, DateParts& out);

// Origins of seek().
enum class SeekOrigin { Begin, Current, End };

// A growable byte buffer with a cursor, as a blob sees it: the length only
// grows by writing; resize() reserves or cuts.
class ByteBuffer {
public:
    // Largest buffer; more than a 32-bit process of the original platform
    // could ever hold, so only runaway scripts meet it.
    static constexpr size_t kMaxSize = size_t(1) << 30;

    // Sizes above kMaxSize throw std::bad_alloc.
    explicit ByteBuffer(size_t size = 0) : data_(checked(size), 0), cap_(size) {}

    size_t len() const { return len_(); }
    size_t tell() const { return pos_; }
    bool eos() const { return pos_ >= data_.size(); }
    uint8_t* data() { return data_.data(); }
    const uint8_t* data() const { return data_.data(); }

    // Bytes copied (fewer at the end).
    size_t read(void* dst, size_t n);
    // Grows the buffer as needed; false if memory ran out (nothing written).
    bool write(const void* src, size_t n);
    // false (and no move) if the target lies outside [0, len].
    bool seek(int64_t offset, SeekOrigin origin);
    // Shrinking cuts the data (cursor clamped); growing only reserves.
    bool resize(size_t n);
    void swap2();
    void swap4();

private:
    static size_t checked(size_t n) {
        if (n > kMaxSize) throw std::bad_alloc();
        return n;
    }
    size_t len_() const { return data_.size(); }
    std::vector<uint8_t> data_;
    size_t cap_ = 0;
    size_t pos_ = 0;
};

} // namespace sqstd
