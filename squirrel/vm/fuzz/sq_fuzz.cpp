// libFuzzer target: compile and run untrusted Squirrel source or bytecode.
#include "squirrel/vm/fuzz/fuzz_one.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    ko_sq_fuzz_one(data, size);
    return 0;
}
