#include "host/plugin/Plugin.h"

#include "host/plugin/koplugin.h"
#include "io/Path.h"

#include <dlfcn.h>

namespace KoPlayhost {
namespace {

class DlPlugin final : public Plugin {
public:
    explicit DlPlugin(void* module) : module_(module) {
        onLoad_ = reinterpret_cast<KoPluginLoadFn>(dlsym(module, "onLoad"));
        onUnload_ = reinterpret_cast<KoPluginHookFn>(dlsym(module, "onUnload"));
        onBeginFrame_ = reinterpret_cast<KoPluginHookFn>(dlsym(module, "onBeginFrame"));
        onEndFrame_ = reinterpret_cast<KoPluginHookFn>(dlsym(module, "onEndFrame"));
    }
    ~DlPlugin() override { dlclose(module_); }
    bool load() override { return !onLoad_ || onLoad_() == 0; }
    void unload() override {
        if (onUnload_) onUnload_();
    }
    void beginFrame() override {
        if (onBeginFrame_) onBeginFrame_();
    }
    void endFrame() override {
        if (onEndFrame_) onEndFrame_();
    }

private:
    void* module_;
    KoPluginLoadFn onLoad_;
    KoPluginHookFn onUnload_, onBeginFrame_, onEndFrame_;
};

void* tryOpen(const std::string& path) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module && (path.size() < 3 || path.compare(path.size() - 3, 3, ".so") != 0))
        module = dlopen((path + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
    return module;
}

// A bare name is looked for in the game folder first, as the Windows loader looks beside the
// program, then along the system's library path.
void* openLibrary(const std::u16string& name) {
    std::string path = KoIO::toPosixPath(name); // backslashes separate directories too
    if (path.empty()) return nullptr;
    void* module = nullptr;
    if (path.find('/') == std::string::npos) module = tryOpen("./" + path);
    return module ? module : tryOpen(path);
}

} // namespace

const sq_api* pluginApi() {
#define KO_SQ_API_INIT(name) &sq_##name,
    static const sq_api api = {KO_SQ_API_ENTRIES(KO_SQ_API_INIT)};
#undef KO_SQ_API_INIT
    return &api;
}

std::shared_ptr<Plugin> createPlugin(const std::u16string& name, HSQUIRRELVM vm, void* window) {
    void* module = openLibrary(name);
    if (!module) return nullptr;
    auto setup = reinterpret_cast<KoPluginSetupFn>(dlsym(module, "onSetup"));
    PluginSetupInfo info{window, vm};
    if (!setup || setup(&info, pluginApi()) != 0) {
        dlclose(module);
        return nullptr;
    }
    return std::make_shared<DlPlugin>(module);
}

} // namespace KoPlayhost
