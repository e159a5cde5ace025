#pragma once
// Sound data: file bytes, PCM readers over them and the loaders that make the readers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KoSound {

struct SoundFormat {
    uint32_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t bitsPerSample = 0;
    uint32_t frameBytes() const { return channels * (bitsPerSample / 8); }
};

// The bytes of one file.
class IFileData {
public:
    virtual ~IFileData() = default;
    virtual std::u16string getName() { return {}; }
    virtual uint32_t size() = 0;
    // Copies up to count bytes from offset; 0 when the offset is at or past the end.
    virtual uint32_t read(void* destination, uint32_t offset, uint32_t count) = 0;
};
using FileDataPtr = std::shared_ptr<IFileData>;

// File data over bytes held in memory.
class MemoryFileData final : public IFileData {
public:
    explicit MemoryFileData(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint32_t size() override { return uint32_t(bytes_.size()); }
    uint32_t read(void* destination, uint32_t offset, uint32_t count) override;
    const uint8_t* data() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

class IFileLoader {
public:
    virtual ~IFileLoader() = default;
    virtual FileDataPtr load(const std::u16string& path) = 0;
};

// Reads the whole file through the process-wide file manager, so archives work as folders do.
class SoundFileLoader final : public IFileLoader {
public:
    FileDataPtr load(const std::u16string& path) override;
};

// A reader of little-endian PCM frames. Not thread-safe: the engine serialises its calls.
class ISoundData {
public:
    virtual ~ISoundData() = default;
    virtual SoundFormat getFormat() = 0;
    virtual FileDataPtr getFileData() = 0;
    virtual uint32_t getLength() = 0; // in frames
    // False (the position unchanged) for a frame at or past the length.
    virtual bool seek(uint32_t frame) = 0;
    virtual uint32_t tell() = 0;
    // Bytes written; 0 at the end.
    virtual uint32_t read(void* destination, uint32_t byteCount) = 0;
    // An independent reader over the same bytes, at frame 0.
    virtual std::shared_ptr<ISoundData> reopen() = 0;
};
using SoundDataPtr = std::shared_ptr<ISoundData>;

class ISoundLoader {
public:
    virtual ~ISoundLoader() = default;
    // Empty when the bytes are not of this loader's kind (or are damaged).
    virtual SoundDataPtr load(const FileDataPtr& fileData) = 0;
};
using SoundLoaderPtr = std::shared_ptr<ISoundLoader>;

class IMixedSoundLoader : public ISoundLoader {
public:
    virtual bool addLoader(SoundLoaderPtr loader) = 0;
    virtual bool removeLoader(const SoundLoaderPtr& loader) = 0;
    virtual bool removeLoaderAt(uint32_t index) = 0;
    virtual bool clearLoaders() = 0;
    virtual int loaderCount() = 0;
};

// Offers the bytes to each loader in turn; the first that accepts wins.
class MixedSoundLoader final : public IMixedSoundLoader {
public:
    SoundDataPtr load(const FileDataPtr& fileData) override;
    bool addLoader(SoundLoaderPtr loader) override;
    bool removeLoader(const SoundLoaderPtr& loader) override;
    bool removeLoaderAt(uint32_t index) override;
    bool clearLoaders() override;
    int loaderCount() override { return int(loaders_.size()); }

private:
    std::vector<SoundLoaderPtr> loaders_;
};

// The header of one WAV file, shared by every reader of it.
struct WavSoundInfo {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
};

// RIFF WAVE with 8- or 16-bit integer PCM. The chunks are walked, so "fmt " of any length and
// chunks before or after "data" read right.
class WavSoundLoader final : public ISoundLoader {
public:
    SoundDataPtr load(const FileDataPtr& fileData) override;
    // The parsed header, or false when the bytes are refused.
    static bool parse(IFileData& file, WavSoundInfo& info);
};

class WavSoundData final : public ISoundData {
public:
    WavSoundData(std::shared_ptr<const WavSoundInfo> info, FileDataPtr file)
        : info_(std::move(info)), file_(std::move(file)) {}
    SoundFormat getFormat() override;
    FileDataPtr getFileData() override { return file_; }
    uint32_t getLength() override;
    bool seek(uint32_t frame) override;
    uint32_t tell() override;
    uint32_t read(void* destination, uint32_t byteCount) override;
    SoundDataPtr reopen() override;

private:
    uint32_t frameBytes() const { return info_->blockAlign; }
    std::shared_ptr<const WavSoundInfo> info_;
    FileDataPtr file_;
    uint32_t position_ = 0; // bytes from the start of the data
};

} // namespace KoSound
