#pragma once
// An engine without a device: textures and targets live in memory, clears fill them, draws are
// only counted. Runs scripts where no display exists.
#include "graphics/IEngine.h"

#include <cstdint>
#include <memory>

namespace KoGraphics {

std::shared_ptr<IEngine> createNullEngine(uint16_t width, uint16_t height);

} // namespace KoGraphics
