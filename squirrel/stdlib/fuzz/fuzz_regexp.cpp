#include "squirrel/stdlib/fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sqstd::fuzz_regexp(data, size);
    return 0;
}
