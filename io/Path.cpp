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

bool utf16ToUtf8(std::u16string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        uint32_t c = in[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c >= 0xDC00 || i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (in[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return true;
}

namespace {
// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid or incomplete.
size_t utf8Sequence(std::string_view s, size_t i, uint32_t& cp) {
    auto b = [&](size_t k) { return uint8_t(s[i + k]); };
    uint8_t c = b(0);
    size_t n;
    uint32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

void appendUnit(std::u16string& out, uint32_t cp) {
    if (cp < 0x10000) {
        out += char16_t(cp);
    } else {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
    }
}
} // namespace

bool utf8ToUtf16(std::string_view in, std::u16string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        uint32_t cp;
        size_t n = utf8Sequence(in, i, cp);
        if (!n) return false;
        appendUnit(out, cp);
        i += n;
    }
    return true;
}

std::string toUtf8(std::u16string_view in) {
    std::string out;
    if (utf16ToUtf8(in, out)) return out;
    std::u16string fixed(in);
    for (size_t i = 0; i < fixed.size(); ++i) {
        char16_t c = fixed[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < fixed.size() && fixed[i + 1] >= 0xDC00 &&
            fixed[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            fixed[i] = 0xFFFD;
        }
    }
    utf16ToUtf8(fixed, out);
    return out;
}

std::u16string fromUtf8(std::string_view in) {
    std::u16string out;
    for (size_t i = 0; i < in.size();) {
        uint32_t cp;
        size_t n = utf8Sequence(in, i, cp);
        if (!n) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        appendUnit(out, cp);
        i += n;
    }
    return out;
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
