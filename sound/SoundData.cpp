#include "sound/SoundData.h"

#include "io/FileManager.h"
#include "io/Path.h"

#include <algorithm>
#include <cstring>

namespace KoSound {

uint32_t MemoryFileData::read(void* destination, uint32_t offset, uint32_t count) {
    if (!destination || offset >= bytes_.size()) return 0;
    count = std::min<uint32_t>(count, uint32_t(bytes_.size()) - offset);
    std::memcpy(destination, bytes_.data() + offset, count);
    return count;
}

FileDataPtr SoundFileLoader::load(const std::u16string& path) {
    auto manager = KoIO::getFileManager();
    if (!manager) return nullptr;
    auto stream = manager->openInputStream(KoIO::normalizePath(path), 0);
    if (!stream) return nullptr;
    auto bytes = stream->readAll();
    return std::make_shared<MemoryFileData>(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

SoundDataPtr MixedSoundLoader::load(const FileDataPtr& fileData) {
    for (auto& loader : loaders_)
        if (auto data = loader->load(fileData)) return data;
    return nullptr;
}

bool MixedSoundLoader::addLoader(SoundLoaderPtr loader) {
    if (!loader) return false;
    loaders_.push_back(std::move(loader));
    return true;
}

bool MixedSoundLoader::removeLoader(const SoundLoaderPtr& loader) {
    auto it = std::find(loaders_.begin(), loaders_.end(), loader);
    if (it == loaders_.end()) return false;
    loaders_.erase(it);
    return true;
}

bool MixedSoundLoader::removeLoaderAt(uint32_t index) {
    if (index >= loaders_.size()) return false;
    loaders_.erase(loaders_.begin() + index);
    return true;
}

bool MixedSoundLoader::clearLoaders() {
    loaders_.clear();
    return true;
}

// --- WAV -----------------------------------------------------------------------------------

namespace {

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

} // namespace

bool WavSoundLoader::parse(IFileData& file, WavSoundInfo& info) {
    uint8_t head[12];
    uint32_t size = file.size();
    if (file.read(head, 0, 12) != 12) return false;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    // The RIFF size is often wrong in the wild; the chunks are walked to the end of the file.
    bool haveFormat = false, haveData = false;
    uint64_t pos = 12;
    while (pos + 8 <= size && !(haveFormat && haveData)) {
        uint8_t chunk[8];
        if (file.read(chunk, uint32_t(pos), 8) != 8) return false;
        uint32_t chunkSize = le32(chunk + 4);
        uint64_t body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            uint8_t fmt[40] = {};
            if (chunkSize < 16 || body + 16 > size) return false;
            uint32_t n = std::min<uint32_t>(chunkSize, sizeof fmt);
            if (file.read(fmt, uint32_t(body), n) < 16) return false;
            info.formatTag = le16(fmt);
            info.channels = le16(fmt + 2);
            info.samplesPerSecond = le32(fmt + 4);
            info.averageBytesPerSecond = le32(fmt + 8);
            info.blockAlign = le16(fmt + 12);
            info.bitsPerSample = le16(fmt + 14);
            // Extensible headers name the real encoding in their sub-format's first two bytes.
            if (info.formatTag == kFormatExtensible && chunkSize >= 26)
                info.formatTag = le16(fmt + 24);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData) {
            if (body + chunkSize > size) return false; // data past the end of the file
            info.dataOffset = uint32_t(body);
            info.dataSize = chunkSize;
            haveData = true;
        }
        pos = body + uint64_t(chunkSize) + (chunkSize & 1); // chunks are padded to even sizes
    }
    if (!haveFormat || !haveData) return false;
    if (info.formatTag != kFormatPcm || info.channels == 0 || info.samplesPerSecond == 0)
        return false;
    // Bits per sample follow from the block alignment; it must describe 8- or 16-bit samples.
    uint32_t bits = uint32_t(info.blockAlign / info.channels) * 8;
    if ((bits != 8 && bits != 16) || info.blockAlign != info.channels * (bits / 8)) return false;
    info.bitsPerSample = uint16_t(bits);
    return true;
}

SoundDataPtr WavSoundLoader::load(const FileDataPtr& fileData) {
    if (!fileData) return nullptr;
    auto info = std::make_shared<WavSoundInfo>();
    if (!parse(*fileData, *info)) return nullptr;
    return std::make_shared<WavSoundData>(std::move(info), fileData);
}

SoundFormat WavSoundData::getFormat() {
    return {info_->channels, info_->samplesPerSecond, info_->bitsPerSample};
}

uint32_t WavSoundData::getLength() {
    return info_->dataSize / frameBytes();
}

bool WavSoundData::seek(uint32_t frame) {
    if (frame >= getLength()) return false;
    position_ = frame * frameBytes();
    return true;
}

uint32_t WavSoundData::tell() {
    return position_ / frameBytes();
}

uint32_t WavSoundData::read(void* destination, uint32_t byteCount) {
    if (!destination) return 0;
    // Whole frames only, so a reader never ends in the middle of one.
    uint32_t left = (info_->dataSize / frameBytes()) * frameBytes() - position_;
    uint32_t n = std::min(byteCount, left);
    n = file_->read(destination, info_->dataOffset + position_, n);
    position_ += n;
    return n;
}

SoundDataPtr WavSoundData::reopen() {
    return std::make_shared<WavSoundData>(info_, file_);
}

} // namespace KoSound
