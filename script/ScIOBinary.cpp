// IO.Blob, IO.BinaryReader and IO.BinaryWriter: little-endian values in a fixed byte array
// and over the file manager's streams. No read or write ever leaves the array, the stream's
// data or the argument blob, whatever cursor, offset or count a script passes.
#include "script/ScIOClasses.h"

#include "io/Path.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace KoScript::IOClasses {

const ClassTag blobTag{"IO.Blob"};
const ClassTag binaryReaderTag{"IO.BinaryReader"};
const ClassTag binaryWriterTag{"IO.BinaryWriter"};

namespace {

using namespace KoScript;

// --- values ----------------------------------------------------------------------------------

enum class Kind { Int8, Uint8, Int16, Uint16, Int32, Float32, Float64 };

constexpr uint32_t sizeOf(Kind k) {
    switch (k) {
    case Kind::Int8:
    case Kind::Uint8:
        return 1;
    case Kind::Int16:
    case Kind::Uint16:
        return 2;
    case Kind::Int32:
    case Kind::Float32:
        return 4;
    case Kind::Float64:
        return 8;
    }
    return 0;
}

uint64_t loadLittleEndian(const uint8_t* b, uint32_t n) {
    uint64_t r = 0;
    for (uint32_t i = 0; i < n; ++i) r |= uint64_t(b[i]) << (8 * i);
    return r;
}

void storeLittleEndian(uint8_t* b, uint64_t value, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) b[i] = uint8_t(value >> (8 * i));
}

// Pushes the value the bytes hold.
void pushValue(HSQUIRRELVM v, Kind k, const uint8_t* b) {
    uint64_t raw = loadLittleEndian(b, sizeOf(k));
    switch (k) {
    case Kind::Int8:
        push(v, SQInteger(int8_t(raw)));
        break;
    case Kind::Uint8:
        push(v, SQInteger(uint8_t(raw)));
        break;
    case Kind::Int16:
        push(v, SQInteger(int16_t(raw)));
        break;
    case Kind::Uint16:
        push(v, SQInteger(uint16_t(raw)));
        break;
    case Kind::Int32:
        push(v, SQInteger(int32_t(uint32_t(raw))));
        break;
    case Kind::Float32: {
        float f;
        uint32_t bits = uint32_t(raw);
        std::memcpy(&f, &bits, 4);
        push(v, SQFloat(f));
        break;
    }
    case Kind::Float64: {
        double d;
        std::memcpy(&d, &raw, 8);
        push(v, SQFloat(d));
        break;
    }
    }
}

// The zero value of the kind, for reads that find too few bytes.
void pushZero(HSQUIRRELVM v, Kind k) {
    if (k == Kind::Float32 || k == Kind::Float64)
        push(v, SQFloat(0));
    else
        push(v, SQInteger(0));
}

// Encodes argument 2 as the kind's bytes; false when it is not a number.
bool encodeArg(HSQUIRRELVM v, Kind k, uint8_t* out) {
    if (!isNumber(v, 2)) return false;
    if (k == Kind::Float32) {
        float f = getFloat(v, 2).value_or(0);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        storeLittleEndian(out, bits, 4);
    } else if (k == Kind::Float64) {
        double d = getFloat(v, 2).value_or(0);
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        storeLittleEndian(out, bits, 8);
    } else {
        storeLittleEndian(out, uint32_t(getInt(v, 2).value_or(0)), sizeOf(k));
    }
    return true;
}

// --- IO.Blob ---------------------------------------------------------------------------------

std::shared_ptr<BlobData> self(HSQUIRRELVM v) {
    return getInstance<BlobData>(v, 1, blobTag);
}

// A blob argument; null for null, a non-blob or an instance made without its constructor.
std::shared_ptr<BlobData> blobArg(HSQUIRRELVM v, SQInteger idx) {
    return getInstance<BlobData>(v, idx, blobTag);
}

