// rand with the Windows runtime's sequence, calendar dates, the blob buffer.
#include <gtest/gtest.h>

#include "squirrel/stdlib/corelib.h"

namespace {

TEST(MsRand, SequenceOfTheWindowsRuntime) {
    sqstd::MsRand r; // unseeded = seed 1
    const int first[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int v : first) EXPECT_EQ(r.next(), v);
    r.seed(1);
    EXPECT_EQ(r.next(), 41);
    r.seed(0);
    EXPECT_EQ(r.next(), 38);
    EXPECT_EQ(r.next(), 7719);
}

TEST(MsRand, StaysInRangeAndWrapsTheState) {
    sqstd::MsRand r;
    r.seed(0xFFFFFFFFu); // srand(-1)
    for (int i = 0; i < 100000; ++i) {
        int v = r.next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, sqstd::MsRand::kMax);
    }
    // state arithmetic is modulo 2^32: the formula by hand
    uint32_t st = 12345u * 214013u + 2531011u;
    r.seed(12345);
    EXPECT_EQ(r.next(), static_cast<int>((st >> 16) & 0x7FFF));
}

TEST(DateParts, UtcFields) {
    sqstd::DateParts d;
    ASSERT_TRUE(sqstd::date_parts(0, true, d));
    EXPECT_EQ(d.year, 1970);
    EXPECT_EQ(d.month, 0);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.wday, 4);
    ASSERT_TRUE(sqstd::date_parts(951782400, true, d)); // 29 February 2000
    EXPECT_EQ(d.day, 29);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.yday, 59);
    EXPECT_EQ(d.wday, 2);
    ASSERT_TRUE(sqstd::date_parts(86400 * 365 + 3661, true, d));
    EXPECT_EQ(d.year, 1971);
    EXPECT_EQ(d.hour, 1);
    EXPECT_EQ(d.min, 1);
    EXPECT_EQ(d.sec, 1);
    ASSERT_TRUE(sqstd::date_parts(2147483647, true, d));
    EXPECT_EQ(d.year, 2038);
    EXPECT_FALSE(sqstd::date_parts(-1, true, d)); // the runtime rejects times before 1970
    EXPECT_FALSE(sqstd::date_parts(-1, false, d));
}

TEST(ByteBuffer, WritesGrowAndReadsStopAtTheEnd) {
    sqstd::ByteBuffer b(2);
    EXPECT_EQ(b.len(), 2u);
    EXPECT_FALSE(b.eos());
    ASSERT_TRUE(b.seek(0, sqstd::SeekOrigin::End));
    EXPECT_TRUE(b.eos());
    const uint8_t data[] = {1, 2, 3};
    ASSERT_TRUE(b.write(data, 3));
    EXPECT_EQ(b.len(), 5u);
    EXPECT_EQ(b.tell(), 5u);
    ASSERT_TRUE(b.seek(-4, sqstd::SeekOrigin::Current));
    uint8_t out[8] = {};
    EXPECT_EQ(b.read(out, 8), 4u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(b.read(out, 8), 0u);
}

TEST(ByteBuffer, SeekCannotLeaveTheData) {
    sqstd::ByteBuffer b(10);
    ASSERT_TRUE(b.seek(5, sqstd::SeekOrigin::Begin));
    EXPECT_FALSE(b.seek(11, sqstd::SeekOrigin::Begin));
    EXPECT_FALSE(b.seek(-1, sqstd::SeekOrigin::Begin));
    EXPECT_FALSE(b.seek(-11, sqstd::SeekOrigin::End));
    EXPECT_FALSE(b.seek(6, sqstd::SeekOrigin::Current));
    EXPECT_EQ(b.tell(), 5u);
    EXPECT_TRUE(b.seek(10, sqstd::SeekOrigin::Begin));
}

TEST(ByteBuffer, ResizeCutsOrReserves) {
    sqstd::ByteBuffer b(6);
    for (int i = 0; i < 6; ++i) b.data()[i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(b.seek(5, sqstd::SeekOrigin::Begin));
    ASSERT_TRUE(b.resize(3));
    EXPECT_EQ(b.len(), 3u);
    EXPECT_EQ(b.tell(), 3u);
    ASSERT_TRUE(b.resize(8));
    EXPECT_EQ(b.len(), 3u); // growing only reserves
    const uint8_t nine = 9;
    ASSERT_TRUE(b.write(&nine, 1));
    EXPECT_EQ(b.len(), 4u);
    EXPECT_EQ(b.data()[2], 3);
    EXPECT_EQ(b.data()[3], 9);
}

TEST(ByteBuffer, SizesPastTheLimitAreRefused) {
    EXPECT_THROW(sqstd::ByteBuffer(sqstd::ByteBuffer::kMaxSize + 1), std::bad_alloc);
    sqstd::ByteBuffer b(4);
    EXPECT_FALSE(b.resize(sqstd::ByteBuffer::kMaxSize + 1));
    EXPECT_EQ(b.len(), 4u);
    ASSERT_TRUE(b.seek(4, sqstd::SeekOrigin::Begin));
    const uint8_t x = 1;
    EXPECT_TRUE(b.write(&x, 1));
    EXPECT_FALSE(b.write(&x, sqstd::ByteBuffer::kMaxSize)); // nothing written
    EXPECT_EQ(b.len(), 5u);
    EXPECT_EQ(b.tell(), 5u);
}

TEST(ByteBuffer, SwapsLeaveATrailingPartialUnit) {
    sqstd::ByteBuffer b(0);
    const uint8_t d[] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(b.write(d, 7));
    b.swap2();
    EXPECT_EQ(std::vector<uint8_t>(b.data(), b.data() + 7),
              (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 7}));
    b.swap2();
    b.swap4();
    EXPECT_EQ(std::vector<uint8_t>(b.data(), b.data() + 7),
              (std::vector<uint8_t>{4, 3, 2, 1, 5, 6, 7}));
}

} // namespace
