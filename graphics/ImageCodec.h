#pragma once
// Image files to 32-bit pixels and back.
#include <cstdint>
#include <string>
#include <vector>

namespace KoGraphics {

// BGRA rows, top row first, pitch = width x 4; straight (not premultiplied) alpha.
struct Bitmap {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

// PNG, JPEG, BMP, GIF, TGA of any depth the decoder reads; false for anything else,
// truncated or corrupt data included.
bool decodeImage(const uint8_t* bytes, size_t size, Bitmap& out);

enum class ImageFileType { Unknown, Png, Jpeg, Bmp };
// From the path's extension (case-insensitive): .png, .jpg/.jpeg, .bmp.
ImageFileType imageFileType(const std::u16string& path);
// The encoded file; empty on failure.
std::vector<uint8_t> encodeImage(const Bitmap& bitmap, ImageFileType type);

} // namespace KoGraphics
