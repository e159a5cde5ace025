#include "graphics/Canvas.h"

#include "graphics/Image.h"

#include <cmath>
#include <cstdlib>
#include <typeinfo>

namespace KoGraphics {

Color modulate(Color a, Color b) {
    if (b == 0xFFFFFFFF) return a;
    Color out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t c = ((a >> shift) & 0xFF) * ((b >> shift) & 0xFF) / 255;
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

std::shared_ptr<Canvas> Canvas::create(std::shared_ptr<IEngine> engine, uint16_t width,
                                       uint16_t height, std::shared_ptr<ShaderCache> cache) {
    if (!engine) return nullptr;
    auto target = engine->createTarget(width, height, FormatA8R8G8B8);
    if (!target) return nullptr;
    return std::shared_ptr<Canvas>(new Canvas(std::move(engine), std::move(target), std::move(cache)));
}

Canvas::Canvas(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
               std::shared_ptr<ShaderCache> cache)
    : engine_(engine), target_(target), renderer_(engine, target, std::move(cache)) {}

std::shared_ptr<ITexture> Canvas::getTexture() {
    return drawing_ ? nullptr : target_->getTexture();
}

bool Canvas::getImageInfo(ImageInfo& out) {
    if (drawing_) return false;
    out.texture = target_->getTexture();
    out.source = {0, 0, getWidth(), getHeight()};
    return true;
}

bool Canvas::begin() {
    if (drawing_) return false;
    drawing_ = true;
    return true;
}

bool Canvas::end() {
    if (!drawing_) return false;
    renderer_.flush();
    drawing_ = false;
    return true;
}

bool Canvas::clear(Color color) {
    renderer_.flush();
    engine_->setTarget(target_);
    return engine_->clearColor(color);
}

bool Canvas::backup() {
    if (drawing_) return false;
    return target_->backup();
}

bool Canvas::drawVertices(const std::shared_ptr<ITexture>& texture, uint32_t type,
                          const Vertex2d* vertices, uint32_t count,
                          const std::shared_ptr<IEffect2d>& effect, uint32_t blend) {
    if (!drawing_) return false;
    return renderer_.draw(type, blend, texture, effect, vertices, count);
}

bool Canvas::drawPolygon(const std::shared_ptr<ITexture>& texture, uint32_t type,
                         const Vertex2d* vertices, uint32_t count, const Rect& source,
                         const std::shared_ptr<IEffect2d>& effect, uint32_t blend, Color color) {
    if (!drawing_ || !texture || !vertices || count < 3) return false;
    float u0 = texture->getU(float(source.left)), u1 = texture->getU(float(source.right));
    float v0 = texture->getV(float(source.top)), v1 = texture->getV(float(source.bottom));
    scratch_.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        Vertex2d out = vertices[i];
        out.u = vertices[i].u * (u1 - u0) + u0;
        out.v = vertices[i].v * (v1 - v0) + v0;
        out.color = modulate(vertices[i].color, color);
        scratch_[i] = out;
    }
    return renderer_.draw(type, blend, texture, effect, scratch_.data(), count);
}

bool Canvas::drawImageEx(IImage& image, const Vertex2d* vertices, uint32_t count,
                         const Rect* source, const std::shared_ptr<IEffect2d>& effect,
                         uint32_t blend, Color color) {
    ImageInfo info;
    if (!drawing_ || !image.getImageInfo(info) || !info.texture) return false;
    Rect src = source ? *source : Rect{0, 0, info.source.width(), info.source.height()};
    src.left += info.source.left;
    src.right += info.source.left;
    src.top += info.source.top;
    src.bottom += info.source.top;
    return drawPolygon(info.texture, TriangleFan, vertices, count, src, effect, blend, color);
}

bool Canvas::drawImage(IImage& image, const Rect* source, const Destination& dest,
                       const Rotation& rotation, const std::shared_ptr<IEffect2d>& effect,
                       uint32_t blend, Color color) {
    if (!drawing_) return false;
    // A plain image (Image is final) lends its texture: no reference taken and dropped per draw.
    if (typeid(image) == typeid(Image)) {
        auto& plain = static_cast<Image&>(image);
        return drawTexture(plain.texture(), Rect{0, 0, plain.getWidth(), plain.getHeight()},
                           source, dest, rotation, effect, blend, color);
    }
    ImageInfo info;
    if (!image.getImageInfo(info)) return false;
    return drawTexture(info.texture, info.source, source, dest, rotation, effect, blend, color);
}

// `part` is the image's rectangle within the texture; `source` is relative to it.
bool Canvas::drawTexture(const std::shared_ptr<ITexture>& texture, const Rect& part,
                         const Rect* source, const Destination& dest, const Rotation& rotation,
                         const std::shared_ptr<IEffect2d>& effect, uint32_t blend, Color color) {
    if (!texture) return false;
    Rect src = source ? *source : Rect{0, 0, part.width(), part.height()};
    src.left += part.left;
    src.right += part.left;
    src.top += part.top;
    src.bottom += part.top;

    // Corners lie on pixel edges: an image at (10, 20) covers the pixels from (10, 20).
    float left = float(dest.rect.left), top = float(dest.rect.top), right, bottom;
    if (dest.isRect) {
        right = float(dest.rect.right);
        bottom = float(dest.rect.bottom);
    } else {
        right = left + float(std::abs(src.width()));
        bottom = top + float(std::abs(src.height()));
    }
    ITexture& t = *texture;
    float u0 = t.getU(float(src.left)), u1 = t.getU(float(src.right));
    float v0 = t.getV(float(src.top)), v1 = t.getV(float(src.bottom));
    Vertex2d c[4] = {
        {left, top, 0, color, u0, v0},
        {right, top, 0, color, u1, v0},
        {right, bottom, 0, color, u1, v1},
        {left, bottom, 0, color, u0, v1},
    };
    if (rotation.angle != 0.0f) {
        float px = left + float(rotation.cx), py = top + float(rotation.cy);
        float s = std::sin(rotation.angle), k = std::cos(rotation.angle);
        for (auto& v : c) {
            float x = v.x - px, y = v.y - py;
            v.x = px + x * k - y * s;
            v.y = py + x * s + y * k;
        }
    }
    return renderer_.drawQuad(blend, texture, effect, c);
}

bool Canvas::drawText(IFont& font, const std::u16string& text, const Destination& dest,
                      uint32_t blend, Color color, Color second) {
    if (!drawing_) return false;
    float sx = 1.0f, sy = 1.0f;
    if (dest.isRect) {
        uint32_t tw = font.getTextWidth(text), th = font.getTextHeight(text);
        if (tw) sx = float(dest.rect.width()) / float(tw);
        if (th) sy = float(dest.rect.height()) / float(th);
    }
    float startX = float(dest.rect.left);
    float penX = startX, penY = float(dest.rect.top);
    Glyph g;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t ch = text[i];
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (!font.getGlyph(ch, g)) continue;
        for (uint32_t p = 0; p < g.count && p < 4; ++p) {
            const GlyphPiece& piece = g.pieces[p];
            if (!piece.texture) continue;
            ITexture& t = *piece.texture;
            float l = penX, tp = penY;
            float r = l + float(piece.rect.width()) * sx, b = tp + float(piece.rect.height()) * sy;
            float u0 = t.getU(float(piece.rect.left)), u1 = t.getU(float(piece.rect.right));
            float v0 = t.getV(float(piece.rect.top)), v1 = t.getV(float(piece.rect.bottom));
            Color c = p == 0 ? color : second;
            const Vertex2d quad[4] = {{l, tp, 0, c, u0, v0}, {r, tp, 0, c, u1, v0},
                                      {r, b, 0, c, u1, v1}, {l, b, 0, c, u0, v1}};
            renderer_.drawQuad(blend, piece.texture, nullptr, quad);
        }
        penX += float(g.width) * sx;
        penY += float(g.height) * sy;
        if (g.lineBreak) penX = startX;
    }
    return true;
}

bool Canvas::drawPoints(const Point2d* points, uint32_t count, uint32_t type, uint32_t blend,
                        Color color) {
    scratch_.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        scratch_[i] = {points[i].x, points[i].y, 0, modulate(points[i].color, color), 0, 0};
    return renderer_.draw(type, blend, nullptr, nullptr, scratch_.data(), count);
}

// Lines are drawn through pixel centres so a line along y = 5 fills row 5.
bool Canvas::drawLines(const Point2d* points, uint32_t count, uint32_t blend, Color color) {
    if (!drawing_ || !points || count < 2) return false;
    scratch_.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        scratch_[i] = {points[i].x + 0.5f, points[i].y + 0.5f, 0, modulate(points[i].color, color),
                       0, 0};
    return renderer_.draw(LineStrip, blend, nullptr, nullptr, scratch_.data(), count);
}

bool Canvas::drawShape(const Point2d* points, uint32_t count, uint32_t blend, Color color) {
    if (!drawing_ || !points || count < 3) return false;
    return drawPoints(points, count, TriangleFan, blend, color);
}

} // namespace KoGraphics
