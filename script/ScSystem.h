#pragma once
#include "script/Library.h"

namespace KoPlayhost {

// Script loading (import, include, exec, eval), sleep and quit, the root-level helpers of its
// built-in script, and the plugins' frame hooks. The first library of the VM.
class SystemLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
    void unload(HSQUIRRELVM v) override;
    void beginFrame(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;
};

} // namespace KoPlayhost
