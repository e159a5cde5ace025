#pragma once
// UTF-8 <-> UTF-16 at the program's edges (file names on disk, the terminal, SDL's texts,
// script bytes). Header-only and standard-library-only, so every part can use it without
// linking the IO library. The strict forms fail on lone surrogates or invalid UTF-8; the
// lossy forms put U+FFFD there, one per bad byte or lone surrogate.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace KoIO {

// Decodes one strict UTF-8 sequence (no overlong forms, no surrogates, at most U+10FFFF) at
// s[i]; returns its length, 0 when invalid or incomplete.
inline size_t decodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    auto b = [&](size_t k) { return uint8_t(s[i + k]); };
    uint8_t c = b(0);
    size_t n;
    char32_t min;
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

inline void appendUtf8(std::string& out, char32_t c) {
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

inline void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += char16_t(cp);
    } else {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
    }
}

// The code point at in[i] and the number of units it takes (2 for a surrogate pair); a lone
// surrogate gives `lone` with 1.
inline size_t decodeUtf16(std::u16string_view in, size_t i, char32_t& cp, char32_t lone) {
    char32_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
        return 2;
    }
    cp = (c >= 0xD800 && c <= 0xDFFF) ? lone : c;
    return 1;
}

inline bool utf16ToUtf8(std::u16string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        char32_t cp;
        i += decodeUtf16(in, i, cp, 0xFFFFFFFF);
        if (cp == 0xFFFFFFFF) return false;
        appendUtf8(out, cp);
    }
    return true;
}

inline bool utf8ToUtf16(std::string_view in, std::u16string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        char32_t cp;
        size_t n = decodeUtf8(in, i, cp);
        if (!n) return false;
        appendUtf16(out, cp);
        i += n;
    }
    return true;
}

inline std::string toUtf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        char32_t cp;
        i += decodeUtf16(in, i, cp, 0xFFFD);
        appendUtf8(out, cp);
    }
    return out;
}

inline std::u16string fromUtf8(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        char32_t cp;
        size_t n = decodeUtf8(in, i, cp);
        if (!n) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += n;
    }
    return out;
}

// Valid UTF-8 with at least one non-ASCII character: how a script file written on Linux is
// told from Shift_JIS, whose Japanese text practically never passes.
inline bool isUtf8WithNonAscii(std::string_view s) {
    bool nonAscii = false;
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        size_t n = decodeUtf8(s, i, cp);
        if (!n) return false;
        nonAscii |= n > 1;
        i += n;
    }
    return nonAscii;
}

} // namespace KoIO
