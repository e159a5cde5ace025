// io library: the file class, the standard streams, dofile, loadfile and
// writeclosuretofile. File names arrive as UTF-16 and are opened by their
// UTF-8 form; `\` separates paths as well as `/`.
#include <sqstdio.h>

#include <sqstdblob.h>
#include <sqstdprintf.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "squirrel/internal/utf16.h"
#include "squirrel/stdlib/pathcase.h"
#include "squirrel/stdlib/regutil.h"
#include "squirrel/stdlib/stream.h"

namespace {

const SQChar* const kFileRegName = _SC("std_file");

// The on-disk path of a script's file name; files to be created keep their
// last component as written.
std::string native_path(const SQChar* name, size_t n, bool creating = false) {
    return sqstd::resolve_path(sqstd::to_utf8(std::u16string_view(name, n)), creating);
}

std::string native_path(const SQChar* name, bool creating = false) {
    return native_path(name, name ? std::char_traits<SQChar>::length(name) : 0, creating);
}

// fopen modes: r, w or a, then at most one each of '+', 'b', 't'.
bool valid_mode(const std::string& m, std::string& out) {
    if (m.empty() || (m[0] != 'r' && m[0] != 'w' && m[0] != 'a')) return false;
    bool plus = false, b = false, t = false;
    out = m.substr(0, 1);
    for (size_t i = 1; i < m.size(); ++i) {
        char c = m[i];
        if (c == '+' && !plus)
            plus = true;
        else if (c == 'b' && !b && !t)
            b = true;
        else if (c == 't' && !t && !b)
            t = true;
        else
            return false;
    }
    if (plus) out += '+';
    if (b) out += 'b';
    return true;
}

class File final : public sqstd::Stream {
public:
    File(FILE* f, bool owns) : f_(f), owns_(owns) {}
    ~File() override { close(); }
    SQInteger read(void* buffer, SQInteger size) override {
        if (!f_ || size <= 0) return 0;
        return static_cast<SQInteger>(std::fread(buffer, 1, static_cast<size_t>(size), f_));
    }
    SQInteger write(const void* buffer, SQInteger size) override {
        if (!f_ || size <= 0) return 0;
        return static_cast<SQInteger>(std::fwrite(buffer, 1, static_cast<size_t>(size), f_));
    }
    SQInteger flush() override { return f_ ? std::fflush(f_) : -1; }
    SQInteger position() override { return f_ ? static_cast<SQInteger>(std::ftell(f_)) : -1; }
    SQInteger length() override {
        if (!f_) return -1;
        long cur = std::ftell(f_);
        if (cur < 0 || std::fseek(f_, 0, SEEK_END) != 0) return -1;
        long len = std::ftell(f_);
        std::fseek(f_, cur, SEEK_SET);
        return static_cast<SQInteger>(len);
    }
    SQInteger seek(SQInteger offset, sqstd::SeekOrigin origin) override {
        if (!f_) return -1;
        int o = origin == sqstd::SeekOrigin::Begin     ? SEEK_SET
                : origin == sqstd::SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
        return std::fseek(f_, offset, o) == 0 ? 0 : -1;
    }
    bool usable() override { return f_ != nullptr; }
    // At the end once the cursor has reached the last byte, not only after a read failed, so
    // `while (!f.eos()) f.readn('b')` stops after the last byte. Pipes and terminals only
    // know it after a read.
    bool at_end() override {
        if (!f_) return false;
        if (std::feof(f_)) return true;
        struct stat st;
        if (fstat(fileno(f_), &st) != 0 || !S_ISREG(st.st_mode)) return false;
        long pos = std::ftell(f_);
        return pos >= 0 && pos >= st.st_size;
    }
    void close() {
        if (f_ && owns_) std::fclose(f_);
        f_ = nullptr;
    }
    FILE* handle() { return f_; }

private:
    FILE* f_;
    bool owns_;
};

SQInteger file_release(SQUserPointer p, SQInteger) {
    delete static_cast<File*>(p);
    return 1;
}

SQInteger file_constructor(HSQUIRRELVM v) {
    FILE* f = nullptr;
    bool owns = true;
    const SQChar *name = nullptr, *mode = nullptr;
    if (sq_gettype(v, 2) == OT_STRING && sq_gettype(v, 3) == OT_STRING) {
        sq_getstring(v, 2, &name);
        sq_getstring(v, 3, &mode);
        std::string m;
        if (!valid_mode(
                sqstd::to_utf8(std::u16string_view(mode, static_cast<size_t>(sq_getsize(v, 3)))),
                m))
            return sq_throwerror(v, _SC("cannot open file"));
        std::string path = native_path(name, static_cast<size_t>(sq_getsize(v, 2)), m[0] != 'r');
        if (path.find('\0') != std::string::npos || !(f = std::fopen(path.c_str(), m.c_str())))
            return sq_throwerror(v, _SC("cannot open file"));
    } else if (sq_gettype(v, 2) == OT_USERPOINTER) {
        SQUserPointer p = nullptr;
        sq_getuserpointer(v, 2, &p);
        f = static_cast<FILE*>(p);
        SQBool own = SQFalse;
        if (sq_gettype(v, 3) == OT_BOOL) sq_getbool(v, 3, &own);
        owns = own != SQFalse;
    } else {
        return sq_throwerror(v, _SC("wrong parameter"));
    }
    File* file = new File(f, owns);
    if (SQ_FAILED(sq_setinstanceup(v, 1, file))) {
        delete file;
        return sq_throwerror(v, _SC("cannot create file"));
    }
    sq_setreleasehook(v, 1, file_release);
    return 0;
}

SQInteger file_close(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, sqstd::type_tag(SQSTD_FILE_TYPE_TAG))))
        return sq_throwerror(v, _SC("invalid type tag"));
    if (p) static_cast<File*>(p)->close();
    return 0;
}

