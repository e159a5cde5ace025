#include "io/DiskPath.h"

#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace KoIO::Disk {

namespace {

struct Listing {
    struct timespec mtime {};
    dev_t dev = 0;
    ino_t ino = 0;
    std::unordered_set<std::string> names;
    std::unordered_map<std::string, std::string> folded; // folded name -> first name
};

constexpr size_t kMaxCachedDirectories = 512;

std::mutex gMutex;
std::unordered_map<std::string, Listing> gCache;

std::string fold(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

bool sameStamp(const Listing& l, const struct stat& st) {
    return l.dev == st.st_dev && l.ino == st.st_ino && l.mtime.tv_sec == st.st_mtim.tv_sec &&
           l.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

// The cached listing of a directory, refreshed when it changed; null when it cannot be read.
const Listing* listing(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        gCache.erase(dir);
        return nullptr;
    }
    auto it = gCache.find(dir);
    if (it != gCache.end() && sameStamp(it->second, st)) return &it->second;
    DIR* d = opendir(dir.c_str());
    if (!d) return nullptr;
    Listing l;
    l.mtime = st.st_mtim;
    l.dev = st.st_dev;
    l.ino = st.st_ino;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        auto [f, inserted] = l.folded.emplace(fold(name), name);
        if (!inserted && name < f->second) f->second = name;
        l.names.insert(std::move(name));
    }
    closedir(d);
    if (gCache.size() >= kMaxCachedDirectories) gCache.clear();
    return &(gCache[dir] = std::move(l));
}

bool existsExactly(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

std::string join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir == "/") return "/" + name;
    return dir + "/" + name;
}

} // namespace

std::string parentOf(const std::string& p) {
    size_t i = p.find_last_of('/');
    if (i == std::string::npos) return ".";
    if (i == 0) return "/";
    return p.substr(0, i);
}

std::string resolve(const std::string& path) {
    if (path.empty() || existsExactly(path)) return path;

    bool absolute = path[0] == '/';
    std::vector<std::string> parts;
    for (size_t i = 0; i <= path.size();) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) parts.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    if (parts.empty()) return path;

    // Longest prefix of whole components that exists as it is written.
    auto prefix = [&](size_t n) {
        std::string p = absolute ? "/" : "";
        for (size_t k = 0; k < n; ++k) {
            if (k > 0) p.push_back('/');
            p.append(parts[k]);
        }
        return p.empty() ? std::string(".") : p;
    };
    size_t known = parts.size() - 1;
    std::string cur;
    while (true) {
        cur = prefix(known);
        if (known == 0 || existsExactly(cur)) break;
        --known;
    }
    if (known == 0 && !absolute) cur.assign(1, '.');

    std::lock_guard lock(gMutex);
    size_t k = known;
    for (; k < parts.size(); ++k) {
        const Listing* l = listing(cur);
        if (!l) break;
        const std::string& part = parts[k];
        std::string next;
        if (l->names.count(part)) {
            next = part;
        } else {
            auto f = l->folded.find(fold(part));
            if (f == l->folded.end()) break;
            next = f->second;
        }
        cur = (cur == "." && !absolute) ? next : join(cur, next);
    }
    for (; k < parts.size(); ++k) cur = (cur == "." && !absolute) ? parts[k] : join(cur, parts[k]);
    return cur;
}

void invalidate(const std::string& directory) {
    std::lock_guard lock(gMutex);
    gCache.erase(directory);
}

} // namespace KoIO::Disk
