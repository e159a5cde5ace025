// The real getters over SDL events pushed into the queue (the way SDL queues real input) and
// SDL's virtual joystick; the name table.
#include "Fakes.h"
#include "input/Getters.h"
#include "input/KeyNames.h"
#include "input/Platform.h"

#include <gtest/gtest.h>

#include <set>

using namespace KoInput;
using KoInputTest::button;
using KoInputTest::key;
using KoInputTest::wheel;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new KoInputTest::SdlEnvironment);

class Getters : public ::testing::Test {
protected:
    void SetUp() override {
        attachPlatform();
        Testing::resetState();
    }
    const KeyNameTable& table = keyNameTable(nullptr);
    int32_t read(const char16_t* name) {
        auto g = table.makeGetter(name);
        return g ? g->getValue() : -999;
    }
};

TEST_F(Getters, TableHoldsTheNamesExactly) {
    EXPECT_EQ(table.size(), 177u);
    EXPECT_EQ(keyboardNames().size(), 101u);
    EXPECT_EQ(std::u16string(keyboardNames().front().name), u"key.backspace");
    EXPECT_EQ(std::u16string(keyboardNames().back().name), u"key.numenter");
    for (const char16_t* name : {u"key.semcolon", u"mouse.ex2", u"mouse.gx", u"mouse.wheeld",
                                 u"joy0.left", u"joy3.btn12", u"key.f12", u"key.num9"})
        EXPECT_TRUE(table.contains(name)) << KoInputTest::utf8(name);
    for (const char16_t* name : {u"key.A", u"Key.a", u"key.a ", u"key.semicolon", u"joy4.left",
                                 u"joy0.btn13", u"joy0.btn0", u"mouse.wheelup", u"", u"key."})
        EXPECT_EQ(table.makeGetter(name), nullptr) << KoInputTest::utf8(name);
    // Every name makes a new getter.
    auto a = table.makeGetter(u"key.a"), b = table.makeGetter(u"key.a");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
}

TEST_F(Getters, EveryKeyboardNameHasAPhysicalKey) {
    std::set<int32_t> reachable;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) reachable.insert(keyCodeOfScancode(sc));
    std::set<int32_t> codes;
    for (const KeyboardName& k : keyboardNames()) {
        EXPECT_TRUE(reachable.count(k.code)) << KoInputTest::utf8(k.name);
        EXPECT_TRUE(codes.insert(k.code).second) << "code used twice: " << k.code;
    }
    EXPECT_EQ(keyCodeOfScancode(-1), 0);
    EXPECT_EQ(keyCodeOfScancode(SDL_NUM_SCANCODES), 0);
}

TEST_F(Getters, KeysFollowEventsByScancode) {
    auto a = table.makeGetter(u"key.a");
    EXPECT_EQ(a->getValue(), 0);
    key(SDL_SCANCODE_A, true);
    EXPECT_EQ(a->getValue(), 1);
    key(SDL_SCANCODE_A, true, true); // auto-repeat
    key(SDL_SCANCODE_A, false);
    EXPECT_EQ(a->getValue(), 0); // one release ends a repeated key

    // Left and right modifiers apart.
    key(SDL_SCANCODE_RSHIFT, true);
    EXPECT_EQ(read(u"key.rshift"), 1);
    EXPECT_EQ(read(u"key.lshift"), 0);
    key(SDL_SCANCODE_RSHIFT, false);
    key(SDL_SCANCODE_LCTRL, true);
    EXPECT_EQ(read(u"key.lctrl"), 1);
    EXPECT_EQ(read(u"key.rctrl"), 0);
    key(SDL_SCANCODE_LCTRL, false);

    // Two physical keys with one code: down while either is.
    key(SDL_SCANCODE_BACKSLASH, true);
    key(SDL_SCANCODE_NONUSHASH, true);
    key(SDL_SCANCODE_BACKSLASH, false);
    EXPECT_EQ(read(u"key.rsb"), 1);
    key(SDL_SCANCODE_NONUSHASH, false);
    EXPECT_EQ(read(u"key.rsb"), 0);
    // A release never seen down changes nothing; unknown scancodes are ignored.
    key(SDL_SCANCODE_Z, false);
    key(SDL_SCANCODE_UNKNOWN, true);
    EXPECT_EQ(read(u"key.z"), 0);

    EXPECT_EQ(KeyboardGetter(-1).getValue(), 0);
    EXPECT_EQ(KeyboardGetter(256).getValue(), 0);
}

TEST_F(Getters, NumEnterOnlyOnTheKeypadEnter) {
    auto enter = table.makeGetter(u"key.enter");
    auto numenter = table.makeGetter(u"key.numenter");
    key(SDL_SCANCODE_RETURN, true);
    EXPECT_EQ(enter->getValue(), 1);
    EXPECT_EQ(numenter->getValue(), 0);
    key(SDL_SCANCODE_RETURN, false);
    key(SDL_SCANCODE_KP_ENTER, true);
    EXPECT_EQ(numenter->getValue(), 1);
    EXPECT_EQ(enter->getValue(), 0);
    key(SDL_SCANCODE_KP_ENTER, false);
    EXPECT_EQ(numenter->getValue(), 0);
}

