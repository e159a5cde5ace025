#pragma once
#include "io/Types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Koa {

using KoIO::ByteArray;

// The key every archive of this system is scrambled with.
constexpr std::string_view kBuiltinKey = "qorvtemn";
// Last 32 bytes of an executable that carries an archive.
constexpr std::string_view kLinkedDataMarker = "@KOPLAYHOST_USE_LINKEDDATA_BLOCK";
constexpr std::string_view kSignature{"KOA\0", 4};
constexpr std::string_view kHeaderText = "Korvan Archive File";
constexpr uint32_t kHeaderSize = 25;
constexpr uint32_t kEntryNameOffset = 17;
constexpr uint32_t kTrailerSize = 40;

enum EntryKind : uint8_t { FILE_ENTRY = 0, DIRECTORY_ENTRY = 1 };

// b[i] ^= k[i mod n] + n, the index starting at 0 for each block; its own inverse.
void scramble(uint8_t* data, size_t size, std::string_view key, size_t startIndex = 0);

class ISource {
public:
    virtual ~ISource() = default;
    virtual void close() = 0;
    // False when nothing is open or position >= getSize().
    virtual bool seek(uint32_t position) = 0;
    virtual uint32_t tell() = 0;
    virtual uint32_t getSize() = 0;
    virtual uint32_t read(uint8_t* buffer, uint32_t count) = 0;
};
using SourcePtr = std::shared_ptr<ISource>;

// A disk file, or a window of one (the archive inside an executable).
class FileSource final : public ISource {
public:
    ~FileSource() override { close(); }
    // Files of 4 GiB and more are refused.
    bool open(const std::u16string& path);
    // The bytes [offset, offset + size) of the file, seen as a source of its own.
    bool open(const std::u16string& path, uint32_t offset, uint32_t size);
    void close() override;
    bool seek(uint32_t position) override;
    uint32_t tell() override { return fd_ < 0 ? 0 : position_; }
    uint32_t getSize() override { return fd_ < 0 ? 0 : size_; }
    uint32_t read(uint8_t* buffer, uint32_t count) override;

private:
    int fd_ = -1;
    uint64_t base_ = 0;
    uint32_t size_ = 0;
    uint32_t position_ = 0;
};

// A copy of a memory block.
class MemorySource final : public ISource {
public:
    // Null for a null pointer or a size of 0.
    static std::shared_ptr<MemorySource> create(const uint8_t* data, size_t size);
    static std::shared_ptr<MemorySource> create(ByteArray bytes);
    explicit MemorySource(ByteArray bytes) : bytes_(std::move(bytes)) {}

    void close() override;
    bool seek(uint32_t position) override;
    uint32_t tell() override { return position_; }
    uint32_t getSize() override { return uint32_t(bytes_.size()); }
    uint32_t read(uint8_t* buffer, uint32_t count) override;

private:
    uint32_t position_ = 0;
    ByteArray bytes_;
};

class IArchiveReader {
public:
    virtual ~IArchiveReader() = default;
    virtual void close() = 0;
    virtual bool exists(const std::u16string& name) = 0;
    virtual uint32_t getCount() = 0;
    virtual std::vector<std::u16string> getNames() = 0;
    virtual bool isFile(const std::u16string& name) = 0;
    virtual bool isDirectory(const std::u16string& name) = 0;
    virtual uint32_t getSize(const std::u16string& name) = 0;
    virtual ByteArray read(const std::u16string& name) = 0;
    // buffer must hold getSize(name) bytes.
    virtual bool read(const std::u16string& name, uint8_t* buffer) = 0;
    virtual bool open(SourcePtr source, std::string_view key) = 0;
};
using ArchivePtr = std::shared_ptr<IArchiveReader>;

// Reads the directory into memory at open; file data is read and unscrambled whole, on
// demand. Names are matched ignoring the case of ASCII letters, '/' and '\' alike; of names
// that differ only so, the first in UTF-16 order answers. Hostile input is refused without
// reading outside the source: a short or wrong header fails the open; the directory ends at
// a truncated block, an entry too short to hold its fields and a terminated name, or a block
// that overlaps one already read (which also ends loops in the next-entry chain); names that
// are not code page 932 are skipped; a file whose data lies outside the source reads as
// failed.
class ArchiveReader final : public IArchiveReader {
public:
    void close() override;
    bool exists(const std::u16string& name) override { return find(name) != nullptr; }
    uint32_t getCount() override { return uint32_t(entries_.size()); }
    std::vector<std::u16string> getNames() override;
    bool isFile(const std::u16string& name) override;
    bool isDirectory(const std::u16string& name) override;
    uint32_t getSize(const std::u16string& name) override;
    ByteArray read(const std::u16string& name) override;
    bool read(const std::u16string& name, uint8_t* buffer) override;
    bool open(SourcePtr source, std::string_view key) override;

    struct Entry {
        uint8_t kind = 0;
        uint32_t size = 0;
        uint32_t offset = 0;
    };
    // Folds a name for lookup: '/' becomes '\', 'a'-'z' become 'A'-'Z'.
    static std::u16string fold(std::u16string_view name);

private:
    const Entry* find(const std::u16string& name) const;

    SourcePtr source_;
    std::string key_;
    std::map<std::u16string, Entry> entries_;
    std::unordered_map<std::u16string, const Entry*> folded_;
};

// An archive file with the built-in key; null when it does not open.
ArchivePtr openArchiveFile(const std::u16string& path, std::string_view key = kBuiltinKey);
// The archive appended to an executable (found by the trailer at its end); null when there
// is none or it does not open.
ArchivePtr openLinkedArchive(const std::u16string& executablePath);
// The same over any source holding an executable image.
ArchivePtr openLinkedArchive(SourcePtr executable);

} // namespace Koa
