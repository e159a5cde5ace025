#include "script/ScWorld.h"

#include "graphics/Canvas.h"
#include "graphics/Context.h"
#include "graphics/IImage.h"
#include "graphics/world/World.h"
#include "io/Utf.h"

#include <algorithm>
#include <cstdio>

namespace KoScript {
namespace {

using namespace KoGraphics;

struct State {
    std::weak_ptr<Context> context;
    const ClassTag* imageTag = nullptr;
    const ClassTag* canvasTag = nullptr;
};
State g;

const ClassTag worldTag{"Graphics.World"};
const ClassTag actorTag{"Graphics.Actor"};
const ClassTag cameraTag{"Graphics.Camera"};
const ClassTag fogTag{"Graphics.Effect3D.Fog"};

constexpr std::u16string_view kParamInvalid =
    u"parameter invalid. request [a, r, g, b] or [r, g, b]";
constexpr std::u16string_view kModelLoadFailed = u"モデルファイル '%s' の読み込みに失敗しました。";

// --- values ----------------------------------------------------------------------------------

bool numberAt(HSQUIRRELVM v, SQInteger arr, SQInteger i, float& out) {
    sq_pushinteger(v, i);
    if (SQ_FAILED(sq_rawget(v, arr))) return false;
    auto f = isNumber(v, -1) ? getFloat(v, -1) : std::nullopt;
    sq_poptop(v);
    if (!f) return false;
    out = float(*f);
    return true;
}

bool readVector(HSQUIRRELVM v, SQInteger idx, Vector3& out) {
    if (sq_gettype(v, idx) != OT_ARRAY || sq_getsize(v, idx) != 3) return false;
    Vector3 r;
    for (SQInteger i = 0; i < 3; ++i)
        if (!numberAt(v, idx, i, r[size_t(i)])) return false;
    out = r;
    return true;
}

SQInteger pushVector(HSQUIRRELVM v, const Vector3& p) {
    sq_newarray(v, 0);
    for (float f : p) {
        push(v, SQFloat(f));
        sq_arrayappend(v, -2);
    }
    return 1;
}

uint32_t byte(float f) {
    return uint32_t(std::clamp(int64_t(f), int64_t(0), int64_t(255)));
}

// [a], [r, g, b] or [a, r, g, b]; `lengths` is a bit set of the accepted lengths.
bool readColor(HSQUIRRELVM v, SQInteger idx, Color& out, uint32_t lengths = 0b11010) {
    if (sq_gettype(v, idx) != OT_ARRAY) return false;
    SQInteger n = sq_getsize(v, idx);
    if (n < 1 || n > 4 || !(lengths >> n & 1)) return false;
    float c[4];
    for (SQInteger i = 0; i < n; ++i)
        if (!numberAt(v, idx, i, c[i])) return false;
    if (n == 1) out = makeColor(byte(c[0]), 255, 255, 255);
    if (n == 3) out = makeColor(255, byte(c[0]), byte(c[1]), byte(c[2]));
    if (n == 4) out = makeColor(byte(c[0]), byte(c[1]), byte(c[2]), byte(c[3]));
    return true;
}

SQInteger pushColor(HSQUIRRELVM v, Color c) {
    sq_newarray(v, 0);
    for (uint32_t x : {alphaOf(c), redOf(c), greenOf(c), blueOf(c)}) {
        push(v, SQInteger(x));
        sq_arrayappend(v, -2);
    }
    return 1;
}

SQInteger pushBool(HSQUIRRELVM v, bool b) {
    push(v, b);
    return 1;
}

// (x, y, z) or ([x, y, z]); false when an array cannot be read as three numbers.
SQInteger setVector(HSQUIRRELVM v, Vector3& out) {
    SQInteger n = argCount(v);
    if (n == 1) return pushBool(v, readVector(v, 2, out));
    if (n != 3 || !isNumber(v, 2) || !isNumber(v, 3) || !isNumber(v, 4)) return throwWrongParams(v);
    out = {float(*getFloat(v, 2)), float(*getFloat(v, 3)), float(*getFloat(v, 4))};
    return pushBool(v, true);
}

// --- Graphics.Camera -------------------------------------------------------------------------

std::shared_ptr<Camera> selfCamera(HSQUIRRELVM v) {
    return getInstance<Camera>(v, 1, cameraTag);
}

SQInteger cameraCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto cam = std::make_shared<Camera>();
    if (auto context = g.context.lock())
        if (context->getScreenHeight())
            cam->aspect = float(context->getScreenWidth()) / float(context->getScreenHeight());
    setInstance(v, 1, std::move(cam));
    return 0;
}

template <Vector3 Camera::*Field>
SQInteger cameraSetVector(HSQUIRRELVM v) {
    auto c = selfCamera(v);
    if (!c) return throwWrongParams(v);
    return setVector(v, (*c).*Field);
}
template <Vector3 Camera::*Field>
SQInteger cameraGetVector(HSQUIRRELVM v) {
    auto c = selfCamera(v);
    if (!c || argCount(v) != 0) return throwWrongParams(v);
    return pushVector(v, (*c).*Field);
}
template <float Camera::*Field>
SQInteger cameraSetFloat(HSQUIRRELVM v) {
    auto c = selfCamera(v);
    if (!c || argCount(v) != 1 || !isNumber(v, 2)) return throwWrongParams(v);
    (*c).*Field = float(*getFloat(v, 2));
    return pushBool(v, true);
}
template <float Camera::*Field>
SQInteger cameraGetFloat(HSQUIRRELVM v) {
    auto c = selfCamera(v);
    if (!c || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQFloat((*c).*Field));
    return 1;
}
// setAspect(a) or setAspect(width, height).
SQInteger cameraSetAspect(HSQUIRRELVM v) {
    auto c = selfCamera(v);
    SQInteger n = argCount(v);
    if (!c || n < 1 || n > 2 || !isNumber(v, 2) || (n == 2 && !isNumber(v, 3)))
        return throwWrongParams(v);
    if (n == 1)
        c->aspect = float(*getFloat(v, 2));
    else
        c->aspect = float(*getInt(v, 2)) / float(*getInt(v, 3));
    return pushBool(v, true);
}

// --- Graphics.Effect3D.Fog -------------------------------------------------------------------

std::shared_ptr<FogEffect3d> fogAt(HSQUIRRELVM v, SQInteger idx) {
    return std::dynamic_pointer_cast<FogEffect3d>(getInstance<IEffect3d>(v, idx, fogTag));
}

SQInteger fogCtor(HSQUIRRELVM v) {
    if (argCount(v) != 3 || !isNumber(v, 3) || !isNumber(v, 4)) return throwWrongParams(v);
    auto fog = std::make_shared<FogEffect3d>();
    if (!readColor(v, 2, fog->color, 0b11000)) return throwScriptError(v, kParamInvalid);
    fog->nearZ = float(*getFloat(v, 3));
    fog->farZ = float(*getFloat(v, 4));
    setInstance<IEffect3d>(v, 1, std::move(fog));
    return 0;
}
SQInteger fogSetColor(HSQUIRRELVM v) {
    auto f = fogAt(v, 1);
    if (!f || argCount(v) != 1) return throwWrongParams(v);
    return pushBool(v, readColor(v, 2, f->color, 0b11000));
}
SQInteger fogGetColor(HSQUIRRELVM v) {
    auto f = fogAt(v, 1);
    if (!f || argCount(v) != 0) return throwWrongParams(v);
    return pushColor(v, f->color);
}
template <float FogEffect3d::*Field>
SQInteger fogSetFloat(HSQUIRRELVM v) {
    auto f = fogAt(v, 1);
    if (!f || argCount(v) != 1 || !isNumber(v, 2)) return throwWrongParams(v);
    (*f).*Field = float(*getFloat(v, 2));
    return pushBool(v, true);
}
template <float FogEffect3d::*Field>
SQInteger fogGetFloat(HSQUIRRELVM v) {
    auto f = fogAt(v, 1);
    if (!f || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQFloat((*f).*Field));
    return 1;
}

// --- Graphics.Actor --------------------------------------------------------------------------

std::shared_ptr<Actor> selfActor(HSQUIRRELVM v) {
    return getInstance<Actor>(v, 1, actorTag);
}

// Actors come from World.createActor only.
SQInteger actorCtor(HSQUIRRELVM v) {
    return throwScriptError(v, kCreateFailed);
}

SQInteger actorRelease(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 0) return throwWrongParams(v);
    a->released = true;
    return 0;
}

