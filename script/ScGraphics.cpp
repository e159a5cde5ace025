#include "script/ScGraphics.h"

#include "graphics/Canvas.h"
#include "graphics/Context.h"
#include "graphics/IEffect2d.h"
#include "graphics/IFont.h"
#include "graphics/Image.h"
#include "graphics/font/Font.h"
#include "graphics/gl/GlEngine.h"
#include "script/Run.h"
#include "script/ScVideo.h"
#include "script/ScWorld.h"
#include "script/bind/Bind.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <typeinfo>
#include <vector>

namespace KoScript {
namespace {

using namespace KoScript;
using namespace KoGraphics;

// Everything the natives reach: alive between load and unload.
struct State {
    std::shared_ptr<Context> context;
    std::shared_ptr<Canvas> screen;
};
State g;

const ClassTag imageTag{"Graphics.Image"};
const ClassTag canvasTag{"Graphics.Canvas"};
const ClassTag transformTag{"Graphics.Transform2D"};
const ClassTag fontTag{"Graphics.Font"};
const ClassTag fontGTag{"Graphics.FontG"};
const ClassTag fillTag{"Graphics.Effect2D.Fill"};
const ClassTag grayTag{"Graphics.Effect2D.Gray"};
const ClassTag negaTag{"Graphics.Effect2D.Nega"};
const ClassTag sepiaTag{"Graphics.Effect2D.Sepia"};
const ClassTag alphamaskTag{"Graphics.Effect2D.Alphamask"};

constexpr std::u16string_view kParamInvalid =
    u"parameter invalid. request [a, r, g, b] or [r, g, b]";
const std::shared_ptr<IEffect2d> kNoEffect;
constexpr std::u16string_view kImageLoadFailed = u"画像ファイル '%s' の読み込みに失敗しました。";

// Row vectors: (x, y) -> (x m11 + y m21 + m41, x m12 + y m22 + m42).
struct Transform2D {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    void compose(const std::array<float, 16>& x) {
        std::array<float, 16> r{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                float s = 0;
                for (int k = 0; k < 4; ++k) s += m[i * 4 + k] * x[k * 4 + j];
                r[i * 4 + j] = s;
            }
        m = r;
    }
    void apply(float& x, float& y) const {
        float nx = x * m[0] + y * m[4] + m[12];
        float ny = x * m[1] + y * m[5] + m[13];
        x = nx;
        y = ny;
    }
};

// --- reading script values -------------------------------------------------------------------

bool isNull(HSQUIRRELVM v, SQInteger idx) {
    return sq_gettype(v, idx) == OT_NULL;
}

// Element i of the array at arr, as a number.
bool numberAt(HSQUIRRELVM v, SQInteger arr, SQInteger i, float& out) {
    HSQOBJECT e;
    if (SQ_FAILED(sq_getarrayelements(v, arr, i, 1, &e))) return false;
    if (e._type == OT_INTEGER)
        out = float(e._unVal.nInteger);
    else if (e._type == OT_FLOAT)
        out = e._unVal.fFloat;
    else
        return false;
    return true;
}

// Elements first .. first+n-1 (n at most 4) of the array at arr as whole numbers (floats cut
// toward zero), in one call into the VM: the draw calls read their [x, y], rectangles and
// colours this way, a thousand times a frame.
bool intsAt(HSQUIRRELVM v, SQInteger arr, SQInteger first, SQInteger n, int32_t* out) {
    HSQOBJECT e[4];
    if (n > 4 || SQ_FAILED(sq_getarrayelements(v, arr, first, n, e))) return false;
    for (SQInteger i = 0; i < n; ++i) {
        if (e[i]._type == OT_INTEGER)
            out[i] = int32_t(e[i]._unVal.nInteger);
        else if (e[i]._type == OT_FLOAT)
            out[i] = int32_t(e[i]._unVal.fFloat);
        else
            return false;
    }
    return true;
}

bool intAt(HSQUIRRELVM v, SQInteger arr, SQInteger i, int32_t& out) {
    return intsAt(v, arr, i, 1, &out);
}

SQInteger arrayLength(HSQUIRRELVM v, SQInteger idx) {
    return sq_gettype(v, idx) == OT_ARRAY ? sq_getsize(v, idx) : -1;
}

uint32_t byte(int32_t n) {
    return uint32_t(std::clamp(n, 0, 255));
}

// [a], [r, g, b] or [a, r, g, b] to an ARGB word.
bool readColor(HSQUIRRELVM v, SQInteger idx, Color& out) {
    SQInteger n = arrayLength(v, idx);
    int32_t c[4];
    if ((n != 1 && n != 3 && n != 4) || !intsAt(v, idx, 0, n, c)) return false;
    if (n == 1) out = makeColor(byte(c[0]), 255, 255, 255);
    if (n == 3) out = makeColor(255, byte(c[0]), byte(c[1]), byte(c[2]));
    if (n == 4) out = makeColor(byte(c[0]), byte(c[1]), byte(c[2]), byte(c[3]));
    return true;
}

// An optional argument: absent or null keeps `out`.
bool optColor(HSQUIRRELVM v, SQInteger idx, Color& out) {
    if (idx > sq_gettop(v) || isNull(v, idx)) return true;
    return readColor(v, idx, out);
}

bool readBlend(HSQUIRRELVM v, SQInteger idx, uint32_t& out) {
    if (sq_gettype(v, idx) != OT_INTEGER) return false;
    SQInteger n;
    sq_getinteger(v, idx, &n);
    out = uint32_t(n);
    return true;
}

bool optBlend(HSQUIRRELVM v, SQInteger idx, uint32_t& out) {
    if (idx > sq_gettop(v) || isNull(v, idx)) return true;
    return readBlend(v, idx, out);
}

bool readRect(HSQUIRRELVM v, SQInteger idx, Rect& out) {
    int32_t c[4];
    if (arrayLength(v, idx) != 4 || !intsAt(v, idx, 0, 4, c)) return false;
    out = {c[0], c[1], c[2], c[3]};
    return true;
}

bool readDestination(HSQUIRRELVM v, SQInteger idx, Destination& out) {
    SQInteger n = arrayLength(v, idx);
    if (n == 2) {
        int32_t xy[2];
        if (!intsAt(v, idx, 0, 2, xy)) return false;
        out = Destination::point(xy[0], xy[1]);
        return true;
    }
    Rect r;
    if (n != 4 || !readRect(v, idx, r)) return false;
    out = Destination::rectangle(r);
    return true;
}

bool readRotation(HSQUIRRELVM v, SQInteger idx, Rotation& out) {
    SQInteger n = arrayLength(v, idx);
    if (n != 1 && n != 3) return false;
    if (!numberAt(v, idx, 0, out.angle)) return false;
    if (n == 3 && (!intAt(v, idx, 1, out.cx) || !intAt(v, idx, 2, out.cy))) return false;
    return true;
}

bool optRotation(HSQUIRRELVM v, SQInteger idx, Rotation& out) {
    if (idx > sq_gettop(v) || isNull(v, idx)) return true;
    return readRotation(v, idx, out);
}

// 0xRRGGBBAA to ARGB.
Color fromRgba(int32_t c) {
    uint32_t u = uint32_t(c);
    return (u >> 8) | (u << 24);
}

// [[x, y, u, v (, colour)], ...]
bool readVertices(HSQUIRRELVM v, SQInteger idx, std::vector<Vertex2d>& out) {
    SQInteger n = arrayLength(v, idx);
    if (n < 0) return false;
    out.resize(size_t(n));
    for (SQInteger i = 0; i < n; ++i) {
        sq_pushinteger(v, i);
        if (SQ_FAILED(sq_rawget(v, idx))) return false;
        SQInteger e = sq_gettop(v);
        SQInteger len = arrayLength(v, e);
        Vertex2d& o = out[size_t(i)];
        int32_t x = 0, y = 0, c = -1;
        bool ok = (len == 4 || len == 5) && intAt(v, e, 0, x) && intAt(v, e, 1, y) &&
                  numberAt(v, e, 2, o.u) && numberAt(v, e, 3, o.v) &&
                  (len == 4 || intAt(v, e, 4, c));
        sq_poptop(v);
        if (!ok) return false;
        o.x = float(x);
        o.y = float(y);
        o.z = 0;
        o.color = fromRgba(c);
    }
    return true;
}

// [[x, y (, colour)], ...]
bool readPoints(HSQUIRRELVM v, SQInteger idx, std::vector<Point2d>& out) {
    SQInteger n = arrayLength(v, idx);
    if (n < 0) return false;
    out.resize(size_t(n));
    for (SQInteger i = 0; i < n; ++i) {
        sq_pushinteger(v, i);
        if (SQ_FAILED(sq_rawget(v, idx))) return false;
        SQInteger e = sq_gettop(v);
        SQInteger len = arrayLength(v, e);
        int32_t x = 0, y = 0, c = -1;
        bool ok = (len == 2 || len == 3) && intAt(v, e, 0, x) && intAt(v, e, 1, y) &&
                  (len == 2 || intAt(v, e, 2, c));
        sq_poptop(v);
        if (!ok) return false;
        out[size_t(i)] = {float(x), float(y), 0, fromRgba(c)};
    }
    return true;
}

std::shared_ptr<IEffect2d> effectAt(HSQUIRRELVM v, SQInteger idx) {
    for (const ClassTag* tag : {&fillTag, &grayTag, &negaTag, &sepiaTag, &alphamaskTag})
        if (auto e = getInstance<IEffect2d>(v, idx, *tag)) return e;
    return nullptr;
}

bool optEffect(HSQUIRRELVM v, SQInteger idx, std::shared_ptr<IEffect2d>& out) {
    if (idx > sq_gettop(v) || isNull(v, idx)) return true;
    out = effectAt(v, idx);
    return bool(out);
}

// A Graphics.Image, Graphics.Canvas or video, borrowed from the script instance at idx: the
// natives below use it only while that argument is on the stack.
IImage* imageAt(HSQUIRRELVM v, SQInteger idx) {
    if (auto* i = peekInstance<IImage>(v, idx, imageTag)) return i;
    if (auto i = videoImageAt(v, idx)) return i.get(); // the instance keeps holding it
    return peekInstance<IImage>(v, idx, canvasTag);
}

// `this` of a canvas method, borrowed likewise. Canvas is final: comparing the dynamic type is
// enough and much cheaper than a dynamic_cast on every draw call.
Canvas* selfCanvas(HSQUIRRELVM v) {
    IImage* image = peekInstance<IImage>(v, 1, canvasTag);
    return image && typeid(*image) == typeid(Canvas) ? static_cast<Canvas*>(image) : nullptr;
}

SQInteger pushBool(HSQUIRRELVM v, bool b) {
    sq_pushbool(v, b ? SQTrue : SQFalse);
    return 1;
}

SQInteger pushBox(HSQUIRRELVM v, bool ok, float l, float t, float r, float b) {
    if (!ok) {
        sq_pushnull(v);
        return 1;
    }
    sq_newarray(v, 0);
    // Rounded: a quarter turn leaves coordinates a few ulps off whole numbers.
    for (float f : {l, t, r, b}) {
        sq_pushinteger(v, SQInteger(std::lround(f)));
        sq_arrayappend(v, -2);
    }
    return 1;
}

// --- image data ------------------------------------------------------------------------------

// The texture that holds the image's pixels, after pending draws of a canvas reached it.
std::shared_ptr<ITexture> pixelTexture(IImage& image, Rect& area) {
    if (auto canvas = dynamic_cast<Canvas*>(&image)) {
        canvas->renderer().flush();
        area = {0, 0, canvas->getWidth(), canvas->getHeight()};
        return canvas->getTarget()->getTexture();
    }
    ImageInfo info;
    if (!image.getImageInfo(info)) return nullptr;
    area = info.source;
    return info.texture;
}

SQInteger getImageData(HSQUIRRELVM v, IImage& image, int32_t x, int32_t y, int32_t w, int32_t h) {
    Rect area;
    auto texture = pixelTexture(image, area);
    // Clipped to the image.
    int32_t l = std::max(x, 0), t = std::max(y, 0);
    int32_t r = std::min<int64_t>(int64_t(x) + w, area.width());
    int32_t b = std::min<int64_t>(int64_t(y) + h, area.height());
    w = std::max(0, r - l);
    h = std::max(0, b - t);
    std::shared_ptr<ITextureBuffer> buffer;
    if (texture && w && h) buffer = texture->lock();
    if (!buffer) w = h = 0;
    SQInteger length = SQInteger(w) * h * 4;
    sq_newtable(v);
    SQInteger table = sq_gettop(v);
    setValue(v, table, u"width", SQInteger(w));
    setValue(v, table, u"height", SQInteger(h));
    push(v, u"data");
    sq_newarray(v, length);
    SQInteger arr = sq_gettop(v);
    SQInteger i = 0;
    for (int32_t row = 0; row < h; ++row) {
        const uint8_t* p = buffer->getPixel(uint32_t(area.left + l), uint32_t(area.top + t + row));
        for (int32_t k = 0; k < w * 4; ++k) {
            sq_pushinteger(v, i++);
            sq_pushinteger(v, p[k]);
            sq_rawset(v, arr);
        }
    }
    if (buffer) texture->unlock();
    sq_newslot(v, table, SQFalse);
    setValue(v, table, u"length", length);
    return 1;
}

bool setImageData(HSQUIRRELVM v, IImage& image, SQInteger dataIdx, int32_t x, int32_t y) {
    if (sq_gettype(v, dataIdx) != OT_TABLE) return false;
    int32_t w = 0, h = 0;
    auto slotInt = [&](const char16_t* name, int32_t& out) {
        push(v, name);
        if (SQ_FAILED(sq_get(v, dataIdx))) return false;
        bool ok = sq_gettype(v, -1) == OT_INTEGER;
        SQInteger n = 0;
        if (ok) sq_getinteger(v, -1, &n);
        out = n;
        sq_poptop(v);
        return ok;
    };
    if (!slotInt(u"width", w) || !slotInt(u"height", h) || w < 0 || h < 0) return false;
    push(v, u"data");
    if (SQ_FAILED(sq_get(v, dataIdx))) return false;
    SQInteger arr = sq_gettop(v);
    bool ok = arrayLength(v, arr) >= SQInteger(w) * h * 4;
    Rect area;
    auto texture = ok ? pixelTexture(image, area) : nullptr;
    int32_t l = std::max(x, 0), t = std::max(y, 0);
    int32_t r = std::min<int64_t>(int64_t(x) + w, area.width());
    int32_t b = std::min<int64_t>(int64_t(y) + h, area.height());
    std::shared_ptr<ITextureBuffer> buffer;
    if (texture && r > l && b > t) buffer = texture->lock();
    if (buffer) {
        for (int32_t row = t; row < b; ++row) {
            uint8_t* p = buffer->getPixel(uint32_t(area.left + l), uint32_t(area.top + row));
            SQInteger from = (SQInteger(row - y) * w + (l - x)) * 4;
            for (int32_t k = 0; k < (r - l) * 4; ++k) {
                int32_t value = 0;
                intAt(v, arr, from + k, value);
                p[k] = uint8_t(byte(value));
            }
        }
        texture->unlock();
    }
    sq_poptop(v);
    return ok && texture;
}

// --- Graphics.Image --------------------------------------------------------------------------

SQInteger imageCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    if ((n != 1 && n != 2) || sq_gettype(v, 2) != OT_STRING ||
        (n == 2 && sq_gettype(v, 3) != OT_BOOL))
        return throwWrongParams(v);
    String path = *getString(v, 2);
    bool cached = n == 2 && *getBool(v, 3);
    std::shared_ptr<Image> image;
    if (g.context)
        image = cached ? loadCachedImage(*g.context->getEngine(), path)
                       : loadImage(*g.context->getEngine(), path);
    if (!image) return throwScriptError(v, format(kImageLoadFailed, {path}));
    setInstance<IImage>(v, 1, std::move(image));
    return 0;
}

template <const ClassTag& Tag>
std::shared_ptr<IImage> selfImage(HSQUIRRELVM v) {
    return getInstance<IImage>(v, 1, Tag);
}

template <const ClassTag& Tag>
SQInteger imageGetWidth(HSQUIRRELVM v) {
    auto i = selfImage<Tag>(v);
    sq_pushinteger(v, i ? i->getWidth() : 0);
    return 1;
}

template <const ClassTag& Tag>
SQInteger imageGetHeight(HSQUIRRELVM v) {
    auto i = selfImage<Tag>(v);
    sq_pushinteger(v, i ? i->getHeight() : 0);
    return 1;
}

template <const ClassTag& Tag>
SQInteger imageGetData(HSQUIRRELVM v) {
    auto i = selfImage<Tag>(v);
    SQInteger n = argCount(v);
    if (!i) return throwWrongParams(v);
    if (n == 0) return getImageData(v, *i, 0, 0, i->getWidth(), i->getHeight());
    if (n == 4 && checkParams(v, "iiii"))
        return getImageData(v, *i, *getInt(v, 2), *getInt(v, 3), *getInt(v, 4), *getInt(v, 5));
    return throwWrongParams(v);
}

template <const ClassTag& Tag>
SQInteger imageSetData(HSQUIRRELVM v) {
    auto i = selfImage<Tag>(v);
    SQInteger n = argCount(v);
    if (!i) return throwWrongParams(v);
    if (n == 1) return pushBool(v, setImageData(v, *i, 2, 0, 0));
    if (n == 3 && isNumber(v, 3) && isNumber(v, 4))
        return pushBool(v, setImageData(v, *i, 2, *getInt(v, 3), *getInt(v, 4)));
    return throwWrongParams(v);
}

// --- Graphics.Canvas -------------------------------------------------------------------------

SQInteger canvasCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    int32_t w, h;
    if (n == 0 && g.context) {
        w = g.context->getScreenWidth();
        h = g.context->getScreenHeight();
    } else if (n == 2 && checkParams(v, "ii")) {
        w = *getInt(v, 2);
        h = *getInt(v, 3);
    } else if (n == 0) {
        return throwScriptError(v, kCreateFailed);
    } else {
        return throwWrongParams(v);
    }
    std::shared_ptr<Canvas> canvas;
    if (g.context && w > 0 && h > 0 && w <= 0xFFFF && h <= 0xFFFF)
        canvas = Canvas::create(g.context->getEngine(), uint16_t(w), uint16_t(h),
                                g.context->getShaderCache());
    if (!canvas) return throwScriptError(v, kCreateFailed);
    setInstance<IImage>(v, 1, std::move(canvas));
    return 0;
}

