// string library: format, strip, lstrip, rstrip, split and the regexp class.
#include <sqstdstring.h>

#include <cstring>
#include <new>
#include <string>

#include "squirrel/stdlib/regutil.h"
#include "squirrel/stdlib/rex.h"
#include "squirrel/stdlib/scriptformat.h"

namespace {

struct FormatCtx {
    HSQUIRRELVM v;
    SQInteger first; // stack index of the first value after the format
    SQInteger top;
};

bool format_arg(void* p, int k, sqstd::FormatArg& arg) {
    FormatCtx& c = *static_cast<FormatCtx*>(p);
    SQInteger idx = c.first + k;
    if (idx > c.top) return false;
    switch (sq_gettype(c.v, idx)) {
    case OT_INTEGER:
        arg.kind = sqstd::FormatArg::Integer;
        sq_getinteger(c.v, idx, &arg.i);
        break;
    case OT_FLOAT:
        arg.kind = sqstd::FormatArg::Float;
        sq_getfloat(c.v, idx, &arg.f);
        break;
    case OT_STRING: {
        arg.kind = sqstd::FormatArg::String;
        const SQChar* s = nullptr;
        sq_getstring(c.v, idx, &s);
        arg.s = s ? s : u"";
        arg.n = s ? static_cast<size_t>(sq_getsize(c.v, idx)) : 0;
        break;
    }
    default:
        arg.kind = sqstd::FormatArg::Other;
        break;
    }
    return true;
}

bool is_space(SQChar c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

SQInteger string_format(HSQUIRRELVM v) {
    SQChar* out = nullptr;
    SQInteger len = 0;
    if (SQ_FAILED(sqstd_format(v, 2, &len, &out))) return SQ_ERROR;
    sq_pushstring(v, out, len);
    return 1;
}

SQInteger string_strip_impl(HSQUIRRELVM v, bool left, bool right) {
    const SQChar* s = nullptr;
    sq_getstring(v, 2, &s);
    size_t n = static_cast<size_t>(sq_getsize(v, 2));
    size_t b = 0, e = n;
    if (left)
        while (b < e && is_space(s[b])) ++b;
    if (right)
        while (e > b && is_space(s[e - 1])) --e;
    sq_pushstring(v, s + b, static_cast<SQInteger>(e - b));
    return 1;
}

SQInteger string_strip(HSQUIRRELVM v) {
    return string_strip_impl(v, true, true);
}
SQInteger string_lstrip(HSQUIRRELVM v) {
    return string_strip_impl(v, true, false);
}
SQInteger string_rstrip(HSQUIRRELVM v) {
    return string_strip_impl(v, false, true);
}

SQInteger string_split(HSQUIRRELVM v) {
    const SQChar* s = nullptr;
    const SQChar* seps = nullptr;
    sq_getstring(v, 2, &s);
    sq_getstring(v, 3, &seps);
    size_t n = static_cast<size_t>(sq_getsize(v, 2));
    size_t ns = static_cast<size_t>(sq_getsize(v, 3));
    if (ns == 0) return sq_throwerror(v, _SC("empty separators string"));
    sq_newarray(v, 0);
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        bool sep = false;
        for (size_t k = 0; k < ns && !sep; ++k) sep = s[i] == seps[k];
        if (!sep) continue;
        sq_pushstring(v, s + start, static_cast<SQInteger>(i - start));
        sq_arrayappend(v, -2);
        start = i + 1;
    }
    if (start < n) {
        sq_pushstring(v, s + start, static_cast<SQInteger>(n - start));
        sq_arrayappend(v, -2);
    }
    return 1;
}

// regexp class

int regexp_tag; // its address tags the class

SQInteger rex_release(SQUserPointer p, SQInteger) {
    sqstd_rex_free(static_cast<SQRex*>(p));
    return 1;
}

SQRex* get_rex(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, &regexp_tag))) return nullptr;
    return static_cast<SQRex*>(p);
}

SQInteger regexp_constructor(HSQUIRRELVM v) {
    const SQChar* pat = nullptr;
    sq_getstring(v, 2, &pat);
    // A zero character would end the pattern early; such patterns are refused.
    if (pat && std::char_traits<SQChar>::length(pat) != static_cast<size_t>(sq_getsize(v, 2)))
        return sq_throwerror(v, _SC("invalid pattern"));
    const SQChar* err = nullptr;
    SQRex* rex = sqstd_rex_compile(pat, &err);
    if (!rex) return sq_throwerror(v, err ? err : _SC("invalid pattern"));
    if (SQ_FAILED(sq_setinstanceup(v, 1, rex))) {
        sqstd_rex_free(rex);
        return sq_throwerror(v, _SC("invalid type tag"));
    }
    sq_setreleasehook(v, 1, rex_release);
    return 0;
}

// The compiled expression behind `this`, or the script error.
SQRex* this_rex(HSQUIRRELVM v, SQRESULT& err) {
    SQRex* rex = get_rex(v);
    if (!rex) err = sq_throwerror(v, _SC("invalid type tag"));
    return rex;
}

template <SQInteger (*Body)(HSQUIRRELVM, SQRex&)>
constexpr SQFUNCTION regexp_method = sqstd::method<SQRex, this_rex, Body>;

SQInteger too_complex(HSQUIRRELVM v) {
    return sq_throwerror(v, _SC("the expression is too complex for this text"));
}

SQInteger regexp_match(HSQUIRRELVM v, SQRex& rex) {
    const SQChar* s = nullptr;
    sq_getstring(v, 2, &s);
    SQInteger n = sq_getsize(v, 2);
    bool ok = sqstd::rex_match_range(&rex, s, s + n);
    if (sqstd::rex_budget_exceeded(&rex)) return too_complex(v);
    sq_pushbool(v, ok ? SQTrue : SQFalse);
    return 1;
}

