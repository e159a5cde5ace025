#include "TestSupport.h"
#include "io/KoaFile.h"
#include "io/MemoryStream.h"
#include "io/Reader.h"

#include <gtest/gtest.h>

using namespace KoIO;
using namespace KoIOTest;
using Core::StreamReader;
using Core::StreamWriter;
using Core::StringReader;
using Core::StringWriter;

namespace {
std::shared_ptr<StreamReader> readerOver(const std::string& data, int encoding = SHIFT_JIS) {
    return StreamReader::create(std::make_shared<KoaInputStream>(toBytes(data)),
                                createDecoder(encoding));
}

// A writer into a memory block; the block is kept alive by the fixture.
struct BlockWriter {
    explicit BlockWriter(int encoding, size_t size = 256) : block(size) {
        stream = std::make_shared<Core::MemoryStream>(block.data(), uint32_t(block.size()));
        writer = StreamWriter::create(stream, createEncoder(encoding));
    }
    std::string written() {
        return std::string(block.begin(), block.begin() + stream->output().getCursor());
    }
    ByteArray block;
    std::shared_ptr<Core::MemoryStream> stream;
    std::shared_ptr<StreamWriter> writer;
};

using Lines = std::vector<std::u16string>;
} // namespace

TEST(StreamReader, NeedsStreamAndDecoder) {
    EXPECT_EQ(StreamReader::create(nullptr, createDecoder(1)), nullptr);
    EXPECT_EQ(StreamReader::create(std::make_shared<KoaInputStream>(toBytes("x")), nullptr),
              nullptr);
    auto r = readerOver("x");
    EXPECT_FALSE(r->setDecoder(nullptr));
    EXPECT_NE(r->getDecoder(), nullptr);
}

TEST(StreamReader, LineBreaksCrLfLfAndLoneCr) {
    EXPECT_EQ(readerOver("a\r\nb")->readLines(), (Lines{u"a", u"b"}));
    EXPECT_EQ(readerOver("a\nb\n")->readLines(), (Lines{u"a", u"b", u""}));
    auto lone = readerOver("\rx");
    EXPECT_EQ(lone->readChar(), u'\r');
    EXPECT_EQ(lone->readChar(), u'x');
    EXPECT_EQ(lone->readChar(), kEndOfText);
    EXPECT_EQ(readerOver("a\rb\r")->readLine(), u"a\rb\r");
    EXPECT_EQ(readerOver("a\r\n\r\nb")->readAll(), u"a\n\nb");
    EXPECT_EQ(readerOver("1\n2\n3\n")->readLines(2), (Lines{u"1", u"2"}));
}

TEST(StreamReader, EndOfTextAndReadability) {
    auto r = readerOver("ab");
    EXPECT_EQ(r->read(2), u"ab");
    // The buffer has been used up but the end has not been seen yet.
    EXPECT_TRUE(r->isReadable());
    EXPECT_EQ(r->readChar(), kEndOfText);
    EXPECT_FALSE(r->isReadable());
    EXPECT_EQ(r->readLine(), u"");
    auto over = readerOver("ab");
    EXPECT_EQ(over->read(5), u"ab"); // stops at the end, which it has now seen
    EXPECT_FALSE(over->isReadable());
    EXPECT_EQ(r->readAll(), u"");
    EXPECT_TRUE(r->readLines().empty());
    EXPECT_TRUE(readerOver("")->readLines().empty());
    auto closed = readerOver("abc");
    closed->close();
    EXPECT_TRUE(closed->isClosed());
    EXPECT_EQ(closed->readChar(), kEndOfText);
}

TEST(StreamReader, InvalidSequencesEndTheText) {
    EXPECT_EQ(readerOver("ok\x82\x20rest")->readAll(), u"ok");
    EXPECT_EQ(readerOver("ok\xE6\xBC", UTF8)->readAll(), u"ok");
    EXPECT_EQ(readerOver("ok\xFF\xFFzz", UTF8)->readAll(), u"ok");
    EXPECT_EQ(readerOver(std::string("\0a\0", 3), UTF16BE)->readAll(), u"a"); // odd byte dropped
}

TEST(StreamReader, CharactersAcrossTheBufferBoundary) {
    // Two-byte characters starting at every alignment against the 4096-byte buffer.
    for (size_t pad : {4094u, 4095u}) {
        std::string data(pad, 'x');
        data += "\x8A\xBF\r\n\x82\xA0";
        auto r = readerOver(data);
        std::u16string text = r->readAll();
        EXPECT_EQ(text.size(), pad + 3);
        EXPECT_EQ(text.substr(pad), u"漢\nあ");
    }
    // A CR at the end of one block, LF at the start of the next.
    std::string crlf(4095, 'y');
    crlf += "\r\nz";
    auto lines = readerOver(crlf)->readLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], u"z");
    // A long text comes back whole.
    std::string big;
    for (int i = 0; i < 5000; ++i) big += "行" + std::to_string(i) + "\n";
    auto utf8 = readerOver(big, UTF8)->readLines();
    ASSERT_EQ(utf8.size(), 5001u);
    EXPECT_EQ(utf8[4999], u"行4999");
}

