#pragma once
// Videos that play into a texture drawn like any image, with their sound sent to whatever
// output the caller provides. Nothing here names the decoder underneath.
#include "graphics/Context.h"
#include "graphics/IEngine.h"
#include "graphics/IImage.h"
#include "io/IStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace KoGraphics {

// One video's sound track on its way out: 16-bit interleaved PCM pushed from the decoding
// thread, transport from the frame thread.
class IVideoSound {
public:
    virtual ~IVideoSound() = default;
    virtual void push(const int16_t* samples, uint32_t frames, double time) = 0;
    virtual void endOfData() = 0;
    // Drops what is queued and not yet played (before a seek).
    virtual void flush() = 0;
    virtual double queuedSeconds() = 0;
    virtual bool start() = 0; // from the first queued sample
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool stop() = 0;
    virtual bool setGain(float linear) = 0;
    // Media time of the sample being heard; NaN when nothing is heard or it is not known.
    virtual double heardTime() = 0;
};

class IVideoSoundOutput {
public:
    virtual ~IVideoSoundOutput() = default;
    // Empty when there is no output (no sound engine): the video then plays silent.
    virtual std::shared_ptr<IVideoSound> open(uint32_t channels, uint32_t rate) = 0;
};

// A playing video: an image for the canvas and a per-frame callback of the graphics context.
class IVideo : public IImage, public ICallback {
public:
    virtual bool play() = 0;
    virtual bool loop() = 0;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool restart() = 0;
    virtual bool isPlaying() = 0;
    virtual bool isLooped() = 0;
    virtual bool isPaused() = 0;
    virtual bool setVolume(float volume) = 0; // 0 … 1
    virtual float getVolume() = 0;
    // Hundredths of a decibel, 0 (full) down to -10000.
    virtual int32_t getVolumeLevel() = 0;
    virtual bool setCursor(float seconds) = 0;
    virtual float getCursor() = 0;
    virtual float getLength() = 0;
};

struct VideoOptions {
    std::shared_ptr<IVideoSoundOutput> sound; // may be empty
    // Seconds of a steady clock; tests pass their own.
    std::function<double()> clock;
    // Called with (picture time − heard time) whenever a picture is shown while sound is heard.
    std::function<void(double)> offsetProbe;
};

// Opens the file through the process-wide file manager (so archives work like folders). Empty
// when the file is missing, damaged or holds no picture that decodes.
std::shared_ptr<IVideo> openVideo(IEngine& engine, const std::u16string& path,
                                  VideoOptions options = {});
std::shared_ptr<IVideo> openVideo(IEngine& engine, std::shared_ptr<KoIO::IInputStream> in,
                                  const std::string& nameHint, VideoOptions options = {});

} // namespace KoGraphics
