// Measures, on the default device (OpenAL Soft's null output under tools/headless):
//   - latency from play() to the first sample taken by the mixer (the heard position leaves 0);
//   - CPU used by the feeder thread while 16 Ogg Vorbis channels loop.
//   sound_bench OGG_FILE [SECONDS]
#include "sound/Sound.h"
#include "sound/al/AlEngine.h"
#include "sound/ogg/OggSoundLoader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace KoSound;
using Clock = std::chrono::steady_clock;

namespace {

// User + system CPU seconds of this process's thread named `name`.
double threadCpu(const std::string& name) {
    DIR* d = opendir("/proc/self/task");
    double total = -1;
    while (dirent* e = d ? readdir(d) : nullptr) {
        std::string task = std::string("/proc/self/task/") + e->d_name;
        std::string comm;
        std::getline(std::ifstream(task + "/comm"), comm);
        if (comm != name) continue;
        std::string stat;
        std::getline(std::ifstream(task + "/stat"), stat);
        auto fields = stat.substr(stat.rfind(')') + 2);
        unsigned long utime = 0, stime = 0;
        std::sscanf(fields.c_str(), "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                    &stime);
        total = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }
    if (d) closedir(d);
    return total;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sound_bench OGG_FILE [SECONDS]\n");
        return 2;
    }
    double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    auto data = Ogg::SoundLoader().load(std::make_shared<MemoryFileData>(bytes));
    auto engine = Al::AlEngine::create();
    if (!data || !engine) {
        std::fprintf(stderr, "no data or no device\n");
        return 1;
    }
    auto sound = Sound::create(engine, data);

    std::vector<double> latencies;
    for (int i = 0; i < 40; ++i) {
        auto buffer = engine->createBuffer(data->reopen());
        auto t0 = Clock::now();
        buffer->play(0);
        while (buffer->getPosition() == 0 && Clock::now() - t0 < std::chrono::seconds(1))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        buffer->stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(7 * (i % 3))); // vary the phase
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf(
        "play() to first mixed sample over %zu plays: median %.1f ms, 90%% %.1f ms, max %.1f ms\n",
        latencies.size(), latencies[latencies.size() / 2], latencies[latencies.size() * 9 / 10],
        latencies.back());

    std::vector<ChannelPtr> channels;
    for (int i = 0; i < 16; ++i)
        channels.push_back(sound->loop(uint32_t(i * 997) % sound->getLength(), 0, 0));
    double cpu0 = threadCpu("ko-sound-feed");
    auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    double cpu = threadCpu("ko-sound-feed") - cpu0;
    std::printf("feeder with 16 looping Ogg Vorbis channels (%u Hz, %u ch): %.2f%% of one core "
                "over %.1f s\n",
                data->getFormat().samplesPerSecond, data->getFormat().channels, 100.0 * cpu / wall,
                wall);
    engine->shutdown();
    return 0;
}
