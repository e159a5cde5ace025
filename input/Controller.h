#pragma once
#include "input/IInput.h"

#include <array>

namespace KoInput::Core {

class Controller final : public IController {
public:
    // The window is the program's main window: the components read while it is active.
    explicit Controller(WindowHandle window);
    explicit Controller(WindowId window);

    bool setComponent(int32_t key, std::shared_ptr<IComponent> component) override;
    bool removeComponent(int32_t key) override;
    bool update() override;
    bool isPushed(int32_t key) override;
    bool isPressed(int32_t key) override;
    bool isReleased(int32_t key) override;
    int32_t getInput(int32_t key) override;
    bool setEffect(int32_t key, std::shared_ptr<IEffect> effect) override;
    std::shared_ptr<IEffect> getEffect(int32_t key) override;
    std::vector<int32_t> getKeys() override;
    std::shared_ptr<IComponent> getComponent(int32_t key) override;
    std::map<int32_t, std::shared_ptr<IComponent>> getComponents() override { return components_; }

private:
    // [previous, current]; null when the key has no component.
    const std::array<int32_t, 2>* history(int32_t key) const;

    uint32_t windowId_;
    std::map<int32_t, std::array<int32_t, 2>> history_;
    std::map<int32_t, std::shared_ptr<IComponent>> components_;
};

} // namespace KoInput::Core
