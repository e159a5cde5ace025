// The Input table without a window: controllers fed by input queued through SDL, the key-name
// tables against the native ones, the configurable controller with its mended removals, and
// every error the natives raise.
#include "input/KeyNames.h"
#include "input/Platform.h"
#include "script/ScCollision.h"
#include "script/ScInput.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using KoInput::Testing::pushButton;
using KoInput::Testing::pushKey;
using KoInput::Testing::pushWheel;

class InputScript : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(KoInput::Testing::startEvents());
        KoInput::Testing::resetState();
        ASSERT_TRUE(vm.load(std::make_shared<KoScript::InputLibrary>(nullptr))) << vm.takeErr();
        run("function err(f) { try { f(); } catch (e) { return e; } return \"no error\"; }"
            "function show(a) { if (a == null) return \"null\"; local s = \"\";"
            "  foreach (i, e in a) s += (i ? \",\" : \"\") + e; return \"[\" + s + \"]\"; }");
    }
    void run(const std::string& code) { ASSERT_TRUE(vm.run(code)) << vm.takeErr(); }
    std::string eval(const std::string& e) { return vm.eval(e); }

    KoTest::ScriptVm vm;
};

TEST_F(InputScript, NameTablesMatchTheNativeTable) {
    ASSERT_EQ(eval("Input.keyboardTable__.len()"), "101");
    const auto& names = KoInput::keyboardNames();
    for (size_t i = 0; i < names.size(); ++i) {
        std::string want;
        for (const char16_t* p = names[i].name; *p; ++p) want += char(*p);
        EXPECT_EQ(eval("Input.keyboardTable__[" + std::to_string(i) + "]"), want);
    }
    EXPECT_EQ(eval("show(Input.mouseTable__)"),
              "[mouse.left,mouse.right,mouse.middle,mouse.ex1,mouse.ex2,mouse.wheel,mouse.wheelu,"
              "mouse.wheeld]");
    EXPECT_EQ(eval("Input.joyTable__.len()"), "4");
    EXPECT_EQ(eval("show(Input.joyTable__[2].slice(0, 5)) + Input.joyTable__[3][15]"),
              "[joy2.left,joy2.right,joy2.up,joy2.down,joy2.btn1]joy3.btn12");
    // Every name of the script tables is in the native one.
    const auto& table = KoInput::keyNameTable(nullptr);
    run("names__ <- clone Input.mouseTable__; foreach (t in Input.joyTable__) names__.extend(t);");
    int count = std::stoi(eval("names__.len()"));
    EXPECT_EQ(count, 72);
    for (int i = 0; i < count; ++i) {
        std::string name = eval("names__[" + std::to_string(i) + "]");
        EXPECT_TRUE(table.contains(std::u16string(name.begin(), name.end()))) << name;
    }
}

TEST_F(InputScript, ButtonsCountTheirKeysAndSkipUnknownNames) {
    run("c <- Input.Controller_();"
        "r <- c.setButton(3, [\"key.a\", \"key.b\", \"key.nope\", 42, \"KEY.A\", null]);");
    EXPECT_EQ(eval("r"), "true");
    ASSERT_TRUE(pushKey("A", true));
    EXPECT_EQ(eval("c.update() && c.getInput(3)"), "1");
    ASSERT_TRUE(pushKey("B", true));
    EXPECT_EQ(eval("c.update() && c.getInput(3)"), "2");
    // The same name twice reads 2 for one key.
    run("c.setButton(4, [\"key.a\", \"key.a\"]); c.update();");
    EXPECT_EQ(eval("c.getInput(4)"), "2");
    // No name found, an empty array: stored, reads 0.
    EXPECT_EQ(eval("c.setButton(5, [\"x\"]) && c.setAxis(6, [])"), "true");
    EXPECT_EQ(eval("show(c.getKeys())"), "[3,4,5,6]");
    // Not an array: false and nothing changes.
    EXPECT_EQ(eval("c.setButton(3, \"key.a\")"), "false");
    EXPECT_EQ(eval("c.setAxis(3, {})"), "false");
    EXPECT_EQ(eval("c.getInput(3)"), "2");
    // Null removes.
    EXPECT_EQ(eval("c.setButton(3, null)"), "true");
    EXPECT_EQ(eval("show(c.getKeys())"), "[4,5,6]");
    run("c.clear(5); c.clear(99);");
    EXPECT_EQ(eval("show(c.getKeys())"), "[4,6]");
    run("c.clear();");
    EXPECT_EQ(eval("show(c.getKeys())"), "[]");
}

