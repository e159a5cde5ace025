#include "io/FileStream.h"

#include "io/DiskPath.h"
#include "io/Path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KoIO::Core {

namespace {
constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

// The standard open-mode table; -1 for a combination it refuses.
int openFlags(std::ios_base::openmode mode) {
    using std::ios_base;
    const auto m = mode & (ios_base::in | ios_base::out | ios_base::trunc | ios_base::app);
    const auto in = ios_base::in, out = ios_base::out, trunc = ios_base::trunc,
               app = ios_base::app;
    if (m == out || m == (out | trunc)) return O_WRONLY | O_CREAT | O_TRUNC;
    if (m == (out | app) || m == app) return O_WRONLY | O_CREAT;
    if (m == in) return O_RDONLY;
    if (m == (in | out)) return O_RDWR;
    if (m == (in | out | trunc)) return O_RDWR | O_CREAT | O_TRUNC;
    if (m == (in | out | app) || m == (in | app)) return O_RDWR | O_CREAT;
    return -1;
}

ssize_t fullPread(int fd, char* buf, size_t n, off_t at) {
    size_t done = 0;
    while (done < n) {
        ssize_t r = pread(fd, buf + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        done += size_t(r);
    }
    return ssize_t(done);
}

bool fullPwrite(int fd, const char* buf, size_t n, off_t at) {
    size_t done = 0;
    while (done < n) {
        ssize_t r = pwrite(fd, buf + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += size_t(r);
    }
    return true;
}
} // namespace

FileStream::~FileStream() { close(); }

bool FileStream::open(const std::u16string& path, std::ios_base::openmode mode) {
    close();
    bad_ = false;
    int flags = openFlags(mode);
    std::string posix = toPosixPath(path);
    if (flags < 0 || posix.empty()) return false;
    std::string disk = Disk::resolve(posix);
    struct stat st;
    bool existed = stat(disk.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) return false;
    int fd = ::open(disk.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (!existed) Disk::invalidate(Disk::parentOf(disk));
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxSize) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    readable_ = (flags & O_ACCMODE) != O_WRONLY;
    writable_ = (flags & O_ACCMODE) != O_RDONLY;
    append_ = (mode & std::ios_base::app) != 0;
    size_ = inLength_ = uint32_t(st.st_size);
    in_ = out_ = (mode & std::ios_base::ate) ? size_ : 0;
    readBuffer_.clear();
    writeBuffer_.clear();
    return true;
}

void FileStream::close() {
    if (fd_ < 0) return;
    flushWrites();
    ::close(fd_);
    fd_ = -1;
    readBuffer_.clear();
    writeBuffer_.clear();
    in_ = out_ = size_ = inLength_ = 0;
}

bool FileStream::setInputCursor(uint32_t p) {
    if (isClosed() || p > inLength_) return false;
    in_ = p;
    return true;
}

uint32_t FileStream::getInputRemaining() {
    if (isClosed() || in_ >= inLength_) return 0;
    return inLength_ - in_;
}

bool FileStream::setOutputCursor(uint32_t p) {
    if (isClosed() || p > size_) return false;
    out_ = p;
    return true;
}

bool FileStream::flushWrites() {
    if (writeBuffer_.empty()) return true;
    bool ok = fullPwrite(fd_, writeBuffer_.data(), writeBuffer_.size(), off_t(writeStart_));
    writeBuffer_.clear();
    if (!ok) bad_ = true;
    return ok;
}

bool FileStream::fillReadBuffer() {
    if (!flushWrites()) return false;
    readBuffer_.resize(kBufferSize);
    ssize_t n = fullPread(fd_, readBuffer_.data(), kBufferSize, off_t(in_));
    if (n < 0) {
        readBuffer_.clear();
        bad_ = true;
        return false;
    }
    readBuffer_.resize(size_t(n));
    readStart_ = in_;
    return n > 0;
}

int FileStream::peek() {
    if (isClosed() || !readable_ || in_ >= inLength_) return -1;
    if (in_ < readStart_ || in_ >= readStart_ + readBuffer_.size() || !writeBuffer_.empty())
        if (!fillReadBuffer()) return -1;
    return uint8_t(readBuffer_[in_ - readStart_]);
}

int FileStream::readByte() {
    int c = peek();
    if (c >= 0) ++in_;
    return c;
}

uint32_t FileStream::read(uint8_t* buffer, uint32_t count) {
    if (isClosed() || !readable_ || !buffer) return 0;
    uint32_t want = std::min(count, getInputRemaining());
    uint32_t done = 0;
    if (!writeBuffer_.empty() && !flushWrites()) return 0;
    while (done < want) {
        if (in_ >= readStart_ && in_ < readStart_ + readBuffer_.size()) {
            uint32_t at = in_ - readStart_;
            uint32_t n = std::min<uint32_t>(want - done, uint32_t(readBuffer_.size()) - at);
            std::memcpy(buffer + done, readBuffer_.data() + at, n);
            done += n;
            in_ += n;
        } else if (want - done >= kBufferSize) {
            // Large reads go straight into the caller's buffer.
            ssize_t n = fullPread(fd_, reinterpret_cast<char*>(buffer + done), want - done,
                                  off_t(in_));
            if (n < 0) bad_ = true;
            if (n <= 0) break;
            done += uint32_t(n);
            in_ += uint32_t(n);
        } else if (!fillReadBuffer()) {
            break;
        }
    }
    return done;
}

uint32_t FileStream::write(const uint8_t* buffer, uint32_t count) {
    if (isClosed() || !writable_ || !buffer || count == 0) return 0;
    if (append_) out_ = size_;
    count = uint32_t(std::min<uint64_t>(count, kMaxSize - out_));
    if (count == 0) return 0;
    readBuffer_.clear(); // may hold bytes this write replaces
    bool contiguous = !writeBuffer_.empty() && out_ == writeStart_ + writeBuffer_.size();
    if (!contiguous || writeBuffer_.size() + count > kBufferSize) {
        if (!flushWrites()) return 0;
    }
    if (count >= kBufferSize) {
        if (!fullPwrite(fd_, reinterpret_cast<const char*>(buffer), count, off_t(out_))) {
            bad_ = true;
            return 0;
        }
    } else {
        if (writeBuffer_.empty()) writeStart_ = out_;
        writeBuffer_.append(reinterpret_cast<const char*>(buffer), count);
    }
    out_ += count;
    size_ = std::max(size_, out_);
    return count;
}

uint32_t FileStream::writeByte(uint8_t value) { return write(&value, 1); }

bool FileStream::flush() {
    if (isClosed()) return false;
    return flushWrites();
}

} // namespace KoIO::Core
