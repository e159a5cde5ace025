#pragma once
#include "script/Library.h"
#include "timer/Clock.h"

#include <cstdint>
#include <memory>
#include <vector>

struct SDL_Window;

namespace KoPlayhost {

// What the libraries need from the host.
struct HostObjects {
    SDL_Window* window = nullptr;       // the main window; null runs without a display
    uint16_t width = 640, height = 480; // the configured screen size
    // The clock of Util's timers and frame keepers.
    std::shared_ptr<KoTimer::IClock> clock = KoTimer::systemClock();
    // When set, sounds play silently on this clock instead of the device, and videos keep its
    // time instead of real time (counted runs).
    std::shared_ptr<KoTimer::IClock> mediaClock;
};

// Every native library, in registration order.
std::vector<std::shared_ptr<KoScript::Library>> createLibraries(const HostObjects& host = {});

} // namespace KoPlayhost
