#pragma once
#include "io/IFile.h"
#include "io/Koa.h"

namespace KoIO {

// An archive as a read-only storage.
class KoaFileStorage final : public IFileStorage {
public:
    explicit KoaFileStorage(Koa::ArchivePtr reader) : reader_(std::move(reader)) {}
    // Never null; whether the file exists is asked through exists().
    FilePtr getFile(const std::u16string& path) override;

private:
    Koa::ArchivePtr reader_;
};

class KoaFile final : public IFile {
public:
    KoaFile(Koa::ArchivePtr reader, std::u16string path)
        : reader_(std::move(reader)), path_(std::move(path)) {}

    bool exists() override { return reader_->exists(path_); }
    bool isFile() override { return reader_->isFile(path_); }
    bool isDirectory() override { return reader_->isDirectory(path_); }
    bool isHidden() override { return false; }
    bool isReadOnly() override { return true; }
    std::u16string getPath() override { return path_; }
    uint32_t getSize() override { return reader_->getSize(path_); }
    bool setCreationTime(FileTime) override { return false; }
    FileTime getCreationTime() override { return 0; }
    bool setLastAccessTime(FileTime) override { return false; }
    FileTime getLastAccessTime() override { return 0; }
    bool setLastWriteTime(FileTime) override { return false; }
    FileTime getLastWriteTime() override { return 0; }
    bool remove() override { return false; }
    bool makeFile() override { return false; }
    bool makeDirectory() override { return false; }
    std::shared_ptr<IIoStream> openIoStream(uint32_t) override { return nullptr; }
    // Null unless a file; an empty file gives a stream that is closed from the start. Null
    // too when the data cannot be read (it lies outside the archive).
    std::shared_ptr<IInputStream> openInputStream(uint32_t options) override;
    std::shared_ptr<IOutputStream> openOutputStream(uint32_t) override { return nullptr; }
    FilePtr getParent() override;
    FileArray getChildren() override;

private:
    Koa::ArchivePtr reader_;
    std::u16string path_;
};

// One archived file's unscrambled data.
class KoaInputStream final : public IInputStream {
public:
    explicit KoaInputStream(ByteArray data) : data_(std::move(data)) {}
    void close() override {
        data_.clear();
        data_.shrink_to_fit();
        cursor_ = 0;
    }
    bool isClosed() override { return data_.empty(); }
    bool setCursor(uint32_t p) override;
    uint32_t getCursor() override { return cursor_; }
    uint32_t getLength() override { return uint32_t(data_.size()); }
    uint32_t getRemaining() override;
    int peek() override;
    uint32_t read(uint8_t* buffer, uint32_t count) override;
    int readByte() override;
    using IInputStream::read;

private:
    uint32_t cursor_ = 0;
    ByteArray data_;
};

} // namespace KoIO