TEST_F(InputScript, HistoryThroughScript) {
    run("c <- Input.Controller(); c.setButton(0, [\"key.numenter\"]); c.setButton(1, "
        "[\"key.enter\"]);"
        "function state() { c.update(); return (c.isPushed(0) ? \"P\" : \"-\") + (c.isPressed(0) ? "
        "\"H\" : \"-\")"
        "  + (c.isReleased(0) ? \"R\" : \"-\") + c.getInput(1); }");
    EXPECT_EQ(eval("state()"), "---0");
    pushKey("Keypad Enter", true);
    EXPECT_EQ(eval("state()"), "PH-0"); // the main Enter stays up
    EXPECT_EQ(eval("state()"), "-H-0");
    pushKey("Keypad Enter", false);
    pushKey("Return", true);
    EXPECT_EQ(eval("state()"), "--R1");
    EXPECT_EQ(eval("state()"), "---1");
}

TEST_F(InputScript, AxesSumAndMouseController) {
    run("c <- Input.Controller(); c.setAxis(0, [\"mouse.wheel\", \"mouse.wheel\"]);"
        "c.setAxis(1, [\"mouse.wheelu\"]); c.setAxis(2, [\"mouse.x\"]);");
    pushWheel(1);
    pushWheel(2);
    run("c.update();");
    EXPECT_EQ(eval("c.getInput(0) + \" \" + c.getInput(1)"), "-6 3");
    EXPECT_EQ(eval("c.getInput(2)"), "-1"); // no display: the cursor cannot be read
    pushButton(1, true);
    pushButton(3, true);
    // The ready-made mouse saw the three notches too: the wheel names read non-zero.
    EXPECT_EQ(eval("show(Input.getMouseKeys())"),
              "[mouse.left,mouse.right,mouse.wheel,mouse.wheelu]");
    // The ready-made mouse reads the wheel on its own.
    pushWheel(-1);
    EXPECT_EQ(eval("Input.mouse__.update() && Input.mouse__.getInput(5) + \" \" + "
                   "Input.mouse__.getInput(7)"),
              "1 1");
}

TEST_F(InputScript, HeldKeysInTableOrder) {
    pushKey("A", true);
    pushKey("Left Shift", true);
    EXPECT_EQ(eval("show(Input.getKeyboardKeys())"), "[key.lshift,key.a]");
    EXPECT_EQ(eval("Input.keyboard__.isPushed(7)"), "true");
    EXPECT_EQ(eval("show(Input.getKeyboardKeys()) + Input.keyboard__.isPushed(7)"),
              "[key.lshift,key.a]false"); // each call advances the history
    EXPECT_EQ(eval("show(Input.getJoystickKeys(0))"), "[]");
    EXPECT_EQ(eval("show(Input.getJoystickKeys(-1)) + show(Input.getJoystickKeys(4))"), "nullnull");
    EXPECT_EQ(eval("Input.createJoystick(4) == null && Input.createJoystick(-1) == null"), "true");
    EXPECT_EQ(eval("Input.createJoystick(3).getKeys().len()"), "16");
    EXPECT_EQ(eval("Input.createKeyboard().getConfig()[100].keys[0]"), "key.numenter");
}

// Joystick names map to the directions by name, not by table position (the script table lists
// left, right, up, down; the getters number left, up, right, down).
TEST(InputJoystick, ReadyMadeJoystickReadsTheVirtualDevice) {
    ASSERT_TRUE(KoInput::Testing::startEvents());
    const int joy = KoInput::Testing::attachJoystick();
    ASSERT_EQ(joy, 0);
    KoTest::ScriptVm vm;
    ASSERT_TRUE(vm.load(std::make_shared<KoScript::InputLibrary>(nullptr))) << vm.takeErr();
    ASSERT_TRUE(
        vm.run("function show(a) { if (a == null) return \"null\"; local s = \"\";"
               "  foreach (i, e in a) s += (i ? \",\" : \"\") + e; return \"[\" + s + \"]\"; }"));
    KoInput::Testing::moveJoystick(joy, 32768, 32768);
    EXPECT_EQ(vm.eval("show(Input.getJoystickKeys(0))"), "[]");
    KoInput::Testing::moveJoystick(joy, 65535, 0);
    KoInput::Testing::pressJoystick(joy, 11, true);
    EXPECT_EQ(vm.eval("show(Input.getJoystickKeys(0))"), "[joy0.right,joy0.up,joy0.btn12]");
    KoInput::Testing::moveJoystick(joy, 21844, 43691);
    KoInput::Testing::pressJoystick(joy, 11, false);
    KoInput::Testing::pressJoystick(joy, 0, true);
    EXPECT_EQ(vm.eval("show(Input.getJoystickKeys(0))"), "[joy0.left,joy0.down,joy0.btn1]");
    EXPECT_EQ(vm.eval("show(Input.getJoystickKeys(1))"), "[]");
    // Unplugged in play: the held keys go and the controller keeps working.
    KoInput::Testing::detachJoystick(joy);
    EXPECT_EQ(vm.eval("Input.joysticks__[0].update() && Input.joysticks__[0].isReleased(4)"),
              "true");
    EXPECT_EQ(vm.eval("show(Input.getJoystickKeys(0))"), "[]");
}

