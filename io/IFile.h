#pragma once
#include "io/IStream.h"

#include <memory>
#include <string>
#include <vector>

namespace KoIO {

class IFile;
using FilePtr = std::shared_ptr<IFile>;
using FileArray = std::vector<FilePtr>;

class IFile {
public:
    virtual ~IFile() = default;
    virtual bool exists() = 0;
    virtual bool isFile() = 0;
    virtual bool isDirectory() = 0;
    virtual bool isHidden() = 0;
    virtual bool isReadOnly() = 0;
    virtual std::u16string getPath() = 0;
    virtual uint32_t getSize() = 0;
    virtual bool setCreationTime(FileTime time) = 0;
    virtual FileTime getCreationTime() = 0;
    virtual bool setLastAccessTime(FileTime time) = 0;
    virtual FileTime getLastAccessTime() = 0;
    virtual bool setLastWriteTime(FileTime time) = 0;
    virtual FileTime getLastWriteTime() = 0;
    virtual bool remove() = 0;
    virtual bool makeFile() = 0;
    virtual bool makeDirectory() = 0;
    virtual std::shared_ptr<IIoStream> openIoStream(uint32_t options) = 0;
    virtual std::shared_ptr<IInputStream> openInputStream(uint32_t options) = 0;
    virtual std::shared_ptr<IOutputStream> openOutputStream(uint32_t options) = 0;
    virtual FilePtr getParent() = 0;
    virtual FileArray getChildren() = 0;
};

class IFileStorage {
public:
    virtual ~IFileStorage() = default;
    // A file object for the path, whether or not it exists; null when none can be made.
    virtual FilePtr getFile(const std::u16string& path) = 0;
};
using StoragePtr = std::shared_ptr<IFileStorage>;

class IFileStorageManager {
public:
    virtual ~IFileStorageManager() = default;
    virtual bool addStorage(uint32_t priority, StoragePtr storage) = 0;
    virtual void removeStorage(const StoragePtr& storage) = 0;
    virtual void clearStorages() = 0;
    virtual bool setDefaultStorage(StoragePtr storage) = 0;
    virtual StoragePtr getDefaultStorage() = 0;
    virtual FilePtr getFile(const std::u16string& path) = 0;
    virtual FileArray getFiles(const std::u16string& path) = 0;
};
using StorageManagerPtr = std::shared_ptr<IFileStorageManager>;

class IFileManager {
public:
    virtual ~IFileManager() = default;
    virtual bool setStorageManager(StorageManagerPtr manager) = 0;
    virtual StorageManagerPtr getStorageManager() = 0;
    virtual FilePtr getFile(const std::u16string& path) = 0;
    virtual bool exists(const std::u16string& path) = 0;
    virtual bool isFile(const std::u16string& path) = 0;
    virtual bool isDirectory(const std::u16string& path) = 0;
    virtual bool isHidden(const std::u16string& path) = 0;
    virtual bool isReadOnly(const std::u16string& path) = 0;
    virtual uint32_t getSize(const std::u16string& path) = 0;
    virtual bool setCreationTime(const std::u16string& path, FileTime time) = 0;
    virtual FileTime getCreationTime(const std::u16string& path) = 0;
    virtual bool setLastAccessTime(const std::u16string& path, FileTime time) = 0;
    virtual FileTime getLastAccessTime(const std::u16string& path) = 0;
    virtual bool setLastWriteTime(const std::u16string& path, FileTime time) = 0;
    virtual FileTime getLastWriteTime(const std::u16string& path) = 0;
    virtual std::shared_ptr<IIoStream> openIoStream(const std::u16string& path,
                                                    uint32_t options) = 0;
    virtual std::shared_ptr<IInputStream> openInputStream(const std::u16string& path,
                                                          uint32_t options) = 0;
    virtual std::shared_ptr<IOutputStream> openOutputStream(const std::u16string& path,
                                                            uint32_t options) = 0;
};
using FileManagerPtr = std::shared_ptr<IFileManager>;

} // namespace KoIO
