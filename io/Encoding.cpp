#include "io/Encoding.h"

#include "io/Path.h"
#include "io/Utf.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace KoIO {

namespace {

// One conversion descriptor per direction and thread, opened on first use.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != iconv_t(-1); }
    // Converts the whole input; false on any error.
    bool convert(const char* in, size_t inBytes, char* out, size_t outRoom, size_t& written) {
        if (!ok()) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in);
        char* op = out;
        size_t il = inBytes, ol = outRoom;
        if (iconv(cd_, &ip, &il, &op, &ol) == size_t(-1) || il != 0) return false;
        if (iconv(cd_, nullptr, nullptr, &op, &ol) == size_t(-1)) return false;
        written = outRoom - ol;
        return true;
    }

private:
    iconv_t cd_;
};

Iconv& cp932ToUtf16() {
    thread_local Iconv cd("UTF-16LE", "CP932");
    return cd;
}
Iconv& utf16ToCp932() {
    thread_local Iconv cd("CP932", "UTF-16LE");
    return cd;
}

bool isLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Single bytes iconv rejects but the Windows code page maps.
bool windowsSingle(uint8_t b, char16_t& c) {
    switch (b) {
    case 0x80: c = 0x0080; return true;
    case 0xA0: c = 0xF8F0; return true;
    case 0xFD: c = 0xF8F1; return true;
    case 0xFE: c = 0xF8F2; return true;
    case 0xFF: c = 0xF8F3; return true;
    }
    return false;
}

// Two-byte characters through iconv, remembered per thread: text is decoded a character at a
// time, and the same few hundred characters come back again and again.
bool decodePair(uint8_t lead, uint8_t trail, char16_t& unit) {
    constexpr uint32_t kKnown = 0x10000, kInvalid = 0x20000;
    thread_local std::vector<uint32_t> memo(0x10000);
    uint32_t& m = memo[uint32_t(lead) << 8 | trail];
    if (m == 0) {
        char in[2] = {char(lead), char(trail)};
        char buf[8];
        size_t w = 0;
        if (cp932ToUtf16().convert(in, 2, buf, sizeof buf, w) && w == 2)
            m = kKnown | uint32_t(uint8_t(buf[0]) | (uint8_t(buf[1]) << 8));
        else
            m = kInvalid;
    }
    if (m & kInvalid) return false;
    unit = char16_t(m & 0xFFFF);
    return true;
}

