// The common stream methods: readn/writen, readblob/writeblob, seek, tell,
// len, eos, flush.
#include <sqstdblob.h>
#include <sqstdio.h>

#include <cstring>

#include "squirrel/stdlib/regutil.h"
#include "squirrel/stdlib/scriptformat.h"
#include "squirrel/stdlib/stream.h"

namespace sqstd {

Stream* this_stream(HSQUIRRELVM v, SQRESULT& err) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, type_tag(SQSTD_STREAM_TYPE_TAG)))) {
        err = sq_throwerror(v, _SC("invalid type tag"));
        return nullptr;
    }
    Stream* s = static_cast<Stream*>(p);
    if (!s || !s->IsValid()) {
        err = sq_throwerror(v, _SC("the stream is invalid"));
        return nullptr;
    }
    return s;
}

} // namespace sqstd

namespace {

using sqstd::Stream;

#define SETUP_STREAM(v)                                                                            \
    SQRESULT err_ = SQ_ERROR;                                                                      \
    Stream* self = sqstd::this_stream(v, err_);                                                    \
    if (!self) return err_

SQInteger stream_readblob(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    SQInteger size = sqstd::int_arg(v, 2);
    if (size <= 0) return sq_throwerror(v, _SC("no data left to read"));
    // Never allocate more than the stream can still give (when it can tell).
    SQInteger len = self->Len(), pos = self->Tell();
    if (len >= 0 && pos >= 0) {
        if (pos >= len) return sq_throwerror(v, _SC("no data left to read"));
        if (size > len - pos) size = len - pos;
    }
    SQUserPointer data = sqstd_createblob(v, size);
    if (!data) return sq_throwerror(v, _SC("out of memory"));
    SQInteger got = self->Read(data, size);
    if (got <= 0) return sq_throwerror(v, _SC("no data left to read"));
    if (got < size) {
        SQUserPointer p = nullptr;
        sq_getinstanceup(v, -1, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG));
        static_cast<sqstd::Blob*>(p)->buffer().resize(static_cast<size_t>(got));
    }
    return 1;
}

template <typename T>
SQInteger read_value(HSQUIRRELVM v, Stream* s, T& out) {
    if (s->Read(&out, sizeof(T)) != static_cast<SQInteger>(sizeof(T)))
        return sq_throwerror(v, _SC("io error"));
    return 0;
}