SQInteger canvasClear(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    Color color = 0;
    if (!c || argCount(v) > 1 || !optColor(v, 2, color)) return pushBool(v, false);
    return pushBool(v, c->clear(color));
}

SQInteger canvasIsReady(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    return pushBool(v, c && c->isDrawing());
}
SQInteger canvasBegin(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    return pushBool(v, c && c->begin());
}
SQInteger canvasEnd(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    return pushBool(v, c && c->end());
}
SQInteger canvasBackup(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    return pushBool(v, c && c->backup());
}
SQInteger canvasClearBackup(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    if (c) c->clearBackup();
    return pushBool(v, bool(c));
}

// drawImage(image, destination [, source [, rotation [, colour [, blend [, effect]]]]])
// Run a thousand times a frame: the top of the stack is read once, and the common form
// (image, [x, y]) reads nothing more.
SQInteger canvasDrawImage(HSQUIRRELVM v) {
    const SQInteger n = argCount(v);
    Canvas* c = selfCanvas(v);
    if (!c || n < 2 || n > 7) return pushBool(v, false);
    IImage* image = imageAt(v, 2);
    Destination dest;
    if (!image || !readDestination(v, 3, dest)) return pushBool(v, false);
    if (n == 2)
        return pushBool(v, c->drawImage(*image, nullptr, dest, Rotation{}, kNoEffect, BlendNormal,
                                        0xFFFFFFFF));
    // Argument idx is there and not null.
    auto given = [v, n](SQInteger idx) { return idx <= n + 1 && sq_gettype(v, idx) != OT_NULL; };
    Rect source;
    const bool hasSource = given(4);
    Rotation rotation;
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    std::shared_ptr<IEffect2d> effect;
    if ((hasSource && !readRect(v, 4, source)) || (given(5) && !readRotation(v, 5, rotation)) ||
        (given(6) && !readColor(v, 6, color)) || (given(7) && !readBlend(v, 7, blend)) ||
        (given(8) && !(effect = effectAt(v, 8))))
        return pushBool(v, false);
    return pushBool(v, c->drawImage(*image, hasSource ? &source : nullptr, dest, rotation, effect,
                                    blend, color));
}

