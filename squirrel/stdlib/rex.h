// Internal view of the regular-expression engine of rex.cpp (its C API: <sqstdstring.h>).
#pragma once

#include <sqstdstring.h>

namespace sqstd {

// Nested groups and repetitions allowed in one pattern; deeper patterns are a
// compile error, so that matching can never exhaust the process stack.
constexpr int kRexMaxDepth = 64;
// Work allowed for one match or search call. Past it the call reports no
// match and rex_budget_exceeded() tells why.
constexpr long kRexStepBudget = 50'000'000;

bool rex_budget_exceeded(const SQRex* exp);

} // namespace sqstd

namespace sqstd {
// Whole-text match of [begin, end); the text may hold zero characters.
bool rex_match_range(SQRex* exp, const SQChar* begin, const SQChar* end);
} // namespace sqstd
