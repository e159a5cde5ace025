#pragma once
#include <squirrel.h>

#include <string>

namespace KoPlayhost {

// The VM's print function: standard output, UTF-8.
void hostPrint(HSQUIRRELVM v, const SQChar* format, ...);
// The VM's error function: appends to "error.txt" (UTF-8) in the current directory and writes
// the same to standard error, so a person who started the game from a terminal sees why it
// closed. The first error of the process truncates the file, so it holds only this run's errors.
void hostError(HSQUIRRELVM v, const SQChar* format, ...);

// Everything hostError wrote in this process (empty when the run had no error).
const std::u16string& reportedErrors();

// Where hostError writes; tests point it elsewhere.
void setErrorFileName(const std::string& path);

} // namespace KoPlayhost
