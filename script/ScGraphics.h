#pragma once
#include "script/Library.h"

#include <cstdint>
#include <memory>

struct SDL_Window;

namespace KoGraphics {
class Context;
class Canvas;
} // namespace KoGraphics

namespace KoPlayhost {

// The Graphics table: images, canvases, effects, transforms and the screen. Creates the engine
// on the window at load, starts the scene at the beginning of every frame and shows the screen
// canvas at its end.
class GraphicsLibrary final : public Library {
public:
    // window may be null (no display): the in-memory engine is used then.
    GraphicsLibrary(SDL_Window* window, uint16_t width, uint16_t height)
        : window_(window), width_(width), height_(height) {}
    bool load(HSQUIRRELVM v) override;
    void unload(HSQUIRRELVM v) override;
    void beginFrame(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;

private:
    SDL_Window* window_;
    uint16_t width_, height_;
};

} // namespace KoPlayhost
