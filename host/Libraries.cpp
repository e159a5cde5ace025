#include "host/Libraries.h"

#include "frame/IWindow.h"
#include "host/plugin/Plugin.h"
#include "script/ScAudio.h"
#include "script/ScCollection.h"
#include "script/ScCollision.h"
#include "script/ScGraphics.h"
#include "script/ScIO.h"
#include "script/ScInput.h"
#include "script/ScLog.h"
#include "script/ScMath.h"
#include "script/ScSystem.h"
#include "script/ScUtil.h"

namespace KoPlayhost {

using namespace KoScript;

namespace {

// The System library's view of the runner: plugins get the current window, quit goes through
// the window's close handlers, exit() posts the quit message.
class RunnerSystemHost final : public SystemHost {
public:
    std::shared_ptr<Plugin> loadPlugin(const std::u16string& name, HSQUIRRELVM vm) override {
        return createPlugin(name, vm, KoFrame::currentWindowHandle());
    }
    void requestClose() override {
        if (auto window = KoFrame::currentWindow()) window->close();
    }
    void endRun() override {
        if (KoFrame::currentWindow()) KoFrame::postQuitMessage(0);
    }
};

} // namespace

std::vector<std::shared_ptr<Library>> createLibraries(const HostObjects& host) {
    return {
        std::make_shared<SystemLibrary>(std::make_shared<RunnerSystemHost>()),
        std::make_shared<MathLibrary>(),
        std::make_shared<IOLibrary>(),
        std::make_shared<GraphicsLibrary>(host.window, host.width, host.height, host.mediaClock),
        std::make_shared<AudioLibrary>(host.mediaClock),
        std::make_shared<InputLibrary>(host.window),
        std::make_shared<UtilLibrary>(host.clock),
        std::make_shared<CollisionLibrary>(),
        std::make_shared<CollectionLibrary>(),
        std::make_shared<LogLibrary>(),
    };
}

} // namespace KoPlayhost
