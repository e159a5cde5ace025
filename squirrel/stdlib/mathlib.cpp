// math library: the C math functions on 32-bit floats, abs, rand/srand with
// the Windows runtime's generator, PI and RAND_MAX.
#include <sqstdmath.h>

#include <cmath>

#include "squirrel/internal/nativefloat.h"
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

// The one-number functions, also called by the interpreter directly (vm_set_native_float_fn).
double f_sqrt(double x) {
    return std::sqrt(x);
}
double f_sin(double x) {
    return std::sin(x);
}
double f_cos(double x) {
    return std::cos(x);
}
double f_asin(double x) {
    return std::asin(x);
}
double f_acos(double x) {
    return std::acos(x);
}
double f_log(double x) {
    return std::log(x);
}
double f_log10(double x) {
    return std::log10(x);
}
double f_tan(double x) {
    return std::tan(x);
}
double f_atan(double x) {
    return std::atan(x);
}
double f_floor(double x) {
    return std::floor(x);
}
double f_ceil(double x) {
    return std::ceil(x);
}
double f_exp(double x) {
    return std::exp(x);
}
double f_fabs(double x) {
    return std::fabs(x);
}

const struct {
    const SQChar* name;
    double (*fn)(double);
} kFloatFns[] = {{_SC("sqrt"), f_sqrt},   {_SC("sin"), f_sin},   {_SC("cos"), f_cos},
                 {_SC("asin"), f_asin},   {_SC("acos"), f_acos}, {_SC("log"), f_log},
                 {_SC("log10"), f_log10}, {_SC("tan"), f_tan},   {_SC("atan"), f_atan},
                 {_SC("floor"), f_floor}, {_SC("ceil"), f_ceil}, {_SC("exp"), f_exp},
                 {_SC("fabs"), f_fabs}};

// Registered in this order: the order in which a script walking the root table meets them.
const SQRegFunction kMathFuncs[] = {
    {_SC("sqrt"), unary<f_sqrt>, 2, _SC(".n")},
    {_SC("sin"), unary<f_sin>, 2, _SC(".n")},
    {_SC("cos"), unary<f_cos>, 2, _SC(".n")},
    {_SC("asin"), unary<f_asin>, 2, _SC(".n")},
    {_SC("acos"), unary<f_acos>, 2, _SC(".n")},
    {_SC("log"), unary<f_log>, 2, _SC(".n")},
    {_SC("log10"), unary<f_log10>, 2, _SC(".n")},
    {_SC("tan"), unary<f_tan>, 2, _SC(".n")},
    {_SC("atan"), unary<f_atan>, 2, _SC(".n")},
    {_SC("atan2"), binary<+[](double y, double x) { return std::atan2(y, x); }>, 3, _SC(".nn")},
    {_SC("pow"), binary<+[](double b, double e) { return std::pow(b, e); }>, 3, _SC(".nn")},
    {_SC("floor"), unary<f_floor>, 2, _SC(".n")},
    {_SC("ceil"), unary<f_ceil>, 2, _SC(".n")},
    {_SC("exp"), unary<f_exp>, 2, _SC(".n")},
    {_SC("srand"), math_srand, 2, _SC(".n")},
    {_SC("rand"), math_rand, 1, nullptr},
    {_SC("fabs"), unary<f_fabs>, 2, _SC(".n")},
    {_SC("abs"), math_abs, 2, _SC(".n")},
    {nullptr, nullptr, 0, nullptr}};

} // namespace

extern "C" SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
    sqstd::register_functions(v, kMathFuncs);
    for (const auto& f : kFloatFns) {
        sq_pushstring(v, f.name, -1);
        if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
            vm_set_native_float_fn(v, -1, f.fn);
            sq_pop(v, 1);
        }
    }
    sq_pushstring(v, _SC("RAND_MAX"), -1);
    sq_pushinteger(v, sqstd::MsRand::kMax);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, _SC("PI"), -1);
    sq_pushfloat(v, static_cast<SQFloat>(3.14159265358979323846));
    sq_newslot(v, -3, SQFalse);
    return SQ_OK;
}
