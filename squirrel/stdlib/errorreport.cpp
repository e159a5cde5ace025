// The standard error reports: the run-time error handler, the compiler error
// handler and the call-stack dump, all written through the VM's error function.
#include <sqstdaux.h>

#include <cstdio>
#include <vector>

namespace {

// Frames whose locals are listed: the handler's own (level 0) and the 9 below it.
constexpr SQInteger kLocalLevels = 10;
// A runaway recursion has a million frames: the report lists the innermost and the
// outermost ones and counts those between.
constexpr SQInteger kInnerFrames = 40;
constexpr SQInteger kOuterFrames = 10;

// A report is read by a person and written whole to error.txt: a string of millions of
// characters would bury the rest. Longer strings are cut to a prefix and their length is given.
constexpr SQInteger kValueChars = 256;
constexpr SQInteger kMessageChars = 1024;

// `s` (length `len`, in the units len() counts) as a null-terminated text: whole when it has at
// most `limit` units, else its first `limit` (one fewer where the cut would split a surrogate
// pair, so the UTF-8 written stays valid) followed by "... (N characters)".
std::vector<SQChar> shortened(const SQChar* s, SQInteger len, SQInteger limit) {
    SQInteger cut = len <= limit ? len : limit;
    if (cut < len && cut > 0 && s[cut - 1] >= 0xD800 && s[cut - 1] <= 0xDBFF) --cut;
    std::vector<SQChar> text(s, s + cut);
    if (cut < len) {
        char marker[48];
        int n =
            snprintf(marker, sizeof marker, "... (%lld characters)", static_cast<long long>(len));
        for (int i = 0; i < n; ++i) text.push_back(static_cast<SQChar>(marker[i]));
    }
    text.push_back(0);
    return text;
}

// Number of frames below the handler (levels 1..n answer).
SQInteger count_levels(HSQUIRRELVM v) {
    SQStackInfos si;
    SQInteger lo = 0, hi = 1; // level lo exists (0 trivially), hi is the first probe
    while (SQ_SUCCEEDED(sq_stackinfos(v, hi, &si))) {
        lo = hi;
        hi *= 2;
    }
    while (hi - lo > 1) {
        SQInteger mid = lo + (hi - lo) / 2;
        if (SQ_SUCCEEDED(sq_stackinfos(v, mid, &si)))
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

void print_value(HSQUIRRELVM v, SQPRINTFUNCTION pf, const SQChar* name) {
    switch (sq_gettype(v, -1)) {
    case OT_NULL:
        pf(v, _SC("[%s] NULL\n"), name);
        break;
    case OT_INTEGER: {
        SQInteger i = 0;
        sq_getinteger(v, -1, &i);
        pf(v, _SC("[%s] %d\n"), name, static_cast<int>(i));
        break;
    }
    case OT_FLOAT: {
        SQFloat f = 0;
        sq_getfloat(v, -1, &f);
        pf(v, _SC("[%s] %.14g\n"), name, static_cast<double>(f));
        break;
    }
    case OT_STRING: {
        const SQChar* s = _SC("");
        sq_getstring(v, -1, &s);
        pf(v, _SC("[%s] \"%s\"\n"), name, shortened(s, sq_getsize(v, -1), kValueChars).data());
        break;
    }
    case OT_BOOL: {
        SQBool b = SQFalse;
        sq_getbool(v, -1, &b);
        pf(v, _SC("[%s] %s\n"), name, b ? _SC("true") : _SC("false"));
        break;
    }
    case OT_TABLE:
        pf(v, _SC("[%s] TABLE\n"), name);
        break;
    case OT_ARRAY:
        pf(v, _SC("[%s] ARRAY\n"), name);
        break;
    case OT_CLOSURE:
        pf(v, _SC("[%s] CLOSURE\n"), name);
        break;
    case OT_NATIVECLOSURE:
        pf(v, _SC("[%s] NATIVECLOSURE\n"), name);
        break;
    case OT_GENERATOR:
        pf(v, _SC("[%s] GENERATOR\n"), name);
        break;
    case OT_USERDATA:
        pf(v, _SC("[%s] USERDATA\n"), name);
        break;
    case OT_USERPOINTER:
        pf(v, _SC("[%s] USERPOINTER\n"), name);
        break;
    case OT_THREAD:
        pf(v, _SC("[%s] THREAD\n"), name);
        break;
    case OT_CLASS:
        pf(v, _SC("[%s] CLASS\n"), name);
        break;
    case OT_INSTANCE:
        pf(v, _SC("[%s] INSTANCE\n"), name);
        break;
    case OT_WEAKREF:
        pf(v, _SC("[%s] WEAKREF\n"), name);
        break;
    default:
        break;
    }
}

SQInteger runtime_error_handler(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    if (!pf) return 0;
    const SQChar* msg = nullptr;
    if (sq_gettop(v) >= 2 && SQ_SUCCEEDED(sq_getstring(v, 2, &msg)) && msg)
        pf(v, _SC("\nAN ERROR HAS OCCURED [%s]\n"),
           shortened(msg, sq_getsize(v, 2), kMessageChars).data());
    else
        pf(v, _SC("\nAN ERROR HAS OCCURED [unknown]\n"));
    sqstd_printcallstack(v);
    return 0;
}

void compiler_error_handler(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line,
                            SQInteger column) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    if (!pf) return;
    pf(v, _SC("%s line = (%d) column = (%d) : error %s\n"), source ? source : _SC(""),
       static_cast<int>(line), static_cast<int>(column), desc ? desc : _SC(""));
}

} // namespace

extern "C" void sqstd_printcallstack(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    if (!pf) return;
    pf(v, _SC("\nCALLSTACK\n"));
    SQStackInfos si;
    const SQInteger levels = count_levels(v);
    for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); ++level) {
        if (level == kInnerFrames + 1 && levels > kInnerFrames + kOuterFrames) {
            pf(v, _SC("*... %d more frames ...\n"),
               static_cast<int>(levels - kInnerFrames - kOuterFrames));
            level = levels - kOuterFrames;
            continue;
        }
        const SQChar* fn = si.funcname ? si.funcname : _SC("unknown");
        const SQChar* src = si.source ? si.source : _SC("unknown");
        pf(v, _SC("*FUNCTION [%s()] %s line [%d]\n"), fn, src, static_cast<int>(si.line));
    }
    pf(v, _SC("\nLOCALS\n"));
    for (SQInteger level = 0; level < kLocalLevels; ++level) {
        const SQChar* name;
        for (SQUnsignedInteger seq = 0;
             (name = sq_getlocal(v, static_cast<SQUnsignedInteger>(level), seq)) != nullptr;
             ++seq) {
            print_value(v, pf, name);
            sq_pop(v, 1);
        }
    }
}

extern "C" void sqstd_seterrorhandlers(HSQUIRRELVM v) {
    sq_setcompilererrorhandler(v, compiler_error_handler);
    sq_newclosure(v, runtime_error_handler, 0);
    sq_seterrorhandler(v);
}
