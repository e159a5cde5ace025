#pragma once
#include "script/ScSystem.h"

#include <squirrel.h>

#include <memory>
#include <string>

struct sq_api;

namespace KoPlayhost {

using Plugin = KoScript::Plugin;

// Loads `name` with the platform loader (as given, then with ".so" added), calls its onSetup
// with the window handle, `vm` and the entry-point table. Empty when the library cannot be
// loaded, has no onSetup, or onSetup refuses.
std::shared_ptr<Plugin> createPlugin(const std::u16string& name, HSQUIRRELVM vm, void* window);

// The process-wide table of VM entry points handed to plugins.
const sq_api* pluginApi();

} // namespace KoPlayhost
