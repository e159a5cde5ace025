#include "sound/al/AlEngine.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace KoSound::Al {

namespace {

// Blocks queued on a source; with blocks of 40 ms a source holds 160 ms of sound, enough to
// ride out a feeder that wakes every 5 ms even at double speed.
constexpr int kBlocks = 4;
constexpr uint32_t kBlocksPerSecond = 25;
// Starts of data runs inside one block (a loop wrap starts a new run). A loop so short that it
// wraps more often than this ends the block early.
constexpr int kMaxRuns = 8;
constexpr auto kFeedInterval = std::chrono::milliseconds(5);

// Wakes the feeder before its interval is up (a play, a seek, a restart).
struct Signal {
    std::mutex mutex;
    std::condition_variable cv;
    bool woken = false;
    bool quit = false;
    void wake() {
        {
            std::lock_guard lock(mutex);
            woken = true;
        }
        cv.notify_one();
    }
};

ALenum alFormat(const SoundFormat& f) {
    if (f.channels == 1 && f.bitsPerSample == 8) return AL_FORMAT_MONO8;
    if (f.channels == 1 && f.bitsPerSample == 16) return AL_FORMAT_MONO16;
    if (f.channels == 2 && f.bitsPerSample == 8) return AL_FORMAT_STEREO8;
    if (f.channels == 2 && f.bitsPerSample == 16) return AL_FORMAT_STEREO16;
    return 0;
}

// One playing instance: a source and its blocks. The mutex serialises the script thread's
// calls with the feeder's refills, so a seek never lands in the middle of a read and a stop
// never races a queue.
class AlBuffer final : public IBuffer {
public:
    explicit AlBuffer(std::shared_ptr<Signal> signal) : signal_(std::move(signal)) {}
    ~AlBuffer() override { release(); }
    AlBuffer(const AlBuffer&) = delete;
    AlBuffer& operator=(const AlBuffer&) = delete;

    bool create(SoundDataPtr data, bool directChannels) {
        format_ = data->getFormat();
        alFormat_ = alFormat(format_);
        if (!alFormat_ || format_.samplesPerSecond == 0) return false;
        // Mono is queued as stereo with both sides equal: a panned mono source would play each
        // side at 0.6 of its level, quieter than the same sound recorded in stereo.
        expand_ = directChannels && format_.channels == 1;
        if (expand_)
            alFormat_ = format_.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
        // The error state is shared with the feeder thread: check the names, not alGetError.
        source_ = 0;
        alGenSources(1, &source_);
        if (!source_ || !alIsSource(source_)) {
            source_ = 0;
            return false;
        }
        std::array<ALuint, kBlocks> ids{};
        alGenBuffers(kBlocks, ids.data());
        if (!std::all_of(ids.begin(), ids.end(), [](ALuint id) { return id && alIsBuffer(id); })) {
            for (ALuint id : ids)
                if (id && alIsBuffer(id)) alDeleteBuffers(1, &id);
            alDeleteSources(1, &source_);
            source_ = 0;
            return false;
        }
        for (ALuint id : ids) free_.push_back(id);
        // Played flat: no position, no distance, stereo straight to the speakers.
        alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source_, AL_POSITION, 0, 0, 0);
        alSourcef(source_, AL_ROLLOFF_FACTOR, 0);
        if (directChannels) alSourcei(source_, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
        frameBytes_ = format_.frameBytes();
        blockFrames_ = std::max<uint32_t>(256, format_.samplesPerSecond / kBlocksPerSecond);
        staging_.resize(size_t(blockFrames_) * frameBytes_ * (expand_ ? 2 : 1));
        length_ = data->getLength();
        data_ = std::move(data);
        return true;
    }

    // Stops and frees the source and blocks for good (engine shutdown or destruction).
    void release() {
        std::lock_guard lock(mutex_);
        if (source_) {
            alSourceStop(source_);
            alSourcei(source_, AL_BUFFER, 0);
            alDeleteSources(1, &source_);
            for (int i = 0; i < queued_; ++i) free_.push_back(queue_[(head_ + i) % kBlocks].id);
            alDeleteBuffers(ALsizei(free_.size()), free_.data());
            free_.clear();
            queued_ = 0;
            source_ = 0;
        }
        playing_ = paused_ = false;
        data_.reset();
    }

