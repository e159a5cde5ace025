/* io library: the file class, dofile, loadfile, writeclosuretofile, std streams. */
#ifndef KO_SQSTDIO_H
#define KO_SQSTDIO_H

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SQSTD_STREAM_TYPE_TAG 0x80000000
#define SQSTD_FILE_TYPE_TAG (SQSTD_STREAM_TYPE_TAG | 0x00000001)

typedef void* SQFILE;

#define SQ_SEEK_CUR 0
#define SQ_SEEK_END 1
#define SQ_SEEK_SET 2

SQUIRREL_API SQFILE sqstd_fopen(const SQChar*, const SQChar*);
SQUIRREL_API SQInteger sqstd_fread(SQUserPointer, SQInteger, SQInteger, SQFILE);
SQUIRREL_API SQInteger sqstd_fwrite(const SQUserPointer, SQInteger, SQInteger, SQFILE);
SQUIRREL_API SQInteger sqstd_fseek(SQFILE, SQInteger, SQInteger);
SQUIRREL_API SQInteger sqstd_ftell(SQFILE);
SQUIRREL_API SQInteger sqstd_fflush(SQFILE);
SQUIRREL_API SQInteger sqstd_fclose(SQFILE);
SQUIRREL_API SQInteger sqstd_feof(SQFILE);

SQUIRREL_API SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own);
SQUIRREL_API SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE* file);

/* compiler helpers */
SQUIRREL_API SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar* filename, SQBool printerror);
SQUIRREL_API SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar* filename, SQBool retval,
                                   SQBool printerror);
SQUIRREL_API SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar* filename);

SQUIRREL_API SQRESULT sqstd_register_iolib(HSQUIRRELVM v);

/* How file(), dofile(), loadfile(), remove() and rename() turn a script's file name (UTF-8, `\`
   or `/` separators) into the name opened on disk. The resolver writes a NUL-terminated name
   to `out` and returns SQTrue, or SQFalse when it does not fit. `may_be_new` is set when the
   name may be created. Null restores the built-in resolver (case-insensitive lookup per folder).
   A host sets its own so that the library and the host's files agree on every name. */
typedef SQBool (*SQFILENAMERESOLVER)(const char* name, SQBool may_be_new, char* out,
                                     SQInteger outsize);
SQUIRREL_API void sqstd_setfilenameresolver(SQFILENAMERESOLVER resolver);

#ifdef __cplusplus
}
#endif

#endif /* KO_SQSTDIO_H */
