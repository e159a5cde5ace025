// The pump: events pushed into SDL's queue come out as the right messages.
#include "Support.h"
#include "frame/Window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

using namespace KoFrame;
using KoFrameTest::Msg;
using KoFrameTest::Recorder;

namespace {

class PumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = createWindow(u"pump", 640, 480);
        ASSERT_TRUE(window);
        setCurrentWindow(window);
        KoFrameTest::settle(50); // the window's own start-up events
        rec = std::make_unique<Recorder>(*window);
    }
    void TearDown() override {
        rec.reset();
        setCurrentWindow(nullptr);
        window.reset();
        clearLastMessage();
    }
    uint32_t id() const { return SDL_GetWindowID(window->getHandle()); }

    void key(uint32_t type, SDL_Scancode sc, uint16_t mod = KMOD_NONE, bool repeat = false) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = id();
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    void text(const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = id();
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        SDL_PushEvent(&e);
    }
    void button(uint32_t type, uint8_t which, int x, int y) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = id();
        e.button.button = which;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
    void wheel(int x, int y, bool flipped = false) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = id();
        e.wheel.x = x;
        e.wheel.y = y;
        e.wheel.preciseX = static_cast<float>(x);
        e.wheel.preciseY = static_cast<float>(y);
        e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        e.wheel.mouseX = 10;
        e.wheel.mouseY = 20;
        SDL_PushEvent(&e);
    }
    std::vector<Msg> pumped(std::initializer_list<uint32_t> messages) {
        rec->seen.clear();
        EXPECT_TRUE(pumpMessages());
        return rec->ofAny(messages);
    }

    std::shared_ptr<IWindow> window;
    std::unique_ptr<Recorder> rec;
};

constexpr std::initializer_list<uint32_t> kKeys = {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP,
                                                   WM_CHAR};

} // namespace

TEST_F(PumpTest, NoCurrentWindowMeansFalse) {
    setCurrentWindow(nullptr);
    EXPECT_FALSE(pumpMessages());
    EXPECT_EQ(currentWindowHandle(), nullptr);
    setCurrentWindow(window);
    EXPECT_EQ(currentWindowHandle(), window->getHandle());
    EXPECT_EQ(currentWindow(), window);
    EXPECT_TRUE(pumpMessages());
    EXPECT_TRUE(pumpMessages()); // an empty queue never blocks and keeps answering true
}

TEST_F(PumpTest, PostedQuitEndsAfterTheQueuedEventsAndCarriesItsCode) {
    SDL_Event user{};
    user.type = SDL_USEREVENT;
    SDL_PushEvent(&user);
    postQuitMessage(3);
    rec->seen.clear();
    EXPECT_FALSE(pumpMessages());
    ASSERT_EQ(rec->of(WM_KO_SDLEVENT).size(), 1u);
    EXPECT_EQ(rec->of(WM_KO_SDLEVENT)[0].wParam, uint32_t(SDL_USEREVENT));
    EXPECT_EQ(lastMessage().message, WM_QUIT);
    EXPECT_EQ(lastMessage().wParam, 3u);
    // The quit message is taken once; the window is still alive, so pumping goes on.
    EXPECT_TRUE(pumpMessages());
    clearLastMessage();
    EXPECT_EQ(lastMessage().message, WM_NULL);
    EXPECT_EQ(lastMessage().wParam, 0u);
}

TEST_F(PumpTest, SdlQuitFromASignalEndsThePump) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_FALSE(pumpMessages());
    EXPECT_EQ(lastMessage().message, WM_QUIT);
    EXPECT_EQ(lastMessage().wParam, 0u);
}

TEST_F(PumpTest, TerminateSignalEndsThePumpInsteadOfKillingTheProgram) {
    // SDL turns SIGINT and SIGTERM into SDL_QUIT, so the frame cycle can still tear down.
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(KoFrameTest::pumpUntil([] { return lastMessage().message == WM_QUIT; }));
    EXPECT_EQ(lastMessage().wParam, 0u);
}

