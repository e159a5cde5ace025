#include "io/Koa.h"

#include "io/DiskPath.h"
#include "io/Encoding.h"
#include "io/Path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Koa {

void scramble(uint8_t* data, size_t size, std::string_view key, size_t startIndex) {
    const size_t n = key.size();
    if (n == 0 || !data) return;
    uint8_t k[256];
    const size_t period = std::min<size_t>(n, sizeof k);
    for (size_t i = 0; i < period; ++i) k[i] = uint8_t(uint8_t(key[i]) + n);
    if (n > sizeof k) {
        for (size_t i = 0; i < size; ++i) data[i] ^= uint8_t(uint8_t(key[(i + startIndex) % n]) + n);
        return;
    }
    size_t j = startIndex % n;
    for (size_t i = 0; i < size; ++i) {
        data[i] ^= k[j];
        if (++j == n) j = 0;
    }
}

// FileSource
bool FileSource::open(const std::u16string& path) { return open(path, 0, 0xFFFFFFFFu); }

bool FileSource::open(const std::u16string& path, uint32_t offset, uint32_t size) {
    close();
    std::string posix = KoIO::toPosixPath(path);
    if (posix.empty()) return false;
    int fd = ::open(KoIO::Disk::resolve(posix).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > 0xFFFFFFFFu ||
        uint64_t(offset) > uint64_t(st.st_size)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    base_ = offset;
    size_ = uint32_t(std::min<uint64_t>(size, uint64_t(st.st_size) - offset));
    position_ = 0;
    return true;
}

void FileSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = position_ = 0;
}

bool FileSource::seek(uint32_t position) {
    if (fd_ < 0 || position >= size_) return false;
    position_ = position;
    return true;
}

