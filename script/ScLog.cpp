#include "script/ScLog.h"

#include "script/Run.h"

namespace KoPlayhost {

bool LogLibrary::load(HSQUIRRELVM v) {
    return loadScriptTable(v, u"Log", 113);
}

} // namespace KoPlayhost