template <bool Actor::*Field>
SQInteger actorSetFlag(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 1 || sq_gettype(v, 2) != OT_BOOL) return throwWrongParams(v);
    (*a).*Field = *getBool(v, 2);
    return pushBool(v, true);
}
template <bool Actor::*Field>
SQInteger actorGetFlag(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 0) return throwWrongParams(v);
    return pushBool(v, (*a).*Field);
}
SQInteger actorSetPriority(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 1 || !isNumber(v, 2)) return throwWrongParams(v);
    a->priority = int32_t(*getInt(v, 2));
    return pushBool(v, true);
}
SQInteger actorGetPriority(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQInteger(a->priority));
    return 1;
}
template <Vector3 Actor::*Field>
SQInteger actorSetVector(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a) return throwWrongParams(v);
    return setVector(v, (*a).*Field);
}
template <Vector3 Actor::*Field>
SQInteger actorGetVector(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 0) return throwWrongParams(v);
    return pushVector(v, (*a).*Field);
}

// The actor's subset named by argument 2; null when there is no such subset.
Subset* subsetArg(HSQUIRRELVM v, Actor& a) {
    auto i = isNumber(v, 2) ? getInt(v, 2) : std::nullopt;
    if (!i || *i < 0 || size_t(*i) >= a.model().subsets.size()) return nullptr;
    return &a.model().subsets[size_t(*i)];
}

