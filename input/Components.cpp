#include "input/Components.h"

#include <algorithm>

namespace KoInput::Core {

bool AbstractComponent::addGetter(std::shared_ptr<IGetter> getter) {
    if (!getter) return false;
    getters_.push_back(std::move(getter));
    return true;
}

bool AbstractComponent::removeGetter(const std::shared_ptr<IGetter>& getter) {
    if (!getter) return false;
    auto it = std::find(getters_.begin(), getters_.end(), getter);
    if (it != getters_.end()) getters_.erase(it);
    return true;
}

bool AbstractComponent::removeGetterAt(int32_t index) {
    if (index < 0 || index >= getterCount()) return false;
    getters_.erase(getters_.begin() + index);
    return true;
}

bool AbstractComponent::clearGetters() {
    getters_.clear();
    return true;
}

int32_t AbstractComponent::compute() {
    // Wrapping sum: the readings are small, but a script effect may not be.
    uint32_t sum = 0;
    for (const auto& g : getters_) sum += static_cast<uint32_t>(g->getValue());
    int32_t value = static_cast<int32_t>(sum);
    if (effect_) value = effect_->apply(value);
    return combine(enabled_, value);
}

bool AbstractComponent::setEffect(std::shared_ptr<IEffect> effect) {
    effect_ = std::move(effect);
    return true;
}

int32_t FixedComponent::combine(int32_t enabled, int32_t value) {
    if (!enabled) return held_;
    held_ = value;
    return value;
}

int32_t VolatileComponent::combine(int32_t enabled, int32_t value) {
    return enabled ? value : held_;
}

} // namespace KoInput::Core
