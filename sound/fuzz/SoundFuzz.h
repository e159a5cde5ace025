#pragma once
// One fuzz input through both loaders and every reader operation the engine uses.
#include "sound/SoundData.h"
#include "sound/ogg/OggSoundLoader.h"

#include <cstdint>
#include <vector>

namespace KoSoundFuzz {

inline void drain(KoSound::ISoundData& d) {
    std::vector<uint8_t> block(4096);
    auto f = d.getFormat();
    // Bounded, so a claimed length of hours does not make the run slow.
    for (int i = 0; i < 64 && d.read(block.data(), uint32_t(block.size())); ++i) {
    }
    (void)f;
    if (d.getLength() > 1) {
        d.seek(d.getLength() / 2);
        d.read(block.data(), 1000);
        d.seek(d.getLength() - 1);
        d.read(block.data(), uint32_t(block.size()));
    }
    d.seek(d.getLength());
    if (auto again = d.reopen()) again->read(block.data(), 100);
}

inline void runSoundLoad(const uint8_t* data, size_t size) {
    auto file = std::make_shared<KoSound::MemoryFileData>(std::vector<uint8_t>(data, data + size));
    if (auto d = KoSound::WavSoundLoader().load(file)) drain(*d);
    if (auto d = KoSound::Ogg::SoundLoader().load(file)) drain(*d);
}

} // namespace KoSoundFuzz
