#include "sound/StreamSoundData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace KoSound {

namespace {
constexpr size_t kMaxSegments = 256;
const double kNoTime = std::numeric_limits<double>::quiet_NaN();
} // namespace

StreamSoundData::StreamSoundData(uint32_t channels, uint32_t rate, double maxQueuedSeconds)
    : channels_(std::max<uint32_t>(channels, 1)), rate_(std::max<uint32_t>(rate, 1)),
      maxQueued_(size_t(maxQueuedSeconds * rate_) * channels_) {}

void StreamSoundData::push(const int16_t* samples, uint32_t frames, double time) {
    if (!samples || frames == 0) return;
    std::lock_guard lock(mutex_);
    Chunk c;
    c.samples.assign(samples, samples + size_t(frames) * channels_);
    c.time = time;
    queued_ += c.samples.size();
    queue_.push_back(std::move(c));
    while (queued_ > maxQueued_ && queue_.size() > 1) {
        queued_ -= queue_.front().samples.size() - queue_.front().offset;
        queue_.pop_front();
    }
}

void StreamSoundData::endOfData() {
    std::lock_guard lock(mutex_);
    ended_ = true;
}

void StreamSoundData::flush() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    queued_ = 0;
    ended_ = false;
}

double StreamSoundData::queuedSeconds() {
    std::lock_guard lock(mutex_);
    return double(queued_) / channels_ / rate_;
}

SoundFormat StreamSoundData::getFormat() {
    return {channels_, rate_, 16};
}

bool StreamSoundData::seek(uint32_t frame) {
    std::lock_guard lock(mutex_);
    position_ = frame;
    segments_.clear();
    return true;
}

uint32_t StreamSoundData::tell() {
    std::lock_guard lock(mutex_);
    return position_;
}

void StreamSoundData::note(uint32_t frame, double time) {
    if (!segments_.empty()) {
        const Segment& last = segments_.back();
        // A run that continues the previous one needs no entry of its own.
        if (std::isnan(time) && std::isnan(last.time)) return;
        if (!std::isnan(time) && !std::isnan(last.time) &&
            std::abs(last.time + double(frame - last.frame) / rate_ - time) < 0.5 / rate_)
            return;
    }
    segments_.push_back({frame, time});
    if (segments_.size() > kMaxSegments) segments_.pop_front();
}

uint32_t StreamSoundData::read(void* destination, uint32_t byteCount) {
    std::lock_guard lock(mutex_);
    const uint32_t frameBytes = channels_ * 2;
    uint32_t frames = byteCount / frameBytes;
    if (frames == 0 || (ended_ && queue_.empty())) return 0;
    auto* out = static_cast<int16_t*>(destination);
    uint32_t done = 0;
    while (done < frames && !queue_.empty()) {
        Chunk& c = queue_.front();
        size_t left = (c.samples.size() - c.offset) / channels_;
        uint32_t n = uint32_t(std::min<size_t>(left, frames - done));
        note(position_ + done, c.time + double(c.offset / channels_) / rate_);
        std::memcpy(out + size_t(done) * channels_, c.samples.data() + c.offset,
                    size_t(n) * frameBytes);
        c.offset += size_t(n) * channels_;
        queued_ -= size_t(n) * channels_;
        done += n;
        if (c.offset >= c.samples.size()) queue_.pop_front();
    }
    if (done < frames && !ended_) {
        note(position_ + done, kNoTime);
        std::memset(out + size_t(done) * channels_, 0, size_t(frames - done) * frameBytes);
        done = frames;
    }
    position_ += done;
    return done * frameBytes;
}

double StreamSoundData::timeAt(uint32_t frame) {
    std::lock_guard lock(mutex_);
    for (auto it = segments_.rbegin(); it != segments_.rend(); ++it) {
        if (it->frame > frame) continue;
        if (std::isnan(it->time)) return kNoTime;
        return it->time + double(frame - it->frame) / rate_;
    }
    return kNoTime;
}

} // namespace KoSound
