#include "io/File.h"

#include "io/DiskPath.h"
#include "io/FileStream.h"
#include "io/Path.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KoIO::Core {

namespace {
constexpr int64_t kSeconds1601To1970 = 11644473600LL;
constexpr uint64_t kTicksPerSecond = 10000000ULL;

bool statPath(const std::string& p, struct stat& st) { return !p.empty() && stat(p.c_str(), &st) == 0; }

std::ios_base::openmode withOptions(std::ios_base::openmode base, uint32_t options) {
    if (options & TRUNCATE) base |= std::ios_base::trunc;
    if (options & END) base |= std::ios_base::ate;
    if (options & APPEND) base |= std::ios_base::app;
    return base;
}

template <class T>
std::shared_ptr<T> openStream(const std::u16string& path, std::ios_base::openmode mode) {
    auto s = std::make_shared<FileStream>();
    if (!s->open(path, mode)) return nullptr;
    return s;
}
} // namespace

FileTime toFileTime(int64_t unixSeconds, long nanoseconds) {
    time_t t = time_t(unixSeconds);
    struct tm lt;
    if (!localtime_r(&t, &lt)) return 0;
    int64_t local = unixSeconds + lt.tm_gmtoff + kSeconds1601To1970;
    if (local < 0) return 0;
    return uint64_t(local) * kTicksPerSecond + uint64_t(nanoseconds) / 100;
}

bool fromFileTime(FileTime time, int64_t& unixSeconds, long& nanoseconds) {
    if (time == 0) return false;
    time_t local = time_t(int64_t(time / kTicksPerSecond) - kSeconds1601To1970);
    struct tm tm;
    if (!gmtime_r(&local, &tm)) return false;
    tm.tm_isdst = -1;
    time_t utc = mktime(&tm);
    if (utc == time_t(-1) && local != time_t(-1)) return false;
    unixSeconds = utc;
    nanoseconds = long(time % kTicksPerSecond) * 100;
    return true;
}

std::shared_ptr<File> File::create(std::u16string_view path) {
    if (path.empty()) return nullptr;
    if (path.find(u':') != std::u16string_view::npos)
        return std::make_shared<File>(std::u16string(path));
    std::u16string abs = getAbsolutePath(path);
    if (abs.empty()) return nullptr;
    return std::make_shared<File>(std::move(abs));
}

std::shared_ptr<File> File::create(std::u16string_view path, std::u16string_view base) {
    if (path.empty()) return nullptr;
    if (path.find(u':') != std::u16string_view::npos)
        return std::make_shared<File>(std::u16string(path));
    std::u16string abs = getAbsolutePath(path, base);
    if (abs.empty()) return nullptr;
    return std::make_shared<File>(std::move(abs));
}

std::string File::diskPath() const { return Disk::resolve(toPosixPath(path_)); }

bool File::exists() {
    struct stat st;
    return statPath(diskPath(), st);
}

bool File::isFile() {
    struct stat st;
    return statPath(diskPath(), st) && !S_ISDIR(st.st_mode);
}

bool File::isDirectory() {
    struct stat st;
    return statPath(diskPath(), st) && S_ISDIR(st.st_mode);
}

bool File::isHidden() {
    std::u16string name = getName(path_);
    return !name.empty() && name[0] == u'.' && exists();
}

bool File::isReadOnly() {
    struct stat st;
    return statPath(diskPath(), st) && !(st.st_mode & S_IWUSR);
}

uint32_t File::getSize() {
    struct stat st;
    if (!statPath(diskPath(), st) || S_ISDIR(st.st_mode)) return 0;
    return uint32_t(uint64_t(st.st_size) & 0xFFFFFFFFu);
}

bool File::setCreationTime(FileTime) { return false; }

FileTime File::getCreationTime() {
    std::string p = diskPath();
    if (p.empty()) return 0;
    struct statx sx;
    if (statx(AT_FDCWD, p.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return 0;
    if (sx.stx_mask & STATX_BTIME) return toFileTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    return toFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
}

FileTime File::getLastAccessTime() {
    struct stat st;
    if (!statPath(diskPath(), st)) return 0;
    return toFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
}

FileTime File::getLastWriteTime() {
    struct stat st;
    if (!statPath(diskPath(), st)) return 0;
    return toFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

bool File::setTime(FileTime time, bool access) {
    int64_t s;
    long ns;
    if (!fromFileTime(time, s, ns)) return false;
    std::string p = diskPath();
    struct stat st;
    if (!statPath(p, st)) return false;
    struct timespec ts[2];
    ts[0].tv_nsec = ts[1].tv_nsec = UTIME_OMIT;
    ts[access ? 0 : 1].tv_sec = time_t(s);
    ts[access ? 0 : 1].tv_nsec = ns;
    return utimensat(AT_FDCWD, p.c_str(), ts, 0) == 0;
}

bool File::setLastAccessTime(FileTime time) { return setTime(time, true); }
bool File::setLastWriteTime(FileTime time) { return setTime(time, false); }

bool File::remove() {
    std::string p = diskPath();
    struct stat st;
    if (!statPath(p, st)) return true;
    bool ok = S_ISDIR(st.st_mode) ? rmdir(p.c_str()) == 0 : unlink(p.c_str()) == 0;
    Disk::invalidate(Disk::parentOf(p));
    return ok;
}

bool File::makeFile() {
    if (exists()) return isFile();
    FilePtr parent = getParent();
    if (!parent || !parent->makeDirectory()) return false;
    std::string p = diskPath();
    if (p.empty()) return false;
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    Disk::invalidate(Disk::parentOf(p));
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool File::makeDirectory() {
    if (exists()) return isDirectory();
    FilePtr parent = getParent();
    if (parent && !parent->exists() && !parent->makeDirectory()) return false;
    std::string p = diskPath();
    if (p.empty()) return false;
    bool ok = mkdir(p.c_str(), 0777) == 0;
    Disk::invalidate(Disk::parentOf(p));
    return ok;
}

std::shared_ptr<IIoStream> File::openIoStream(uint32_t options) {
    using std::ios_base;
    return openStream<IIoStream>(path_, withOptions(ios_base::in | ios_base::out, options));
}

std::shared_ptr<IInputStream> File::openInputStream(uint32_t options) {
    return openStream<IInputStream>(path_, withOptions(std::ios_base::in, options));
}

std::shared_ptr<IOutputStream> File::openOutputStream(uint32_t options) {
    return openStream<IOutputStream>(path_, withOptions(std::ios_base::out, options));
}

FilePtr File::getParent() {
    std::u16string parent = getParentPath(path_);
    if (parent.empty()) return nullptr;
    return std::make_shared<File>(std::move(parent));
}

FileArray File::getChildren() {
    FileArray children;
    std::string p = diskPath();
    struct stat st;
    if (!statPath(p, st) || !S_ISDIR(st.st_mode)) return children;
    DIR* d = opendir(p.c_str());
    if (!d) return children;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        // A '\' inside a name cannot be told from a separator here.
        if (name == "." || name == ".." || name.find('\\') != std::string::npos) continue;
        names.push_back(std::move(name));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        std::u16string wide;
        if (!utf8ToUtf16(name, wide)) continue;
        std::u16string child = path_ == u"\\" ? path_ + wide : path_ + u"\\" + wide;
        children.push_back(std::make_shared<File>(std::move(child)));
    }
    return children;
}

FilePtr FileStorage::getFile(const std::u16string& path) {
    return base_.empty() ? File::create(path) : File::create(path, base_);
}

} // namespace KoIO::Core
