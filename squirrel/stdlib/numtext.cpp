// Numbers as text with the Windows C runtime's printf rules: exact decimal digits, rounding,
// fixed and exponent forms, padding of a field.
#include "squirrel/stdlib/numtext.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sqstd {

void append_ascii(std::u16string& out, const char* s) {
    while (*s) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s++)));
}

namespace {

// Lays out [sign/prefix][zeros][body] in the field width.
void pad_field(std::u16string& out, const FmtSpec& spec, const std::string& prefix,
               const std::u16string& body, bool zero_pad) {
    size_t len = prefix.size() + body.size();
    size_t fill = spec.width > 0 && static_cast<size_t>(spec.width) > len
                      ? static_cast<size_t>(spec.width) - len
                      : 0;
    if (spec.left) {
        append_ascii(out, prefix.c_str());
        out += body;
        out.append(fill, u' ');
    } else if (zero_pad) {
        append_ascii(out, prefix.c_str());
        out.append(fill, u'0');
        out += body;
    } else {
        out.append(fill, u' ');
        append_ascii(out, prefix.c_str());
        out += body;
    }
}

std::u16string widen(const std::string& s) {
    std::u16string r;
    r.reserve(s.size());
    for (char c : s) r.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return r;
}

// Decimal digits of a finite, non-negative value: `digits` holds the
// significant digits (possibly empty = zero), the first one weighing 10^exp.
struct Decimal {
    std::string digits;
    int exp = 0;
};

// The 17 significant digits the runtime works from.
Decimal digits17(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.16e", v); // d.dddddddddddddddde[+-]XX
    Decimal d;
    d.digits.push_back(buf[0]);
    d.digits.append(buf + 2, 16);
    d.exp = std::atoi(buf + 19);
    return d;
}

// Keeps `n` significant digits, rounding half up on the digit string.
// n may be 0 or negative (everything is rounded away) or more than 17 (zeros).
Decimal round_to(const Decimal& in, int n) {
    Decimal d = in;
    if (n < 0) {
        d.digits.clear();
        return d;
    }
    if (static_cast<size_t>(n) >= d.digits.size()) {
        d.digits.append(static_cast<size_t>(n) - d.digits.size(), '0');
        return d;
    }
    bool up = d.digits[static_cast<size_t>(n)] >= '5';
    d.digits.resize(static_cast<size_t>(n));
    if (up) {
        int i = n - 1;
        while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') {
            d.digits[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp;
            if (n > 0) d.digits.pop_back();
        }
    }
    return d;
}

// Digit of weight 10^w.
char digit_at(const Decimal& d, int w) {
    long idx = static_cast<long>(d.exp) - w;
    if (idx < 0 || idx >= static_cast<long>(d.digits.size())) return '0';
    return d.digits[static_cast<size_t>(idx)];
}

std::string fixed_text(const Decimal& d, int prec, bool alt) {
    std::string s;
    int top = d.exp > 0 ? d.exp : 0;
    for (int w = top; w >= 0; --w) s.push_back(digit_at(d, w));
    if (prec > 0 || alt) s.push_back('.');
    for (int w = -1; w >= -prec; --w) s.push_back(digit_at(d, w));
    return s;
}

std::string exp_text(const Decimal& d, int prec, bool alt, bool upper) {
    std::string s;
    s.push_back(d.digits.empty() ? '0' : d.digits[0]);
    if (prec > 0 || alt) s.push_back('.');
    for (int i = 1; i <= prec; ++i)
        s.push_back(static_cast<size_t>(i) < d.digits.size() ? d.digits[static_cast<size_t>(i)]
                                                             : '0');
    bool zero = d.digits.empty() || d.digits.find_first_not_of('0') == std::string::npos;
    int e = zero ? 0 : d.exp;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%c%03d", upper ? 'E' : 'e', e < 0 ? '-' : '+',
                  e < 0 ? -e : e);
    s += buf;
    return s;
}

