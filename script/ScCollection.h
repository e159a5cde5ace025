#pragma once
#include "script/Library.h"

namespace KoScript {

// The Collection table: copies and filters of arrays and tables, all in its built-in script.
class CollectionLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
};

} // namespace KoScript
