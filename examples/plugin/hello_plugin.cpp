// An example plugin: adds `hello(name)` to the game's root table and counts frames.
// Build it as a shared library (see CMakeLists.txt) and put `plugins = ["hello_plugin"]` in
// setup.nut, or call import("hello_plugin") from a script.
#include "host/plugin/koplugin.h"

namespace {

const sq_api* sq = nullptr;
HSQUIRRELVM vm = nullptr;
int frames = 0;

SQInteger hello(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    if (sq->gettop(v) != 2 || SQ_FAILED(sq->getstring(v, 2, &name)))
        return sq->throwerror(v, u"hello(name) takes one string");
    SQChar text[256] = u"hello, ";
    SQInteger n = 7;
    for (const SQChar* p = name; *p && n < 255; ++p) text[n++] = *p;
    sq->pushstring(v, text, n);
    return 1;
}

SQInteger frameCount(HSQUIRRELVM v) {
    sq->pushinteger(v, frames);
    return 1;
}

void define(const SQChar* name, SQFUNCTION fn) {
    sq->pushroottable(vm);
    sq->pushstring(vm, name, -1);
    sq->newclosure(vm, fn, 0);
    sq->newslot(vm, -3, SQFalse);
    sq->pop(vm, 1);
}

} // namespace

extern "C" int onSetup(const PluginSetupInfo* info, const sq_api* api) {
    sq = api;
    vm = info->vm;
    return 0;
}

extern "C" int onLoad() {
    define(u"hello", hello);
    define(u"helloFrames", frameCount);
    return 0;
}

extern "C" void onEndFrame() { ++frames; }
