#include "script/ScSystem.h"

#include "io/Path.h"
#include "script/Run.h"
#include "script/bind/Bind.h"

#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace KoScript {
namespace {

using KoScript::format;
using KoScript::String;
using KoScript::throwScriptError;

// Lives for the process: names once imported or included stay recorded for the whole run.
struct SystemState {
    std::shared_ptr<SystemHost> host;
    std::vector<std::shared_ptr<Plugin>> plugins;
    std::set<String> imported;
    std::set<String> included;
    std::vector<String> includeDirs; // directory of each include running now, innermost last
    std::set<String> running;        // includes running now, to refuse cycles
};

SystemState& state() {
    static SystemState s;
    return s;
}

// Load and not-found messages are cut like the fixed buffers they were made for.
SQInteger raise(HSQUIRRELVM v, std::u16string_view fmt, const String& name, size_t limit) {
    String text = format(fmt, {name});
    if (text.size() > limit - 1) text.resize(limit - 1);
    return throwScriptError(v, text);
}

SQInteger sysImport(HSQUIRRELVM v) {
    if (!KoScript::checkParams(v, "s")) return KoScript::throwWrongParams(v);
    String name = *KoScript::getString(v, 2);
    SystemState& s = state();
    if (s.imported.count(name)) return 0;
    auto plugin = s.host ? s.host->loadPlugin(name, v) : nullptr;
    if (!plugin) return raise(v, u"plugin '%s' load error", name, 122);
    if (!plugin->load()) return 0; // not recorded: a later import tries again
    s.plugins.push_back(plugin);
    s.imported.insert(name);
    plugin->beginFrame(); // it sees a begin before the end of the frame it joined
    return 0;
}

bool hasDriveOrRoot(const String& name) {
    return name.find(u':') != String::npos ||
           (!name.empty() && (name[0] == u'/' || name[0] == u'\\'));
}

SQInteger sysInclude(HSQUIRRELVM v) {
    bool relative = true;
    if (KoScript::checkParams(v, "sb"))
        relative = *KoScript::getBool(v, 3);
    else if (!KoScript::checkParams(v, "s"))
        return KoScript::throwWrongParams(v);
    String name = *KoScript::getString(v, 2);
    SystemState& s = state();

    String resolved = name;
    if (relative && !hasDriveOrRoot(name) && !s.includeDirs.empty() &&
        !s.includeDirs.back().empty())
        resolved = KoIO::getChildPath(s.includeDirs.back(), name);
    if (s.included.count(resolved)) return 0;
    if (s.running.count(resolved)) return raise(v, u"script '%s' includes itself", resolved, 256);

    auto text = readScriptFile(resolved);
    if (!text) return raise(v, u"script '%s' is not found", resolved, 122);
    s.includeDirs.push_back(KoIO::getParentPath(KoIO::normalizePath(resolved)));
    s.running.insert(resolved);
    SQInteger result = runNamedScript(v, *text, resolved);
    s.running.erase(resolved);
    s.includeDirs.pop_back();
    s.included.insert(resolved); // also after a failure: a broken script is not retried
    return result;
}

SQInteger sysExec(HSQUIRRELVM v) {
    if (!KoScript::checkParams(v, "s")) return KoScript::throwWrongParams(v);
    String name = *KoScript::getString(v, 2);
    auto text = readScriptFile(name);
    if (!text) return raise(v, u"script '%s' is not found", name, 122);
    return runNamedScript(v, *text, name);
}

SQInteger sysEval(HSQUIRRELVM v) {
    if (!KoScript::checkParams(v, "s")) return KoScript::throwWrongParams(v);
    String text = *KoScript::getString(v, 2);
    return runNamedScript(v, text, u"unknown");
}

SQInteger sysSleep(HSQUIRRELVM v) {
    auto ms = KoScript::argCount(v) >= 1 ? KoScript::getInt(v, 2) : std::nullopt;
    if (!ms) return KoScript::throwWrongParams(v);
    if (*ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(*ms));
    return 0;
}

// Exactly what the window's close box does, so the quit confirmation is asked.
SQInteger sysQuit(HSQUIRRELVM) {
    if (auto& host = state().host) host->requestClose();
    return 0;
}

} // namespace

bool SystemLibrary::load(HSQUIRRELVM v) {
    state().host = host_;
    sq_pushroottable(v);
    KoScript::setFunction(v, -1, u"import", sysImport);
    KoScript::setFunction(v, -1, u"include", sysInclude);
    KoScript::setFunction(v, -1, u"exec", sysExec);
    KoScript::setFunction(v, -1, u"eval", sysEval);
    KoScript::setFunction(v, -1, u"sleep", sysSleep);
    KoScript::setFunction(v, -1, u"quit", sysQuit);
    sq_poptop(v);
    return runBuiltinScript(v, BuiltinScript::System);
}

void SystemLibrary::unload(HSQUIRRELVM) {
    auto& plugins = state().plugins;
    for (auto& p : plugins) p->unload();
    plugins.clear();
    state().host.reset();
}

void SystemLibrary::beginFrame(HSQUIRRELVM) {
    for (auto& p : state().plugins) p->beginFrame();
}

void SystemLibrary::endFrame(HSQUIRRELVM v) {
    for (auto& p : state().plugins) p->endFrame();
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    KoScript::push(v, u"kose_exit_flag___");
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        auto flag = KoScript::getBool(v, -1);
        if (flag && *flag && host_) host_->endRun();
    }
    sq_settop(v, top);
}

} // namespace KoScript
