// The VM-free logic behind the math, system and blob libraries: the C runtime's rand, calendar
// dates and the byte buffer of a blob.
#include "squirrel/stdlib/corelib.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>

namespace sqstd {

MsRand& script_rand() {
    static thread_local MsRand r;
    return r;
}

bool date_parts(int64_t t, bool utc, DateParts& out) {
    if (t < 0) return false;
    time_t tt = static_cast<time_t>(t);
    struct tm tm;
    if (!(utc ? gmtime_r(&tt, &tm) : localtime_r(&tt, &tm))) return false;
    out.sec = tm.tm_sec;
    out.min = tm.tm_min;
    out.hour = tm.tm_hour;
    out.day = tm.tm_mday;
    out.month = tm.tm_mon;
    out.year = tm.tm_year + 1900;
    out.wday = tm.tm_wday;
    out.yday = tm.tm_yday;
    return true;
}

size_t ByteBuffer::read(void* dst, size_t n) {
    size_t avail = pos_ < data_.size() ? data_.size() - pos_ : 0;
    n = std::min(n, avail);
    if (n) std::memcpy(dst, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

bool ByteBuffer::write(const void* src, size_t n) {
    if (n == 0) return true;
    if (n > kMaxSize || pos_ + n > kMaxSize) return false;
    // A blob written into itself: growing moves the bytes, so find them again afterwards.
    const uint8_t* from = static_cast<const uint8_t*>(src);
    const bool own = !data_.empty() && from >= data_.data() && from < data_.data() + data_.size();
    const size_t own_at = own ? static_cast<size_t>(from - data_.data()) : 0;
    if (pos_ + n > data_.size()) {
        try {
            if (pos_ + n > data_.capacity()) {
                size_t want = std::max(pos_ + n, std::max(cap_, data_.size() * 2));
                data_.reserve(want);
            }
            data_.resize(pos_ + n);
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
    }
    if (own) from = data_.data() + own_at;
    std::memmove(data_.data() + pos_, from, n);
    pos_ += n;
    return true;
}

bool ByteBuffer::seek(int64_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Begin     ? 0
                   : origin == SeekOrigin::Current ? static_cast<int64_t>(pos_)
                                                   : static_cast<int64_t>(data_.size());
    int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(data_.size())) return false;
    pos_ = static_cast<size_t>(target);
    return true;
}

bool ByteBuffer::resize(size_t n) {
    if (n > kMaxSize) return false;
    try {
        if (n < data_.size()) {
            data_.resize(n);
            data_.shrink_to_fit();
        } else {
            data_.reserve(n);
        }
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    cap_ = n;
    if (pos_ > data_.size()) pos_ = data_.size();
    return true;
}

void ByteBuffer::swap2() {
    for (size_t i = 0; i + 1 < data_.size(); i += 2) std::swap(data_[i], data_[i + 1]);
}

void ByteBuffer::swap4() {
    for (size_t i = 0; i + 3 < data_.size(); i += 4) {
        std::swap(data_[i], data_[i + 3]);
        std::swap(data_[i + 1], data_[i + 2]);
    }
}

} // namespace sqstd
