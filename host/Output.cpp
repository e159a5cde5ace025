#include "host/Output.h"

#include "io/Path.h"

#include <sqstdprintf.h>

#include <cstdarg>
#include <cstdio>

namespace KoPlayhost {
namespace {

std::string errorFile = "error.txt";
bool firstError = true;
std::u16string reported;

} // namespace

void setErrorFileName(const std::string& path) {
    errorFile = path;
}

void hostPrint(HSQUIRRELVM, const SQChar* format, ...) {
    std::u16string text;
    va_list args;
    va_start(args, format);
    sqstd::vappendf(text, format, args);
    va_end(args);
    std::string out = KoIO::toUtf8(text);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
}

void hostError(HSQUIRRELVM, const SQChar* format, ...) {
    std::u16string text;
    va_list args;
    va_start(args, format);
    sqstd::vappendf(text, format, args);
    va_end(args);
    reported += text;
    std::string out = KoIO::toUtf8(text);
    fwrite(out.data(), 1, out.size(), stderr);
    // The first call counts even if the file cannot be opened: later errors only append.
    FILE* f = fopen(errorFile.c_str(), firstError ? "w" : "a");
    firstError = false;
    if (!f) return;
    fwrite(out.data(), 1, out.size(), f);
    fclose(f);
}

const std::u16string& reportedErrors() {
    return reported;
}

} // namespace KoPlayhost
