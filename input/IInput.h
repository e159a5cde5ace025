#pragma once
// The controller model: getters read one physical source, components turn the readings of
// their getters into one value, a controller keeps the last two values of every key.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

struct SDL_Window;

namespace KoInput {

// The program's main window (client coordinates, the active-window test); null for none.
using WindowHandle = SDL_Window*;
// A window as SDL's id, safe to keep after the window is gone (a handle would dangle).
struct WindowId {
    uint32_t value = 0;
};

class IGetter {
public:
    virtual ~IGetter() = default;
    virtual int32_t getValue() = 0;
};

// An optional filter on a component's value. The system supplies none; it is only stored.
class IEffect {
public:
    virtual ~IEffect() = default;
    virtual int32_t apply(int32_t value) = 0;
};

class IComponent {
public:
    virtual ~IComponent() = default;
    virtual void enable() = 0;
    virtual void disable() = 0;
    // False for an empty getter.
    virtual bool addGetter(std::shared_ptr<IGetter> getter) = 0;
    // Removes the first entry that is the same object; false only for an empty argument.
    virtual bool removeGetter(const std::shared_ptr<IGetter>& getter) = 0;
    virtual bool removeGetterAt(int32_t index) = 0;
    virtual bool clearGetters() = 0;
    // Sum of the getters, through the effect, then combine(enabled, value).
    virtual int32_t compute() = 0;
    virtual bool setEffect(std::shared_ptr<IEffect> effect) = 0;
    virtual std::shared_ptr<IEffect> getEffect() = 0;
    virtual int32_t getterCount() = 0;
    virtual std::vector<std::shared_ptr<IGetter>> getters() = 0;
    virtual int32_t combine(int32_t enabled, int32_t value) = 0;
};

class IController {
public:
    virtual ~IController() = default;
    // False for an empty component; otherwise stored and the key's history reset to [0, 0].
    virtual bool setComponent(int32_t key, std::shared_ptr<IComponent> component) = 0;
    virtual bool removeComponent(int32_t key) = 0;
    // Enables or disables every component by the active-window test, then advances every
    // key's history by one reading.
    virtual bool update() = 0;
    virtual bool isPushed(int32_t key) = 0;
    virtual bool isPressed(int32_t key) = 0;
    virtual bool isReleased(int32_t key) = 0;
    virtual int32_t getInput(int32_t key) = 0;
    virtual bool setEffect(int32_t key, std::shared_ptr<IEffect> effect) = 0;
    virtual std::shared_ptr<IEffect> getEffect(int32_t key) = 0;
    virtual std::vector<int32_t> getKeys() = 0;
    virtual std::shared_ptr<IComponent> getComponent(int32_t key) = 0;
    virtual std::map<int32_t, std::shared_ptr<IComponent>> getComponents() = 0;
};

} // namespace KoInput
