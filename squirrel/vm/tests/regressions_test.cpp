// Replays every input in regressions/: inputs that once crashed the compile-and-run target.
#include "squirrel/vm/fuzz/fuzz_one.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

TEST(Regressions, EveryStoredInputRunsCleanly) {
    namespace fs = std::filesystem;
    int n = 0;
    for (auto& e : fs::directory_iterator(KO_SQ_REGRESSIONS_DIR)) {
        if (!e.is_regular_file() || e.path().filename() == "README.md") continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        SCOPED_TRACE(e.path().string());
        ko_sq_fuzz_one(data.data(), data.size());
        n++;
    }
    EXPECT_GT(n, 0);
}
