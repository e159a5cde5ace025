#pragma once
// Plain values shared by every graphics interface.
#include <cstdint>

namespace KoGraphics {

// Image formats: 32-bit BGRA in memory (ARGB words on little-endian), with or without alpha.
enum ImageFormat : uint32_t { FormatUnknown = 0, FormatA8R8G8B8 = 1, FormatX8R8G8B8 = 2 };

enum ScreenMode : uint32_t { ScreenNone = 0, ScreenWindow = 1, ScreenFull = 2 };

enum BlendMode : uint32_t {
    BlendNone = 0,
    BlendNormal = 1,
    BlendAdd = 2,
    BlendSub = 3,
    BlendColorCopy = 4,
    BlendAlphaCopy = 5,
};

enum CullMode : uint32_t { CullNone = 0, CullClockwise = 1, CullCounterClockwise = 2 };

enum PrimitiveType : uint32_t {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

// 1: kept in memory, drawn from there; 2: uploaded to a device buffer once per change.
enum BufferKind : uint32_t { BufferSystem = 1, BufferDevice = 2 };

enum IndexFormat : uint32_t { Index16 = 1, Index32 = 2 };

// ARGB word: alpha in the top byte, then red, green, blue.
using Color = uint32_t;

constexpr Color makeColor(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}
constexpr uint32_t alphaOf(Color c) { return c >> 24; }
constexpr uint32_t redOf(Color c) { return (c >> 16) & 0xFF; }
constexpr uint32_t greenOf(Color c) { return (c >> 8) & 0xFF; }
constexpr uint32_t blueOf(Color c) { return c & 0xFF; }

// Left, top, right, bottom; right and bottom are coordinates. right < left mirrors.
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

} // namespace KoGraphics
