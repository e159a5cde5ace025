#include "graphics/video/Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

namespace KoGraphics::Video {

namespace {

// FFmpeg is loaded when the first video opens, not at start-up: its libraries pull in well over
// a hundred shared objects (codecs and their dependencies) that every game would otherwise map
// and relocate before its first frame. The pointers below carry the functions' own names, so
// inside this namespace they stand in for the global functions.
#define KO_FFMPEG_FUNCTIONS(X)                                                                 \
    X(av_channel_layout_copy) X(av_channel_layout_default) X(av_channel_layout_uninit)         \
    X(av_find_best_stream) X(av_frame_alloc) X(av_frame_free) X(av_frame_unref) X(av_free)    \
    X(av_freep) X(av_guess_frame_rate) X(av_log_set_level) X(av_malloc) X(av_packet_alloc)    \
    X(av_packet_free) X(av_packet_unref) X(av_read_frame) X(av_seek_frame)                     \
    X(avcodec_alloc_context3) X(avcodec_flush_buffers)                \
    X(avcodec_free_context) X(avcodec_open2) X(avcodec_parameters_to_context)                 \
    X(avcodec_receive_frame) X(avcodec_send_packet) X(avformat_alloc_context)                 \
    X(avformat_close_input) X(avformat_find_stream_info) X(avformat_open_input)               \
    X(avio_alloc_context) X(avio_context_free) X(swr_alloc_set_opts2) X(swr_close)            \
    X(swr_convert) X(swr_free) X(swr_get_out_samples) X(swr_init) X(sws_freeContext)          \
    X(sws_getCachedContext) X(sws_scale)

#define KO_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
KO_FFMPEG_FUNCTIONS(KO_FFMPEG_POINTER)
#undef KO_FFMPEG_POINTER

// The sonames of the major versions the headers describe. Handles stay open for the process.
bool loadFfmpeg() {
    static const bool loaded = [] {
        const char* names[] = {
            "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
            "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
            "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
            "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
            "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
        };
        void* handles[std::size(names)];
        for (size_t i = 0; i < std::size(names); ++i)
            if (!(handles[i] = dlopen(names[i], RTLD_NOW | RTLD_LOCAL))) return false;
        auto find = [&](const char* symbol) -> void* {
            for (void* h : handles)
                if (void* p = dlsym(h, symbol)) return p;
            return nullptr;
        };
        bool all = true;
#define KO_FFMPEG_LOAD(name)                                                                   \
    name = reinterpret_cast<decltype(name)>(find(#name));                                      \
    all = all && name;
        KO_FFMPEG_FUNCTIONS(KO_FFMPEG_LOAD)
#undef KO_FFMPEG_LOAD
        return all;
    }();
    return loaded;
}

// Frames decoded ahead. A file whose sound lies far behind its pictures may go further (up to
// the hard cap) while the sound runs low, so the sound never starves behind full picture slots.
constexpr size_t kQueuedFrames = 4;
constexpr size_t kMaxQueuedFrames = 64;
constexpr size_t kMaxQueuedBytes = 32 << 20;
constexpr double kLowAudioSeconds = 0.3;
constexpr int kIoBufferSize = 32768;

int readPacket(void* opaque, uint8_t* buffer, int size) {
    auto* in = static_cast<KoIO::IInputStream*>(opaque);
    if (size <= 0) return 0;
    uint32_t n = in->read(buffer, uint32_t(size));
    return n == 0 ? AVERROR_EOF : int(n);
}

int64_t seekStream(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<KoIO::IInputStream*>(opaque);
    int64_t length = in->getLength();
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return length;
    int64_t target;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = int64_t(in->getCursor()) + offset;
        break;
    case SEEK_END:
        target = length + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || target > length || !in->setCursor(uint32_t(target))) return -1;
    return target;
}

class FfDecoder final : public Decoder {
public:
    explicit FfDecoder(std::shared_ptr<KoIO::IInputStream> in) : in_(std::move(in)) {}

    ~FfDecoder() override {
        stopWorker();
        sws_freeContext(sws_);
        swr_free(&swr_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&video_);
        avcodec_free_context(&audio_);
        avformat_close_input(&format_);
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }

    bool open(const std::string& name) {
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
        if (!buffer) return false;
        io_ = avio_alloc_context(buffer, kIoBufferSize, 0, in_.get(), readPacket, nullptr,
                                 seekStream);
        if (!io_) {
            av_free(buffer);
            return false;
        }
        format_ = avformat_alloc_context();
        if (!format_) return false;
        format_->pb = io_;
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        if (avformat_open_input(&format_, name.c_str(), nullptr, nullptr) < 0) {
            format_ = nullptr; // freed by the failed open
            return false;
        }
        if (avformat_find_stream_info(format_, nullptr) < 0) return false;

        const AVCodec* codec = nullptr;
        videoIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (videoIndex_ < 0 || !codec) return false;
        AVStream* vs = format_->streams[videoIndex_];
        video_ = openCodec(codec, vs);
        if (!video_) return false;
        videoBase_ = av_q2d(vs->time_base);

        const AVCodec* acodec = nullptr;
        audioIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, videoIndex_, &acodec, 0);
        if (audioIndex_ >= 0 && acodec) {
            AVStream* as = format_->streams[audioIndex_];
            audio_ = openCodec(acodec, as);
            if (audio_ && !openResampler()) avcodec_free_context(&audio_);
            audioBase_ = av_q2d(as->time_base);
        }
        if (!audio_) audioIndex_ = -1;

        origin_ = format_->start_time != AV_NOPTS_VALUE ? double(format_->start_time) / AV_TIME_BASE
                                                        : 0.0;
        AVRational rate = av_guess_frame_rate(format_, vs, nullptr);
        info_.frameDuration = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 1.0 / 30;
        if (info_.frameDuration <= 0 || info_.frameDuration > 1) info_.frameDuration = 1.0 / 30;
        if (vs->duration != AV_NOPTS_VALUE && vs->duration > 0)
            info_.length = double(vs->duration) * videoBase_;
        else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            info_.length = double(format_->duration) / AV_TIME_BASE;
        info_.hasAudio = audio_ != nullptr;

        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (!packet_ || !frame_) return false;
        programStream_ = std::strcmp(format_->iformat->name, "mpeg") == 0 ||
                         std::strcmp(format_->iformat->name, "mpegvideo") == 0;
        if (programStream_) scanLength();
        int w = video_->width, h = video_->height;
        if (w <= 0 || h <= 0 || w > 8192 || h > 8192) return false;
        info_.width = uint16_t(w);
        info_.height = uint16_t(h);
        maxFrames_ = std::clamp<size_t>(kMaxQueuedBytes / (size_t(w) * h * 4), kQueuedFrames,
                                        kMaxQueuedFrames);

        return true;
    }

    const StreamInfo& info() const override { return info_; }

    void setAudioSink(AudioSink sink) override { sink_ = std::move(sink); }

    bool seek(double seconds) override {
        bool wasRunning = worker_.joinable();
        stopWorker();
        {
            std::lock_guard lock(mutex_);
            while (!queue_.empty()) {
                pool_.push_back(std::move(queue_.front()));
                queue_.pop_front();
            }
            finished_ = false;
        }
        int64_t target = int64_t((seconds + origin_) * AV_TIME_BASE);
        bool ok = false;
        if (seconds <= 0 && programStream_) // the start of a program stream is its first byte
            ok = av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
        if (!ok) ok = av_seek_frame(format_, -1, target, AVSEEK_FLAG_BACKWARD) >= 0;
        if (!ok && seconds <= 0) ok = av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
        if (ok) {
            avcodec_flush_buffers(video_);
            if (audio_) {
                avcodec_flush_buffers(audio_);
                swr_close(swr_);
                swr_init(swr_);
            }
            ended_ = false;
            skipBefore_ = seconds;
            nextVideoTime_ = std::numeric_limits<double>::quiet_NaN();
            nextAudioTime_ = std::numeric_limits<double>::quiet_NaN();
            prime();
        }
        if (wasRunning) {
            stop_ = false;
            worker_ = std::thread([this] { run(); });
        }
        return ok;
    }

    bool start() override {
        if (worker_.joinable()) return true;
        if (!started_) {
            started_ = true;
            // A file whose pictures never decode is refused here rather than played as nothing.
            prime();
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return false;
            if (info_.length <= 0) info_.length = lastEnd_;
        }
        stop_ = false;
        worker_ = std::thread([this] { run(); });
        return true;
    }

    FramePtr take(double time) override {
        std::lock_guard lock(mutex_);
        FramePtr due;
        while (!queue_.empty() && queue_.front()->time <= time + 0.001) {
            if (due) pool_.push_back(std::move(due));
            due = std::move(queue_.front());
            queue_.pop_front();
        }
        if (due) wake_.notify_all();
        return due;
    }

    FramePtr takeFirst() override {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return nullptr;
        FramePtr f = std::move(queue_.front());
        queue_.pop_front();
        wake_.notify_all();
        return f;
    }

    void recycle(FramePtr frame) override {
        if (!frame) return;
        std::lock_guard lock(mutex_);
        if (pool_.size() < maxFrames_) pool_.push_back(std::move(frame));
    }

    bool finished() override {
        std::lock_guard lock(mutex_);
        return finished_ && queue_.empty();
    }

    double lastFrameEnd() override {
        std::lock_guard lock(mutex_);
        return lastEnd_;
    }

private:
    // Program streams stamp only some pictures and state no duration; the estimate from the
    // stamps near the end can be far off. One pass over the packets (no decoding) counts them.
    void scanLength() {
        double t = std::numeric_limits<double>::quiet_NaN(), end = 0;
        while (av_read_frame(format_, packet_) >= 0) {
            if (packet_->stream_index == videoIndex_) {
                if (packet_->pts != AV_NOPTS_VALUE)
                    t = std::isnan(t) ? double(packet_->pts) * videoBase_ - origin_
                                      : std::max(t + info_.frameDuration,
                                                 double(packet_->pts) * videoBase_ - origin_);
                else
                    t = std::isnan(t) ? 0 : t + info_.frameDuration;
                end = std::max(end, t + info_.frameDuration);
            }
            av_packet_unref(packet_);
        }
        if (end > 0) info_.length = end;
        av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE);
    }

