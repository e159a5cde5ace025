#pragma once
// The program's one top-level window, its handler lists and the message pump.
#include "frame/Messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SDL_Window;

namespace KoFrame {

using WindowHandle = SDL_Window*;

// Result of a handler. Unhandled passes the message on (the next handler, finally the default
// processing); Handled stops there and `value` is the result of the message.
struct EventResult {
    enum Disposition : int32_t { Unhandled = 1, Handled = 2 };
    int32_t value = 0;
    Disposition disposition = Unhandled;

    static EventResult unhandled() { return {0, Unhandled}; }
    static EventResult handled(int32_t v = 0) { return {v, Handled}; }
    bool isHandled() const { return disposition == Handled; }
};

class IComponent {
public:
    virtual ~IComponent() = default;
    virtual EventResult processMessage(WindowHandle window, uint32_t message, uint32_t wParam,
                                       int32_t lParam) = 0;
};

// Destroy and close handlers get the window; message handlers also get the message.
using WindowHandler = std::function<EventResult(IComponent* window)>;
using MessageHandler = std::function<EventResult(
    IComponent* window, WindowHandle handle, uint32_t message, uint32_t wParam, int32_t lParam)>;
// The shared reference is also the handle that removes the handler again.
using SharedWindowHandler = std::shared_ptr<WindowHandler>;
using SharedMessageHandler = std::shared_ptr<MessageHandler>;

class IWindow : public IComponent {
public:
    // Sends a close request now (WM_CLOSE through the handlers and the default processing).
    virtual void close() = 0;
    // Destroys the SDL window now: WM_DESTROY through the handlers, then the window goes.
    // Nothing when it is destroyed already.
    virtual void destroy() = 0;
    virtual bool isDestroyed() = 0;
    virtual bool setVisible(bool visible) = 0;
    virtual bool isVisible() = 0;
    virtual bool setTitle(const std::u16string& title) = 0;
    // The caption, cut to 255 UTF-16 units.
    virtual std::u16string getTitle() = 0;
    // Position and size of the outer window (frame included); getWidth/getHeight give the client
    // area.
    virtual bool setPosition(int32_t x, int32_t y) = 0;
    virtual bool setX(int32_t x) = 0;
    virtual int32_t getX() = 0;
    virtual bool setY(int32_t y) = 0;
    virtual int32_t getY() = 0;
    virtual bool setSize(uint16_t width, uint16_t height) = 0;
    virtual int32_t getWidth() = 0;
    virtual int32_t getHeight() = 0;
    // The SDL window (created with SDL_WINDOW_OPENGL); null once destroyed.
    virtual WindowHandle getHandle() = 0;
    // An attached component sees every message before the handlers.
    virtual bool setComponent(std::shared_ptr<IComponent> component) = 0;
    virtual std::shared_ptr<IComponent> getComponent() = 0;

    // Handlers run newest first. Adding a null shared handler adds nothing and returns null;
    // removing an unknown handle does nothing. Handlers may add or remove handlers while running.
    // Destroy handlers run while the SDL window still exists: drop anything made on it (a GL
    // context) there.
    virtual SharedWindowHandler addDestroyHandler(SharedWindowHandler handler) = 0;
    virtual SharedWindowHandler addDestroyHandler(WindowHandler handler) = 0;
    virtual void removeDestroyHandler(const SharedWindowHandler& handle) = 0;
    virtual SharedWindowHandler addCloseHandler(SharedWindowHandler handler) = 0;
    virtual SharedWindowHandler addCloseHandler(WindowHandler handler) = 0;
    virtual void removeCloseHandler(const SharedWindowHandler& handle) = 0;
    virtual SharedMessageHandler addMessageHandler(SharedMessageHandler handler) = 0;
    virtual SharedMessageHandler addMessageHandler(MessageHandler handler) = 0;
    virtual void removeMessageHandler(const SharedMessageHandler& handle) = 0;

    // Creates the SDL window: client size width x height centred on the primary display, not
    // resizable. False if the window exists already or cannot be made.
    virtual bool create(const std::u16string& title, uint16_t width, uint16_t height,
                        bool visible = true) = 0;
    // The message through the handlers, then the default processing when nobody handled it.
    virtual int32_t windowProc(WindowHandle window, uint32_t message, uint32_t wParam,
                               int32_t lParam) = 0;
};

// A created window, or empty if it could not be made.
std::shared_ptr<IWindow> createWindow(const std::u16string& title, uint16_t width, uint16_t height,
                                      bool visible = true);

// The application's current window: the one the pump serves (set by the frame cycle for the
// duration of a run).
std::shared_ptr<IWindow> currentWindow();
void setCurrentWindow(std::shared_ptr<IWindow> window);
WindowHandle currentWindowHandle();

// The last message the pump read. After the quit message: message WM_QUIT, wParam the quit code.
struct MessageRecord {
    WindowHandle window = nullptr;
    uint32_t message = WM_NULL;
    uint32_t wParam = 0;
    int32_t lParam = 0;
};
const MessageRecord& lastMessage();
void clearLastMessage();

// Asks the pump to end: the next pumpMessages() dispatches what is already queued and returns
// false, leaving `code` in lastMessage().wParam.
void postQuitMessage(int32_t code);

// Dispatches every waiting event to its window and answers requests from other instances (see
// IMonitor.h). False when there is no current window or the quit message arrived (posted, the
// current window was destroyed, or SDL_QUIT: an interrupt or terminate signal); true otherwise.
// Never blocks.
bool pumpMessages();

} // namespace KoFrame
