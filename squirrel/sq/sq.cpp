// sq: command-line interpreter. `sq FILE.nut [ARGS...]` runs a script; `sq` alone is interactive.
#include <squirrel.h>
#ifdef KO_HAVE_SQSTDLIB
#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>
#endif
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "squirrel/internal/utf16.h"

namespace {

std::string to_utf8(const SQChar* s, size_t n) {
    return vm_toutf8(s, (SQInteger)n);
}
std::u16string from_utf8(const std::string& s) {
    return vm_fromutf8(s.data(), s.size());
}

size_t ulen(const SQChar* s) {
    size_t n = 0;
    while (s[n]) n++;
    return n;
}

// Small printf for SQChar formats: %s %d %i %c %x %g %f %e with flags, width and precision.
std::string format16(const SQChar* fmt, va_list ap) {
    std::string out;
    for (size_t i = 0; fmt[i]; i++) {
        if (fmt[i] != '%') {
            size_t run = 1; // a whole run, so that surrogate pairs stay together
            while (fmt[i + run] && fmt[i + run] != '%') run++;
            out += to_utf8(&fmt[i], run);
            i += run - 1;
            continue;
        }
        std::string spec = "%";
        i++;
        while (fmt[i] && strchr("-+ #0123456789.", (char)fmt[i])) spec.push_back((char)fmt[i++]);
        char conv = (char)fmt[i];
        char buf[128];
        switch (conv) {
        case 's': {
            const SQChar* s = va_arg(ap, const SQChar*);
            out += s ? to_utf8(s, ulen(s)) : "(null)";
            break;
        }
        case 'd':
        case 'i':
        case 'x':
        case 'X':
        case 'c':
        case 'u':
        case 'o':
            spec.push_back(conv);
            snprintf(buf, sizeof buf, spec.c_str(), va_arg(ap, int));
            out += buf;
            break;
        case 'g':
        case 'f':
        case 'e':
        case 'G':
        case 'E':
            spec.push_back(conv);
            snprintf(buf, sizeof buf, spec.c_str(), va_arg(ap, double));
            out += buf;
            break;
        case 'p':
            snprintf(buf, sizeof buf, "%p", va_arg(ap, void*));
            out += buf;
            break;
        case '%':
            out.push_back('%');
            break;
        case 0:
            return out;
        default:
            out.push_back(conv);
            break;
        }
    }
    return out;
}

void printfunc(HSQUIRRELVM, const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = format16(fmt, ap);
    va_end(ap);
    fwrite(s.data(), 1, s.size(), stdout);
}

void errorfunc(HSQUIRRELVM, const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = format16(fmt, ap);
    va_end(ap);
    fflush(stdout);
    fwrite(s.data(), 1, s.size(), stderr);
}

#ifndef KO_HAVE_SQSTDLIB
// Minimal handlers until the standard library is linked in.
SQInteger basic_errorhandler(HSQUIRRELVM v) {
    const SQChar* msg = nullptr;
    if (sq_gettop(v) >= 2 && SQ_SUCCEEDED(sq_getstring(v, 2, &msg))) {
        errorfunc(v, u"\nAN ERROR HAS OCCURED [%s]\n", msg);
    } else {
        errorfunc(v, u"\nAN ERROR HAS OCCURED [unknown]\n");
    }
    return 0;
}
void basic_compilererror(HSQUIRRELVM v, const SQChar* desc, const SQChar* src, SQInteger line,
                         SQInteger col) {
    errorfunc(v, u"%s line = (%d) column = (%d) : error %s\n", src, (int)line, (int)col, desc);
}
#endif

void register_libs(HSQUIRRELVM v) {
    sq_setprintfunc(v, printfunc, errorfunc);
    sq_pushroottable(v);
#ifdef KO_HAVE_SQSTDLIB
    sqstd_register_iolib(v);
    sqstd_register_bloblib(v);
    sqstd_register_mathlib(v);
    sqstd_register_systemlib(v);
    sqstd_register_stringlib(v);
    sqstd_seterrorhandlers(v);
#else
    sq_newclosure(v, basic_errorhandler, 0);
    sq_seterrorhandler(v);
    sq_setcompilererrorhandler(v, basic_compilererror);
#endif
    sq_pop(v, 1);
}

bool read_source(const char* path, std::u16string& out, std::vector<unsigned char>& raw) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) raw.insert(raw.end(), buf, buf + n);
    fclose(f);
    std::string s(raw.begin(), raw.end());
    if (s.size() >= 2 && (unsigned char)s[0] == 0xFF && (unsigned char)s[1] == 0xFE) {
        for (size_t i = 2; i + 1 < s.size(); i += 2)
            out.push_back((SQChar)((unsigned char)s[i] | ((unsigned char)s[i + 1] << 8)));
    } else if (s.size() >= 2 && (unsigned char)s[0] == 0xFE && (unsigned char)s[1] == 0xFF) {
        for (size_t i = 2; i + 1 < s.size(); i += 2)
            out.push_back((SQChar)(((unsigned char)s[i] << 8) | (unsigned char)s[i + 1]));
    } else {
        if (s.size() >= 3 && (unsigned char)s[0] == 0xEF && (unsigned char)s[1] == 0xBB &&
            (unsigned char)s[2] == 0xBF)
            s = s.substr(3);
        out = from_utf8(s);
    }
    return true;
}

