#include "sound/NullEngine.h"

#include <chrono>
#include <cmath>

namespace KoSound {

namespace {

class NullBuffer final : public IBuffer {
public:
    NullBuffer(SoundDataPtr data, NullEngine::Clock clock)
        : data_(std::move(data)), clock_(std::move(clock)), length_(data_->getLength()),
          rate_(data_->getFormat().samplesPerSecond) {}

    bool play(uint32_t start) override { return loop(start, 0, 0, false); }
    bool loop(uint32_t start, int32_t count, uint32_t loopStart) override {
        return loop(start, count, loopStart, true);
    }
    bool stop() override {
        std::lock_guard lock(mutex_);
        if (!data_) return false;
        playing_ = paused_ = false;
        return true;
    }
    bool pause() override {
        std::lock_guard lock(mutex_);
        advance();
        if (!playing_) return false;
        paused_ = true;
        return true;
    }
    bool restart() override {
        std::lock_guard lock(mutex_);
        advance();
        if (!paused_) return false;
        paused_ = false;
        return true;
    }
    bool isPlaying() override {
        std::lock_guard lock(mutex_);
        advance();
        return playing_;
    }
    bool isPaused() override {
        std::lock_guard lock(mutex_);
        advance();
        return paused_;
    }
    SoundFormat getFormat() override { return data_ ? data_->getFormat() : SoundFormat{}; }
    bool setVolume(float v) override {
        std::lock_guard lock(mutex_);
        if (!data_ || !(v >= 0.0f && v <= 1.0f)) return false;
        volume_ = v;
        return true;
    }
    float getVolume() override { return data_ ? volume_ : 0.0f; }
    bool setSpeed(float r) override {
        std::lock_guard lock(mutex_);
        if (!data_ || !(r >= kMinBufferSpeed && r <= kMaxBufferSpeed)) return false;
        advance(); // the time so far ran at the old speed
        speed_ = r;
        return true;
    }
    float getSpeed() override { return data_ ? speed_ : 0.0f; }
    bool setPosition(uint32_t frame) override {
        std::lock_guard lock(mutex_);
        if (!data_ || frame >= length_) return false;
        advance();
        position_ = frame;
        return true;
    }
    uint32_t getPosition() override {
        std::lock_guard lock(mutex_);
        advance();
        return uint32_t(position_);
    }
    uint32_t getLength() override { return data_ ? length_ : 0; }
    void release() {
        std::lock_guard lock(mutex_);
        playing_ = paused_ = false;
        data_.reset();
    }

private:
    bool loop(uint32_t start, int32_t count, uint32_t loopStart, bool looping) {
        std::lock_guard lock(mutex_);
        if (!data_) return false;
        playing_ = paused_ = false;
        if (start >= length_ || (looping && loopStart >= length_)) return false;
        position_ = start;
        loopStart_ = loopStart;
        loopCount_ = looping && count == 0 ? -1 : count;
        last_ = clock_();
        playing_ = true;
        return true;
    }

    // Moves the position by the time since the last look.
    void advance() {
        double now = clock_();
        double elapsed = now - last_;
        last_ = now;
        if (!playing_ || paused_ || elapsed <= 0) return;
        position_ += elapsed * rate_ * speed_;
        if (position_ < length_) return;
        double span = double(length_) - loopStart_;
        double over = position_ - length_;
        if (loopCount_ < 0) {
            position_ = loopStart_ + std::fmod(over, span);
            return;
        }
        double passes = std::floor(over / span); // whole extra passes beyond the first wrap
        if (loopCount_ > 0 && passes < loopCount_) {
            loopCount_ -= int32_t(passes) + 1;
            position_ = loopStart_ + (over - passes * span);
            return;
        }
        position_ = length_;
        playing_ = paused_ = false;
    }

    std::mutex mutex_;
    SoundDataPtr data_;
    NullEngine::Clock clock_;
    uint32_t length_;
    uint32_t rate_;
    double position_ = 0;
    double last_ = 0;
    uint32_t loopStart_ = 0;
    int32_t loopCount_ = 0;
    bool playing_ = false;
    bool paused_ = false;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
};

} // namespace

NullEngine::NullEngine()
    : clock_([] {
          using namespace std::chrono;
          return duration<double>(steady_clock::now().time_since_epoch()).count();
      }) {}

BufferPtr NullEngine::createBuffer(const SoundDataPtr& soundData) {
    std::lock_guard lock(mutex_);
    if (down_ || !soundData) return nullptr;
    auto format = soundData->getFormat();
    if (format.samplesPerSecond == 0 || format.channels == 0) return nullptr;
    if (buffers_.size() >= 32) std::erase_if(buffers_, [](auto& b) { return b.expired(); });
    auto buffer = std::make_shared<NullBuffer>(soundData, clock_);
    buffers_.push_back(buffer);
    return buffer;
}

void NullEngine::shutdown() {
    std::lock_guard lock(mutex_);
    down_ = true;
    for (auto& b : buffers_)
        if (auto buffer = b.lock()) static_cast<NullBuffer*>(buffer.get())->release();
    buffers_.clear();
}

} // namespace KoSound
