// The class `stream` that blobs and files derive from, and its methods: readn/writen,
// readblob/writeblob, seek, tell, len, eos, flush.
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
    if (!s || !s->usable()) {
        err = sq_throwerror(v, _SC("the stream is invalid"));
        return nullptr;
    }
    return s;
}

} // namespace sqstd

namespace {

using sqstd::Stream;

template <SQInteger (*Body)(HSQUIRRELVM, Stream&)>
constexpr SQFUNCTION stream_method = sqstd::method<Stream, sqstd::this_stream, Body>;

SQInteger read_blob(HSQUIRRELVM v, Stream& s) {
    SQInteger size = sqstd::int_arg(v, 2);
    if (size <= 0) return sq_throwerror(v, _SC("no data left to read"));
    // Never allocate more than the stream can still give (when it can tell).
    SQInteger len = s.length(), pos = s.position();
    if (len >= 0 && pos >= 0) {
        if (pos >= len) return sq_throwerror(v, _SC("no data left to read"));
        if (size > len - pos) size = len - pos;
    }
    SQUserPointer data = sqstd_createblob(v, size);
    if (!data) return sq_throwerror(v, _SC("out of memory"));
    SQInteger got = s.read(data, size);
    if (got <= 0) return sq_throwerror(v, _SC("no data left to read"));
    if (got < size) {
        SQUserPointer p = nullptr;
        sq_getinstanceup(v, -1, &p, sqstd::type_tag(SQSTD_BLOB_TYPE_TAG));
        static_cast<sqstd::Blob*>(p)->buffer().resize(static_cast<size_t>(got));
    }
    return 1;
}

SQInteger write_blob(HSQUIRRELVM v, Stream& s) {
    SQUserPointer data = nullptr;
    if (sq_gettop(v) < 2 || SQ_FAILED(sqstd_getblob(v, 2, &data)))
        return sq_throwerror(v, _SC("invalid parameter"));
    SQInteger size = sqstd_getblobsize(v, 2);
    if (size > 0 && s.write(data, size) != size) return sq_throwerror(v, _SC("io error"));
    sq_pushinteger(v, size);
    return 1;
}

// The binary number formats of readn/writen, by letter. Numbers are stored little-endian, as on
// the platform the scripts' data files come from, whatever the host's byte order.
enum class NumberKind { Signed, Unsigned, Float };
struct NumberFormat {
    SQInteger letter;
    unsigned bytes;
    NumberKind kind;
};
constexpr NumberFormat kNumberFormats[] = {
    {'c', 1, NumberKind::Signed},   {'b', 1, NumberKind::Unsigned}, {'s', 2, NumberKind::Signed},
    {'w', 2, NumberKind::Unsigned}, {'i', 4, NumberKind::Signed},   {'l', 4, NumberKind::Signed},
    {'f', 4, NumberKind::Float},    {'d', 8, NumberKind::Float}};

const NumberFormat* number_format(SQInteger letter) {
    for (const NumberFormat& f : kNumberFormats)
        if (f.letter == letter) return &f;
    return nullptr;
}

SQInteger read_number(HSQUIRRELVM v, Stream& s) {
    const NumberFormat* f = number_format(sqstd::int_arg(v, 2));
    if (!f) return sq_throwerror(v, _SC("invalid format"));
    unsigned char bytes[8];
    if (s.read(bytes, f->bytes) != static_cast<SQInteger>(f->bytes))
        return sq_throwerror(v, _SC("io error"));
    uint64_t bits = 0;
    for (unsigned k = f->bytes; k-- > 0;) bits = (bits << 8) | bytes[k];
    switch (f->kind) {
    case NumberKind::Float:
        if (f->bytes == 4) {
            float x;
            uint32_t b32 = static_cast<uint32_t>(bits);
            std::memcpy(&x, &b32, sizeof x);
            sq_pushfloat(v, x);
        } else {
            double x;
            std::memcpy(&x, &bits, sizeof x);
            sq_pushfloat(v, static_cast<SQFloat>(x));
        }
        break;
    case NumberKind::Signed: {
        const unsigned unused = 64 - 8 * f->bytes; // sign-extend from the top stored bit
        sq_pushinteger(v, static_cast<SQInteger>(static_cast<int64_t>(bits << unused) >> unused));
        break;
    }
    case NumberKind::Unsigned:
        sq_pushinteger(v, static_cast<SQInteger>(bits));
        break;
    }
    return 1;
}

// Integers keep their low bytes; a float argument to an integer format is truncated first.
SQInteger write_number(HSQUIRRELVM v, Stream& s) {
    const NumberFormat* f = number_format(sqstd::int_arg(v, 3));
    if (!f) return sq_throwerror(v, _SC("invalid format"));
    uint64_t bits;
    if (f->kind == NumberKind::Float) {
        SQFloat x = 0;
        sq_getfloat(v, 2, &x);
        if (f->bytes == 4) {
            float narrow = x;
            uint32_t b32;
            std::memcpy(&b32, &narrow, sizeof b32);
            bits = b32;
        } else {
            double wide = x;
            std::memcpy(&bits, &wide, sizeof bits);
        }
    } else {
        bits = static_cast<uint64_t>(static_cast<int64_t>(sqstd::int_arg(v, 2)));
    }
    unsigned char bytes[8];
    for (unsigned k = 0; k < f->bytes; k++) bytes[k] = static_cast<unsigned char>(bits >> (8 * k));
    s.write(bytes, f->bytes);
    return 0;
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
SQInteger number_of(HSQUIRRELVM v, Stream& s) {
    sq_pushinteger(v, (s.*Query)());
    return 1;
}

// seek(offset[, origin]) answers 0 when the cursor moved, -1 when the target was refused.
SQInteger seek_to(HSQUIRRELVM v, Stream& s) {
    const SQInteger offset = sqstd::int_arg(v, 2);
    sqstd::SeekOrigin origin = sqstd::SeekOrigin::Begin;
    if (sq_gettop(v) > 2 && !seek_origin(sqstd::int_arg(v, 3), origin))
        return sq_throwerror(v, _SC("invalid origin"));
    sq_pushinteger(v, s.seek(offset, origin));
    return 1;
}

SQInteger flush_out(HSQUIRRELVM v, Stream& s) {
    return answer(v, s.flush() == 0);
}

SQInteger at_end(HSQUIRRELVM v, Stream& s) {
    return answer(v, s.at_end());
}

const SQRegFunction kStreamMethods[] = {
    {_SC("readblob"), stream_method<read_blob>, 2, _SC("xn")},
    {_SC("readn"), stream_method<read_number>, 2, _SC("xn")},
    {_SC("writeblob"), stream_method<write_blob>, -2, _SC("xx")},
    {_SC("writen"), stream_method<write_number>, 3, _SC("xnn")},
    {_SC("seek"), stream_method<seek_to>, -2, _SC("xnn")},
    {_SC("tell"), stream_method<number_of<&Stream::position>>, 1, _SC("x")},
    {_SC("len"), stream_method<number_of<&Stream::length>>, 1, _SC("x")},
    {_SC("eos"), stream_method<at_end>, 1, _SC("x")},
    {_SC("flush"), stream_method<flush_out>, 1, _SC("x")},
    {nullptr, nullptr, 0, nullptr}};

// Registry key of the `stream` base class.
const SQChar* const kStreamKey = _SC("std_stream");

// Creates a class with `tag` and `methods`, derived from the class under `base_key` when there
// is one, and stores it in the registry under `key`.
void make_class(HSQUIRRELVM v, const SQChar* key, const SQChar* base_key, SQUserPointer tag,
                const SQRegFunction* methods) {
    sq_pushregistrytable(v);
    sq_pushstring(v, key, -1);
    const bool derived = base_key && sqstd::push_registered_class(v, base_key);
    sq_newclass(v, derived ? SQTrue : SQFalse);
    sq_settypetag(v, -1, tag);
    sqstd::register_functions(v, methods);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}

// table[name] = the class under `key` of the registry.
void publish_class(HSQUIRRELVM v, SQInteger table, const SQChar* name, const SQChar* key) {
    sq_pushstring(v, name, -1);
    sqstd::push_registered_class(v, key);
    sq_newslot(v, table, SQFalse);
}

} // namespace

namespace sqstd {

SQInteger Blob::read(void* buffer, SQInteger size) {
    if (size <= 0) return 0;
    return static_cast<SQInteger>(buf_.read(buffer, static_cast<size_t>(size)));
}

SQInteger Blob::write(const void* buffer, SQInteger size) {
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

void make_stream_class(HSQUIRRELVM v, const SQChar* name, SQUserPointer tag, const SQChar* key,
                       const SQRegFunction* methods) {
    const SQInteger table = sq_gettop(v);
    if (push_registered_class(v, kStreamKey))
        sq_pop(v, 1);
    else // the first stream class of this VM
        make_class(v, kStreamKey, nullptr, type_tag(SQSTD_STREAM_TYPE_TAG), kStreamMethods);
    publish_class(v, table, _SC("stream"), kStreamKey);
    make_class(v, key, kStreamKey, tag, methods);
    publish_class(v, table, name, key);
    sq_settop(v, table);
}

} // namespace sqstd
