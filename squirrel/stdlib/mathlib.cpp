// math library: the C math functions on 32-bit floats, abs, rand/srand with
// the Windows runtime's generator, PI and RAND_MAX.
#include <sqstdmath.h>

#include <cmath>

#include "squirrel/stdlib/corelib.h"
#include "squirrel/stdlib/regutil.h"
#include "squirrel/stdlib/scriptformat.h"

namespace {

SQFloat farg(HSQUIRRELVM v, SQInteger idx) {
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    return f;
}

#define SQSTD_MATH1(name, expr)                                                                    \
    SQInteger math_##name(HSQUIRRELVM v) {                                                         \
        double x = farg(v, 2);                                                                     \
        sq_pushfloat(v, static_cast<SQFloat>(expr));                                               \
        return 1;                                                                                  \
    }

SQSTD_MATH1(sqrt, std::sqrt(x))
SQSTD_MATH1(fabs, std::fabs(x))
SQSTD_MATH1(sin, std::sin(x))
SQSTD_MATH1(cos, std::cos(x))
SQSTD_MATH1(tan, std::tan(x))
SQSTD_MATH1(asin, std::asin(x))
SQSTD_MATH1(acos, std::acos(x))
SQSTD_MATH1(atan, std::atan(x))
SQSTD_MATH1(log, std::log(x))
SQSTD_MATH1(log10, std::log10(x))
SQSTD_MATH1(exp, std::exp(x))
SQSTD_MATH1(floor, std::floor(x))
SQSTD_MATH1(ceil, std::ceil(x))

SQInteger math_atan2(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(std::atan2(static_cast<double>(farg(v, 2)),
                                                    static_cast<double>(farg(v, 3)))));
    return 1;
}

SQInteger math_pow(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(std::pow(static_cast<double>(farg(v, 2)),
                                                  static_cast<double>(farg(v, 3)))));
    return 1;
}

SQInteger math_abs(HSQUIRRELVM v) {
    SQInteger n = 0;
    if (sq_gettype(v, 2) == OT_FLOAT)
        n = sqstd::float_to_int32(farg(v, 2));
    else
        sq_getinteger(v, 2, &n);
    // abs(-2147483648) stays -2147483648, as in 32-bit C, without the overflow.
    uint32_t u = static_cast<uint32_t>(n);
    sq_pushinteger(v, static_cast<SQInteger>(n < 0 ? 0u - u : u));
    return 1;
}

SQInteger math_srand(HSQUIRRELVM v) {
    SQInteger seed = 0;
    if (sq_gettype(v, 2) == OT_FLOAT)
        seed = sqstd::float_to_int32(farg(v, 2));
    else
        sq_getinteger(v, 2, &seed);
    sqstd::script_rand().seed(static_cast<uint32_t>(seed));
    return 0;
}

SQInteger math_rand(HSQUIRRELVM v) {
    sq_pushinteger(v, sqstd::script_rand().next());
    return 1;
}

const SQRegFunction kMathFuncs[] = {{_SC("sqrt"), math_sqrt, 2, _SC(".n")},
                                    {_SC("sin"), math_sin, 2, _SC(".n")},
                                    {_SC("cos"), math_cos, 2, _SC(".n")},
                                    {_SC("asin"), math_asin, 2, _SC(".n")},
                                    {_SC("acos"), math_acos, 2, _SC(".n")},
                                    {_SC("log"), math_log, 2, _SC(".n")},
                                    {_SC("log10"), math_log10, 2, _SC(".n")},
                                    {_SC("tan"), math_tan, 2, _SC(".n")},
                                    {_SC("atan"), math_atan, 2, _SC(".n")},
                                    {_SC("atan2"), math_atan2, 3, _SC(".nn")},
                                    {_SC("pow"), math_pow, 3, _SC(".nn")},
                                    {_SC("floor"), math_floor, 2, _SC(".n")},
                                    {_SC("ceil"), math_ceil, 2, _SC(".n")},
                                    {_SC("exp"), math_exp, 2, _SC(".n")},
                                    {_SC("srand"), math_srand, 2, _SC(".n")},
                                    {_SC("rand"), math_rand, 1, nullptr},
                                    {_SC("fabs"), math_fabs, 2, _SC(".n")},
                                    {_SC("abs"), math_abs, 2, _SC(".n")},
                                    {nullptr, nullptr, 0, nullptr}};

} // namespace

extern "C" SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
    sqstd::register_functions(v, kMathFuncs);
    sq_pushstring(v, _SC("RAND_MAX"), -1);
    sq_pushinteger(v, sqstd::MsRand::kMax);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, _SC("PI"), -1);
    sq_pushfloat(v, static_cast<SQFloat>(3.14159265358979323846));
    sq_newslot(v, -3, SQFalse);
    return SQ_OK;
}
