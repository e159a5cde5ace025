#pragma once
#include "io/IStream.h"

namespace KoIO::Core {

// Stream over a block the caller owns and keeps alive; the block never grows.
class MemoryStream final : public IIoStream {
public:
    MemoryStream() = default;
    MemoryStream(uint8_t* data, uint32_t size) { open(data, size); }

    bool open(uint8_t* data, uint32_t size);
    void close() override { data_ = nullptr; }
    bool isClosed() override { return data_ == nullptr; }

    int peek() override;
    uint32_t read(uint8_t* buffer, uint32_t count) override;
    int readByte() override;
    using IInputStream::read;

    uint32_t write(const uint8_t* buffer, uint32_t count) override;
    uint32_t writeByte(uint8_t value) override;
    bool flush() override { return true; }
    using IOutputStream::write;

protected:
    bool setInputCursor(uint32_t p) override { return moveCursor(in_, p); }
    uint32_t getInputCursor() override { return in_; }
    uint32_t getInputLength() override { return length(); }
    uint32_t getInputRemaining() override { return data_ ? size_ - in_ : 0; }
    bool setOutputCursor(uint32_t p) override { return moveCursor(out_, p); }
    uint32_t getOutputCursor() override { return out_; }
    uint32_t getOutputLength() override { return length(); }
    uint32_t getOutputRemaining() override { return data_ ? size_ - out_ : 0; }

private:
    uint32_t length() const { return data_ ? size_ : 0; }
    bool moveCursor(uint32_t& cursor, uint32_t p);

    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t in_ = 0;
    uint32_t out_ = 0;
};

} // namespace KoIO::Core