    // The feeder's work: take back played blocks, refill and queue them, start the source when
    // it has data and should play, and notice the end.
    // True while the buffer still needs the feeder.
    bool feed() {
        std::lock_guard lock(mutex_);
        if (!source_ || !playing_) return false;
        ALint processed = 0;
        alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
        for (; processed > 0 && queued_ > 0; --processed) {
            ALuint id = queue_[head_].id;
            alSourceUnqueueBuffers(source_, 1, &id);
            free_.push_back(queue_[head_].id);
            head_ = (head_ + 1) % kBlocks;
            --queued_;
        }
        while (!free_.empty() && !dataEnded_) {
            Block& b = queue_[(head_ + queued_) % kBlocks];
            b.id = free_.back();
            if (!fillBlock(b)) {
                dataEnded_ = true;
                break;
            }
            if (expand_) expandToStereo(b.frames);
            alBufferData(b.id, alFormat_, staging_.data(),
                         ALsizei(b.frames * frameBytes_ * (expand_ ? 2 : 1)),
                         ALsizei(format_.samplesPerSecond));
            alSourceQueueBuffers(source_, 1, &b.id);
            free_.pop_back();
            ++queued_;
        }
        if (queued_ == 0) {
            // Everything queued has been heard and nothing is left: the sound has ended.
            if (dataEnded_) stopLocked();
            return playing_;
        }
        if (!paused_) {
            ALint state = 0;
            alGetSourcei(source_, AL_SOURCE_STATE, &state);
            if (state != AL_PLAYING) alSourcePlay(source_); // first start, or after running dry
        }
        return true;
    }

    bool play(uint32_t start) override { return begin(start, false, 0, 0); }
    bool loop(uint32_t start, int32_t count, uint32_t loopStart) override {
        return begin(start, true, count, loopStart);
    }
    bool stop() override {
        std::lock_guard lock(mutex_);
        return stopLocked();
    }
    bool pause() override {
        std::lock_guard lock(mutex_);
        if (!source_ || !playing_) return false;
        alSourcePause(source_);
        paused_ = true;
        return true;
    }
    bool restart() override {
        {
            std::lock_guard lock(mutex_);
            if (!source_ || !paused_) return false;
            paused_ = false;
            if (queued_ > 0) alSourcePlay(source_);
        }
        signal_->wake();
        return true;
    }
    bool isPlaying() override {
        std::lock_guard lock(mutex_);
        return playing_;
    }
    bool isPaused() override {
        std::lock_guard lock(mutex_);
        return paused_;
    }
    SoundFormat getFormat() override {
        std::lock_guard lock(mutex_);
        return source_ ? format_ : SoundFormat{};
    }
    bool setVolume(float v) override {
        std::lock_guard lock(mutex_);
        if (!source_ || !(v >= 0.0f && v <= 1.0f)) return false;
        alSourcef(source_, AL_GAIN, v);
        volume_ = v;
        return true;
    }
    float getVolume() override {
        std::lock_guard lock(mutex_);
        return source_ ? volume_ : 0.0f;
    }
    bool setSpeed(float r) override {
        std::lock_guard lock(mutex_);
        if (!source_ || !(r >= kMinBufferSpeed && r <= kMaxBufferSpeed)) return false;
        alSourcef(source_, AL_PITCH, r);
        speed_ = r;
        return true;
    }
    float getSpeed() override {
        std::lock_guard lock(mutex_);
        return source_ ? speed_ : 0.0f;
    }
    bool setPosition(uint32_t frame) override {
        {
            std::lock_guard lock(mutex_);
            if (!source_ || frame >= length_) return false;
            if (playing_) {
                // Drop what is queued; the feeder refills from the new place (and starts the
                // source again unless paused).
                flushLocked();
                dataEnded_ = false;
            }
            if (!data_->seek(frame)) return false;
        }
        signal_->wake();
        return true;
    }
    uint32_t getPosition() override {
        std::lock_guard lock(mutex_);
        if (!source_) return 0;
        if (!playing_ || queued_ == 0) return data_->tell();
        ALint offset = 0;
        alGetSourcei(source_, AL_SAMPLE_OFFSET, &offset);
        uint32_t left = uint32_t(std::max(offset, 0));
        for (int i = 0; i < queued_; ++i) {
            const Block& b = queue_[(head_ + i) % kBlocks];
            if (left < b.frames) {
                int r = b.runs - 1;
                while (r > 0 && b.run[r].offset > left) --r;
                return b.run[r].dataFrame + (left - b.run[r].offset);
            }
            left -= b.frames;
        }
        return data_->tell();
    }
    uint32_t getLength() override {
        std::lock_guard lock(mutex_);
        return source_ ? length_ : 0;
    }

private:
    struct Run {
        uint32_t offset;    // frames into the block
        uint32_t dataFrame; // where in the data it starts
    };
    struct Block {
        ALuint id = 0;
        uint32_t frames = 0;
        int runs = 0;
        std::array<Run, kMaxRuns> run{};
    };