TEST_F(Getters, JapaneseLayoutPunctuationByPosition) {
    const std::pair<SDL_Scancode, const char16_t*> keys[] = {
        {SDL_SCANCODE_SEMICOLON, u"key.semcolon"},
        {SDL_SCANCODE_APOSTROPHE, u"key.colon"},
        {SDL_SCANCODE_LEFTBRACKET, u"key.at"},
        {SDL_SCANCODE_RIGHTBRACKET, u"key.lsb"},
        {SDL_SCANCODE_BACKSLASH, u"key.rsb"},
        {SDL_SCANCODE_EQUALS, u"key.caret"},
        {SDL_SCANCODE_INTERNATIONAL3, u"key.yen"},
        {SDL_SCANCODE_INTERNATIONAL1, u"key.backslash"},
        {SDL_SCANCODE_KP_PERIOD, u"key.numdot"},
        {SDL_SCANCODE_F12, u"key.f12"},
        {SDL_SCANCODE_0, u"key.0"},
        {SDL_SCANCODE_KP_0, u"key.num0"},
    };
    for (const auto& [sc, name] : keys) {
        key(sc, true);
        EXPECT_EQ(read(name), 1) << KoInputTest::utf8(name);
        key(sc, false);
        EXPECT_EQ(read(name), 0) << KoInputTest::utf8(name);
    }
}

TEST_F(Getters, MouseButtons) {
    const std::pair<uint8_t, const char16_t*> buttons[] = {{SDL_BUTTON_LEFT, u"mouse.left"},
                                                           {SDL_BUTTON_RIGHT, u"mouse.right"},
                                                           {SDL_BUTTON_MIDDLE, u"mouse.middle"},
                                                           {SDL_BUTTON_X1, u"mouse.ex1"},
                                                           {SDL_BUTTON_X2, u"mouse.ex2"}};
    for (const auto& [b, name] : buttons) {
        button(b, true);
        EXPECT_EQ(read(name), 1) << KoInputTest::utf8(name);
        int down = 0;
        for (const auto& [other, otherName] : buttons) down += read(otherName);
        EXPECT_EQ(down, 1);
        button(b, false);
        EXPECT_EQ(read(name), 0);
    }
    EXPECT_EQ(MouseButtonGetter(3).getValue(), 0);
    EXPECT_EQ(MouseButtonGetter(-1).getValue(), 0);
}

TEST_F(Getters, CursorWithoutDisplayReadsMinusOne) {
    EXPECT_EQ(read(u"mouse.gx"), -1);
    EXPECT_EQ(read(u"mouse.x"), -1);
    EXPECT_EQ(MouseCursorGetter(2, nullptr).getValue(), -1);
    EXPECT_EQ(MouseCursorGetter(0, WindowId{42}).getValue(), -1); // no such window
}

TEST_F(Getters, WheelCountsNotchesPerGetter) {
    auto w = table.makeGetter(u"mouse.wheel");
    auto up = table.makeGetter(u"mouse.wheelu");
    auto down = table.makeGetter(u"mouse.wheeld");
    wheel(1);
    wheel(1); // two notches away from the user
    EXPECT_EQ(w->getValue(), -2);
    EXPECT_EQ(up->getValue(), 2);
    EXPECT_EQ(down->getValue(), 0);
    EXPECT_EQ(w->getValue(), 0); // read once

    wheel(-3);
    wheel(1); // net two notches towards the user
    EXPECT_EQ(down->getValue(), 2);
    EXPECT_EQ(w->getValue(), 2);
    EXPECT_EQ(up->getValue(), 0);

    // One fast event of two notches counts both (a single 240 delta used to count none).
    wheel(2);
    EXPECT_EQ(w->getValue(), -2);
    // A flipped wheel reports the other sign.
    wheel(1, true);
    EXPECT_EQ(w->getValue(), 1);

    MouseWheelGetter odd(3);
    wheel(1);
    EXPECT_EQ(odd.getValue(), 0);
}

TEST_F(Getters, WheelCountsOnlyWhileAGetterLives) {
    wheel(5); // nobody listens
    {
        MouseWheelGetter w(0);
        EXPECT_EQ(w.getValue(), 0);
        wheel(1);
        MouseWheelGetter late(0); // starts from the counter as it stands
        wheel(1);
        EXPECT_EQ(w.getValue(), -2);
        EXPECT_EQ(late.getValue(), -1);
        EXPECT_EQ(wheelCounter(), 2);
    }
    EXPECT_EQ(wheelCounter(), 0); // the last one gone resets the counter
    wheel(1);
    EXPECT_EQ(wheelCounter(), 0);
}

