#include "script/ScCollision.h"

#include "collision/IShape.h"
#include "script/bind/Bind.h"

#include <array>

namespace KoScript {
namespace {

using namespace KoScript;
using KoCollision::ICircle;
using KoCollision::ILine;
using KoCollision::IPoint;
using KoCollision::IRectangle;
using KoCollision::IShape;

// Every shape class derives from one hidden base, so intersects() can take any of them;
// all hold a std::shared_ptr<IShape>.
const ClassTag shapeTag{"Collision.Shape"};
const ClassTag pointTag{"Collision.Point"};
const ClassTag lineTag{"Collision.Line"};
const ClassTag rectangleTag{"Collision.Rectangle"};
const ClassTag circleTag{"Collision.Circle"};

// The N integers of a constructor's argument list in one form: a letter per argument, 'i'
// for a number, a digit d for an array whose first d elements are numbers (longer arrays
// are fine). False when the arguments are not in that form.
template <size_t N>
bool readForm(HSQUIRRELVM v, const char* form, std::array<SQInteger, N>& out) {
    SQInteger argc = argCount(v);
    SQInteger arg = 0;
    size_t n = 0;
    for (const char* f = form; *f; ++f) {
        ++arg;
        if (arg > argc) return false;
        SQInteger idx = arg + 1;
        if (*f == 'i') {
            if (!isNumber(v, idx) || n >= N) return false;
            out[n++] = *getInt(v, idx);
            continue;
        }
        SQInteger need = *f - '0';
        if (sq_gettype(v, idx) != OT_ARRAY || sq_getsize(v, idx) < need) return false;
        for (SQInteger i = 0; i < need; ++i) {
            sq_pushinteger(v, i);
            if (SQ_FAILED(sq_get(v, idx))) return false;
            bool ok = isNumber(v, -1) && n < N;
            if (ok) out[n++] = *getInt(v, -1);
            sq_poptop(v);
            if (!ok) return false;
        }
    }
    return arg == argc && n == N;
}

template <size_t N>
bool readForms(HSQUIRRELVM v, std::initializer_list<const char*> forms,
               std::array<SQInteger, N>& out) {
    for (const char* form : forms)
        if (readForm(v, form, out)) return true;
    return false;
}

SQInteger attach(HSQUIRRELVM v, std::shared_ptr<IShape> shape) {
    if (!shape) return throwScriptError(v, kCreateFailed);
    setInstance(v, 1, std::move(shape));
    return 0;
}

// A clone is a shape of its own with the same values.
SQInteger cloned(HSQUIRRELVM v) {
    if (auto original = getInstance<IShape>(v, 2, shapeTag)) setInstance(v, 1, original->clone());
    return 0;
}

SQInteger pointCtor(HSQUIRRELVM v) {
    std::array<SQInteger, 2> a;
    if (!readForms(v, {"ii", "2"}, a)) return throwWrongParams(v);
    return attach(v, KoCollision::createPoint(a[0], a[1]));
}

SQInteger lineCtor(HSQUIRRELVM v) {
    std::array<SQInteger, 4> a;
    if (!readForms(v, {"iiii", "22", "4"}, a)) return throwWrongParams(v);
    return attach(v, KoCollision::createLine(a[0], a[1], a[2], a[3]));
}

SQInteger rectangleCtor(HSQUIRRELVM v) {
    std::array<SQInteger, 4> a;
    if (!readForms(v, {"iiii", "22", "4"}, a)) return throwWrongParams(v);
    return attach(v, KoCollision::createRectangle(a[0], a[1], a[2], a[3]));
}

SQInteger circleCtor(HSQUIRRELVM v) {
    std::array<SQInteger, 3> a;
    if (!readForms(v, {"iii", "2i", "3"}, a)) return throwWrongParams(v);
    return attach(v, KoCollision::createCircle(a[0], a[1], a[2]));
}

// Property accessors over the shape kind S, reached with the cast As. An instance made
// without its constructor reads 0 and ignores writes.
template <class S, std::shared_ptr<S> (IShape::*As)()>
struct Access {
    static std::shared_ptr<S> get(HSQUIRRELVM v) {
        auto shape = getInstance<IShape>(v, 1, shapeTag);
        return shape ? ((*shape).*As)() : nullptr;
    }
    template <auto Getter>
    static SQInteger read(HSQUIRRELVM v) {
        auto s = get(v);
        push(v, SQInteger(s ? ((*s).*Getter)() : 0));
        return 1;
    }
    // The value is stored as given (a rectangle's left may pass its right); a negative
    // radius is refused by the circle itself and so ignored.
    template <auto Setter>
    static SQInteger write(HSQUIRRELVM v) {
        if (!isNumber(v, 2)) return throwWrongParams(v);
        if (auto s = get(v)) ((*s).*Setter)(*getInt(v, 2));
        return 0;
    }
};

SQInteger intersects(HSQUIRRELVM v) {
    if (argCount(v) != 2) return throwWrongParams(v);
    auto a = getInstance<IShape>(v, 2, shapeTag);
    auto b = getInstance<IShape>(v, 3, shapeTag);
    if (!a || !b) return throwWrongParams(v);
    push(v, KoCollision::intersects(*a, *b));
    return 1;
}

} // namespace

bool CollisionLibrary::load(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    // The base class is kept by the binding's registry only; scripts never name it.
    sq_newtable(v);
    ClassBuilder(v, -1, u"Shape", shapeTag).method(u"_cloned", cloned).done();
    sq_poptop(v);

    sq_pushroottable(v);
    push(v, u"Collision");
    sq_newtable(v);
    SQInteger table = sq_gettop(v);
    using P = Access<IPoint, &IShape::asPoint>;
    ClassBuilder(v, table, u"Point", pointTag, &shapeTag)
        .ctor(pointCtor)
        .property(u"x", P::read<&IPoint::getX>, P::write<&IPoint::setX>)
        .property(u"y", P::read<&IPoint::getY>, P::write<&IPoint::setY>)
        .done();
    using L = Access<ILine, &IShape::asLine>;
    ClassBuilder(v, table, u"Line", lineTag, &shapeTag)
        .ctor(lineCtor)
        .property(u"sx", L::read<&ILine::getSX>, L::write<&ILine::setSX>)
        .property(u"sy", L::read<&ILine::getSY>, L::write<&ILine::setSY>)
        .property(u"ex", L::read<&ILine::getEX>, L::write<&ILine::setEX>)
        .property(u"ey", L::read<&ILine::getEY>, L::write<&ILine::setEY>)
        .done();
    using R = Access<IRectangle, &IShape::asRectangle>;
    ClassBuilder(v, table, u"Rectangle", rectangleTag, &shapeTag)
        .ctor(rectangleCtor)
        .property(u"left", R::read<&IRectangle::getLeft>, R::write<&IRectangle::setLeft>)
        .property(u"top", R::read<&IRectangle::getTop>, R::write<&IRectangle::setTop>)
        .property(u"right", R::read<&IRectangle::getRight>, R::write<&IRectangle::setRight>)
        .property(u"bottom", R::read<&IRectangle::getBottom>, R::write<&IRectangle::setBottom>)
        .done();
    using C = Access<ICircle, &IShape::asCircle>;
    ClassBuilder(v, table, u"Circle", circleTag, &shapeTag)
        .ctor(circleCtor)
        .property(u"x", C::read<&ICircle::getX>, C::write<&ICircle::setX>)
        .property(u"y", C::read<&ICircle::getY>, C::write<&ICircle::setY>)
        .property(u"radius", C::read<&ICircle::getRadius>, C::write<&ICircle::setRadius>)
        .done();
    setFunction(v, table, u"intersects", intersects);
    bool bound = SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse));
    sq_settop(v, top);
    return bound;
}

} // namespace KoScript
