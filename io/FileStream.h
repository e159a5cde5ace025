#pragma once
#include "io/IStream.h"

#include <ios>
#include <string>

namespace KoIO::Core {

// Stream over one disk file with separate input and output cursors. The input side sees the
// file's length as it was when opened; the output side grows the file. Reads see earlier
// writes (pending output is written out before any read).
class FileStream final : public IIoStream {
public:
    FileStream() = default;
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // mode: in, out, trunc, app and ate of std::ios_base, with the meaning of the standard
    // open-mode table (out alone empties the file, in|out needs an existing file, in|trunc
    // fails, ...). ate places both cursors at the end.
    bool open(const std::u16string& path, std::ios_base::openmode mode);
    void close() override;
    bool isClosed() override { return fd_ < 0 || bad_; }

    int peek() override;
    uint32_t read(uint8_t* buffer, uint32_t count) override;
    int readByte() override;
    using IInputStream::read;

    uint32_t write(const uint8_t* buffer, uint32_t count) override;
    uint32_t writeByte(uint8_t value) override;
    // Writes pending output to the file; false when that fails (the stream is then bad).
    bool flush() override;
    using IOutputStream::write;

protected:
    bool setInputCursor(uint32_t p) override;
    uint32_t getInputCursor() override { return isClosed() ? 0xFFFFFFFFu : in_; }
    uint32_t getInputLength() override { return isClosed() ? 0 : inLength_; }
    uint32_t getInputRemaining() override;
    bool setOutputCursor(uint32_t p) override;
    uint32_t getOutputCursor() override { return isClosed() ? 0xFFFFFFFFu : out_; }
    uint32_t getOutputLength() override { return isClosed() ? 0 : size_; }
    uint32_t getOutputRemaining() override { return isClosed() ? 0 : 0xFFFFFFFFu; }

private:
    static constexpr uint32_t kBufferSize = 64 * 1024;

    bool fillReadBuffer();
    bool flushWrites();

    int fd_ = -1;
    bool bad_ = false;
    bool readable_ = false;
    bool writable_ = false;
    bool append_ = false;
    uint32_t inLength_ = 0; // length when opened
    uint32_t size_ = 0;     // current length, pending writes included
    uint32_t in_ = 0;
    uint32_t out_ = 0;
    std::string readBuffer_;
    uint32_t readStart_ = 0; // file offset of readBuffer_[0]
    std::string writeBuffer_;
    uint32_t writeStart_ = 0; // file offset of writeBuffer_[0]
};

} // namespace KoIO::Core
