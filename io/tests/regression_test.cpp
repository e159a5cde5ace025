// Replays the fuzz corpus and every input that once broke the archive reader.
#include "ArchiveFuzz.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
size_t replay(const std::string& dir) {
    size_t n = 0;
    if (!std::filesystem::is_directory(dir)) return 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().filename().string()[0] == '.') continue;
        std::string data = KoIOTest::readFile(e.path().string());
        SCOPED_TRACE(e.path().string());
        KoIOFuzz::runArchiveQueries(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        ++n;
    }
    return n;
}
} // namespace

TEST(ArchiveRegressions, CorpusAndRegressionInputsRunClean) {
    // Both folders hold inputs: a wrong path or a lost folder must not pass as "nothing broke".
    EXPECT_GT(replay(KO_IO_CORPUS), 0u);
    EXPECT_GT(replay(KO_IO_REGRESSIONS), 0u);
}

TEST(ArchiveRegressions, SeedArchivesOpen) {
    // The seeds the fuzzer starts from are real archives, so it begins deep in the reader.
    size_t opened = 0;
    for (auto& e : std::filesystem::directory_iterator(KO_IO_CORPUS)) {
        if (e.path().extension() != ".koa") continue;
        std::string data = KoIOTest::readFile(e.path().string());
        auto r = KoIOTest::openBytes(data);
        ASSERT_NE(r, nullptr) << e.path();
        for (auto& name : r->getNames())
            if (r->isFile(name) && r->getSize(name)) {
                EXPECT_FALSE(r->read(name).empty()) << e.path();
            }
        ++opened;
    }
    EXPECT_GE(opened, 3u);
}
