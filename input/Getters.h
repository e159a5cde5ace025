#pragma once
// The getters: one physical reading each.
#include "input/IInput.h"

struct _SDL_Joystick;

namespace KoInput {

// 1 while the key of a virtual-key code is down; code -1 reads 0.
class KeyboardGetter final : public IGetter {
public:
    explicit KeyboardGetter(int32_t code);
    int32_t getValue() override;

private:
    int32_t code_;
};

// 1 while the mouse button of a virtual-key code (0x01, 0x02, 0x04, 0x05, 0x06) is down.
class MouseButtonGetter final : public IGetter {
public:
    explicit MouseButtonGetter(int32_t code);
    int32_t getValue() override;

private:
    int32_t code_;
};

// Cursor x (axis 0) or y (axis 1); in client coordinates of the window, or in screen
// coordinates when made without one. -1 when it cannot be read or for another axis.
class MouseCursorGetter final : public IGetter {
public:
    MouseCursorGetter(int32_t axis, WindowHandle window);
    MouseCursorGetter(int32_t axis, WindowId window)
        : axis_(axis), client_(true), windowId_(window.value) {}
    int32_t getValue() override;

private:
    int32_t axis_;
    bool client_;
    uint32_t windowId_;
};

// Wheel notches since the last reading: mode 0 signed (negative away from the user), 1 the
// net notches away, 2 the net notches towards; another mode 0. Each getter counts on its own.
class MouseWheelGetter final : public IGetter {
public:
    explicit MouseWheelGetter(int32_t mode);
    ~MouseWheelGetter() override;
    MouseWheelGetter(const MouseWheelGetter&) = delete;
    MouseWheelGetter& operator=(const MouseWheelGetter&) = delete;
    int32_t getValue() override;

private:
    int32_t mode_;
    int32_t lastSeen_;
};

// A direction (index 0 left, 1 up, 2 right, 3 down) or a button (4 to 15: buttons 1 to 12)
// of joystick `id` (SDL's device index). Axes read 0 to 65535; a direction is on beyond the
// outer thirds. A joystick missing when the getter is made, or unplugged later, reads 0 for
// the rest of the getter's life.
class JoystickButtonGetter final : public IGetter {
public:
    struct Thresholds {
        uint32_t up, down, left, right;
    };
    // The thirds of the axis ranges, in unsigned arithmetic with truncating division.
    static Thresholds thresholdsOf(uint32_t xmin, uint32_t xmax, uint32_t ymin, uint32_t ymax);

    JoystickButtonGetter(uint32_t id, uint32_t index);
    ~JoystickButtonGetter() override;
    JoystickButtonGetter(const JoystickButtonGetter&) = delete;
    JoystickButtonGetter& operator=(const JoystickButtonGetter&) = delete;
    int32_t getValue() override;
    bool isValid() const { return valid_; }

private:
    void invalidate();

    uint32_t id_;
    bool valid_ = true;
    uint32_t index_;
    Thresholds thresholds_{};
    _SDL_Joystick* joystick_ = nullptr;
};

} // namespace KoInput
