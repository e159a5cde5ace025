#include "host/FrameCycle.h"

#include "host/Libraries.h"
#include "host/Output.h"
#include "host/Prelude.h"
#include "host/ScriptRunner.h"
#include "script/Library.h"
#include "script/Run.h"

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>

namespace KoPlayhost {
namespace {

HSQUIRRELVM openVm() {
    HSQUIRRELVM v = sq_open(1024);
    if (!v) return nullptr;
    sqstd_seterrorhandlers(v);
    sq_setprintfunc(v, hostPrint, hostError);
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    sqstd_register_iolib(v);
    sqstd_register_bloblib(v);
    sqstd_register_mathlib(v);
    sqstd_register_systemlib(v);
    sqstd_register_stringlib(v);
    sq_settop(v, top);
    return v;
}

bool running(const ScriptRunner& runner) {
    return runner.state() == ScriptRunner::Ready || runner.state() == ScriptRunner::Suspended;
}

// Everything between VM start and VM close; returns when the loop ends or set-up fails.
void runVm(HSQUIRRELVM v, const Setup& setup, const std::vector<std::u16string>& cmdline) {
    if (!runText(v, buildPrelude(setup.debug, cmdline))) return;

    LibraryList libraries(v);
    HostObjects host;
    if (auto window = KoFrame::currentWindow()) host.window = window->getHandle();
    host.width = setup.width;
    host.height = setup.height;
    for (auto& library : createLibraries(host)) libraries.add(std::move(library));
    sq_enabledebuginfo(v, setup.debug ? SQTrue : SQFalse);
    if (!runText(v, buildSetupLoadText(setup))) return; // the list unloads on the way out

    ScriptRunner runner(v);
    if (runner.compile(u"start.nut")) {
        bool frames = KoFrame::pumpMessages();
        while (frames) {
            libraries.beginFrame();
            runner.step();
            libraries.endFrame();
            if (!running(runner) && KoFrame::currentWindow()) KoFrame::postQuitMessage(0);
            frames = KoFrame::pumpMessages();
        }
        runText(v, u"if (\"_on_exit_\" in getroottable()) { _on_exit_(); }");
    }
    runner.release();
    libraries.clear();
}

} // namespace

int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline) {
    if (!window) return 0;
    KoFrame::clearLastMessage();
    KoFrame::setCurrentWindow(window);
    if (HSQUIRRELVM v = openVm()) {
        runVm(v, setup, cmdline);
        sq_close(v);
    }
    int code = int(KoFrame::lastMessage().wParam);
    KoFrame::setCurrentWindow(nullptr);
    return code;
}

} // namespace KoPlayhost
