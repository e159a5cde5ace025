#include "input/Getters.h"

#include "input/Platform.h"

#include <SDL.h>

namespace KoInput {

KeyboardGetter::KeyboardGetter(int32_t code) : code_(code) {
    attachPlatform();
}

int32_t KeyboardGetter::getValue() {
    return isKeyDown(code_) ? 1 : 0;
}

MouseButtonGetter::MouseButtonGetter(int32_t code) : code_(code) {
    attachPlatform();
}

int32_t MouseButtonGetter::getValue() {
    return isButtonDown(code_) ? 1 : 0;
}

MouseCursorGetter::MouseCursorGetter(int32_t axis, WindowHandle window)
    : axis_(axis), client_(window != nullptr), windowId_(windowIdOf(window)) {}

int32_t MouseCursorGetter::getValue() {
    if (axis_ != 0 && axis_ != 1) return -1;
    int32_t x = 0, y = 0;
    const bool ok = client_ ? clientCursor(windowId_, x, y) : screenCursor(x, y);
    if (!ok) return -1;
    return axis_ == 0 ? x : y;
}

MouseWheelGetter::MouseWheelGetter(int32_t mode) : mode_(mode) {
    attachPlatform();
    retainWheel();
    lastSeen_ = wheelCounter();
}

MouseWheelGetter::~MouseWheelGetter() {
    releaseWheel();
}

int32_t MouseWheelGetter::getValue() {
    const int32_t counter = wheelCounter();
    const auto d =
        static_cast<int32_t>(static_cast<uint32_t>(lastSeen_) - static_cast<uint32_t>(counter));
    lastSeen_ = counter;
    switch (mode_) {
    case 0:
        return d;
    case 1:
        return d <= 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(d)) : 0;
    case 2:
        return d >= 0 ? d : 0;
    default:
        return 0;
    }
}

JoystickButtonGetter::Thresholds JoystickButtonGetter::thresholdsOf(uint32_t xmin, uint32_t xmax,
                                                                    uint32_t ymin, uint32_t ymax) {
    Thresholds t;
    t.left = (2 * xmin + xmax) / 3;
    t.right = (xmin + 2 * xmax) / 3;
    t.up = (2 * ymin + ymax) / 3;
    t.down = (ymin + 2 * ymax) / 3;
    return t;
}

JoystickButtonGetter::JoystickButtonGetter(uint32_t id, uint32_t index) : id_(id), index_(index) {
    // SDL's axes run from -32768 to 32767; shifted by 32768 they are 0 to 65535.
    thresholds_ = thresholdsOf(0, 65535, 0, 65535);
    if (!SDL_WasInit(SDL_INIT_JOYSTICK) && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        valid_ = false;
        return;
    }
    if (id_ >= static_cast<uint32_t>(SDL_NumJoysticks())) {
        valid_ = false;
        return;
    }
    joystick_ = SDL_JoystickOpen(static_cast<int>(id_));
    if (!joystick_) valid_ = false;
}

JoystickButtonGetter::~JoystickButtonGetter() {
    // SDL closes every joystick when its subsystem quits; after that the handle is stale.
    if (joystick_ && SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickClose(joystick_);
}

void JoystickButtonGetter::invalidate() {
    valid_ = false;
    if (joystick_ && SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
}

int32_t JoystickButtonGetter::getValue() {
    if (!valid_) return 0;
    if (!SDL_WasInit(SDL_INIT_JOYSTICK) || !SDL_JoystickGetAttached(joystick_)) {
        invalidate();
        return 0;
    }
    auto axis = [&](int n) {
        return static_cast<uint32_t>(static_cast<int32_t>(SDL_JoystickGetAxis(joystick_, n)) +
                                     32768);
    };
    switch (index_) {
    case 0:
        return axis(0) < thresholds_.left ? 1 : 0;
    case 1:
        return axis(1) < thresholds_.up ? 1 : 0;
    case 2:
        return axis(0) > thresholds_.right ? 1 : 0;
    case 3:
        return axis(1) > thresholds_.down ? 1 : 0;
    default:
        if (index_ > 15) return 0;
        return SDL_JoystickGetButton(joystick_, static_cast<int>(index_ - 4)) ? 1 : 0;
    }
}

} // namespace KoInput
