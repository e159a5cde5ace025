#include "input/Platform.h"

#include <SDL.h>

#include <array>

namespace KoInput {

namespace {

struct KeyEntry {
    SDL_Scancode scancode;
    uint8_t code;
};

// Every key of the name table has a key of a PC keyboard here (Japanese keys included).
constexpr KeyEntry kKeys[] = {
    {SDL_SCANCODE_BACKSPACE, 0x08},
    {SDL_SCANCODE_TAB, 0x09},
    {SDL_SCANCODE_RETURN, 0x0D},
    {SDL_SCANCODE_RETURN2, 0x0D},
    {SDL_SCANCODE_PAUSE, 0x13},
    {SDL_SCANCODE_CAPSLOCK, 0x14},
    {SDL_SCANCODE_ESCAPE, 0x1B},
    {SDL_SCANCODE_SPACE, 0x20},
    {SDL_SCANCODE_LSHIFT, 0xA0},
    {SDL_SCANCODE_RSHIFT, 0xA1},
    {SDL_SCANCODE_LCTRL, 0xA2},
    {SDL_SCANCODE_RCTRL, 0xA3},
    {SDL_SCANCODE_LALT, 0xA4},
    {SDL_SCANCODE_RALT, 0xA5},
    {SDL_SCANCODE_LGUI, 0x5B},
    {SDL_SCANCODE_RGUI, 0x5C},
    {SDL_SCANCODE_APPLICATION, 0x5D},
    {SDL_SCANCODE_PAGEUP, 0x21},
    {SDL_SCANCODE_PAGEDOWN, 0x22},
    {SDL_SCANCODE_END, 0x23},
    {SDL_SCANCODE_HOME, 0x24},
    {SDL_SCANCODE_LEFT, 0x25},
    {SDL_SCANCODE_UP, 0x26},
    {SDL_SCANCODE_RIGHT, 0x27},
    {SDL_SCANCODE_DOWN, 0x28},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C},
    {SDL_SCANCODE_INSERT, 0x2D},
    {SDL_SCANCODE_DELETE, 0x2E},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90},
    {SDL_SCANCODE_SCROLLLOCK, 0x91},
    {SDL_SCANCODE_KP_0, 0x60},
    {SDL_SCANCODE_KP_1, 0x61},
    {SDL_SCANCODE_KP_2, 0x62},
    {SDL_SCANCODE_KP_3, 0x63},
    {SDL_SCANCODE_KP_4, 0x64},
    {SDL_SCANCODE_KP_5, 0x65},
    {SDL_SCANCODE_KP_6, 0x66},
    {SDL_SCANCODE_KP_7, 0x67},
    {SDL_SCANCODE_KP_8, 0x68},
    {SDL_SCANCODE_KP_9, 0x69},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A},
    {SDL_SCANCODE_KP_PLUS, 0x6B},
    {SDL_SCANCODE_KP_ENTER, 0x6C},
    {SDL_SCANCODE_KP_MINUS, 0x6D},
    {SDL_SCANCODE_KP_PERIOD, 0x6E},
    {SDL_SCANCODE_KP_DIVIDE, 0x6F},
    // Japanese layout by position.
    {SDL_SCANCODE_APOSTROPHE, 0xBA},     // :
    {SDL_SCANCODE_SEMICOLON, 0xBB},      // ;
    {SDL_SCANCODE_COMMA, 0xBC},          // ,
    {SDL_SCANCODE_MINUS, 0xBD},          // -
    {SDL_SCANCODE_PERIOD, 0xBE},         // .
    {SDL_SCANCODE_SLASH, 0xBF},          // /
    {SDL_SCANCODE_LEFTBRACKET, 0xC0},    // @
    {SDL_SCANCODE_RIGHTBRACKET, 0xDB},   // [
    {SDL_SCANCODE_INTERNATIONAL3, 0xDC}, // yen
    {SDL_SCANCODE_BACKSLASH, 0xDD},      // ] (where ISO keyboards have #)
    {SDL_SCANCODE_NONUSHASH, 0xDD},
    {SDL_SCANCODE_EQUALS, 0xDE},         // ^
    {SDL_SCANCODE_INTERNATIONAL1, 0xE2}, // backslash (ro)
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2}, // the 102nd key of ISO keyboards
    {SDL_SCANCODE_GRAVE, 0xF3},          // hankaku/zenkaku
};

