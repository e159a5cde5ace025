#pragma once
#include "sound/Engine.h"

#include <functional>
#include <mutex>
#include <vector>

namespace KoSound {

// Silent output for machines without a sound device: buffers decode nothing and advance their
// position by the clock, so sounds end (and loops wrap) when they would have been heard.
class NullEngine final : public IEngine {
public:
    using Clock = std::function<double()>; // seconds, never decreasing
    NullEngine();
    explicit NullEngine(Clock clock) : clock_(std::move(clock)) {}
    BufferPtr createBuffer(const SoundDataPtr& soundData) override;
    void shutdown() override;

private:
    Clock clock_;
    std::mutex mutex_;
    bool down_ = false;
    std::vector<std::weak_ptr<IBuffer>> buffers_;
};

} // namespace KoSound
