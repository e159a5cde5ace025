#pragma once
#include "graphics/IFont.h"
#include "graphics/font/FontCache.h"
#include "graphics/font/FtFace.h"
#include "graphics/font/GlyphBitmap.h"

#include <array>
#include <map>
#include <memory>
#include <set>

namespace KoGraphics::Core {

// What both font kinds share: the construction values, the atlas, and the glyphs rendered so
// far (each character rendered once per font, on first use).
class FontBase : public IFont {
public:
    std::u16string getName() override { return name_; }
    uint16_t getSize() override { return size_; }
    bool isBold() override { return bold_; }
    bool isItalic() override { return italic_; }
    uint32_t getTextWidth(const std::u16string& text) override;
    uint32_t getCharWidth(char32_t ch) override;
    uint32_t getTextHeight(const std::u16string& text) override;
    uint32_t getLineHeight() override { return size_; }
    bool getGlyph(char32_t ch, Glyph& out) override;

    // The character's layers (at most max); their number, 0 on failure.
    virtual uint32_t renderLayers(char32_t ch, GlyphBitmap* layers, uint32_t max) = 0;
    // The advance of the character in pixels; false when it cannot be measured.
    virtual bool measureChar(char32_t ch, uint32_t& width) = 0;

    const FontCache& getCache() const { return cache_; }
    // Family of the face the name resolved to.
    std::u16string getFaceFamily() const { return faces_->familyName(); }

protected:
    FontBase(std::shared_ptr<IEngine> engine, std::unique_ptr<Ft::FaceSet> faces,
             std::u16string name, uint16_t size, bool bold, bool italic);

    std::unique_ptr<Ft::FaceSet> faces_;

private:
    std::u16string name_;
    uint16_t size_;
    bool bold_, italic_;
    FontCache cache_;
    std::map<char32_t, std::array<int32_t, 4>> glyphs_;
    std::set<char32_t> failed_; // tried once; not rendered again every frame
    std::map<char32_t, uint32_t> widths_;
};

// Rendered at three times the size and downsampled 3 x 3: one layer.
class Font final : public FontBase {
public:
    static std::shared_ptr<Font> create(std::shared_ptr<IEngine> engine, const std::u16string& name,
                                        uint16_t size, bool bold, bool italic);
    uint32_t renderLayers(char32_t ch, GlyphBitmap* layers, uint32_t max) override;
    bool measureChar(char32_t ch, uint32_t& width) override;

private:
    using FontBase::FontBase;
};

// Rendered at the size: layer 1 the coverage, layer 2 the coverage under a vertical alpha fade.
class GradationFont final : public FontBase {
public:
    static std::shared_ptr<GradationFont> create(std::shared_ptr<IEngine> engine,
                                                 const std::u16string& name, uint16_t size,
                                                 bool bold, bool italic, uint8_t top,
                                                 uint8_t bottom, float start);
    uint32_t renderLayers(char32_t ch, GlyphBitmap* layers, uint32_t max) override;
    bool measureChar(char32_t ch, uint32_t& width) override;
    uint8_t getTop() const { return top_; }
    uint8_t getBottom() const { return bottom_; }
    float getStart() const { return start_; }

private:
    GradationFont(std::shared_ptr<IEngine> engine, std::unique_ptr<Ft::FaceSet> faces,
                  std::u16string name, uint16_t size, bool bold, bool italic, uint8_t top,
                  uint8_t bottom, float start)
        : FontBase(std::move(engine), std::move(faces), std::move(name), size, bold, italic),
          top_(top), bottom_(bottom), start_(start) {}
    uint8_t top_, bottom_;
    float start_;
};

} // namespace KoGraphics::Core

namespace KoGraphics {
// Reads the font file through the file manager (so fonts inside archives work) and registers
// it; false when the file cannot be read or holds no usable face.
bool registerFontFile(const std::u16string& path);
} // namespace KoGraphics
