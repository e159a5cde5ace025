#include "script/ScCollection.h"

#include "script/Run.h"
#include "script/bind/Bind.h"

namespace KoPlayhost {

bool CollectionLibrary::load(HSQUIRRELVM v) {
    sq_pushroottable(v);
    KoScript::pushNewTable(v, -1, u"Collection");
    sq_pop(v, 2);
    return runBuiltinScript(v, 110);
}

} // namespace KoPlayhost