    AVCodecContext* openCodec(const AVCodec* codec, AVStream* stream) {
        AVCodecContext* c = avcodec_alloc_context3(codec);
        if (!c) return nullptr;
        c->thread_count = 1; // the worker is the decoding thread; the machine has few cores
        if (avcodec_parameters_to_context(c, stream->codecpar) < 0 ||
            avcodec_open2(c, codec, nullptr) < 0) {
            avcodec_free_context(&c);
            return nullptr;
        }
        return c;
    }

    bool openResampler() {
        AVChannelLayout in{};
        if (audio_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
            audio_->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&in, std::max(audio_->ch_layout.nb_channels, 1));
        else if (av_channel_layout_copy(&in, &audio_->ch_layout) < 0)
            return false;
        int channels = std::min(in.nb_channels, 2);
        AVChannelLayout out{};
        av_channel_layout_default(&out, channels);
        int rate = audio_->sample_rate;
        bool ok = rate > 0 && rate <= 384000 &&
                  swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate, &in, audio_->sample_fmt,
                                      rate, 0, nullptr) >= 0 &&
                  swr_init(swr_) >= 0;
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (!ok) return false;
        info_.audioChannels = uint32_t(channels);
        info_.audioRate = uint32_t(rate);
        return true;
    }

    void stopWorker() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    bool audioLow() { return audio_ && sink_.queued && sink_.queued() < kLowAudioSeconds; }

