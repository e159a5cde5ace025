// format() of the string library without a VM: walks the format string, takes each argument
// through a callback, and converts floats to integers the way x86 does.
#include "squirrel/stdlib/scriptformat.h"

#include <cmath>

#include "squirrel/stdlib/numtext.h"

namespace sqstd {

int32_t float_to_int32(double f) {
    if (!(f > -2147483649.0 && f < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(f);
}

const char* script_format(const char16_t* fmt, size_t len, FormatArgFn get, void* ctx,
                          std::u16string& out) {
    for (size_t z = 0; z < len; ++z)
        if (fmt[z] == 0) {
            len = z;
            break;
        }
    // The longest specification accepted, from '%' to the conversion letter.
    constexpr size_t kMaxSpec = 22;
    // The longest text made, as long as the VM's longest string.
    constexpr size_t kMaxOutput = size_t(1) << 26;
    int next = 0;
    size_t i = 0;
    while (i < len) {
        if (fmt[i] != u'%') {
            out.push_back(fmt[i++]);
            continue;
        }
        if (i + 1 < len && fmt[i + 1] == u'%') {
            out.push_back(u'%');
            i += 2;
            continue;
        }
        FormatArg arg;
        if (!get(ctx, next, arg)) return "not enough paramters for the given format string";
        size_t start = i++;
        FmtSpec spec;
        for (; i < len; ++i) {
            char16_t c = fmt[i];
            if (c == u'-')
                spec.left = true;
            else if (c == u'+')
                spec.plus = true;
            else if (c == u' ')
                spec.space = true;
            else if (c == u'#')
                spec.alt = true;
            else if (c == u'0')
                spec.zero = true;
            else
                break;
        }
        size_t nd = 0;
        while (i < len && fmt[i] >= u'0' && fmt[i] <= u'9') {
            spec.width = spec.width * 10 + (fmt[i] - u'0');
            ++i;
            if (++nd > 2) return "width format too long";
        }
        if (i < len && fmt[i] == u'.') {
            ++i;
            spec.prec = 0;
            nd = 0;
            while (i < len && fmt[i] >= u'0' && fmt[i] <= u'9') {
                spec.prec = spec.prec * 10 + (fmt[i] - u'0');
                ++i;
                if (++nd > 2) return "precision format too long";
            }
        }
        if (i - start + 1 > kMaxSpec) return "format too long";
        char16_t conv = i < len ? fmt[i] : 0;
        spec.conv = static_cast<char>(conv);
        switch (conv) {
        case u'd':
        case u'i':
        case u'c':
        case u'o':
        case u'u':
        case u'x':
        case u'X': {
            int32_t v;
            if (arg.kind == FormatArg::Integer)
                v = arg.i;
            else if (arg.kind == FormatArg::Float)
                v = float_to_int32(arg.f);
            else
                return "integer expected for the specified format";
            if (conv == u'c') {
                char16_t ch = static_cast<char16_t>(v);
                spec.prec = -1; // a precision does not cut a character
                put_text(out, spec, &ch, 1);
            } else if (conv == u'd' || conv == u'i') {
                put_int(out, spec, v < 0,
                        v < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(v))
                              : static_cast<uint64_t>(v));
            } else {
                put_int(out, spec, false, static_cast<uint32_t>(v));
            }
            break;
        }
        case u'e':
        case u'E':
        case u'f':
        case u'g':
        case u'G': {
            double v;
            if (arg.kind == FormatArg::Float)
                v = arg.f;
            else if (arg.kind == FormatArg::Integer)
                v = arg.i;
            else
                return "float expected for the specified format";
            put_float(out, spec, v);
            break;
        }
        case u's': {
            if (arg.kind != FormatArg::String) return "string expected for the specified format";
            size_t n = 0;
            while (n < arg.n && arg.s[n]) ++n;
            put_text(out, spec, arg.s, n);
            break;
        }
        default:
            return "invalid format";
        }
        if (out.size() > kMaxOutput) return "not enough memory";
        ++i;
        ++next;
    }
    return nullptr;
}

} // namespace sqstd
