// blob library: the blob class and the global cast and swap functions.
#include <sqstdblob.h>
#include <sqstdio.h>

#include <cstring>
#include <new>

#include "squirrel/stdlib/regutil.h"
#include "squirrel/stdlib/scriptformat.h"
#include "squirrel/stdlib/stream.h"

namespace {

using sqstd::Blob;

const SQChar* const kBlobRegName = _SC("std_blob");

Blob* this_blob(HSQUIRRELVM v, SQRESULT& err) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG))) || !p) {
        err = sq_throwerror(v, _SC("invalid type tag"));
        return nullptr;
    }
    return static_cast<Blob*>(p);
}

template <SQInteger (*Body)(HSQUIRRELVM, Blob&)>
constexpr SQFUNCTION blob_method = sqstd::method<Blob, this_blob, Body>;

SQInteger blob_release(SQUserPointer p, SQInteger) {
    delete static_cast<Blob*>(p);
    return 1;
}

SQInteger blob_constructor(HSQUIRRELVM v) {
    SQInteger size = sq_gettop(v) > 1 ? sqstd::int_arg(v, 2) : 0;
    if (size < 0) return sq_throwerror(v, _SC("cannot create blob with negative size"));
    Blob* b = nullptr;
    try {
        b = new Blob(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return sq_throwerror(v, _SC("out of memory"));
    }
    if (SQ_FAILED(sq_setinstanceup(v, 1, b))) {
        delete b;
        return sq_throwerror(v, _SC("cannot create blob"));
    }
    sq_setreleasehook(v, 1, blob_release);
    return 0;
}

SQInteger blob_resize(HSQUIRRELVM v, Blob& self) {
    SQInteger size = sqstd::int_arg(v, 2);
    if (size < 0) return sq_throwerror(v, _SC("negative size"));
    if (!self.buffer().resize(static_cast<size_t>(size)))
        return sq_throwerror(v, _SC("out of memory"));
    return 0;
}

SQInteger blob_swap2(HSQUIRRELVM, Blob& self) {
    self.buffer().swap2();
    return 0;
}

SQInteger blob_swap4(HSQUIRRELVM, Blob& self) {
    self.buffer().swap4();
    return 0;
}

SQInteger blob_set(HSQUIRRELVM v, Blob& self) {
    SQInteger idx = sqstd::int_arg(v, 2);
    SQInteger val = sqstd::int_arg(v, 3);
    if (idx < 0 || idx >= self.length()) return sq_throwerror(v, _SC("index out of range"));
    self.buffer().data()[idx] = static_cast<uint8_t>(val);
    sq_push(v, 3);
    return 1;
}

SQInteger blob_get(HSQUIRRELVM v, Blob& self) {
    SQInteger idx = sqstd::int_arg(v, 2);
    if (idx < 0 || idx >= self.length()) return sq_throwerror(v, _SC("index out of range"));
    sq_pushinteger(v, self.buffer().data()[idx]);
    return 1;
}

SQInteger blob_nexti(HSQUIRRELVM v, Blob& self) {
    if (sq_gettype(v, 2) == OT_NULL) {
        if (self.length() > 0)
            sq_pushinteger(v, 0);
        else
            sq_pushnull(v);
        return 1;
    }
    SQInteger idx = 0;
    if (SQ_SUCCEEDED(sq_getinteger(v, 2, &idx))) {
        if (idx + 1 < self.length())
            sq_pushinteger(v, idx + 1);
        else
            sq_pushnull(v);
        return 1;
    }
    return sq_throwerror(v, _SC("internal error (_nexti) wrong argument type"));
}

SQInteger blob_typeof(HSQUIRRELVM v) {
    sq_pushstring(v, _SC("blob"), -1);
    return 1;
}

SQInteger blob_cloned(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 2, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG))) || !p)
        return SQ_ERROR;
    Blob* other = static_cast<Blob*>(p);
    Blob* b = nullptr;
    try {
        b = new Blob(static_cast<size_t>(other->length()));
    } catch (const std::bad_alloc&) {
        return sq_throwerror(v, _SC("out of memory"));
    }
    if (other->length() > 0)
        std::memcpy(b->buffer().data(), other->buffer().data(),
                    static_cast<size_t>(other->length()));
    if (SQ_FAILED(sq_setinstanceup(v, 1, b))) {
        delete b;
        return SQ_ERROR;
    }
    sq_setreleasehook(v, 1, blob_release);
    return 0;
}