// drawImageEx(image, vertices [, source [, colour [, blend [, effect]]]])
SQInteger canvasDrawImageEx(HSQUIRRELVM v) {
    thread_local std::vector<Vertex2d> vertices;
    auto c = selfCanvas(v);
    SQInteger n = argCount(v);
    if (!c || n < 2 || n > 6) return pushBool(v, false);
    auto image = imageAt(v, 2);
    Rect source;
    bool hasSource = n >= 3 && !isNull(v, 4);
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    std::shared_ptr<IEffect2d> effect;
    if (!image || !readVertices(v, 3, vertices) || vertices.size() < 3 ||
        (hasSource && !readRect(v, 4, source)) || !optColor(v, 5, color) ||
        !optBlend(v, 6, blend) || !optEffect(v, 7, effect))
        return pushBool(v, false);
    return pushBool(v, c->drawImageEx(*image, vertices.data(), uint32_t(vertices.size()),
                                      hasSource ? &source : nullptr, effect, blend, color));
}

// The 54 vertices of a nine-slice panel (source in image pixels, offset by the image's origin).
bool panelVertices(IImage& image, const Rect* sourceArg, const Rect& dest, Color color,
                   std::vector<Vertex2d>& out, std::shared_ptr<ITexture>& texture) {
    ImageInfo info;
    if (!image.getImageInfo(info) || !info.texture) return false;
    Rect s = sourceArg ? *sourceArg : Rect{0, 0, info.source.width(), info.source.height()};
    s.left += info.source.left;
    s.right += info.source.left;
    s.top += info.source.top;
    s.bottom += info.source.top;
    texture = info.texture;
    int32_t W = dest.width(), H = dest.height(), sw = s.width(), sh = s.height();
    int32_t c = sw / 3, d = sh / 3;
    if (W < 2 * c) c = W / 2;
    if (H < 2 * d) d = H / 2;
    int32_t mw = std::max(0, W - 2 * (sw / 3)), mh = std::max(0, H - 2 * (sh / 3));
    float xs[4] = {float(dest.left), float(dest.left + c), float(dest.left + c + mw),
                   float(dest.left + c + mw + c)};
    float ys[4] = {float(dest.top), float(dest.top + d), float(dest.top + d + mh),
                   float(dest.top + d + mh + d)};
    float us[4], vs[4];
    for (int k = 0; k < 4; ++k) {
        us[k] = texture->getU(float(s.left) + float(sw) * float(k) / 3.0f);
        vs[k] = texture->getV(float(s.top) + float(sh) * float(k) / 3.0f);
    }
    out.clear();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            Vertex2d tl{xs[col], ys[row], 0, color, us[col], vs[row]};
            Vertex2d tr{xs[col + 1], ys[row], 0, color, us[col + 1], vs[row]};
            Vertex2d br{xs[col + 1], ys[row + 1], 0, color, us[col + 1], vs[row + 1]};
            Vertex2d bl{xs[col], ys[row + 1], 0, color, us[col], vs[row + 1]};
            for (const Vertex2d& q : {tl, tr, br, tl, br, bl}) out.push_back(q);
        }
    return true;
}

