#pragma once
// Demuxing and decoding of one video file on a worker thread: frames as BGRA rows in a small
// queue, sound as 16-bit PCM handed to a sink. The only header of the video code that knows
// a decoder runs underneath; FFmpeg itself stays inside Decoder.cpp.
#include "io/IStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace KoGraphics::Video {

struct Frame {
    double time = 0;             // seconds from the start of the file
    std::vector<uint8_t> pixels; // width x height BGRA, rows top first, pitch width x 4
};
using FramePtr = std::unique_ptr<Frame>;

// Where the sound track goes. Called on the worker thread (and on the caller's during seek).
struct AudioSink {
    std::function<void(const int16_t* samples, uint32_t frames, double time)> push;
    std::function<void()> end;      // the track has ended
    std::function<double()> queued; // seconds pushed but not yet played
};

struct StreamInfo {
    uint16_t width = 0, height = 0;
    double length = 0;        // seconds
    double frameDuration = 0; // seconds
    bool hasAudio = false;
    uint32_t audioChannels = 0; // 1 or 2 after down-mixing
    uint32_t audioRate = 0;
};

class Decoder {
public:
    // Empty when the stream is not a container with a video track it can decode. `name` only hints
    // the container type. The stream must not be used elsewhere.
    static std::unique_ptr<Decoder> open(std::shared_ptr<KoIO::IInputStream> in,
                                         const std::string& name);
    virtual ~Decoder() = default;
    virtual const StreamInfo& info() const = 0;
    // Before start: where the sound goes (nothing is decoded for it without a sink).
    virtual void setAudioSink(AudioSink sink) = 0;
    // Stops the worker, moves to `seconds` (frames before it are skipped), decodes the first
    // frame there and starts the worker again. False when the stream cannot seek.
    virtual bool seek(double seconds) = 0;
    // After the sink is set: decodes up to the first picture (false when none decodes: a damaged
    // or truncated file) and starts decoding ahead on the worker.
    virtual bool start() = 0;
    // The newest queued frame whose time has come (older ones are dropped); null if none.
    virtual FramePtr take(double time) = 0;
    // The first queued frame, whatever its time (to show where a seek landed).
    virtual FramePtr takeFirst() = 0;
    // Hands a frame's buffer back for reuse.
    virtual void recycle(FramePtr frame) = 0;
    // The worker has decoded everything and no frame is left in the queue.
    virtual bool finished() = 0;
    // End time of the last frame decoded so far.
    virtual double lastFrameEnd() = 0;
};

} // namespace KoGraphics::Video
