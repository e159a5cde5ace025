#pragma once
// The output side: an engine makes buffers, each one playing instance of one sound data.
#include "sound/SoundData.h"

#include <memory>

namespace KoSound {

// Speeds a buffer accepts (frequency ratios).
inline constexpr float kMinBufferSpeed = 1.0f / 1024.0f;
inline constexpr float kMaxBufferSpeed = 2.0f;

// One playing instance. Every operation is safe against the engine's own thread.
class IBuffer {
public:
    virtual ~IBuffer() = default;
    virtual bool play(uint32_t startFrame) = 0;
    // loopCount: 0 plays forever, n plays n more passes from loopStartFrame after the first.
    virtual bool loop(uint32_t startFrame, int32_t loopCount, uint32_t loopStartFrame) = 0;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool restart() = 0; // resumes after pause
    // Playing from play/loop until stop, release or the end of the data; paused still counts.
    virtual bool isPlaying() = 0;
    virtual bool isPaused() = 0;
    virtual SoundFormat getFormat() = 0;
    virtual bool setVolume(float v) = 0; // 0 … 1
    virtual float getVolume() = 0;
    virtual bool setSpeed(float r) = 0; // kMinBufferSpeed … kMaxBufferSpeed
    virtual float getSpeed() = 0;
    virtual bool setPosition(uint32_t frame) = 0;
    // The frame being heard (frames of the data).
    virtual uint32_t getPosition() = 0;
    virtual uint32_t getLength() = 0;
};
using BufferPtr = std::shared_ptr<IBuffer>;

class IEngine {
public:
    virtual ~IEngine() = default;
    // Empty on failure (no data, a format the output cannot take, the engine shut down).
    virtual BufferPtr createBuffer(const SoundDataPtr& soundData) = 0;
    // Stops and releases every buffer and the output; later buffers are not made.
    virtual void shutdown() = 0;
};
using EnginePtr = std::shared_ptr<IEngine>;

} // namespace KoSound
