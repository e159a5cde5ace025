#include "TestSupport.h"
#include "io/File.h"
#include "io/FileStream.h"
#include "io/KoaFile.h"
#include "io/MemoryStream.h"
#include "io/Path.h"

#include <gtest/gtest.h>

using namespace KoIO;
using namespace KoIOTest;
using Core::FileStream;
using Core::MemoryStream;
using std::ios_base;

TEST(MemoryStream, OpenRefusesNullAndEmptyBlocks) {
    uint8_t block[4] = {};
    MemoryStream s;
    EXPECT_TRUE(s.isClosed());
    EXPECT_FALSE(s.open(nullptr, 4));
    EXPECT_FALSE(s.open(block, 0));
    EXPECT_TRUE(s.isClosed());
    EXPECT_TRUE(s.open(block, 4));
    EXPECT_FALSE(s.isClosed());
    // A failed reopen leaves it closed.
    EXPECT_FALSE(s.open(nullptr, 1));
    EXPECT_TRUE(s.isClosed());
}

TEST(MemoryStream, CursorRulesAtAndBeyondTheEnd) {
    uint8_t block[3] = {1, 2, 3};
    MemoryStream s(block, 3);
    IInputStream& in = s;
    IOutputStream& out = s;
    EXPECT_TRUE(in.setCursor(3));
    EXPECT_FALSE(in.isReadable());
    EXPECT_EQ(in.peek(), -1);
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_FALSE(in.setCursor(4));
    EXPECT_EQ(in.getCursor(), 3u);
    EXPECT_TRUE(out.setCursor(3));
    EXPECT_FALSE(out.isWritable());
    EXPECT_EQ(out.writeByte(9), 0u);
    EXPECT_FALSE(out.setCursor(4));
    EXPECT_EQ(out.getLength(), 3u);
}

TEST(MemoryStream, InputAndOutputCursorsAreIndependentAndTheBlockNeverGrows) {
    uint8_t block[4] = {10, 11, 12, 13};
    MemoryStream s(block, 4);
    IInputStream& in = s;
    IOutputStream& out = s;
    EXPECT_EQ(in.readByte(), 10);
    EXPECT_EQ(out.getCursor(), 0u);
    EXPECT_EQ(out.write(toBytes("ab")), 2u);
    EXPECT_EQ(in.getCursor(), 1u);
    EXPECT_EQ(in.peek(), 'b');
    EXPECT_EQ(in.getRemaining(), 3u);
    EXPECT_EQ(out.getRemaining(), 2u);
    // Only what fits is written.
    EXPECT_EQ(out.write(toBytes("xyz")), 2u);
    EXPECT_EQ(out.getCursor(), 4u);
    EXPECT_EQ(bytes(ByteArray(block, block + 4)), "abxy");
    EXPECT_EQ(in.getLength(), 4u);
}

TEST(MemoryStream, ArrayReadsAndWritesFollowTheSharedRules) {
    uint8_t block[5] = {1, 2, 3, 4, 5};
    MemoryStream s(block, 5);
    IInputStream& in = s;
    IOutputStream& out = s;
    EXPECT_EQ(in.read(3), (ByteArray{1, 2, 3}));
    EXPECT_EQ(in.read(10), (ByteArray{4, 5})); // shrunk to what was read
    EXPECT_TRUE(in.read(1).empty());
    in.setCursor(4);
    EXPECT_EQ(in.read(0xFFFFFFFFu), (ByteArray{5})); // no 4 GiB buffer for a huge count
    in.setCursor(1);
    EXPECT_EQ(in.readAll(), (ByteArray{2, 3, 4, 5}));
    ByteArray src{7, 8, 9};
    EXPECT_EQ(out.write(src, 4), 0u);    // array too short
    EXPECT_EQ(out.write(src, 2, 2), 0u); // offset + count past the array
    EXPECT_EQ(out.write(src, 1, 2), 2u);
    EXPECT_EQ(block[0], 8);
    EXPECT_EQ(block[1], 9);
    EXPECT_EQ(out.write(src, 2), 2u);
    EXPECT_EQ(block[2], 7);
}

