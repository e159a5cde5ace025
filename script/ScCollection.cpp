#include "script/ScCollection.h"

#include "script/Run.h"

namespace KoScript {

bool CollectionLibrary::load(HSQUIRRELVM v) {
    return loadScriptTable(v, u"Collection", BuiltinScript::Collection);
}

} // namespace KoScript
