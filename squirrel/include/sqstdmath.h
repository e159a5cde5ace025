/* math library. */
#ifndef KO_SQSTDMATH_H
#define KO_SQSTDMATH_H

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API SQRESULT sqstd_register_mathlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif

#endif /* KO_SQSTDMATH_H */
