// CPU cost and picture/sound offset of one playing video (not a test):
//   tools/headless build/script/video_bench FILE [SECONDS]
// Plays FILE on the in-memory graphics engine and the default sound engine at 30 frames a
// second, as the frame cycle would, and prints the process's CPU time per second of playing
// (decoder, uploads and sound together) and the offset between the picture shown and the
// sound heard at each new picture.
#include "graphics/NullEngine.h"
#include "graphics/video/Video.h"
#include "io/FileManager.h"
#include "io/Path.h"
#include "io/Utf.h"
#include "script/ScVideo.h"
#include "sound/Context.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: video_bench FILE [SECONDS]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path file = fs::absolute(argv[1]);
    double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    KoIO::setFileManager(
        KoIO::buildFileManager(KoIO::fromPosixPath(file.parent_path().string()), u"", false));
    auto sound = KoSound::Context::create(KoSound::createDefaultEngine(),
                                          std::make_shared<KoSound::SoundFileLoader>(),
                                          std::make_shared<KoSound::MixedSoundLoader>());
    auto engine = KoGraphics::createNullEngine(640, 480);
    std::vector<double> offsets;
    KoGraphics::VideoOptions options;
    options.sound = KoScript::createEngineSoundOutput();
    options.offsetProbe = [&](double d) { offsets.push_back(d); };
    auto video = KoGraphics::openVideo(*engine, KoIO::fromUtf8(file.filename().string()), options);
    if (!video) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d, %.2f s\n", argv[1], video->getWidth(), video->getHeight(),
                video->getLength());
    using Clock = std::chrono::steady_clock;
    video->loop();
    auto start = Clock::now();
    double cpu0 = cpuSeconds();
    auto next = start;
    int frames = 0;
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        video->onBeginFrame();
        ++frames;
        next += std::chrono::microseconds(33333);
        std::this_thread::sleep_until(next);
    }
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = cpuSeconds() - cpu0;
    std::printf("frames %d in %.2f s; CPU %.2f s = %.1f %% of one core\n", frames, wall, cpu,
                100.0 * cpu / wall);
    // The first half second holds the output's start-up.
    std::vector<double> steady(offsets.begin() + std::min<size_t>(offsets.size(), 15),
                               offsets.end());
    if (steady.empty()) std::printf("no offsets (no sound heard)\n");
    if (steady.empty()) steady.push_back(0);
    std::sort(steady.begin(), steady.end());
    double sum = 0, worst = 0;
    for (double d : steady) {
        sum += d;
        worst = std::max(worst, std::abs(d));
    }
    std::printf("picture - sound over %zu pictures: mean %+.1f ms, median %+.1f ms, "
                "5%% %+.1f ms, 95%% %+.1f ms, worst |%.1f| ms\n",
                steady.size(), 1000 * sum / steady.size(), 1000 * steady[steady.size() / 2],
                1000 * steady[steady.size() / 20], 1000 * steady[steady.size() * 19 / 20],
                1000 * worst);
    std::fflush(stdout);
    video.reset();
    std::fprintf(stderr, "video released\n");
    sound.reset();
    std::fprintf(stderr, "sound released\n");
    return 0;
}
