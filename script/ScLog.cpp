#include "script/ScLog.h"

#include "script/Run.h"

namespace KoScript {

bool LogLibrary::load(HSQUIRRELVM v) {
    return loadScriptTable(v, u"Log", BuiltinScript::Log);
}

} // namespace KoScript
