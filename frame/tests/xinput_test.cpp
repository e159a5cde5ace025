// Real X input driven by xdotool arrives as the right window messages.
#include "Support.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break its headers.
#include <SDL_syswm.h>

using namespace KoFrame;
using KoFrameTest::Msg;
using KoFrameTest::Recorder;
using KoFrameTest::run;

namespace {

// 640 x 480 centred on the 1024 x 768 test display: the client area starts at (192, 144).
constexpr int kLeft = 192, kTop = 144;

class XInput : public ::testing::Test {
protected:
    void SetUp() override {
        window = createWindow(u"xinput", 640, 480);
        ASSERT_TRUE(window);
        ASSERT_EQ(window->getX(), kLeft);
        ASSERT_EQ(window->getY(), kTop);
        setCurrentWindow(window);
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_TRUE(SDL_GetWindowWMInfo(window->getHandle(), &info));
        ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
        xid = std::to_string(info.info.x11.window);
        rec = std::make_unique<Recorder>(*window);
        KoFrameTest::settle(100);
    }
    void TearDown() override {
        rec.reset();
        setCurrentWindow(nullptr);
    }
    void focus() {
        ASSERT_EQ(run("xdotool mousemove " + std::to_string(kLeft + 50) + " " +
                      std::to_string(kTop + 50) + " windowfocus --sync " + xid),
                  0);
        ASSERT_TRUE(KoFrameTest::pumpUntil([&] { return !rec->of(WM_SETFOCUS).empty(); }));
        KoFrameTest::settle(50);
        rec->seen.clear();
    }
    // Waits until `count` of the messages arrived and returns them in order.
    std::vector<Msg> await(std::initializer_list<uint32_t> messages, size_t count) {
        KoFrameTest::pumpUntil([&] { return rec->ofAny(messages).size() >= count; });
        KoFrameTest::settle(50); // and nothing more than that arrives
        return rec->ofAny(messages);
    }

    std::shared_ptr<IWindow> window;
    std::unique_ptr<Recorder> rec;
    std::string xid;
};

constexpr std::initializer_list<uint32_t> kKeys = {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP,
                                                   WM_CHAR};

} // namespace

TEST_F(XInput, FocusArrivesAsActivationAndFocusMessages) {
    ASSERT_EQ(run("xdotool mousemove 300 300 windowfocus --sync " + xid), 0);
    auto m = await({WM_ACTIVATE, WM_SETFOCUS}, 2);
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_ACTIVATE);
    EXPECT_EQ(m[0].wParam, WA_ACTIVE);
    EXPECT_EQ(m[1].message, WM_SETFOCUS);
}

TEST_F(XInput, LetterKeyGivesKeyDownCharAndKeyUp) {
    focus();
    ASSERT_EQ(run("xdotool key a"), 0);
    auto m = await(kKeys, 3);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, uint32_t('A'));
    EXPECT_EQ(uint32_t(m[0].lParam), 0x001E0001u);
    EXPECT_EQ(m[1].message, WM_CHAR);
    EXPECT_EQ(m[1].wParam, uint32_t('a'));
    EXPECT_EQ(m[2].message, WM_KEYUP);
    EXPECT_EQ(m[2].wParam, uint32_t('A'));
    EXPECT_EQ(uint32_t(m[2].lParam), 0xC01E0001u);
}

TEST_F(XInput, ShiftedLetterTypesCapitalAndShiftIsItsOwnKey) {
    focus();
    ASSERT_EQ(run("xdotool key shift+b"), 0);
    auto m = await(kKeys, 5);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, VK_SHIFT);
    EXPECT_EQ(m[1].message, WM_KEYDOWN);
    EXPECT_EQ(m[1].wParam, uint32_t('B'));
    EXPECT_EQ(m[2].message, WM_CHAR);
    EXPECT_EQ(m[2].wParam, uint32_t('B'));
    // xdotool lets go of the keys in either order.
    EXPECT_EQ(m[3].message, WM_KEYUP);
    EXPECT_EQ(m[4].message, WM_KEYUP);
    EXPECT_EQ(m[3].wParam + m[4].wParam, VK_SHIFT + uint32_t('B'));
    EXPECT_NE(m[3].wParam, m[4].wParam);
}

