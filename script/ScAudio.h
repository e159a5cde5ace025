#pragma once
#include "script/Library.h"

namespace KoPlayhost {

// The Audio table: Sound, Group and Channel over the sound engine. Loading starts the engine
// (silent when there is no device); the end of every frame steps the fades and delayed stops;
// unloading releases the engine.
class AudioLibrary final : public Library {
public:
    bool load(HSQUIRRELVM v) override;
    void unload(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;
};

} // namespace KoPlayhost