TEST(MemoryStream, CloseMakesEverythingFail) {
    uint8_t block[2] = {1, 2};
    MemoryStream s(block, 2);
    s.close();
    IInputStream& in = s;
    IOutputStream& out = s;
    EXPECT_TRUE(s.isClosed());
    EXPECT_EQ(in.getLength(), 0u);
    EXPECT_EQ(in.getRemaining(), 0u);
    EXPECT_EQ(out.getRemaining(), 0u);
    EXPECT_FALSE(in.setCursor(0));
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_EQ(out.writeByte(1), 0u);
    EXPECT_TRUE(out.flush());
}

namespace {
std::shared_ptr<FileStream> openAt(const TempDir& d, const std::string& rel, ios_base::openmode m) {
    auto s = std::make_shared<FileStream>();
    if (!s->open(fromPosixPath(d.at(rel)), m)) return nullptr;
    return s;
}
} // namespace

TEST(FileStream, OpenModesFollowTheStandardTable) {
    TempDir d;
    EXPECT_EQ(openAt(d, "missing", ios_base::in), nullptr);
    EXPECT_EQ(openAt(d, "missing", ios_base::in | ios_base::out), nullptr);
    EXPECT_FALSE(d.exists("missing"));
    d.write("f", "hello");
    EXPECT_EQ(openAt(d, "f", ios_base::in | ios_base::trunc), nullptr);
    EXPECT_EQ(openAt(d, "f", ios_base::out | ios_base::trunc | ios_base::app), nullptr);
    EXPECT_EQ(d.read("f"), "hello");
    // in|app creates a missing file.
    EXPECT_NE(openAt(d, "created", ios_base::in | ios_base::app), nullptr);
    EXPECT_TRUE(d.exists("created"));
    // out alone empties an existing file.
    EXPECT_NE(openAt(d, "f", ios_base::out), nullptr);
    EXPECT_EQ(d.read("f"), "");
    // A directory is not a stream.
    d.write("dir/x", "");
    EXPECT_EQ(openAt(d, "dir", ios_base::in), nullptr);
}

TEST(FileStream, InputLengthStaysAtOpenWhileOutputLengthGrows) {
    TempDir d;
    d.write("f", "abc");
    auto s = openAt(d, "f", ios_base::in | ios_base::out);
    ASSERT_NE(s, nullptr);
    IInputStream& in = *s;
    IOutputStream& out = *s;
    ASSERT_TRUE(out.setCursor(3));
    EXPECT_EQ(out.write(toBytes("defg")), 4u);
    EXPECT_EQ(in.getLength(), 3u);
    EXPECT_EQ(out.getLength(), 7u);
    EXPECT_EQ(in.readAll(), toBytes("abc"));
    EXPECT_FALSE(in.setCursor(4));
    EXPECT_TRUE(out.setCursor(7));
    EXPECT_FALSE(out.setCursor(8));
    EXPECT_EQ(out.getRemaining(), 0xFFFFFFFFu);
    s->close();
    EXPECT_EQ(d.read("f"), "abcdefg");
}

TEST(FileStream, CursorsAreIndependentAndReadsSeeEarlierWrites) {
    TempDir d;
    d.write("f", "0123456789");
    auto s = openAt(d, "f", ios_base::in | ios_base::out);
    ASSERT_NE(s, nullptr);
    IInputStream& in = *s;
    IOutputStream& out = *s;
    EXPECT_EQ(in.readByte(), '0');
    EXPECT_EQ(in.readByte(), '1');
    ASSERT_TRUE(out.setCursor(2));
    EXPECT_EQ(out.write(toBytes("AB")), 2u);
    EXPECT_EQ(in.getCursor(), 2u);
    EXPECT_EQ(out.getCursor(), 4u);
    EXPECT_EQ(in.peek(), 'A'); // the pending write is visible
    EXPECT_EQ(in.read(3), toBytes("AB4"));
    ASSERT_TRUE(in.setCursor(0));
    EXPECT_EQ(out.writeByte('z'), 1u);
    EXPECT_EQ(in.readAll(), toBytes("01ABz56789"));
}

TEST(FileStream, AppendWritesGoToTheEndWhereverTheCursorIs) {
    TempDir d;
    d.write("f", "abc");
    auto s = openAt(d, "f", ios_base::out | ios_base::app);
    ASSERT_NE(s, nullptr);
    IOutputStream& out = *s;
    EXPECT_EQ(out.getCursor(), 0u);
    EXPECT_EQ(out.write(toBytes("d")), 1u);
    ASSERT_TRUE(out.setCursor(0));
    EXPECT_EQ(out.write(toBytes("e")), 1u);
    s->close();
    EXPECT_EQ(d.read("f"), "abcde");
}