TEST_F(XInput, ArrowsAreExtendedAndReturnTypesCarriageReturn) {
    focus();
    ASSERT_EQ(run("xdotool key Left Return space"), 0);
    auto m = await({WM_KEYDOWN, WM_CHAR}, 5);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].wParam, VK_LEFT);
    EXPECT_EQ(uint32_t(m[0].lParam) & 0x01FF0000u, 0x014B0000u);
    EXPECT_EQ(m[1].wParam, VK_RETURN);
    EXPECT_EQ(m[2].message, WM_CHAR);
    EXPECT_EQ(m[2].wParam, 0x0Du);
    EXPECT_EQ(m[3].wParam, VK_SPACE);
    EXPECT_EQ(m[4].message, WM_CHAR);
    EXPECT_EQ(m[4].wParam, uint32_t(' '));
}

TEST_F(XInput, MouseMoveInClientCoordinates) {
    ASSERT_EQ(
        run("xdotool mousemove " + std::to_string(kLeft + 100) + " " + std::to_string(kTop + 37)),
        0);
    ASSERT_TRUE(KoFrameTest::pumpUntil([&] {
        auto moves = rec->of(WM_MOUSEMOVE);
        return !moves.empty() && xFromLParam(moves.back().lParam) == 100 &&
               yFromLParam(moves.back().lParam) == 37;
    }));
    EXPECT_EQ(rec->of(WM_MOUSEMOVE).back().wParam, 0u);
}

TEST_F(XInput, ButtonsArriveWithTheirFlags) {
    ASSERT_EQ(run("xdotool mousemove " + std::to_string(kLeft + 10) + " " +
                  std::to_string(kTop + 20) + " click 1 click 3 click 2"),
              0);
    auto m = await(
        {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP},
        6);
    ASSERT_EQ(m.size(), 6u);
    const uint32_t order[] = {WM_LBUTTONDOWN, WM_LBUTTONUP,   WM_RBUTTONDOWN,
                              WM_RBUTTONUP,   WM_MBUTTONDOWN, WM_MBUTTONUP};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(m[i].message, order[i]) << i;
        EXPECT_EQ(xFromLParam(m[i].lParam), 10) << i;
        EXPECT_EQ(yFromLParam(m[i].lParam), 20) << i;
    }
    EXPECT_EQ(m[0].wParam, MK_LBUTTON);
    EXPECT_EQ(m[1].wParam, 0u);
    EXPECT_EQ(m[2].wParam, MK_RBUTTON);
    EXPECT_EQ(m[4].wParam, MK_MBUTTON);
}

TEST_F(XInput, WheelNotchesAreOneWheelDeltaEachWithScreenCoordinates) {
    // X reports the wheel as buttons 4 (away from the user) and 5 (towards).
    ASSERT_EQ(run("xdotool mousemove 400 300 click 4 click 4 click 5"), 0);
    auto m = await({WM_MOUSEWHEEL}, 3);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(wheelDeltaFromWParam(m[0].wParam), WHEEL_DELTA);
    EXPECT_EQ(wheelDeltaFromWParam(m[1].wParam), WHEEL_DELTA);
    EXPECT_EQ(wheelDeltaFromWParam(m[2].wParam), -WHEEL_DELTA);
    EXPECT_EQ(xFromLParam(m[0].lParam), 400);
    EXPECT_EQ(yFromLParam(m[0].lParam), 300);
    // No button messages for the wheel.
    EXPECT_TRUE(
        rec->ofAny({WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_XBUTTONDOWN}).empty());
}

TEST_F(XInput, TypedTextArrivesAsCharsInOrder) {
    focus();
    ASSERT_EQ(run("xdotool type 'Hi, 7?'"), 0);
    auto m = await({WM_CHAR}, 6);
    std::u16string typed;
    for (const Msg& c : m) typed += static_cast<char16_t>(c.wParam);
    EXPECT_EQ(typed, u"Hi, 7?");
}
