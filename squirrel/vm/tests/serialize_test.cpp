// Bytecode round trip, and corrupt input that must fail cleanly.
#include "squirrel/vm/vm.h"
#include "vm_test_util.h"
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {
struct Buf {
    std::vector<unsigned char> bytes;
    size_t pos = 0;
};
SQInteger writebuf(SQUserPointer up, SQUserPointer p, SQInteger n) {
    Buf* b = (Buf*)up;
    b->bytes.insert(b->bytes.end(), (unsigned char*)p, (unsigned char*)p + n);
    return n;
}
SQInteger readbuf(SQUserPointer up, SQUserPointer p, SQInteger n) {
    Buf* b = (Buf*)up;
    size_t k = (size_t)n;
    if (b->pos + k > b->bytes.size()) k = b->bytes.size() - b->pos;
    if (k) memcpy(p, b->bytes.data() + b->pos, k);
    b->pos += k;
    return (SQInteger)k;
}
const char* kProgram =
    "local t = { a = 1.5, b = \"text\", c = [1, 2, 3] };"
    "function fact(n) { return n <= 1 ? 1 : n * fact(n - 1); }"
    "class K { v = 0; constructor(x) { v = x; } function twice() { return v * 2; } }"
    "local s = 0; foreach (k, v in t.c) s += v;"
    "local g = function() { yield 1; yield 2; }; foreach (x in g()) s += x;"
    "try { throw \"e\"; } catch (e) { s += 100; }"
    "print(fact(5) + \" \" + K(4).twice() + \" \" + s + \" \" + t.a + t.b);";
} // namespace

TEST(Serialize, RoundTripRunsTheSame) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.compile(kProgram));
    Buf b;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_writeclosure(v, writebuf, &b)));
    ASSERT_GE(b.bytes.size(), 2u);
    EXPECT_EQ(b.bytes[0], 0xFA);
    EXPECT_EQ(b.bytes[1], 0xFA);
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_readclosure(v, readbuf, &b)));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse)));
    EXPECT_EQ(TestVM::out, "120 8 109 1.5text");
}

TEST(Serialize, ClosureWithFreeVariablesIsRefused) {
    TestVM t;
    ASSERT_TRUE(t.run("local x = 1; ::f <- function() { return x; };"));
    sq_pushroottable(t.v);
    sq_pushstring(t.v, u"f", -1);
    sq_get(t.v, -2);
    Buf b;
    EXPECT_TRUE(SQ_FAILED(sq_writeclosure(t.v, writebuf, &b)));
    EXPECT_EQ(t.lasterror(), "a closure with free valiables bound it cannot be serialized");
}

TEST(Serialize, TruncatedAndCorruptStreamsFail) {
    TestVM t;
    HSQUIRRELVM v = t.v;
    ASSERT_TRUE(t.compile(kProgram));
    Buf good;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_writeclosure(v, writebuf, &good)));
    sq_pop(v, 1);
    for (size_t n = 0; n < good.bytes.size(); n++) {
        Buf b;
        b.bytes.assign(good.bytes.begin(), good.bytes.begin() + n);
        SQInteger top = sq_gettop(v);
        EXPECT_TRUE(SQ_FAILED(sq_readclosure(v, readbuf, &b))) << "truncated at " << n;
        EXPECT_EQ(sq_gettop(v), top);
    }
    // flip bytes one by one: loading may succeed or fail, running must never crash
    v->_opbudget = 1000000; // a changed jump may loop forever
    uint32_t seed = 12345;
    for (int k = 0; k < 3000; k++) {
        Buf b = good;
        seed = seed * 1103515245u + 12345u;
        size_t at = 12 + (seed >> 8) % (b.bytes.size() - 12);
        b.bytes[at] ^= (unsigned char)(1 + ((seed >> 3) % 255));
        b.pos = 0;
        SQInteger top = sq_gettop(v);
        if (SQ_SUCCEEDED(sq_readclosure(v, readbuf, &b))) {
            sq_pushroottable(v);
            sq_call(v, 1, SQFalse, SQFalse);
        }
        sq_settop(v, top);
        if (v->_opbudget < 1000) v->_opbudget = 1000000;
    }
    Buf foreign = good;
    foreign.bytes[10] = 1; // SQChar size of a narrow build
    EXPECT_TRUE(SQ_FAILED(sq_readclosure(v, readbuf, &foreign)));
    EXPECT_NE(t.lasterror().find("sizes"), std::string::npos);
}
