// Bodies of the fuzz targets, shared with the regression test that replays
// the inputs which once failed. Each aborts on a broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sqstd {
void fuzz_format(const uint8_t* data, size_t size);
void fuzz_regexp(const uint8_t* data, size_t size);
} // namespace sqstd
