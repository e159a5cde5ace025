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

// date([time[, 'u']]): the fields of a local (or UTC) calendar date, in this slot order.
SQInteger system_date(HSQUIRRELVM v) {
    static const struct {
        const SQChar* key;
        int sqstd::DateParts::*field;
    } kFields[] = {
        {_SC("sec"), &sqstd::DateParts::sec},     {_SC("min"), &sqstd::DateParts::min},
        {_SC("hour"), &sqstd::DateParts::hour},   {_SC("day"), &sqstd::DateParts::day},
        {_SC("month"), &sqstd::DateParts::month}, {_SC("year"), &sqstd::DateParts::year},
        {_SC("wday"), &sqstd::DateParts::wday},   {_SC("yday"), &sqstd::DateParts::yday}};
    const SQInteger top = sq_gettop(v);
    const int64_t t = top > 1 ? sqstd::int_arg(v, 2) : static_cast<int64_t>(std::time(nullptr));
    SQInteger zone = 0;
    if (top > 2) sq_getinteger(v, 3, &zone);
    sqstd::DateParts d;
    if (!sqstd::date_parts(t, zone == 'u', d)) return sq_throwerror(v, _SC("crt api failure"));
    sq_newtable(v);
    for (const auto& f : kFields) {
        sq_pushstring(v, f.key, -1);
        sq_pushinteger(v, d.*f.field);
        sq_newslot(v, -3, SQFalse);
    }
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
