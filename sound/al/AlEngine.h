#pragma once
// The engine on OpenAL Soft: one source per playing buffer, fed with queued blocks by one
// feeder thread for all buffers.
#include "sound/Engine.h"

#include <memory>

namespace KoSound::Al {

class AlEngine : public IEngine {
public:
    // On the default device, with the feeder thread running; empty when no device opens.
    static std::shared_ptr<AlEngine> create();
    // On a loopback device (stereo 32-bit float at `rate`) without a feeder thread: nothing
    // plays until render(), which feeds and mixes exactly, faster than real time.
    static std::shared_ptr<AlEngine> createLoopback(uint32_t rate);

    // Loopback only: mixes `frames` stereo frames into out (2 floats a frame).
    virtual bool render(float* out, uint32_t frames) = 0;
    // One pass of the feeder over every buffer (what the thread does on each wake-up).
    virtual void feed() = 0;
    // Number of buffers that still exist.
    virtual size_t bufferCount() = 0;
};

} // namespace KoSound::Al
