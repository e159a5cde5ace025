#pragma once
// Window messages. The rest of the system handles window input as Windows-style messages, so the
// pump turns SDL events into these numbers with the usual wParam/lParam packing.
#include <cstdint>

union SDL_Event;

namespace KoFrame {

// Lifecycle and window state.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;     // lParam: client x (low word), y (high word), signed
constexpr uint32_t WM_SIZE = 0x0005;     // wParam: SIZE_*; lParam: client width, height
constexpr uint32_t WM_ACTIVATE = 0x0006; // wParam: WA_ACTIVE or WA_INACTIVE
constexpr uint32_t WM_SETFOCUS = 0x0007;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;       // never dispatched: pumpMessages() returns false
constexpr uint32_t WM_SHOWWINDOW = 0x0018; // wParam: 1 shown, 0 hidden
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;

// Keyboard. wParam: virtual-key code (VK_*); lParam: repeat count (bits 0-15), hardware scan code
// (16-23), extended key (24), Alt held (29), key was down before (30), key is being released (31).
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102; // wParam: one UTF-16 code unit; lParam as the key message
constexpr uint32_t WM_SYSKEYDOWN = 0x0104; // key pressed while Alt is held (or F10)
constexpr uint32_t WM_SYSKEYUP = 0x0105;

// Mouse. wParam: MK_* flags (wheel: flags in the low word, delta in the high word);
// lParam: client x (low word), y (high word), signed 16-bit; the wheel messages use screen
// coordinates.
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;  // positive delta: rotated away from the user
constexpr uint32_t WM_XBUTTONDOWN = 0x020B; // high word of wParam: XBUTTON1 or XBUTTON2
constexpr uint32_t WM_XBUTTONUP = 0x020C;
constexpr uint32_t WM_MOUSEHWHEEL = 0x020E; // positive delta: tilted to the right
constexpr uint32_t WM_MOUSELEAVE = 0x02A3;

// Our own messages, in the application range.
constexpr uint32_t WM_APP = 0x8000;
// Another instance asked this one to show its window and bring it to the front. Unhandled, the
// window restores, shows and raises itself.
constexpr uint32_t WM_KO_RAISEREQUEST = WM_APP + 1;
// An SDL event with no window message of its own (joystick, controller, drop, display, audio
// device ...). wParam: the SDL event type; the event itself through currentSdlEvent().
constexpr uint32_t WM_KO_SDLEVENT = WM_APP + 2;

// Parameter values.
constexpr uint32_t SIZE_RESTORED = 0;
constexpr uint32_t SIZE_MINIMIZED = 1;
constexpr uint32_t SIZE_MAXIMIZED = 2;
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;
constexpr uint32_t MK_LBUTTON = 0x0001;
constexpr uint32_t MK_RBUTTON = 0x0002;
constexpr uint32_t MK_SHIFT = 0x0004;
constexpr uint32_t MK_CONTROL = 0x0008;
constexpr uint32_t MK_MBUTTON = 0x0010;
constexpr uint32_t MK_XBUTTON1 = 0x0020;
constexpr uint32_t MK_XBUTTON2 = 0x0040;
constexpr uint32_t XBUTTON1 = 0x0001;
constexpr uint32_t XBUTTON2 = 0x0002;
constexpr int32_t WHEEL_DELTA = 120;

// Virtual-key codes (the ones without a letter or digit of their own: letters are 'A'..'Z',
// digits '0'..'9').
constexpr uint32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                   VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14,
                   VK_KANA = 0x15, VK_KANJI = 0x19, VK_ESCAPE = 0x1B, VK_CONVERT = 0x1C,
                   VK_NONCONVERT = 0x1D, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
                   VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
                   VK_DOWN = 0x28, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
                   VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60,
                   VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E,
                   VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F24 = 0x87, VK_NUMLOCK = 0x90,
                   VK_SCROLL = 0x91, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE,
                   VK_VOLUME_UP = 0xAF, VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1,
                   VK_MEDIA_STOP = 0xB2, VK_MEDIA_PLAY_PAUSE = 0xB3, VK_OEM_1 = 0xBA,
                   VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
                   VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB,
                   VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2;

// Packing helpers.
constexpr uint32_t loWord(uint32_t v) {
    return v & 0xFFFFu;
}
constexpr uint32_t hiWord(uint32_t v) {
    return (v >> 16) & 0xFFFFu;
}
constexpr int32_t makeLParam(int32_t lo, int32_t hi) {
    return static_cast<int32_t>((static_cast<uint32_t>(lo) & 0xFFFFu) |
                                ((static_cast<uint32_t>(hi) & 0xFFFFu) << 16));
}
constexpr uint32_t makeWParam(uint32_t lo, uint32_t hi) {
    return (lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16);
}
// Signed coordinates of a mouse message.
constexpr int32_t xFromLParam(int32_t lParam) {
    return static_cast<int16_t>(static_cast<uint32_t>(lParam) & 0xFFFFu);
}
constexpr int32_t yFromLParam(int32_t lParam) {
    return static_cast<int16_t>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFFu);
}
// Signed delta of a wheel message, in WHEEL_DELTA units per notch.
constexpr int32_t wheelDeltaFromWParam(uint32_t wParam) {
    return static_cast<int16_t>(hiWord(wParam));
}

// The SDL event being dispatched right now, for handlers that need more than the message carries
// (key scancodes, the whole text of a text-input event, joystick events); null outside the pump
// and for messages that did not come from an event (close(), posted requests). Include <SDL.h>
// in the handler's source file to read it.
const SDL_Event* currentSdlEvent();

// Virtual-key code of an SDL scancode (SDL_Scancode value), 0 if it has none. Left and right
// modifiers give the common code (VK_SHIFT, VK_CONTROL, VK_MENU), as key messages carry them.
uint32_t virtualKeyOfScancode(int scancode);

} // namespace KoFrame
