#pragma once
// A render target of fixed size plus its batching renderer; scripts draw frames into canvases.
#include "graphics/IEffect2d.h"
#include "graphics/IEngine.h"
#include "graphics/IFont.h"
#include "graphics/IImage.h"
#include "graphics/Renderer2d.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KoGraphics {

// A point (the image keeps its size) or a rectangle (the image is stretched to it).
struct Destination {
    bool isRect = false;
    Rect rect; // a point uses left and top
    static Destination point(int32_t x, int32_t y) { return {false, {x, y, x, y}}; }
    static Destination rectangle(const Rect& r) { return {true, r}; }
};

// Angle in radians (positive turns clockwise on the screen) about (cx, cy) relative to the
// destination's top-left corner.
struct Rotation {
    float angle = 0.0f;
    int32_t cx = 0, cy = 0;
};

// Vertex colour times diffuse colour, per channel / 255.
Color modulate(Color a, Color b);

class Canvas final : public IImage {
public:
    // Empty when the target cannot be made (zero or oversized).
    static std::shared_ptr<Canvas> create(std::shared_ptr<IEngine> engine, uint16_t width,
                                          uint16_t height,
                                          std::shared_ptr<ShaderCache> cache = nullptr);

    uint16_t getWidth() override { return target_->getWidth(); }
    uint16_t getHeight() override { return target_->getHeight(); }
    // Empty while drawing: a canvas cannot draw itself.
    std::shared_ptr<ITexture> getTexture() override;
    bool getImageInfo(ImageInfo& out) override;
    std::shared_ptr<ITarget> getTarget() { return target_; }

    bool isDrawing() const { return drawing_; }
    bool begin();
    bool end();
    bool clear(Color color);
    bool backup();
    void clearBackup() { target_->clearBackup(); }

    // Vertices carry u, v from 0 to 1 across the source rectangle (texture pixels).
    bool drawPolygon(const std::shared_ptr<ITexture>& texture, uint32_t type,
                     const Vertex2d* vertices, uint32_t count, const Rect& source,
                     const std::shared_ptr<IEffect2d>& effect, uint32_t blend, Color color);
    // source null = the whole image.
    bool drawImageEx(IImage& image, const Vertex2d* vertices, uint32_t count, const Rect* source,
                     const std::shared_ptr<IEffect2d>& effect, uint32_t blend, Color color);
    bool drawImage(IImage& image, const Rect* source, const Destination& destination,
                   const Rotation& rotation, const std::shared_ptr<IEffect2d>& effect,
                   uint32_t blend, Color color);
    bool drawText(IFont& font, const std::u16string& text, const Destination& destination,
                  uint32_t blend, Color color, Color second = 0xFF000000);
    bool drawLines(const Point2d* points, uint32_t count, uint32_t blend, Color color);
    bool drawShape(const Point2d* points, uint32_t count, uint32_t blend, Color color);
    // Any primitive of already placed vertices (used by the transformed draws).
    bool drawVertices(const std::shared_ptr<ITexture>& texture, uint32_t type,
                      const Vertex2d* vertices, uint32_t count,
                      const std::shared_ptr<IEffect2d>& effect, uint32_t blend);

    Renderer2d& renderer() { return renderer_; }
    IEngine& engine() { return *engine_; }

private:
    Canvas(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
           std::shared_ptr<ShaderCache> cache);
    bool drawTexture(const std::shared_ptr<ITexture>& texture, const Rect& part,
                     const Rect* source, const Destination& destination,
                     const Rotation& rotation, const std::shared_ptr<IEffect2d>& effect,
                     uint32_t blend, Color color);
    bool drawPoints(const Point2d* points, uint32_t count, uint32_t type, uint32_t blend,
                    Color color);

    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<ITarget> target_;
    Renderer2d renderer_;
    bool drawing_ = false;
    std::vector<Vertex2d> scratch_;
};

} // namespace KoGraphics
