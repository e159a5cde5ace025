#pragma once
#include "io/IFile.h"

#include <functional>
#include <map>

namespace KoIO {

// Storages by priority, highest first; equal priorities answer in the order they were added.
// A default storage answers last, for files that do not exist anywhere yet.
class FileStorageManager final : public IFileStorageManager {
public:
    bool addStorage(uint32_t priority, StoragePtr storage) override;
    void removeStorage(const StoragePtr& storage) override;
    void clearStorages() override { storages_.clear(); }
    bool setDefaultStorage(StoragePtr storage) override;
    StoragePtr getDefaultStorage() override { return default_; }
    // The first existing file in priority order, else the default storage's file.
    FilePtr getFile(const std::u16string& path) override;
    // Every storage's existing file in priority order, then the default storage's file.
    FileArray getFiles(const std::u16string& path) override;

private:
    StoragePtr default_;
    std::multimap<uint32_t, StoragePtr, std::greater<uint32_t>> storages_;
};

// A path resolved across the storages again on every operation.
class ManagedFile final : public IFile {
public:
    ManagedFile(StorageManagerPtr manager, std::u16string path)
        : manager_(std::move(manager)), path_(std::move(path)) {}

    bool exists() override;
    bool isFile() override;
    bool isDirectory() override;
    bool isHidden() override;
    bool isReadOnly() override;
    std::u16string getPath() override { return path_; }
    uint32_t getSize() override;
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
    // The union of the children in every storage that holds the directory, each name once,
    // in UTF-16 code unit order.
    FileArray getChildren() override;

private:
    FilePtr resolve() { return manager_->getFile(path_); }

    StorageManagerPtr manager_;
    std::u16string path_;
};

class FileManager final : public IFileManager {
public:
    FileManager() = default;
    explicit FileManager(StorageManagerPtr manager) : manager_(std::move(manager)) {}

    bool setStorageManager(StorageManagerPtr manager) override;
    StorageManagerPtr getStorageManager() override { return manager_; }
    FilePtr getFile(const std::u16string& path) override;
    bool exists(const std::u16string& path) override;
    bool isFile(const std::u16string& path) override;
    bool isDirectory(const std::u16string& path) override;
    bool isHidden(const std::u16string& path) override;
    bool isReadOnly(const std::u16string& path) override;
    uint32_t getSize(const std::u16string& path) override;
    bool setCreationTime(const std::u16string& path, FileTime time) override;
    FileTime getCreationTime(const std::u16string& path) override;
    bool setLastAccessTime(const std::u16string& path, FileTime time) override;
    FileTime getLastAccessTime(const std::u16string& path) override;
    bool setLastWriteTime(const std::u16string& path, FileTime time) override;
    FileTime getLastWriteTime(const std::u16string& path) override;
    std::shared_ptr<IIoStream> openIoStream(const std::u16string& path,
                                            uint32_t options) override;
    std::shared_ptr<IInputStream> openInputStream(const std::u16string& path,
                                                  uint32_t options) override;
    std::shared_ptr<IOutputStream> openOutputStream(const std::u16string& path,
                                                    uint32_t options) override;

private:
    StorageManagerPtr manager_;
};

// Storage priorities of a built file manager.
constexpr uint32_t kLinkedArchivePriority = 0xFFFFF;
constexpr uint32_t kDiskPriority = 0xFFFFE;
// Archives named after a number N get N + 1, never more than this, so that the disk and the
// appended archive always come first.
constexpr uint32_t kMaxNumberedArchivePriority = 0xFFFFD;

// Priority of an archive beside the executable, from its file name without extension.
uint32_t archivePriority(const std::u16string& nameWithoutExtension);

// Builds a file manager the way the process-wide one is built: the archive appended to
// `executable`, the disk, then every "*.koa" in `directory`, then the disk again as default.
// Relative paths are taken against `directory`, or against the current directory when
// relativeToCurrentDirectory is set. Null when `directory` is not an existing directory.
// Paths are internal (or POSIX) absolute paths.
FileManagerPtr buildFileManager(const std::u16string& directory, const std::u16string& executable,
                                bool relativeToCurrentDirectory = false);

// The process-wide file manager over the executable's directory, built on first use; null
// when building fails (tried again on the next call).
FileManagerPtr getFileManager();
// Replaces the process-wide file manager (the runner uses one over the game folder when the
// game is not beside the executable).
void setFileManager(FileManagerPtr manager);

// The running executable's path in internal form (empty when unknown).
std::u16string getExecutablePath();

} // namespace KoIO
