#include "host/Libraries.h"

#include "script/ScCollision.h"
#include "script/ScIO.h"
#include "script/ScSystem.h"

namespace KoPlayhost {

std::vector<std::shared_ptr<Library>> createLibraries() {
    return {
        std::make_shared<SystemLibrary>(),
        std::make_shared<IOLibrary>(),
        std::make_shared<CollisionLibrary>(),
    };
}

} // namespace KoPlayhost
