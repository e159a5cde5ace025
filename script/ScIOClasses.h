#pragma once
// Pieces shared by the IO script classes (ScIO*.cpp). Not for other libraries.
#include "io/FileManager.h"
#include "io/IFile.h"
#include "io/Reader.h"
#include "script/bind/Bind.h"

#include <memory>
#include <string>
#include <vector>

namespace KoScript::IOClasses {

using KoScript::ClassTag;
using KoScript::String;

// A fixed-size byte array with a cursor that stays within [0, size].
struct BlobData {
    std::vector<uint8_t> bytes;
    int32_t cursor = 0;
};

// A file as the script named it (normalised) and the managed file over that path.
struct FileData {
    String path;
    KoIO::FilePtr file;
};

extern const ClassTag blobTag, binaryReaderTag, binaryWriterTag, textReaderTag, textWriterTag,
    stringReaderTag, stringWriterTag, fileTag;

// Each registers its class into the table at tableIdx.
void registerBinaryClasses(HSQUIRRELVM v, SQInteger tableIdx); // Blob, BinaryReader, BinaryWriter
void registerTextClasses(HSQUIRRELVM v, SQInteger tableIdx);   // the four readers and writers
void registerFileClass(HSQUIRRELVM v, SQInteger tableIdx);

// Pushes a new IO.Blob holding `data`; false (nothing pushed) when the class is not bound.
bool pushBlob(HSQUIRRELVM v, std::shared_ptr<BlobData> data);

// Calls the class IO[name] with the arguments pushed by pushArgs (returning their count), as
// a script calling it would, so the constructor's checks and errors apply. The new instance
// is left pushed on success; on failure the error is raised and SQ_ERROR returned.
template <class PushArgs>
SQInteger constructIoObject(HSQUIRRELVM v, std::u16string_view name, PushArgs pushArgs);
SQInteger pushIoMember(HSQUIRRELVM v, std::u16string_view name);

// The _cloned hook of every IO class: a clone shares the original's native object, as
// copies of a script object do.
template <class T, const ClassTag& Tag>
SQInteger shareOnClone(HSQUIRRELVM v) {
    if (auto original = KoScript::getInstance<T>(v, 2, Tag)) KoScript::setInstance(v, 1, original);
    return 0;
}

// The native object of `this` for a method of tag's class.
template <class T, const ClassTag& Tag>
std::shared_ptr<T> self(HSQUIRRELVM v) {
    return KoScript::getInstance<T>(v, 1, Tag);
}

// close / isClosed of every IO object that can be closed (streams, readers, writers): an
// object that is gone reads as closed.
template <class Object, std::shared_ptr<Object> (*Get)(HSQUIRRELVM)>
struct CloseMethods {
    static SQInteger close(HSQUIRRELVM v) {
        if (auto o = Get(v)) o->close();
        return 0;
    }
    static SQInteger isClosed(HSQUIRRELVM v) {
        auto o = Get(v);
        KoScript::push(v, o ? o->isClosed() : true);
        return 1;
    }
};

// The process-wide file manager; null when there is none.
inline KoIO::FileManagerPtr fileManager() {
    return KoIO::getFileManager();
}

// An integer argument; false when it is not a number.
inline bool intArg(HSQUIRRELVM v, SQInteger idx, SQInteger& out) {
    if (!KoScript::isNumber(v, idx)) return false;
    out = KoScript::getInt(v, idx).value_or(0);
    return true;
}

template <class PushArgs>
SQInteger constructIoObject(HSQUIRRELVM v, std::u16string_view name, PushArgs pushArgs) {
    if (SQ_FAILED(pushIoMember(v, name))) return SQ_ERROR;
    sq_pushroottable(v);
    SQInteger n = pushArgs();
    if (SQ_FAILED(sq_call(v, n + 1, SQTrue, SQTrue))) return SQ_ERROR;
    sq_remove(v, -2); // the class
    return 1;
}

} // namespace KoScript::IOClasses
