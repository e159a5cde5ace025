#pragma once
// Getters with a value the test sets, and SDL events pushed the way SDL itself queues them.
#include "input/IInput.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace KoInputTest {

class FakeGetter final : public KoInput::IGetter {
public:
    explicit FakeGetter(int32_t v = 0) : value(v) {}
    int32_t getValue() override {
        ++reads;
        return value;
    }
    int32_t value;
    int reads = 0;
};

class AddEffect final : public KoInput::IEffect {
public:
    explicit AddEffect(int32_t n) : n_(n) {}
    int32_t apply(int32_t value) override { return value + n_; }

private:
    int32_t n_;
};

inline void push(const SDL_Event& e) {
    SDL_Event copy = e;
    SDL_PushEvent(&copy);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

inline void key(SDL_Scancode scancode, bool down, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = scancode;
    push(e);
}

inline void button(uint8_t which, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = which;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    push(e);
}

inline void wheel(int32_t y, bool flipped = false) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    e.wheel.preciseY = float(y);
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    push(e);
}

inline void focus(uint32_t windowId, bool gained) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    e.window.windowID = windowId;
    push(e);
}

// SDL's event queue (and joysticks) for the whole test program; no video.
class SdlEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS | SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    }
    void TearDown() override { SDL_Quit(); }
};

} // namespace KoInputTest

namespace KoInputTest {
inline std::string utf8(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? char(c) : '?';
    return out;
}
} // namespace KoInputTest
