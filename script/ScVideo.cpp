#include "script/ScVideo.h"

#include "graphics/Context.h"
#include "graphics/video/Video.h"
#include "script/bind/Bind.h"
#include "script/bind/Text.h"
#include "sound/Context.h"
#include "sound/StreamSoundData.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace KoScript {
namespace {

using namespace KoGraphics;

const ClassTag videoTag{"Graphics.Video"};
constexpr std::u16string_view kVideoLoadFailed = u"動画ファイル '%s' の読み込みに失敗しました。";

std::weak_ptr<Context> graphicsContext;
std::shared_ptr<KoTimer::IClock> videoClock; // empty: real time

// A video's sound track as one buffer of the sound engine, fed while it plays.
class EngineSound final : public IVideoSound {
public:
    EngineSound(std::shared_ptr<KoSound::StreamSoundData> data, KoSound::BufferPtr buffer)
        : data_(std::move(data)), buffer_(std::move(buffer)) {}
    ~EngineSound() override { buffer_->stop(); }
    void push(const int16_t* samples, uint32_t frames, double time) override {
        data_->push(samples, frames, time);
    }
    void endOfData() override { data_->endOfData(); }
    void flush() override { data_->flush(); }
    double queuedSeconds() override { return data_->queuedSeconds(); }
    bool start() override { return buffer_->play(0); }
    bool pause() override { return buffer_->pause(); }
    bool resume() override { return buffer_->restart(); }
    bool stop() override { return buffer_->stop(); }
    bool setGain(float linear) override {
        return buffer_->setVolume(std::clamp(linear, 0.0f, 1.0f));
    }
    double heardTime() override {
        if (!buffer_->isPlaying() || buffer_->isPaused())
            return std::numeric_limits<double>::quiet_NaN();
        return data_->timeAt(buffer_->getPosition());
    }

private:
    std::shared_ptr<KoSound::StreamSoundData> data_;
    KoSound::BufferPtr buffer_;
};

// Asks for the engine when a video opens: the Audio library loads after Graphics, and a game
// without it plays its videos silent.
class EngineSoundOutput final : public IVideoSoundOutput {
public:
    std::shared_ptr<IVideoSound> open(uint32_t channels, uint32_t rate) override {
        auto context = KoSound::Context::current();
        if (!context || !context->getEngine()) return nullptr;
        auto data = std::make_shared<KoSound::StreamSoundData>(channels, rate);
        auto buffer = context->getEngine()->createBuffer(data);
        if (!buffer) return nullptr;
        return std::make_shared<EngineSound>(std::move(data), std::move(buffer));
    }
};

SQInteger answer(HSQUIRRELVM v, bool b) {
    push(v, b);
    return 1;
}

std::shared_ptr<IVideo> selfVideo(HSQUIRRELVM v) {
    return getInstance<IVideo>(v, 1, videoTag);
}

SQInteger videoCtor(HSQUIRRELVM v) {
    if (argCount(v) != 1 || sq_gettype(v, 2) != OT_STRING) return throwWrongParams(v);
    String path = *getString(v, 2);
    auto context = graphicsContext.lock();
    std::shared_ptr<IVideo> video;
    if (context) {
        VideoOptions options;
        options.sound = createEngineSoundOutput();
        if (videoClock) options.clock = KoTimer::secondsOf(videoClock);
        video = openVideo(*context->getEngine(), path, std::move(options));
    }
    if (!video) return throwScriptError(v, format(kVideoLoadFailed, {path}));
    context->addWeakCallback(video);
    setInstance<IVideo>(v, 1, std::move(video));
    return 0;
}

template <bool (IVideo::*Op)()>
SQInteger videoCall(HSQUIRRELVM v) {
    auto video = selfVideo(v);
    if (!video || argCount(v) != 0) return throwWrongParams(v);
    return answer(v, ((*video).*Op)());
}

template <float (IVideo::*Op)()>
SQInteger videoGet(HSQUIRRELVM v) {
    auto video = selfVideo(v);
    if (!video || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQFloat(((*video).*Op)()));
    return 1;
}

template <bool (IVideo::*Op)(float)>
SQInteger videoSet(HSQUIRRELVM v) {
    auto video = selfVideo(v);
    if (!video || argCount(v) != 1 || !isNumber(v, 2)) return throwWrongParams(v);
    return answer(v, ((*video).*Op)(float(*getFloat(v, 2))));
}

template <uint16_t (IImage::*Op)()>
SQInteger videoSize(HSQUIRRELVM v) {
    auto video = selfVideo(v);
    if (!video || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQInteger(((*video).*Op)()));
    return 1;
}

} // namespace

void registerVideo(HSQUIRRELVM v, SQInteger tableIdx, const std::shared_ptr<Context>& context,
                   std::shared_ptr<KoTimer::IClock> clock) {
    graphicsContext = context;
    videoClock = std::move(clock);
    ClassBuilder(v, tableIdx, u"Video", videoTag)
        .ctor(videoCtor)
        .method(u"play", videoCall<&IVideo::play>)
        .method(u"loop", videoCall<&IVideo::loop>)
        .method(u"stop", videoCall<&IVideo::stop>)
        .method(u"pause", videoCall<&IVideo::pause>)
        .method(u"restart", videoCall<&IVideo::restart>)
        .method(u"isPlaying", videoCall<&IVideo::isPlaying>)
        .method(u"isLooped", videoCall<&IVideo::isLooped>)
        .method(u"isPaused", videoCall<&IVideo::isPaused>)
        .method(u"setVolume", videoSet<&IVideo::setVolume>)
        .method(u"getVolume", videoGet<&IVideo::getVolume>)
        .method(u"setCursor", videoSet<&IVideo::setCursor>)
        .method(u"getCursor", videoGet<&IVideo::getCursor>)
        .method(u"getLength", videoGet<&IVideo::getLength>)
        .method(u"getWidth", videoSize<&IImage::getWidth>)
        .method(u"getHeight", videoSize<&IImage::getHeight>)
        .done();
}

std::shared_ptr<IVideoSoundOutput> createEngineSoundOutput() {
    return std::make_shared<EngineSoundOutput>();
}

std::shared_ptr<IImage> videoImageAt(HSQUIRRELVM v, SQInteger idx) {
    return getInstance<IVideo>(v, idx, videoTag);
}

} // namespace KoScript
