#pragma once
#include "io/Types.h"

namespace KoIO {

class IStream {
public:
    virtual ~IStream() = default;
    virtual void close() = 0;
    virtual bool isClosed() = 0;
};

class IInputStream : public virtual IStream {
public:
    virtual bool isReadable() { return getRemaining() > 0; }
    virtual bool setCursor(uint32_t position) = 0;
    virtual uint32_t getCursor() = 0;
    virtual uint32_t getLength() = 0;
    virtual uint32_t getRemaining() = 0;
    // Next byte 0-255 without moving, -1 when there is none.
    virtual int peek() = 0;
    virtual ByteArray read(uint32_t count) {
        // Never more room than the stream can give, whatever count a caller asks for.
        uint32_t remaining = getRemaining();
        if (count > remaining) count = remaining;
        ByteArray bytes(count);
        bytes.resize(count ? read(bytes.data(), count) : 0);
        return bytes;
    }
    virtual uint32_t read(uint8_t* buffer, uint32_t count) = 0;
    virtual int readByte() = 0;
    virtual ByteArray readAll() { return read(getRemaining()); }
};

class IOutputStream : public virtual IStream {
public:
    virtual bool isWritable() { return getRemaining() > 0; }
    virtual bool setCursor(uint32_t position) = 0;
    virtual uint32_t getCursor() = 0;
    virtual uint32_t getLength() = 0;
    // Room left from the cursor (0xFFFFFFFF for streams that grow).
    virtual uint32_t getRemaining() = 0;
    virtual uint32_t write(const ByteArray& bytes, uint32_t offset, uint32_t count) {
        if (uint64_t(offset) + count > bytes.size()) return 0;
        return count ? write(bytes.data() + offset, count) : 0;
    }
    virtual uint32_t write(const ByteArray& bytes, uint32_t count) {
        if (bytes.size() < count) return 0;
        return count ? write(bytes.data(), count) : 0;
    }
    virtual uint32_t write(const ByteArray& bytes) {
        return bytes.empty() ? 0 : write(bytes.data(), uint32_t(bytes.size()));
    }
    virtual uint32_t write(const uint8_t* buffer, uint32_t count) = 0;
    virtual uint32_t writeByte(uint8_t value) = 0;
    virtual bool flush() = 0;
};

namespace Detail {
// The two sides of an IIoStream have operations of the same names but separate cursors;
// these shims give each side its own names so one class can implement both.
class IoInputSide : public IInputStream {
public:
    bool setCursor(uint32_t p) final { return setInputCursor(p); }
    uint32_t getCursor() final { return getInputCursor(); }
    uint32_t getLength() final { return getInputLength(); }
    uint32_t getRemaining() final { return getInputRemaining(); }

protected:
    virtual bool setInputCursor(uint32_t p) = 0;
    virtual uint32_t getInputCursor() = 0;
    virtual uint32_t getInputLength() = 0;
    virtual uint32_t getInputRemaining() = 0;
};

class IoOutputSide : public IOutputStream {
public:
    bool setCursor(uint32_t p) final { return setOutputCursor(p); }
    uint32_t getCursor() final { return getOutputCursor(); }
    uint32_t getLength() final { return getOutputLength(); }
    uint32_t getRemaining() final { return getOutputRemaining(); }

protected:
    virtual bool setOutputCursor(uint32_t p) = 0;
    virtual uint32_t getOutputCursor() = 0;
    virtual uint32_t getOutputLength() = 0;
    virtual uint32_t getOutputRemaining() = 0;
};
} // namespace Detail

// Input and output side with independent cursors. Reach a side's cursor operations through
// a reference or pointer of that side: `IInputStream& in = *io;`.
class IIoStream : public Detail::IoInputSide, public Detail::IoOutputSide {
public:
    IInputStream& input() { return *this; }
    IOutputStream& output() { return *this; }
};

} // namespace KoIO