void push_span(HSQUIRRELVM v, SQInteger begin, SQInteger end) {
    sq_newtable(v);
    sq_pushstring(v, _SC("begin"), -1);
    sq_pushinteger(v, begin);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, _SC("end"), -1);
    sq_pushinteger(v, end);
    sq_newslot(v, -3, SQFalse);
}

// Searches from the optional start argument. True with the match at [b, e) of the subject s;
// false when the method's answer is already given in `answer` (null for no match, or the
// error of an expression too complex for the text).
bool search_from(HSQUIRRELVM v, SQRex& rex, const SQChar*& s, const SQChar*& b, const SQChar*& e,
                 SQInteger& answer) {
    sq_getstring(v, 2, &s);
    SQInteger n = sq_getsize(v, 2);
    SQInteger start = 0;
    if (sq_gettop(v) > 2) sq_getinteger(v, 3, &start);
    if (start >= 0 && start < n && sqstd_rex_searchrange(&rex, s + start, s + n, &b, &e))
        return true;
    if (start >= 0 && start < n && sqstd::rex_budget_exceeded(&rex)) {
        answer = too_complex(v);
    } else {
        sq_pushnull(v);
        answer = 1;
    }
    return false;
}

SQInteger regexp_search(HSQUIRRELVM v, SQRex& rex) {
    const SQChar *s = nullptr, *b = nullptr, *e = nullptr;
    SQInteger answer = 0;
    if (!search_from(v, rex, s, b, e, answer)) return answer;
    push_span(v, static_cast<SQInteger>(b - s), static_cast<SQInteger>(e - s));
    return 1;
}

SQInteger regexp_capture(HSQUIRRELVM v, SQRex& rex) {
    const SQChar *s = nullptr, *b = nullptr, *e = nullptr;
    SQInteger answer = 0;
    if (!search_from(v, rex, s, b, e, answer)) return answer;
    SQInteger n = sqstd_rex_getsubexpcount(&rex);
    sq_newarray(v, 0);
    for (SQInteger i = 0; i < n; ++i) {
        SQRexMatch m{nullptr, 0};
        sqstd_rex_getsubexp(&rex, i, &m);
        if (m.begin)
            push_span(v, static_cast<SQInteger>(m.begin - s),
                      static_cast<SQInteger>(m.begin - s) + m.len);
        else
            push_span(v, 0, 0);
        sq_arrayappend(v, -2);
    }
    return 1;
}

SQInteger regexp_subexpcount(HSQUIRRELVM v, SQRex& rex) {
    sq_pushinteger(v, sqstd_rex_getsubexpcount(&rex));
    return 1;
}

SQInteger regexp_typeof(HSQUIRRELVM v) {
    sq_pushstring(v, _SC("regexp"), -1);
    return 1;
}

const SQRegFunction kRexMethods[] = {
    {_SC("constructor"), regexp_constructor, 2, _SC(".s")},
    {_SC("search"), regexp_method<regexp_search>, -2, _SC("xsn")},
    {_SC("match"), regexp_method<regexp_match>, 2, _SC("xs")},
    {_SC("capture"), regexp_method<regexp_capture>, -2, _SC("xsn")},
    {_SC("subexpcount"), regexp_method<regexp_subexpcount>, 1, _SC("x")},
    {_SC("_typeof"), regexp_typeof, 1, _SC("x")},
    {nullptr, nullptr, 0, nullptr}};

const SQRegFunction kStringFuncs[] = {
    {_SC("format"), string_format, -2, _SC(".s")}, {_SC("strip"), string_strip, 2, _SC(".s")},
    {_SC("lstrip"), string_lstrip, 2, _SC(".s")},  {_SC("rstrip"), string_rstrip, 2, _SC(".s")},
    {_SC("split"), string_split, 3, _SC(".ss")},   {nullptr, nullptr, 0, nullptr}};

} // namespace

extern "C" SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger* outlen,
                                 SQChar** output) {
    const SQChar* fmt = nullptr;
    if (SQ_FAILED(sq_getstring(v, nformatstringidx, &fmt)))
        return sq_throwerror(v, _SC("string expected for the specified format"));
    FormatCtx ctx{v, nformatstringidx + 1, sq_gettop(v)};
    std::u16string out;
    const char* err;
    try {
        err = sqstd::script_format(fmt, static_cast<size_t>(sq_getsize(v, nformatstringidx)),
                                   format_arg, &ctx, out);
    } catch (const std::bad_alloc&) {
        err = "not enough memory";
    }
    if (err) return sqstd::throw_ascii(v, err);
    SQChar* buf = sq_getscratchpad(v, static_cast<SQInteger>((out.size() + 1) * sizeof(SQChar)));
    if (!buf) return sq_throwerror(v, _SC("out of memory"));
    std::memcpy(buf, out.data(), out.size() * sizeof(SQChar));
    buf[out.size()] = 0;
    if (outlen) *outlen = static_cast<SQInteger>(out.size());
    if (output) *output = buf;
    return SQ_OK;
}

extern "C" SQRESULT sqstd_register_stringlib(HSQUIRRELVM v) {
    sq_pushstring(v, _SC("regexp"), -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, &regexp_tag);
    sqstd::register_functions(v, kRexMethods);
    sq_newslot(v, -3, SQFalse);
    sqstd::register_functions(v, kStringFuncs);
    return SQ_OK;
}
