#include "host/Libraries.h"

#include "script/ScCollection.h"
#include "script/ScCollision.h"
#include "script/ScGraphics.h"
#include "script/ScIO.h"
#include "script/ScLog.h"
#include "script/ScMath.h"
#include "script/ScSystem.h"
#include "script/ScUtil.h"

namespace KoPlayhost {

std::vector<std::shared_ptr<Library>> createLibraries(const HostObjects& host) {
    return {
        std::make_shared<SystemLibrary>(),
        std::make_shared<MathLibrary>(),
        std::make_shared<IOLibrary>(),
        std::make_shared<GraphicsLibrary>(host.window, host.width, host.height),
        std::make_shared<UtilLibrary>(),
        std::make_shared<CollisionLibrary>(),
        std::make_shared<CollectionLibrary>(),
        std::make_shared<LogLibrary>(),
    };
}

} // namespace KoPlayhost