TEST_F(PumpTest, ASecondTerminateSignalEndsAProgramThatNeverPumps) {
    // A script stuck inside one frame never takes the first request: Ctrl+C twice ends it.
    EXPECT_EXIT(
        {
            raise(SIGINT);
            raise(SIGTERM);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    // One request alone waits for the pump.
    EXPECT_EXIT(
        {
            raise(SIGTERM);
            std::_Exit(7);
        },
        ::testing::ExitedWithCode(7), "");
}

TEST_F(PumpTest, DestroyedCurrentWindowEndsEveryPump) {
    window->destroy();
    EXPECT_FALSE(pumpMessages());
    EXPECT_FALSE(pumpMessages());
    EXPECT_EQ(lastMessage().message, WM_QUIT);
}

TEST_F(PumpTest, RawEventIsVisibleDuringDispatchOnly) {
    Uint32 seenType = 0;
    int seenScancode = -1;
    window->addMessageHandler([&](IComponent*, WindowHandle, uint32_t m, uint32_t, int32_t) {
        const SDL_Event* e = currentSdlEvent();
        if (m == WM_KEYDOWN && e) {
            seenType = e->type;
            seenScancode = e->key.keysym.scancode;
        }
        return EventResult::unhandled();
    });
    key(SDL_KEYDOWN, SDL_SCANCODE_KP_5);
    pumpMessages();
    EXPECT_EQ(seenType, Uint32(SDL_KEYDOWN));
    EXPECT_EQ(seenScancode, SDL_SCANCODE_KP_5);
    EXPECT_EQ(currentSdlEvent(), nullptr);
    // Messages sent directly did not come from an event.
    const SDL_Event* duringClose = reinterpret_cast<const SDL_Event*>(1);
    window->addCloseHandler([&](IComponent*) {
        duringClose = currentSdlEvent();
        return EventResult::handled();
    });
    window->close();
    EXPECT_EQ(duringClose, nullptr);
}

TEST_F(PumpTest, KeyMessagesCarryVirtualKeyScanCodeAndStateBits) {
    key(SDL_KEYDOWN, SDL_SCANCODE_A);
    key(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_NONE, true);
    key(SDL_KEYUP, SDL_SCANCODE_A);
    auto m = pumped(kKeys);
    ASSERT_EQ(m.size(), 3u); // no WM_CHAR: printable text comes from SDL's text events
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, uint32_t('A'));
    EXPECT_EQ(uint32_t(m[0].lParam), 0x001E0001u);
    EXPECT_EQ(m[1].message, WM_KEYDOWN);
    EXPECT_EQ(uint32_t(m[1].lParam), 0x401E0001u); // auto-repeat: was down before
    EXPECT_EQ(m[2].message, WM_KEYUP);
    EXPECT_EQ(uint32_t(m[2].lParam), 0xC01E0001u);
}

TEST_F(PumpTest, ExtendedAndModifierKeys) {
    key(SDL_KEYDOWN, SDL_SCANCODE_LEFT);
    key(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, KMOD_RCTRL);
    key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT);
    key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER);
    auto m = pumped({WM_KEYDOWN});
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].wParam, VK_LEFT);
    EXPECT_EQ(uint32_t(m[0].lParam), 0x014B0001u);
    EXPECT_EQ(m[1].wParam, VK_CONTROL);
    EXPECT_EQ(uint32_t(m[1].lParam), 0x011D0001u);
    EXPECT_EQ(m[2].wParam, VK_SHIFT);
    EXPECT_EQ(uint32_t(m[2].lParam), 0x002A0001u);
    EXPECT_EQ(m[3].wParam, VK_RETURN);
    EXPECT_EQ(uint32_t(m[3].lParam), 0x011C0001u);
}

TEST_F(PumpTest, AltCombinationsAndF10AreSystemKeysAltGrIsNot) {
    key(SDL_KEYDOWN, SDL_SCANCODE_LALT, KMOD_LALT);
    key(SDL_KEYDOWN, SDL_SCANCODE_X, KMOD_LALT);
    key(SDL_KEYUP, SDL_SCANCODE_X, KMOD_LALT);
    key(SDL_KEYUP, SDL_SCANCODE_LALT);
    key(SDL_KEYDOWN, SDL_SCANCODE_F10);
    key(SDL_KEYDOWN, SDL_SCANCODE_Q, KMOD_LCTRL | KMOD_RALT);
    auto m = pumped(kKeys);
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].message, WM_SYSKEYDOWN);
    EXPECT_EQ(m[0].wParam, VK_MENU);
    EXPECT_EQ(m[1].message, WM_SYSKEYDOWN);
    EXPECT_EQ(m[1].wParam, uint32_t('X'));
    EXPECT_EQ(uint32_t(m[1].lParam) & (1u << 29), 1u << 29);
    EXPECT_EQ(m[2].message, WM_SYSKEYUP);
    EXPECT_EQ(m[3].message, WM_SYSKEYUP);
    EXPECT_EQ(m[3].wParam, VK_MENU);
    EXPECT_EQ(m[4].message, WM_SYSKEYDOWN);
    EXPECT_EQ(m[4].wParam, VK_F1 + 9);
    EXPECT_EQ(m[5].message, WM_KEYDOWN); // AltGr: a plain key, and no control character
    EXPECT_EQ(m[5].wParam, uint32_t('Q'));
}