// drawPanel(image, rectangle [, source [, rotation [, colour [, blend [, effect]]]]])
SQInteger canvasDrawPanel(HSQUIRRELVM v) {
    thread_local std::vector<Vertex2d> vertices;
    auto c = selfCanvas(v);
    SQInteger n = argCount(v);
    if (!c || n < 2 || n > 7 || !c->isDrawing()) return pushBool(v, false);
    auto image = imageAt(v, 2);
    Rect dest, source;
    bool hasSource = n >= 3 && !isNull(v, 4);
    Rotation rotation;
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    std::shared_ptr<IEffect2d> effect;
    std::shared_ptr<ITexture> texture;
    if (!image || !readRect(v, 3, dest) || (hasSource && !readRect(v, 4, source)) ||
        !optRotation(v, 5, rotation) || !optColor(v, 6, color) || !optBlend(v, 7, blend) ||
        !optEffect(v, 8, effect) ||
        !panelVertices(*image, hasSource ? &source : nullptr, dest, color, vertices, texture))
        return pushBool(v, false);
    if (rotation.angle != 0.0f) {
        float px = float(dest.left + rotation.cx), py = float(dest.top + rotation.cy);
        float s = std::sin(rotation.angle), k = std::cos(rotation.angle);
        for (auto& q : vertices) {
            float x = q.x - px, y = q.y - py;
            q.x = px + x * k - y * s;
            q.y = py + x * s + y * k;
        }
    }
    return pushBool(v, c->drawVertices(texture, TriangleList, vertices.data(),
                                       uint32_t(vertices.size()), effect, blend));
}

// drawLines / drawShape (points [, colour [, blend]])
template <bool Shape>
SQInteger canvasDrawPoints(HSQUIRRELVM v) {
    thread_local std::vector<Point2d> points;
    auto c = selfCanvas(v);
    SQInteger n = argCount(v);
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    if (!c || n < 1 || n > 3 || !readPoints(v, 2, points) || !optColor(v, 3, color) ||
        !optBlend(v, 4, blend))
        return pushBool(v, false);
    uint32_t count = uint32_t(points.size());
    return pushBool(v, Shape ? c->drawShape(points.data(), count, blend, color)
                             : c->drawLines(points.data(), count, blend, color));
}

// drawCircle([x, y, radius], paint [, colour [, blend]])
SQInteger canvasDrawCircle(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    SQInteger n = argCount(v);
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    float cx, cy, r;
    int32_t paint = 0;
    if (!c || n < 2 || n > 4 || arrayLength(v, 2) != 3 || !numberAt(v, 2, 0, cx) ||
        !numberAt(v, 2, 1, cy) || !numberAt(v, 2, 2, r) || sq_gettype(v, 3) != OT_INTEGER ||
        !optColor(v, 4, color) || !optBlend(v, 5, blend))
        return pushBool(v, false);
    paint = *getInt(v, 3);
    Point2d pts[26];
    pts[0] = {cx, cy, 0, 0xFFFFFFFF};
    for (int i = 0; i <= 24; ++i) {
        double a = double(i) * 15.0 * M_PI / 180.0;
        pts[i + 1] = {float(cx + r * std::cos(a)), float(cy + r * std::sin(a)), 0, 0xFFFFFFFF};
    }
    if (paint == 1) return pushBool(v, c->drawLines(pts + 1, 25, blend, color));
    if (paint == 2) return pushBool(v, c->drawShape(pts, 26, blend, color));
    return pushBool(v, false);
}

