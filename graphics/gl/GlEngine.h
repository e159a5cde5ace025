#pragma once
// The OpenGL 3.3 core engine on an SDL window.
#include "graphics/IEngine.h"

#include <cstdint>
#include <memory>

struct SDL_Window;

namespace KoGraphics::Gl {

// Makes a 3.3 core context on the window (created with SDL_WINDOW_OPENGL); empty when the
// window is missing, the size is zero or the context is older than 3.3.
std::shared_ptr<IEngine> createGlEngine(SDL_Window* window, uint16_t width, uint16_t height);

} // namespace KoGraphics::Gl

namespace KoGraphics {

// The engine the program runs on: OpenGL on the window, or the in-memory engine when the
// environment says KO_GRAPHICS=null, when there is no window or when OpenGL cannot start.
std::shared_ptr<IEngine> createEngine(SDL_Window* window, uint16_t width, uint16_t height);

// Size of the primary display; false (zeros) when no display is known.
bool getDisplaySize(uint16_t& width, uint16_t& height);

} // namespace KoGraphics