bool decodeCp932(const uint8_t* s, size_t n, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < n;) {
        uint8_t b = s[i];
        char16_t c;
        if (b < 0x80) {
            out += char16_t(b);
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            out += char16_t(0xFF61 + (b - 0xA1));
            ++i;
        } else if (windowsSingle(b, c)) {
            out += c;
            ++i;
        } else if (isLeadByte(b)) {
            if (i + 1 >= n) return false;
            uint8_t t = s[i + 1];
            if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
            char16_t unit;
            if (!decodePair(b, t, unit)) return false;
            out += unit;
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Encodes one character (one unit, or a surrogate pair given as two); false when code page
// 932 has no form for it.
bool encodeCp932Char(const char16_t* u, size_t units, std::string& out) {
    char16_t c = u[0];
    if (units == 1) {
        if (c < 0x80) {
            out += char(c);
            return true;
        }
        if (c >= 0xFF61 && c <= 0xFF9F) {
            out += char(0xA1 + (c - 0xFF61));
            return true;
        }
        static const char16_t singles[] = {0x0080, 0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3};
        static const uint8_t bytes[] = {0x80, 0xA0, 0xFD, 0xFE, 0xFF};
        for (int k = 0; k < 5; ++k)
            if (c == singles[k]) {
                out += char(bytes[k]);
                return true;
            }
        if (c >= 0xD800 && c <= 0xDFFF) return false;
    }
    char in[4], buf[8];
    for (size_t k = 0; k < units; ++k) {
        in[2 * k] = char(u[k] & 0xFF);
        in[2 * k + 1] = char(u[k] >> 8);
    }
    size_t w = 0;
    if (!utf16ToCp932().convert(in, units * 2, buf, sizeof buf, w) || w == 0) return false;
    out.append(buf, w);
    return true;
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::u16string unitsOf(const void* s, uint32_t sb) {
    std::u16string text(sb / 2, u'\0');
    std::memcpy(text.data(), s, (sb / 2) * 2);
    return text;
}

uint32_t put(void* d, uint32_t db, const void* data, size_t bytes) {
    if (bytes == 0 || bytes > db) return 0;
    std::memcpy(d, data, bytes);
    return uint32_t(bytes);
}

bool badArgs(void* d, uint32_t db, const void* s, uint32_t sb) { return !d || !db || !s || !sb; }

uint32_t copyUnits(void* d, uint32_t db, const void* s, uint32_t sb, bool bigEndian) {
    uint32_t n = (db < sb ? db : sb) & ~1u;
    auto* out = static_cast<uint8_t*>(d);
    auto* in = static_cast<const uint8_t*>(s);
    for (uint32_t i = 0; i < n; i += 2) {
        uint16_t v = bigEndian ? uint16_t(in[i] << 8 | in[i + 1]) : uint16_t(in[i] | in[i + 1] << 8);
        std::memcpy(out + i, &v, 2); // machine order
    }
    return n;
}

uint32_t unitsToBytes(void* d, uint32_t db, const void* s, uint32_t sb, bool bigEndian) {
    uint32_t n = (db < sb ? db : sb) & ~1u;
    auto* out = static_cast<uint8_t*>(d);
    auto* in = static_cast<const uint8_t*>(s);
    for (uint32_t i = 0; i < n; i += 2) {
        uint16_t v;
        std::memcpy(&v, in + i, 2);
        out[i] = uint8_t(bigEndian ? v >> 8 : v);
        out[i + 1] = uint8_t(bigEndian ? v : v >> 8);
    }
    return n;
}

} // namespace

bool fromCp932(std::string_view bytes, std::u16string& out) {
    return decodeCp932(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

bool toCp932(std::u16string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        size_t units = isHigh(text[i]) && i + 1 < text.size() && isLow(text[i + 1]) ? 2 : 1;
        if (!encodeCp932Char(text.data() + i, units, out)) return false;
        i += units - 1;
    }
    return true;
}

uint32_t ShiftJisDecoder::decode(void* d, uint32_t db, const void* s, uint32_t sb) {
    if (badArgs(d, db, s, sb)) return 0;
    // One ASCII byte, by far the most common call from the stream reader.
    if (sb == 1 && *static_cast<const uint8_t*>(s) < 0x80 && db >= 2) {
        char16_t c = *static_cast<const uint8_t*>(s);
        std::memcpy(d, &c, 2);
        return 2;
    }
    std::u16string text;
    if (!decodeCp932(static_cast<const uint8_t*>(s), sb, text)) return 0;
    return put(d, db, text.data(), text.size() * 2);
}

uint32_t ShiftJisEncoder::encode(void* d, uint32_t db, const void* s, uint32_t sb) {
    if (badArgs(d, db, s, sb)) return 0;
    std::u16string text = unitsOf(s, sb);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t units = isHigh(text[i]) && i + 1 < text.size() && isLow(text[i + 1]) ? 2 : 1;
        if (!encodeCp932Char(text.data() + i, units, out)) out += '?';
        i += units - 1;
    }
    return put(d, db, out.data(), out.size());
}

uint32_t Utf8Decoder::decode(void* d, uint32_t db, const void* s, uint32_t sb) {
    if (badArgs(d, db, s, sb)) return 0;
    std::u16string text;
    if (!utf8ToUtf16(std::string_view(static_cast<const char*>(s), sb), text)) return 0;
    return put(d, db, text.data(), text.size() * 2);
}

uint32_t Utf8Encoder::encode(void* d, uint32_t db, const void* s, uint32_t sb) {
    if (badArgs(d, db, s, sb)) return 0;
    std::string out = toUtf8(unitsOf(s, sb));
    return put(d, db, out.data(), out.size());
}

uint32_t Utf16DecoderLE::decode(void* d, uint32_t db, const void* s, uint32_t sb) {
    return badArgs(d, db, s, sb) ? 0 : copyUnits(d, db, s, sb, false);
}
uint32_t Utf16DecoderBE::decode(void* d, uint32_t db, const void* s, uint32_t sb) {
    return badArgs(d, db, s, sb) ? 0 : copyUnits(d, db, s, sb, true);
}
uint32_t Utf16EncoderLE::encode(void* d, uint32_t db, const void* s, uint32_t sb) {
    return badArgs(d, db, s, sb) ? 0 : unitsToBytes(d, db, s, sb, false);
}
uint32_t Utf16EncoderBE::encode(void* d, uint32_t db, const void* s, uint32_t sb) {
    return badArgs(d, db, s, sb) ? 0 : unitsToBytes(d, db, s, sb, true);
}

uint32_t Utf16Decoder::decode(void* d, uint32_t db, const void* s, uint32_t sb) {
    if (badArgs(d, db, s, sb) || sb < 2) return 0;
    auto* b = static_cast<const uint8_t*>(s);
    bool le = b[0] == 0xFF && b[1] == 0xFE;
    bool be = b[0] == 0xFE && b[1] == 0xFF;
    if (le || be) {
        if (sb < 4) return 0;
        if (le) inner_ = std::make_shared<Utf16DecoderLE>();
        else inner_ = std::make_shared<Utf16DecoderBE>();
        return inner_->decode(d, db, b + 2, sb - 2);
    }
    return inner_->decode(d, db, s, sb);
}

DecoderPtr createDecoder(int encoding) {
    switch (encoding) {
    case SHIFT_JIS: return std::make_shared<ShiftJisDecoder>();
    case UTF8: return std::make_shared<Utf8Decoder>();
    case UTF16: return std::make_shared<Utf16Decoder>();
    case UTF16LE: return std::make_shared<Utf16DecoderLE>();
    case UTF16BE: return std::make_shared<Utf16DecoderBE>();
    }
    return nullptr;
}

EncoderPtr createEncoder(int encoding) {
    switch (encoding) {
    case SHIFT_JIS: return std::make_shared<ShiftJisEncoder>();
    case UTF8: return std::make_shared<Utf8Encoder>();
    case UTF16: return std::make_shared<Utf16EncoderBE>();
    case UTF16LE: return std::make_shared<Utf16EncoderLE>();
    case UTF16BE: return std::make_shared<Utf16EncoderBE>();
    }
    return nullptr;
}

Encoding detectScriptEncoding(std::string_view bytes, size_t& markBytes) {
    markBytes = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        markBytes = 3;
        return UTF8;
    }
    return isUtf8WithNonAscii(bytes) ? UTF8 : SHIFT_JIS;
}

} // namespace KoIO
