#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace KoPlayhost {

// What setup.nut configures, with the defaults of a missing slot.
struct Setup {
    std::u16string ID = u"KoPlayhost";
    std::u16string title = u"KoPlayhost";
    uint16_t width = 640;
    uint16_t height = 480;
    bool single = false;
    bool debug = false;
    std::vector<std::u16string> scripts;
    std::vector<std::u16string> plugins;
};

enum class SetupResult { Read, Missing, Failed };

// Runs `fileName` in a throw-away VM that reports nothing, and reads the slots back.
// A missing file leaves the defaults; on Failed, `problem` says why.
SetupResult readSetup(const std::u16string& fileName, Setup& setup,
                      std::u16string* problem = nullptr);

// The same from text already read (the part that needs no file).
bool readSetupText(const std::u16string& text, Setup& setup, std::u16string* problem = nullptr);

} // namespace KoPlayhost
