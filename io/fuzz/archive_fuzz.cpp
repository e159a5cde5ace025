#include "ArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KoIOFuzz::runArchiveQueries(data, size);
    return 0;
}
