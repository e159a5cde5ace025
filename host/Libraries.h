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
    SDL_Window* window = nullptr; // the main window; null runs without a display
    uint16_t width = 640, height = 480; // the configured screen size
};

// Every native library, in registration order. Util's timers and frame keepers run on `clock`.
std::vector<std::shared_ptr<Library>> createLibraries(std::shared_ptr<KoTimer::IClock> clock,
                                                     const HostObjects& host = {});

} // namespace KoPlayhost
