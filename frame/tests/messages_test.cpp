// Message packing, the key table and the UTF-8 edge of the frame.
#include "frame/Messages.h"

#include <SDL.h>

#include <gtest/gtest.h>

using namespace KoFrame;

TEST(Messages, PackingKeepsSignedCoordinatesAndWheelDeltas) {
    const int32_t l = makeLParam(-1, -32768);
    EXPECT_EQ(uint32_t(l), 0x8000FFFFu);
    EXPECT_EQ(xFromLParam(l), -1);
    EXPECT_EQ(yFromLParam(l), -32768);
    EXPECT_EQ(xFromLParam(makeLParam(32767, 0)), 32767);
    // Values beyond 16 bits wrap as they do in the window messages.
    EXPECT_EQ(xFromLParam(makeLParam(70000, 0)), 70000 - 65536);
    const uint32_t w = makeWParam(MK_LBUTTON | MK_CONTROL, static_cast<uint32_t>(-WHEEL_DELTA));
    EXPECT_EQ(loWord(w), MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(hiWord(w), 0xFF88u);
    EXPECT_EQ(wheelDeltaFromWParam(w), -120);
    EXPECT_EQ(wheelDeltaFromWParam(makeWParam(0, 240)), 240);
}

TEST(Messages, ScancodesGiveWindowsVirtualKeys) {
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_A), uint32_t('A'));
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_Z), uint32_t('Z'));
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_0), uint32_t('0'));
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_9), uint32_t('9'));
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_SPACE), VK_SPACE);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_F12), VK_F1 + 11);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_F24), VK_F24);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_KP_0), VK_NUMPAD0);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_KP_9), VK_NUMPAD0 + 9);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_LSHIFT), VK_SHIFT);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_RSHIFT), VK_SHIFT);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_RALT), VK_MENU);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_SEMICOLON), VK_OEM_1);
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_INTERNATIONAL3), VK_OEM_5); // yen key
    EXPECT_EQ(virtualKeyOfScancode(SDL_SCANCODE_UNKNOWN), 0u);
    EXPECT_EQ(virtualKeyOfScancode(-1), 0u);
    EXPECT_EQ(virtualKeyOfScancode(SDL_NUM_SCANCODES), 0u);
    EXPECT_EQ(virtualKeyOfScancode(100000), 0u);
}

