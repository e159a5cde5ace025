#include "io/Path.h"

#include <climits>
#include <unistd.h>
#include <vector>

namespace KoIO {

namespace {
constexpr size_t kMaxPath = PATH_MAX;

size_t lastSeparator(std::u16string_view p) { return p.rfind(u'\\'); }
} // namespace

std::u16string normalizePath(std::u16string_view path) {
    std::u16string r(path);
    for (auto& c : r)
        if (c == u'/') c = u'\\';
    if (!r.empty() && r.back() == u'\\') r.pop_back();
    return r;
}

std::u16string getParentPath(std::u16string_view path) {
    size_t i = lastSeparator(path);
    return i == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, i));
}

std::u16string getName(std::u16string_view path) {
    size_t i = lastSeparator(path);
    return std::u16string(i == std::u16string_view::npos ? path : path.substr(i + 1));
}

std::u16string getNameWithoutExtension(std::u16string_view path) {
    std::u16string name = getName(path);
    size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.resize(dot);
    return name;
}

std::u16string getExtension(std::u16string_view path) {
    size_t dot = path.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(dot + 1));
}

std::u16string getChildPath(std::u16string_view parent, std::u16string_view name) {
    if (name.find(u':') != std::u16string_view::npos) return {};
    std::u16string p(parent);
    p += u'\\';
    p += name;
    return normalizePath(p);
}

std::u16string getCurrentDirectory() {
    std::vector<char> buf(kMaxPath + 1);
    if (!getcwd(buf.data(), buf.size())) return {};
    return fromPosixPath(buf.data());
}

std::u16string getAbsolutePath(std::u16string_view path) {
    if (path.empty()) return {};
    if (path[0] == u'\\' || path[0] == u'/') return getAbsolutePath(path, u"\\");
    return getAbsolutePath(path, getCurrentDirectory());
}

std::u16string getAbsolutePath(std::u16string_view path, std::u16string_view base) {
    if (path.empty()) return {};
    std::u16string full;
    if (path[0] == u'\\' || path[0] == u'/') {
        full = path;
    } else {
        if (base.empty()) return {};
        full = base;
        full += u'\\';
        full += path;
    }
    // Fold ".", ".." and empty components.
    std::vector<std::u16string_view> parts;
    std::u16string_view rest(full);
    while (!rest.empty()) {
        size_t i = rest.find_first_of(u"\\/");
        std::u16string_view part = rest.substr(0, i);
        rest = i == std::u16string_view::npos ? std::u16string_view() : rest.substr(i + 1);
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::u16string r;
    for (auto part : parts) {
        r += u'\\';
        r += part;
    }
    if (r.empty()) r = u"\\";
    if (r.size() > kMaxPath) return {};
    return r;
}

std::string toPosixPath(std::u16string_view path) {
    std::string out;
    if (!utf16ToUtf8(path, out) || out.find('\0') != std::string::npos) return {};
    for (auto& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::u16string fromPosixPath(std::string_view path) {
    std::u16string out = fromUtf8(path);
    for (auto& c : out)
        if (c == u'/') c = u'\\';
    return out;
}

} // namespace KoIO
