/* The standard error handlers and call-stack dump. */
#ifndef KO_SQSTDAUX_H
#define KO_SQSTDAUX_H

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API void sqstd_seterrorhandlers(HSQUIRRELVM v);
SQUIRREL_API void sqstd_printcallstack(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif

#endif /* KO_SQSTDAUX_H */
