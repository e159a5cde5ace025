#include "sound/ogg/OggSoundLoader.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace KoSound::Ogg {

namespace {

// What the decoder reads through: the file's bytes and a position in them.
struct ReadContext {
    FileDataPtr file;
    uint32_t position = 0;
};

size_t readCallback(void* pointer, size_t size, size_t count, void* source) {
    auto* c = static_cast<ReadContext*>(source);
    if (size == 0) return 0;
    uint32_t total = c->file->size();
    size_t available = (total - std::min(c->position, total)) / size;
    size_t n = std::min(count, available);
    uint32_t got = c->file->read(pointer, c->position, uint32_t(n * size));
    c->position += got;
    return got / size;
}

int seekCallback(void* source, ogg_int64_t offset, int whence) {
    auto* c = static_cast<ReadContext*>(source);
    int64_t total = c->file->size();
    int64_t target;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = int64_t(c->position) + offset;
        break;
    case SEEK_END:
        target = total + offset;
        break;
    default:
        return -1;
    }
    if (target < 0) return -1;
    if (target > total) {
        c->position = uint32_t(total);
        return -1;
    }
    c->position = uint32_t(target);
    return 0;
}

int closeCallback(void* source) {
    delete static_cast<ReadContext*>(source);
    return 0;
}

long tellCallback(void* source) {
    return long(static_cast<ReadContext*>(source)->position);
}

class SoundData final : public ISoundData {
public:
    explicit SoundData(FileDataPtr file) : file_(std::move(file)) {}
    ~SoundData() override {
        if (open_) ov_clear(&vf_);
    }
    SoundData(const SoundData&) = delete;
    SoundData& operator=(const SoundData&) = delete;

    bool open() {
        auto* context = new ReadContext{file_, 0};
        ov_callbacks callbacks{readCallback, seekCallback, closeCallback, tellCallback};
        if (ov_open_callbacks(context, &vf_, nullptr, 0, callbacks) < 0) {
            // The decoder does not own the context when opening fails.
            delete context;
            return false;
        }
        open_ = true;
        vorbis_info* vi = ov_info(&vf_, -1);
        ogg_int64_t total = ov_pcm_total(&vf_, -1);
        if (!vi || vi->channels <= 0 || vi->rate <= 0 || total < 0) return false;
        format_ = {uint32_t(vi->channels), uint32_t(vi->rate), 16};
        length_ = uint32_t(std::min<ogg_int64_t>(total, UINT32_MAX));
        return true;
    }

    SoundFormat getFormat() override { return format_; }
    FileDataPtr getFileData() override { return file_; }
    uint32_t getLength() override { return length_; }
    bool seek(uint32_t frame) override {
        if (frame >= length_) return false;
        return ov_pcm_seek(&vf_, frame) == 0;
    }
    uint32_t tell() override {
        ogg_int64_t t = ov_pcm_tell(&vf_);
        return t < 0 ? 0 : uint32_t(t);
    }
    uint32_t read(void* destination, uint32_t count) override {
        if (!destination) return 0;
        // Whole frames only: a chained stream can change its channel count in the middle.
        uint32_t frame = format_.frameBytes();
        count -= count % frame;
        auto* out = static_cast<char*>(destination);
        uint32_t n = 0;
        while (n < count) {
            int section = 0;
            long got = ov_read(&vf_, out + n, int(std::min<uint32_t>(count - n, 1 << 30)), 0, 2, 1,
                               &section);
            if (got <= 0) break; // end of stream, or a hole or damage in the data
            n += uint32_t(got);
        }
        return n - n % frame;
    }
    SoundDataPtr reopen() override {
        auto data = std::make_shared<SoundData>(file_);
        return data->open() ? data : nullptr;
    }

private:
    FileDataPtr file_;
    OggVorbis_File vf_{};
    bool open_ = false;
    SoundFormat format_;
    uint32_t length_ = 0;
};

} // namespace

SoundDataPtr SoundLoader::load(const FileDataPtr& fileData) {
    if (!fileData || fileData->size() == 0) return nullptr;
    auto data = std::make_shared<SoundData>(fileData);
    return data->open() ? data : nullptr;
}

} // namespace KoSound::Ogg
