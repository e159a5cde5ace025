// A second process for the monitor tests.
//   monitor_probe NAME ask    prints "first", or "second" and then "sent" / "not sent" after
//                             asking the first instance to raise its window
//   monitor_probe NAME hold   prints "first" / "second"; if first, waits (up to 10 s) for a
//                             raise request, prints "raised N" and exits
//   monitor_probe NAME sleep  prints "first" / "second" and holds the lock until killed
#include "frame/Monitor.h"
#include "io/Utf.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: monitor_probe NAME ask|hold|sleep\n");
        return 2;
    }
    KoFrame::Core::Monitor monitor(KoIO::fromUtf8(argv[1]));
    const bool first = monitor.isFirstInstance();
    std::printf("%s\n", first ? "first" : "second");
    std::fflush(stdout);
    const std::string mode = argv[2];
    if (mode == "ask") {
        if (!first) std::printf("%s\n", monitor.requestRaise() ? "sent" : "not sent");
    } else if (mode == "hold" && first) {
        for (int i = 0; i < 2000 && monitor.poll() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::printf("raised %u\n", monitor.raiseRequestCount());
    } else if (mode == "sleep") {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return 0;
}
