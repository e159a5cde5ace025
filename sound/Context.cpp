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

DeferredEngine::~DeferredEngine() {
    shutdown();
}

EnginePtr DeferredEngine::make() {
    auto engine = open_ ? open_() : nullptr;
    return engine ? engine : std::make_shared<NullEngine>();
}

void DeferredEngine::startOpening() {
    std::lock_guard lock(mutex_);
    if (engine_ || opening_.valid()) return;
    opening_ = std::async(std::launch::async, [this] { return make(); });
}

IEngine& DeferredEngine::output() {
    std::lock_guard lock(mutex_);
    if (!engine_) engine_ = opening_.valid() ? opening_.get() : make();
    return *engine_;
}

BufferPtr DeferredEngine::createBuffer(const SoundDataPtr& soundData) {
    return output().createBuffer(soundData);
}

void DeferredEngine::shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (!engine_ && !opening_.valid()) engine_ = std::make_shared<NullEngine>();
    }
    output().shutdown();
}

EnginePtr createDefaultEngine() {
    const char* choice = std::getenv("KO_SOUND");
    if (choice && std::strcmp(choice, "null") == 0) return std::make_shared<NullEngine>();
    // Opening the default device costs tens of milliseconds (OpenAL Soft loads the PulseAudio
    // client even when it ends up on another backend); the first frame need not wait for it.
    return std::make_shared<DeferredEngine>([]() -> EnginePtr { return Al::AlEngine::create(); });
}

} // namespace KoSound
