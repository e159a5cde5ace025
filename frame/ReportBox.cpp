#include "frame/ReportBox.h"

#include "io/Utf.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace KoFrame {

void showErrorReport(IWindow* owner, const std::u16string& text) {
    if (std::getenv("KOFRAME_TEST_QUIT_ANSWER")) {
        std::fprintf(stderr, "koframe: error report box shown (%zu characters)\n", text.size());
        return;
    }
    SDL_Window* handle = owner && !owner->isDestroyed() ? owner->getHandle() : nullptr;
    std::string utf8 = KoIO::toUtf8(text);
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "スクリプトエラー", utf8.c_str(), handle) !=
        0)
        std::fprintf(stderr, "koframe: cannot show the error report (%s)\n", SDL_GetError());
}

} // namespace KoFrame
