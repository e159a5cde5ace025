// A plugin for the tests, built in several behaviours (PROBE_MODE): it records every call it
// gets into the root-table array `probe_log`, so scripts can check the order of calls.
#include "host/plugin/koplugin.h"

#include <cstdio>

#ifndef PROBE_MODE
#define PROBE_MODE 0
#endif
#define PROBE_OK 0
#define PROBE_REFUSE_SETUP 1
#define PROBE_FAIL_LOAD 2
#define PROBE_SETUP_ONLY 3

namespace {

const sq_api* sq = nullptr;
HSQUIRRELVM vm = nullptr;

void log(const SQChar* what) {
    sq->pushroottable(vm);
    sq->pushstring(vm, u"probe_log", -1);
    if (SQ_SUCCEEDED(sq->get(vm, -2))) {
        sq->pushstring(vm, what, -1);
        sq->arrayappend(vm, -2);
        sq->pop(vm, 1);
    }
    sq->pop(vm, 1);
}

} // namespace

extern "C" int onSetup(const PluginSetupInfo* info, const sq_api* api) {
    sq = api;
    vm = info->vm;
    log(info->window ? u"setup window" : u"setup no-window");
    return PROBE_MODE == PROBE_REFUSE_SETUP ? 1 : 0;
}

#if PROBE_MODE != PROBE_SETUP_ONLY
extern "C" int onLoad() {
    log(u"load");
    return PROBE_MODE == PROBE_FAIL_LOAD ? 7 : 0;
}
// At teardown the script can no longer look: report on standard output instead.
extern "C" void onUnload() {
    std::fputs("probe: unload\n", stdout);
    std::fflush(stdout);
}
extern "C" void onBeginFrame() { log(u"begin"); }
extern "C" void onEndFrame() { log(u"end"); }
#endif
