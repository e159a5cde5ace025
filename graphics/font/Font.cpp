#include "graphics/font/Font.h"

#include "io/FileManager.h"
#include "io/Path.h"

#include <algorithm>

namespace KoGraphics::Core {

FontBase::FontBase(std::shared_ptr<IEngine> engine, std::unique_ptr<Ft::FaceSet> faces,
                   std::u16string name, uint16_t size, bool bold, bool italic)
    : faces_(std::move(faces)), name_(std::move(name)), size_(size), bold_(bold), italic_(italic),
      cache_(std::move(engine)) {}

uint32_t FontBase::getTextWidth(const std::u16string& text) {
    return measureTextWidth(text, [this](char32_t ch) {
        uint32_t w = 0;
        if (isBlankControl(ch))
            return 0;
        auto it = widths_.find(ch);
        if (it != widths_.end())
            return int(it->second);
        if (!measureChar(ch, w))
            return -1;
        widths_[ch] = w;
        return int(w);
    });
}

uint32_t FontBase::getCharWidth(char32_t ch) {
    if (ch == 10 || isBlankControl(ch))
        return 0;
    auto it = widths_.find(ch);
    if (it != widths_.end())
        return it->second;
    uint32_t w = 0;
    if (!measureChar(ch, w))
        return 0;
    widths_[ch] = w;
    return w;
}

uint32_t FontBase::getTextHeight(const std::u16string& text) {
    return measureTextHeight(text, size_);
}

bool FontBase::getGlyph(char32_t ch, Glyph& out) {
    out = Glyph{};
    if (ch == 10) {
        out.height = size_;
        out.lineBreak = true;
        return true;
    }
    if (isBlankControl(ch))
        return true;
    auto it = glyphs_.find(ch);
    if (it == glyphs_.end()) {
        // A glyph as tall as a page could never be cached: do not render it at all.
        if (failed_.count(ch) || size_ >= cache_.getPageHeight())
            return false;
        GlyphBitmap layers[4];
        const uint32_t count = renderLayers(ch, layers, 4);
        std::array<int32_t, 4> indices{-1, -1, -1, -1};
        bool ok = count > 0;
        for (uint32_t i = 0; ok && i < count; ++i) {
            const GlyphBitmap& l = layers[i];
            indices[i] = l.width > 0xFFFF || l.height > 0xFFFF
                             ? -1
                             : cache_.add(l.pixels.data(), uint16_t(l.width), uint16_t(l.height),
                                          l.width * 4);
            ok = indices[i] >= 0;
        }
        if (!ok) {
            failed_.insert(ch);
            return false;
        }
        it = glyphs_.emplace(ch, indices).first;
    }
    for (int32_t index : it->second) {
        FontCache::Entry e;
        if (index < 0 || !cache_.getEntry(index, e))
            break;
        out.pieces[out.count++] = {e.texture, e.rect};
        out.width = uint16_t(std::max<int32_t>(out.width, e.rect.width()));
    }
    return true;
}

std::shared_ptr<Font> Font::create(std::shared_ptr<IEngine> engine, const std::u16string& name,
                                   uint16_t size, bool bold, bool italic) {
    if (!engine || !engine->getCaps() || size == 0)
        return nullptr;
    auto faces = Ft::FaceSet::open(name, uint32_t(size) * 3, bold, italic);
    if (!faces)
        return nullptr;
    return std::shared_ptr<Font>(new Font(std::move(engine), std::move(faces), name, size, bold, italic));
}

uint32_t Font::renderLayers(char32_t ch, GlyphBitmap* layers, uint32_t max) {
    Coverage c;
    // Only what can fit a page once downsampled is drawn.
    const uint32_t maxWidth = uint32_t(getCache().getPageWidth()) * 3;
    if (max < 1 || !faces_->render(ch, c, maxWidth))
        return 0;
    layers[0] = downsample3(c);
    return 1;
}

bool Font::measureChar(char32_t ch, uint32_t& width) {
    Ft::CharMetrics m;
    if (!faces_->measure(ch, m))
        return false;
    width = m.width / 3; // the downsampled glyph's width
    return true;
}

std::shared_ptr<GradationFont> GradationFont::create(std::shared_ptr<IEngine> engine,
                                                     const std::u16string& name, uint16_t size,
                                                     bool bold, bool italic, uint8_t top,
                                                     uint8_t bottom, float start) {
    if (!engine || !engine->getCaps() || size == 0)
        return nullptr;
    auto faces = Ft::FaceSet::open(name, size, bold, italic);
    if (!faces)
        return nullptr;
    return std::shared_ptr<GradationFont>(new GradationFont(
        std::move(engine), std::move(faces), name, size, bold, italic, top, bottom, start));
}

uint32_t GradationFont::renderLayers(char32_t ch, GlyphBitmap* layers, uint32_t max) {
    Coverage c;
    if (max < 2 || !faces_->render(ch, c, getCache().getPageWidth()))
        return 0;
    layers[0] = whiteLayer(c);
    layers[1] = gradientLayer(c, top_, bottom_, start_);
    return 2;
}

bool GradationFont::measureChar(char32_t ch, uint32_t& width) {
    Ft::CharMetrics m;
    if (!faces_->measure(ch, m))
        return false;
    width = m.width;
    return true;
}

} // namespace KoGraphics::Core

namespace KoGraphics {

std::shared_ptr<IFont> createFont(std::shared_ptr<IEngine> engine, const std::u16string& name,
                                  uint16_t size, bool bold, bool italic) {
    return Core::Font::create(std::move(engine), name, size, bold, italic);
}

std::shared_ptr<IFont> createGradationFont(std::shared_ptr<IEngine> engine,
                                           const std::u16string& name, uint16_t size, bool bold,
                                           bool italic, uint8_t top, uint8_t bottom, float start) {
    return Core::GradationFont::create(std::move(engine), name, size, bold, italic, top, bottom,
                                       start);
}

bool registerFont(std::vector<uint8_t> bytes) { return Ft::registerFontData(std::move(bytes)); }

bool registerFontFile(const std::u16string& path) {
    auto fm = KoIO::getFileManager();
    auto in = fm ? fm->openInputStream(KoIO::normalizePath(path), 0) : nullptr;
    if (!in)
        return false;
    KoIO::ByteArray bytes = in->readAll();
    in->close();
    return registerFont(std::move(bytes));
}

} // namespace KoGraphics
