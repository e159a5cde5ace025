// Marks a native closure of the math library as a plain function of one number, so that the
// interpreter calls it without a native frame. Internal to squirrel/: not part of the public API.
#pragma once

#include <squirrel.h>

// The native closure at idx computes fn on its one numeric argument (converted to double) and
// returns that as a script float; it raises nothing for a number and calls nothing. Other
// arguments still go through the closure's own function. Defined in vm/api.cpp.
SQRESULT vm_set_native_float_fn(HSQUIRRELVM v, SQInteger idx, double (*fn)(double));