    void run() {
        for (;;) {
            bool low = audioLow();
            {
                std::unique_lock lock(mutex_);
                auto room = [&] {
                    return queue_.size() < kQueuedFrames || (low && queue_.size() < maxFrames_);
                };
                // The sound drains without telling anyone: look again every few milliseconds.
                wake_.wait_for(lock, std::chrono::milliseconds(5), [&] { return stop_ || room(); });
                if (stop_) return;
                if (!room()) continue;
            }
            if (!step()) {
                std::lock_guard lock(mutex_);
                finished_ = true;
                return;
            }
        }
    }

    // Decodes until a picture is queued or the file ends.
    void prime() {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (!queue_.empty()) return;
            }
            if (!step()) {
                std::lock_guard lock(mutex_);
                finished_ = true;
                return;
            }
        }
    }

    // Reads and decodes one packet; at the end drains both decoders and the resampler once.
    // False when nothing is left.
    bool step() {
        if (ended_) return false;
        int r = av_read_frame(format_, packet_);
        if (r < 0) {
            ended_ = true;
            drain(video_, nullptr);
            if (audio_) {
                drain(audio_, nullptr);
                flushResampler();
            }
            if (audio_ && sink_.end) sink_.end();
            return false;
        }
        if (packet_->stream_index == videoIndex_)
            drain(video_, packet_);
        else if (packet_->stream_index == audioIndex_ && sink_.push)
            drain(audio_, packet_);
        av_packet_unref(packet_);
        return true;
    }

    // Sends a packet (null: end of stream) and takes out every frame it completes. A packet the
    // decoder rejects (damaged data) is skipped.
    void drain(AVCodecContext* c, AVPacket* packet) {
        if (avcodec_send_packet(c, packet) < 0 && packet) return;
        while (avcodec_receive_frame(c, frame_) >= 0) {
            if (c == video_)
                emitPicture();
            else
                emitSound();
            av_frame_unref(frame_);
        }
    }

    void emitPicture() {
        int64_t pts = frame_->best_effort_timestamp;
        // MPEG-2's last picture comes without a time stamp: it follows the one before.
        double t = pts != AV_NOPTS_VALUE ? double(pts) * videoBase_ - origin_ : nextVideoTime_;
        if (std::isnan(t)) t = 0;
        nextVideoTime_ = t + info_.frameDuration;
        {
            std::lock_guard lock(mutex_);
            lastEnd_ = std::max(lastEnd_, nextVideoTime_);
        }
        if (nextVideoTime_ <= skipBefore_ + 1e-6) return; // before a seek's target
        if (frame_->width <= 0 || frame_->height <= 0) return;
        sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height,
                                    AVPixelFormat(frame_->format), info_.width, info_.height,
                                    AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!sws_) return;
        FramePtr f;
        {
            std::lock_guard lock(mutex_);
            if (!pool_.empty()) {
                f = std::move(pool_.back());
                pool_.pop_back();
            }
        }
        if (!f) f = std::make_unique<Frame>();
        f->pixels.resize(size_t(info_.width) * info_.height * 4);
        f->time = std::max(t, skipBefore_);
        uint8_t* dst[4] = {f->pixels.data(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(info_.width) * 4, 0, 0, 0};
        if (sws_scale(sws_, frame_->data, frame_->linesize, 0, frame_->height, dst, dstStride) <= 0)
            return recycle(std::move(f));
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(f));
    }

    void emitSound() {
        int64_t pts = frame_->best_effort_timestamp;
        double t = pts != AV_NOPTS_VALUE ? double(pts) * audioBase_ - origin_ : nextAudioTime_;
        if (std::isnan(t)) t = 0;
        int count = swr_get_out_samples(swr_, frame_->nb_samples);
        if (count <= 0) return;
        pcm_.resize(size_t(count) * info_.audioChannels);
        uint8_t* out = reinterpret_cast<uint8_t*>(pcm_.data());
        int got = swr_convert(swr_, &out, count, const_cast<const uint8_t**>(frame_->extended_data),
                              frame_->nb_samples);
        if (got > 0) pushSound(uint32_t(got), t);
    }

    void flushResampler() {
        int count = swr_get_out_samples(swr_, 0);
        if (count <= 0) return;
        pcm_.resize(size_t(count) * info_.audioChannels);
        uint8_t* out = reinterpret_cast<uint8_t*>(pcm_.data());
        int got = swr_convert(swr_, &out, count, nullptr, 0);
        if (got > 0 && !std::isnan(nextAudioTime_)) pushSound(uint32_t(got), nextAudioTime_);
    }

    // Hands converted samples to the sink, trimming what lies before a seek's target.
    void pushSound(uint32_t frames, double t) {
        double rate = info_.audioRate;
        nextAudioTime_ = t + frames / rate;
        uint32_t skip = 0;
        if (t < skipBefore_) {
            double lead = (skipBefore_ - t) * rate;
            if (lead >= frames) return;
            skip = uint32_t(lead);
        }
        sink_.push(pcm_.data() + size_t(skip) * info_.audioChannels, frames - skip,
                   t + skip / rate);
    }

    std::shared_ptr<KoIO::IInputStream> in_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* audio_ = nullptr;
    SwsContext* sws_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int videoIndex_ = -1, audioIndex_ = -1;
    double videoBase_ = 0, audioBase_ = 0, origin_ = 0;
    StreamInfo info_;
    AudioSink sink_;
    std::vector<int16_t> pcm_;
    // Worker-side decoding state (the worker is stopped whenever another thread touches it).
    bool ended_ = false;
    double skipBefore_ = 0;
    double nextVideoTime_ = std::numeric_limits<double>::quiet_NaN();
    double nextAudioTime_ = std::numeric_limits<double>::quiet_NaN();

    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool programStream_ = false;
    size_t maxFrames_ = kQueuedFrames;
    bool stop_ = false;
    bool started_ = false;
    bool finished_ = false;
    double lastEnd_ = 0;
    std::deque<FramePtr> queue_;
    std::vector<FramePtr> pool_;
};

} // namespace

std::unique_ptr<Decoder> Decoder::open(std::shared_ptr<KoIO::IInputStream> in,
                                       const std::string& name) {
    if (!in || in->getLength() == 0 || !loadFfmpeg()) return nullptr;
    av_log_set_level(AV_LOG_QUIET); // damaged files are reported by the caller, once
    auto d = std::make_unique<FfDecoder>(std::move(in));
    if (!d->open(name)) return nullptr;
    return d;
}

} // namespace KoGraphics::Video
