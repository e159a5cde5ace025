#pragma once
// Fades and delayed stops, stepped once per frame of the frame cycle.
#include <cstdint>
#include <memory>
#include <vector>

namespace KoSound {

class ICallback {
public:
    virtual ~ICallback() = default;
    virtual bool isFinished() = 0;
    virtual void step() = 0;
};
using CallbackPtr = std::shared_ptr<ICallback>;

// Over `frames` steps the volume takes frames + 1 values from start to end (the last equal to
// end); one more step sets end again and finishes. A target that stops playing jumps to end.
template <class T>
class FadeCallback final : public ICallback {
public:
    FadeCallback(T target, uint32_t frames, float from, float to)
        : target_(std::move(target)), total_(frames), start_(from), end_(to) {}
    bool isFinished() override { return finished_; }
    void step() override {
        if (finished_) return;
        if (target_->isPlaying() && counter_ <= total_) {
            // Over 0 frames the first step leaves the volume as it is.
            if (total_ > 0)
                target_->setVolume(start_ + (end_ - start_) * (float(counter_) / float(total_)));
            ++counter_;
        } else {
            target_->setVolume(end_);
            finished_ = true;
        }
    }

private:
    T target_;
    bool finished_ = false;
    uint32_t counter_ = 0;
    uint32_t total_;
    float start_;
    float end_;
};

// Stops the target after `frames` steps (or at once when it no longer plays).
template <class T>
class StopCallback final : public ICallback {
public:
    StopCallback(T target, uint32_t frames) : target_(std::move(target)), total_(frames) {}
    bool isFinished() override { return finished_; }
    void step() override {
        if (finished_) return;
        if (target_->isPlaying() && counter_ < total_) {
            ++counter_;
        } else {
            target_->stop();
            finished_ = true;
        }
    }

private:
    T target_;
    bool finished_ = false;
    uint32_t counter_ = 0;
    uint32_t total_;
};

// The running fades and stops, in the order they were made.
class CallbackList {
public:
    void add(CallbackPtr c) {
        if (c) list_.push_back(std::move(c));
    }
    // Removes the callbacks that finished earlier and steps the others.
    void update() {
        std::erase_if(list_, [](auto& c) { return c->isFinished(); });
        // A step may stop a sound whose destructor drops nothing here, but copy the handles so
        // a callback added during a step is not walked in this pass.
        auto now = list_;
        for (auto& c : now) c->step();
    }
    void clear() { list_.clear(); }
    size_t size() const { return list_.size(); }

    template <class T>
    bool fade(const T& target, uint32_t frames, float from, float to) {
        if (!target) return false;
        add(std::make_shared<FadeCallback<T>>(target, frames, from, to));
        return true;
    }
    template <class T>
    bool fade(const T& target, uint32_t frames, float to) {
        return target && fade(target, frames, target->getVolume(), to);
    }
    template <class T>
    bool fadeOut(const T& target, uint32_t frames) {
        if (!fade(target, frames, 0.0f)) return false;
        add(std::make_shared<StopCallback<T>>(target, frames));
        return true;
    }

private:
    std::vector<CallbackPtr> list_;
};

} // namespace KoSound
