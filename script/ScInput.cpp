#include "script/ScInput.h"

#include "input/Components.h"
#include "input/Controller.h"
#include "input/KeyNames.h"
#include "input/Platform.h"
#include "script/Run.h"
#include "script/bind/Bind.h"

namespace KoScript {

namespace {

using namespace KoScript;
using KoInput::Core::Controller;

const ClassTag controllerTag{"Input.Controller_"};

// Process-wide, as the cursor itself is.
bool g_cursorVisible = true;
// The main window as given at load (its handle for the name table, its id for the rest: the
// id stays safe to look up after the window is gone).
KoInput::WindowHandle g_window = nullptr;
KoInput::WindowId g_windowId;

// --- cursor ----------------------------------------------------------------------------------

SQInteger isCursorVisible(HSQUIRRELVM v) {
    if (!checkParams(v, "")) return throwWrongParams(v);
    push(v, g_cursorVisible);
    return 1;
}

SQInteger setCursorVisible(HSQUIRRELVM v) {
    if (!checkParams(v, "b")) return throwWrongParams(v);
    if (*getBool(v, 2)) {
        KoInput::showCursor(true);
        g_cursorVisible = true;
    } else {
        g_cursorVisible = false; // hidden at the end of the frame, over the client area only
    }
    return 0;
}

SQInteger setCursorPosition(HSQUIRRELVM v) {
    if (!checkParams(v, "ii")) return throwWrongParams(v);
    KoInput::warpCursor(g_windowId.value, *getInt(v, 2), *getInt(v, 3));
    return 0;
}

SQInteger getCursorPosition(HSQUIRRELVM v) {
    if (!checkParams(v, "")) return throwWrongParams(v);
    int32_t x = -1, y = -1;
    if (!KoInput::clientCursor(g_windowId.value, x, y)) x = y = -1;
    sq_newarray(v, 0);
    push(v, SQInteger(x));
    sq_arrayappend(v, -2);
    push(v, SQInteger(y));
    sq_arrayappend(v, -2);
    return 1;
}

// --- Input.Controller_ -----------------------------------------------------------------------

SQInteger controllerCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto controller = std::make_shared<Controller>(g_windowId);
    setInstance(v, 1, std::move(controller));
    return 0;
}

std::shared_ptr<Controller> self(HSQUIRRELVM v) {
    return getInstance<Controller>(v, 1, controllerTag);
}

SQInteger clearAll(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c) return throwWrongParams(v);
    for (int32_t key : c->getKeys()) c->removeComponent(key);
    return 0;
}

SQInteger clearKey(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c || !checkParams(v, "i")) return throwWrongParams(v);
    c->removeComponent(*getInt(v, 2));
    return 0;
}

// setButton / setAxis: null unbinds; an array of names binds one getter per name found in the
// table; anything else changes nothing and answers false.
template <bool Button>
SQInteger setBinding(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c || argCount(v) != 2 || !isNumber(v, 2)) return throwWrongParams(v);
    const int32_t key = *getInt(v, 2);
    if (sq_gettype(v, 3) == OT_NULL) {
        c->removeComponent(key);
        push(v, true);
        return 1;
    }
    std::shared_ptr<KoInput::IComponent> component;
    if (Button)
        component = std::make_shared<KoInput::Core::VolatileComponent>(0);
    else
        component = std::make_shared<KoInput::Core::FixedComponent>();
    const KoInput::KeyNameTable& table = KoInput::keyNameTable(g_window);
    if (sq_gettype(v, 3) != OT_ARRAY) {
        push(v, false);
        return 1;
    }
    const SQInteger n = sq_getsize(v, 3);
    for (SQInteger i = 0; i < n; ++i) {
        sq_pushinteger(v, i);
        if (SQ_FAILED(sq_get(v, 3))) continue;
        // Only strings can be names; anything else matches none.
        if (sq_gettype(v, -1) == OT_STRING) {
            if (auto name = getString(v, -1))
                if (auto getter = table.makeGetter(*name)) component->addGetter(std::move(getter));
        }
        sq_poptop(v);
    }
    c->setComponent(key, std::move(component));
    push(v, true);
    return 1;
}

SQInteger update(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c || !checkParams(v, "")) return throwWrongParams(v);
    push(v, c->update());
    return 1;
}

template <bool (Controller::*Query)(int32_t)>
SQInteger query(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c || !checkParams(v, "i")) return throwWrongParams(v);
    push(v, ((*c).*Query)(*getInt(v, 2)));
    return 1;
}

SQInteger getInput(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c || !checkParams(v, "i")) return throwWrongParams(v);
    push(v, SQInteger(c->getInput(*getInt(v, 2))));
    return 1;
}

SQInteger getKeys(HSQUIRRELVM v) {
    auto c = self(v);
    if (!c || !checkParams(v, "")) return throwWrongParams(v);
    sq_newarray(v, 0);
    for (int32_t key : c->getKeys()) {
        push(v, SQInteger(key));
        sq_arrayappend(v, -2);
    }
    return 1;
}

} // namespace

InputLibrary::InputLibrary(KoInput::WindowHandle window) : window_(window) {}

bool InputLibrary::load(HSQUIRRELVM v) {
    g_window = window_;
    g_windowId = KoInput::WindowId{KoInput::windowIdOf(window_)};
    g_cursorVisible = true;
    sq_pushroottable(v);
    SQInteger root = sq_gettop(v);
    sq_newtable(v);
    SQInteger input = sq_gettop(v);
    ClassBuilder(v, input, u"Controller_", controllerTag)
        .ctor(controllerCtor)
        .overloads(u"clear", {{0, clearAll}, {1, clearKey}})
        .method(u"setButton", setBinding<true>)
        .method(u"setAxis", setBinding<false>)
        .method(u"update", update)
        .method(u"isPushed", query<&Controller::isPushed>)
        .method(u"isPressed", query<&Controller::isPressed>)
        .method(u"isReleased", query<&Controller::isReleased>)
        .method(u"getInput", getInput)
        .method(u"getKeys", getKeys)
        .done();
    setFunction(v, input, u"isCursorVisible", isCursorVisible);
    setFunction(v, input, u"setCursorVisible", setCursorVisible);
    setFunction(v, input, u"setCursorPosition", setCursorPosition);
    setFunction(v, input, u"getCursorPosition", getCursorPosition);
    push(v, u"Input");
    sq_push(v, input);
    sq_newslot(v, root, SQFalse);
    sq_settop(v, root - 1);
    return runBuiltinScript(v, BuiltinScript::Input);
}

void InputLibrary::beginFrame(HSQUIRRELVM) {
    KoInput::settleCursor();
}

void InputLibrary::endFrame(HSQUIRRELVM) {
    if (g_cursorVisible) return;
    int32_t x = 0, y = 0, w = 0, h = 0;
    if (!KoInput::clientCursor(g_windowId.value, x, y) ||
        !KoInput::clientSize(g_windowId.value, w, h))
        return;
    // Both edges inclusive.
    const bool inside = x >= 0 && x <= w && y >= 0 && y <= h;
    KoInput::showCursor(!inside);
}

} // namespace KoScript
