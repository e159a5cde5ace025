#pragma once
#include "io/IFile.h"

namespace KoIO::Core {

// A file or directory on disk. The path is kept absolute and normalised in the internal form
// (a path holding ':' is kept as given); every operation looks the disk up anew, matching
// components case-insensitively when the exact path does not exist.
class File final : public IFile {
public:
    // Null for an empty path or one that cannot be made absolute.
    static std::shared_ptr<File> create(std::u16string_view path);
    // Relative paths are taken against baseDirectory (an absolute internal path).
    static std::shared_ptr<File> create(std::u16string_view path,
                                        std::u16string_view baseDirectory);

    bool exists() override;
    bool isFile() override;
    bool isDirectory() override;
    // A name beginning with '.'.
    bool isHidden() override;
    // No write permission for the owner.
    bool isReadOnly() override;
    std::u16string getPath() override { return path_; }
    uint32_t getSize() override;
    // Creation time cannot be set on this platform: false. It reads as the birth time where
    // the file system records one, else as the last write time.
    bool setCreationTime(FileTime time) override;
    FileTime getCreationTime() override;
    bool setLastAccessTime(FileTime time) override;
    FileTime getLastAccessTime() override;
    bool setLastWriteTime(FileTime time) override;
    FileTime getLastWriteTime() override;
    bool remove() override;
    bool makeFile() override;
    bool makeDirectory() override;
    std::shared_ptr<IIoStream> openIoStream(uint32_t options) override;
    std::shared_ptr<IInputStream> openInputStream(uint32_t options) override;
    std::shared_ptr<IOutputStream> openOutputStream(uint32_t options) override;
    FilePtr getParent() override;
    // In byte order of the names; entries whose names are not valid UTF-8 are left out.
    FileArray getChildren() override;

    explicit File(std::u16string path) : path_(std::move(path)) {}

private:
    std::string diskPath() const;
    bool setTime(FileTime time, bool access);

    std::u16string path_;
};

// Plain disk files; relative paths are taken against the current directory or against the
// base directory given at creation.
class FileStorage final : public IFileStorage {
public:
    FileStorage() = default;
    explicit FileStorage(std::u16string baseDirectory) : base_(std::move(baseDirectory)) {}
    FilePtr getFile(const std::u16string& path) override;

private:
    std::u16string base_;
};

// File times: Unix seconds and nanoseconds (UTC) to the 1601-based local count and back.
FileTime toFileTime(int64_t unixSeconds, long nanoseconds);
bool fromFileTime(FileTime time, int64_t& unixSeconds, long& nanoseconds);

} // namespace KoIO::Core
