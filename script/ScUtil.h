#pragma once
#include "script/Library.h"
#include "timer/Clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace KoScript {

// The Util table: timers and frame keepers over one clock, the literal writer behind the
// serializer, and (in its built-in script) the frame wait, serializer, counters and ring
// buffer.
class UtilLibrary final : public Library {
public:
    explicit UtilLibrary(std::shared_ptr<KoTimer::IClock> clock = KoTimer::systemClock())
        : clock_(std::move(clock)) {}
    bool load(HSQUIRRELVM v) override;

private:
    std::shared_ptr<KoTimer::IClock> clock_;
};

namespace UtilText {

// A float as script source that reads back as the same value: up to 14 significant digits,
// no decimal point when integral (so 2.0 reads back as the integer 2) unless the integer
// would not fit 32 bits; infinities and NaN as expressions that produce them.
std::u16string floatLiteral(float f);
// A string literal: double quote, line feed and backslash escaped, everything else raw.
std::u16string stringLiteral(std::u16string_view s);

} // namespace UtilText

// One LoopCounter move of `step` (|step| single moves of +1 or -1, each wrapping below min to
// max and above max to min), computed without looping. min <= max.
int32_t loopCounterStep(int32_t value, int32_t min, int32_t max, int32_t step);

} // namespace KoScript