TEST_F(InputScript, ConfigRoundTripsAndStopsAtABadType) {
    run("a <- Input.Controller(); a.setButton(1, [\"key.z\"]); a.setAxis(2, [\"mouse.wheel\"]);"
        "b <- Input.Controller(); b.setButton(9, [\"key.y\"]); r <- b.setConfig(a.getConfig());");
    EXPECT_EQ(eval("r"), "true");
    EXPECT_EQ(eval("show(b.getKeys())"), "[1,2]");
    EXPECT_EQ(eval("b.getConfig()[2].type + b.getConfig()[1].keys[0]"), "axiskey.z");
    EXPECT_EQ(eval("a.getConfig() == a.getConfig()"), "true"); // the table itself
    // The recorded keys are a copy.
    run("local k = [\"key.x\"]; a.setButton(3, k); k.append(\"key.w\");");
    EXPECT_EQ(eval("a.getConfig()[3].keys.len()"), "1");

    // A bad type: false at once; slots processed before stay (visit order is the table's).
    run("cfg <- {}; cfg[1] <- {type = \"button\", keys = [\"key.a\"]};"
        "cfg[2] <- {type = \"wheel\", keys = []}; cfg[3] <- {type = \"axis\", keys = [\"key.b\"]};"
        "order <- []; foreach (k, v in cfg) order.append(k);"
        "r <- b.setConfig(cfg);");
    EXPECT_EQ(eval("r"), "false");
    run("expected <- []; foreach (k in order) { if (k == 2) break; expected.append(k); } "
        "expected.sort();"
        "got <- b.getKeys();");
    EXPECT_EQ(eval("show(got)"), eval("show(expected)"));
}

TEST_F(InputScript, NullBindingAndMissingClearRemoveQuietly) {
    run("c <- Input.Controller(); c.setButton(1, [\"key.a\"]); c.setAxis(2, [\"key.b\"]);");
    EXPECT_EQ(eval("err(function() { c.setButton(1, null); })"), "no error");
    EXPECT_EQ(eval("err(function() { c.setAxis(7, null); })"), "no error");
    EXPECT_EQ(eval("show(c.getKeys()) + (1 in c.getConfig()) + (2 in c.getConfig())"),
              "[2]falsetrue");
    EXPECT_EQ(eval("err(function() { c.clear(5); })"), "no error");
    run("c.clear(2);");
    EXPECT_EQ(eval("show(c.getKeys()) + c.getConfig().len()"), "[]0");
    run("c.setButton(1, [\"key.a\"]); c.clear();");
    EXPECT_EQ(eval("c.getConfig().len() + c.getKeys().len()"), "0");
    // A value that cannot be cloned is still a script error, after the native refused it.
    EXPECT_NE(eval("err(function() { c.setButton(1, 5); })"), "no error");
    EXPECT_EQ(eval("c.getKeys().len()"), "0");
}

TEST_F(InputScript, WrongArgumentsRaiseTheFixedText) {
    const std::string wrong = "wrong number of parameters";
    EXPECT_EQ(eval("err(function() { Input.Controller_(1); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().isPushed(\"a\"); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().getInput(); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().update(1); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().setButton(\"k\", []); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().setAxis(1); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().clear(\"k\"); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_().clear(1, 2); })"),
              "No overload matching this argument list found");
    EXPECT_EQ(eval("err(function() { Input.setCursorVisible(1); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.isCursorVisible(true); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.setCursorPosition(1); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.getCursorPosition(0); })"), wrong);
    EXPECT_EQ(eval("err(function() { Input.Controller_.update.call({}); })"), wrong);
}

TEST_F(InputScript, ControllerConstructorCalledOnAnotherInstanceRefusesIt) {
    ASSERT_TRUE(vm.load(std::make_shared<KoScript::CollisionLibrary>()));
    run("p <- Collision.Point(1, 2);");
    EXPECT_EQ(eval("err(@() Input.Controller_.constructor.call(p))"), "failed create instance");
    EXPECT_EQ(eval("p.x + \",\" + p.y + \" \" + Collision.intersects(p, Collision.Point(1, 2))"),
              "1,2 true");
    // Its own instances and subclasses are made as before.
    EXPECT_EQ(eval("Input.Controller().setButton(1, [\"key.a\"]) == null"), "true");
    EXPECT_EQ(eval("(function() { local c = Input.Controller_(); c.constructor(); "
                   "return c.getKeys().len(); })()"),
              "0");
}

TEST_F(InputScript, CursorFlagWithoutWindow) {
    EXPECT_EQ(eval("Input.isCursorVisible()"), "true");
    run("Input.setCursorVisible(false);");
    EXPECT_EQ(eval("Input.isCursorVisible()"), "false");
    vm.endFrame(); // no window: nothing to hide over, and no crash
    run("Input.setCursorVisible(true); Input.setCursorPosition(3, 4);");
    EXPECT_EQ(eval("Input.isCursorVisible()"), "true");
    EXPECT_EQ(eval("show(Input.getCursorPosition())"), "[-1,-1]");
}

} // namespace