template <Color Subset::*Field>
SQInteger actorSetColor(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 2) return throwWrongParams(v);
    Subset* s = subsetArg(v, *a);
    Color c;
    if (!s || !readColor(v, 3, c)) return pushBool(v, false);
    (*s).*Field = c;
    return pushBool(v, true);
}
template <Color Subset::*Field>
SQInteger actorGetColor(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 1) return throwWrongParams(v);
    Subset* s = subsetArg(v, *a);
    if (!s) {
        sq_pushnull(v);
        return 1;
    }
    return pushColor(v, (*s).*Field);
}
SQInteger actorSetPower(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 2 || !isNumber(v, 3)) return throwWrongParams(v);
    Subset* s = subsetArg(v, *a);
    if (!s) return pushBool(v, false);
    s->power = float(*getFloat(v, 3));
    return pushBool(v, true);
}
SQInteger actorGetPower(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 1) return throwWrongParams(v);
    Subset* s = subsetArg(v, *a);
    if (!s) {
        sq_pushnull(v);
        return 1;
    }
    push(v, SQFloat(s->power));
    return 1;
}
// setTexture(subset, stage, image or null).
SQInteger actorSetTexture(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 3 || !isNumber(v, 3)) return throwWrongParams(v);
    std::shared_ptr<IImage> image;
    if (sq_gettype(v, 4) != OT_NULL) {
        image = getInstance<IImage>(v, 4, *g.imageTag);
        if (!image) image = getInstance<IImage>(v, 4, *g.canvasTag);
        if (!image) return throwWrongParams(v);
    }
    Subset* s = subsetArg(v, *a);
    SQInteger stage = *getInt(v, 3);
    if (!s || stage < 0 || stage > 3) return pushBool(v, false);
    s->textures[size_t(stage)] = image ? image->getTexture() : nullptr;
    return pushBool(v, true);
}
// setEffect(subset, effect or null): null goes back to the plain lighting.
SQInteger actorSetEffect(HSQUIRRELVM v) {
    auto a = selfActor(v);
    if (!a || argCount(v) != 2) return throwWrongParams(v);
    std::shared_ptr<IEffect3d> effect;
    if (sq_gettype(v, 3) != OT_NULL && !(effect = getInstance<IEffect3d>(v, 3, fogTag)))
        return throwWrongParams(v);
    Subset* s = subsetArg(v, *a);
    if (!s) return pushBool(v, false);
    s->effect = std::move(effect);
    return pushBool(v, true);
}

// --- Graphics.World --------------------------------------------------------------------------

SQInteger worldCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    setInstance(v, 1, std::make_shared<World>());
    return 0;
}

SQInteger worldCreateActor(HSQUIRRELVM v) {
    auto w = getInstance<World>(v, 1, worldTag);
    if (!w || argCount(v) != 1 || sq_gettype(v, 2) != OT_STRING) return throwWrongParams(v);
    String path = *getString(v, 2);
    auto context = g.context.lock();
    std::shared_ptr<Actor> actor;
    ModelError refused = ModelError::None;
    if (context) actor = w->createActor(*context->getEngine(), path, &refused);
    // The script sees null either way; a refused file says so where a developer looks.
    if (refused != ModelError::None)
        std::fprintf(stderr, "%s\n", KoIO::toUtf8(format(kModelLoadFailed, {path})).c_str());
    if (!actor || !pushInstance(v, actorTag, actor)) sq_pushnull(v);
    return 1;
}

// --- Canvas.drawWorld ------------------------------------------------------------------------

