// Number and text conversions with the printf rules of the 32-bit Windows C
// runtime that scripts were written against: 3-digit exponents (1e+020),
// 1.#INF / -1.#INF / -1.#IND / 1.#QNAN, halves rounded up from 17 significant
// digits. Shared by format(), the print formatter and the error reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sqstd {

struct FmtSpec {
    bool left = false;  // '-'
    bool plus = false;  // '+'
    bool space = false; // ' '
    bool alt = false;   // '#'
    bool zero = false;  // '0'
    int width = 0;
    int prec = -1; // -1: not given
    char conv = 0; // conversion letter
};

// d i u o x X. `neg` and `mag` give the value; u/o/x/X callers pass neg=false
// and the unsigned bit pattern.
void put_int(std::u16string& out, const FmtSpec& spec, bool neg, uint64_t mag);
// e E f F g G
void put_float(std::u16string& out, const FmtSpec& spec, double value);
// s and c: `n` units of text; the precision cuts strings.
void put_text(std::u16string& out, const FmtSpec& spec, const char16_t* s, size_t n);

// Appends an ASCII string.
void append_ascii(std::u16string& out, const char* s);

} // namespace sqstd
