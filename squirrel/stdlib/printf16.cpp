// printf over UTF-16 text (sqstd_vsnprintf, sqstd::formatf) for print functions and error
// reports; numbers are written by numtext.
#include <sqstdprintf.h>

#include <cstdint>
#include <cstring>

#include "squirrel/internal/utf16.h"
#include "squirrel/stdlib/numtext.h"

namespace sqstd {

namespace {

// Field widths and precisions beyond this come from broken formats, not from
// text anyone wants; they are clamped so that a bad '*' cannot exhaust memory.
constexpr int kMaxField = 65536;

int clamp_field(long v) {
    return v > kMaxField ? kMaxField : static_cast<int>(v);
}

} // namespace

void vappendf(std::u16string& out, const SQChar* fmt, va_list args) {
    if (!fmt) return;
    va_list ap;
    va_copy(ap, args);
    const SQChar* p = fmt;
    while (*p) {
        if (*p != u'%') {
            out.push_back(*p++);
            continue;
        }
        const SQChar* start = p++;
        FmtSpec spec;
        for (;; ++p) {
            if (*p == u'-')
                spec.left = true;
            else if (*p == u'+')
                spec.plus = true;
            else if (*p == u' ')
                spec.space = true;
            else if (*p == u'#')
                spec.alt = true;
            else if (*p == u'0')
                spec.zero = true;
            else
                break;
        }
        if (*p == u'*') {
            int w = va_arg(ap, int);
            if (w < 0) {
                spec.left = true;
                w = w == INT32_MIN ? kMaxField : -w;
            }
            spec.width = clamp_field(w);
            ++p;
        } else {
            long w = 0;
            for (; *p >= u'0' && *p <= u'9'; ++p)
                if (w <= kMaxField) w = w * 10 + (*p - u'0');
            spec.width = clamp_field(w);
        }
        if (*p == u'.') {
            ++p;
            if (*p == u'*') {
                int pr = va_arg(ap, int);
                spec.prec = pr < 0 ? -1 : clamp_field(pr);
                ++p;
            } else {
                long pr = 0;
                for (; *p >= u'0' && *p <= u'9'; ++p)
                    if (pr <= kMaxField) pr = pr * 10 + (*p - u'0');
                spec.prec = clamp_field(pr);
            }
        }
        int len = 0; // 0 int, 1 h, 2 hh, 3 l, 4 ll, 5 size_t, 6 intmax, 7 ptrdiff, 8 L
        if (*p == u'h') {
            ++p;
            len = 1;
            if (*p == u'h') {
                ++p;
                len = 2;
            }
        } else if (*p == u'l') {
            ++p;
            len = 3;
            if (*p == u'l') {
                ++p;
                len = 4;
            }
        } else if (*p == u'z') {
            ++p;
            len = 5;
        } else if (*p == u'j') {
            ++p;
            len = 6;
        } else if (*p == u't') {
            ++p;
            len = 7;
        } else if (*p == u'L') {
            ++p;
            len = 8;
        }
        SQChar c = *p;
        if (c == 0) { // format ends inside a specification: copy it
            out.append(start, p);
            break;
        }
        ++p;
        spec.conv = static_cast<char>(c);
        switch (c) {
        case u'd':
        case u'i': {
            int64_t v;
            switch (len) {
            case 1:
                v = static_cast<short>(va_arg(ap, int));
                break;
            case 2:
                v = static_cast<signed char>(va_arg(ap, int));
                break;
            case 3:
                v = va_arg(ap, long);
                break;
            case 4:
                v = va_arg(ap, long long);
                break;
            case 5:
                v = static_cast<int64_t>(va_arg(ap, ptrdiff_t));
                break;
            case 6:
                v = va_arg(ap, intmax_t);
                break;
            case 7:
                v = va_arg(ap, ptrdiff_t);
                break;
            default:
                v = va_arg(ap, int);
                break;
            }
            uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            put_int(out, spec, v < 0, mag);
            break;
        }
        case u'u':
        case u'o':
        case u'x':
        case u'X': {
            uint64_t v;
            switch (len) {
            case 1:
                v = static_cast<unsigned short>(va_arg(ap, unsigned));
                break;
            case 2:
                v = static_cast<unsigned char>(va_arg(ap, unsigned));
                break;
            case 3:
                v = va_arg(ap, unsigned long);
                break;
            case 4:
                v = va_arg(ap, unsigned long long);
                break;
            case 5:
                v = va_arg(ap, size_t);
                break;
            case 6:
                v = va_arg(ap, uintmax_t);
                break;
            case 7:
                v = static_cast<uint64_t>(va_arg(ap, ptrdiff_t));
                break;
            default:
                v = va_arg(ap, unsigned);
                break;
            }
            put_int(out, spec, false, v);
            break;
        }
        case u'c': {
            char16_t ch = static_cast<char16_t>(va_arg(ap, int));
            spec.prec = -1; // a precision does not cut a character
            put_text(out, spec, &ch, 1);
            break;
        }
        case u's': {
            if (len == 1 || len == 2) {
                const char* s = va_arg(ap, const char*);
                std::u16string w = from_utf8(s ? s : "(null)");
                put_text(out, spec, w.data(), w.size());
            } else {
                const SQChar* s = va_arg(ap, const SQChar*);
                if (!s) s = u"(null)";
                size_t n = 0;
                // Only look as far as the precision allows: the text need not end in 0.
                while ((spec.prec < 0 || n < static_cast<size_t>(spec.prec)) && s[n]) ++n;
                put_text(out, spec, s, n);
            }
            break;
        }
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G': {
            double v = len == 8 ? static_cast<double>(va_arg(ap, long double)) : va_arg(ap, double);
            put_float(out, spec, v);
            break;
        }
        case u'p': {
            uintptr_t v = reinterpret_cast<uintptr_t>(va_arg(ap, void*));
            FmtSpec ps = spec;
            ps.conv = 'X';
            ps.prec = 8;
            ps.alt = false;
            put_int(out, ps, false, v);
            break;
        }
        case u'%':
            out.push_back(u'%');
            break;
        default: // unknown (including %n): copied, no argument taken
            out.append(start, p);
            break;
        }
    }
    va_end(ap);
}

std::u16string formatf(const SQChar* fmt, ...) {
    std::u16string out;
    va_list ap;
    va_start(ap, fmt);
    vappendf(out, fmt, ap);
    va_end(ap);
    return out;
}

} // namespace sqstd

extern "C" SQInteger sqstd_vsnprintf(SQChar* buf, SQInteger size, const SQChar* fmt, va_list args) {
    std::u16string out;
    sqstd::vappendf(out, fmt, args);
    if (buf && size > 0) {
        size_t n =
            out.size() < static_cast<size_t>(size) ? out.size() : static_cast<size_t>(size) - 1;
        std::memcpy(buf, out.data(), n * sizeof(SQChar));
        buf[n] = 0;
    }
    return out.size() > INT32_MAX ? INT32_MAX : static_cast<SQInteger>(out.size());
}

extern "C" SQInteger sqstd_snprintf(SQChar* buf, SQInteger size, const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    SQInteger r = sqstd_vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return r;
}
