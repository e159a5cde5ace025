#include "io/koa/KoaWriter.h"

#include "io/Encoding.h"
#include "io/Koa.h"
#include "io/Path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Koa::Writer {

namespace {

std::string errnoText() { return std::strerror(errno); }

void putLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}

std::string header() {
    std::string h(kSignature);
    h += '\0'; // not read
    std::string text(kHeaderText);
    text += '\0';
    scramble(reinterpret_cast<uint8_t*>(text.data()), text.size(), kBuiltinKey);
    return h + text;
}

// Directory blocks for entries whose data offsets are known; returns their total size.
std::string directory(const std::vector<std::string>& names, const std::vector<uint8_t>& kinds,
                      const std::vector<uint32_t>& sizes, const std::vector<uint32_t>& offsets) {
    std::string out;
    uint32_t position = kHeaderSize;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string entry;
        entry += char(kinds[i]);
        putLe32(entry, sizes[i]);
        putLe32(entry, offsets[i]);
        uint32_t length = uint32_t(kEntryNameOffset + names[i].size() + 1);
        putLe32(entry, position + 4 + length); // next block
        putLe32(entry, 0);
        entry += names[i];
        entry += '\0';
        scramble(reinterpret_cast<uint8_t*>(entry.data()), entry.size(), kBuiltinKey);
        putLe32(out, length);
        out += entry;
        position += 4 + length;
    }
    putLe32(out, 0);
    return out;
}

uint64_t directorySize(const std::vector<std::string>& names) {
    uint64_t n = kHeaderSize + 4;
    for (auto& name : names) n += 4 + kEntryNameOffset + name.size() + 1;
    return n;
}

bool writeAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= size_t(w);
    }
    return true;
}

// A temporary file beside the output, renamed over it on commit, removed otherwise.
class AtomicOutput {
public:
    explicit AtomicOutput(std::string target) : target_(std::move(target)) {}
    ~AtomicOutput() {
        if (fd_ >= 0) ::close(fd_);
        if (!temp_.empty()) unlink(temp_.c_str());
    }
    bool open(std::string& error) {
        std::string pattern = target_ + ".tmp.XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        fd_ = mkstemp(buf.data());
        if (fd_ < 0) {
            error = "cannot create '" + target_ + "': " + errnoText();
            return false;
        }
        temp_ = buf.data();
        return true;
    }
    bool write(const char* data, size_t n, std::string& error) {
        if (writeAll(fd_, data, n)) return true;
        error = "cannot write '" + target_ + "': " + errnoText();
        return false;
    }
    bool commit(mode_t mode, std::string& error) {
        if (fchmod(fd_, mode) != 0 || fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            error = "cannot write '" + target_ + "': " + errnoText();
            return false;
        }
        fd_ = -1;
        if (rename(temp_.c_str(), target_.c_str()) != 0) {
            error = "cannot create '" + target_ + "': " + errnoText();
            return false;
        }
        temp_.clear();
        return true;
    }

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

mode_t defaultMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Folders on the way down (device, inode), so that a link back up is refused, not followed
// for ever.
using FolderChain = std::vector<std::pair<dev_t, ino_t>>;

bool walk(const std::string& root, const std::string& rel, std::vector<Item>& items,
          std::string& error, FolderChain& chain) {
    std::string dir = rel.empty() ? root : root + "/" + rel;
    struct stat self;
    if (stat(dir.c_str(), &self) != 0) {
        error = "cannot read folder '" + dir + "': " + errnoText();
        return false;
    }
    for (auto& [dev, ino] : chain) {
        if (dev == self.st_dev && ino == self.st_ino) {
            error = "'" + dir + "' links back to a folder that contains it";
            return false;
        }
    }
    chain.emplace_back(self.st_dev, self.st_ino);
    DIR* d = opendir(dir.c_str());
    if (!d) {
        error = "cannot read folder '" + dir + "': " + errnoText();
        return false;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        std::string relPath = rel.empty() ? name : rel + "/" + name;
        std::string path = root + "/" + relPath;
        std::u16string wide;
        std::string cp932;
        if (name.find('\\') != std::string::npos || !KoIO::utf8ToUtf16(name, wide) ||
            !KoIO::toCp932(wide, cp932)) {
            error = "'" + path + "': the name has no code page 932 form";
            return false;
        }
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            error = "cannot read '" + path + "': " + errnoText();
            return false;
        }
        Item item;
        item.name = KoIO::normalizePath(KoIO::fromUtf8(relPath));
        item.diskPath = path;
        if (S_ISDIR(st.st_mode)) {
            item.directory = true;
            items.push_back(item);
            if (!walk(root, relPath, items, error, chain)) return false;
        } else if (S_ISREG(st.st_mode)) {
            if (uint64_t(st.st_size) > 0xFFFFFFFFu) {
                error = "'" + path + "' is too large for an archive (4 GiB and more)";
                return false;
            }
            if (access(path.c_str(), R_OK) != 0) {
                error = "cannot read '" + path + "': " + errnoText();
                return false;
            }
            item.size = uint32_t(st.st_size);
            items.push_back(item);
        } else {
            error = "'" + path + "' is not a regular file or folder";
            return false;
        }
    }
    chain.pop_back();
    return true;
}

