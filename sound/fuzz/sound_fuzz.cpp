#include "SoundFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KoSoundFuzz::runSoundLoad(data, size);
    return 0;
}
