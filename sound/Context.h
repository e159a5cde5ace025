#pragma once
#include "sound/Engine.h"
#include "sound/SoundData.h"

#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace KoSound {

// The process's one sound context: the engine and the loaders.
class Context {
public:
    // Empty while another context exists, or when an argument is missing.
    static std::shared_ptr<Context> create(EnginePtr engine, std::shared_ptr<IFileLoader> files,
                                           std::shared_ptr<ISoundLoader> sounds);
    ~Context();
    // The context that exists now (made by the Audio library), empty when there is none.
    static std::shared_ptr<Context> current();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    EnginePtr getEngine() { return engine_; }
    bool setFileLoader(std::shared_ptr<IFileLoader> loader);
    std::shared_ptr<IFileLoader> getFileLoader() { return files_; }
    bool setSoundLoader(std::shared_ptr<ISoundLoader> loader);
    std::shared_ptr<ISoundLoader> getSoundLoader() { return sounds_; }
    // The sound data of a file through both loaders; empty when either fails.
    SoundDataPtr load(const std::u16string& path);

private:
    Context(EnginePtr engine, std::shared_ptr<IFileLoader> files,
            std::shared_ptr<ISoundLoader> sounds)
        : engine_(std::move(engine)), files_(std::move(files)), sounds_(std::move(sounds)) {}
    EnginePtr engine_;
    std::shared_ptr<IFileLoader> files_;
    std::shared_ptr<ISoundLoader> sounds_;
};

// The engine to use: the platform's device (a DeferredEngine) unless KO_SOUND=null asks for
// silence, and the silent clock-driven engine when no device opens. Never empty.
EnginePtr createDefaultEngine();

// An engine whose output `open` makes later, off the start-up path (opening a device loads the
// sound server's client and meets the server), and only when wanted: on a worker thread once
// startOpening() is called (the Audio library does at a game's first sound), or on the first
// call that needs it, whichever comes first. That call waits for the
// output, so a buffer made before the device is ready still plays. When `open` gives nothing,
// the silent clock-driven engine stands in.
class DeferredEngine final : public IEngine {
public:
    explicit DeferredEngine(std::function<EnginePtr()> open) : open_(std::move(open)) {}
    ~DeferredEngine() override;
    // Starts the worker (once; nothing happens when the output exists or is being made).
    void startOpening();
    BufferPtr createBuffer(const SoundDataPtr& soundData) override;
    // Without an output yet, none is made: the engine just stops making buffers.
    void shutdown() override;

private:
    IEngine& output();
    EnginePtr make();

    std::mutex mutex_;
    std::function<EnginePtr()> open_;
    std::future<EnginePtr> opening_;
    EnginePtr engine_;
};

} // namespace KoSound
