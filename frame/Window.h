#pragma once
#include "frame/IWindow.h"

#include <vector>

namespace KoFrame::Core {

class Window final : public IWindow, public std::enable_shared_from_this<Window> {
public:
    // Registers the built-in close handler (destroys the window) and destroy handler.
    Window();
    // Destroys the SDL window if it still exists (WM_DESTROY runs first).
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    EventResult processMessage(WindowHandle window, uint32_t message, uint32_t wParam,
                               int32_t lParam) override;
    void close() override;
    bool isDestroyed() override { return handle_ == nullptr; }
    bool setVisible(bool visible) override;
    bool isVisible() override;
    bool setTitle(const std::u16string& title) override;
    std::u16string getTitle() override;
    bool setPosition(int32_t x, int32_t y) override;
    bool setX(int32_t x) override { return setPosition(x, getY()); }
    int32_t getX() override;
    bool setY(int32_t y) override { return setPosition(getX(), y); }
    int32_t getY() override;
    bool setSize(uint16_t width, uint16_t height) override;
    int32_t getWidth() override;
    int32_t getHeight() override;
    WindowHandle getHandle() override { return handle_; }
    bool setComponent(std::shared_ptr<IComponent> component) override;
    std::shared_ptr<IComponent> getComponent() override { return component_; }

    SharedWindowHandler addDestroyHandler(SharedWindowHandler handler) override;
    SharedWindowHandler addDestroyHandler(WindowHandler handler) override;
    void removeDestroyHandler(const SharedWindowHandler& handle) override;
    SharedWindowHandler addCloseHandler(SharedWindowHandler handler) override;
    SharedWindowHandler addCloseHandler(WindowHandler handler) override;
    void removeCloseHandler(const SharedWindowHandler& handle) override;
    SharedMessageHandler addMessageHandler(SharedMessageHandler handler) override;
    SharedMessageHandler addMessageHandler(MessageHandler handler) override;
    void removeMessageHandler(const SharedMessageHandler& handle) override;

    bool create(const std::u16string& title, uint16_t width, uint16_t height,
                bool visible = true) override;
    int32_t windowProc(WindowHandle window, uint32_t message, uint32_t wParam,
                       int32_t lParam) override;

    void destroy() override;
    // The live window object of an SDL window id, or null.
    static Window* fromWindowId(uint32_t id);

private:
    // Frame sizes of the window manager (0 without one).
    void borders(int& top, int& left, int& bottom, int& right);

    std::vector<SharedWindowHandler> destroyHandlers_;
    std::vector<SharedWindowHandler> closeHandlers_;
    std::vector<SharedMessageHandler> messageHandlers_;
    WindowHandle handle_ = nullptr;
    uint32_t windowId_ = 0;
    bool videoHeld_ = false;
    bool destroying_ = false;
    std::shared_ptr<IComponent> component_;
};

} // namespace KoFrame::Core
