#pragma once
#include "frame/IWindow.h"
#include "host/Setup.h"
#include "script/Library.h"
#include "timer/Clock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace KoPlayhost {

// Makes the libraries of a run (after the prelude); tests give their own to watch the cycle.
using LibraryFactory = std::function<std::vector<std::shared_ptr<KoScript::Library>>()>;

// How a run is driven beyond setup.nut (the command line's options).
struct RunOptions {
    // Frames to run before the run ends as if the window were closed; 0 runs until the end.
    uint32_t frames = 0;
    // When set, the last frame shown is saved there (PNG, JPEG or BMP by extension).
    std::u16string screenshot;
    // The clock of Util's timers and frame keepers.
    std::shared_ptr<KoTimer::IClock> clock = KoTimer::systemClock();
    // Empty: the runner's own libraries (createLibraries) on that clock.
    LibraryFactory makeLibraries;
};

// Brings the VM up, runs start.nut one frame at a time in `window` until the script ends,
// exits, the window goes or the frame limit is reached, then tears everything down. Returns
// the quit code. A screenshot that cannot be saved is reported on standard error and counts as
// an error of the run (see screenshotFailed()).
int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline, const RunOptions& options = {});
bool screenshotFailed();

// The same with libraries of the caller's making.
int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline, const LibraryFactory& makeLibraries);

} // namespace KoPlayhost