    bool begin(uint32_t start, bool looping, int32_t count, uint32_t loopStart) {
        {
            std::lock_guard lock(mutex_);
            if (!source_) return false;
            stopLocked();
            if (start >= length_ || (looping && loopStart >= length_)) return false;
            if (!data_->seek(start)) return false;
            loopStart_ = looping ? loopStart : 0;
            loopCount_ = looping ? (count == 0 ? -1 : count) : 0;
            playing_ = true;
            paused_ = false;
            dataEnded_ = false;
        }
        // The feeder decodes the first blocks and starts the source at once.
        signal_->wake();
        return true;
    }

    // Source stopped, every block back to the free list.
    void flushLocked() {
        alSourceStop(source_);
        alSourcei(source_, AL_BUFFER, 0);
        for (; queued_ > 0; --queued_, head_ = (head_ + 1) % kBlocks)
            free_.push_back(queue_[head_].id);
        head_ = 0;
    }

    bool stopLocked() {
        if (!source_) return false;
        flushLocked();
        playing_ = paused_ = false;
        dataEnded_ = false;
        return true;
    }

    // Mono samples in place to left-right pairs, from the back so nothing is overwritten unread.
    void expandToStereo(uint32_t frames) {
        uint8_t* p = staging_.data();
        uint32_t b = frameBytes_;
        for (uint32_t i = frames; i-- > 0;) {
            std::memmove(p + size_t(i) * 2 * b + b, p + size_t(i) * b, b);
            std::memmove(p + size_t(i) * 2 * b, p + size_t(i) * b, b);
        }
    }

    // Reads the next block into the staging array, wrapping at the end while loops remain.
    // False when nothing was left.
    bool fillBlock(Block& b) {
        uint8_t* out = staging_.data();
        uint32_t got = 0;
        b.runs = 0;
        b.run[b.runs++] = {0, data_->tell()};
        while (got < blockFrames_) {
            uint32_t n =
                data_->read(out + size_t(got) * frameBytes_, (blockFrames_ - got) * frameBytes_) /
                frameBytes_;
            got += n;
            if (got == blockFrames_ || loopCount_ == 0 || b.runs == kMaxRuns) break;
            // A wrap that reads nothing (a damaged stream) would spin forever: end instead.
            if (n == 0 && b.run[b.runs - 1].offset == got && b.runs > 1) break;
            if (!data_->seek(loopStart_)) break;
            if (loopCount_ > 0) --loopCount_;
            b.run[b.runs++] = {got, loopStart_};
        }
        b.frames = got;
        return got > 0;
    }

    std::mutex mutex_;
    std::shared_ptr<Signal> signal_;
    ALuint source_ = 0;
    ALenum alFormat_ = 0;
    SoundDataPtr data_;
    SoundFormat format_;
    uint32_t frameBytes_ = 0;
    uint32_t blockFrames_ = 0;
    uint32_t length_ = 0;
    std::vector<uint8_t> staging_;
    std::vector<ALuint> free_;
    std::array<Block, kBlocks> queue_{};
    int head_ = 0;
    int queued_ = 0;
    uint32_t loopStart_ = 0;
    int32_t loopCount_ = 0;
    bool playing_ = false;
    bool paused_ = false;
    bool dataEnded_ = false;
    bool expand_ = false;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
};

class Engine final : public AlEngine {
public:
    Engine(ALCdevice* device, ALCcontext* context, LPALCRENDERSAMPLESSOFT render)
        : device_(device), context_(context), render_(render), signal_(std::make_shared<Signal>()) {
        directChannels_ = alIsExtensionPresent("AL_SOFT_direct_channels");
    }
    ~Engine() override { shutdown(); }