SQInteger file_typeof(HSQUIRRELVM v) {
    sq_pushstring(v, _SC("file"), -1);
    return 1;
}

const SQRegFunction kFileMethods[] = {{_SC("constructor"), file_constructor, 3, _SC("x")},
                                      {_SC("close"), file_close, 1, _SC("x")},
                                      {_SC("_typeof"), file_typeof, 1, _SC("x")},
                                      {nullptr, nullptr, 0, nullptr}};

// Bytecode is read from memory: the whole file is loaded first.
struct MemReader {
    const uint8_t* p;
    size_t left;
};

SQInteger mem_read(SQUserPointer up, SQUserPointer buf, SQInteger size) {
    MemReader& r = *static_cast<MemReader*>(up);
    if (size <= 0) return 0;
    size_t n = static_cast<size_t>(size) < r.left ? static_cast<size_t>(size) : r.left;
    std::memcpy(buf, r.p, n);
    r.p += n;
    r.left -= n;
    return static_cast<SQInteger>(n);
}

SQInteger file_write(SQUserPointer up, SQUserPointer buf, SQInteger size) {
    if (size <= 0) return 0;
    return static_cast<SQInteger>(
        std::fwrite(buf, 1, static_cast<size_t>(size), static_cast<FILE*>(up)));
}

bool read_whole(const std::string& path, std::vector<uint8_t>& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t chunk[65536];
    size_t n;
    bool ok = true;
    try {
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            out.insert(out.end(), chunk, chunk + n);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok;
}

// Script text of a file: UTF-16 with a byte-order mark, else UTF-8 (with or
// without its mark).
std::u16string decode_source(const std::vector<uint8_t>& b) {
    std::u16string s;
    if (b.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bool le = b[0] == 0xFF;
        for (size_t i = 2; i + 1 < b.size(); i += 2)
            s.push_back(
                static_cast<char16_t>(le ? b[i] | (b[i + 1] << 8) : (b[i] << 8) | b[i + 1]));
        return s;
    }
    size_t start = b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
    return sqstd::from_utf8(
        std::string_view(reinterpret_cast<const char*>(b.data()) + start, b.size() - start));
}

SQInteger io_loadfile(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    sq_getstring(v, 2, &name);
    SQBool printerror = SQFalse;
    if (sq_gettop(v) >= 3) sq_getbool(v, 3, &printerror);
    if (SQ_FAILED(sqstd_loadfile(v, name, printerror))) return SQ_ERROR;
    return 1;
}

SQInteger io_dofile(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    sq_getstring(v, 2, &name);
    SQBool printerror = SQFalse;
    if (sq_gettop(v) >= 3) sq_getbool(v, 3, &printerror);
    sq_push(v, 1); // the caller's `this`
    if (SQ_FAILED(sqstd_dofile(v, name, SQTrue, printerror))) return SQ_ERROR;
    return 1;
}

SQInteger io_writeclosuretofile(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    sq_getstring(v, 2, &name);
    sq_push(v, 3);
    if (SQ_FAILED(sqstd_writeclosuretofile(v, name))) return SQ_ERROR;
    return 1; // the function itself
}

const SQRegFunction kIoFuncs[] = {{_SC("dofile"), io_dofile, -2, _SC(".sb")},
                                  {_SC("loadfile"), io_loadfile, -2, _SC(".sb")},
                                  {_SC("writeclosuretofile"), io_writeclosuretofile, 3, _SC(".sc")},
                                  {nullptr, nullptr, 0, nullptr}};

} // namespace

