#include "sound/Context.h"

#include "sound/NullEngine.h"
#include "sound/al/AlEngine.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace KoSound {

namespace {
std::atomic<bool> contextExists{false};
std::mutex currentMutex;
std::weak_ptr<Context> currentContext;
} // namespace

std::shared_ptr<Context> Context::current() {
    std::lock_guard lock(currentMutex);
    return currentContext.lock();
}

std::shared_ptr<Context> Context::create(EnginePtr engine, std::shared_ptr<IFileLoader> files,
                                         std::shared_ptr<ISoundLoader> sounds) {
    if (!engine || !files || !sounds) return nullptr;
    if (contextExists.exchange(true)) return nullptr;
    auto context = std::shared_ptr<Context>(
        new Context(std::move(engine), std::move(files), std::move(sounds)));
    std::lock_guard lock(currentMutex);
    currentContext = context;
    return context;
}

// Script objects may keep sounds (and so the engine) a while longer; the output goes now.
Context::~Context() {
    engine_->shutdown();
    contextExists = false;
}

bool Context::setFileLoader(std::shared_ptr<IFileLoader> loader) {
    files_ = std::move(loader);
    return true;
}

bool Context::setSoundLoader(std::shared_ptr<ISoundLoader> loader) {
    sounds_ = std::move(loader);
    return true;
}

SoundDataPtr Context::load(const std::u16string& path) {
    if (!files_ || !sounds_) return nullptr;
    auto file = files_->load(path);
    return file ? sounds_->load(file) : nullptr;
}

EnginePtr createDefaultEngine() {
    const char* choice = std::getenv("KO_SOUND");
    if (!(choice && std::strcmp(choice, "null") == 0))
        if (auto engine = Al::AlEngine::create()) return engine;
    return std::make_shared<NullEngine>();
}

} // namespace KoSound