const SQRegFunction kBlobMethods[] = {{_SC("constructor"), blob_constructor, -1, _SC("xn")},
                                      {_SC("resize"), blob_method<blob_resize>, 2, _SC("xn")},
                                      {_SC("swap2"), blob_method<blob_swap2>, 1, _SC("x")},
                                      {_SC("swap4"), blob_method<blob_swap4>, 1, _SC("x")},
                                      {_SC("_set"), blob_method<blob_set>, 3, _SC("xnn")},
                                      {_SC("_get"), blob_method<blob_get>, 2, _SC("xn")},
                                      {_SC("_typeof"), blob_typeof, 1, _SC("x")},
                                      {_SC("_nexti"), blob_method<blob_nexti>, 2, _SC("x")},
                                      {_SC("_cloned"), blob_cloned, 2, _SC("xx")},
                                      {nullptr, nullptr, 0, nullptr}};

SQInteger g_castf2i(HSQUIRRELVM v) {
    SQFloat f = 0;
    sq_getfloat(v, 2, &f);
    SQInteger i;
    std::memcpy(&i, &f, sizeof i);
    sq_pushinteger(v, i);
    return 1;
}

SQInteger g_casti2f(HSQUIRRELVM v) {
    SQInteger i = sqstd::int_arg(v, 2);
    SQFloat f;
    std::memcpy(&f, &i, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

SQInteger g_swap2(HSQUIRRELVM v) {
    // The low 16 bits as a signed value, shifted in 32 bits: swap2(0x1234) = 0x123412.
    int32_t s = static_cast<int16_t>(static_cast<uint16_t>(sqstd::int_arg(v, 2)));
    uint32_t r = (static_cast<uint32_t>(s) << 8) | ((static_cast<uint32_t>(s) >> 8) & 0xFF);
    sq_pushinteger(v, static_cast<SQInteger>(r));
    return 1;
}

SQInteger g_swap4(HSQUIRRELVM v) {
    uint32_t u = static_cast<uint32_t>(sqstd::int_arg(v, 2));
    u = (u >> 24) | ((u >> 8) & 0xFF00) | ((u << 8) & 0xFF0000) | (u << 24);
    sq_pushinteger(v, static_cast<SQInteger>(u));
    return 1;
}

SQInteger g_swapfloat(HSQUIRRELVM v) {
    SQFloat f = 0;
    sq_getfloat(v, 2, &f);
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    u = (u >> 24) | ((u >> 8) & 0xFF00) | ((u << 8) & 0xFF0000) | (u << 24);
    std::memcpy(&f, &u, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

const SQRegFunction kBlobGlobals[] = {
    {_SC("casti2f"), g_casti2f, 2, _SC(".n")},     {_SC("castf2i"), g_castf2i, 2, _SC(".n")},
    {_SC("swap2"), g_swap2, 2, _SC(".n")},         {_SC("swap4"), g_swap4, 2, _SC(".n")},
    {_SC("swapfloat"), g_swapfloat, 2, _SC(".n")}, {nullptr, nullptr, 0, nullptr}};

} // namespace

extern "C" SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer* ptr) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG))) || !p)
        return sq_throwerror(v, _SC("invalid type tag"));
    *ptr = static_cast<Blob*>(p)->buffer().data();
    return SQ_OK;
}

extern "C" SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG))) || !p)
        return -1;
    return static_cast<Blob*>(p)->length();
}

extern "C" SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size) {
    SQInteger top = sq_gettop(v);
    if (sqstd::push_registered_class(v, kBlobRegName)) {
        sq_pushroottable(v);
        sq_pushinteger(v, size);
        if (SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQFalse))) {
            sq_remove(v, -2); // the class
            SQUserPointer p = nullptr;
            if (SQ_SUCCEEDED(sq_getinstanceup(v, -1, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG))) &&
                p)
                return static_cast<Blob*>(p)->buffer().data()
                           ? static_cast<Blob*>(p)->buffer().data()
                           : reinterpret_cast<uint8_t*>(p);
        }
    }
    sq_settop(v, top);
    return nullptr;
}

extern "C" SQRESULT sqstd_register_bloblib(HSQUIRRELVM v) {
    sqstd::make_stream_class(v, _SC("blob"), sqstd::type_tag(SQSTD_BLOB_TYPE_TAG), kBlobRegName,
                             kBlobMethods);
    sqstd::register_functions(v, kBlobGlobals);
    return SQ_OK;
}
