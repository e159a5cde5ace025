// The Input library on a real window under Xvfb: client coordinates, the end-of-frame cursor
// hiding over the client area (edges included), and controllers following the real focus.
#include "frame/IWindow.h"
#include "input/Platform.h"
#include "script/ScInput.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace {

// Pumps until the condition holds (at most 3 s).
bool pumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    do {
        KoFrame::pumpMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

int run(const std::string& command) {
    return std::system(command.c_str());
}

class InputWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // 320 x 240 centred on the 1024 x 768 display: the client area starts at (352, 264).
        window = KoFrame::createWindow(u"input-window", 320, 240);
        ASSERT_TRUE(window);
        KoFrame::setCurrentWindow(window);
        ASSERT_TRUE(vm.load(std::make_shared<KoScript::InputLibrary>(window->getHandle())))
            << vm.takeErr();
        pumpUntil([] { return false; });
    }
    void TearDown() override { KoFrame::setCurrentWindow(nullptr); }
    std::string eval(const std::string& e) { return vm.eval(e); }
    std::string position() {
        return eval("Input.getCursorPosition().reduce(@(a, b) a + \",\" + b)");
    }
    // Moves the pointer to client (x, y) and waits until Input reads it there.
    void moveTo(int x, int y) {
        ASSERT_TRUE(vm.run("Input.setCursorPosition(" + std::to_string(x) + ", " +
                           std::to_string(y) + ");"));
        const std::string want = std::to_string(x) + "," + std::to_string(y);
        ASSERT_TRUE(pumpUntil([&] { return position() == want; })) << position();
    }

    std::shared_ptr<KoFrame::IWindow> window;
    KoTest::ScriptVm vm;
};

TEST_F(InputWindow, CursorHiddenOnlyOverTheClientAreaAtEndOfFrame) {
    // Left of the window: negative client x (device motion so SDL reads the pointer afresh).
    ASSERT_EQ(run("xdotool mousemove 40 300 mousemove_relative 1 0"), 0);
    ASSERT_TRUE(pumpUntil([&] { return position() == "-311,36"; })) << position();
    ASSERT_TRUE(vm.run("Input.setCursorVisible(false);"));
    EXPECT_EQ(eval("Input.isCursorVisible()"), "false");
    vm.endFrame();
    EXPECT_TRUE(KoInput::isCursorShown()); // outside: stays visible

    moveTo(100, 100);
    EXPECT_TRUE(KoInput::isCursorShown()); // only at the end of the frame
    vm.endFrame();
    EXPECT_FALSE(KoInput::isCursorShown());
    moveTo(0, 0);
    vm.endFrame();
    EXPECT_FALSE(KoInput::isCursorShown());

    ASSERT_EQ(run("xdotool mousemove 900 700 mousemove_relative 1 0"), 0);
    ASSERT_TRUE(pumpUntil([&] { return position() == "549,436"; })) << position();
    vm.endFrame();
    EXPECT_TRUE(KoInput::isCursorShown()); // left the area: shown again

    // The right and bottom edges count as inside.
    ASSERT_EQ(run("xdotool mousemove 671 503 mousemove_relative 1 1"), 0);
    ASSERT_TRUE(pumpUntil([&] { return position() == "320,240"; })) << position();
    vm.endFrame();
    EXPECT_FALSE(KoInput::isCursorShown());
    ASSERT_EQ(run("xdotool mousemove_relative 1 0"), 0);
    ASSERT_TRUE(pumpUntil([&] { return position() == "321,240"; })) << position();
    vm.endFrame();
    EXPECT_TRUE(KoInput::isCursorShown());

    // Visible again at once, whatever the frame.
    moveTo(10, 10);
    vm.endFrame();
    EXPECT_FALSE(KoInput::isCursorShown());
    ASSERT_TRUE(vm.run("Input.setCursorVisible(true);"));
    EXPECT_TRUE(KoInput::isCursorShown());
    vm.endFrame();
    EXPECT_TRUE(KoInput::isCursorShown());
}

TEST_F(InputWindow, AMovedCursorReadsAtItsNewPlaceInTheSameFrame) {
    ASSERT_EQ(run("xdotool search --sync --name '^input-window$' windowfocus --sync"), 0);
    moveTo(40, 30);
    // No message pump between the move and the reads: the script sees the move at once.
    ASSERT_TRUE(vm.run("Input.setCursorPosition(7, 9); p <- Input.getCursorPosition();"));
    EXPECT_EQ(eval("p[0] + \",\" + p[1]"), "7,9");
    ASSERT_TRUE(vm.run("m <- Input.Controller(); m.setAxis(0, [\"mouse.x\"]);"
                       "m.setAxis(1, [\"mouse.y\"]); Input.setCursorPosition(70, 90); m.update();"));
    EXPECT_EQ(eval("m.getInput(0) + \",\" + m.getInput(1)"), "70,90");
    // Outside the client area too.
    ASSERT_TRUE(vm.run("Input.setCursorPosition(-5, 20);"));
    EXPECT_EQ(position(), "-5,20");

    // Later frames read the pointer itself again, and follow the device.
    ASSERT_TRUE(vm.run("Input.setCursorPosition(70, 90);"));
    vm.beginFrame();
    ASSERT_TRUE(pumpUntil([&] { return position() == "70,90"; })) << position();
    ASSERT_EQ(run("xdotool mousemove_relative 1 0"), 0);
    ASSERT_TRUE(pumpUntil([&] { return position() == "71,90"; })) << position();
}

TEST_F(InputWindow, ControllersReadOnlyWhileTheWindowHasTheFocus) {
    auto other = KoFrame::createWindow(u"input-other", 100, 100);
    ASSERT_TRUE(other);
    ASSERT_TRUE(vm.run(
        "c <- Input.Controller(); c.setButton(0, [\"key.a\"]); c.setAxis(1, [\"mouse.x\"]);"));
    ASSERT_EQ(run("xdotool search --sync --name '^input-window$' windowfocus --sync"), 0);
    moveTo(25, 5);
    KoInput::Testing::pushKey("A", true);
    ASSERT_TRUE(pumpUntil([&] { return eval("c.update() && c.getInput(0)") == "1"; }));
    EXPECT_EQ(eval("c.getInput(1)"), "25");

    ASSERT_EQ(run("xdotool search --sync --name '^input-other$' windowfocus --sync"), 0);
    ASSERT_TRUE(pumpUntil([&] { return eval("c.update() && c.getInput(0)") == "0"; }));
    EXPECT_EQ(eval("c.isReleased(0)"), "true");
    moveTo(60, 5);
    EXPECT_EQ(eval("c.update() && c.getInput(1)"), "25"); // the axis keeps its last live value

    ASSERT_EQ(run("xdotool search --sync --name '^input-window$' windowfocus --sync"), 0);
    KoInput::Testing::pushKey("A", true); // SDL released the keys when the focus went
    ASSERT_TRUE(pumpUntil([&] { return eval("c.update() && c.getInput(0)") == "1"; }));
    EXPECT_EQ(eval("c.getInput(1)"), "60");
}

} // namespace
