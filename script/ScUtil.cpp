#include "script/ScUtil.h"

#include "script/Run.h"
#include "script/bind/Bind.h"
#include "timer/ITimer.h"

#include <cmath>
#include <cstdio>
#include <set>

namespace KoScript {

namespace UtilText {

std::u16string floatLiteral(float f) {
    if (std::isnan(f)) return u"(0.0/0.0)";
    if (std::isinf(f)) return f > 0 ? u"1e+39" : u"-1e+39"; // beyond float range: reads as inf
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14g", double(f));
    std::u16string text = KoScript::fromAscii(buf);
    // An integral value out of integer range would read back as a wrapped integer.
    if (text.find_first_of(u".e") == std::u16string::npos && std::fabs(double(f)) >= 2147483648.0)
        text += u".0";
    return text;
}

std::u16string stringLiteral(std::u16string_view s) {
    std::u16string text;
    text.reserve(s.size() + 2);
    text += u'"';
    for (char16_t c : s) {
        switch (c) {
        case u'"':
            text += u"\\\"";
            break;
        case u'\n':
            text += u"\\n";
            break;
        case u'\\':
            text += u"\\\\";
            break;
        default:
            text += c;
        }
    }
    text += u'"';
    return text;
}

} // namespace UtilText

int32_t loopCounterStep(int32_t value, int32_t min, int32_t max, int32_t step) {
    if (step == 0) return value;
    int64_t dir = step > 0 ? 1 : -1;
    int64_t moves = step > 0 ? int64_t(step) : -int64_t(step);
    // The first move brings any value (even one set out of range) into [min, max]; from
    // there the moves cycle through the range with period max - min + 1.
    int64_t v = int64_t(value) + dir;
    if (v < min)
        v = max;
    else if (v > max)
        v = min;
    int64_t n = int64_t(max) - min + 1;
    int64_t pos = ((v - min + dir * ((moves - 1) % n)) % n + n) % n;
    return int32_t(min + pos);
}

namespace {

using namespace KoScript;
using KoTimer::IClock;
using KoTimer::IFps;
using KoTimer::ITimer;

const ClassTag timerTag{"Util.Timer"};
const ClassTag fpsTag{"Util.Fps"};

// The library's clock lives in the registry, owned by a userdata, so the constructors find it
// even after the library object is gone.
constexpr std::u16string_view kClockKey = u"KoScript.Util.clock";

SQInteger releaseClock(SQUserPointer p, SQInteger) {
    delete *static_cast<std::shared_ptr<IClock>**>(p);
    return 1;
}

void storeClock(HSQUIRRELVM v, std::shared_ptr<IClock> clock) {
    sq_pushregistrytable(v);
    push(v, kClockKey);
    auto* slot = static_cast<std::shared_ptr<IClock>**>(sq_newuserdata(v, sizeof(void*)));
    *slot = new std::shared_ptr<IClock>(std::move(clock));
    sq_setreleasehook(v, -1, releaseClock);
    sq_newslot(v, -3, SQFalse);
    sq_poptop(v);
}

std::shared_ptr<IClock> fetchClock(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    std::shared_ptr<IClock> clock;
    sq_pushregistrytable(v);
    push(v, kClockKey);
    SQUserPointer p = nullptr;
    if (SQ_SUCCEEDED(sq_get(v, -2)) && SQ_SUCCEEDED(sq_getuserdata(v, -1, &p, nullptr)) && p)
        clock = **static_cast<std::shared_ptr<IClock>**>(p);
    sq_settop(v, top);
    return clock ? clock : KoTimer::systemClock();
}

// --- Util.Timer ------------------------------------------------------------------------------

SQInteger timerCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto timer = KoTimer::createTimer(fetchClock(v));
    if (!timer) return throwScriptError(v, kCreateFailed);
    setInstance(v, 1, timer);
    return 0;
}

// A clone reads the same and runs (or stands) on its own.
SQInteger timerCloned(HSQUIRRELVM v) {
    auto original = getInstance<ITimer>(v, 2, timerTag);
    if (!original) return 0;
    auto timer = KoTimer::createTimer(fetchClock(v));
    timer->set(original->get());
    if (original->isStopped()) timer->stop();
    setInstance(v, 1, timer);
    return 0;
}

template <class T>
std::shared_ptr<T> self(HSQUIRRELVM v, const ClassTag& tag) {
    return getInstance<T>(v, 1, tag);
}

SQInteger timerSet(HSQUIRRELVM v) {
    auto t = self<ITimer>(v, timerTag);
    auto ms = argCount(v) == 1 ? getInt(v, 2) : std::nullopt;
    if (!t || !ms) return throwWrongParams(v);
    t->set(uint32_t(*ms));
    return 0;
}

SQInteger timerGet(HSQUIRRELVM v) {
    auto t = self<ITimer>(v, timerTag);
    if (!t) return throwWrongParams(v);
    push(v, SQInteger(t->get()));
    return 1;
}

template <bool (ITimer::*op)()>
SQInteger timerOp(HSQUIRRELVM v) {
    auto t = self<ITimer>(v, timerTag);
    if (!t) return throwWrongParams(v);
    ((*t).*op)();
    return 0;
}

SQInteger timerIsStopped(HSQUIRRELVM v) {
    auto t = self<ITimer>(v, timerTag);
    if (!t) return throwWrongParams(v);
    push(v, t->isStopped());
    return 1;
}

// --- Util.Fps --------------------------------------------------------------------------------

SQInteger fpsCtor(HSQUIRRELVM v) {
    if (!checkParams(v, "i")) return throwWrongParams(v);
    auto fps = KoTimer::createFps(uint32_t(*getInt(v, 2)), fetchClock(v));
    if (!fps) return throwScriptError(v, kCreateFailed);
    setInstance(v, 1, fps);
    return 0;
}

// A clone keeps the target and starts a cycle of its own.
SQInteger fpsCloned(HSQUIRRELVM v) {
    if (auto original = getInstance<IFps>(v, 2, fpsTag))
        setInstance(v, 1, KoTimer::createFps(original->getFps(), fetchClock(v)));
    return 0;
}

SQInteger fpsSetFps(HSQUIRRELVM v) {
    auto f = self<IFps>(v, fpsTag);
    if (!f || !checkParams(v, "i")) return throwWrongParams(v);
    f->setFps(uint32_t(*getInt(v, 2)));
    return 0;
}

SQInteger fpsGetFps(HSQUIRRELVM v) {
    auto f = self<IFps>(v, fpsTag);
    if (!f) return throwWrongParams(v);
    push(v, SQInteger(f->getFps()));
    return 1;
}

SQInteger fpsWait(HSQUIRRELVM v) {
    auto f = self<IFps>(v, fpsTag);
    if (!f) return throwWrongParams(v);
    push(v, f->wait());
    return 1;
}

// --- Util.serialize_ -------------------------------------------------------------------------

// Writes the value at idx as script source. Containers met again while still being written
// would recurse without end, so they are refused, as are values with no literal form.
class LiteralWriter {
public:
    explicit LiteralWriter(HSQUIRRELVM v) : v_(v) {}
    bool write(SQInteger idx, int depth = 0);
    String text;
    String error;

private:
    bool fail(std::u16string_view message) {
        if (error.empty()) error = message;
        return false;
    }
    bool writeKey(SQInteger idx);
    HSQUIRRELVM v_;
    std::set<const void*> open_;
};

constexpr int kMaxDepth = 1000;

String typeName(HSQUIRRELVM v, SQInteger idx) {
    String name = u"?";
    if (SQ_SUCCEEDED(sq_typeof(v, idx))) {
        if (auto s = getString(v, -1)) name = *s;
        sq_poptop(v);
    }
    return name;
}

bool LiteralWriter::writeKey(SQInteger idx) {
    switch (sq_gettype(v_, idx)) {
    case OT_STRING:
        text += UtilText::stringLiteral(*getString(v_, idx));
        text += u':';
        return true;
    case OT_INTEGER:
    case OT_FLOAT:
    case OT_BOOL:
        text += u'[';
        write(idx);
        text += u"]=";
        return true;
    default:
        return fail(format(u"Util.serialize_: a table key of type '%s' cannot be written",
                           {typeName(v_, idx)}));
    }
}

bool LiteralWriter::write(SQInteger idx, int depth) {
    idx = absIndex(v_, idx);
    SQObjectType type = sq_gettype(v_, idx);
    switch (type) {
    case OT_NULL:
        text += u"null";
        return true;
    case OT_INTEGER:
        text += fromAscii(std::to_string(*getInt(v_, idx)));
        return true;
    case OT_FLOAT:
        text += UtilText::floatLiteral(*getFloat(v_, idx));
        return true;
    case OT_BOOL:
        text += *getBool(v_, idx) ? u"true" : u"false";
        return true;
    case OT_STRING:
        text += UtilText::stringLiteral(*getString(v_, idx));
        return true;
    case OT_ARRAY:
    case OT_TABLE:
        break;
    default:
        return fail(format(u"Util.serialize_: a value of type '%s' cannot be written",
                           {typeName(v_, idx)}));
    }
    if (depth >= kMaxDepth) return fail(u"Util.serialize_: the value is nested too deeply");
    HSQOBJECT obj;
    sq_getstackobj(v_, idx, &obj);
    const void* id = obj._unVal.pRefCounted;
    if (!open_.insert(id).second) return fail(u"Util.serialize_: the value contains itself");
    bool isArray = type == OT_ARRAY;
    text += isArray ? u'[' : u'{';
    bool ok = true;
    sq_pushnull(v_);
    while (ok && SQ_SUCCEEDED(sq_next(v_, idx))) {
        if (!isArray) ok = writeKey(-2);
        if (ok) ok = write(-1, depth + 1);
        text += u',';
        sq_pop(v_, 2);
    }
    sq_poptop(v_);
    text += isArray ? u']' : u'}';
    open_.erase(id);
    return ok;
}

SQInteger serializeText(HSQUIRRELVM v) {
    if (argCount(v) != 1) return throwWrongParams(v);
    LiteralWriter writer(v);
    if (!writer.write(2)) return throwScriptError(v, writer.error);
    push(v, writer.text);
    return 1;
}

// --- LoopCounter moves -----------------------------------------------------------------------

// Util.loopStep__(value, min, max, step): the counter's value after inc(step). Integer
// counters move in one computation; others (floats) move step by step as written.
SQInteger loopStep(HSQUIRRELVM v) {
    if (!checkParams(v, "iiii")) return throwWrongParams(v);
    bool integers = true;
    for (SQInteger i = 2; i <= 5; ++i) integers = integers && sq_gettype(v, i) == OT_INTEGER;
    if (integers) {
        push(v, SQInteger(
                    loopCounterStep(*getInt(v, 2), *getInt(v, 3), *getInt(v, 4), *getInt(v, 5))));
        return 1;
    }
    SQFloat value = *getFloat(v, 2), min = *getFloat(v, 3), max = *getFloat(v, 4),
            step = *getFloat(v, 5);
    SQFloat dir = step > 0 ? 1.0f : -1.0f;
    for (SQFloat i = 0; i < std::fabs(step); i += 1.0f) {
        value += dir;
        if (value < min)
            value = max;
        else if (value > max)
            value = min;
    }
    push(v, value);
    return 1;
}

} // namespace