// mkdir -p
bool makeFolders(const std::string& path, std::string& error) {
    for (size_t i = path.find('/', 1);; i = path.find('/', i + 1)) {
        std::string part = i == std::string::npos ? path : path.substr(0, i);
        if (!part.empty() && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            error = "cannot create folder '" + part + "': " + errnoText();
            return false;
        }
        if (i == std::string::npos) return true;
    }
}

ArchivePtr openAny(const std::string& path) {
    std::u16string wide = KoIO::fromPosixPath(path);
    if (auto a = openArchiveFile(wide)) return a;
    return openLinkedArchive(wide);
}

} // namespace

bool collectFolder(const std::string& folder, std::vector<Item>& items, std::string& error) {
    items.clear();
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "'" + folder + "' is not a folder";
        return false;
    }
    FolderChain chain;
    if (!walk(folder, "", items, error, chain)) return false;
    std::map<std::u16string, std::u16string> folded;
    for (const auto& item : items) {
        auto [it, added] = folded.emplace(ArchiveReader::fold(item.name), item.name);
        if (!added) {
            error = "'" + KoIO::toUtf8(it->second) + "' and '" + KoIO::toUtf8(item.name) +
                    "' differ only in case; an archive cannot tell them apart";
            return false;
        }
    }
    return true;
}

bool writeArchive(const std::vector<Item>& items, const std::string& output, std::string& error) {
    std::vector<std::string> names;
    std::vector<uint8_t> kinds;
    std::vector<uint32_t> sizes, offsets;
    for (const auto& item : items) {
        std::string name;
        if (!KoIO::toCp932(item.name, name) || name.empty() ||
            name.find('\0') != std::string::npos) {
            error = "'" + KoIO::toUtf8(item.name) + "': the name has no code page 932 form";
            return false;
        }
        names.push_back(name);
        kinds.push_back(item.directory ? DIRECTORY_ENTRY : FILE_ENTRY);
        sizes.push_back(item.directory ? 0 : item.size);
    }
    uint64_t position = directorySize(names);
    for (size_t i = 0; i < items.size(); ++i) {
        offsets.push_back(sizes[i] ? uint32_t(position) : 0);
        position += sizes[i];
        if (position > 0xFFFFFFFFu) {
            error = "the archive would reach 4 GiB";
            return false;
        }
    }

    AtomicOutput out(output);
    if (!out.open(error)) return false;
    std::string head = header() + directory(names, kinds, sizes, offsets);
    if (!out.write(head.data(), head.size(), error)) return false;
    std::vector<char> buf(1 << 20);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].directory) continue;
        const std::string& path = items[i].diskPath;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot read '" + path + "': " + errnoText();
            return false;
        }
        uint64_t done = 0;
        bool ok = true;
        while (true) {
            ssize_t n = ::read(fd, buf.data(), buf.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = "cannot read '" + path + "': " + errnoText();
                ok = false;
                break;
            }
            if (n == 0) break;
            if (done + uint64_t(n) > sizes[i]) break; // grew while packing
            scramble(reinterpret_cast<uint8_t*>(buf.data()), size_t(n), kBuiltinKey, size_t(done));
            if (!out.write(buf.data(), size_t(n), error)) {
                ok = false;
                break;
            }
            done += uint64_t(n);
        }
        ::close(fd);
        if (!ok) return false;
        if (done != sizes[i]) {
            error = "'" + path + "' changed while it was being packed";
            return false;
        }
    }
    return out.commit(defaultMode(), error);
}

std::string buildArchive(const std::vector<MemoryItem>& items) {
    std::vector<std::string> names;
    std::vector<uint8_t> kinds;
    std::vector<uint32_t> sizes, offsets;
    for (auto& item : items) {
        names.push_back(item.name);
        kinds.push_back(item.kind);
        sizes.push_back(uint32_t(item.data.size()));
    }
    uint64_t position = directorySize(names);
    for (auto& item : items) {
        offsets.push_back(uint32_t(position));
        position += item.data.size();
    }
    std::string out = header() + directory(names, kinds, sizes, offsets);
    for (auto& item : items) {
        std::string data = item.data;
        scramble(reinterpret_cast<uint8_t*>(data.data()), data.size(), kBuiltinKey);
        out += data;
    }
    return out;
}

