#pragma once
#include "script/Library.h"

#include <memory>
#include <string>

namespace KoScript {

// One loaded plugin library and its optional hooks (the host loads them, host/plugin/).
class Plugin {
public:
    virtual ~Plugin() = default;
    // True without onLoad; otherwise whether onLoad returned 0.
    virtual bool load() = 0;
    virtual void unload() = 0;
    virtual void beginFrame() = 0;
    virtual void endFrame() = 0;
};

// What the System library asks of the program around it.
class SystemHost {
public:
    virtual ~SystemHost() = default;
    // The plugin `name` set up for `vm`, or empty when it cannot be loaded or refuses.
    virtual std::shared_ptr<Plugin> loadPlugin(const std::u16string& name, HSQUIRRELVM vm) = 0;
    // What the window's close box does, so the quit confirmation is asked.
    virtual void requestClose() = 0;
    // Ends the run after this frame (a pending exit()).
    virtual void endRun() = 0;
};

// Script loading (import, include, exec, eval), sleep and quit, the root-level helpers of its
// built-in script, and the plugins' frame hooks. The first library of the VM. Without a host
// (library tests) import fails as for a missing plugin and quit does nothing.
class SystemLibrary final : public Library {
public:
    explicit SystemLibrary(std::shared_ptr<SystemHost> host = nullptr) : host_(std::move(host)) {}
    bool load(HSQUIRRELVM v) override;
    void unload(HSQUIRRELVM v) override;
    void beginFrame(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;

private:
    std::shared_ptr<SystemHost> host_;
};

} // namespace KoScript
