#include "frame/QuitConfirmation.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace KoFrame {

namespace {

constexpr const char* kTestAnswerVariable = "KOFRAME_TEST_QUIT_ANSWER";

// Test seam, read here and nowhere else: lets tests answer the confirmation without a person.
// Not a user option; it is not documented for users.
std::optional<bool> testAnswer() {
    const char* value = std::getenv(kTestAnswerVariable);
    if (!value) return std::nullopt;
    static std::string lastValue;
    static size_t asked = 0;
    if (lastValue != value) { // a new list starts again from its first answer
        lastValue = value;
        asked = 0;
    }
    std::vector<std::string> answers;
    std::string item;
    for (const char* p = value;; ++p) {
        if (*p == ',' || *p == '\0') {
            answers.push_back(item);
            item.clear();
            if (*p == '\0') break;
        } else {
            item += *p;
        }
    }
    const std::string& answer = answers[std::min(asked, answers.size() - 1)];
    ++asked;
    const bool yes = answer == "yes";
    std::fprintf(stderr, "koframe: quit confirmation answered %s by %s\n", yes ? "yes" : "no",
                 kTestAnswerVariable);
    return yes;
}

bool askUser(WindowHandle owner) {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "はい"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "いいえ"},
    };
    const SDL_MessageBoxData data = {
        SDL_MESSAGEBOX_INFORMATION | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
        owner,
        "確認",
        "終了してもよろしいですか？",
        SDL_arraysize(buttons),
        buttons,
        nullptr,
    };
    int button = -1;
    if (SDL_ShowMessageBox(&data, &button) != 0) {
        // Without a box the close box would never work: take the request as meant.
        std::fprintf(stderr, "koframe: cannot show the quit confirmation (%s); closing\n",
                     SDL_GetError());
        return true;
    }
    return button == 1;
}

} // namespace

EventResult confirmQuit(IComponent* component) {
    auto* window = dynamic_cast<IWindow*>(component);
    if (!window || window->isDestroyed()) return EventResult::handled();
    const std::optional<bool> seam = testAnswer();
    const bool yes = seam ? *seam : askUser(window->getHandle());
    if (yes) window->destroy();
    return EventResult::handled();
}

} // namespace KoFrame
