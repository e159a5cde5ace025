#pragma once
// Images: decoded files copied into 32-bit textures, and the process-wide image cache.
#include "graphics/IEngine.h"
#include "graphics/IImage.h"
#include "graphics/ImageCodec.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace KoGraphics {

class Image final : public IImage {
public:
    Image(std::shared_ptr<ITexture> texture, uint16_t w, uint16_t h)
        : texture_(std::move(texture)), w_(w), h_(h) {}
    uint16_t getWidth() override { return w_; }
    uint16_t getHeight() override { return h_; }
    std::shared_ptr<ITexture> getTexture() override { return texture_; }
    // Lent without a reference of its own, for the draw calls.
    const std::shared_ptr<ITexture>& texture() const { return texture_; }
    bool getImageInfo(ImageInfo& out) override {
        out.texture = texture_;
        out.source = {0, 0, w_, h_};
        return true;
    }

private:
    std::shared_ptr<ITexture> texture_;
    uint16_t w_, h_;
};

// The file's bytes through the process-wide file manager (disk or archives).
std::optional<std::vector<uint8_t>> readFileBytes(const std::u16string& path);
bool writeFileBytes(const std::u16string& path, const std::vector<uint8_t>& bytes);

// A texture (format 1) holding the bitmap; empty when the engine refuses the size.
std::shared_ptr<Image> createImage(IEngine& engine, const Bitmap& bitmap);
// Empty when the file is missing, cannot be decoded or is too large for a texture.
std::shared_ptr<Image> loadImage(IEngine& engine, const std::u16string& path);

// Cached loads share one image per path (compared exactly) while the cache holds it. Each entry
// counts width x height x 4 bytes; an entry that would take the total over 64,000,000 empties
// the cache first.
std::shared_ptr<Image> loadCachedImage(IEngine& engine, const std::u16string& path);
void clearImageCache();
uint32_t imageCacheBytes();
size_t imageCacheSize();
constexpr uint32_t kImageCacheBudget = 64000000;

} // namespace KoGraphics
