#pragma once
#include "frame/IWindow.h"

namespace KoFrame {

// Close handler asking "終了してもよろしいですか？" (caption "確認", yes/no) in a message box
// owned by the window. Yes destroys the window. Always returns {0, Handled}, so the default close
// processing never runs. Register it with window->addCloseHandler(KoFrame::confirmQuit).
//
// Test seam: when the environment variable KOFRAME_TEST_QUIT_ANSWER is set, no box is shown and
// the answer is taken from it instead: a comma-separated list of "yes" / "no", one per request,
// the last one repeating. Each answer is reported on standard error.
EventResult confirmQuit(IComponent* window);

} // namespace KoFrame
