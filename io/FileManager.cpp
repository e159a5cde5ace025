#include "io/FileManager.h"

#include "io/File.h"
#include "io/KoaFile.h"
#include "io/Path.h"

#include <climits>
#include <set>
#include <unistd.h>
#include <vector>

namespace KoIO {

bool FileStorageManager::addStorage(uint32_t priority, StoragePtr storage) {
    if (!storage) return false;
    storages_.emplace(priority, std::move(storage));
    return true;
}

void FileStorageManager::removeStorage(const StoragePtr& storage) {
    for (auto it = storages_.begin(); it != storages_.end(); ++it) {
        if (it->second == storage) {
            storages_.erase(it);
            return;
        }
    }
}

bool FileStorageManager::setDefaultStorage(StoragePtr storage) {
    default_ = std::move(storage);
    return true;
}

FilePtr FileStorageManager::getFile(const std::u16string& path) {
    for (auto& [priority, storage] : storages_) {
        FilePtr f = storage->getFile(path);
        if (f && f->exists()) return f;
    }
    return default_ ? default_->getFile(path) : nullptr;
}

FileArray FileStorageManager::getFiles(const std::u16string& path) {
    FileArray files;
    for (auto& [priority, storage] : storages_) {
        FilePtr f = storage->getFile(path);
        if (f && f->exists()) files.push_back(std::move(f));
    }
    if (default_)
        if (FilePtr f = default_->getFile(path)) files.push_back(std::move(f));
    return files;
}

// ManagedFile: every operation resolves anew.
bool ManagedFile::exists() {
    FilePtr f = resolve();
    return f && f->exists();
}

#define KO_FORWARD(expr, none)                                                                    \
    FilePtr f = resolve();                                                                        \
    return f ? f->expr : none

bool ManagedFile::isFile() { KO_FORWARD(isFile(), false); }
bool ManagedFile::isDirectory() { KO_FORWARD(isDirectory(), false); }
bool ManagedFile::isHidden() { KO_FORWARD(isHidden(), false); }
bool ManagedFile::isReadOnly() { KO_FORWARD(isReadOnly(), false); }
uint32_t ManagedFile::getSize() { KO_FORWARD(getSize(), 0); }
bool ManagedFile::setCreationTime(FileTime t) { KO_FORWARD(setCreationTime(t), false); }
FileTime ManagedFile::getCreationTime() { KO_FORWARD(getCreationTime(), 0); }
bool ManagedFile::setLastAccessTime(FileTime t) { KO_FORWARD(setLastAccessTime(t), false); }
FileTime ManagedFile::getLastAccessTime() { KO_FORWARD(getLastAccessTime(), 0); }
bool ManagedFile::setLastWriteTime(FileTime t) { KO_FORWARD(setLastWriteTime(t), false); }
FileTime ManagedFile::getLastWriteTime() { KO_FORWARD(getLastWriteTime(), 0); }
bool ManagedFile::remove() { KO_FORWARD(remove(), false); }
bool ManagedFile::makeFile() { KO_FORWARD(makeFile(), false); }
bool ManagedFile::makeDirectory() { KO_FORWARD(makeDirectory(), false); }
std::shared_ptr<IIoStream> ManagedFile::openIoStream(uint32_t o) {
    KO_FORWARD(openIoStream(o), nullptr);
}
std::shared_ptr<IInputStream> ManagedFile::openInputStream(uint32_t o) {
    KO_FORWARD(openInputStream(o), nullptr);
}
std::shared_ptr<IOutputStream> ManagedFile::openOutputStream(uint32_t o) {
    KO_FORWARD(openOutputStream(o), nullptr);
}

FilePtr ManagedFile::getParent() {
    std::u16string parent = getParentPath(path_);
    if (parent.empty()) return nullptr;
    return std::make_shared<ManagedFile>(manager_, normalizePath(parent));
}

FileArray ManagedFile::getChildren() {
    std::set<std::u16string> names;
    for (auto& candidate : manager_->getFiles(path_))
        for (auto& child : candidate->getChildren()) names.insert(getName(child->getPath()));
    FileArray children;
    for (const auto& name : names)
        children.push_back(std::make_shared<ManagedFile>(manager_, normalizePath(path_ + u"\\" + name)));
    return children;
}

// FileManager forwards to a managed file.
bool FileManager::setStorageManager(StorageManagerPtr manager) {
    if (!manager) return false;
    manager_ = std::move(manager);
    return true;
}

FilePtr FileManager::getFile(const std::u16string& path) {
    if (!manager_) return nullptr;
    return std::make_shared<ManagedFile>(manager_, path);
}

#define KO_MANAGED(path, expr, none)                                                              \
    FilePtr f = getFile(path);                                                                    \
    return f ? f->expr : none

bool FileManager::exists(const std::u16string& p) { KO_MANAGED(p, exists(), false); }
bool FileManager::isFile(const std::u16string& p) { KO_MANAGED(p, isFile(), false); }
bool FileManager::isDirectory(const std::u16string& p) { KO_MANAGED(p, isDirectory(), false); }
bool FileManager::isHidden(const std::u16string& p) { KO_MANAGED(p, isHidden(), false); }
bool FileManager::isReadOnly(const std::u16string& p) { KO_MANAGED(p, isReadOnly(), false); }
uint32_t FileManager::getSize(const std::u16string& p) { KO_MANAGED(p, getSize(), 0); }
bool FileManager::setCreationTime(const std::u16string& p, FileTime t) {
    KO_MANAGED(p, setCreationTime(t), false);
}
FileTime FileManager::getCreationTime(const std::u16string& p) {
    KO_MANAGED(p, getCreationTime(), 0);
}
bool FileManager::setLastAccessTime(const std::u16string& p, FileTime t) {
    KO_MANAGED(p, setLastAccessTime(t), false);
}
FileTime FileManager::getLastAccessTime(const std::u16string& p) {
    KO_MANAGED(p, getLastAccessTime(), 0);
}
bool FileManager::setLastWriteTime(const std::u16string& p, FileTime t) {
    KO_MANAGED(p, setLastWriteTime(t), false);
}
FileTime FileManager::getLastWriteTime(const std::u16string& p) {
    KO_MANAGED(p, getLastWriteTime(), 0);
}
std::shared_ptr<IIoStream> FileManager::openIoStream(const std::u16string& p, uint32_t o) {
    KO_MANAGED(p, openIoStream(o), nullptr);
}
std::shared_ptr<IInputStream> FileManager::openInputStream(const std::u16string& p, uint32_t o) {
    KO_MANAGED(p, openInputStream(o), nullptr);
}
std::shared_ptr<IOutputStream> FileManager::openOutputStream(const std::u16string& p,
                                                             uint32_t o) {
    KO_MANAGED(p, openOutputStream(o), nullptr);
}

uint32_t archivePriority(const std::u16string& name) {
    if (name.empty() || name[0] < u'0' || name[0] > u'9') return 0;
    uint64_t n = 0;
    for (char16_t c : name) {
        if (c < u'0' || c > u'9') break;
        n = n * 10 + uint64_t(c - u'0');
        if (n >= kMaxNumberedArchivePriority) return kMaxNumberedArchivePriority;
    }
    return uint32_t(n) + 1;
}

FileManagerPtr buildFileManager(const std::u16string& directory, const std::u16string& executable,
                                bool relativeToCurrentDirectory) {
    std::u16string dir = normalizePath(directory);
    auto dirFile = Core::File::create(dir);
    if (!dirFile || !dirFile->isDirectory()) return nullptr;
    dir = dirFile->getPath();

    auto disk = [&]() -> StoragePtr {
        if (relativeToCurrentDirectory) return std::make_shared<Core::FileStorage>();
        return std::make_shared<Core::FileStorage>(dir);
    };
    auto manager = std::make_shared<FileStorageManager>();
    manager->setDefaultStorage(disk());

    for (auto& child : dirFile->getChildren()) {
        std::u16string path = child->getPath();
        if (getExtension(path) != u"koa" || !child->isFile()) continue;
        auto reader = Koa::openArchiveFile(path);
        if (!reader) continue;
        manager->addStorage(archivePriority(getNameWithoutExtension(path)),
                            std::make_shared<KoaFileStorage>(reader));
    }
    if (!executable.empty())
        if (auto linked = Koa::openLinkedArchive(normalizePath(executable)))
            manager->addStorage(kLinkedArchivePriority, std::make_shared<KoaFileStorage>(linked));
    manager->addStorage(kDiskPriority, disk());
    return std::make_shared<FileManager>(manager);
}

std::u16string getExecutablePath() {
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    return fromPosixPath(std::string_view(buf.data(), size_t(n)));
}

namespace {
FileManagerPtr& processFileManager() {
    static FileManagerPtr manager;
    return manager;
}
} // namespace

void setFileManager(FileManagerPtr manager) { processFileManager() = std::move(manager); }

FileManagerPtr getFileManager() {
    FileManagerPtr& manager = processFileManager();
    if (!manager) {
        std::u16string exe = getExecutablePath();
        std::u16string dir = getParentPath(normalizePath(exe));
        if (!dir.empty()) manager = buildFileManager(dir, exe, true);
    }
    return manager;
}

} // namespace KoIO
