#include "host/Libraries.h"

#include "script/ScSystem.h"

namespace KoPlayhost {

std::vector<std::shared_ptr<Library>> createLibraries() {
    return {
        std::make_shared<SystemLibrary>(),
    };
}

} // namespace KoPlayhost
