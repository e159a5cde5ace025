#include "Window.h"

#include "io/Utf.h"

#include <SDL.h>

#include <algorithm>
#include <csignal>
#include <unordered_map>

namespace KoFrame {

namespace {

constexpr const char* kDataKey = "KoFrame::Window";
constexpr size_t kTitleLimit = 255;

// Live windows by SDL window id, so the pump can route events (the user-data slot of the
// window would also do, but a lookup by id also works after SDL dropped the window).
std::unordered_map<uint32_t, Core::Window*>& registry() {
    static std::unordered_map<uint32_t, Core::Window*> windows;
    return windows;
}

// SDL turns SIGINT and SIGTERM into a quit message for the next pump. A script stuck inside
// one frame never pumps, so a second signal ends the program at once (Ctrl+C twice).
struct sigaction g_sdlTerminate[2];
volatile std::sig_atomic_t g_terminateRequests = 0;

void onTerminateSignal(int sig) {
    const bool first = g_terminateRequests == 0;
    g_terminateRequests = 1;
    if (first) {
        const struct sigaction& sdl = g_sdlTerminate[sig == SIGINT ? 0 : 1];
        if (sdl.sa_handler != SIG_DFL && sdl.sa_handler != SIG_IGN) sdl.sa_handler(sig);
        // SDL's handler puts itself back in place; the next request must come here again.
        struct sigaction self {};
        self.sa_handler = onTerminateSignal;
        sigaction(sig, &self, nullptr);
        return;
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Once SDL has put its handlers in place (it leaves them out when told to).
void chainTerminateSignals() {
    static bool chained = false;
    if (chained) return;
    chained = true;
    const int signals[2] = {SIGINT, SIGTERM};
    for (int i = 0; i < 2; ++i) {
        sigaction(signals[i], nullptr, &g_sdlTerminate[i]);
        if (g_sdlTerminate[i].sa_handler == SIG_DFL || g_sdlTerminate[i].sa_handler == SIG_IGN ||
            (g_sdlTerminate[i].sa_flags & SA_SIGINFO))
            continue;
        struct sigaction self {};
        self.sa_handler = onTerminateSignal;
        sigaction(signals[i], &self, nullptr);
    }
}

template <typename List, typename Handler>
Handler addTo(List& list, Handler handler) {
    if (handler) list.push_back(handler);
    return handler;
}

template <typename List, typename Handler>
void removeFrom(List& list, const Handler& handle) {
    auto it = std::find(list.begin(), list.end(), handle);
    if (it != list.end()) list.erase(it);
}

// Newest first. Works on a copy so handlers may change the list; one removed meanwhile is
// skipped.
template <typename List, typename Call>
EventResult runNewestFirst(const List& list, Call call) {
    const List snapshot = list;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        if (std::find(list.begin(), list.end(), *it) == list.end()) continue;
        EventResult r = call(**it);
        if (r.isHandled()) return r;
    }
    return EventResult::unhandled();
}

} // namespace

namespace Core {

Window::Window() {
    addCloseHandler([](IComponent* self) {
        static_cast<Window*>(self)->destroy();
        return EventResult::handled();
    });
    addDestroyHandler([](IComponent* self) {
        static_cast<Window*>(self)->handle_ = nullptr;
        return EventResult::handled();
    });
}

Window::~Window() {
    destroy();
    component_.reset();
    if (videoHeld_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

Window* Window::fromWindowId(uint32_t id) {
    auto it = registry().find(id);
    return it == registry().end() ? nullptr : it->second;
}

bool Window::create(const std::u16string& title, uint16_t width, uint16_t height, bool visible) {
    if (handle_) return false;
    if (!videoHeld_) {
        // One window is the whole program: closing it must reach our close handlers, not turn
        // into SDL_QUIT.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        videoHeld_ = true;
        chainTerminateSignals();
    }
    const int w = std::max<int>(width, 1);
    const int h = std::max<int>(height, 1);
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    SDL_Rect display;
    if (SDL_GetDisplayBounds(0, &display) == 0) {
        x = display.x + display.w / 2 - w / 2;
        y = display.y + display.h / 2 - h / 2;
    }
    const Uint32 flags = SDL_WINDOW_OPENGL | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    SDL_Window* window = SDL_CreateWindow(KoIO::toUtf8(title).c_str(), x, y, w, h, flags);
    if (!window) return false;
    handle_ = window;
    windowId_ = SDL_GetWindowID(window);
    SDL_SetWindowData(window, kDataKey, this);
    registry()[windowId_] = this;
    return true;
}

void Window::destroy() {
    if (!handle_ || destroying_) return;
    destroying_ = true;
    SDL_Window* window = handle_;
    windowProc(window, WM_DESTROY, 0, 0);
    // Gone whatever the handlers answered: a stale handle would outlive the SDL window.
    registry().erase(windowId_);
    SDL_SetWindowData(window, kDataKey, nullptr);
    SDL_DestroyWindow(window);
    handle_ = nullptr;
    destroying_ = false;
}

EventResult Window::processMessage(WindowHandle window, uint32_t message, uint32_t wParam,
                                   int32_t lParam) {
    if (auto component = component_) {
        EventResult r = component->processMessage(window, message, wParam, lParam);
        if (r.isHandled()) return r;
    }
    EventResult r = runNewestFirst(messageHandlers_, [&](MessageHandler& h) {
        return h(this, window, message, wParam, lParam);
    });
    if (r.isHandled()) return r;
    if (message == WM_DESTROY)
        return runNewestFirst(destroyHandlers_, [&](WindowHandler& h) { return h(this); });
    if (message == WM_CLOSE)
        return runNewestFirst(closeHandlers_, [&](WindowHandler& h) { return h(this); });
    return EventResult::unhandled();
}

int32_t Window::windowProc(WindowHandle window, uint32_t message, uint32_t wParam, int32_t lParam) {
    EventResult r = processMessage(window, message, wParam, lParam);
    if (r.isHandled()) return r.value;
    // Default processing.
    switch (message) {
    case WM_CLOSE:
        destroy();
        break;
    case WM_KO_RAISEREQUEST:
        if (handle_) {
            SDL_ShowWindow(handle_);
            if (SDL_GetWindowFlags(handle_) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(handle_);
            SDL_RaiseWindow(handle_);
        }
        break;
    default:
        break;
    }
    return 0;
}

void Window::close() {
    if (handle_) windowProc(handle_, WM_CLOSE, 0, 0);
}

bool Window::setVisible(bool visible) {
    if (!handle_) return false;
    if (visible)
        SDL_ShowWindow(handle_);
    else
        SDL_HideWindow(handle_);
    return true;
}

bool Window::isVisible() {
    return handle_ && (SDL_GetWindowFlags(handle_) & SDL_WINDOW_SHOWN) != 0;
}

bool Window::setTitle(const std::u16string& title) {
    if (!handle_) return false;
    SDL_SetWindowTitle(handle_, KoIO::toUtf8(title).c_str());
    return true;
}

std::u16string Window::getTitle() {
    if (!handle_) return {};
    const char* title = SDL_GetWindowTitle(handle_);
    if (!title) return {};
    std::u16string text = KoIO::fromUtf8(title);
    if (text.size() > kTitleLimit) {
        size_t cut = kTitleLimit;
        // Never leave half a surrogate pair at the end.
        if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
        text.resize(cut);
    }
    return text;
}

void Window::borders(int& top, int& left, int& bottom, int& right) {
    top = left = bottom = right = 0;
    if (SDL_GetWindowBordersSize(handle_, &top, &left, &bottom, &right) != 0)
        top = left = bottom = right = 0;
}

bool Window::setPosition(int32_t x, int32_t y) {
    if (!handle_) return false;
    int top, left, bottom, right;
    borders(top, left, bottom, right);
    SDL_SetWindowPosition(handle_, x + left, y + top);
    return true;
}

int32_t Window::getX() {
    if (!handle_) return 0;
    int top, left, bottom, right, x, y;
    borders(top, left, bottom, right);
    SDL_GetWindowPosition(handle_, &x, &y);
    return x - left;
}

int32_t Window::getY() {
    if (!handle_) return 0;
    int top, left, bottom, right, x, y;
    borders(top, left, bottom, right);
    SDL_GetWindowPosition(handle_, &x, &y);
    return y - top;
}

bool Window::setSize(uint16_t width, uint16_t height) {
    if (!handle_) return false;
    int top, left, bottom, right;
    borders(top, left, bottom, right);
    SDL_SetWindowSize(handle_, std::max(1, width - left - right),
                      std::max(1, height - top - bottom));
    return true;
}

int32_t Window::getWidth() {
    if (!handle_) return 0;
    int w, h;
    SDL_GetWindowSize(handle_, &w, &h);
    return w;
}

int32_t Window::getHeight() {
    if (!handle_) return 0;
    int w, h;
    SDL_GetWindowSize(handle_, &w, &h);
    return h;
}

bool Window::setComponent(std::shared_ptr<IComponent> component) {
    component_ = std::move(component);
    return true;
}

SharedWindowHandler Window::addDestroyHandler(SharedWindowHandler handler) {
    return addTo(destroyHandlers_, std::move(handler));
}
SharedWindowHandler Window::addDestroyHandler(WindowHandler handler) {
    if (!handler) return {};
    return addDestroyHandler(std::make_shared<WindowHandler>(std::move(handler)));
}
void Window::removeDestroyHandler(const SharedWindowHandler& handle) {
    removeFrom(destroyHandlers_, handle);
}
SharedWindowHandler Window::addCloseHandler(SharedWindowHandler handler) {
    return addTo(closeHandlers_, std::move(handler));
}
SharedWindowHandler Window::addCloseHandler(WindowHandler handler) {
    if (!handler) return {};
    return addCloseHandler(std::make_shared<WindowHandler>(std::move(handler)));
}
void Window::removeCloseHandler(const SharedWindowHandler& handle) {
    removeFrom(closeHandlers_, handle);
}
SharedMessageHandler Window::addMessageHandler(SharedMessageHandler handler) {
    return addTo(messageHandlers_, std::move(handler));
}
SharedMessageHandler Window::addMessageHandler(MessageHandler handler) {
    if (!handler) return {};
    return addMessageHandler(std::make_shared<MessageHandler>(std::move(handler)));
}
void Window::removeMessageHandler(const SharedMessageHandler& handle) {
    removeFrom(messageHandlers_, handle);
}

} // namespace Core

std::shared_ptr<IWindow> createWindow(const std::u16string& title, uint16_t width, uint16_t height,
                                      bool visible) {
    auto window = std::make_shared<Core::Window>();
    if (!window->create(title, width, height, visible)) return {};
    return window;
}

} // namespace KoFrame
