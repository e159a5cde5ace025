#include "host/Libraries.h"

#include "script/ScAudio.h"
#include "script/ScCollection.h"
#include "script/ScCollision.h"
#include "script/ScIO.h"
#include "script/ScLog.h"
#include "script/ScMath.h"
#include "script/ScSystem.h"
#include "script/ScUtil.h"

namespace KoPlayhost {

std::vector<std::shared_ptr<Library>> createLibraries() {
    return {
        std::make_shared<SystemLibrary>(),
        std::make_shared<MathLibrary>(),
        std::make_shared<IOLibrary>(),
        std::make_shared<AudioLibrary>(),
        std::make_shared<UtilLibrary>(),
        std::make_shared<CollisionLibrary>(),
        std::make_shared<CollectionLibrary>(),
        std::make_shared<LogLibrary>(),
    };
}

} // namespace KoPlayhost