TEST(FileStream, AtEndPlacesBothCursorsAtTheEnd) {
    TempDir d;
    d.write("f", "abcd");
    auto s = openAt(d, "f", ios_base::in | ios_base::out | ios_base::ate);
    ASSERT_NE(s, nullptr);
    IInputStream& in = *s;
    IOutputStream& out = *s;
    EXPECT_EQ(in.getCursor(), 4u);
    EXPECT_FALSE(in.isReadable());
    EXPECT_EQ(out.getCursor(), 4u);
}

TEST(FileStream, ClosedAfterCloseWithEveryOperationFailing) {
    TempDir d;
    d.write("f", "abc");
    auto s = openAt(d, "f", ios_base::in | ios_base::out);
    ASSERT_NE(s, nullptr);
    IInputStream& in = *s;
    IOutputStream& out = *s;
    EXPECT_FALSE(s->isClosed());
    s->close();
    EXPECT_TRUE(s->isClosed());
    EXPECT_EQ(in.getRemaining(), 0u);
    EXPECT_EQ(out.getRemaining(), 0u);
    EXPECT_EQ(in.getLength(), 0u);
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_EQ(in.peek(), -1);
    EXPECT_TRUE(in.read(3).empty());
    EXPECT_EQ(out.write(toBytes("x")), 0u);
    EXPECT_EQ(out.writeByte('x'), 0u);
    EXPECT_FALSE(in.setCursor(0));
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(d.read("f"), "abc");
}

TEST(FileStream, ReadingAtTheEndKeepsTheStreamUsable) {
    TempDir d;
    d.write("f", "ab");
    auto s = openAt(d, "f", ios_base::in);
    ASSERT_NE(s, nullptr);
    IInputStream& in = *s;
    EXPECT_TRUE(in.setCursor(2));
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_EQ(in.peek(), -1);
    EXPECT_FALSE(s->isClosed());
    EXPECT_TRUE(in.setCursor(0));
    EXPECT_EQ(in.readByte(), 'a');
}

TEST(FileStream, LargeReadsAndWritesCrossTheBufferIntact) {
    TempDir d;
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char((i * 131 + i / 7) & 0xFF);
    {
        auto s = openAt(d, "big", ios_base::out);
        ASSERT_NE(s, nullptr);
        IOutputStream& out = *s;
        // Mixed sizes: small writes gather in the buffer, large ones go straight through.
        size_t at = 0;
        for (size_t step : {1u, 100u, 70000u, 3u, 65536u, 100000u})
            at += out.write(reinterpret_cast<const uint8_t*>(data.data()) + at, uint32_t(step));
        out.write(reinterpret_cast<const uint8_t*>(data.data()) + at, uint32_t(data.size() - at));
        EXPECT_EQ(out.getLength(), data.size());
    }
    EXPECT_EQ(d.read("big"), data);
    auto s = openAt(d, "big", ios_base::in);
    ASSERT_NE(s, nullptr);
    IInputStream& in = *s;
    std::string back;
    back += char(in.readByte());
    back += bytes(in.read(70000));
    back += bytes(in.readAll());
    EXPECT_EQ(back, data);
}

TEST(KoaInputStream, EmptyDataIsClosedAndCursorRules) {
    KoaInputStream empty({});
    EXPECT_TRUE(empty.isClosed());
    EXPECT_FALSE(empty.isReadable());
    EXPECT_TRUE(empty.setCursor(0));
    EXPECT_FALSE(empty.setCursor(1));
    KoaInputStream s(toBytes("xyz"));
    EXPECT_FALSE(s.isClosed());
    EXPECT_TRUE(s.setCursor(3));
    EXPECT_FALSE(s.isReadable());
    EXPECT_FALSE(s.setCursor(4));
    s.setCursor(1);
    EXPECT_EQ(s.readAll(), toBytes("yz"));
    s.close();
    EXPECT_TRUE(s.isClosed());
    EXPECT_EQ(s.getRemaining(), 0u);
    EXPECT_EQ(s.readByte(), -1);
}
