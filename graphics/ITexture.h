#pragma once
// A texture on the device. Pixels are 32-bit BGRA rows, top row first.
#include "graphics/Types.h"

#include <cstdint>
#include <memory>

namespace KoGraphics {

// The pixels of a locked texture: valid until the texture's unlock().
class ITextureBuffer {
public:
    virtual ~ITextureBuffer() = default;
    virtual uint32_t getFormat() = 0;
    virtual uint16_t getWidth() = 0;
    virtual uint16_t getHeight() = 0;
    virtual uint32_t getBytesPerPixel() = 0;
    virtual uint8_t* getPixel(uint32_t x, uint32_t y) = 0;
    virtual uint8_t* getRow(uint32_t y) = 0;
    virtual uint32_t getPitch() = 0;
};

class ITexture {
public:
    virtual ~ITexture() = default;
    virtual uint32_t getFormat() = 0;
    // Size as requested.
    virtual uint16_t getWidth() = 0;
    virtual uint16_t getHeight() = 0;
    // Texture coordinates of a pixel edge (x / allocated width, y / allocated height).
    virtual float getU(float x) = 0;
    virtual float getV(float y) = 0;
    // Maps the whole texture for reading and writing; unlock() sends the changes to the device.
    // Empty when already locked or on failure.
    virtual std::shared_ptr<ITextureBuffer> lock() = 0;
    virtual void unlock() = 0;
    // Writes a rectangle of BGRA pixels (pitch bytes per source row) at (x, y) without a lock;
    // false when it does not fit.
    virtual bool update(uint16_t x, uint16_t y, uint16_t width, uint16_t height, const void* pixels,
                        uint32_t pitch) = 0;
};

} // namespace KoGraphics