SQInteger canvasDrawWorld(HSQUIRRELVM v) {
    auto canvas = std::dynamic_pointer_cast<Canvas>(getInstance<IImage>(v, 1, *g.canvasTag));
    if (!canvas || argCount(v) != 2) return throwWrongParams(v);
    auto world = getInstance<World>(v, 2, worldTag);
    auto camera = getInstance<Camera>(v, 3, cameraTag);
    if ((!world && sq_gettype(v, 2) != OT_NULL) || !camera) return throwWrongParams(v);
    return pushBool(v, world && drawWorld(*canvas, *world, *camera) >= 0);
}

} // namespace

bool registerWorld(HSQUIRRELVM v, SQInteger t, std::shared_ptr<Context> context,
                   const ClassTag& imageTag, const ClassTag& canvasTag) {
    t = absIndex(v, t);
    clearModelCache();
    g.context = context;
    g.imageTag = &imageTag;
    g.canvasTag = &canvasTag;

    ClassBuilder(v, t, u"Camera", cameraTag)
        .ctor(cameraCtor)
        .method(u"setPosition", cameraSetVector<&Camera::position>)
        .method(u"getPosition", cameraGetVector<&Camera::position>)
        .method(u"setLook", cameraSetVector<&Camera::look>)
        .method(u"getLook", cameraGetVector<&Camera::look>)
        .method(u"setUp", cameraSetVector<&Camera::up>)
        .method(u"getUp", cameraGetVector<&Camera::up>)
        .method(u"setFov", cameraSetFloat<&Camera::fov>)
        .method(u"getFov", cameraGetFloat<&Camera::fov>)
        .method(u"setAspect", cameraSetAspect)
        .method(u"getAspect", cameraGetFloat<&Camera::aspect>)
        .method(u"setNear", cameraSetFloat<&Camera::nearZ>)
        .method(u"getNear", cameraGetFloat<&Camera::nearZ>)
        .method(u"setFar", cameraSetFloat<&Camera::farZ>)
        .method(u"getFar", cameraGetFloat<&Camera::farZ>)
        .done();

    ClassBuilder(v, t, u"Actor", actorTag)
        .ctor(actorCtor)
        .method(u"release", actorRelease)
        .method(u"isReleased", actorGetFlag<&Actor::released>)
        .method(u"setVisible", actorSetFlag<&Actor::visible>)
        .method(u"isVisible", actorGetFlag<&Actor::visible>)
        .method(u"setClipping", actorSetFlag<&Actor::clipping>)
        .method(u"isClipping", actorGetFlag<&Actor::clipping>)
        .method(u"setPriority", actorSetPriority)
        .method(u"getPriority", actorGetPriority)
        .method(u"setPosition", actorSetVector<&Actor::position>)
        .method(u"getPosition", actorGetVector<&Actor::position>)
        .method(u"setRotation", actorSetVector<&Actor::rotation>)
        .method(u"getRotation", actorGetVector<&Actor::rotation>)
        .method(u"setScale", actorSetVector<&Actor::scale>)
        .method(u"getScale", actorGetVector<&Actor::scale>)
        .method(u"setDiffuse", actorSetColor<&Subset::diffuse>)
        .method(u"getDiffuse", actorGetColor<&Subset::diffuse>)
        .method(u"setAmbient", actorSetColor<&Subset::ambient>)
        .method(u"getAmbient", actorGetColor<&Subset::ambient>)
        .method(u"setSpecular", actorSetColor<&Subset::specular>)
        .method(u"getSpecular", actorGetColor<&Subset::specular>)
        .method(u"setEmissive", actorSetColor<&Subset::emissive>)
        .method(u"getEmissive", actorGetColor<&Subset::emissive>)
        .method(u"setPower", actorSetPower)
        .method(u"getPower", actorGetPower)
        .method(u"setTexture", actorSetTexture)
        .method(u"setEffect", actorSetEffect)
        .done();

    ClassBuilder(v, t, u"World", worldTag)
        .ctor(worldCtor)
        .method(u"createActor", worldCreateActor)
        .done();

    pushNewTable(v, t, u"Effect3D");
    ClassBuilder(v, -1, u"Fog", fogTag)
        .ctor(fogCtor)
        .method(u"setColor", fogSetColor)
        .method(u"getColor", fogGetColor)
        .method(u"setNear", fogSetFloat<&FogEffect3d::nearZ>)
        .method(u"getNear", fogGetFloat<&FogEffect3d::nearZ>)
        .method(u"setFar", fogSetFloat<&FogEffect3d::farZ>)
        .method(u"getFar", fogGetFloat<&FogEffect3d::farZ>)
        .done();
    sq_poptop(v);

    if (!pushClass(v, canvasTag)) return false;
    setFunction(v, -1, u"drawWorld", canvasDrawWorld);
    sq_poptop(v);
    return true;
}

} // namespace KoScript
