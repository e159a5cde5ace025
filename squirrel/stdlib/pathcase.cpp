// Script paths written on Windows: `\` as a separator, case-insensitive lookup of each missing
// part, and the resolver hook a host can put in place of the built-in one.
#include "squirrel/stdlib/pathcase.h"

#include <sqstdio.h>

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

namespace sqstd {

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.empty() ? "." : p.c_str(), &st) == 0;
}

bool same_ignoring_case(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

// Entry of folder `dir` matching `name` without regard to case, or "".
std::string find_entry(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::string();
    std::string found;
    while (struct dirent* e = ::readdir(d)) {
        // The first match in byte order, whatever order the folder lists its entries in.
        if (same_ignoring_case(name, e->d_name) && (found.empty() || found > e->d_name))
            found = e->d_name;
    }
    ::closedir(d);
    return found;
}

SQFILENAMERESOLVER g_resolver = nullptr;

std::string builtin_resolve(const std::string& path, bool may_be_new);

} // namespace

std::string resolve_path(const std::string& path, bool may_be_new) {
    if (SQFILENAMERESOLVER r = g_resolver) {
        std::string out(path.size() + 256, '\0');
        while (true) {
            if (r(path.c_str(), may_be_new ? SQTrue : SQFalse, out.data(),
                  static_cast<SQInteger>(out.size()))) {
                out.resize(std::char_traits<char>::length(out.data()));
                return out;
            }
            if (out.size() > (1u << 20)) return path; // a resolver that never fits
            out.resize(out.size() * 2);
        }
    }
    return builtin_resolve(path, may_be_new);
}

namespace {

std::string builtin_resolve(const std::string& path, bool may_be_new) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    if (p.empty() || exists(p)) return p;

    std::vector<std::string> parts;
    size_t start = 0;
    bool absolute = p[0] == '/';
    for (size_t i = 0; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            if (i > start) parts.push_back(p.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string cur = absolute ? "/" : "";
    for (size_t k = 0; k < parts.size(); ++k) {
        const std::string& part = parts[k];
        std::string next = cur.empty() || cur.back() == '/' ? cur + part : cur + "/" + part;
        bool last = k + 1 == parts.size();
        if (part != "." && part != ".." && !exists(next)) {
            std::string alt = find_entry(cur, part);
            if (alt.empty()) {
                if (last && may_be_new) return next; // a file about to be created
                return p; // nothing to find: the caller reports the failure
            }
            next = cur.empty() || cur.back() == '/' ? cur + alt : cur + "/" + alt;
        }
        cur = next;
    }
    return cur;
}

} // namespace

} // namespace sqstd

extern "C" void sqstd_setfilenameresolver(SQFILENAMERESOLVER resolver) {
    sqstd::g_resolver = resolver;
}
