#include "graphics/font/FontCache.h"

#include <algorithm>

namespace KoGraphics::Core {

namespace {
constexpr uint16_t kPageSize = 1024;
}

FontCache::FontCache(std::shared_ptr<IEngine> engine) : engine_(std::move(engine)) {
    auto caps = engine_ ? engine_->getCaps() : nullptr;
    pageWidth_ = caps ? std::min(caps->getMaxTextureWidth(), kPageSize) : 0;
    pageHeight_ = caps ? std::min(caps->getMaxTextureHeight(), kPageSize) : 0;
}

int32_t FontCache::add(const void* pixels, uint16_t width, uint16_t height, uint32_t pitch) {
    // The shelf and page tests below use >=, so a piece needs less than a whole page; one that
    // can never fit is refused before it starts an empty page.
    if (width >= pageWidth_ || height >= pageHeight_ || entries_.size() >= size_t(INT32_MAX))
        return -1;
    if (texture_ && x_ + width >= texture_->getWidth()) {
        y_ = uint16_t(y_ + shelfHeight_);
        shelfHeight_ = 0;
        x_ = 0;
    }
    if (!texture_ || y_ + height >= texture_->getHeight()) {
        auto page = engine_->createTexture(pageWidth_, pageHeight_, FormatA8R8G8B8);
        if (!page)
            return -1;
        texture_ = std::move(page);
        x_ = y_ = shelfHeight_ = 0;
    }
    if (width > 0 && height > 0 && !texture_->update(x_, y_, width, height, pixels, pitch))
        return -1;
    entries_.push_back({texture_, Rect{x_, y_, x_ + width, y_ + height}});
    x_ = uint16_t(x_ + width);
    shelfHeight_ = std::max(shelfHeight_, height);
    return int32_t(entries_.size() - 1);
}

void FontCache::clear() {
    entries_.clear();
    texture_.reset();
    x_ = y_ = shelfHeight_ = 0;
}

bool FontCache::getEntry(int32_t index, Entry& out) const {
    if (index < 0 || size_t(index) >= entries_.size())
        return false;
    out = entries_[size_t(index)];
    return true;
}

} // namespace KoGraphics::Core