// drawRectangle([l, t, r, b], paint [, colour [, blend]])
SQInteger canvasDrawRectangle(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    SQInteger n = argCount(v);
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    Rect rc;
    if (!c || n < 2 || n > 4 || !readRect(v, 2, rc) || sq_gettype(v, 3) != OT_INTEGER ||
        !optColor(v, 4, color) || !optBlend(v, 5, blend))
        return pushBool(v, false);
    int32_t paint = *getInt(v, 3);
    float l = float(rc.left), t = float(rc.top), r = float(rc.right), b = float(rc.bottom);
    const Color w = 0xFFFFFFFF;
    Point2d pts[5] = {{l, t, 0, w}, {r, t, 0, w}, {r, b, 0, w}, {l, b, 0, w}, {l, t, 0, w}};
    if (paint == 1) return pushBool(v, c->drawLines(pts, 5, blend, color));
    if (paint == 2) return pushBool(v, c->drawShape(pts, 4, blend, color));
    return pushBool(v, false);
}

// drawText(font, text, destination [, colour [, blend [, second colour]]])
std::shared_ptr<IFont> fontAt(HSQUIRRELVM v, SQInteger idx);

SQInteger canvasDrawText(HSQUIRRELVM v) {
    auto c = selfCanvas(v);
    SQInteger n = argCount(v);
    if (!c || n < 3 || n > 6) return pushBool(v, false);
    auto font = fontAt(v, 2);
    auto text = sq_gettype(v, 3) == OT_STRING ? getString(v, 3) : std::nullopt;
    Destination dest;
    Color color = 0xFFFFFFFF, second = 0xFF000000;
    uint32_t blend = BlendNormal;
    if (!font || !text || !readDestination(v, 4, dest) || !optColor(v, 5, color) ||
        !optBlend(v, 6, blend) || !optColor(v, 7, second))
        return pushBool(v, false);
    return pushBool(v, c->drawText(*font, *text, dest, blend, color, second));
}

// --- transformed draws -----------------------------------------------------------------------

struct Box {
    float l = INFINITY, t = INFINITY, r = -INFINITY, b = -INFINITY;
    void add(float x, float y) {
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x);
        b = std::max(b, y);
    }
};

std::shared_ptr<Transform2D> transformAt(HSQUIRRELVM v, SQInteger idx) {
    return getInstance<Transform2D>(v, idx, transformTag);
}

// drawImageT / drawPanelT (image, rectangle, transform, source, colour, blend, effect)
template <bool Panel>
SQInteger canvasDrawImageT(HSQUIRRELVM v) {
    thread_local std::vector<Vertex2d> vertices;
    auto c = selfCanvas(v);
    if (!c || argCount(v) != 7 || !c->isDrawing()) return pushBox(v, false, 0, 0, 0, 0);
    auto image = imageAt(v, 2);
    auto transform = transformAt(v, 4);
    Rect dest, source;
    bool hasSource = !isNull(v, 5);
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    std::shared_ptr<IEffect2d> effect;
    std::shared_ptr<ITexture> texture;
    if (!image || !transform || !readRect(v, 3, dest) || (hasSource && !readRect(v, 5, source)) ||
        !optColor(v, 6, color) || !optBlend(v, 7, blend) || !optEffect(v, 8, effect))
        return pushBox(v, false, 0, 0, 0, 0);
    if (Panel) {
        if (!panelVertices(*image, hasSource ? &source : nullptr, dest, color, vertices, texture))
            return pushBox(v, false, 0, 0, 0, 0);
    } else {
        ImageInfo info;
        if (!image->getImageInfo(info) || !info.texture) return pushBox(v, false, 0, 0, 0, 0);
        Rect s = hasSource ? source : Rect{0, 0, info.source.width(), info.source.height()};
        s.left += info.source.left;
        s.right += info.source.left;
        s.top += info.source.top;
        s.bottom += info.source.top;
        texture = info.texture;
        float u0 = texture->getU(float(s.left)), u1 = texture->getU(float(s.right));
        float v0 = texture->getV(float(s.top)), v1 = texture->getV(float(s.bottom));
        float l = float(dest.left), t = float(dest.top), r = float(dest.right),
              b = float(dest.bottom);
        Vertex2d tl{l, t, 0, color, u0, v0}, tr{r, t, 0, color, u1, v0};
        Vertex2d br{r, b, 0, color, u1, v1}, bl{l, b, 0, color, u0, v1};
        vertices.assign({tl, tr, br, tl, br, bl});
    }
    Box box;
    for (auto& q : vertices) {
        transform->apply(q.x, q.y);
        box.add(q.x, q.y);
    }
    bool ok = c->drawVertices(texture, TriangleList, vertices.data(), uint32_t(vertices.size()),
                              effect, blend);
    return pushBox(v, ok, box.l, box.t, box.r, box.b);
}

// drawLinesT / drawShapeT (points, transform, colour, blend)
template <bool Shape>
SQInteger canvasDrawPointsT(HSQUIRRELVM v) {
    thread_local std::vector<Point2d> points;
    auto c = selfCanvas(v);
    if (!c || argCount(v) != 4) return pushBox(v, false, 0, 0, 0, 0);
    auto transform = transformAt(v, 3);
    Color color = 0xFFFFFFFF;
    uint32_t blend = BlendNormal;
    if (!transform || !readPoints(v, 2, points) || !optColor(v, 4, color) || !optBlend(v, 5, blend))
        return pushBox(v, false, 0, 0, 0, 0);
    Box box;
    for (auto& p : points) {
        transform->apply(p.x, p.y);
        box.add(p.x, p.y);
    }
    uint32_t count = uint32_t(points.size());
    bool ok = Shape ? c->drawShape(points.data(), count, blend, color)
                    : c->drawLines(points.data(), count, blend, color);
    return pushBox(v, ok, box.l, box.t, box.r, box.b);
}

// --- Graphics.Transform2D --------------------------------------------------------------------

