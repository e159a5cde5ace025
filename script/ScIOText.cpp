// IO.TextReader, IO.TextWriter (over the file manager's streams, in one of the encodings) and
// IO.StringReader, IO.StringWriter (over a string). The pairs share their methods; a count or
// start outside the text only ever shortens what is read or written.
#include "script/ScIOClasses.h"

#include "io/Path.h"

#include <algorithm>

namespace KoScript::IOClasses {

const ClassTag textReaderTag{"IO.TextReader"};
const ClassTag textWriterTag{"IO.TextWriter"};
const ClassTag stringReaderTag{"IO.StringReader"};
const ClassTag stringWriterTag{"IO.StringWriter"};

namespace {

using namespace KoScript;

// Arguments (path, options = 0, encoding = Shift_JIS).
bool pathOptionsEncoding(HSQUIRRELVM v, String& path, uint32_t& options, int& encoding) {
    options = 0;
    encoding = KoIO::SHIFT_JIS;
    if (checkParams(v, "sii")) {
        options = uint32_t(*getInt(v, 3));
        encoding = *getInt(v, 4);
    } else if (checkParams(v, "si")) {
        options = uint32_t(*getInt(v, 3));
    } else if (!checkParams(v, "s")) {
        return false;
    }
    path = *getString(v, 2);
    return true;
}

SQInteger textReaderCtor(HSQUIRRELVM v) {
    String path;
    uint32_t options;
    int encoding;
    if (!pathOptionsEncoding(v, path, options, encoding)) return throwWrongParams(v);
    std::shared_ptr<KoIO::IReader> reader;
    if (auto decoder = KoIO::createDecoder(encoding)) {
        auto fm = fileManager();
        auto stream = fm ? fm->openInputStream(KoIO::normalizePath(path), options) : nullptr;
        reader = KoIO::Core::StreamReader::create(stream, decoder);
    }
    if (!reader)
        return throwScriptError(v, format(u"ファイル '%s' の読み込みに失敗しました。", {path}));
    setInstance(v, 1, reader);
    return 0;
}

// The encoding is checked before the file is opened: opening for writing may already empty it.
SQInteger textWriterCtor(HSQUIRRELVM v) {
    String path;
    uint32_t options;
    int encoding;
    if (!pathOptionsEncoding(v, path, options, encoding)) return throwWrongParams(v);
    std::shared_ptr<KoIO::IWriter> writer;
    if (auto encoder = KoIO::createEncoder(encoding)) {
        auto fm = fileManager();
        auto stream = fm ? fm->openOutputStream(KoIO::normalizePath(path), options) : nullptr;
        writer = KoIO::Core::StreamWriter::create(stream, encoder);
    }
    if (!writer)
        return throwScriptError(v, format(u"ファイル '%s' の生成に失敗しました。", {path}));
    setInstance(v, 1, writer);
    return 0;
}

SQInteger stringReaderCtor(HSQUIRRELVM v) {
    if (!checkParams(v, "s")) return throwWrongParams(v);
    std::shared_ptr<KoIO::IReader> reader =
        std::make_shared<KoIO::Core::StringReader>(*getString(v, 2));
    setInstance(v, 1, reader);
    return 0;
}

SQInteger stringWriterCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    std::shared_ptr<KoIO::IWriter> writer = std::make_shared<KoIO::Core::StringWriter>();
    setInstance(v, 1, writer);
    return 0;
}

void pushLines(HSQUIRRELVM v, const std::vector<String>& lines) {
    sq_newarray(v, 0);
    for (const auto& line : lines) {
        push(v, line);
        sq_arrayappend(v, -2);
    }
}

// A count argument; negative counts read or write nothing.
bool countArg(HSQUIRRELVM v, SQInteger idx, uint32_t& count) {
    SQInteger n;
    if (!intArg(v, idx, n)) return false;
    count = n < 0 ? 0 : uint32_t(n);
    return true;
}

template <const ClassTag& Tag>
struct ReaderMethods : CloseMethods<KoIO::IReader, self<KoIO::IReader, Tag>> {
    static constexpr auto get = self<KoIO::IReader, Tag>;
    static SQInteger isReadable(HSQUIRRELVM v) {
        auto r = get(v);
        push(v, r ? r->isReadable() : false);
        return 1;
    }
    // One character; at the end it is U+FFFF, as the reader gives it.
    static SQInteger readChar(HSQUIRRELVM v) {
        auto r = get(v);
        if (!r) {
            push(v, u"");
            return 1;
        }
        char16_t c = r->readChar();
        push(v, std::u16string_view(&c, 1));
        return 1;
    }
    static SQInteger readCount(HSQUIRRELVM v) {
        uint32_t count;
        if (!countArg(v, 2, count)) return throwWrongParams(v);
        auto r = get(v);
        push(v, r && count ? r->read(count) : String());
        return 1;
    }
    static SQInteger readLine(HSQUIRRELVM v) {
        if (argCount(v) != 0) return throwWrongParams(v);
        auto r = get(v);
        push(v, r ? r->readLine() : String());
        return 1;
    }
    static SQInteger readAll(HSQUIRRELVM v) {
        if (argCount(v) != 0) return throwWrongParams(v);
        auto r = get(v);
        push(v, r ? r->readAll() : String());
        return 1;
    }
    static SQInteger readLines(HSQUIRRELVM v) {
        auto r = get(v);
        pushLines(v, r ? r->readLines() : std::vector<String>());
        return 1;
    }
    static SQInteger readLinesCount(HSQUIRRELVM v) {
        uint32_t count;
        if (!countArg(v, 2, count)) return throwWrongParams(v);
        auto r = get(v);
        pushLines(v, r && count ? r->readLines(count) : std::vector<String>());
        return 1;
    }

