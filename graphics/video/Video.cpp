#include "graphics/video/Video.h"

#include "graphics/video/Decoder.h"
#include "io/FileManager.h"
#include "io/Utf.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace KoGraphics {

namespace {

using Video::Decoder;
using Video::FramePtr;

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

class PlayingVideo final : public IVideo {
public:
    PlayingVideo(std::shared_ptr<IVideoSound> sound, std::unique_ptr<Decoder> decoder,
                 std::shared_ptr<ITexture> texture, VideoOptions options)
        : sound_(std::move(sound)), decoder_(std::move(decoder)), texture_(std::move(texture)),
          clock_(options.clock ? std::move(options.clock) : steadySeconds),
          probe_(std::move(options.offsetProbe)), info_(decoder_->info()) {}

    ~PlayingVideo() override {
        decoder_.reset(); // joins the worker before the sound it feeds goes
        if (sound_) sound_->stop();
    }

    // Shows the first picture so that a video drawn before it plays is not garbage.
    bool showFirst() {
        FramePtr f = decoder_->takeFirst();
        if (!f) return false;
        bool ok = upload(*f);
        decoder_->recycle(std::move(f));
        return ok;
    }

    // --- image ---
    uint16_t getWidth() override { return info_.width; }
    uint16_t getHeight() override { return info_.height; }
    std::shared_ptr<ITexture> getTexture() override { return texture_; }
    bool getImageInfo(ImageInfo& out) override {
        out.texture = texture_;
        out.source = {0, 0, info_.width, info_.height};
        return true;
    }

    // --- per-frame work ---
    bool isFinished() override { return false; }
    void onBeginFrame() override { update(); }
    void onEndFrame() override {}
    void onRelease() override {}

    // --- transport ---
    bool play() override {
        looped_ = false;
        return run();
    }
    bool loop() override {
        looped_ = true;
        return run();
    }
    bool stop() override {
        if (running_) base_ = clockTime();
        running_ = false;
        bool ok = seekTo(0);
        if (ok) looped_ = paused_ = false;
        return ok;
    }
    bool pause() override {
        if (running_) base_ = clockTime();
        running_ = false;
        paused_ = true;
        if (sound_ && soundState_ == SoundState::Playing) {
            sound_->pause();
            soundState_ = SoundState::Paused;
        }
        return true;
    }
    bool restart() override {
        if (!paused_) return false;
        return run();
    }
    bool isPlaying() override { return running_; }
    bool isLooped() override { return running_ && looped_; }
    bool isPaused() override { return paused_; }

    bool setVolume(float volume) override {
        if (!(volume >= 0.0f && volume <= 1.0f) || !info_.hasAudio) return false;
        level_ = int32_t(volume * 10000.0f - 10000.0f);
        if (sound_) sound_->setGain(gain());
        return true;
    }
    float getVolume() override {
        if (!info_.hasAudio) return 0.0f;
        return 1.0f - float(level_) / -10000.0f;
    }
    int32_t getVolumeLevel() override { return level_; }

    bool setCursor(float seconds) override {
        if (!(seconds >= 0.0f && seconds <= getLength())) return false;
        return seekTo(seconds);
    }
    float getCursor() override {
        double t = clockTime();
        return float(std::clamp(t, 0.0, info_.length));
    }
    float getLength() override { return float(info_.length); }

private:
    enum class SoundState { Stopped, Playing, Paused };

    // Decibel hundredths to an amplitude factor: -10000 is -100 dB, silence in practice.
    float gain() const { return float(std::pow(10.0, level_ / 2000.0)); }

    double clockTime() { return running_ ? base_ + (clock_() - wall_) : base_; }

    bool run() {
        if (!running_) {
            wall_ = clock_();
            running_ = true;
            if (sound_) {
                bool ok = soundState_ == SoundState::Paused ? sound_->resume() : false;
                if (!ok) {
                    sound_->setGain(gain());
                    sound_->start();
                }
                soundState_ = SoundState::Playing;
            }
        }
        paused_ = false;
        return true;
    }