void strip_zeros(std::string& s) {
    size_t dot = s.find('.');
    if (dot == std::string::npos) return;
    size_t end = s.find_first_of("eE", dot);
    std::string tail = end == std::string::npos ? std::string() : s.substr(end);
    std::string head = end == std::string::npos ? s : s.substr(0, end);
    while (!head.empty() && head.back() == '0') head.pop_back();
    if (!head.empty() && head.back() == '.') head.pop_back();
    s = head + tail;
}

} // namespace

void put_int(std::u16string& out, const FmtSpec& spec, bool neg, uint64_t mag) {
    unsigned base = 10;
    const char* dig = "0123456789abcdef";
    switch (spec.conv) {
    case 'o':
        base = 8;
        break;
    case 'x':
        base = 16;
        break;
    case 'X':
        base = 16;
        dig = "0123456789ABCDEF";
        break;
    default:
        break;
    }
    std::string digits;
    for (uint64_t m = mag; m != 0; m /= base) digits.insert(digits.begin(), dig[m % base]);
    if (digits.empty() && spec.prec != 0) digits = "0";
    if (spec.prec > 0 && digits.size() < static_cast<size_t>(spec.prec))
        digits.insert(digits.begin(), static_cast<size_t>(spec.prec) - digits.size(), '0');
    if (spec.alt && base == 8 && (digits.empty() || digits[0] != '0')) digits.insert(0, "0");

    std::string prefix;
    bool is_signed = spec.conv == 'd' || spec.conv == 'i';
    if (is_signed) {
        if (neg)
            prefix = "-";
        else if (spec.plus)
            prefix = "+";
        else if (spec.space)
            prefix = " ";
    }
    if (spec.alt && base == 16 && mag != 0) prefix += spec.conv == 'X' ? "0X" : "0x";
    pad_field(out, spec, prefix, widen(digits), spec.zero && !spec.left && spec.prec < 0);
}

void put_float(std::u16string& out, const FmtSpec& spec, double value) {
    bool neg = std::signbit(value);
    std::string prefix;
    if (neg)
        prefix = "-";
    else if (spec.plus)
        prefix = "+";
    else if (spec.space)
        prefix = " ";

    if (!std::isfinite(value)) {
        std::string body = std::isinf(value) ? "1.#INF" : neg ? "1.#IND" : "1.#QNAN";
        pad_field(out, spec, prefix, widen(body), false);
        return;
    }

    double mag = std::fabs(value);
    Decimal d = digits17(mag);
    int prec = spec.prec < 0 ? 6 : spec.prec;
    bool upper = spec.conv == 'E' || spec.conv == 'G';
    std::string body;
    switch (spec.conv) {
    case 'e':
    case 'E':
        body = exp_text(round_to(d, prec + 1), prec, spec.alt, upper);
        break;
    case 'g':
    case 'G': {
        int p = spec.prec < 0 ? 6 : spec.prec == 0 ? 1 : spec.prec;
        Decimal r = round_to(d, p);
        bool zero = mag == 0.0;
        int x = zero ? 0 : r.exp;
        if (x < -4 || x >= p)
            body = exp_text(r, p - 1, spec.alt, upper);
        else
            body = fixed_text(r, p - 1 - x, spec.alt);
        if (!spec.alt) strip_zeros(body);
        break;
    }
    default: // f F
        body = fixed_text(mag == 0.0 ? Decimal{std::string(), 0} : round_to(d, d.exp + 1 + prec),
                          prec, spec.alt);
        break;
    }
    pad_field(out, spec, prefix, widen(body), spec.zero && !spec.left);
}

void put_text(std::u16string& out, const FmtSpec& spec, const char16_t* s, size_t n) {
    if (spec.prec >= 0 && n > static_cast<size_t>(spec.prec)) n = static_cast<size_t>(spec.prec);
    pad_field(out, spec, std::string(), std::u16string(s, n), spec.zero && !spec.left);
}

} // namespace sqstd
