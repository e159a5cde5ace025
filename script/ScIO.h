#pragma once
#include "script/Library.h"

namespace KoScript {

// The IO table: blobs, binary and text readers and writers over the file manager, string
// readers and writers, files, the encoding and open-option numbers, and the helpers of its
// built-in script.
class IOLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
};

} // namespace KoScript