extern "C" {

SQFILE sqstd_fopen(const SQChar* filename, const SQChar* mode) {
    std::string m;
    if (!filename || !mode || !valid_mode(sqstd::to_utf8(mode), m)) return nullptr;
    return std::fopen(native_path(filename, m[0] != 'r').c_str(), m.c_str());
}

SQInteger sqstd_fread(SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file) {
    if (size <= 0 || count <= 0) return 0;
    return static_cast<SQInteger>(std::fread(buffer, static_cast<size_t>(size),
                                             static_cast<size_t>(count), static_cast<FILE*>(file)));
}

SQInteger sqstd_fwrite(const SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file) {
    if (size <= 0 || count <= 0) return 0;
    return static_cast<SQInteger>(std::fwrite(
        buffer, static_cast<size_t>(size), static_cast<size_t>(count), static_cast<FILE*>(file)));
}

SQInteger sqstd_fseek(SQFILE file, SQInteger offset, SQInteger origin) {
    int o = origin == SQ_SEEK_SET ? SEEK_SET : origin == SQ_SEEK_END ? SEEK_END : SEEK_CUR;
    if (origin != SQ_SEEK_SET && origin != SQ_SEEK_END && origin != SQ_SEEK_CUR) return -1;
    return std::fseek(static_cast<FILE*>(file), offset, o);
}

SQInteger sqstd_ftell(SQFILE file) {
    return static_cast<SQInteger>(std::ftell(static_cast<FILE*>(file)));
}

SQInteger sqstd_fflush(SQFILE file) {
    return std::fflush(static_cast<FILE*>(file));
}

SQInteger sqstd_fclose(SQFILE file) {
    return std::fclose(static_cast<FILE*>(file));
}

SQInteger sqstd_feof(SQFILE file) {
    return std::feof(static_cast<FILE*>(file));
}

SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own) {
    SQInteger top = sq_gettop(v);
    if (!sqstd::push_registered_class(v, kFileRegName))
        return sq_throwerror(v, _SC("io library not registered"));
    sq_pushroottable(v);
    sq_pushuserpointer(v, file);
    sq_pushbool(v, own);
    if (SQ_FAILED(sq_call(v, 3, SQTrue, SQFalse))) {
        sq_settop(v, top);
        return SQ_ERROR;
    }
    sq_remove(v, -2);
    return SQ_OK;
}

SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE* file) {
    SQUserPointer p = nullptr;
    if (SQ_SUCCEEDED(sq_getinstanceup(v, idx, &p, sqstd::type_tag(SQSTD_FILE_TYPE_TAG))) && p) {
        *file = static_cast<File*>(p)->handle();
        return SQ_OK;
    }
    return sq_throwerror(v, _SC("not a file"));
}

SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar* filename, SQBool printerror) {
    if (!filename) return sq_throwerror(v, _SC("cannot open the file"));
    std::vector<uint8_t> bytes;
    if (!read_whole(native_path(filename), bytes))
        return sq_throwerror(v, _SC("cannot open the file"));
    if (bytes.size() >= 2 && bytes[0] == 0xFA && bytes[1] == 0xFA) {
        MemReader r{bytes.data(), bytes.size()};
        if (SQ_FAILED(sq_readclosure(v, mem_read, &r))) return SQ_ERROR;
        return SQ_OK;
    }
    std::u16string text = decode_source(bytes);
    if (SQ_FAILED(sq_compilebuffer(v, text.data(), static_cast<SQInteger>(text.size()), filename,
                                   printerror)))
        return SQ_ERROR;
    return SQ_OK;
}

SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar* filename, SQBool retval, SQBool printerror) {
    if (SQ_FAILED(sqstd_loadfile(v, filename, printerror))) return SQ_ERROR;
    sq_push(v, -2); // `this`: the value that was on top before the load
    if (SQ_FAILED(sq_call(v, 1, retval, SQTrue))) {
        sq_pop(v, 1); // the function
        return SQ_ERROR;
    }
    sq_remove(v, retval ? -2 : -1); // the function
    return 1;
}

SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar* filename) {
    if (sq_gettype(v, -1) != OT_CLOSURE)
        return sq_throwerror(v, _SC("a native closure cannot be serialized"));
    FILE* f = filename ? std::fopen(native_path(filename, true).c_str(), "wb") : nullptr;
    if (!f) return sq_throwerror(v, _SC("cannot open the file"));
    SQRESULT r = sq_writeclosure(v, file_write, f);
    if (std::fclose(f) != 0 && SQ_SUCCEEDED(r)) return sq_throwerror(v, _SC("io error"));
    return SQ_SUCCEEDED(r) ? SQ_OK : SQ_ERROR;
}

SQRESULT sqstd_register_iolib(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    sqstd::make_stream_class(v, _SC("file"), sqstd::type_tag(SQSTD_FILE_TYPE_TAG), kFileRegName,
                             kFileMethods);
    sqstd::register_functions(v, kIoFuncs);
    const struct {
        const SQChar* name;
        FILE* f;
    } streams[] = {{_SC("stdout"), stdout}, {_SC("stdin"), stdin}, {_SC("stderr"), stderr}};
    for (const auto& s : streams) {
        sq_pushstring(v, s.name, -1);
        if (SQ_SUCCEEDED(sqstd_createfile(v, s.f, SQFalse)))
            sq_newslot(v, -3, SQFalse);
        else
            sq_pop(v, 1);
    }
    sq_settop(v, top);
    return SQ_OK;
}

} // extern "C"
