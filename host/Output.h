#pragma once
#include <squirrel.h>

#include <string>

namespace KoPlayhost {

// The VM's print function: standard output, UTF-8.
void hostPrint(HSQUIRRELVM v, const SQChar* format, ...);
// The VM's error function: appends to "error.txt" (UTF-8) in the current directory. The first
// error of the process truncates the file, so it holds only this run's errors.
void hostError(HSQUIRRELVM v, const SQChar* format, ...);

// Where hostError writes; tests point it elsewhere.
void setErrorFileName(const std::string& path);

} // namespace KoPlayhost
