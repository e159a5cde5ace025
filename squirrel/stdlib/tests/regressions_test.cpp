// Replays the inputs that once broke the fuzz targets (tests/regressions/).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "squirrel/stdlib/fuzz/targets.h"

namespace {

std::vector<std::filesystem::path> inputs(const char* sub) {
    std::vector<std::filesystem::path> r;
    std::filesystem::path dir = std::filesystem::path(SQSTD_REGRESSIONS_DIR) / sub;
    if (std::filesystem::is_directory(dir))
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.is_regular_file()) r.push_back(e.path());
    return r;
}

std::vector<uint8_t> bytes(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

TEST(Regressions, FormatInputs) {
    ASSERT_FALSE(inputs("format").empty());
    for (const auto& p : inputs("format")) {
        std::vector<uint8_t> b = bytes(p);
        SCOPED_TRACE(p.filename().string());
        sqstd::fuzz_format(b.data(), b.size());
    }
}

TEST(Regressions, RegexpInputs) {
    ASSERT_FALSE(inputs("regexp").empty());
    for (const auto& p : inputs("regexp")) {
        std::vector<uint8_t> b = bytes(p);
        SCOPED_TRACE(p.filename().string());
        sqstd::fuzz_regexp(b.data(), b.size());
    }
}

} // namespace
