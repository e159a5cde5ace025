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

// A function of the C library on the float argument(s), computed in double precision and
// answered as a script float.
template <double (*F)(double)>
SQInteger unary(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(F(farg(v, 2))));
    return 1;
}

template <double (*F)(double, double)>
SQInteger binary(HSQUIRRELVM v) {
    sq_pushfloat(v, static_cast<SQFloat>(F(farg(v, 2), farg(v, 3))));
    return 1;
}

SQInteger math_abs(HSQUIRRELVM v) {
    // abs(-2147483648) stays -2147483648, as in 32-bit C, without the overflow.
    uint32_t u = static_cast<uint32_t>(sqstd::int_arg(v, 2));
    sq_pushinteger(v, static_cast<SQInteger>(static_cast<int32_t>(u) < 0 ? 0u - u : u));
    return 1;
}

SQInteger math_srand(HSQUIRRELVM v) {
    sqstd::script_rand().seed(static_cast<uint32_t>(sqstd::int_arg(v, 2)));
    return 0;
}

SQInteger math_rand(HSQUIRRELVM v) {
    sq_pushinteger(v, sqstd::script_rand().next());
    return 1;
}

// Registered in this order: the order in which a script walking the root table meets them.
const SQRegFunction kMathFuncs[] = {
    {_SC("sqrt"), unary<+[](double x) { return std::sqrt(x); }>, 2, _SC(".n")},
    {_SC("sin"), unary<+[](double x) { return std::sin(x); }>, 2, _SC(".n")},
    {_SC("cos"), unary<+[](double x) { return std::cos(x); }>, 2, _SC(".n")},
    {_SC("asin"), unary<+[](double x) { return std::asin(x); }>, 2, _SC(".n")},
    {_SC("acos"), unary<+[](double x) { return std::acos(x); }>, 2, _SC(".n")},
    {_SC("log"), unary<+[](double x) { return std::log(x); }>, 2, _SC(".n")},
    {_SC("log10"), unary<+[](double x) { return std::log10(x); }>, 2, _SC(".n")},
    {_SC("tan"), unary<+[](double x) { return std::tan(x); }>, 2, _SC(".n")},
    {_SC("atan"), unary<+[](double x) { return std::atan(x); }>, 2, _SC(".n")},
    {_SC("atan2"), binary<+[](double y, double x) { return std::atan2(y, x); }>, 3, _SC(".nn")},
    {_SC("pow"), binary<+[](double b, double e) { return std::pow(b, e); }>, 3, _SC(".nn")},
    {_SC("floor"), unary<+[](double x) { return std::floor(x); }>, 2, _SC(".n")},
    {_SC("ceil"), unary<+[](double x) { return std::ceil(x); }>, 2, _SC(".n")},
    {_SC("exp"), unary<+[](double x) { return std::exp(x); }>, 2, _SC(".n")},
    {_SC("srand"), math_srand, 2, _SC(".n")},
    {_SC("rand"), math_rand, 1, nullptr},
    {_SC("fabs"), unary<+[](double x) { return std::fabs(x); }>, 2, _SC(".n")},
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
