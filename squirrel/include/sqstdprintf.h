/* printf-style formatting of SQChar text, for the print and error functions
 * (SQPRINTFUNCTION) of hosts and of the standard error handlers.
 *
 * Conversions: d i u o x X c s e E f F g G p %, flags - + space # 0, width and
 * precision (digits or *), length modifiers hh h l ll z j t L. %s and %c take
 * SQChar text (%hs: a UTF-8 char string). Floats print with the rules of the
 * original Windows runtime (1e+020, 1.#INF). An unknown conversion is copied
 * as it stands and consumes no argument. */
#ifndef KO_SQSTDPRINTF_H
#define KO_SQSTDPRINTF_H

#include <stdarg.h>

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* C semantics: writes at most size-1 characters and a terminating 0 (if size > 0);
 * returns the length of the whole formatted text. */
SQUIRREL_API SQInteger sqstd_vsnprintf(SQChar* buf, SQInteger size, const SQChar* fmt,
                                       va_list args);
SQUIRREL_API SQInteger sqstd_snprintf(SQChar* buf, SQInteger size, const SQChar* fmt, ...);

#ifdef __cplusplus
}

#include <string>
#include <string_view>

namespace sqstd {
/* Appends the formatted text to `out`. */
void vappendf(std::u16string& out, const SQChar* fmt, va_list args);
std::u16string formatf(const SQChar* fmt, ...);
} // namespace sqstd
#endif

#endif /* KO_SQSTDPRINTF_H */
