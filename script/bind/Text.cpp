#include "script/bind/Text.h"

namespace KoScript {

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
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
    return out;
}

String fromUtf8(std::string_view s) {
    String out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = s[i];
        char32_t c;
        int extra;
        if (b < 0x80)
            c = b, extra = 0;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, extra = 1;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, extra = 2;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, extra = 3;
        else {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= size_t(extra); ++j) {
            if (i + j >= s.size() || (static_cast<unsigned char>(s[i + j]) & 0xC0) != 0x80) break;
            c = (c << 6) | (static_cast<unsigned char>(s[i + j]) & 0x3F);
        }
        static const char32_t minOf[] = {0, 0x80, 0x800, 0x10000};
        if (j <= size_t(extra) || c < minOf[extra] || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\uFFFD';
            i += j; // skip the bytes that looked like part of the sequence
            continue;
        }
        i += j;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

String fromAscii(std::string_view s) {
    return String(s.begin(), s.end());
}

String format(std::u16string_view fmt, std::initializer_list<FormatArg> args) {
    String out;
    auto next = args.begin();
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == u'%' && i + 1 < fmt.size()) {
            char16_t k = fmt[i + 1];
            if (k == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if ((k == u's' || k == u'd') && next != args.end()) {
                out += (next++)->text;
                ++i;
                continue;
            }
        }
        out += fmt[i];
    }
    return out;
}

} // namespace KoScript
