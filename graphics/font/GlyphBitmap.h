#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace KoGraphics {

// Grey coverage of one character cell, white on black: 0 background, 255 fully inked.
struct Coverage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> values; // width * height, rows top down
};

// One glyph layer: 32-bit pixels as ARGB words (bytes B, G, R, A in memory), white with the
// coverage in alpha. Rows top down, pitch = width.
struct GlyphBitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
};

// The supersampled plain glyph: (width / 3) x (height / 3), each pixel white with
// alpha = sum of its 3 x 3 source samples / 9 (remainder columns and rows are dropped).
GlyphBitmap downsample3(const Coverage& coverage);

// The coverage as is: white with alpha = coverage.
GlyphBitmap whiteLayer(const Coverage& coverage);

// Alpha factor of row y (0..255) of a gradient layer of height h: `top` down to the start
// row s = start * h, then linear to `bottom` at the last row.
uint8_t gradientFactor(uint32_t y, uint32_t h, uint8_t top, uint8_t bottom, float start);

// The second layer of a gradation glyph: the coverage times gradientFactor(y) / 255, rounded.
GlyphBitmap gradientLayer(const Coverage& coverage, uint8_t top, uint8_t bottom, float start);

// Text measurement shared by every font. Code points come from UTF-16 (a surrogate pair is
// one character; a lone surrogate is measured as itself).
// The widest line (lines split at character 10) as the sum of the characters' advances;
// `advance` returns a negative number for a character that cannot be measured (it counts 0).
uint32_t measureTextWidth(const std::u16string& text, const std::function<int(char32_t)>& advance);
// size * (1 + number of line feeds).
uint32_t measureTextHeight(const std::u16string& text, uint32_t size);

// Control characters other than the line feed (C0 and DEL): drawn as nothing, zero wide. The
// installed faces would draw their missing-glyph box for them, which shows up at the end of
// every line of text read from a file with CR LF line ends.
constexpr bool isBlankControl(char32_t ch) { return (ch < 0x20 && ch != 10) || ch == 0x7F; }

// The next code point of `text` at `index`, which moves past it. Needs index < text.size().
char32_t nextCodePoint(const std::u16string& text, size_t& index);

} // namespace KoGraphics
