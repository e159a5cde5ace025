#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace KoIO {

// Encoding numbers, the values scripts see as IO.Encoding.
enum Encoding : int {
    SHIFT_JIS = 1,
    UTF8 = 2,
    UTF16 = 3, // byte order from a mark; big-endian without one
    UTF16LE = 4,
    UTF16BE = 5,
};

// The encoding of a script file's bytes: a UTF-8 byte-order mark, or valid UTF-8 with non-ASCII
// bytes, is UTF-8 (authors on Linux write that); anything else Shift_JIS, the encoding scripts
// from Windows come in. `markBytes` gets the length of a mark to skip (0 without one).
Encoding detectScriptEncoding(std::string_view bytes, size_t& markBytes);

class IDecoder {
public:
    virtual ~IDecoder() = default;
    // Decodes the whole source into UTF-16 units in machine order; returns the bytes written,
    // 0 when the source does not decode, does not fit, or an argument is null or zero.
    virtual uint32_t decode(void* destination, uint32_t destinationBytes, const void* source,
                            uint32_t sourceBytes) = 0;
};

class IEncoder {
public:
    virtual ~IEncoder() = default;
    // Encodes UTF-16 units (machine order); returns the bytes written, 0 when the result does
    // not fit or an argument is null or zero.
    virtual uint32_t encode(void* destination, uint32_t destinationBytes, const void* source,
                            uint32_t sourceBytes) = 0;
};

using DecoderPtr = std::shared_ptr<IDecoder>;
using EncoderPtr = std::shared_ptr<IEncoder>;

// Shift_JIS as code page 932 (through iconv "CP932"). Like the Windows code page, the single
// bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF decode to U+0080, U+F8F0, U+F8F1, U+F8F2 and U+F8F3
// (and encode back). Decoding fails on any invalid or incomplete sequence.
class ShiftJisDecoder final : public IDecoder {
public:
    uint32_t decode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
// Characters code page 932 cannot hold (and lone surrogate halves) become '?'.
class ShiftJisEncoder final : public IEncoder {
public:
    uint32_t encode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
// Strict UTF-8: overlong forms, surrogates and values above U+10FFFF do not decode.
class Utf8Decoder final : public IDecoder {
public:
    uint32_t decode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
// Lone surrogate halves become U+FFFD.
class Utf8Encoder final : public IEncoder {
public:
    uint32_t encode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
class Utf16DecoderLE final : public IDecoder {
public:
    uint32_t decode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
class Utf16DecoderBE final : public IDecoder {
public:
    uint32_t decode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
class Utf16EncoderLE final : public IEncoder {
public:
    uint32_t encode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};
class Utf16EncoderBE final : public IEncoder {
public:
    uint32_t encode(void* d, uint32_t db, const void* s, uint32_t sb) override;
};

// Reads FF FE or FE FF at the start of any call as a byte-order mark, switches to that order
// for this and every later call and drops the mark; without a mark, big-endian.
class Utf16Decoder final : public IDecoder {
public:
    uint32_t decode(void* d, uint32_t db, const void* s, uint32_t sb) override;

private:
    DecoderPtr inner_ = std::make_shared<Utf16DecoderBE>();
};

// Null for an unknown encoding number.
DecoderPtr createDecoder(int encoding);
EncoderPtr createEncoder(int encoding);

// Code page 932 text (names in archives, script source) to UTF-16 and back. toCp932 fails
// (false) on characters the code page cannot hold instead of replacing them.
bool fromCp932(std::string_view bytes, std::u16string& out);
bool toCp932(std::u16string_view text, std::string& out);

} // namespace KoIO
