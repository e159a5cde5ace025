#include "host/Setup.h"

#include "io/FileManager.h"
#include "script/Run.h"
#include "script/bind/Bind.h"

#include <cmath>

namespace KoPlayhost {
namespace {

using KoScript::push;

void seed(HSQUIRRELVM v, std::u16string_view name, auto value) {
    KoScript::setValue(v, -1, name, value);
}

bool getSlot(HSQUIRRELVM v, std::u16string_view name) {
    push(v, name);
    return SQ_SUCCEEDED(sq_get(v, -2));
}

std::u16string lastError(HSQUIRRELVM v) {
    sq_getlasterror(v);
    std::u16string s = KoScript::toString(v, -1);
    sq_poptop(v);
    return s;
}

// Integers keep their low 16 bits; floats are truncated first; anything else keeps the default.
void readSize(HSQUIRRELVM v, std::u16string_view name, uint16_t& out) {
    if (!getSlot(v, name)) return;
    SQObjectType t = sq_gettype(v, -1);
    if (t == OT_INTEGER) {
        out = uint16_t(*KoScript::getInt(v, -1));
    } else if (t == OT_FLOAT) {
        double f = std::trunc(double(*KoScript::getFloat(v, -1)));
        out = std::isfinite(f) ? uint16_t(int64_t(std::fmod(f, 65536.0))) : out;
    }
    sq_poptop(v);
}

void readList(HSQUIRRELVM v, std::u16string_view name, std::vector<std::u16string>& out) {
    out.clear();
    if (!getSlot(v, name)) return;
    if (sq_gettype(v, -1) == OT_ARRAY) {
        sq_pushnull(v);
        while (SQ_SUCCEEDED(sq_next(v, -2))) {
            if (auto s = KoScript::getString(v, -1)) out.push_back(*s);
            sq_pop(v, 2);
        }
        sq_poptop(v);
    }
    sq_poptop(v);
}

} // namespace

bool readSetupText(const std::u16string& text, Setup& setup, std::u16string* problem) {
    HSQUIRRELVM v = sq_open(1024);
    if (!v) return false;
    sq_pushroottable(v);
    seed(v, u"ID", u"KoPlayhost");
    seed(v, u"title", u"KoPlayhost");
    seed(v, u"width", 640);
    seed(v, u"height", 480);
    seed(v, u"single", false);
    seed(v, u"debug", false);
    seed(v, u"scripts", 0);
    seed(v, u"plugins", 0);

    bool ok = SQ_SUCCEEDED(
        sq_compilebuffer(v, text.data(), SQInteger(text.size()), u"setup.nut", SQFalse));
    if (!ok) {
        if (problem) *problem = u"setup.nut does not compile: " + lastError(v);
    } else {
        sq_pushroottable(v);
        ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse));
        if (!ok && problem) *problem = u"setup.nut failed: " + lastError(v);
        sq_poptop(v); // the closure
    }
    if (ok) {
        Setup s;
        if (getSlot(v, u"ID")) s.ID = KoScript::toString(v, -1), sq_poptop(v);
        if (getSlot(v, u"title")) s.title = KoScript::toString(v, -1), sq_poptop(v);
        readSize(v, u"width", s.width);
        readSize(v, u"height", s.height);
        // Truth values, so `debug = 1` means what its author meant.
        SQBool b;
        if (getSlot(v, u"single")) sq_tobool(v, -1, &b), s.single = b, sq_poptop(v);
        if (getSlot(v, u"debug")) sq_tobool(v, -1, &b), s.debug = b, sq_poptop(v);
        readList(v, u"scripts", s.scripts);
        readList(v, u"plugins", s.plugins);
        setup = std::move(s);
    }
    sq_close(v);
    return ok;
}

SetupResult readSetup(const std::u16string& fileName, Setup& setup, std::u16string* problem) {
    auto text = KoScript::readScriptFile(fileName);
    if (!text) {
        auto fm = KoIO::getFileManager();
        if (!fm || !fm->exists(fileName)) return SetupResult::Missing;
        if (problem) *problem = fileName + u" cannot be read";
        return SetupResult::Failed;
    }
    return readSetupText(*text, setup, problem) ? SetupResult::Read : SetupResult::Failed;
}

} // namespace KoPlayhost
