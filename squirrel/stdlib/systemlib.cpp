// system library: environment, shell commands, clocks, dates, file removal.
#include <sqstdsystem.h>

#include <sqstdprintf.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/wait.h>

#include "squirrel/internal/utf16.h"
#include "squirrel/stdlib/corelib.h"
#include "squirrel/stdlib/pathcase.h"
#include "squirrel/stdlib/regutil.h"
#include "squirrel/stdlib/scriptformat.h"

namespace {

std::string utf8_arg(HSQUIRRELVM v, SQInteger idx) {
    const SQChar* s = nullptr;
    sq_getstring(v, idx, &s);
    return s ? sqstd::to_utf8(std::u16string_view(s, static_cast<size_t>(sq_getsize(v, idx))))
             : std::string();
}

SQInteger system_getenv(HSQUIRRELVM v) {
    std::string name = utf8_arg(v, 2);
    const char* val = name.find('\0') == std::string::npos ? std::getenv(name.c_str()) : nullptr;
    if (!val) {
        sq_pushnull(v);
        return 1;
    }
    std::u16string w = sqstd::from_utf8(val);
    sq_pushstring(v, w.data(), static_cast<SQInteger>(w.size()));
    return 1;
}

SQInteger system_system(HSQUIRRELVM v) {
    std::string cmd = utf8_arg(v, 2);
    std::fflush(nullptr);
    int st = std::system(cmd.c_str());
    // The command's own exit code, as on the original platform.
    int code = st == -1          ? -1
               : WIFEXITED(st)   ? WEXITSTATUS(st)
               : WIFSIGNALED(st) ? 128 + WTERMSIG(st)
                                 : st;
    sq_pushinteger(v, code);
    return 1;
}

SQInteger system_clock(HSQUIRRELVM v) {
    // Wall time since start, as the original runtime's clock() measures it.
    static const auto start = std::chrono::steady_clock::now();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
    sq_pushfloat(v, static_cast<SQFloat>(d.count()));
    return 1;
}

SQInteger system_time(HSQUIRRELVM v) {
    sq_pushinteger(v, static_cast<SQInteger>(std::time(nullptr)));
    return 1;
}

SQInteger system_remove(HSQUIRRELVM v) {
    if (std::remove(sqstd::resolve_path(utf8_arg(v, 2), false).c_str()) != 0)
        return sq_throwerror(v, _SC("remove() failed"));
    return 0;
}

SQInteger system_rename(HSQUIRRELVM v) {
    if (std::rename(sqstd::resolve_path(utf8_arg(v, 2), false).c_str(),
                    sqstd::resolve_path(utf8_arg(v, 3), true).c_str()) != 0)
        return sq_throwerror(v, _SC("rename() failed"));
    return 0;
}

void set_int(HSQUIRRELVM v, const SQChar* key, SQInteger val) {
    sq_pushstring(v, key, -1);
    sq_pushinteger(v, val);
    sq_newslot(v, -3, SQFalse);
}

SQInteger system_date(HSQUIRRELVM v) {
    int64_t t = static_cast<int64_t>(std::time(nullptr));
    bool utc = false;
    SQInteger top = sq_gettop(v);
    if (top > 1) {
        SQInteger it = 0;
        SQFloat ft = 0;
        if (sq_gettype(v, 2) == OT_FLOAT && SQ_SUCCEEDED(sq_getfloat(v, 2, &ft)))
            t = sqstd::float_to_int32(ft);
        else if (SQ_SUCCEEDED(sq_getinteger(v, 2, &it)))
            t = it;
        if (top > 2) {
            SQInteger f = 0;
            sq_getinteger(v, 3, &f);
            utc = f == 'u';
        }
    }
    sqstd::DateParts d;
    if (!sqstd::date_parts(t, utc, d)) return sq_throwerror(v, _SC("crt api failure"));
    sq_newtable(v);
    set_int(v, _SC("sec"), d.sec);
    set_int(v, _SC("min"), d.min);
    set_int(v, _SC("hour"), d.hour);
    set_int(v, _SC("day"), d.day);
    set_int(v, _SC("month"), d.month);
    set_int(v, _SC("year"), d.year);
    set_int(v, _SC("wday"), d.wday);
    set_int(v, _SC("yday"), d.yday);
    return 1;
}

const SQRegFunction kSystemFuncs[] = {
    {_SC("getenv"), system_getenv, 2, _SC(".s")},  {_SC("system"), system_system, 2, _SC(".s")},
    {_SC("date"), system_date, -1, _SC(".nn")},    {_SC("clock"), system_clock, 0, nullptr},
    {_SC("time"), system_time, 1, nullptr},        {_SC("remove"), system_remove, 2, _SC(".s")},
    {_SC("rename"), system_rename, 3, _SC(".ss")}, {nullptr, nullptr, 0, nullptr}};

} // namespace

extern "C" SQInteger sqstd_register_systemlib(HSQUIRRELVM v) {
    sqstd::register_functions(v, kSystemFuncs);
    return SQ_OK;
}
