#include "host/FrameCycle.h"

#include "host/Libraries.h"
#include "host/Output.h"
#include "host/Prelude.h"
#include "host/ScriptRunner.h"
#include "io/DiskPath.h"
#include "io/Path.h"
#include "script/Library.h"
#include "script/Run.h"

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>

#include <cstdio>

namespace KoPlayhost {
namespace {

// The standard library's file(), dofile() and the rest find names on disk exactly as the
// file manager does, so both pick the same file among names that differ only in case.
SQBool resolveFileName(const char* name, SQBool, char* out, SQInteger size) {
    std::string path = name;
    for (auto& c : path)
        if (c == '\\') c = '/';
    path = KoIO::Disk::resolve(path);
    if (SQInteger(path.size()) >= size) return SQFalse;
    path.copy(out, path.size());
    out[path.size()] = '\0';
    return SQTrue;
}

HSQUIRRELVM openVm() {
    sqstd_setfilenameresolver(resolveFileName);
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

bool gScreenshotFailed = false;

void saveScreenshot(const std::vector<std::shared_ptr<KoScript::Library>>& all,
                    const std::u16string& path) {
    for (auto& library : all) {
        if (auto* screen = dynamic_cast<KoScript::ScreenCapture*>(library.get())) {
            if (screen->saveScreen(path)) return;
            break;
        }
    }
    gScreenshotFailed = true;
    std::fprintf(stderr, "koplayhost: cannot save the screenshot '%s'\n",
                 KoIO::toUtf8(path).c_str());
}

bool running(const ScriptRunner& runner) {
    return runner.state() == ScriptRunner::Ready || runner.state() == ScriptRunner::Suspended;
}

// Everything between VM start and VM close; returns when the loop ends or set-up fails.
void runVm(HSQUIRRELVM v, const Setup& setup, const std::vector<std::u16string>& cmdline,
           const RunOptions& options) {
    if (!KoScript::runText(v, buildPrelude(setup.debug, cmdline))) return;

    KoScript::LibraryList libraries(v);
    HostObjects host;
    if (auto window = KoFrame::currentWindow()) host.window = window->getHandle();
    host.width = setup.width;
    host.height = setup.height;
    host.clock = options.clock;
    if (options.frames) host.mediaClock = options.clock; // a counted run's media keep its time
    auto all = options.makeLibraries ? options.makeLibraries() : createLibraries(host);
    for (auto& library : all) libraries.add(library);
    sq_enabledebuginfo(v, setup.debug ? SQTrue : SQFalse);
    if (!KoScript::runText(v, buildSetupLoadText(setup))) return; // the list unloads on the way out

    ScriptRunner runner(v);
    if (runner.compile(u"start.nut")) {
        bool frames = KoFrame::pumpMessages();
        for (uint32_t frame = 1; frames; ++frame) {
            libraries.beginFrame();
            runner.step();
            libraries.endFrame();
            if (!running(runner) && KoFrame::currentWindow()) KoFrame::postQuitMessage(0);
            if (frame == options.frames) break;
            frames = KoFrame::pumpMessages();
        }
        if (!options.screenshot.empty()) saveScreenshot(all, options.screenshot);
        KoScript::runText(v, u"if (\"_on_exit_\" in getroottable()) { _on_exit_(); }");
    }
    runner.release();
    libraries.clear();
}

} // namespace

bool screenshotFailed() {
    return gScreenshotFailed;
}

int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline, const LibraryFactory& makeLibraries) {
    RunOptions options;
    options.makeLibraries = makeLibraries;
    return runFrameCycle(window, setup, cmdline, options);
}

int runFrameCycle(const std::shared_ptr<KoFrame::IWindow>& window, const Setup& setup,
                  const std::vector<std::u16string>& cmdline, const RunOptions& options) {
    if (!window) return 0;
    KoFrame::clearLastMessage();
    KoFrame::setCurrentWindow(window);
    if (HSQUIRRELVM v = openVm()) {
        runVm(v, setup, cmdline, options);
        sq_close(v);
    }
    int code = int(KoFrame::lastMessage().wParam);
    KoFrame::setCurrentWindow(nullptr);
    return code;
}

} // namespace KoPlayhost
