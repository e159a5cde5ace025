#pragma once
#include "graphics/font/GlyphBitmap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The platform's font rasteriser: FreeType faces found through fontconfig or registered from
// memory. Nothing outside graphics/font/ sees FreeType or fontconfig.
namespace KoGraphics::Ft {

// Metrics of one character in a face's cell.
struct CharMetrics {
    uint32_t width = 0;  // advance in pixels
    uint32_t height = 0; // the cell height
};

// A face name resolved to a face at one cell height (ascent + descent in pixels, the way a
// positive font height is understood on the platform the games were written for), with the
// faces that supply characters the first one lacks.
class FaceSet {
public:
    // Null when no face can be found or the name or height is unusable (0, or over 16384).
    static std::unique_ptr<FaceSet> open(const std::u16string& name, uint32_t cellHeight, bool bold,
                                         bool italic);
    // The first usable face of font bytes, unregistered and without fallbacks (for checking a
    // file's faces). Null when the bytes hold none.
    static std::unique_ptr<FaceSet> openData(std::vector<uint8_t> bytes, uint32_t cellHeight,
                                             bool bold, bool italic);
    ~FaceSet();
    FaceSet(const FaceSet&) = delete;
    FaceSet& operator=(const FaceSet&) = delete;

    // Family name of the main face (what the name resolved to).
    std::u16string familyName() const;
    uint32_t cellHeight() const;

    // The character's advance and the cell height; false when no face has the character's
    // metrics (no face open or FreeType fails).
    bool measure(char32_t ch, CharMetrics& out);
    // The character drawn white on black at the pen (0, ascent) into a cell advance x cell
    // height; ink outside the cell is clipped. False also when the advance exceeds maxWidth
    // (nothing is drawn then).
    bool render(char32_t ch, Coverage& out, uint32_t maxWidth = UINT32_MAX);

    struct Impl;

private:
    explicit FaceSet(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Registers font bytes (TrueType, OpenType or a collection) so that faces of their family names
// resolve to them before installed fonts. False when the bytes hold no usable scalable face.
// The bytes are kept for the rest of the run.
bool registerFontData(std::vector<uint8_t> bytes);

} // namespace KoGraphics::Ft
