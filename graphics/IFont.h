#pragma once
// Fonts: glyph images packed into atlas textures, drawn by the canvas piece by piece.
#include "graphics/IEngine.h"
#include "graphics/ITexture.h"
#include "graphics/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KoGraphics {

struct GlyphPiece {
    std::shared_ptr<ITexture> texture;
    Rect rect; // in texture pixels
};

// What the canvas needs to draw one character: up to four layers drawn at the pen position
// (the first in the first colour, later ones in the second), then the pen moves by the advance.
struct Glyph {
    uint32_t count = 0;
    GlyphPiece pieces[4];
    uint16_t width = 0;  // advance to the right (the widest piece)
    uint16_t height = 0; // advance downwards (the font size for a line feed, else 0)
    bool lineBreak = false; // also returns the pen to the starting x
};

class IFont {
public:
    virtual ~IFont() = default;
    virtual std::u16string getName() = 0;
    virtual uint16_t getSize() = 0;
    virtual bool isBold() = 0;
    virtual bool isItalic() = 0;
    // Widest line (lines split at character 10).
    virtual uint32_t getTextWidth(const std::u16string& text) = 0;
    virtual uint32_t getCharWidth(char32_t ch) = 0;
    // size x (1 + line feeds).
    virtual uint32_t getTextHeight(const std::u16string& text) = 0;
    virtual uint32_t getLineHeight() = 0;
    // False when the character cannot be rendered or cached; the canvas skips it then.
    virtual bool getGlyph(char32_t ch, Glyph& out) = 0;
};

// Implemented in graphics/font (target ko_graphics_font). Empty when the engine is missing or
// no face can be made.
std::shared_ptr<IFont> createFont(std::shared_ptr<IEngine> engine, const std::u16string& name,
                                  uint16_t size, bool bold, bool italic);
// Two layers per glyph; the second fades from alpha top to bottom, starting at start x height.
std::shared_ptr<IFont> createGradationFont(std::shared_ptr<IEngine> engine,
                                           const std::u16string& name, uint16_t size, bool bold,
                                           bool italic, uint8_t top = 255, uint8_t bottom = 0,
                                           float start = 0.0f);
// Makes the font file's faces available by their family names for the rest of the run.
bool registerFont(std::vector<uint8_t> bytes);

} // namespace KoGraphics