std::shared_ptr<BlobData> makeBlob(SQInteger size) {
    if (size < 0) return nullptr;
    try {
        auto b = std::make_shared<BlobData>();
        b->bytes.resize(size_t(size));
        return b;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

SQInteger blobCtor(HSQUIRRELVM v) {
    if (!checkParams(v, "i")) return throwWrongParams(v);
    auto b = makeBlob(*getInt(v, 2));
    if (!b) return throwScriptError(v, kCreateFailed);
    setInstance(v, 1, b);
    return 0;
}

SQInteger blobGetLength(HSQUIRRELVM v) {
    auto b = self(v);
    push(v, SQInteger(b ? b->bytes.size() : 0));
    return 1;
}

SQInteger blobGetCursor(HSQUIRRELVM v) {
    auto b = self(v);
    push(v, SQInteger(b ? b->cursor : 0));
    return 1;
}

// The end itself is refused: the cursor can only get there by reading or writing.
SQInteger blobSetCursor(HSQUIRRELVM v) {
    SQInteger p;
    if (!checkParams(v, "i") || !intArg(v, 2, p)) return throwWrongParams(v);
    auto b = self(v);
    bool ok = b && p >= 0 && size_t(p) < b->bytes.size();
    if (ok) b->cursor = p;
    push(v, ok);
    return 1;
}

uint32_t blobRemaining(const BlobData& b) {
    return uint32_t(b.bytes.size() - size_t(b.cursor));
}

template <Kind K>
SQInteger blobRead(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto b = self(v);
    if (!b || blobRemaining(*b) < sizeOf(K)) {
        pushZero(v, K);
        return 1;
    }
    pushValue(v, K, b->bytes.data() + b->cursor);
    b->cursor += sizeOf(K);
    return 1;
}

template <Kind K>
SQInteger blobWrite(HSQUIRRELVM v) {
    uint8_t bytes[8];
    if (argCount(v) != 1 || !encodeArg(v, K, bytes)) return throwWrongParams(v);
    auto b = self(v);
    bool ok = b && blobRemaining(*b) >= sizeOf(K);
    if (ok) {
        std::memcpy(b->bytes.data() + b->cursor, bytes, sizeOf(K));
        b->cursor += sizeOf(K);
    }
    push(v, ok);
    return 1;
}

// The size argument of readBlob: below 0 or above what remains means "all that remains".
bool readBlobCount(HSQUIRRELVM v, uint32_t remaining, uint32_t& count) {
    SQInteger size = -1;
    if (argCount(v) == 1) {
        if (!intArg(v, 2, size)) return false;
    } else if (argCount(v) != 0) {
        return false;
    }
    count = (size < 0 || uint32_t(size) > remaining) ? remaining : uint32_t(size);
    return true;
}

SQInteger blobReadBlob(HSQUIRRELVM v) {
    auto b = self(v);
    uint32_t count = 0;
    if (!readBlobCount(v, b ? blobRemaining(*b) : 0, count)) return throwWrongParams(v);
    if (count == 0) {
        sq_pushnull(v);
        return 1;
    }
    auto out = makeBlob(count);
    if (!out) return throwScriptError(v, kCreateFailed);
    std::memcpy(out->bytes.data(), b->bytes.data() + b->cursor, count);
    b->cursor += count;
    if (!pushBlob(v, out)) return throwScriptError(v, kCreateFailed);
    return 1;
}

// Copies at most what fits between the cursor and the end; the count copied is the result.
// The source may be the blob itself.
SQInteger blobCopyIn(HSQUIRRELVM v, const BlobData& src, uint32_t offset, uint32_t count) {
    auto b = self(v);
    uint32_t n = b ? std::min(count, blobRemaining(*b)) : 0;
    if (n) {
        std::memmove(b->bytes.data() + b->cursor, src.bytes.data() + offset, n);
        b->cursor += n;
    }
    push(v, SQInteger(n));
    return 1;
}

// A source range of writeBlob(blob, offset, count): empty when offset is outside the blob or
// count is negative; the count is cut to what the blob holds from offset.
bool sourceRange(HSQUIRRELVM v, std::shared_ptr<BlobData>& src, uint32_t& offset, uint32_t& count) {
    SQInteger o, c;
    if (!intArg(v, 3, o) || !intArg(v, 4, c)) return false;
    src = blobArg(v, 2);
    if (!src || o < 0 || size_t(o) >= src->bytes.size() || c < 0) {
        count = 0;
        return true;
    }
    offset = uint32_t(o);
    count = std::min(uint32_t(c), uint32_t(src->bytes.size() - offset));
    return true;
}

SQInteger blobWriteBlob1(HSQUIRRELVM v) {
    auto src = blobArg(v, 2);
    if (!src || src->bytes.empty()) {
        push(v, SQInteger(0));
        return 1;
    }
    return blobCopyIn(v, *src, 0, uint32_t(src->bytes.size()));
}

SQInteger blobWriteBlob3(HSQUIRRELVM v) {
    std::shared_ptr<BlobData> src;
    uint32_t offset = 0, count = 0;
    if (!sourceRange(v, src, offset, count)) return throwWrongParams(v);
    if (count == 0) {
        push(v, SQInteger(0));
        return 1;
    }
    return blobCopyIn(v, *src, offset, count);
}

// --- IO.BinaryReader -------------------------------------------------------------------------

std::shared_ptr<KoIO::IInputStream> input(HSQUIRRELVM v) {
    return getInstance<KoIO::IInputStream>(v, 1, binaryReaderTag);
}

std::shared_ptr<KoIO::IOutputStream> output(HSQUIRRELVM v) {
    return getInstance<KoIO::IOutputStream>(v, 1, binaryWriterTag);
}

// Arguments (path, options = 0): the path as given and the options.
bool pathAndOptions(HSQUIRRELVM v, String& path, uint32_t& options) {
    if (checkParams(v, "s")) {
        options = 0;
    } else if (checkParams(v, "si")) {
        options = uint32_t(*getInt(v, 3));
    } else {
        return false;
    }
    path = *getString(v, 2);
    return true;
}

SQInteger readerCtor(HSQUIRRELVM v) {
    String path;
    uint32_t options;
    if (!pathAndOptions(v, path, options)) return throwWrongParams(v);
    auto fm = fileManager();
    auto stream = fm ? fm->openInputStream(KoIO::normalizePath(path), options) : nullptr;
    if (!stream)
        return throwScriptError(v, format(u"ファイル '%s' の読み込みに失敗しました。", {path}));
    setInstance(v, 1, stream);
    return 0;
}

SQInteger writerCtor(HSQUIRRELVM v) {
    String path;
    uint32_t options;
    if (!pathAndOptions(v, path, options)) return throwWrongParams(v);
    auto fm = fileManager();
    auto stream = fm ? fm->openOutputStream(KoIO::normalizePath(path), options) : nullptr;
    if (!stream)
        return throwScriptError(v, format(u"ファイル '%s' の生成に失敗しました。", {path}));
    setInstance(v, 1, stream);
    return 0;
}

// close / isClosed / getLength / getCursor / setCursor are the same on both sides.
template <class Stream, std::shared_ptr<Stream> (*Get)(HSQUIRRELVM)>
struct StreamMethods : CloseMethods<Stream, Get> {
    static SQInteger getLength(HSQUIRRELVM v) {
        auto s = Get(v);
        push(v, SQInteger(s ? s->getLength() : 0));
        return 1;
    }
    static SQInteger getCursor(HSQUIRRELVM v) {
        auto s = Get(v);
        push(v, SQInteger(s ? s->getCursor() : 0));
        return 1;
    }
    static SQInteger setCursor(HSQUIRRELVM v) {
        SQInteger p;
        if (argCount(v) != 1 || !intArg(v, 2, p)) return throwWrongParams(v);
        auto s = Get(v);
        push(v, s && p >= 0 && s->setCursor(uint32_t(p)));
        return 1;
    }
};
using InputMethods = StreamMethods<KoIO::IInputStream, input>;
using OutputMethods = StreamMethods<KoIO::IOutputStream, output>;

SQInteger readerIsReadable(HSQUIRRELVM v) {
    auto s = input(v);
    push(v, s ? s->isReadable() : false);
    return 1;
}

// What remains to read; 0 also while the stream reports a failed cursor.
uint32_t streamRemaining(KoIO::IInputStream& s) {
    int64_t rest = int64_t(s.getLength()) - int64_t(s.getCursor());
    return rest > 0 ? uint32_t(rest) : 0;
}

template <Kind K>
SQInteger readerRead(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto s = input(v);
    uint8_t bytes[8] = {};
    if (!s || s->read(bytes, sizeOf(K)) != sizeOf(K)) {
        pushZero(v, K); // a short read never shows stale or partial bytes
        return 1;
    }
    pushValue(v, K, bytes);
    return 1;
}

SQInteger readerReadBlob(HSQUIRRELVM v) {
    auto s = input(v);
    uint32_t count = 0;
    if (!readBlobCount(v, s ? streamRemaining(*s) : 0, count)) return throwWrongParams(v);
    if (count == 0) {
        sq_pushnull(v);
        return 1;
    }
    auto out = makeBlob(count);
    if (!out) return throwScriptError(v, kCreateFailed);
    s->read(out->bytes.data(), count); // bytes a short read leaves out stay zero
    if (!pushBlob(v, out)) return throwScriptError(v, kCreateFailed);
    return 1;
}

// --- IO.BinaryWriter -------------------------------------------------------------------------

SQInteger writerIsWritable(HSQUIRRELVM v) {
    auto s = output(v);
    push(v, s ? s->isWritable() : false);
    return 1;
}

template <Kind K>
SQInteger writerWrite(HSQUIRRELVM v) {
    uint8_t bytes[8];
    if (argCount(v) != 1 || !encodeArg(v, K, bytes)) return throwWrongParams(v);
    auto s = output(v);
    push(v, SQInteger(s ? s->write(bytes, sizeOf(K)) : 0));
    return 1;
}

SQInteger writerWriteBlob1(HSQUIRRELVM v) {
    auto src = blobArg(v, 2);
    auto s = output(v);
    uint32_t n = 0;
    if (s && src && !src->bytes.empty())
        n = s->write(src->bytes.data(), uint32_t(src->bytes.size()));
    push(v, SQInteger(n));
    return 1;
}

SQInteger writerWriteBlob3(HSQUIRRELVM v) {
    std::shared_ptr<BlobData> src;
    uint32_t offset = 0, count = 0;
    if (!sourceRange(v, src, offset, count)) return throwWrongParams(v);
    auto s = output(v);
    uint32_t n = (s && count) ? s->write(src->bytes.data() + offset, count) : 0;
    push(v, SQInteger(n));
    return 1;
}

SQInteger writerFlush(HSQUIRRELVM v) {
    auto s = output(v);
    push(v, s ? s->flush() : false);
    return 1;
}

} // namespace

bool pushBlob(HSQUIRRELVM v, std::shared_ptr<BlobData> data) {
    return pushInstance(v, blobTag, std::move(data));
}

void registerBinaryClasses(HSQUIRRELVM v, SQInteger tableIdx) {
    ClassBuilder(v, tableIdx, u"Blob", blobTag)
        .ctor(blobCtor)
        .method(u"_cloned", shareOnClone<BlobData, blobTag>)
        .method(u"getLength", blobGetLength)
        .method(u"getCursor", blobGetCursor)
        .method(u"setCursor", blobSetCursor)
        .method(u"readInt8", blobRead<Kind::Int8>)
        .method(u"readUint8", blobRead<Kind::Uint8>)
        .method(u"readInt16", blobRead<Kind::Int16>)
        .method(u"readUint16", blobRead<Kind::Uint16>)
        .method(u"readInt32", blobRead<Kind::Int32>)
        .method(u"readFloat32", blobRead<Kind::Float32>)
        .method(u"readFloat64", blobRead<Kind::Float64>)
        .method(u"readBlob", blobReadBlob)
        .method(u"writeInt8", blobWrite<Kind::Int8>)
        .method(u"writeUint8", blobWrite<Kind::Uint8>)
        .method(u"writeInt16", blobWrite<Kind::Int16>)
        .method(u"writeUint16", blobWrite<Kind::Uint16>)
        .method(u"writeInt32", blobWrite<Kind::Int32>)
        .method(u"writeFloat32", blobWrite<Kind::Float32>)
        .method(u"writeFloat64", blobWrite<Kind::Float64>)
        .overloads(u"writeBlob", {{1, blobWriteBlob1}, {3, blobWriteBlob3}})
        .done();

    ClassBuilder(v, tableIdx, u"BinaryReader", binaryReaderTag)
        .ctor(readerCtor)
        .method(u"_cloned", shareOnClone<KoIO::IInputStream, binaryReaderTag>)
        .method(u"close", InputMethods::close)
        .method(u"isClosed", InputMethods::isClosed)
        .method(u"isReadable", readerIsReadable)
        .method(u"getLength", InputMethods::getLength)
        .method(u"setCursor", InputMethods::setCursor)
        .method(u"getCursor", InputMethods::getCursor)
        .method(u"readInt8", readerRead<Kind::Int8>)
        .method(u"readInt16", readerRead<Kind::Int16>)
        .method(u"readInt32", readerRead<Kind::Int32>)
        .method(u"readUint8", readerRead<Kind::Uint8>)
        .method(u"readUint16", readerRead<Kind::Uint16>)
        .method(u"readFloat32", readerRead<Kind::Float32>)
        .method(u"readFloat64", readerRead<Kind::Float64>)
        .method(u"readBlob", readerReadBlob)
        .done();

    ClassBuilder(v, tableIdx, u"BinaryWriter", binaryWriterTag)
        .ctor(writerCtor)
        .method(u"_cloned", shareOnClone<KoIO::IOutputStream, binaryWriterTag>)
        .method(u"close", OutputMethods::close)
        .method(u"isClosed", OutputMethods::isClosed)
        .method(u"isWritable", writerIsWritable)
        .method(u"getLength", OutputMethods::getLength)
        .method(u"getCursor", OutputMethods::getCursor)
        .method(u"setCursor", OutputMethods::setCursor)
        .method(u"writeInt8", writerWrite<Kind::Int8>)
        .method(u"writeInt16", writerWrite<Kind::Int16>)
        .method(u"writeInt32", writerWrite<Kind::Int32>)
        .method(u"writeUint8", writerWrite<Kind::Uint8>)
        .method(u"writeUint16", writerWrite<Kind::Uint16>)
        .method(u"writeFloat32", writerWrite<Kind::Float32>)
        .method(u"writeFloat64", writerWrite<Kind::Float64>)
        .overloads(u"writeBlob", {{1, writerWriteBlob1}, {3, writerWriteBlob3}})
        .method(u"flush", writerFlush)
        .done();
}

} // namespace KoScript::IOClasses