bool UtilLibrary::load(HSQUIRRELVM v) {
    storeClock(v, clock_);
    sq_pushroottable(v);
    SQInteger root = sq_gettop(v);
    sq_newtable(v);
    SQInteger util = sq_gettop(v);
    ClassBuilder(v, util, u"Timer", timerTag)
        .ctor(timerCtor)
        .method(u"_cloned", timerCloned)
        .method(u"set", timerSet)
        .method(u"get", timerGet)
        .method(u"stop", timerOp<&ITimer::stop>)
        .method(u"start", timerOp<&ITimer::start>)
        .method(u"reset", timerOp<&ITimer::reset>)
        .method(u"isStopped", timerIsStopped)
        .done();
    ClassBuilder(v, util, u"Fps", fpsTag)
        .ctor(fpsCtor)
        .method(u"_cloned", fpsCloned)
        .method(u"setFps", fpsSetFps)
        .method(u"getFps", fpsGetFps)
        .method(u"wait", fpsWait)
        .done();
    setFunction(v, util, u"serialize_", serializeText);
    setFunction(v, util, u"loopStep__", loopStep);
    push(v, u"Util");
    sq_push(v, util);
    sq_newslot(v, root, SQFalse);
    sq_settop(v, root - 1);
    return runBuiltinScript(v, BuiltinScript::Util);
}

} // namespace KoScript
