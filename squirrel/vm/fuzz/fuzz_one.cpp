#include "squirrel/vm/fuzz/fuzz_one.h"
#include "squirrel/vm/vm.h"
#include <string>
#include <vector>

namespace {
void quiet(HSQUIRRELVM, const SQChar*, ...) {}

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
} // namespace

void ko_sq_fuzz_one(const uint8_t* data, size_t size) {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, quiet, quiet);
    v->_opbudget = 20000;
    // deep recursion costs time, not memory, in an instrumented build: keep it short here
    v->_sharedstate->_maxframes = 20000;
    bool loaded;
    if (size >= 2 && data[0] == 0xFA && data[1] == 0xFA) {
        Buf b;
        b.bytes.assign(data, data + size);
        loaded = SQ_SUCCEEDED(sq_readclosure(v, readbuf, &b));
    } else {
        sqstring src = vm_fromutf8((const char*)data, size);
        loaded =
            SQ_SUCCEEDED(sq_compilebuffer(v, src.data(), (SQInteger)src.size(), u"fuzz", SQFalse));
    }
    if (loaded) {
        Buf out;
        if (SQ_SUCCEEDED(sq_writeclosure(v, writebuf, &out))) {
            Buf in;
            in.bytes = out.bytes;
            if (SQ_SUCCEEDED(sq_readclosure(v, readbuf, &in))) sq_pop(v, 1);
        }
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
        sq_pop(v, 1);
        sq_collectgarbage(v);
    }
    sq_close(v);
}
