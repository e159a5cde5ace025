#pragma once
#include "input/IInput.h"

namespace KoInput::Core {

class AbstractComponent : public IComponent {
public:
    void enable() override { enabled_ = 1; }
    void disable() override { enabled_ = 0; }
    bool addGetter(std::shared_ptr<IGetter> getter) override;
    bool removeGetter(const std::shared_ptr<IGetter>& getter) override;
    bool removeGetterAt(int32_t index) override;
    bool clearGetters() override;
    int32_t compute() override;
    bool setEffect(std::shared_ptr<IEffect> effect) override;
    std::shared_ptr<IEffect> getEffect() override { return effect_; }
    int32_t getterCount() override { return static_cast<int32_t>(getters_.size()); }
    std::vector<std::shared_ptr<IGetter>> getters() override { return getters_; }

protected:
    explicit AbstractComponent(int32_t held) : held_(held) {}

    int32_t enabled_ = 1;
    std::shared_ptr<IEffect> effect_;
    std::vector<std::shared_ptr<IGetter>> getters_;
    int32_t held_;
};

// An axis: while disabled it keeps reading the last live value.
class FixedComponent final : public AbstractComponent {
public:
    FixedComponent() : AbstractComponent(0) {}
    int32_t combine(int32_t enabled, int32_t value) override;
};

// A button: while disabled it reads its default.
class VolatileComponent final : public AbstractComponent {
public:
    explicit VolatileComponent(int32_t defaultValue = 0) : AbstractComponent(defaultValue) {}
    int32_t combine(int32_t enabled, int32_t value) override;
};

} // namespace KoInput::Core
