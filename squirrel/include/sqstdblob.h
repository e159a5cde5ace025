/* blob library: the blob class and the cast and swap functions. */
#ifndef KO_SQSTDBLOB_H
#define KO_SQSTDBLOB_H

#include "squirrel.h"

#define SQSTD_BLOB_TYPE_TAG (0x80000000 | 0x00000002)

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size);
SQUIRREL_API SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer* ptr);
SQUIRREL_API SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx);

SQUIRREL_API SQRESULT sqstd_register_bloblib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif

#endif /* KO_SQSTDBLOB_H */
