/* system library: getenv, system, clock, time, date, remove, rename. */
#ifndef KO_SQSTDSYSTEM_H
#define KO_SQSTDSYSTEM_H

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API SQInteger sqstd_register_systemlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif

#endif /* KO_SQSTDSYSTEM_H */
