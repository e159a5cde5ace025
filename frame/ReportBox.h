#pragma once
#include "frame/IWindow.h"

#include <string>

namespace KoFrame {

// Shows `text` (a script's error report) in a message box owned by `owner` (may be null) and
// returns once the person closed it. Test seam: with KOFRAME_TEST_QUIT_ANSWER set no box is
// shown; a line on standard error says it would have been.
void showErrorReport(IWindow* owner, const std::u16string& text);

} // namespace KoFrame
