#include "input/Controller.h"

#include "input/Platform.h"

namespace KoInput::Core {

Controller::Controller(WindowHandle window) : Controller(WindowId{windowIdOf(window)}) {}

Controller::Controller(WindowId window) : windowId_(window.value) {
    attachPlatform();
}

bool Controller::setComponent(int32_t key, std::shared_ptr<IComponent> component) {
    if (!component) return false;
    components_[key] = std::move(component);
    history_[key] = {0, 0};
    return true;
}

bool Controller::removeComponent(int32_t key) {
    components_.erase(key);
    history_.erase(key);
    return true;
}

bool Controller::update() {
    const bool active = isActiveWindow(windowId_);
    for (auto& [key, component] : components_) {
        if (active)
            component->enable();
        else
            component->disable();
    }
    // Both maps hold the same keys in the same order: walk them together.
    auto c = components_.begin();
    for (auto& [key, h] : history_) {
        h[0] = h[1];
        h[1] = c->second->compute();
        ++c;
    }
    return true;
}

const std::array<int32_t, 2>* Controller::history(int32_t key) const {
    auto it = history_.find(key);
    return it == history_.end() ? nullptr : &it->second;
}

bool Controller::isPushed(int32_t key) {
    const auto* h = history(key);
    return h && (*h)[0] == 0 && (*h)[1] != 0;
}

bool Controller::isPressed(int32_t key) {
    const auto* h = history(key);
    return h && (*h)[1] != 0;
}

bool Controller::isReleased(int32_t key) {
    const auto* h = history(key);
    return h && (*h)[0] != 0 && (*h)[1] == 0;
}

int32_t Controller::getInput(int32_t key) {
    const auto* h = history(key);
    return h ? (*h)[1] : 0;
}

bool Controller::setEffect(int32_t key, std::shared_ptr<IEffect> effect) {
    auto component = getComponent(key);
    return component && component->setEffect(std::move(effect));
}

std::shared_ptr<IEffect> Controller::getEffect(int32_t key) {
    auto component = getComponent(key);
    return component ? component->getEffect() : nullptr;
}

std::vector<int32_t> Controller::getKeys() {
    std::vector<int32_t> keys;
    keys.reserve(components_.size());
    for (const auto& [key, component] : components_) keys.push_back(key);
    return keys;
}

std::shared_ptr<IComponent> Controller::getComponent(int32_t key) {
    auto it = components_.find(key);
    return it == components_.end() ? nullptr : it->second;
}

} // namespace KoInput::Core