    static void bind(ClassBuilder& c) {
        c.method(u"close", ReaderMethods::close)
            .method(u"isClosed", ReaderMethods::isClosed)
            .method(u"isReadable", isReadable)
            .overloads(u"read", {{0, readChar}, {1, readCount}})
            .method(u"readLine", readLine)
            .method(u"readAll", readAll)
            .overloads(u"readLines", {{0, readLines}, {1, readLinesCount}});
    }
};

// The piece of argument 2 that write(text, ...) writes: all of it, its first `count`
// characters (as the writer cuts them), or `count` characters from `start`, cut to the text.
// A start outside the text gives an empty piece.
struct Piece {
    String text;
    uint32_t count = 0;
};

bool pieceArgs(HSQUIRRELVM v, Piece& piece) {
    SQInteger n = argCount(v);
    if (n < 1 || n > 3 || sq_gettype(v, 2) != OT_STRING) return false;
    String text = *getString(v, 2);
    if (n == 1) {
        piece.count = uint32_t(text.size());
        piece.text = std::move(text);
        return true;
    }
    uint32_t count;
    if (!countArg(v, n + 1, count)) return false;
    if (n == 2) {
        piece.count = count;
        piece.text = std::move(text);
        return true;
    }
    SQInteger start;
    if (!intArg(v, 3, start)) return false;
    if (start < 0 || size_t(start) > text.size()) return true; // empty piece
    piece.text = text.substr(size_t(start));
    piece.count = std::min(count, uint32_t(piece.text.size()));
    return true;
}

template <const ClassTag& Tag>
struct WriterMethods : CloseMethods<KoIO::IWriter, self<KoIO::IWriter, Tag>> {
    static constexpr auto get = self<KoIO::IWriter, Tag>;
    static SQInteger isWritable(HSQUIRRELVM v) {
        auto w = get(v);
        push(v, w ? w->isWritable() : false);
        return 1;
    }
    static SQInteger write(HSQUIRRELVM v) {
        Piece p;
        if (!pieceArgs(v, p)) return throwWrongParams(v);
        auto w = get(v);
        push(v, SQInteger(w ? w->write(p.text, p.count) : 0));
        return 1;
    }
    static SQInteger writeLine(HSQUIRRELVM v) {
        Piece p;
        if (!pieceArgs(v, p)) return throwWrongParams(v);
        auto w = get(v);
        push(v, SQInteger(w ? w->writeLine(p.text, p.count) : 0));
        return 1;
    }
    static SQInteger flush(HSQUIRRELVM v) {
        auto w = get(v);
        push(v, w ? w->flush() : false);
        return 1;
    }

    static void bind(ClassBuilder& c) {
        c.method(u"close", WriterMethods::close)
            .method(u"isClosed", WriterMethods::isClosed)
            .method(u"isWritable", isWritable)
            .overloads(u"write", {{1, write}, {2, write}, {3, write}})
            .overloads(u"writeLine", {{1, writeLine}, {2, writeLine}, {3, writeLine}})
            .method(u"flush", flush);
    }
};

SQInteger stringWriterGetString(HSQUIRRELVM v) {
    auto w = std::dynamic_pointer_cast<KoIO::Core::StringWriter>(
        getInstance<KoIO::IWriter>(v, 1, stringWriterTag));
    push(v, w ? w->getString() : String());
    return 1;
}

} // namespace

void registerTextClasses(HSQUIRRELVM v, SQInteger tableIdx) {
    {
        ClassBuilder c(v, tableIdx, u"TextReader", textReaderTag);
        c.ctor(textReaderCtor);
        c.method(u"_cloned", shareOnClone<KoIO::IReader, textReaderTag>);
        ReaderMethods<textReaderTag>::bind(c);
        c.done();
    }
    {
        ClassBuilder c(v, tableIdx, u"TextWriter", textWriterTag);
        c.ctor(textWriterCtor);
        c.method(u"_cloned", shareOnClone<KoIO::IWriter, textWriterTag>);
        WriterMethods<textWriterTag>::bind(c);
        c.done();
    }
    {
        ClassBuilder c(v, tableIdx, u"StringReader", stringReaderTag);
        c.ctor(stringReaderCtor);
        c.method(u"_cloned", shareOnClone<KoIO::IReader, stringReaderTag>);
        ReaderMethods<stringReaderTag>::bind(c);
        c.done();
    }
    {
        ClassBuilder c(v, tableIdx, u"StringWriter", stringWriterTag);
        c.ctor(stringWriterCtor);
        c.method(u"_cloned", shareOnClone<KoIO::IWriter, stringWriterTag>);
        WriterMethods<stringWriterTag>::bind(c);
        c.method(u"getString", stringWriterGetString);
        c.done();
    }
}

} // namespace KoScript::IOClasses