SQInteger stream_readn(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    SQInteger format = sqstd::int_arg(v, 2);
    switch (format) {
    case 'l':
    case 'i': {
        int32_t x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 's': {
        int16_t x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'w': {
        uint16_t x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'c': {
        int8_t x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'b': {
        uint8_t x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'f': {
        float x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushfloat(v, x);
        break;
    }
    case 'd': {
        double x;
        if (read_value(v, self, x) < 0) return SQ_ERROR;
        sq_pushfloat(v, static_cast<SQFloat>(x));
        break;
    }
    default:
        return sq_throwerror(v, _SC("invalid format"));
    }
    return 1;
}

SQInteger stream_writen(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    SQInteger format = sqstd::int_arg(v, 3);
    SQFloat f = 0;
    sq_getfloat(v, 2, &f);
    SQInteger i = sqstd::int_arg(v, 2);
    switch (format) {
    case 'l':
    case 'i': {
        int32_t x = i;
        self->Write(&x, sizeof x);
        break;
    }
    case 's': {
        int16_t x = static_cast<int16_t>(i);
        self->Write(&x, sizeof x);
        break;
    }
    case 'w': {
        uint16_t x = static_cast<uint16_t>(i);
        self->Write(&x, sizeof x);
        break;
    }
    case 'c': {
        int8_t x = static_cast<int8_t>(i);
        self->Write(&x, sizeof x);
        break;
    }
    case 'b': {
        uint8_t x = static_cast<uint8_t>(i);
        self->Write(&x, sizeof x);
        break;
    }
    case 'f': {
        float x = f;
        self->Write(&x, sizeof x);
        break;
    }
    case 'd': {
        double x = f;
        self->Write(&x, sizeof x);
        break;
    }
    default:
        return sq_throwerror(v, _SC("invalid format"));
    }
    return 0;
}

SQInteger stream_writeblob(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    SQUserPointer data = nullptr;
    if (sq_gettop(v) < 2 || SQ_FAILED(sqstd_getblob(v, 2, &data)))
        return sq_throwerror(v, _SC("invalid parameter"));
    SQInteger size = sqstd_getblobsize(v, 2);
    if (size > 0 && self->Write(data, size) != size) return sq_throwerror(v, _SC("io error"));
    sq_pushinteger(v, size);
    return 1;
}

// The origin a seek letter names: 'b'egin, 'c'urrent position, 'e'nd.
bool seek_origin(SQInteger letter, sqstd::SeekOrigin& origin) {
    static const struct {
        SQInteger letter;
        sqstd::SeekOrigin origin;
    } kOrigins[] = {{'b', sqstd::SeekOrigin::Begin},
                    {'c', sqstd::SeekOrigin::Current},
                    {'e', sqstd::SeekOrigin::End}};
    for (const auto& o : kOrigins)
        if (o.letter == letter) {
            origin = o.origin;
            return true;
        }
    return false;
}

// Yes/no answers of streams are 1 or null.
SQInteger answer(HSQUIRRELVM v, bool yes) {
    if (yes)
        sq_pushinteger(v, 1);
    else
        sq_pushnull(v);
    return 1;
}

// Answers the number a query of the stream gives (position, length).
template <SQInteger (Stream::*Query)()>
SQInteger stream_number(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    sq_pushinteger(v, (self->*Query)());
    return 1;
}

// seek(offset[, origin]) answers 0 when the cursor moved, -1 when the target was refused.
SQInteger stream_seek(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    const SQInteger offset = sqstd::int_arg(v, 2);
    sqstd::SeekOrigin origin = sqstd::SeekOrigin::Begin;
    if (sq_gettop(v) > 2 && !seek_origin(sqstd::int_arg(v, 3), origin))
        return sq_throwerror(v, _SC("invalid origin"));
    sq_pushinteger(v, self->Seek(offset, origin));
    return 1;
}

SQInteger stream_flush(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    return answer(v, self->Flush() == 0);
}

SQInteger stream_eos(HSQUIRRELVM v) {
    SETUP_STREAM(v);
    return answer(v, self->EOS());
}

const SQRegFunction kStreamMethods[] = {{_SC("readblob"), stream_readblob, 2, _SC("xn")},
                                        {_SC("readn"), stream_readn, 2, _SC("xn")},
                                        {_SC("writeblob"), stream_writeblob, -2, _SC("xx")},
                                        {_SC("writen"), stream_writen, 3, _SC("xnn")},
                                        {_SC("seek"), stream_seek, -2, _SC("xnn")},
                                        {_SC("tell"), stream_number<&Stream::Tell>, 1, _SC("x")},
                                        {_SC("len"), stream_number<&Stream::Len>, 1, _SC("x")},
                                        {_SC("eos"), stream_eos, 1, _SC("x")},
                                        {_SC("flush"), stream_flush, 1, _SC("x")},
                                        {nullptr, nullptr, 0, nullptr}};

const SQChar* const kStreamRegName = _SC("std_stream");

} // namespace

namespace sqstd {

SQInteger Blob::Read(void* buffer, SQInteger size) {
    if (size <= 0) return 0;
    return static_cast<SQInteger>(buf_.read(buffer, static_cast<size_t>(size)));
}

SQInteger Blob::Write(const void* buffer, SQInteger size) {
    if (size <= 0) return 0;
    return buf_.write(buffer, static_cast<size_t>(size)) ? size : 0;
}

bool push_registered_class(HSQUIRRELVM v, const SQChar* regname) {
    sq_pushregistrytable(v);
    sq_pushstring(v, regname, -1);
    if (SQ_FAILED(sq_rawget(v, -2))) {
        sq_pop(v, 1);
        return false;
    }
    sq_remove(v, -2);
    if (sq_gettype(v, -1) != OT_CLASS) {
        sq_pop(v, 1);
        return false;
    }
    return true;
}

void declare_stream(HSQUIRRELVM v, const SQChar* name, SQUserPointer tag, const SQChar* regname,
                    const SQRegFunction* methods) {
    SQInteger top = sq_gettop(v);
    if (!push_registered_class(v, kStreamRegName)) {
        sq_pushregistrytable(v);
        sq_pushstring(v, kStreamRegName, -1);
        sq_newclass(v, SQFalse);
        sq_settypetag(v, -1, type_tag(SQSTD_STREAM_TYPE_TAG));
        register_functions(v, kStreamMethods);
        sq_newslot(v, -3, SQFalse);
        sq_pop(v, 1);
        push_registered_class(v, kStreamRegName);
    }
    // `stream` in the target table as well
    sq_pushstring(v, _SC("stream"), -1);
    sq_push(v, -2);
    sq_newslot(v, top, SQFalse);

    // the class itself, derived from the stream class at -1
    sq_pushregistrytable(v);
    sq_pushstring(v, regname, -1);
    sq_push(v, -3);
    sq_newclass(v, SQTrue);
    sq_settypetag(v, -1, tag);
    register_functions(v, methods);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1); // registry

    sq_pushstring(v, name, -1);
    push_registered_class(v, regname);
    sq_newslot(v, top, SQFalse);
    sq_settop(v, top);
}

} // namespace sqstd
