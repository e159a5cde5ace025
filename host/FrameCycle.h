#pragma once
#include "frame/IWindow.h"
#include "host/Setup.h"
#include "script/Library.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace KoPlayhost {

// Brings the VM up, runs start.nut one frame at a time in `window` until the script ends,
// exits or the window goes, then tears everything down. Returns the quit code.
int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline);

// The same with libraries of the caller's making, created where the runner creates its own
// (after the prelude), so tests can watch the order of the cycle.
using LibraryFactory = std::function<std::vector<std::shared_ptr<Library>>()>;
int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline, const LibraryFactory& makeLibraries);

} // namespace KoPlayhost
