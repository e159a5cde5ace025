#include "graphics/font/GlyphBitmap.h"

#include <algorithm>
#include <cmath>

namespace KoGraphics {

namespace {

constexpr uint32_t white(uint32_t alpha) { return (alpha << 24) | 0x00FFFFFFu; }

} // namespace

GlyphBitmap downsample3(const Coverage& c) {
    GlyphBitmap out;
    out.width = c.width / 3;
    out.height = c.height / 3;
    out.pixels.resize(size_t(out.width) * out.height);
    for (uint32_t y = 0; y < out.height; ++y) {
        for (uint32_t x = 0; x < out.width; ++x) {
            uint32_t sum = 0;
            for (uint32_t dy = 0; dy < 3; ++dy) {
                const uint8_t* row = &c.values[size_t(y * 3 + dy) * c.width + x * 3];
                sum += uint32_t(row[0]) + row[1] + row[2];
            }
            out.pixels[size_t(y) * out.width + x] = white(sum / 9);
        }
    }
    return out;
}

GlyphBitmap whiteLayer(const Coverage& c) {
    GlyphBitmap out;
    out.width = c.width;
    out.height = c.height;
    out.pixels.resize(c.values.size());
    std::transform(c.values.begin(), c.values.end(), out.pixels.begin(),
                   [](uint8_t v) { return white(v); });
    return out;
}

uint8_t gradientFactor(uint32_t y, uint32_t h, uint8_t top, uint8_t bottom, float start) {
    // A start that is not a number fades from the first row.
    const double s = std::isnan(start) ? 0.0 : double(start) * h;
    const double yy = y;
    if (yy <= s)
        return top;
    // y > s and y <= h - 1, so the divisor is positive.
    const double f = top + (double(bottom) - top) * (yy - s) / ((double(h) - 1) - s);
    return uint8_t(std::clamp(std::lround(f), 0L, 255L));
}

GlyphBitmap gradientLayer(const Coverage& c, uint8_t top, uint8_t bottom, float start) {
    GlyphBitmap out;
    out.width = c.width;
    out.height = c.height;
    out.pixels.resize(c.values.size());
    for (uint32_t y = 0; y < c.height; ++y) {
        const uint32_t f = gradientFactor(y, c.height, top, bottom, start);
        for (uint32_t x = 0; x < c.width; ++x) {
            const size_t i = size_t(y) * c.width + x;
            out.pixels[i] = white((c.values[i] * f + 127) / 255);
        }
    }
    return out;
}

char32_t nextCodePoint(const std::u16string& text, size_t& index) {
    const char16_t u = text[index++];
    if (u >= 0xD800 && u < 0xDC00 && index < text.size()) {
        const char16_t l = text[index];
        if (l >= 0xDC00 && l < 0xE000) {
            ++index;
            return 0x10000 + ((char32_t(u) - 0xD800) << 10) + (l - 0xDC00);
        }
    }
    return u;
}

uint32_t measureTextWidth(const std::u16string& text, const std::function<int(char32_t)>& advance) {
    uint64_t widest = 0, line = 0;
    for (size_t i = 0; i < text.size();) {
        const char32_t ch = nextCodePoint(text, i);
        if (ch == 10) {
            widest = std::max(widest, line);
            line = 0;
            continue;
        }
        const int a = advance(ch);
        if (a > 0)
            line += uint64_t(a);
    }
    return uint32_t(std::min<uint64_t>(std::max(widest, line), UINT32_MAX));
}

uint32_t measureTextHeight(const std::u16string& text, uint32_t size) {
    const uint64_t lines = 1 + uint64_t(std::count(text.begin(), text.end(), u'\n'));
    return uint32_t(std::min<uint64_t>(lines * size, UINT32_MAX));
}

} // namespace KoGraphics