uint32_t FileSource::read(uint8_t* buffer, uint32_t count) {
    if (fd_ < 0 || !buffer || position_ >= size_) return 0;
    uint32_t want = std::min(count, size_ - position_);
    uint32_t done = 0;
    while (done < want) {
        ssize_t r = pread(fd_, buffer + done, want - done, off_t(base_ + position_ + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += uint32_t(r);
    }
    position_ += done;
    return done;
}

// MemorySource
std::shared_ptr<MemorySource> MemorySource::create(const uint8_t* data, size_t size) {
    if (!data || size == 0 || size > 0xFFFFFFFFu) return nullptr;
    return std::make_shared<MemorySource>(ByteArray(data, data + size));
}

std::shared_ptr<MemorySource> MemorySource::create(ByteArray bytes) {
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return nullptr;
    return std::make_shared<MemorySource>(std::move(bytes));
}

void MemorySource::close() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    position_ = 0;
}

bool MemorySource::seek(uint32_t position) {
    if (position >= bytes_.size()) return false;
    position_ = position;
    return true;
}

uint32_t MemorySource::read(uint8_t* buffer, uint32_t count) {
    if (!buffer || count == 0 || position_ >= bytes_.size()) return 0;
    uint32_t n = std::min<uint32_t>(count, uint32_t(bytes_.size()) - position_);
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

// ArchiveReader
namespace {
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

std::u16string ArchiveReader::fold(std::u16string_view name) {
    std::u16string f(name);
    for (auto& c : f) {
        if (c == u'/') c = u'\\';
        else if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    }
    return f;
}

const ArchiveReader::Entry* ArchiveReader::find(const std::u16string& name) const {
    auto it = folded_.find(fold(name));
    return it == folded_.end() ? nullptr : it->second;
}

bool ArchiveReader::open(SourcePtr source, std::string_view key) {
    if (!source) return false;
    uint8_t header[kHeaderSize];
    if (source->read(header, kHeaderSize) != kHeaderSize) return false;
    if (std::memcmp(header, kSignature.data(), 4) != 0) return false;
    scramble(header + 5, 20, key);
    // The text is read up to its terminator, which must lie inside the field.
    const char* text = reinterpret_cast<const char*>(header + 5);
    const void* nul = std::memchr(text, 0, 20);
    if (!nul || std::string_view(text, size_t(static_cast<const char*>(nul) - text)) != kHeaderText)
        return false;

    std::map<std::u16string, Entry> entries;
    std::map<uint64_t, uint64_t> blocks; // start -> end of every block read
    const uint64_t size = source->getSize();
    ByteArray entry;
    while (true) {
        const uint64_t start = source->tell();
        uint8_t lengthBytes[4];
        if (source->read(lengthBytes, 4) != 4) break;
        const uint32_t length = le32(lengthBytes);
        if (length == 0 || start + 4 + length > size) break;
        const uint64_t end = start + 4 + length;
        auto next = blocks.lower_bound(end);
        if (next != blocks.begin() && std::prev(next)->second > start) break;
        blocks.emplace(start, end);

        entry.resize(length);
        if (source->read(entry.data(), length) != length) break;
        scramble(entry.data(), length, key);
        if (length < kEntryNameOffset + 1) break;
        const uint8_t* nameStart = entry.data() + kEntryNameOffset;
        const void* nul = std::memchr(nameStart, 0, length - kEntryNameOffset);
        if (!nul) break;
        std::string_view rawName(reinterpret_cast<const char*>(nameStart),
                                 size_t(static_cast<const uint8_t*>(nul) - nameStart));
        std::u16string name;
        if (KoIO::fromCp932(rawName, name)) {
            Entry& e = entries[name];
            e.kind = entry[0];
            e.size = le32(&entry[1]);
            e.offset = le32(&entry[5]);
        }
        source->seek(le32(&entry[9])); // stays put when outside the source
    }

    source_ = std::move(source);
    key_ = std::string(key);
    entries_ = std::move(entries);
    folded_.clear();
    for (auto& [name, e] : entries_) folded_.emplace(fold(name), &e);
    return true;
}

void ArchiveReader::close() {
    if (source_) source_->close();
    source_.reset();
}

std::vector<std::u16string> ArchiveReader::getNames() {
    std::vector<std::u16string> names;
    names.reserve(entries_.size());
    for (auto& [name, e] : entries_) names.push_back(name);
    return names;
}

bool ArchiveReader::isFile(const std::u16string& name) {
    const Entry* e = find(name);
    return e && e->kind == FILE_ENTRY;
}

bool ArchiveReader::isDirectory(const std::u16string& name) {
    const Entry* e = find(name);
    return e && e->kind == DIRECTORY_ENTRY;
}

uint32_t ArchiveReader::getSize(const std::u16string& name) {
    const Entry* e = find(name);
    return e ? e->size : 0;
}

bool ArchiveReader::read(const std::u16string& name, uint8_t* buffer) {
    const Entry* e = find(name);
    if (!e || !source_ || !buffer || e->size == 0) return false;
    // Data that does not lie wholly inside the source is refused rather than read short.
    if (uint64_t(e->offset) + e->size > source_->getSize()) return false;
    if (!source_->seek(e->offset)) return false;
    if (source_->read(buffer, e->size) != e->size) return false;
    scramble(buffer, e->size, key_);
    return true;
}

ByteArray ArchiveReader::read(const std::u16string& name) {
    const Entry* e = find(name);
    if (!e || !source_ || e->size == 0 || uint64_t(e->offset) + e->size > source_->getSize())
        return {};
    ByteArray bytes(e->size);
    if (!read(name, bytes.data())) return {};
    return bytes;
}

ArchivePtr openArchiveFile(const std::u16string& path, std::string_view key) {
    auto source = std::make_shared<FileSource>();
    if (!source->open(path)) return nullptr;
    auto reader = std::make_shared<ArchiveReader>();
    if (!reader->open(source, key)) return nullptr;
    return reader;
}

namespace {
// Offset and size of the appended archive from the trailer at the end of the source.
bool readTrailer(ISource& exe, uint32_t& offset, uint32_t& size) {
    const uint32_t total = exe.getSize();
    if (total < kTrailerSize || !exe.seek(total - kTrailerSize)) return false;
    uint8_t trailer[kTrailerSize];
    if (exe.read(trailer, kTrailerSize) != kTrailerSize) return false;
    if (std::memcmp(trailer + 8, kLinkedDataMarker.data(), kLinkedDataMarker.size()) != 0)
        return false;
    offset = le32(trailer);
    size = le32(trailer + 4);
    return size != 0 && uint64_t(offset) + size <= total;
}
} // namespace

ArchivePtr openLinkedArchive(SourcePtr exe) {
    uint32_t offset, size;
    if (!exe || !readTrailer(*exe, offset, size) || !exe->seek(offset)) return nullptr;
    ByteArray block(size);
    if (exe->read(block.data(), size) != size) return nullptr;
    auto reader = std::make_shared<ArchiveReader>();
    if (!reader->open(MemorySource::create(std::move(block)), kBuiltinKey)) return nullptr;
    return reader;
}

ArchivePtr openLinkedArchive(const std::u16string& executablePath) {
    // The archive is read in place through a window on the file rather than copied into
    // memory: a game shipped as one file may carry far more data than it needs at once.
    FileSource exe;
    if (!exe.open(executablePath)) return nullptr;
    uint32_t offset, size;
    if (!readTrailer(exe, offset, size)) return nullptr;
    exe.close();
    auto window = std::make_shared<FileSource>();
    if (!window->open(executablePath, offset, size)) return nullptr;
    auto reader = std::make_shared<ArchiveReader>();
    if (!reader->open(window, kBuiltinKey)) return nullptr;
    return reader;
}

} // namespace Koa
