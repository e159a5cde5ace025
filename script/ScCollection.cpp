#include "script/ScCollection.h"

#include "script/Run.h"

namespace KoPlayhost {

bool CollectionLibrary::load(HSQUIRRELVM v) {
    return loadScriptTable(v, u"Collection", 110);
}

} // namespace KoPlayhost
