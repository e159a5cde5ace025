#pragma once
// Sound bytes made in memory for tests: WAV files in any shape, and the committed Ogg files.
#include "sound/SoundData.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace KoTest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void putTag(Bytes& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(tag[i]));
}
inline void putChunk(Bytes& b, const char* tag, const Bytes& body) {
    putTag(b, tag);
    put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
}

struct WavShape {
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    uint32_t fmtSize = 16;      // 16, 18, 40 …
    bool listBefore = false;    // a LIST chunk between "fmt " and "data"
    bool listAfter = false;     // a LIST chunk after "data"
    int64_t dataSizeField = -1; // what the data chunk claims; -1: the true size
};

// A RIFF WAVE file around `pcm`.
inline Bytes makeWav(const Bytes& pcm, const WavShape& s = {}) {
    Bytes fmt;
    uint16_t align = uint16_t(s.channels * (s.bits / 8));
    put16(fmt, s.formatTag);
    put16(fmt, s.channels);
    put32(fmt, s.rate);
    put32(fmt, s.rate * align);
    put16(fmt, align);
    put16(fmt, s.bits);
    while (fmt.size() < s.fmtSize) fmt.push_back(0);
    Bytes list;
    putTag(list, "INFO");
    putTag(list, "ISFT");
    put32(list, 5);
    list.insert(list.end(), {'t', 'e', 's', 't', 0, 0});
    Bytes body;
    putTag(body, "WAVE");
    putChunk(body, "fmt ", fmt);
    if (s.listBefore) putChunk(body, "LIST", list);
    putTag(body, "data");
    put32(body, s.dataSizeField >= 0 ? uint32_t(s.dataSizeField) : uint32_t(pcm.size()));
    body.insert(body.end(), pcm.begin(), pcm.end());
    if (pcm.size() & 1) body.push_back(0);
    if (s.listAfter) putChunk(body, "LIST", list);
    Bytes file;
    putTag(file, "RIFF");
    put32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// 16-bit PCM frames where every sample of frame i holds value(i).
template <class F>
Bytes pcm16(uint32_t frames, uint32_t channels, F value) {
    Bytes b;
    for (uint32_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c) put16(b, uint16_t(int16_t(value(i))));
    return b;
}

inline KoSound::FileDataPtr fileData(Bytes b) {
    return std::make_shared<KoSound::MemoryFileData>(std::move(b));
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

#ifdef KO_SOUND_TEST_DATA
inline std::string dataPath(const std::string& name) {
    return std::string(KO_SOUND_TEST_DATA) + "/" + name;
}
#endif

} // namespace KoTest
