#include "io/Reader.h"

#include <algorithm>

namespace KoIO::Core {

namespace {
bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

template <class Reader>
std::vector<std::u16string> linesOf(Reader& r, uint64_t count) {
    std::vector<std::u16string> lines;
    for (uint64_t i = 0; i < count && r.isReadable(); ++i) lines.push_back(r.readLine());
    return lines;
}
} // namespace

std::shared_ptr<StreamReader> StreamReader::create(std::shared_ptr<IInputStream> stream,
                                                   DecoderPtr decoder) {
    if (!stream || !decoder) return nullptr;
    return std::make_shared<StreamReader>(std::move(stream), std::move(decoder));
}

bool StreamReader::setDecoder(DecoderPtr decoder) {
    if (!decoder) return false;
    decoder_ = std::move(decoder);
    return true;
}

// The fill count is only reset when a refill finds nothing, so this stays true after the last
// buffered byte is taken until a read finds the end.
bool StreamReader::isReadable() { return !pending_.empty() || stream_->isReadable() || fill_ > 0; }

int StreamReader::nextByte() {
    if (position_ < fill_) return buffer_[position_++];
    fill_ = stream_->read(buffer_, kBufferSize);
    position_ = 0;
    if (fill_ == 0) return -1;
    return buffer_[position_++];
}

char16_t StreamReader::decodeNext() {
    if (!pending_.empty()) {
        char16_t c = pending_.front();
        pending_.erase(pending_.begin());
        return c;
    }
    if (!isReadable()) return kEndOfText;
    uint8_t acc[4];
    uint32_t n = 0;
    while (n < 4) {
        int b = nextByte();
        if (b < 0) return kEndOfText;
        acc[n++] = uint8_t(b);
        // Room for two units, so a character outside the BMP comes as a surrogate pair.
        char16_t out[2];
        uint32_t got = decoder_->decode(out, sizeof out, acc, n);
        if (got >= 4) {
            pending_.push_back(out[1]);
            return out[0];
        }
        if (got >= 2) return out[0];
    }
    return kEndOfText;
}

char16_t StreamReader::readChar() {
    char16_t c = decodeNext();
    if (c != u'\r') return c;
    char16_t next = decodeNext();
    if (next == u'\n') return next;
    if (next != kEndOfText) pending_.insert(pending_.begin(), next);
    return c;
}

std::u16string StreamReader::read(uint32_t count) {
    std::u16string s;
    for (uint32_t i = 0; i < count; ++i) {
        char16_t c = readChar();
        if (c == kEndOfText) break;
        s += c;
    }
    return s;
}

std::u16string StreamReader::readLine() {
    std::u16string s;
    for (char16_t c = readChar(); c != u'\n' && c != kEndOfText; c = readChar()) s += c;
    return s;
}

std::u16string StreamReader::readAll() {
    std::u16string s;
    for (char16_t c = readChar(); c != kEndOfText; c = readChar()) s += c;
    return s;
}

std::vector<std::u16string> StreamReader::readLines(uint32_t count) { return linesOf(*this, count); }
std::vector<std::u16string> StreamReader::readLines() { return linesOf(*this, UINT64_MAX); }

std::shared_ptr<StreamWriter> StreamWriter::create(std::shared_ptr<IOutputStream> stream,
                                                   EncoderPtr encoder) {
    if (!stream || !encoder) return nullptr;
    return std::make_shared<StreamWriter>(std::move(stream), std::move(encoder));
}

bool StreamWriter::setEncoder(EncoderPtr encoder) {
    if (!encoder) return false;
    writePending();
    encoder_ = std::move(encoder);
    return true;
}

uint32_t StreamWriter::encodeAndWrite(const char16_t* units, uint32_t count) {
    uint8_t bytes[8];
    uint32_t n = encoder_->encode(bytes, sizeof bytes, units, count * 2);
    if (n == 0) return 0;
    stream_->write(bytes, n);
    return 1;
}

void StreamWriter::writePending() {
    if (!pendingHigh_) return;
    char16_t c = pendingHigh_;
    pendingHigh_ = 0;
    if (stream_->isWritable()) encodeAndWrite(&c, 1);
}

uint32_t StreamWriter::writeChar(char16_t c) {
    if (!isWritable()) return 0;
    if (pendingHigh_) {
        if (isLow(c)) {
            char16_t pair[2] = {pendingHigh_, c};
            pendingHigh_ = 0;
            return encodeAndWrite(pair, 2);
        }
        writePending();
    }
    if (isHigh(c)) {
        pendingHigh_ = c;
        return 1;
    }
    if (c == u'\n') {
        char16_t cr = u'\r';
        if (!encodeAndWrite(&cr, 1)) return 0;
    }
    return encodeAndWrite(&c, 1);
}

uint32_t StreamWriter::write(const std::u16string& text, uint32_t count) {
    if (count > text.size()) return 0;
    uint32_t done = 0;
    while (done < count && writeChar(text[done])) ++done;
    return done;
}

bool StreamWriter::flush() {
    writePending();
    return stream_->flush();
}

void StreamWriter::close() {
    writePending();
    stream_->close();
}

std::u16string StringReader::read(uint32_t count) {
    if (!isReadable()) return {};
    size_t n = std::min<size_t>(count, text_.size() - position_);
    std::u16string s = text_.substr(position_, n);
    position_ += n;
    return s;
}

char16_t StringReader::readChar() { return isReadable() ? text_[position_++] : kEndOfText; }

std::u16string StringReader::readLine() {
    if (!isReadable()) return {};
    size_t lf = text_.find(u'\n', position_);
    if (lf == std::u16string::npos) return readAll();
    std::u16string s = text_.substr(position_, lf - position_);
    position_ = lf + 1;
    return s;
}

std::u16string StringReader::readAll() {
    if (!isReadable()) return {};
    std::u16string s = text_.substr(position_);
    position_ = text_.size();
    return s;
}

std::vector<std::u16string> StringReader::readLines(uint32_t count) { return linesOf(*this, count); }
std::vector<std::u16string> StringReader::readLines() { return linesOf(*this, UINT64_MAX); }

uint32_t StringWriter::write(const std::u16string& text, uint32_t count) {
    if (closed_) return 0;
    size_t n = std::min<size_t>(count, text.size());
    text_.append(text, 0, n);
    return uint32_t(n);
}

uint32_t StringWriter::writeChar(char16_t c) {
    if (closed_) return 0;
    text_ += c;
    return 1;
}

} // namespace KoIO::Core
