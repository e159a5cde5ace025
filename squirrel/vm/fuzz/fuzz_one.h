// Compile-and-run of one untrusted input, shared by the fuzz target and the regression replay.
#pragma once
#include <cstddef>
#include <cstdint>

// Runs `data` as a script (UTF-8 source, or bytecode when it starts with FA FA) under an
// instruction budget; then round-trips the compiled function through the serialiser.
void ko_sq_fuzz_one(const uint8_t* data, size_t size);
