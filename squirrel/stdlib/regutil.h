// Small helpers shared by the library bindings.
#pragma once

#include <squirrel.h>

#include <string>

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

} // namespace sqstd
