#pragma once
#include "sound/SoundData.h"

namespace KoSound::Ogg {

// Ogg Vorbis decoded by libvorbisfile from the bytes in memory, as 16-bit signed PCM.
class SoundLoader final : public ISoundLoader {
public:
    SoundDataPtr load(const FileDataPtr& fileData) override;
};

} // namespace KoSound::Ogg
