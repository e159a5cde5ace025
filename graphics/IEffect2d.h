#pragma once
// How the pixels of a canvas draw are coloured. One shader per effect type and kind of batch
// (textured or not); the effect sets its parameters before each batch.
#include "graphics/IEngine.h"

#include <cstdint>
#include <memory>

namespace KoGraphics {

class IEffect2d {
public:
    virtual ~IEffect2d() = default;
    virtual uint32_t getType() = 0;
    // The shader for textured batches or for untextured ones.
    virtual std::shared_ptr<IShader> createShader(IEngine& engine, bool textured) = 0;
    // texture is empty for untextured batches.
    virtual bool apply(IEngine& engine, IShader& shader, const std::shared_ptr<ITexture>& texture) = 0;
};

enum EffectType : uint32_t {
    EffectBasic = 0,
    EffectGray = 1,
    EffectNega = 2,
    EffectAlphamap = 3,
    EffectSepia = 4,
    EffectFill = 5,
};

// The shared effect used when a draw names none.
std::shared_ptr<IEffect2d> basicEffect();
std::shared_ptr<IEffect2d> createGrayEffect();
std::shared_ptr<IEffect2d> createNegaEffect();
std::shared_ptr<IEffect2d> createSepiaEffect();
// Paints the texture's shape: in the draw colour, or in `color` (ARGB) when one is given.
std::shared_ptr<IEffect2d> createFillEffect();
std::shared_ptr<IEffect2d> createFillEffect(Color color);

// Reveals the drawing through the red channel of a map, shifted by lerp(-1, 1, power).
class AlphamapEffect2d : public IEffect2d {
public:
    virtual bool setPower(float power) = 0; // refused outside 0..1
    virtual float getPower() = 0;
};
std::shared_ptr<AlphamapEffect2d> createAlphamapEffect(std::shared_ptr<ITexture> map,
                                                       float power = 0.5f);

// The shader that copies the screen canvas to the window: texBase, nTargetWidth, nTargetHeight.
extern const char* const kScreenShaderSource;

} // namespace KoGraphics
