#pragma once
#include "frame/IWindow.h"
#include "host/Setup.h"

#include <memory>
#include <string>
#include <vector>

namespace KoPlayhost {

// Brings the VM up, runs start.nut one frame at a time in `window` until the script ends,
// exits or the window goes, then tears everything down. Returns the quit code.
int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline);

} // namespace KoPlayhost