SQInteger transformCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    setInstance(v, 1, std::make_shared<Transform2D>());
    return 0;
}
SQInteger transformCloned(HSQUIRRELVM v) {
    if (auto o = transformAt(v, 2)) setInstance(v, 1, std::make_shared<Transform2D>(*o));
    return 0;
}
SQInteger transformSet(HSQUIRRELVM v) {
    auto self = transformAt(v, 1), other = argCount(v) == 1 ? transformAt(v, 2) : nullptr;
    if (!self || !other) return throwWrongParams(v);
    self->m = other->m;
    return 0;
}
SQInteger transformReset(HSQUIRRELVM v) {
    auto self = transformAt(v, 1);
    if (!self || argCount(v) != 0) return throwWrongParams(v);
    *self = Transform2D();
    return 0;
}
SQInteger transformTranslate(HSQUIRRELVM v) {
    auto self = transformAt(v, 1);
    if (!self || !checkParams(v, "ff")) return throwWrongParams(v);
    self->compose({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, *getFloat(v, 2), *getFloat(v, 3), 0, 1});
    return 0;
}
SQInteger transformScale(HSQUIRRELVM v) {
    auto self = transformAt(v, 1);
    if (!self || !checkParams(v, "ff")) return throwWrongParams(v);
    self->compose({*getFloat(v, 2), 0, 0, 0, 0, *getFloat(v, 3), 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    return 0;
}
SQInteger transformRotate(HSQUIRRELVM v) {
    auto self = transformAt(v, 1);
    if (!self || !checkParams(v, "f")) return throwWrongParams(v);
    float a = *getFloat(v, 2), s = std::sin(a), k = std::cos(a);
    self->compose({k, s, 0, 0, -s, k, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    return 0;
}
SQInteger transformTransform(HSQUIRRELVM v) {
    auto self = transformAt(v, 1), other = argCount(v) == 1 ? transformAt(v, 2) : nullptr;
    if (!self || !other) return throwWrongParams(v);
    self->compose(other->m);
    return 0;
}

// --- Graphics.Effect2D -----------------------------------------------------------------------

// An effect's shader is compiled when the effect is made, not at its first draw: games make
// their effects while loading, and a first use in the middle of play (the game-over screen's
// sepia) would spend the compile in that frame (some 12 ms with the software driver and no
// shader cache) and add a megabyte of driver memory long after the start. The engine keeps
// one shader per effect type and kind of batch, so this costs nothing more; effects colour
// images, so the textured one is made here.
void prepareShader(IEffect2d& effect) {
    if (g.context) g.context->getShaderCache()->get(*g.context->getEngine(), effect, true);
}

template <std::shared_ptr<IEffect2d> (*Make)()>
SQInteger simpleEffectCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto effect = Make();
    prepareShader(*effect);
    setInstance(v, 1, std::move(effect));
    return 0;
}

// Fill() paints in the draw colour; Fill([r, g, b]) or Fill([a, r, g, b]) in that colour.
SQInteger fillCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    Color c;
    if (n != 0) {
        SQInteger len = arrayLength(v, 2);
        if (n != 1 || (len != 3 && len != 4) || !readColor(v, 2, c))
            return throwScriptError(v, kParamInvalid);
    }
    auto effect = n == 0 ? createFillEffect() : createFillEffect(c);
    prepareShader(*effect);
    setInstance(v, 1, std::move(effect));
    return 0;
}

SQInteger alphamaskCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    if ((n != 1 && n != 2) || (n == 2 && !isNumber(v, 3))) return throwWrongParams(v);
    auto image = imageAt(v, 2);
    if (!image) return throwWrongParams(v);
    float rate = n == 2 ? *getFloat(v, 3) : 0.5f;
    auto effect = createAlphamapEffect(image->getTexture(), rate);
    if (!effect) return throwScriptError(v, kCreateFailed);
    prepareShader(*effect);
    setInstance<IEffect2d>(v, 1, std::move(effect));
    return 0;
}

std::shared_ptr<AlphamapEffect2d> selfAlphamask(HSQUIRRELVM v) {
    return std::dynamic_pointer_cast<AlphamapEffect2d>(getInstance<IEffect2d>(v, 1, alphamaskTag));
}
SQInteger alphamaskSetRate(HSQUIRRELVM v) {
    auto e = selfAlphamask(v);
    if (!e || !checkParams(v, "f")) return throwWrongParams(v);
    return pushBool(v, e->setPower(*getFloat(v, 2)));
}
SQInteger alphamaskGetRate(HSQUIRRELVM v) {
    auto e = selfAlphamask(v);
    if (!e) return throwWrongParams(v);
    sq_pushfloat(v, e->getPower());
    return 1;
}

// --- Graphics.Font and Graphics.FontG ---------------------------------------------------------

std::shared_ptr<IFont> fontAt(HSQUIRRELVM v, SQInteger idx) {
    if (auto f = getInstance<IFont>(v, idx, fontTag)) return f;
    return getInstance<IFont>(v, idx, fontGTag);
}

// Font(name, size) or Font(name, size, bold, italic)
SQInteger fontCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    if (!(n == 2 && checkParams(v, "si")) && !(n == 4 && checkParams(v, "sibb")))
        return throwWrongParams(v);
    SQInteger size = *getInt(v, 3);
    bool bold = n == 4 && *getBool(v, 4), italic = n == 4 && *getBool(v, 5);
    std::shared_ptr<IFont> font;
    if (g.context && size > 0 && size <= 0xFFFF)
        font = createFont(g.context->getEngine(), *getString(v, 2), uint16_t(size), bold, italic);
    if (!font) return throwScriptError(v, kCreateFailed);
    setInstance(v, 1, std::move(font));
    return 0;
}

// FontG(name, size [, bold, italic] [, top, bottom [, start]])
SQInteger fontGCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    bool flags = (n == 4 && checkParams(v, "sibb")) || (n == 6 && checkParams(v, "sibbii")) ||
                 (n == 7 && checkParams(v, "sibbiif"));
    bool plain = (n == 2 && checkParams(v, "si")) || (n == 4 && checkParams(v, "siii")) ||
                 (n == 5 && checkParams(v, "siiif"));
    if (!flags && !plain) return throwWrongParams(v);
    SQInteger size = *getInt(v, 3);
    bool bold = flags && *getBool(v, 4), italic = flags && *getBool(v, 5);
    SQInteger at = flags ? 6 : 4; // stack index of top
    SQInteger top = 255, bottom = 0;
    float start = 0.0f;
    if (n >= at) {
        top = *getInt(v, at);
        bottom = *getInt(v, at + 1);
    }
    if (n >= at + 1) start = *getFloat(v, at + 2); // start is the argument after bottom
    std::shared_ptr<IFont> font;
    if (g.context && size > 0 && size <= 0xFFFF)
        font = createGradationFont(g.context->getEngine(), *getString(v, 2), uint16_t(size), bold,
                                   italic, uint8_t(byte(top)), uint8_t(byte(bottom)), start);
    if (!font) return throwScriptError(v, kCreateFailed);
    setInstance(v, 1, std::move(font));
    return 0;
}