TEST(StreamReader, EncodingsAndMarks) {
    EXPECT_EQ(readerOver("\xEF\xBB\xBFhi", UTF8)->readAll(), u"\uFEFFhi");
    EXPECT_EQ(readerOver(std::string("\xFF\xFEh\0i\0", 6), UTF16)->readAll(), u"hi");
    EXPECT_EQ(readerOver(std::string("\xFE\xFF\0h\0i", 6), UTF16)->readAll(), u"hi");
    EXPECT_EQ(readerOver(std::string("\0h\0i", 4), UTF16)->readAll(), u"hi");
    EXPECT_EQ(readerOver(std::string("h\0\r\0\n\0i\0", 8), UTF16LE)->readLines(),
              (Lines{u"h", u"i"}));
}

TEST(StreamReader, CharactersBeyondTheBmpComeAsPairs) {
    auto r = readerOver("a\xF0\x9F\x98\x80\r\xF0\x9F\x98\x81z", UTF8);
    EXPECT_EQ(r->readAll(), u"a\U0001F600\r\U0001F601z");
}

TEST(StreamWriter, LineFeedIsWrittenAsCrLf) {
    BlockWriter w(UTF8);
    EXPECT_EQ(w.writer->writeLine(u"x"), 2u);
    EXPECT_EQ(w.written(), "x\r\n");
    EXPECT_EQ(w.writer->write(u"a\nb"), 3u);
    EXPECT_EQ(w.written(), "x\r\na\r\nb");
    EXPECT_EQ(w.writer->writeLine(u'c'), 2u);
    EXPECT_EQ(w.writer->writeLine(), 1u);
    EXPECT_EQ(w.writer->writeLine(u"defg", 2), 3u);
    EXPECT_EQ(w.written(), "x\r\na\r\nbc\r\n\r\nde\r\n");
}

TEST(StreamWriter, CountBeyondTheTextWritesNothing) {
    BlockWriter w(SHIFT_JIS);
    EXPECT_EQ(w.writer->write(u"ab", 3), 0u);
    EXPECT_EQ(w.written(), "");
    EXPECT_EQ(w.writer->write(u"ab", 1), 1u);
    EXPECT_EQ(w.writer->write(u"漢字"), 2u);
    EXPECT_EQ(w.written(), "a\x8A\xBF\x8E\x9A");
}

TEST(StreamWriter, StopsWhenTheTargetIsFullOrClosed) {
    BlockWriter w(UTF16LE, 4);
    EXPECT_EQ(w.writer->write(u"abc"), 2u);
    EXPECT_FALSE(w.writer->isWritable());
    EXPECT_EQ(w.writer->writeChar(u'd'), 0u);
    BlockWriter c(UTF8);
    c.writer->close();
    EXPECT_TRUE(c.writer->isClosed());
    EXPECT_EQ(c.writer->write(u"x"), 0u);
}

TEST(StreamWriter, SurrogatePairsAreEncodedAsOneCharacter) {
    BlockWriter w(UTF8);
    EXPECT_EQ(w.writer->write(u"a\U0001F600b"), 4u);
    EXPECT_EQ(w.written(), "a\xF0\x9F\x98\x80" "b");
    BlockWriter s(SHIFT_JIS);
    s.writer->write(u"\U0001F600");
    s.writer->flush();
    EXPECT_EQ(s.written(), "?");
    BlockWriter lone(UTF8);
    lone.writer->writeChar(0xD800);
    lone.writer->writeChar(u'x');
    EXPECT_EQ(lone.written(), "\xEF\xBF\xBDx");
    BlockWriter be(UTF16BE);
    be.writer->write(u"\U0001F600");
    be.writer->flush();
    EXPECT_EQ(be.written(), std::string("\xD8\x3D\xDE\x00", 4));
}

TEST(StringReader, NoLineBreakTranslation) {
    StringReader r(u"a\r\nb");
    EXPECT_EQ(r.readLines(), (Lines{u"a\r", u"b"}));
    StringReader t(u"a\nb\n");
    EXPECT_EQ(t.readLines(), (Lines{u"a", u"b"}));
    StringReader c(u"xyz");
    EXPECT_EQ(c.read(2), u"xy");
    EXPECT_EQ(c.readChar(), u'z');
    EXPECT_EQ(c.readChar(), kEndOfText);
    EXPECT_EQ(c.readLine(), u"");
    StringReader closed(u"abc");
    closed.close();
    EXPECT_TRUE(closed.isClosed());
    EXPECT_FALSE(closed.isReadable());
    EXPECT_EQ(closed.readAll(), u"");
    StringReader n(u"1\n2\n3");
    EXPECT_EQ(n.readLines(2), (Lines{u"1", u"2"}));
    EXPECT_EQ(n.readAll(), u"3");
}

TEST(StringWriter, ClampsCountsAndKeepsBareLineFeeds) {
    StringWriter w;
    EXPECT_EQ(w.write(u"ab", 5), 2u);
    EXPECT_EQ(w.writeLine(u"c"), 2u);
    EXPECT_EQ(w.writeLine(u"defg", 2), 3u);
    EXPECT_EQ(w.getString(), u"abc\nde\n");
    EXPECT_TRUE(w.flush());
    w.close();
    EXPECT_FALSE(w.isWritable());
    EXPECT_EQ(w.writeChar(u'x'), 0u);
    EXPECT_EQ(w.write(u"x"), 0u);
    EXPECT_EQ(w.getString(), u"abc\nde\n");
}
