#pragma once
// A render target: a texture that canvases draw into.
#include "graphics/ITexture.h"

#include <cstdint>
#include <memory>

namespace KoGraphics {

class ITargetBuffer {
public:
    virtual ~ITargetBuffer() = default;
    virtual uint16_t getWidth() = 0;
    virtual uint16_t getHeight() = 0;
};

class ITarget {
public:
    virtual ~ITarget() = default;
    virtual uint16_t getWidth() = 0;
    virtual uint16_t getHeight() = 0;
    virtual uint32_t getFormat() = 0;
    // The contents as a texture, drawable like an image; same orientation as any texture.
    virtual std::shared_ptr<ITexture> getTexture() = 0;
    virtual std::shared_ptr<ITargetBuffer> getBuffer() = 0;
    // Keeps a copy of the contents that a device reset restores; clearBackup() drops it.
    virtual bool backup() = 0;
    virtual void clearBackup() = 0;
};

} // namespace KoGraphics
