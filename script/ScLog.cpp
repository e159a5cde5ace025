#include "script/ScLog.h"

#include "script/Run.h"
#include "script/bind/Bind.h"

namespace KoPlayhost {

bool LogLibrary::load(HSQUIRRELVM v) {
    sq_pushroottable(v);
    KoScript::pushNewTable(v, -1, u"Log");
    sq_pop(v, 2);
    return runBuiltinScript(v, 113);
}

} // namespace KoPlayhost
