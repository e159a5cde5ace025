#pragma once
// Anything a canvas can draw: an image, another canvas, later a video frame.
#include "graphics/ITexture.h"
#include "graphics/Types.h"

#include <cstdint>
#include <memory>

namespace KoGraphics {

struct ImageInfo {
    std::shared_ptr<ITexture> texture;
    Rect source; // the image's part of the texture
};

class IImage {
public:
    virtual ~IImage() = default;
    virtual uint16_t getWidth() = 0;
    virtual uint16_t getHeight() = 0;
    virtual std::shared_ptr<ITexture> getTexture() = 0;
    // False when there is nothing to draw (a canvas while it is drawing).
    virtual bool getImageInfo(ImageInfo& out) = 0;
};

} // namespace KoGraphics
