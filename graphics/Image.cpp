#include "graphics/Image.h"

#include "io/FileManager.h"

#include <map>

namespace KoGraphics {

std::optional<std::vector<uint8_t>> readFileBytes(const std::u16string& path) {
    auto manager = KoIO::getFileManager();
    if (!manager || path.empty()) return std::nullopt;
    auto file = manager->getFile(path);
    if (!file || !file->isFile()) return std::nullopt;
    auto in = file->openInputStream(0);
    if (!in) return std::nullopt;
    return in->readAll();
}

bool writeFileBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) {
    auto manager = KoIO::getFileManager();
    if (!manager || path.empty()) return false;
    auto file = manager->getFile(path);
    if (!file) return false;
    auto out = file->openOutputStream(KoIO::TRUNCATE);
    if (!out) return false;
    bool ok = out->write(bytes) == bytes.size();
    out->close();
    return ok;
}

std::shared_ptr<Image> createImage(IEngine& engine, const Bitmap& bitmap) {
    if (!bitmap.width || !bitmap.height || bitmap.width > 0xFFFF || bitmap.height > 0xFFFF)
        return nullptr;
    auto texture = engine.createTexture(uint16_t(bitmap.width), uint16_t(bitmap.height), FormatA8R8G8B8);
    if (!texture ||
        !texture->update(0, 0, uint16_t(bitmap.width), uint16_t(bitmap.height), bitmap.pixels.data(),
                         bitmap.width * 4))
        return nullptr;
    return std::make_shared<Image>(std::move(texture), uint16_t(bitmap.width), uint16_t(bitmap.height));
}

std::shared_ptr<Image> loadImage(IEngine& engine, const std::u16string& path) {
    auto bytes = readFileBytes(path);
    if (!bytes) return nullptr;
    Bitmap bitmap;
    if (!decodeImage(bytes->data(), bytes->size(), bitmap)) return nullptr;
    std::vector<uint8_t>().swap(*bytes);
    return createImage(engine, bitmap);
}

namespace {
struct Cache {
    std::map<std::u16string, std::shared_ptr<Image>> images;
    uint32_t total = 0;
};
Cache& cache() {
    static Cache c;
    return c;
}
} // namespace

std::shared_ptr<Image> loadCachedImage(IEngine& engine, const std::u16string& path) {
    Cache& c = cache();
    auto it = c.images.find(path);
    if (it != c.images.end()) return it->second;
    auto image = loadImage(engine, path);
    if (!image) return nullptr;
    uint32_t size = uint32_t(image->getWidth()) * image->getHeight() * 4;
    if (uint64_t(c.total) + size > kImageCacheBudget) {
        c.images.clear();
        c.total = 0;
    }
    c.images.emplace(path, image);
    c.total += size;
    return image;
}

void clearImageCache() {
    cache().images.clear();
    cache().total = 0;
}
uint32_t imageCacheBytes() { return cache().total; }
size_t imageCacheSize() { return cache().images.size(); }

} // namespace KoGraphics