struct ReadState {
    const std::vector<unsigned char>* data;
    size_t pos;
};
SQInteger read_bytes(SQUserPointer up, SQUserPointer buf, SQInteger size) {
    ReadState* r = (ReadState*)up;
    size_t n = (size_t)size;
    if (r->pos + n > r->data->size()) n = r->data->size() - r->pos;
    if (n) memcpy(buf, r->data->data() + r->pos, n);
    r->pos += n;
    return (SQInteger)n;
}

void print_last_error(HSQUIRRELVM v) {
    sq_getlasterror(v);
    const SQChar* msg = nullptr;
    if (SQ_SUCCEEDED(sq_getstring(v, -1, &msg))) printfunc(v, u"Error [%s]\n", msg);
    sq_pop(v, 1);
}

int run_file(HSQUIRRELVM v, int argc, char** argv) {
    const char* path = argv[1];
    std::u16string src;
    std::vector<unsigned char> raw;
    if (!read_source(path, src, raw)) {
        fprintf(stderr, "sq: cannot open '%s'\n", path);
        return 1;
    }
    std::u16string name = from_utf8(path);
    if (raw.size() >= 2 && raw[0] == 0xFA && raw[1] == 0xFA) {
        ReadState rs{&raw, 0};
        if (SQ_FAILED(sq_readclosure(v, read_bytes, &rs))) {
            print_last_error(v);
            return 1;
        }
    } else if (SQ_FAILED(
                   sq_compilebuffer(v, src.data(), (SQInteger)src.size(), name.c_str(), SQTrue))) {
        print_last_error(v);
        return 1;
    }
    sq_pushroottable(v);
    for (int i = 2; i < argc; i++) {
        std::u16string a = from_utf8(argv[i]);
        sq_pushstring(v, a.data(), (SQInteger)a.size());
    }
    if (SQ_FAILED(sq_call(v, argc - 1, SQTrue, SQTrue))) {
        fflush(stdout);
        return 1;
    }
    SQInteger ret = 0;
    int status = 0;
    if (sq_gettype(v, -1) == OT_INTEGER && SQ_SUCCEEDED(sq_getinteger(v, -1, &ret)))
        status = (int)ret;
    sq_pop(v, 2);
    fflush(stdout);
    return status;
}

void interactive(HSQUIRRELVM v) {
    printf("%s %s\n", to_utf8(SQUIRREL_VERSION, ulen(SQUIRREL_VERSION)).c_str(),
           to_utf8(SQUIRREL_COPYRIGHT, ulen(SQUIRREL_COPYRIGHT)).c_str());
    std::string line, buffer;
    for (;;) {
        printf(buffer.empty() ? "sq>" : "...");
        fflush(stdout);
        if (!std::getline(std::cin, line)) break;
        if (!line.empty() && line.back() == '\\') {
            line.pop_back();
            buffer += line + "\n";
            continue;
        }
        buffer += line;
        if (buffer == "quit" || buffer == "quit()") break;
        std::string code = buffer;
        buffer.clear();
        // an expression prints its value
        std::u16string expr = from_utf8("return (" + code + ")");
        std::u16string stmt = from_utf8(code);
        SQInteger top = sq_gettop(v);
        bool isexpr = SQ_SUCCEEDED(sq_compilebuffer(v, expr.data(), (SQInteger)expr.size(),
                                                    u"interactive console", SQFalse));
        if (!isexpr && SQ_FAILED(sq_compilebuffer(v, stmt.data(), (SQInteger)stmt.size(),
                                                  u"interactive console", SQTrue))) {
            sq_settop(v, top);
            continue;
        }
        sq_pushroottable(v);
        if (SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)) && isexpr && sq_gettype(v, -1) != OT_NULL) {
            if (SQ_SUCCEEDED(sq_tostring(v, -1))) {
                const SQChar* s;
                sq_getstring(v, -1, &s);
                printfunc(v, u"%s\n", s);
            }
        }
        sq_settop(v, top);
    }
    printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    HSQUIRRELVM v = sq_open(1024);
    if (!v) {
        fprintf(stderr, "sq: cannot create the VM\n");
        return 1;
    }
    register_libs(v);
    int status = 0;
    if (argc >= 2) {
        if (strcmp(argv[1], "-v") == 0 || strcmp(argv[1], "--version") == 0) {
            printf("%s\n", to_utf8(SQUIRREL_VERSION, ulen(SQUIRREL_VERSION)).c_str());
        } else {
            status = run_file(v, argc, argv);
        }
    } else {
        interactive(v);
    }
    sq_close(v);
    return status;
}