    bool seekTo(double seconds) {
        if (sound_) {
            sound_->stop();
            sound_->flush();
            soundState_ = SoundState::Stopped;
        }
        bool ok = decoder_->seek(seconds);
        base_ = seconds;
        wall_ = clock_();
        if (running_ && sound_) {
            sound_->setGain(gain());
            sound_->start();
            soundState_ = SoundState::Playing;
        }
        return ok;
    }

    // The picture clock runs on real time and is pulled toward the sound being heard: gently
    // for the jitter of the output's position, at once when they are far apart (a stall).
    void followSound() {
        if (!sound_ || soundState_ != SoundState::Playing) return;
        double heard = sound_->heardTime();
        if (std::isnan(heard)) return;
        double drift = heard - clockTime();
        if (std::abs(drift) > 4 * info_.frameDuration) {
            base_ = heard;
            wall_ = clock_();
        } else {
            base_ += drift * 0.2;
        }
    }

    void update() {
        if (!running_) return;
        followSound();
        double t = clockTime();
        if (t >= info_.length || (decoder_->finished() && t >= decoder_->lastFrameEnd())) {
            bool again = looped_;
            stop();
            if (again) loop();
            return;
        }
        // The picture whose span holds the present moment: the newest one started no later
        // than half a frame from now, so the shown picture is never more than half a frame off.
        FramePtr f = decoder_->take(t + info_.frameDuration / 2);
        if (!f) return;
        upload(*f);
        if (probe_ && sound_ && soundState_ == SoundState::Playing) {
            double heard = sound_->heardTime();
            if (!std::isnan(heard)) probe_(f->time - heard);
        }
        decoder_->recycle(std::move(f));
    }

    bool upload(const Video::Frame& f) {
        return texture_->update(0, 0, info_.width, info_.height, f.pixels.data(),
                                uint32_t(info_.width) * 4);
    }

    std::shared_ptr<IVideoSound> sound_;
    std::unique_ptr<Decoder> decoder_;
    std::shared_ptr<ITexture> texture_;
    std::function<double()> clock_;
    std::function<void(double)> probe_;
    Video::StreamInfo info_;
    bool running_ = false;
    bool looped_ = false;
    bool paused_ = false;
    SoundState soundState_ = SoundState::Stopped;
    int32_t level_ = 0;
    double base_ = 0; // media time at wall_
    double wall_ = 0;
};

} // namespace

std::shared_ptr<IVideo> openVideo(IEngine& engine, std::shared_ptr<KoIO::IInputStream> in,
                                  const std::string& nameHint, VideoOptions options) {
    auto decoder = Decoder::open(std::move(in), nameHint);
    if (!decoder) return nullptr;
    const auto& info = decoder->info();
    std::shared_ptr<IVideoSound> sound;
    if (info.hasAudio && options.sound)
        sound = options.sound->open(info.audioChannels, info.audioRate);
    if (sound) {
        IVideoSound* s = sound.get();
        decoder->setAudioSink({[s](const int16_t* p, uint32_t n, double t) { s->push(p, n, t); },
                               [s] { s->endOfData(); }, [s] { return s->queuedSeconds(); }});
    }
    auto texture = engine.createTexture(info.width, info.height, FormatA8R8G8B8);
    if (!texture || !decoder->start()) return nullptr;
    auto video = std::make_shared<PlayingVideo>(std::move(sound), std::move(decoder),
                                                std::move(texture), std::move(options));
    if (!video->showFirst()) return nullptr;
    return video;
}

std::shared_ptr<IVideo> openVideo(IEngine& engine, const std::u16string& path,
                                  VideoOptions options) {
    auto manager = KoIO::getFileManager();
    if (!manager || path.empty()) return nullptr;
    auto file = manager->getFile(path);
    if (!file || !file->isFile()) return nullptr;
    auto in = file->openInputStream(0);
    if (!in) return nullptr;
    return openVideo(engine, std::move(in), KoIO::toUtf8(path), std::move(options));
}

} // namespace KoGraphics