struct KeyCodes {
    std::array<uint8_t, SDL_NUM_SCANCODES> code{};
    KeyCodes() {
        for (const KeyEntry& e : kKeys) code[e.scancode] = e.code;
        for (int i = 0; i < 26; ++i) code[SDL_SCANCODE_A + i] = uint8_t('A' + i);
        for (int i = 0; i < 9; ++i) code[SDL_SCANCODE_1 + i] = uint8_t('1' + i);
        code[SDL_SCANCODE_0] = '0';
        for (int i = 0; i < 12; ++i) code[SDL_SCANCODE_F1 + i] = uint8_t(0x70 + i);
        for (int i = 0; i < 12; ++i) code[SDL_SCANCODE_F13 + i] = uint8_t(0x7C + i);
    }
};

const KeyCodes& keyCodes() {
    static const KeyCodes codes;
    return codes;
}

struct State {
    std::array<bool, SDL_NUM_SCANCODES> scanDown{};
    std::array<uint8_t, 256> codeDown{}; // scancodes down per code
    uint32_t buttons = 0;                // SDL_BUTTON masks
    uint32_t focus = 0;                  // SDL window id with the keyboard focus, 0 none
    uint32_t wheelUsers = 0;
    int32_t wheel = 0;
    // Where the last warp put the cursor (screen coordinates), until SDL reports the pointer.
    bool warped = false;
    int32_t warpX = 0, warpY = 0;
};

State g_state;

void setKey(int scancode, bool down) {
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return;
    if (g_state.scanDown[scancode] == down) return; // repeats
    g_state.scanDown[scancode] = down;
    const uint8_t code = keyCodes().code[scancode];
    if (!code) return;
    if (down)
        ++g_state.codeDown[code];
    else if (g_state.codeDown[code] > 0)
        --g_state.codeDown[code];
}

int watch(void*, SDL_Event* e) {
    switch (e->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        setKey(e->key.keysym.scancode, e->type == SDL_KEYDOWN);
        break;
    case SDL_MOUSEMOTION:
        g_state.warped = false;
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e->button.which != SDL_TOUCH_MOUSEID && e->button.button >= 1 && e->button.button <= 32)
            g_state.buttons |= SDL_BUTTON(e->button.button);
        break;
    case SDL_MOUSEBUTTONUP:
        if (e->button.button >= 1 && e->button.button <= 32)
            g_state.buttons &= ~SDL_BUTTON(e->button.button);
        break;
    case SDL_MOUSEWHEEL:
        if (g_state.wheelUsers > 0 && e->wheel.which != SDL_TOUCH_MOUSEID) {
            // Every whole notch counts, fast turns too.
            const int32_t y =
                e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e->wheel.y : e->wheel.y;
            g_state.wheel = static_cast<int32_t>(static_cast<uint32_t>(g_state.wheel) +
                                                 static_cast<uint32_t>(y));
        }
        break;
    case SDL_WINDOWEVENT:
        if (e->window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
            g_state.focus = e->window.windowID;
        else if (e->window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
                 g_state.focus == e->window.windowID)
            g_state.focus = 0;
        break;
    default:
        break;
    }
    return 1;
}

bool g_attached = false;

} // namespace

int32_t keyCodeOfScancode(int scancode) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return keyCodes().code[static_cast<size_t>(scancode)];
}

void attachPlatform() {
    // SDL forgets its watches when its event loop stops: delete and add keeps exactly one.
    SDL_DelEventWatch(watch, nullptr);
    SDL_AddEventWatch(watch, nullptr);
    if (g_attached) return;
    g_attached = true;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    // What happened before the watch: keys and buttons held, the focus.
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    for (int i = 0; keys && i < count && i < SDL_NUM_SCANCODES; ++i)
        if (keys[i]) setKey(i, true);
    g_state.buttons = SDL_GetMouseState(nullptr, nullptr);
    if (SDL_Window* focus = SDL_GetKeyboardFocus()) g_state.focus = SDL_GetWindowID(focus);
}

bool isKeyDown(int32_t code) {
    return code >= 0 && code < 256 && g_state.codeDown[static_cast<size_t>(code)] > 0;
}

bool isButtonDown(int32_t code) {
    uint32_t mask = 0;
    switch (code) {
    case 0x01:
        mask = SDL_BUTTON_LMASK;
        break;
    case 0x02:
        mask = SDL_BUTTON_RMASK;
        break;
    case 0x04:
        mask = SDL_BUTTON_MMASK;
        break;
    case 0x05:
        mask = SDL_BUTTON_X1MASK;
        break;
    case 0x06:
        mask = SDL_BUTTON_X2MASK;
        break;
    default:
        return false;
    }
    return (g_state.buttons & mask) != 0;
}

uint32_t windowIdOf(WindowHandle window) {
    return window && SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetWindowID(window) : 0;
}