TEST(JoystickThresholds, ThirdsInUnsignedArithmetic) {
    auto t = JoystickButtonGetter::thresholdsOf(0, 65535, 0, 65535);
    EXPECT_EQ(t.left, 21845u);
    EXPECT_EQ(t.right, 43690u);
    EXPECT_EQ(t.up, 21845u);
    EXPECT_EQ(t.down, 43690u);
    t = JoystickButtonGetter::thresholdsOf(10, 20, 0, 2);
    EXPECT_EQ(t.left, 13u);
    EXPECT_EQ(t.right, 16u);
    EXPECT_EQ(t.up, 0u);
    EXPECT_EQ(t.down, 1u);
}

// A virtual joystick at the next free device index, opened so the test can move it.
class VirtualJoystick {
public:
    VirtualJoystick() {
        index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
        if (index >= 0) handle = SDL_JoystickOpen(index);
    }
    ~VirtualJoystick() {
        if (handle) SDL_JoystickClose(handle);
        detach();
    }
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;
    // Position 0 to 65535 on each axis.
    void move(int x, int y) {
        SDL_JoystickSetVirtualAxis(handle, 0, Sint16(x - 32768));
        SDL_JoystickSetVirtualAxis(handle, 1, Sint16(y - 32768));
        SDL_JoystickUpdate();
    }
    void press(int b, bool down) {
        SDL_JoystickSetVirtualButton(handle, b, down ? 1 : 0);
        SDL_JoystickUpdate();
    }
    void detach() {
        if (index < 0) return;
        if (handle) SDL_JoystickClose(handle);
        handle = nullptr;
        SDL_JoystickDetachVirtual(index);
        index = -1;
        SDL_JoystickUpdate();
    }
    int index = -1;
    SDL_Joystick* handle = nullptr;
};

std::u16string joyName(int id, const char16_t* part) {
    std::u16string n = u"joy";
    n += char16_t(u'0' + id);
    n += u'.';
    n += part;
    return n;
}

TEST(Joystick, ThresholdEdgesAndButtons) {
    VirtualJoystick joy;
    ASSERT_GE(joy.index, 0) << SDL_GetError();
    ASSERT_TRUE(joy.handle) << SDL_GetError();
    ASSERT_LE(joy.index, 3);
    const auto& table = keyNameTable(nullptr);
    auto left = table.makeGetter(joyName(joy.index, u"left"));
    auto right = table.makeGetter(joyName(joy.index, u"right"));
    auto up = table.makeGetter(joyName(joy.index, u"up"));
    auto down = table.makeGetter(joyName(joy.index, u"down"));
    auto b1 = table.makeGetter(joyName(joy.index, u"btn1"));
    auto b12 = table.makeGetter(joyName(joy.index, u"btn12"));

    joy.move(21844, 32768);
    EXPECT_EQ(left->getValue(), 1);
    joy.move(21845, 32768);
    EXPECT_EQ(left->getValue(), 0);
    joy.move(43690, 21844);
    EXPECT_EQ(right->getValue(), 0);
    EXPECT_EQ(up->getValue(), 1);
    joy.move(43691, 21845);
    EXPECT_EQ(right->getValue(), 1);
    EXPECT_EQ(up->getValue(), 0);
    joy.move(0, 43691);
    EXPECT_EQ(down->getValue(), 1);
    EXPECT_EQ(left->getValue(), 1);
    joy.move(65535, 43690);
    EXPECT_EQ(down->getValue(), 0);

    joy.press(0, true);
    EXPECT_EQ(b1->getValue(), 1);
    EXPECT_EQ(b12->getValue(), 0);
    joy.press(0, false);
    joy.press(11, true);
    EXPECT_EQ(b1->getValue(), 0);
    EXPECT_EQ(b12->getValue(), 1);

    // Unplugged: 0 from then on, also when a joystick comes back at that index.
    joy.detach();
    EXPECT_EQ(b12->getValue(), 0);
    auto* latched = dynamic_cast<JoystickButtonGetter*>(b12.get());
    ASSERT_TRUE(latched);
    EXPECT_FALSE(latched->isValid());
    VirtualJoystick again;
    ASSERT_GE(again.index, 0);
    again.press(11, true);
    EXPECT_EQ(b12->getValue(), 0);
    // A new getter tries the device afresh.
    JoystickButtonGetter fresh(uint32_t(again.index), 15);
    EXPECT_EQ(fresh.getValue(), 1);
}

TEST(Joystick, NotConnectedReadsZeroAndStaysInvalid) {
    ASSERT_EQ(SDL_NumJoysticks(), 0);
    const auto& table = keyNameTable(nullptr);
    for (int id = 0; id < 4; ++id) {
        auto g = table.makeGetter(joyName(id, u"btn1"));
        EXPECT_EQ(g->getValue(), 0);
        EXPECT_FALSE(dynamic_cast<JoystickButtonGetter&>(*g).isValid());
    }
    // Plugged in after the getter was made: the getter stays at 0.
    JoystickButtonGetter early(0, 4);
    VirtualJoystick joy;
    ASSERT_EQ(joy.index, 0);
    joy.press(0, true);
    EXPECT_EQ(early.getValue(), 0);
    EXPECT_EQ(JoystickButtonGetter(0, 4).getValue(), 1);
    EXPECT_EQ(JoystickButtonGetter(0, 16).getValue(), 0); // index out of range
}

} // namespace
