#pragma once
// Scancode table behind the key messages (internal to frame/).
#include "frame/Messages.h"

namespace KoFrame {

struct KeyInfo {
    uint32_t vk = 0;
    uint32_t scan = 0; // PC scan code, the bits 16-23 of a key message's lParam
    bool extended = false;
};

KeyInfo keyInfoOfScancode(int scancode);

} // namespace KoFrame