bool screenCursor(int32_t& x, int32_t& y) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    if (g_state.warped) {
        x = g_state.warpX;
        y = g_state.warpY;
        return true;
    }
    int gx = 0, gy = 0;
    // Over one of our windows, SDL's position follows every motion event, pointer warps by
    // other programs included; its global position is only refreshed by device motion.
    if (SDL_Window* over = SDL_GetMouseFocus()) {
        int wx = 0, wy = 0;
        SDL_GetWindowPosition(over, &wx, &wy);
        SDL_GetMouseState(&gx, &gy);
        gx += wx;
        gy += wy;
    } else {
        SDL_GetGlobalMouseState(&gx, &gy);
    }
    x = gx;
    y = gy;
    return true;
}

bool clientCursor(uint32_t windowId, int32_t& x, int32_t& y) {
    SDL_Window* window = windowId ? SDL_GetWindowFromID(windowId) : nullptr;
    if (!window || !screenCursor(x, y)) return false;
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(window, &wx, &wy);
    x -= wx;
    y -= wy;
    return true;
}

bool isActiveWindow(uint32_t windowId) {
    return g_state.focus == windowId;
}

void retainWheel() {
    ++g_state.wheelUsers;
}

void releaseWheel() {
    if (g_state.wheelUsers > 0 && --g_state.wheelUsers == 0) g_state.wheel = 0;
}

int32_t wheelCounter() {
    return g_state.wheel;
}

void showCursor(bool show) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool isCursorShown() {
    return !SDL_WasInit(SDL_INIT_VIDEO) || SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

void warpCursor(uint32_t windowId, int32_t x, int32_t y) {
    SDL_Window* window = windowId ? SDL_GetWindowFromID(windowId) : nullptr;
    if (!window) return;
    SDL_WarpMouseInWindow(window, x, y);
    // SDL learns the new place only from the motion event the warp brings at the next pump;
    // until then the cursor reads where it was put, as it does at once on the platform.
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(window, &wx, &wy);
    g_state.warped = true;
    g_state.warpX = wx + x;
    g_state.warpY = wy + y;
}

void settleCursor() {
    g_state.warped = false;
}

bool clientSize(uint32_t windowId, int32_t& width, int32_t& height) {
    SDL_Window* window = windowId ? SDL_GetWindowFromID(windowId) : nullptr;
    if (!window) return false;
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    width = w;
    height = h;
    return true;
}

namespace Testing {
void resetState() {
    const uint32_t users = g_state.wheelUsers;
    g_state = State{};
    g_state.wheelUsers = users;
}

bool startEvents() {
    return SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_JOYSTICK) == 0;
}

namespace {
void queue(SDL_Event& e) {
    SDL_PushEvent(&e);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}
} // namespace

bool pushKey(const char* scancodeName, bool down) {
    const SDL_Scancode sc = SDL_GetScancodeFromName(scancodeName);
    if (sc == SDL_SCANCODE_UNKNOWN) return false;
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = sc;
    queue(e);
    return true;
}

void pushButton(int button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = static_cast<Uint8>(button);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    queue(e);
}

void pushWheel(int notches) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = notches;
    e.wheel.preciseY = static_cast<float>(notches);
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    queue(e);
}

void pushFocus(uint32_t windowId, bool gained) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    e.window.windowID = windowId;
    queue(e);
}

namespace {
std::array<SDL_Joystick*, 16> g_virtual{};
SDL_Joystick* virtualAt(int index) {
    return index >= 0 && index < int(g_virtual.size()) ? g_virtual[size_t(index)] : nullptr;
}
} // namespace

int attachJoystick() {
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
    if (index < 0 || index >= int(g_virtual.size())) return -1;
    g_virtual[size_t(index)] = SDL_JoystickOpen(index);
    return g_virtual[size_t(index)] ? index : -1;
}

void moveJoystick(int index, int x, int y) {
    if (SDL_Joystick* j = virtualAt(index)) {
        SDL_JoystickSetVirtualAxis(j, 0, Sint16(x - 32768));
        SDL_JoystickSetVirtualAxis(j, 1, Sint16(y - 32768));
        SDL_JoystickUpdate();
    }
}

void pressJoystick(int index, int button, bool down) {
    if (SDL_Joystick* j = virtualAt(index)) {
        SDL_JoystickSetVirtualButton(j, button, down ? 1 : 0);
        SDL_JoystickUpdate();
    }
}

void detachJoystick(int index) {
    if (SDL_Joystick* j = virtualAt(index)) {
        SDL_JoystickClose(j);
        g_virtual[size_t(index)] = nullptr;
        SDL_JoystickDetachVirtual(index);
        SDL_JoystickUpdate();
    }
}
} // namespace Testing

} // namespace KoInput