TEST_F(PumpTest, ControlKeysGiveTheirCharacters) {
    key(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
    key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE);
    key(SDL_KEYDOWN, SDL_SCANCODE_TAB);
    key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    key(SDL_KEYDOWN, SDL_SCANCODE_C, KMOD_LCTRL);
    key(SDL_KEYDOWN, SDL_SCANCODE_DELETE);
    key(SDL_KEYDOWN, SDL_SCANCODE_F1);
    auto m = pumped({WM_CHAR});
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].wParam, 0x0Du);
    EXPECT_EQ(m[1].wParam, 0x08u);
    EXPECT_EQ(m[2].wParam, 0x09u);
    EXPECT_EQ(m[3].wParam, 0x1Bu);
    EXPECT_EQ(m[4].wParam, 0x03u);
}

TEST_F(PumpTest, TextInputBecomesOneCharPerUtf16Unit) {
    text("a\xE3\x81\x82\xF0\x9F\x98\x80"); // a, あ, 😀
    auto m = pumped({WM_CHAR});
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].wParam, uint32_t('a'));
    EXPECT_EQ(m[1].wParam, 0x3042u);
    EXPECT_EQ(m[2].wParam, 0xD83Du);
    EXPECT_EQ(m[3].wParam, 0xDE00u);
}

TEST_F(PumpTest, MouseButtonsCarryButtonAndModifierFlagsAndClientCoordinates) {
    key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 6);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 7, 8);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 9, 10);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 9, 10);
    key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, KMOD_NONE);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 2);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 1, 2);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X2, 1, 2);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_X2, 1, 2);
    auto m = pumped({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN,
                     WM_MBUTTONUP, WM_XBUTTONDOWN, WM_XBUTTONUP});
    ASSERT_EQ(m.size(), 8u);
    EXPECT_EQ(m[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[0].wParam, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(m[0].lParam, makeLParam(5, 6));
    EXPECT_EQ(m[1].message, WM_RBUTTONDOWN);
    EXPECT_EQ(m[1].wParam, MK_LBUTTON | MK_RBUTTON | MK_SHIFT);
    EXPECT_EQ(m[2].message, WM_LBUTTONUP);
    EXPECT_EQ(m[2].wParam, MK_RBUTTON | MK_SHIFT);
    EXPECT_EQ(m[3].message, WM_RBUTTONUP);
    EXPECT_EQ(m[3].wParam, MK_SHIFT);
    EXPECT_EQ(m[4].message, WM_MBUTTONDOWN);
    EXPECT_EQ(m[4].wParam, MK_MBUTTON);
    EXPECT_EQ(m[5].message, WM_MBUTTONUP);
    EXPECT_EQ(m[6].message, WM_XBUTTONDOWN);
    EXPECT_EQ(m[6].wParam, makeWParam(MK_XBUTTON2, XBUTTON2));
    EXPECT_EQ(m[7].message, WM_XBUTTONUP);
    EXPECT_EQ(m[7].wParam, makeWParam(0, XBUTTON2));
}

TEST_F(PumpTest, MotionPacksSignedCoordinates) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = id();
    e.motion.x = -3;
    e.motion.y = 700;
    e.motion.state = SDL_BUTTON_LMASK;
    SDL_PushEvent(&e);
    auto m = pumped({WM_MOUSEMOVE});
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].wParam, MK_LBUTTON);
    EXPECT_EQ(xFromLParam(m[0].lParam), -3);
    EXPECT_EQ(yFromLParam(m[0].lParam), 700);
}

TEST_F(PumpTest, WheelInWheelDeltaUnitsWithScreenCoordinates) {
    wheel(0, 1);
    wheel(0, -2);
    wheel(0, 1, true); // "natural" scrolling reports the other way round
    wheel(1, 0);
    auto m = pumped({WM_MOUSEWHEEL, WM_MOUSEHWHEEL});
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].message, WM_MOUSEWHEEL);
    EXPECT_EQ(wheelDeltaFromWParam(m[0].wParam), 120);
    EXPECT_EQ(wheelDeltaFromWParam(m[1].wParam), -240);
    EXPECT_EQ(wheelDeltaFromWParam(m[2].wParam), -120);
    EXPECT_EQ(m[3].message, WM_MOUSEHWHEEL);
    EXPECT_EQ(wheelDeltaFromWParam(m[3].wParam), 120);
    EXPECT_EQ(xFromLParam(m[0].lParam), window->getX() + 10);
    EXPECT_EQ(yFromLParam(m[0].lParam), window->getY() + 20);
}

