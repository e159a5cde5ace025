#pragma once
#include "graphics/IEngine.h"
#include "graphics/ITexture.h"

#include <memory>
#include <vector>

namespace KoGraphics::Core {

// A font's atlas: glyph pieces packed left to right on shelves of 1024 x 1024 (or the
// engine's smaller maximum) pages. Pages are never freed while the cache lives and entries are
// never evicted: a page's texture lives on in every glyph drawn from it.
class FontCache {
public:
    struct Entry {
        std::shared_ptr<ITexture> texture;
        Rect rect;
    };

    explicit FontCache(std::shared_ptr<IEngine> engine);

    // The page the next piece goes to (empty before the first piece).
    std::shared_ptr<ITexture> getTexture() const { return texture_; }
    // Page size from the engine's caps.
    uint16_t getPageWidth() const { return pageWidth_; }
    uint16_t getPageHeight() const { return pageHeight_; }
    // Copies width x height BGRA pixels (pitch bytes per row) into the atlas; the entry's
    // index, or -1 when the piece can never fit a page or the device refuses it.
    int32_t add(const void* pixels, uint16_t width, uint16_t height, uint32_t pitch);
    void clear();
    bool getEntry(int32_t index, Entry& out) const;
    size_t getEntryCount() const { return entries_.size(); }

private:
    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<ITexture> texture_;
    uint16_t pageWidth_ = 0, pageHeight_ = 0;
    uint16_t x_ = 0, y_ = 0, shelfHeight_ = 0;
    std::vector<Entry> entries_;
};

} // namespace KoGraphics::Core
