// Small helpers shared by the library bindings.
#pragma once

#include <squirrel.h>

#include <string>

#include "squirrel/stdlib/scriptformat.h"

namespace sqstd {

// Adds each function of a null-terminated list to the table or class at -1.
inline void register_functions(HSQUIRRELVM v, const SQRegFunction* f) {
    for (; f->name; ++f) {
        sq_pushstring(v, f->name, -1);
        sq_newclosure(v, f->f, 0);
        sq_setparamscheck(v, f->nparamscheck, f->typemask);
        sq_setnativeclosurename(v, -1, f->name);
        sq_newslot(v, -3, SQFalse);
    }
}

// sq_throwerror with an ASCII message.
inline SQRESULT throw_ascii(HSQUIRRELVM v, const char* msg) {
    std::u16string w;
    while (*msg) w.push_back(static_cast<char16_t>(static_cast<unsigned char>(*msg++)));
    return sq_throwerror(v, w.c_str());
}

// An integer argument that may also be given as a float (converted as float_to_int32 does).
// The parameter check has already ruled out every other type.
inline SQInteger int_arg(HSQUIRRELVM v, SQInteger idx) {
    if (sq_gettype(v, idx) == OT_FLOAT) {
        SQFloat f = 0;
        sq_getfloat(v, idx, &f);
        return float_to_int32(f);
    }
    SQInteger i = 0;
    sq_getinteger(v, idx, &i);
    return i;
}

// A script method from a function of the native object behind `this`. Self finds that object
// (or raises the script error, stores its result in `err` and answers null), so each method
// body starts from a checked object.
template <class T, T* (*Self)(HSQUIRRELVM, SQRESULT&), SQInteger (*Body)(HSQUIRRELVM, T&)>
SQInteger method(HSQUIRRELVM v) {
    SQRESULT err = SQ_ERROR;
    T* self = Self(v, err);
    return self ? Body(v, *self) : err;
}

} // namespace sqstd