template <const ClassTag& Tag>
std::shared_ptr<IFont> selfFont(HSQUIRRELVM v) {
    return getInstance<IFont>(v, 1, Tag);
}
template <const ClassTag& Tag>
SQInteger fontGetName(HSQUIRRELVM v) {
    auto f = selfFont<Tag>(v);
    if (!f) return throwWrongParams(v);
    push(v, f->getName());
    return 1;
}
template <const ClassTag& Tag>
SQInteger fontGetSize(HSQUIRRELVM v) {
    auto f = selfFont<Tag>(v);
    if (!f) return throwWrongParams(v);
    sq_pushinteger(v, f->getSize());
    return 1;
}
template <const ClassTag& Tag>
SQInteger fontIsBold(HSQUIRRELVM v) {
    auto f = selfFont<Tag>(v);
    if (!f) return throwWrongParams(v);
    return pushBool(v, f->isBold());
}
template <const ClassTag& Tag>
SQInteger fontIsItalic(HSQUIRRELVM v) {
    auto f = selfFont<Tag>(v);
    if (!f) return throwWrongParams(v);
    return pushBool(v, f->isItalic());
}
template <const ClassTag& Tag>
SQInteger fontGetWidth(HSQUIRRELVM v) {
    auto f = selfFont<Tag>(v);
    if (!f || !checkParams(v, "s")) return throwWrongParams(v);
    sq_pushinteger(v, SQInteger(f->getTextWidth(*getString(v, 2))));
    return 1;
}
template <const ClassTag& Tag>
SQInteger fontGetHeight(HSQUIRRELVM v) {
    auto f = selfFont<Tag>(v);
    if (!f || !checkParams(v, "s")) return throwWrongParams(v);
    sq_pushinteger(v, SQInteger(f->getTextHeight(*getString(v, 2))));
    return 1;
}

template <const ClassTag& Tag>
void bindFont(HSQUIRRELVM v, SQInteger table, std::u16string_view name, SQFUNCTION ctor) {
    ClassBuilder(v, table, name, Tag)
        .ctor(ctor)
        .method(u"getName", fontGetName<Tag>)
        .method(u"getSize", fontGetSize<Tag>)
        .method(u"isBold", fontIsBold<Tag>)
        .method(u"isItalic", fontIsItalic<Tag>)
        .method(u"getWidth", fontGetWidth<Tag>)
        .method(u"getHeight", fontGetHeight<Tag>)
        .done();
}

SQInteger registerFontNative(HSQUIRRELVM v) {
    if (argCount(v) != 1 || sq_gettype(v, 2) != OT_STRING) return pushBool(v, false);
    return pushBool(v, registerFontFile(*getString(v, 2)));
}

// --- functions -------------------------------------------------------------------------------

SQInteger clearScreen(HSQUIRRELVM v) {
    Color color = 0xFF000000;
    if (!g.screen || argCount(v) > 1 || !optColor(v, 2, color)) return pushBool(v, false);
    return pushBool(v, g.screen->clear(color));
}

SQInteger getScreenCanvas_(HSQUIRRELVM v) {
    if (!g.screen || !pushInstance<IImage>(v, canvasTag, g.screen)) sq_pushnull(v);
    return 1;
}

SQInteger getScreenWidth(HSQUIRRELVM v) {
    sq_pushinteger(v, g.context ? g.context->getScreenWidth() : 0);
    return 1;
}
SQInteger getScreenHeight(HSQUIRRELVM v) {
    sq_pushinteger(v, g.context ? g.context->getScreenHeight() : 0);
    return 1;
}
SQInteger changeScreenMode(HSQUIRRELVM v) {
    if (!g.context) return pushBool(v, false);
    uint32_t next = g.context->getScreenMode() == ScreenFull ? ScreenWindow : ScreenFull;
    return pushBool(v, g.context->setScreenMode(next));
}
SQInteger setScreenMode(HSQUIRRELVM v) {
    if (!g.context || argCount(v) != 1 || sq_gettype(v, 2) != OT_INTEGER) return pushBool(v, false);
    SQInteger mode = *getInt(v, 2);
    return pushBool(v, (mode == 1 || mode == 2) && g.context->setScreenMode(uint32_t(mode)));
}
SQInteger getScreenMode(HSQUIRRELVM v) {
    sq_pushinteger(v, g.context ? SQInteger(g.context->getScreenMode()) : 0);
    return 1;
}
SQInteger getDisplayWidth(HSQUIRRELVM v) {
    uint16_t w = 0, h = 0;
    getDisplaySize(w, h);
    sq_pushinteger(v, w);
    return 1;
}
SQInteger getDisplayHeight(HSQUIRRELVM v) {
    uint16_t w = 0, h = 0;
    getDisplaySize(w, h);
    sq_pushinteger(v, h);
    return 1;
}

// `image` (or its `source` part) scaled to w x h, written to `path` as PNG, JPEG or BMP by the
// name's extension.
bool saveImageFile(const String& path, IImage& image, int32_t w, int32_t h, const Rect* source) {
    ImageFileType type = imageFileType(path);
    if (type == ImageFileType::Unknown) return false;
    auto canvas = Canvas::create(g.context->getEngine(), uint16_t(w), uint16_t(h),
                                 g.context->getShaderCache());
    if (!canvas) return false;
    canvas->clear(0);
    canvas->begin();
    // Copied, not blended, so the file keeps the image's own colours and alpha.
    bool drawn = canvas->drawImage(image, source, Destination::rectangle({0, 0, w, h}), {}, nullptr,
                                   BlendNone, 0xFFFFFFFF);
    canvas->end();
    auto texture = canvas->getTexture();
    auto buffer = drawn && texture ? texture->lock() : nullptr;
    if (!buffer) return false;
    Bitmap bitmap{uint32_t(w), uint32_t(h), std::vector<uint8_t>(size_t(w) * h * 4)};
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(&bitmap.pixels[size_t(y) * w * 4], buffer->getRow(uint32_t(y)), size_t(w) * 4);
    texture->unlock();
    auto bytes = encodeImage(bitmap, type);
    return !bytes.empty() && writeFileBytes(path, bytes);
}

// saveImage(path, image [, width, height [, source]])
SQInteger saveImage(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    if (!g.context || (n != 2 && n != 4 && n != 5) || sq_gettype(v, 2) != OT_STRING)
        return pushBool(v, false);
    String path = *getString(v, 2);
    auto image = imageAt(v, 3);
    if (!image) return pushBool(v, false);
    int32_t w = image->getWidth(), h = image->getHeight();
    if (n >= 4) {
        if (!isNumber(v, 4) || !isNumber(v, 5)) return pushBool(v, false);
        w = *getInt(v, 4);
        h = *getInt(v, 5);
    }
    Rect source;
    bool hasSource = n == 5 && !isNull(v, 6);
    if ((hasSource && !readRect(v, 6, source)) || w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF)
        return pushBool(v, false);
    return pushBool(v, saveImageFile(path, *image, w, h, hasSource ? &source : nullptr));
}

