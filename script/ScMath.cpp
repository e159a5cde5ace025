#include "script/ScMath.h"

#include "script/Run.h"
#include "script/bind/Bind.h"

#include <ctime>

namespace KoScript {

namespace MathCore {

float toRadian(float deg) {
    return float(double(deg) * 0.01745329238474369);
}

float toDegree(float rad) {
    return float(double(rad) * 57.2957763671875);
}

int32_t scaleInt(uint32_t u, int32_t min, int32_t max) {
    double v = double(min) + (double(max) - double(min) + 1.0) * double(u) / 4294967296.0;
    return v < double(max) ? int32_t(v) : max;
}

float scaleFloat(uint32_t u, float min, float max) {
    float r = float(double(u) / (4294967296.0 + 1.0));
    return float(double(min) + (double(max) - double(min)) * double(r));
}

std::optional<Bezier::Point> Bezier::get(float t) {
    if (points_.empty()) return std::nullopt;
    scratch_ = points_;
    size_t n = scratch_.size();
    for (size_t level = 1; level < n; ++level) {
        for (size_t k = 0; k < n - level; ++k) {
            Point& p = scratch_[k];
            const Point& q = scratch_[k + 1];
            p.first = p.first + (q.first - p.first) * t;
            p.second = p.second + (q.second - p.second) * t;
        }
    }
    return scratch_[0];
}

} // namespace MathCore

namespace {

using namespace KoScript;
using MathCore::Bezier;
using MathCore::Random;

const ClassTag randomTag{"Math.Random"};
const ClassTag bezierTag{"Math.Bezier"};

// --- Math.Random -----------------------------------------------------------------------------

SQInteger randomCtor(HSQUIRRELVM v) {
    uint32_t seed;
    if (argCount(v) == 0)
        seed = uint32_t(std::time(nullptr));
    else if (checkParams(v, "i"))
        seed = uint32_t(*getInt(v, 2));
    else
        return throwWrongParams(v);
    setInstance(v, 1, std::make_shared<Random>(seed));
    return 0;
}

// A clone continues the same sequence from where the original stands.
SQInteger randomCloned(HSQUIRRELVM v) {
    if (auto original = getInstance<Random>(v, 2, randomTag))
        setInstance(v, 1, std::make_shared<Random>(*original));
    return 0;
}

std::shared_ptr<Random> selfRandom(HSQUIRRELVM v) {
    return getInstance<Random>(v, 1, randomTag);
}

SQInteger randomGetSeed(HSQUIRRELVM v) {
    auto r = selfRandom(v);
    if (!r) return throwWrongParams(v);
    push(v, SQInteger(r->seed));
    return 1;
}

// nextInt(), nextInt(max), nextInt(min, max)
template <int Args>
SQInteger randomNextInt(HSQUIRRELVM v) {
    auto r = selfRandom(v);
    if (!r || !checkParams(v, Args == 0 ? "" : Args == 1 ? "i" : "ii")) return throwWrongParams(v);
    SQInteger min = 0, max = 2147483647;
    if (Args == 1) max = *getInt(v, 2);
    if (Args == 2) min = *getInt(v, 2), max = *getInt(v, 3);
    push(v, SQInteger(r->nextInt(min, max)));
    return 1;
}

template <int Args>
SQInteger randomNextFloat(HSQUIRRELVM v) {
    auto r = selfRandom(v);
    if (!r || !checkParams(v, Args == 0 ? "" : Args == 1 ? "f" : "ff")) return throwWrongParams(v);
    SQFloat min = 0, max = 1;
    if (Args == 1) max = *getFloat(v, 2);
    if (Args == 2) min = *getFloat(v, 2), max = *getFloat(v, 3);
    push(v, r->nextFloat(min, max));
    return 1;
}

// --- Math.Bezier -----------------------------------------------------------------------------

// The first two elements of the array at idx as numbers.
bool readPoint(HSQUIRRELVM v, SQInteger idx, Bezier::Point& out) {
    if (sq_getsize(v, idx) < 2) return false;
    float xy[2];
    for (SQInteger i = 0; i < 2; ++i) {
        sq_pushinteger(v, i);
        if (SQ_FAILED(sq_get(v, idx))) return false;
        auto f = isNumber(v, -1) ? getFloat(v, -1) : std::nullopt;
        sq_poptop(v);
        if (!f) return false;
        xy[i] = *f;
    }
    out = {xy[0], xy[1]};
    return true;
}

SQInteger bezierCtor(HSQUIRRELVM v) {
    if (!checkParams(v, "a")) return throwWrongParams(v);
    std::vector<Bezier::Point> points;
    SQInteger n = sq_getsize(v, 2);
    for (SQInteger i = 0; i < n; ++i) {
        sq_pushinteger(v, i);
        sq_get(v, 2);
        Bezier::Point p;
        bool isArray = sq_gettype(v, -1) == OT_ARRAY;
        bool ok = isArray && readPoint(v, absIndex(v, -1), p);
        sq_poptop(v);
        if (!isArray) return throwWrongParams(v);
        if (!ok) return throwScriptError(v, kCreateFailed); // a point without two numbers
        points.push_back(p);
    }
    setInstance(v, 1, std::make_shared<Bezier>(std::move(points)));
    return 0;
}

SQInteger bezierCloned(HSQUIRRELVM v) {
    if (auto original = getInstance<Bezier>(v, 2, bezierTag))
        setInstance(v, 1, std::make_shared<Bezier>(*original));
    return 0;
}

// [x, y] at t; null for a curve without points.
SQInteger bezierGet(HSQUIRRELVM v) {
    auto b = getInstance<Bezier>(v, 1, bezierTag);
    if (!b || !checkParams(v, "f")) return throwWrongParams(v);
    auto p = b->get(*getFloat(v, 2));
    if (!p) {
        sq_pushnull(v);
        return 1;
    }
    sq_newarray(v, 0);
    push(v, p->first);
    sq_arrayappend(v, -2);
    push(v, p->second);
    sq_arrayappend(v, -2);
    return 1;
}

// --- angles ----------------------------------------------------------------------------------

template <float (*convert)(float)>
SQInteger angle(HSQUIRRELVM v) {
    auto f = argCount(v) == 1 ? getFloat(v, 2) : std::nullopt;
    if (!f) return throwWrongParams(v);
    push(v, convert(*f));
    return 1;
}

} // namespace

bool MathLibrary::load(HSQUIRRELVM v) {
    sq_pushroottable(v);
    SQInteger root = sq_gettop(v);
    sq_newtable(v);
    SQInteger math = sq_gettop(v);
    ClassBuilder(v, math, u"Random", randomTag)
        .ctor(randomCtor)
        .method(u"_cloned", randomCloned)
        .method(u"getSeed", randomGetSeed)
        .overloads(u"nextInt",
                   {{0, randomNextInt<0>}, {1, randomNextInt<1>}, {2, randomNextInt<2>}})
        .overloads(u"nextFloat",
                   {{0, randomNextFloat<0>}, {1, randomNextFloat<1>}, {2, randomNextFloat<2>}})
        .done();
    ClassBuilder(v, math, u"Bezier", bezierTag)
        .ctor(bezierCtor)
        .method(u"_cloned", bezierCloned)
        .method(u"get", bezierGet)
        .done();
    setFunction(v, math, u"toRadian", angle<MathCore::toRadian>);
    setFunction(v, math, u"toDegree", angle<MathCore::toDegree>);
    push(v, u"Math");
    sq_push(v, math);
    sq_newslot(v, root, SQFalse);
    sq_settop(v, root - 1);
    return runBuiltinScript(v, BuiltinScript::Math);
}

} // namespace KoScript
