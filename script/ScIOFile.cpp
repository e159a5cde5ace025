// IO.File: a path resolved through the file manager on every query, its name helpers, and
// the readers, writers and blobs made from it through the IO table's classes.
#include "script/ScIOClasses.h"

#include "io/Path.h"

namespace KoScript::IOClasses {

const ClassTag fileTag{"IO.File"};

namespace {

using namespace KoScript;

std::shared_ptr<FileData> makeFileData(String path) {
    auto d = std::make_shared<FileData>();
    d->path = KoIO::normalizePath(path);
    if (auto fm = fileManager()) d->file = fm->getFile(d->path);
    return d;
}

SQInteger fileCtor(HSQUIRRELVM v) {
    if (!checkParams(v, "s")) return throwWrongParams(v);
    setInstance(v, 1, makeFileData(*getString(v, 2)));
    return 0;
}

std::shared_ptr<FileData> self(HSQUIRRELVM v) {
    return getInstance<FileData>(v, 1, fileTag);
}

String selfPath(HSQUIRRELVM v) {
    auto d = self(v);
    return d ? d->path : String();
}

// Queries forwarded to the managed file; false or 0 without one.
template <bool (KoIO::IFile::*Query)()>
SQInteger fileQuery(HSQUIRRELVM v) {
    auto d = self(v);
    push(v, d && d->file ? ((*d->file).*Query)() : false);
    return 1;
}

SQInteger fileGetSize(HSQUIRRELVM v) {
    auto d = self(v);
    push(v, SQInteger(d && d->file ? d->file->getSize() : 0));
    return 1;
}

SQInteger fileGetPath(HSQUIRRELVM v) {
    push(v, selfPath(v));
    return 1;
}

SQInteger fileGetAbsolutePath(HSQUIRRELVM v) {
    push(v, KoIO::getAbsolutePath(selfPath(v)));
    return 1;
}

SQInteger fileGetParentPath(HSQUIRRELVM v) {
    push(v, KoIO::getParentPath(selfPath(v)));
    return 1;
}

SQInteger fileGetParentName(HSQUIRRELVM v) {
    push(v, KoIO::getName(KoIO::normalizePath(KoIO::getParentPath(selfPath(v)))));
    return 1;
}

SQInteger fileGetName(HSQUIRRELVM v) {
    push(v, KoIO::getName(selfPath(v)));
    return 1;
}

SQInteger fileGetNameWithoutExtension(HSQUIRRELVM v) {
    push(v, KoIO::getNameWithoutExtension(KoIO::getName(selfPath(v))));
    return 1;
}

// From the name only: a dot in a folder name (a\b.c\d) is no extension.
SQInteger fileGetExtension(HSQUIRRELVM v) {
    push(v, KoIO::getExtension(KoIO::getName(selfPath(v))));
    return 1;
}

SQInteger fileCreateBlob(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto d = self(v);
    auto stream = d && d->file ? d->file->openInputStream(0) : nullptr;
    uint32_t remaining = stream ? stream->getRemaining() : 0;
    if (remaining == 0) {
        sq_pushnull(v);
        return 1;
    }
    SQInteger size = SQInteger(remaining);
    if (size < 0) return throwScriptError(v, kCreateFailed); // 2 GiB and more
    if (SQ_FAILED(constructIoObject(v, u"Blob", [&] {
            push(v, size);
            return 1;
        })))
        return SQ_ERROR;
    // A replaced IO.Blob that makes something else is handed back as it is.
    if (auto blob = getInstance<BlobData>(v, -1, blobTag)) {
        size_t n = std::min<size_t>(blob->bytes.size(), remaining);
        if (n) stream->read(blob->bytes.data(), uint32_t(n));
    }
    return 1;
}

// createBinaryReader(options = 0) and the like: IO.<name>(getPath(), options...), with up to
// maxArgs integer arguments passed on as given.
template <const char16_t* Name, int MaxArgs>
SQInteger fileCreate(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    if (n > MaxArgs) return throwWrongParams(v);
    for (SQInteger i = 0; i < n; ++i)
        if (!isNumber(v, 2 + i)) return throwWrongParams(v);
    String path = selfPath(v);
    return constructIoObject(v, Name, [&] {
        push(v, path);
        for (SQInteger i = 0; i < n; ++i) sq_push(v, 2 + i);
        return 1 + n;
    });
}

constexpr char16_t kBinaryReader[] = u"BinaryReader";
constexpr char16_t kBinaryWriter[] = u"BinaryWriter";
constexpr char16_t kTextReader[] = u"TextReader";
constexpr char16_t kTextWriter[] = u"TextWriter";

SQInteger fileGetParent(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    String parent = KoIO::getParentPath(selfPath(v));
    return constructIoObject(v, u"File", [&] {
        push(v, parent);
        return 1;
    });
}

SQInteger fileGetChildren(HSQUIRRELVM v) {
    auto d = self(v);
    KoIO::FileArray children;
    if (d && d->file) children = d->file->getChildren();
    sq_newarray(v, 0);
    for (const auto& child : children) {
        if (!child) continue;
        auto c = std::make_shared<FileData>();
        c->path = child->getPath();
        c->file = child;
        if (!pushInstance(v, fileTag, c)) return throwScriptError(v, kCreateFailed);
        sq_arrayappend(v, -2);
    }
    return 1;
}

} // namespace

void registerFileClass(HSQUIRRELVM v, SQInteger tableIdx) {
    using F = KoIO::IFile;
    ClassBuilder(v, tableIdx, u"File", fileTag)
        .ctor(fileCtor)
        .method(u"_cloned", shareOnClone<FileData, fileTag>)
        .method(u"exists", fileQuery<&F::exists>)
        .method(u"isFile", fileQuery<&F::isFile>)
        .method(u"isDirectory", fileQuery<&F::isDirectory>)
        .method(u"isHidden", fileQuery<&F::isHidden>)
        .method(u"isReadOnry", fileQuery<&F::isReadOnly>)
        .method(u"getSize", fileGetSize)
        .method(u"remove", fileQuery<&F::remove>)
        .method(u"makeFile", fileQuery<&F::makeFile>)
        .method(u"makeDirectory", fileQuery<&F::makeDirectory>)
        .method(u"getPath", fileGetPath)
        .method(u"getAbsolutePath", fileGetAbsolutePath)
        .method(u"getParentPath", fileGetParentPath)
        .method(u"getParentName", fileGetParentName)
        .method(u"getName", fileGetName)
        .method(u"getNameWithoutExtension", fileGetNameWithoutExtension)
        .method(u"getExtension", fileGetExtension)
        .method(u"createBlob", fileCreateBlob)
        .method(u"createBinaryReader", fileCreate<kBinaryReader, 1>)
        .method(u"createBinaryWriter", fileCreate<kBinaryWriter, 1>)
        .method(u"createTextReader", fileCreate<kTextReader, 2>)
        .method(u"createTextWriter", fileCreate<kTextWriter, 2>)
        .method(u"getParent", fileGetParent)
        .method(u"getChildren", fileGetChildren)
        .done();
}

} // namespace KoScript::IOClasses
