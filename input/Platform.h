#pragma once
// What the getters read, kept from SDL's events. SDL's own keyboard state does not follow
// events pushed into the queue, and a key message alone cannot tell the two Enters or the two
// Shifts apart, so the key and button state is our own, built by an event watch as events
// enter the queue. Readings are taken when a controller updates.
#include "input/IInput.h"

namespace KoInput {

// The virtual-key code an SDL scancode drives, 0 for none. Punctuation keys carry the codes
// of the Japanese layout by position (the key right of L is the semicolon key 0xBB, the one
// after it the colon key 0xBA, right of P the at-sign key 0xC0 ...); the keypad Enter has
// the separator code 0x6C of its own, so it never reads as the main Enter.
int32_t keyCodeOfScancode(int scancode);

// Installs the event watch (again, after SDL dropped it with its event loop) and takes over
// the keys, buttons and focus SDL knows at this moment. Every getter calls it when made.
void attachPlatform();

// Down now, by virtual-key code (out-of-range codes read up).
bool isKeyDown(int32_t code);
// Mouse buttons by their virtual-key codes 0x01 left, 0x02 right, 0x04 middle, 0x05 and 0x06
// the extra buttons.
bool isButtonDown(int32_t code);
// Windows are kept by SDL's window id, which stays safe to look up after the window is gone
// (the handle would dangle). 0 for a null handle.
uint32_t windowIdOf(WindowHandle window);
// The cursor in screen coordinates; false when it cannot be read.
bool screenCursor(int32_t& x, int32_t& y);
// The cursor in client coordinates of the window (outside it these run negative or past the
// size); false when the window is gone or the cursor cannot be read.
bool clientCursor(uint32_t windowId, int32_t& x, int32_t& y);
// True when the window has the focus; window 0 when no window of the program has it.
bool isActiveWindow(uint32_t windowId);

// The wheel's notch counter counts (away from the user +1, towards -1, every whole notch)
// only while at least one wheel getter lives; the last one gone resets it to 0.
void retainWheel();
void releaseWheel();
int32_t wheelCounter();

// Mouse cursor display.
void showCursor(bool show);
bool isCursorShown();
// Moves the cursor to client coordinates of the window; nothing when it is gone. The cursor
// reads at its new place at once, until SDL reports the pointer or settleCursor() is called.
void warpCursor(uint32_t windowId, int32_t x, int32_t y);
// Reads the cursor from SDL again (at the start of a frame, after the pump has brought the
// warp's motion).
void settleCursor();
// The size of the window's client area; false when it is gone.
bool clientSize(uint32_t windowId, int32_t& width, int32_t& height);

// Input for tests, queued through SDL as real input is (no display needed).
namespace Testing {
// Forgets every key, button, focus and wheel notch (tests start from a clean state).
void resetState();
// Starts SDL's event queue and joysticks; false if SDL cannot.
bool startEvents();
// A key by SDL's scancode name ("A", "Left Shift", "Keypad Enter", "Return"); false for an
// unknown name.
bool pushKey(const char* scancodeName, bool down);
// SDL button numbers: 1 left, 2 middle, 3 right, 4 and 5 the extra buttons.
void pushButton(int button, bool down);
// Whole notches, positive away from the user.
void pushWheel(int notches);
void pushFocus(uint32_t windowId, bool gained);
// SDL's virtual joystick (2 axes, 12 buttons) at the next device index; -1 if SDL cannot.
int attachJoystick();
// Axes 0 to 65535; buttons 0 to 11 (button 1 is 0).
void moveJoystick(int index, int x, int y);
void pressJoystick(int index, int button, bool down);
void detachJoystick(int index);
} // namespace Testing

} // namespace KoInput