void addEnumeration(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name,
                    std::initializer_list<std::pair<const char16_t*, SQInteger>> values) {
    pushNewTable(v, tableIdx, name);
    for (const auto& [key, value] : values) setValue(v, -1, key, value);
    sq_poptop(v);
}

template <const ClassTag& Tag>
void imageMembers(ClassBuilder& b) {
    b.method(u"getWidth", imageGetWidth<Tag>)
        .method(u"getHeight", imageGetHeight<Tag>)
        .method(u"getImageData", imageGetData<Tag>)
        .method(u"setImageData", imageSetData<Tag>);
}

} // namespace

bool GraphicsLibrary::load(HSQUIRRELVM v) {
    auto engine = createEngine(window_, width_, height_);
    g.context = Context::create(engine);
    if (g.context)
        g.screen = Canvas::create(engine, engine->getWidth(), engine->getHeight(),
                                  g.context->getShaderCache());
    if (!g.screen) {
        g = {};
        return false;
    }
    g.screen->clear(0xFF000000);

    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    push(v, u"Graphics");
    sq_newtable(v);
    SQInteger t = sq_gettop(v);

    ClassBuilder image(v, t, u"Image", imageTag);
    image.ctor(imageCtor);
    imageMembers<imageTag>(image);
    image.done();
    bindFont<fontTag>(v, t, u"Font", fontCtor);
    bindFont<fontGTag>(v, t, u"FontG", fontGCtor);

    ClassBuilder(v, t, u"Transform2D", transformTag)
        .ctor(transformCtor)
        .method(u"_cloned", transformCloned)
        .method(u"set", transformSet)
        .method(u"reset", transformReset)
        .method(u"translate", transformTranslate)
        .method(u"scale", transformScale)
        .method(u"rotate", transformRotate)
        .method(u"transform", transformTransform)
        .done();

    ClassBuilder canvas(v, t, u"Canvas", canvasTag);
    canvas.ctor(canvasCtor)
        .method(u"clear", canvasClear)
        .method(u"isReady", canvasIsReady)
        .method(u"begin", canvasBegin)
        .method(u"end", canvasEnd)
        .method(u"backup", canvasBackup)
        .method(u"clearBackup", canvasClearBackup)
        .method(u"drawImage", canvasDrawImage)
        .method(u"drawImageEx", canvasDrawImageEx)
        .method(u"drawPanel", canvasDrawPanel)
        .method(u"drawText", canvasDrawText)
        .method(u"drawLines", canvasDrawPoints<false>)
        .method(u"drawShape", canvasDrawPoints<true>)
        .method(u"drawCircle", canvasDrawCircle)
        .method(u"drawRectangle", canvasDrawRectangle)
        .method(u"drawImageT", canvasDrawImageT<false>)
        .method(u"drawPanelT", canvasDrawImageT<true>)
        .method(u"drawLinesT", canvasDrawPointsT<false>)
        .method(u"drawShapeT", canvasDrawPointsT<true>);
    imageMembers<canvasTag>(canvas);
    canvas.done();
    if (!registerWorld(v, t, g.context, imageTag, canvasTag)) {
        sq_settop(v, top);
        return false;
    }

    setFunction(v, t, u"clearScreen", clearScreen);
    setFunction(v, t, u"getScreenCanvas_", getScreenCanvas_);
    setFunction(v, t, u"getScreenWidth", getScreenWidth);
    setFunction(v, t, u"getScreenHeight", getScreenHeight);
    setFunction(v, t, u"changeScreenMode", changeScreenMode);
    setFunction(v, t, u"setScreenMode", setScreenMode);
    setFunction(v, t, u"getScreenMode", getScreenMode);
    setFunction(v, t, u"getDisplayWidth", getDisplayWidth);
    setFunction(v, t, u"getDisplayHeight", getDisplayHeight);
    setFunction(v, t, u"saveImage", saveImage);
    setFunction(v, t, u"registerFont", registerFontNative);
    registerVideo(v, t, g.context, mediaClock_);

    pushNewTable(v, t, u"Effect2D");
    SQInteger fx = sq_gettop(v);
    ClassBuilder(v, fx, u"Fill", fillTag).ctor(fillCtor).done();
    ClassBuilder(v, fx, u"Gray", grayTag).ctor(simpleEffectCtor<createGrayEffect>).done();
    ClassBuilder(v, fx, u"Nega", negaTag).ctor(simpleEffectCtor<createNegaEffect>).done();
    ClassBuilder(v, fx, u"Sepia", sepiaTag).ctor(simpleEffectCtor<createSepiaEffect>).done();
    ClassBuilder(v, fx, u"Alphamask", alphamaskTag)
        .ctor(alphamaskCtor)
        .method(u"setBlendRate", alphamaskSetRate)
        .method(u"getBlendRate", alphamaskGetRate)
        .done();
    sq_poptop(v);

    addEnumeration(v, t, u"Blend",
                   {{u"NONE", 0},
                    {u"NORMAL", 1},
                    {u"ADD", 2},
                    {u"SUB", 3},
                    {u"COLORCOPY", 4},
                    {u"ALPHACOPY", 5}});
    addEnumeration(v, t, u"Screen", {{u"NONE", 0}, {u"WINDOW", 1}, {u"FULL", 2}});
    addEnumeration(v, t, u"Paint", {{u"NONE", 0}, {u"LINE", 1}, {u"FILL", 2}});

    sq_newslot(v, -3, SQFalse);
    sq_settop(v, top);
    return runBuiltinScript(v, BuiltinScript::Graphics);
}

bool GraphicsLibrary::saveScreen(const std::u16string& path) {
    if (!g.context || !g.screen) return false;
    return saveImageFile(path, *g.screen, g.screen->getWidth(), g.screen->getHeight(), nullptr);
}

void GraphicsLibrary::unload(HSQUIRRELVM) {
    clearImageCache();
    g.screen.reset();
    g.context.reset();
}

void GraphicsLibrary::beginFrame(HSQUIRRELVM) {
    if (g.context) g.context->beginFrame();
}

void GraphicsLibrary::endFrame(HSQUIRRELVM) {
    if (!g.context || !g.screen) return;
    // Draws the script left pending show too.
    g.screen->renderer().flush();
    g.context->endFrame(g.screen->getTarget()->getTexture());
}

} // namespace KoScript
