// The engine of the script function format(): the text of a format string and
// its arguments, without a VM, so that it can be tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sqstd {

struct FormatArg {
    enum Kind { Integer, Float, String, Other } kind = Other;
    int32_t i = 0;
    float f = 0;
    const char16_t* s = nullptr;
    size_t n = 0;
};

// Fills `arg` with argument number `k` (0 = the first after the format);
// returns false when there is no such argument.
using FormatArgFn = bool (*)(void* ctx, int k, FormatArg& arg);

// Appends the formatted text to `out`. Returns nullptr on success, otherwise
// the script error text. The format ends at its first zero character.
const char* script_format(const char16_t* fmt, size_t len, FormatArgFn get, void* ctx,
                          std::u16string& out);

// float -> 32-bit integer as the x86 conversion does: toward zero, and
// 0x80000000 for NaN and values out of range.
int32_t float_to_int32(double f);

} // namespace sqstd
