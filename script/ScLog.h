#pragma once
#include "script/Library.h"

namespace KoScript {

// The Log table: levelled, tagged lines to a file and/or the console when DEBUG is set, all
// in its built-in script (which writes through the IO table).
class LogLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
};

} // namespace KoScript