    void startFeeder() {
        feeder_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "ko-sound-feed"); // found by name in profiles
            bool busy = false;
            for (;;) {
                {
                    // With nothing playing, sleep until a play, seek or restart wakes us.
                    std::unique_lock lock(signal_->mutex);
                    auto ready = [this] { return signal_->woken || signal_->quit; };
                    if (busy)
                        signal_->cv.wait_for(lock, kFeedInterval, ready);
                    else
                        signal_->cv.wait(lock, ready);
                    if (signal_->quit) return;
                    signal_->woken = false;
                }
                busy = feedAll();
            }
        });
    }

    BufferPtr createBuffer(const SoundDataPtr& soundData) override {
        if (!soundData) return nullptr;
        std::lock_guard lock(listMutex_);
        if (down_) return nullptr;
        if (buffers_.size() >= 32) std::erase_if(buffers_, [](auto& b) { return b.expired(); });
        auto buffer = std::make_shared<AlBuffer>(signal_);
        if (!buffer->create(soundData, directChannels_)) return nullptr;
        buffers_.push_back(buffer);
        return buffer;
    }

    void feed() override { feedAll(); }

    // True while any buffer still plays.
    bool feedAll() {
        std::lock_guard feedLock(feedMutex_);
        {
            std::lock_guard lock(listMutex_);
            for (auto& w : buffers_)
                if (auto b = w.lock()) live_.push_back(std::move(b));
        }
        bool busy = false;
        for (auto& b : live_) busy |= b->feed();
        live_.clear(); // may destroy a buffer whose last owner let go meanwhile
        return busy;
    }

    bool render(float* out, uint32_t frames) override {
        if (!render_ || !device_) return false;
        constexpr uint32_t kStep = 256;
        for (uint32_t done = 0; done < frames;) {
            uint32_t n = std::min(kStep, frames - done);
            feed();
            render_(device_, out + size_t(done) * 2, ALCsizei(n));
            done += n;
        }
        return true;
    }

    size_t bufferCount() override {
        std::lock_guard lock(listMutex_);
        return size_t(
            std::count_if(buffers_.begin(), buffers_.end(), [](auto& b) { return !b.expired(); }));
    }

    void shutdown() override {
        if (feeder_.joinable()) {
            {
                std::lock_guard lock(signal_->mutex);
                signal_->quit = true;
            }
            signal_->cv.notify_one();
            feeder_.join();
        }
        std::vector<std::shared_ptr<AlBuffer>> live;
        {
            std::lock_guard lock(listMutex_);
            if (down_) return;
            down_ = true;
            for (auto& w : buffers_)
                if (auto b = w.lock()) live.push_back(std::move(b));
            buffers_.clear();
        }
        for (auto& b : live) b->release();
        live.clear();
        if (alcGetCurrentContext() == context_) alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        alcCloseDevice(device_);
        context_ = nullptr;
        device_ = nullptr;
    }

private:
    ALCdevice* device_;
    ALCcontext* context_;
    LPALCRENDERSAMPLESSOFT render_;
    bool directChannels_ = false;
    std::shared_ptr<Signal> signal_;
    std::thread feeder_;
    std::mutex listMutex_;
    std::mutex feedMutex_;
    bool down_ = false;
    std::vector<std::weak_ptr<AlBuffer>> buffers_;
    std::vector<std::shared_ptr<AlBuffer>> live_; // feeder's scratch list, kept to avoid allocating
};

std::shared_ptr<Engine> makeEngine(ALCdevice* device, const ALCint* attributes,
                                   LPALCRENDERSAMPLESSOFT render) {
    if (!device) return nullptr;
    ALCcontext* context = alcCreateContext(device, attributes);
    if (!context || !alcMakeContextCurrent(context)) {
        if (context) alcDestroyContext(context);
        alcCloseDevice(device);
        return nullptr;
    }
    return std::make_shared<Engine>(device, context, render);
}

} // namespace

std::shared_ptr<AlEngine> AlEngine::create() {
    // The mixing period (and with it most of the start latency) is OpenAL Soft's own setting,
    // "period_size" in its configuration; 1.19 ignores ALC_REFRESH.
    auto engine = makeEngine(alcOpenDevice(nullptr), nullptr, nullptr);
    if (engine) engine->startFeeder();
    return engine;
}

std::shared_ptr<AlEngine> AlEngine::createLoopback(uint32_t rate) {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return nullptr;
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!open || !render) return nullptr;
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY,
                                 ALCint(rate),
                                 0};
    return makeEngine(open(nullptr), attributes, render);
}

} // namespace KoSound::Al