bool appendArchive(const std::string& executable, const std::string& archive,
                   const std::string& output, std::string& error) {
    if (!openArchiveFile(KoIO::fromPosixPath(archive))) {
        error = "'" + archive + "' is not a readable archive";
        return false;
    }
    int exe = ::open(executable.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat exeStat;
    if (exe < 0 || fstat(exe, &exeStat) != 0 || !S_ISREG(exeStat.st_mode)) {
        error = "cannot read '" + executable + "': " + errnoText();
        if (exe >= 0) ::close(exe);
        return false;
    }
    std::unique_ptr<int, void (*)(int*)> exeGuard(&exe, [](int* fd) { ::close(*fd); });
    int arc = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat arcStat;
    if (arc < 0 || fstat(arc, &arcStat) != 0) {
        error = "cannot read '" + archive + "': " + errnoText();
        if (arc >= 0) ::close(arc);
        return false;
    }
    std::unique_ptr<int, void (*)(int*)> arcGuard(&arc, [](int* fd) { ::close(*fd); });

    // An archive already appended is dropped, so the copy carries only the new one.
    uint64_t keep = uint64_t(exeStat.st_size);
    if (keep >= kTrailerSize) {
        char trailer[kTrailerSize];
        if (pread(exe, trailer, kTrailerSize, off_t(keep - kTrailerSize)) == ssize_t(kTrailerSize) &&
            std::memcmp(trailer + 8, kLinkedDataMarker.data(), kLinkedDataMarker.size()) == 0) {
            uint32_t offset, size;
            std::memcpy(&offset, trailer, 4);
            std::memcpy(&size, trailer + 4, 4);
            if (uint64_t(offset) + size + kTrailerSize == keep) keep = offset;
        }
    }
    if (keep + uint64_t(arcStat.st_size) + kTrailerSize > 0xFFFFFFFFu) {
        error = "the executable with the archive would reach 4 GiB";
        return false;
    }

    AtomicOutput out(output);
    if (!out.open(error)) return false;
    std::vector<char> buf(1 << 20);
    auto copy = [&](int fd, uint64_t count, const std::string& name) {
        uint64_t done = 0;
        while (done < count) {
            ssize_t n = pread(fd, buf.data(), size_t(std::min<uint64_t>(buf.size(), count - done)),
                              off_t(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = "cannot read '" + name + "'";
                return false;
            }
            if (!out.write(buf.data(), size_t(n), error)) return false;
            done += uint64_t(n);
        }
        return true;
    };
    if (!copy(exe, keep, executable) || !copy(arc, uint64_t(arcStat.st_size), archive)) return false;
    std::string trailer;
    putLe32(trailer, uint32_t(keep));
    putLe32(trailer, uint32_t(arcStat.st_size));
    trailer += kLinkedDataMarker;
    if (!out.write(trailer.data(), trailer.size(), error)) return false;
    return out.commit(exeStat.st_mode & 07777, error);
}

bool extractArchive(const std::string& archive, const std::string& folder, std::string& error) {
    ArchivePtr reader = openAny(archive);
    if (!reader) {
        error = "'" + archive + "' is not a readable archive";
        return false;
    }
    // Every name is checked before anything is written.
    std::vector<std::pair<std::u16string, std::string>> entries;
    for (const auto& name : reader->getNames()) {
        std::string rel = KoIO::toPosixPath(KoIO::normalizePath(name));
        bool safe = !rel.empty() && rel[0] != '/';
        for (size_t i = 0; safe && i <= rel.size();) {
            size_t j = std::min(rel.find('/', i), rel.size());
            std::string part = rel.substr(i, j - i);
            if (part.empty() || part == "." || part == "..") safe = false;
            i = j + 1;
        }
        if (!safe) {
            error = "refusing entry '" + KoIO::toUtf8(name) + "': it would leave the folder";
            return false;
        }
        entries.emplace_back(name, rel);
    }
    if (!makeFolders(folder, error)) return false;
    for (const auto& [name, rel] : entries) {
        size_t slash = rel.rfind('/');
        if (slash != std::string::npos && !makeFolders(folder + "/" + rel.substr(0, slash), error))
            return false;
        std::string path = folder + "/" + rel;
        if (reader->isDirectory(name)) {
            if (!makeFolders(path, error)) return false;
            continue;
        }
        if (!reader->isFile(name)) continue;
        KoIO::ByteArray data;
        if (reader->getSize(name) > 0) {
            data = reader->read(name);
            if (data.empty()) {
                error = "cannot read entry '" + KoIO::toUtf8(name) + "': its data lies outside the archive";
                return false;
            }
        }
        AtomicOutput out(path);
        if (!out.open(error) ||
            !out.write(reinterpret_cast<const char*>(data.data()), data.size(), error) ||
            !out.commit(defaultMode(), error))
            return false;
    }
    return true;
}

bool listArchive(const std::string& archive, std::vector<std::string>& lines, std::string& error) {
    ArchivePtr reader = openAny(archive);
    if (!reader) {
        error = "'" + archive + "' is not a readable archive";
        return false;
    }
    for (const auto& name : reader->getNames()) {
        const char* kind = reader->isDirectory(name) ? "dir" : reader->isFile(name) ? "file" : "?";
        lines.push_back(std::string(kind) + " " + std::to_string(reader->getSize(name)) + " " +
                        KoIO::toUtf8(name));
    }
    return true;
}

} // namespace Koa::Writer
