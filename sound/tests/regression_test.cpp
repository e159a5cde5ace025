// Replays the fuzz seeds and every sound file that once broke a loader.
#include "sound/fuzz/SoundFuzz.h"
#include "sound/tests/TestSounds.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

size_t replay(const std::string& dir) {
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().filename().string()[0] == '.') continue;
        auto bytes = KoTest::readFile(e.path().string());
        SCOPED_TRACE(e.path().string());
        KoSoundFuzz::runSoundLoad(bytes.data(), bytes.size());
        ++n;
    }
    return n;
}

TEST(SoundRegressions, SeedsAndRegressionInputsLoadClean) {
    EXPECT_GE(replay(KO_SOUND_CORPUS), 4u);
    replay(KO_SOUND_REGRESSIONS);
}

} // namespace