TEST_F(PumpTest, WindowEventsBecomeStateMessages) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id();
    auto push = [&](uint8_t ev, int d1 = 0, int d2 = 0) {
        e.window.event = ev;
        e.window.data1 = d1;
        e.window.data2 = d2;
        SDL_PushEvent(&e);
    };
    push(SDL_WINDOWEVENT_FOCUS_GAINED);
    push(SDL_WINDOWEVENT_FOCUS_LOST);
    push(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480);
    push(SDL_WINDOWEVENT_MOVED, -5, 7);
    push(SDL_WINDOWEVENT_LEAVE);
    push(SDL_WINDOWEVENT_EXPOSED);
    rec->seen.clear();
    ASSERT_TRUE(pumpMessages());
    std::vector<uint32_t> order;
    for (const Msg& m : rec->seen) order.push_back(m.message);
    const std::vector<uint32_t> expected = {WM_ACTIVATEAPP, WM_ACTIVATE,  WM_SETFOCUS, WM_ACTIVATE,
                                            WM_ACTIVATEAPP, WM_KILLFOCUS, WM_SIZE,     WM_MOVE,
                                            WM_MOUSELEAVE,  WM_PAINT};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(rec->of(WM_ACTIVATE)[0].wParam, WA_ACTIVE);
    EXPECT_EQ(rec->of(WM_ACTIVATE)[1].wParam, WA_INACTIVE);
    EXPECT_EQ(rec->of(WM_SIZE)[0].wParam, SIZE_RESTORED);
    EXPECT_EQ(rec->of(WM_SIZE)[0].lParam, makeLParam(640, 480));
    EXPECT_EQ(xFromLParam(rec->of(WM_MOVE)[0].lParam), -5);
    EXPECT_EQ(yFromLParam(rec->of(WM_MOVE)[0].lParam), 7);
}

TEST_F(PumpTest, HidingAndShowingTheRealWindowArriveAsShowWindow) {
    window->setVisible(false);
    window->setVisible(true);
    ASSERT_TRUE(KoFrameTest::pumpUntil([&] { return rec->of(WM_SHOWWINDOW).size() >= 2; }));
    EXPECT_EQ(rec->of(WM_SHOWWINDOW)[0].wParam, 0u);
    EXPECT_EQ(rec->of(WM_SHOWWINDOW)[1].wParam, 1u);
}

TEST_F(PumpTest, EventsGoToTheirOwnWindowAndThoseOfAGoneWindowAreDropped) {
    auto other = createWindow(u"other", 100, 100);
    ASSERT_TRUE(other);
    Recorder otherRec(*other);
    KoFrameTest::settle(50);
    otherRec.seen.clear();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_EXPOSED;
    e.window.windowID = SDL_GetWindowID(other->getHandle());
    SDL_PushEvent(&e);
    rec->seen.clear();
    ASSERT_TRUE(pumpMessages());
    EXPECT_EQ(otherRec.of(WM_PAINT).size(), 1u);
    EXPECT_EQ(rec->of(WM_PAINT).size(), 0u);

    SDL_PushEvent(&e);
    other->destroy();
    otherRec.seen.clear();
    EXPECT_TRUE(pumpMessages());
    EXPECT_TRUE(otherRec.seen.empty());
}

TEST_F(PumpTest, EventsWithoutAMessageReachTheCurrentWindowAsSdlEvents) {
    SDL_Event e{};
    e.type = SDL_JOYDEVICEADDED;
    e.jdevice.which = 3;
    SDL_PushEvent(&e);
    int32_t which = -1;
    window->addMessageHandler([&](IComponent*, WindowHandle, uint32_t m, uint32_t w, int32_t) {
        if (m == WM_KO_SDLEVENT && w == SDL_JOYDEVICEADDED)
            which = currentSdlEvent()->jdevice.which;
        return EventResult::unhandled();
    });
    ASSERT_TRUE(pumpMessages());
    EXPECT_EQ(which, 3);
}
