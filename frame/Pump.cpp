// The message pump: SDL events become window messages for the window they belong to.
#include "KeyMap.h"
#include "Monitor.h"
#include "io/Utf.h"
#include "Window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace KoFrame {

namespace {

std::shared_ptr<IWindow> g_current;
MessageRecord g_last;
bool g_quitPosted = false;
int32_t g_quitCode = 0;
const SDL_Event* g_event = nullptr;
// Button and modifier state as of the event being dispatched (SDL's own state is already that
// of the last queued event).
uint32_t g_buttons = 0; // SDL_BUTTON masks
uint16_t g_mods = 0;    // SDL_Keymod

class EventScope {
public:
    explicit EventScope(const SDL_Event* e) : saved_(g_event) { g_event = e; }
    ~EventScope() { g_event = saved_; }
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

private:
    const SDL_Event* saved_;
};

void send(IWindow& window, uint32_t message, uint32_t wParam, int32_t lParam) {
    WindowHandle handle = window.getHandle();
    if (!handle) return;
    g_last = {handle, message, wParam, lParam};
    window.windowProc(handle, message, wParam, lParam);
}

// The window an event names, kept alive while it is dispatched; events without a window go to
// the current one.
std::shared_ptr<IWindow> target(uint32_t windowId) {
    if (windowId == 0) return g_current;
    Core::Window* w = Core::Window::fromWindowId(windowId);
    if (!w) return {};
    if (auto shared = w->weak_from_this().lock()) return shared;
    // Not owned by a shared reference (made on the stack): borrow it for this dispatch.
    return std::shared_ptr<IWindow>(std::shared_ptr<IWindow>{}, w);
}

uint32_t mouseKeys() {
    uint32_t mk = 0;
    if (g_buttons & SDL_BUTTON_LMASK) mk |= MK_LBUTTON;
    if (g_buttons & SDL_BUTTON_RMASK) mk |= MK_RBUTTON;
    if (g_buttons & SDL_BUTTON_MMASK) mk |= MK_MBUTTON;
    if (g_buttons & SDL_BUTTON_X1MASK) mk |= MK_XBUTTON1;
    if (g_buttons & SDL_BUTTON_X2MASK) mk |= MK_XBUTTON2;
    if (g_mods & KMOD_SHIFT) mk |= MK_SHIFT;
    if (g_mods & KMOD_CTRL) mk |= MK_CONTROL;
    return mk;
}

void sendSize(IWindow& window, uint32_t kind) {
    int32_t lParam = 0;
    if (kind != SIZE_MINIMIZED) lParam = makeLParam(window.getWidth(), window.getHeight());
    send(window, WM_SIZE, kind, lParam);
}

void windowEvent(IWindow& w, const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
        send(w, WM_SHOWWINDOW, 1, 0);
        break;
    case SDL_WINDOWEVENT_HIDDEN:
        send(w, WM_SHOWWINDOW, 0, 0);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        send(w, WM_PAINT, 0, 0);
        break;
    case SDL_WINDOWEVENT_MOVED:
        send(w, WM_MOVE, 0, makeLParam(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        send(w, WM_SIZE,
             (SDL_GetWindowFlags(w.getHandle()) & SDL_WINDOW_MAXIMIZED) ? SIZE_MAXIMIZED
                                                                        : SIZE_RESTORED,
             makeLParam(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        sendSize(w, SIZE_MINIMIZED);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        sendSize(w, SIZE_MAXIMIZED);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        sendSize(w, SIZE_RESTORED);
        break;
    case SDL_WINDOWEVENT_LEAVE:
        send(w, WM_MOUSELEAVE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        send(w, WM_ACTIVATEAPP, 1, 0);
        send(w, WM_ACTIVATE, WA_ACTIVE, 0);
        send(w, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        send(w, WM_ACTIVATE, WA_INACTIVE, 0);
        send(w, WM_ACTIVATEAPP, 0, 0);
        send(w, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        send(w, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_ENTER:
        break; // the motion that follows says where
    default:
        send(w, WM_KO_SDLEVENT, SDL_WINDOWEVENT, 0);
        break;
    }
}

// The character a key gives where SDL sends no text (control characters), as translation of
// key messages does.
uint32_t controlCharacter(const SDL_Keysym& key) {
    switch (key.scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
        return 0x0D;
    case SDL_SCANCODE_BACKSPACE:
        return 0x08;
    case SDL_SCANCODE_TAB:
        return 0x09;
    case SDL_SCANCODE_ESCAPE:
        return 0x1B;
    default:
        break;
    }
    if ((key.mod & KMOD_CTRL) && !(key.mod & KMOD_ALT) && key.scancode >= SDL_SCANCODE_A &&
        key.scancode <= SDL_SCANCODE_Z)
        return static_cast<uint32_t>(key.scancode - SDL_SCANCODE_A + 1);
    return 0;
}

void keyEvent(IWindow& w, const SDL_KeyboardEvent& e) {
    g_mods = e.keysym.mod;
    const bool down = e.type == SDL_KEYDOWN;
    const KeyInfo key = keyInfoOfScancode(e.keysym.scancode);
    const bool altKey =
        e.keysym.scancode == SDL_SCANCODE_LALT || e.keysym.scancode == SDL_SCANCODE_RALT;
    const bool alt = (e.keysym.mod & KMOD_ALT) != 0 || altKey;
    // Alt combinations (AltGr is Ctrl+Alt and types normally) and F10 are system keys.
    const bool sys = (alt && !(e.keysym.mod & KMOD_CTRL)) || key.vk == VK_F1 + 9;
    uint32_t bits = 1u | (key.scan & 0xFFu) << 16;
    if (key.extended) bits |= 1u << 24;
    if (alt) bits |= 1u << 29;
    if (!down || e.repeat) bits |= 1u << 30;
    if (!down) bits |= 1u << 31;
    const auto lParam = static_cast<int32_t>(bits);
    uint32_t message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    send(w, message, key.vk, lParam);
    if (down && !sys) {
        if (uint32_t c = controlCharacter(e.keysym)) send(w, WM_CHAR, c, lParam);
    }
}

void textEvent(IWindow& w, const SDL_TextInputEvent& e) {
    for (char16_t unit : KoIO::fromUtf8(e.text)) send(w, WM_CHAR, unit, 1);
}

void buttonEvent(IWindow& w, const SDL_MouseButtonEvent& e) {
    const bool down = e.type == SDL_MOUSEBUTTONDOWN;
    const uint32_t mask = SDL_BUTTON(e.button);
    if (down)
        g_buttons |= mask;
    else
        g_buttons &= ~mask;
    uint32_t message = 0, high = 0;
    switch (e.button) {
    case SDL_BUTTON_LEFT:
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    case SDL_BUTTON_X1:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP, high = XBUTTON1;
        break;
    case SDL_BUTTON_X2:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP, high = XBUTTON2;
        break;
    default:
        break;
    }
    if (message) send(w, message, makeWParam(mouseKeys(), high), makeLParam(e.x, e.y));
}

int32_t wheelDelta(float precise, int32_t notches, bool flipped) {
    double d = precise != 0.0f ? std::lround(precise * WHEEL_DELTA)
                               : static_cast<double>(notches) * WHEEL_DELTA;
    if (flipped) d = -d;
    return static_cast<int32_t>(std::clamp(d, -32768.0, 32767.0));
}

void wheelEvent(IWindow& w, const SDL_MouseWheelEvent& e) {
    const bool flipped = e.direction == SDL_MOUSEWHEEL_FLIPPED;
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(w.getHandle(), &wx, &wy);
    const int32_t lParam = makeLParam(wx + e.mouseX, wy + e.mouseY);
    const int32_t dy = wheelDelta(e.preciseY, e.y, flipped);
    const int32_t dx = wheelDelta(e.preciseX, e.x, flipped);
    if (dy != 0) send(w, WM_MOUSEWHEEL, makeWParam(mouseKeys(), static_cast<uint32_t>(dy)), lParam);
    if (dx != 0)
        send(w, WM_MOUSEHWHEEL, makeWParam(mouseKeys(), static_cast<uint32_t>(dx)), lParam);
}

void dispatch(const SDL_Event& e) {
    EventScope scope(&e);
    switch (e.type) {
    case SDL_WINDOWEVENT:
        if (auto w = target(e.window.windowID)) windowEvent(*w, e.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (auto w = target(e.key.windowID)) keyEvent(*w, e.key);
        break;
    case SDL_TEXTINPUT:
        if (auto w = target(e.text.windowID)) textEvent(*w, e.text);
        break;
    case SDL_MOUSEMOTION:
        g_buttons = e.motion.state;
        if (auto w = target(e.motion.windowID))
            send(*w, WM_MOUSEMOVE, mouseKeys(), makeLParam(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (auto w = target(e.button.windowID)) buttonEvent(*w, e.button);
        break;
    case SDL_MOUSEWHEEL:
        if (auto w = target(e.wheel.windowID)) wheelEvent(*w, e.wheel);
        break;
    case SDL_POLLSENTINEL:
        break;
    default:
        if (g_current) send(*g_current, WM_KO_SDLEVENT, e.type, 0);
        break;
    }
}

bool endWithQuit(int32_t code) {
    g_quitPosted = false;
    g_last = {nullptr, WM_QUIT, static_cast<uint32_t>(code), 0};
    return false;
}

} // namespace

const SDL_Event* currentSdlEvent() {
    return g_event;
}

std::shared_ptr<IWindow> currentWindow() {
    return g_current;
}
void setCurrentWindow(std::shared_ptr<IWindow> window) {
    g_current = std::move(window);
}
WindowHandle currentWindowHandle() {
    return g_current ? g_current->getHandle() : nullptr;
}

const MessageRecord& lastMessage() {
    return g_last;
}
void clearLastMessage() {
    g_last = {};
}

void postQuitMessage(int32_t code) {
    g_quitPosted = true;
    g_quitCode = code;
}

bool pumpMessages() {
    const std::shared_ptr<IWindow> window = g_current;
    if (!window) return false;
    if (window->isDestroyed()) postQuitMessage(0);

    if (Detail::pollRaiseRequests() > 0 && !window->isDestroyed()) {
        EventScope none(nullptr);
        send(*window, WM_KO_RAISEREQUEST, 0, 0);
    }

    if (SDL_WasInit(SDL_INIT_EVENTS)) {
        // Pump once and drain what is queued, so a stream of events cannot hold the loop.
        SDL_PumpEvents();
        SDL_Event e;
        while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
            if (e.type == SDL_QUIT) return endWithQuit(g_quitPosted ? g_quitCode : 0);
            dispatch(e);
        }
    }
    if (g_quitPosted) return endWithQuit(g_quitCode);
    return true;
}

} // namespace KoFrame
