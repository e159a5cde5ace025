#pragma once
#include "io/Encoding.h"
#include "io/IStream.h"

#include <memory>
#include <string>
#include <vector>

namespace KoIO {

// 0xFFFF stands for the end of the text.
constexpr char16_t kEndOfText = 0xFFFF;

class IReader {
public:
    virtual ~IReader() = default;
    virtual void close() = 0;
    virtual bool isClosed() = 0;
    virtual bool isReadable() = 0;
    virtual std::u16string read(uint32_t count) = 0;
    virtual char16_t readChar() = 0;
    virtual std::u16string readLine() = 0;
    virtual std::u16string readAll() = 0;
    virtual std::vector<std::u16string> readLines(uint32_t count) = 0;
    virtual std::vector<std::u16string> readLines() = 0;
};

class IWriter {
public:
    virtual ~IWriter() = default;
    virtual void close() = 0;
    virtual bool isClosed() = 0;
    virtual bool isWritable() = 0;
    virtual uint32_t write(const std::u16string& text, uint32_t count) = 0;
    virtual uint32_t write(const std::u16string& text) = 0;
    virtual uint32_t writeChar(char16_t c) = 0;
    virtual uint32_t writeLine(const std::u16string& text, uint32_t count) = 0;
    virtual uint32_t writeLine(const std::u16string& text) = 0;
    virtual uint32_t writeLine(char16_t c) = 0;
    virtual uint32_t writeLine() = 0;
    virtual bool flush() = 0;
};

class IStreamReader : public IReader {};
class IStringReader : public IReader {};
class IStreamWriter : public IWriter {};
class IStringWriter : public IWriter {};

namespace Core {

// Decodes an input stream one character at a time; CR LF reads as LF.
class StreamReader final : public IStreamReader {
public:
    // Null when either is null.
    static std::shared_ptr<StreamReader> create(std::shared_ptr<IInputStream> stream,
                                                DecoderPtr decoder);
    StreamReader(std::shared_ptr<IInputStream> stream, DecoderPtr decoder)
        : stream_(std::move(stream)), decoder_(std::move(decoder)) {}

    void close() override { stream_->close(); }
    bool isClosed() override { return stream_->isClosed(); }
    bool isReadable() override;
    std::u16string read(uint32_t count) override;
    char16_t readChar() override;
    std::u16string readLine() override;
    std::u16string readAll() override;
    std::vector<std::u16string> readLines(uint32_t count) override;
    std::vector<std::u16string> readLines() override;

    bool setDecoder(DecoderPtr decoder);
    DecoderPtr getDecoder() { return decoder_; }

private:
    static constexpr uint32_t kBufferSize = 4096;

    // Next character from the decoder, CR handling aside.
    char16_t decodeNext();
    int nextByte();

    std::shared_ptr<IInputStream> stream_;
    DecoderPtr decoder_;
    // Characters read ahead: the one after a CR, the low half of a pair. Front first.
    std::u16string pending_;
    uint8_t buffer_[kBufferSize];
    uint32_t position_ = 0;
    uint32_t fill_ = 0;
};

// Encodes characters one at a time into an output stream; LF is written as CR LF.
class StreamWriter final : public IStreamWriter {
public:
    static std::shared_ptr<StreamWriter> create(std::shared_ptr<IOutputStream> stream,
                                                EncoderPtr encoder);
    StreamWriter(std::shared_ptr<IOutputStream> stream, EncoderPtr encoder)
        : stream_(std::move(stream)), encoder_(std::move(encoder)) {}
    ~StreamWriter() override { writePending(); }

    void close() override;
    bool isClosed() override { return stream_->isClosed(); }
    bool isWritable() override { return stream_->isWritable(); }
    uint32_t write(const std::u16string& text, uint32_t count) override;
    uint32_t write(const std::u16string& text) override { return write(text, uint32_t(text.size())); }
    uint32_t writeChar(char16_t c) override;
    uint32_t writeLine(const std::u16string& text, uint32_t count) override {
        return write(text, count) + writeChar(u'\n');
    }
    uint32_t writeLine(const std::u16string& text) override { return write(text) + writeChar(u'\n'); }
    uint32_t writeLine(char16_t c) override { return writeChar(c) + writeChar(u'\n'); }
    uint32_t writeLine() override { return writeChar(u'\n'); }
    bool flush() override;

    bool setEncoder(EncoderPtr encoder);
    EncoderPtr getEncoder() { return encoder_; }

private:
    uint32_t encodeAndWrite(const char16_t* units, uint32_t count);
    void writePending();

    std::shared_ptr<IOutputStream> stream_;
    EncoderPtr encoder_;
    // A high surrogate waiting for its low half, so that a pair is encoded as one character.
    char16_t pendingHigh_ = 0;
};

class StringReader final : public IStringReader {
public:
    explicit StringReader(std::u16string text) : text_(std::move(text)) {}
    void close() override { closed_ = true; }
    bool isClosed() override { return closed_; }
    bool isReadable() override { return !closed_ && position_ < text_.size(); }
    std::u16string read(uint32_t count) override;
    char16_t readChar() override;
    std::u16string readLine() override;
    std::u16string readAll() override;
    std::vector<std::u16string> readLines(uint32_t count) override;
    std::vector<std::u16string> readLines() override;

private:
    bool closed_ = false;
    std::u16string text_;
    size_t position_ = 0;
};

class StringWriter final : public IStringWriter {
public:
    void close() override { closed_ = true; }
    bool isClosed() override { return closed_; }
    bool isWritable() override { return !closed_; }
    uint32_t write(const std::u16string& text, uint32_t count) override;
    uint32_t write(const std::u16string& text) override { return write(text, uint32_t(text.size())); }
    uint32_t writeChar(char16_t c) override;
    uint32_t writeLine(const std::u16string& text, uint32_t count) override {
        return write(text, count) + writeChar(u'\n');
    }
    uint32_t writeLine(const std::u16string& text) override { return write(text) + writeChar(u'\n'); }
    uint32_t writeLine(char16_t c) override { return writeChar(c) + writeChar(u'\n'); }
    uint32_t writeLine() override { return writeChar(u'\n'); }
    bool flush() override { return true; }
    std::u16string getString() const { return text_; }

private:
    bool closed_ = false;
    std::u16string text_;
};

} // namespace Core
} // namespace KoIO
