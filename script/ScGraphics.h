#pragma once
#include "script/Library.h"
#include "timer/Clock.h"

#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

namespace KoGraphics {
class Context;
class Canvas;
} // namespace KoGraphics

namespace KoScript {

// The Graphics table: images, canvases, effects, transforms and the screen. Creates the engine
// on the window at load, starts the scene at the beginning of every frame and shows the screen
// canvas at its end.
class GraphicsLibrary final : public Library, public ScreenCapture {
public:
    // window may be null (no display): the in-memory engine is used then. With mediaClock,
    // videos keep its time instead of real time (counted runs).
    GraphicsLibrary(SDL_Window* window, uint16_t width, uint16_t height,
                    std::shared_ptr<KoTimer::IClock> mediaClock = nullptr)
        : window_(window), width_(width), height_(height), mediaClock_(std::move(mediaClock)) {}
    bool load(HSQUIRRELVM v) override;
    void unload(HSQUIRRELVM v) override;
    void beginFrame(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;
    // The screen canvas as shown at the end of the last frame.
    bool saveScreen(const std::u16string& path) override;

private:
    SDL_Window* window_;
    uint16_t width_, height_;
    std::shared_ptr<KoTimer::IClock> mediaClock_;
};

} // namespace KoScript
