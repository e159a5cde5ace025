// Components and the controller over fake getters: sums, effects, the two-entry history and
// what components read while the program's window is not the active one.
#include "Fakes.h"
#include "input/Components.h"
#include "input/Controller.h"
#include "input/Platform.h"

#include <gtest/gtest.h>

using namespace KoInput;
using namespace KoInput::Core;
using KoInputTest::AddEffect;
using KoInputTest::FakeGetter;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new KoInputTest::SdlEnvironment);

constexpr uint32_t kOurs = 7, kOther = 8;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Testing::resetState();
        KoInputTest::focus(kOurs, true);
    }
    // A controller of window kOurs with a button (key 1) and an axis (key 2).
    Controller controller{WindowId{kOurs}};
    std::shared_ptr<FakeGetter> buttonGetter = std::make_shared<FakeGetter>();
    std::shared_ptr<FakeGetter> axisGetter = std::make_shared<FakeGetter>();
    void bindBoth() {
        auto button = std::make_shared<VolatileComponent>(0);
        button->addGetter(buttonGetter);
        auto axis = std::make_shared<FixedComponent>();
        axis->addGetter(axisGetter);
        ASSERT_TRUE(controller.setComponent(1, button));
        ASSERT_TRUE(controller.setComponent(2, axis));
    }
};

TEST(Components, SumGettersThroughTheEffect) {
    VolatileComponent c(0);
    EXPECT_EQ(c.compute(), 0); // no getters
    auto a = std::make_shared<FakeGetter>(1), b = std::make_shared<FakeGetter>(1);
    EXPECT_FALSE(c.addGetter(nullptr));
    EXPECT_TRUE(c.addGetter(a));
    EXPECT_TRUE(c.addGetter(b));
    EXPECT_TRUE(c.addGetter(a)); // duplicates count twice
    EXPECT_EQ(c.compute(), 3);
    EXPECT_EQ(a->reads, 2);
    auto effect = std::make_shared<AddEffect>(10);
    EXPECT_TRUE(c.setEffect(effect));
    EXPECT_EQ(c.getEffect(), effect);
    EXPECT_EQ(c.compute(), 13);
    EXPECT_TRUE(c.setEffect(nullptr));
    EXPECT_EQ(c.compute(), 3);
}

TEST(Components, RemovingGetters) {
    FixedComponent c;
    auto a = std::make_shared<FakeGetter>(1), b = std::make_shared<FakeGetter>(2);
    c.addGetter(a);
    c.addGetter(b);
    c.addGetter(a);
    EXPECT_FALSE(c.removeGetter(nullptr));
    EXPECT_TRUE(c.removeGetter(std::make_shared<FakeGetter>(1))); // none matched: still true
    EXPECT_EQ(c.getterCount(), 3);
    EXPECT_TRUE(c.removeGetter(a)); // the first only
    ASSERT_EQ(c.getterCount(), 2);
    EXPECT_EQ(c.getters()[0], b);
    EXPECT_EQ(c.getters()[1], a);
    EXPECT_FALSE(c.removeGetterAt(2));
    EXPECT_FALSE(c.removeGetterAt(-1));
    EXPECT_TRUE(c.removeGetterAt(0));
    EXPECT_EQ(c.getters()[0], a);
    EXPECT_TRUE(c.clearGetters());
    EXPECT_EQ(c.getterCount(), 0);
}

TEST(Components, DisabledFixedKeepsLastLiveValueVolatileFallsBackToDefault) {
    auto g = std::make_shared<FakeGetter>(5);
    FixedComponent axis;
    VolatileComponent button(3);
    axis.addGetter(g);
    button.addGetter(g);
    axis.disable();
    button.disable();
    EXPECT_EQ(axis.compute(), 0);   // never live yet
    EXPECT_EQ(button.compute(), 3); // its default
    axis.enable();
    button.enable();
    EXPECT_EQ(axis.compute(), 5);
    EXPECT_EQ(button.compute(), 5);
    g->value = 9;
    axis.disable();
    button.disable();
    EXPECT_EQ(axis.compute(), 5);
    EXPECT_EQ(button.compute(), 3);
}

TEST_F(ControllerTest, HistoryGivesPushedPressedReleased) {
    bindBoth();
    // Set but not updated: previous = current = 0, even with the button down.
    buttonGetter->value = 1;
    EXPECT_FALSE(controller.isPushed(1));
    EXPECT_FALSE(controller.isPressed(1));
    EXPECT_EQ(controller.getInput(1), 0);

    controller.update(); // held: 1st
    EXPECT_TRUE(controller.isPushed(1));
    EXPECT_TRUE(controller.isPressed(1));
    EXPECT_FALSE(controller.isReleased(1));
    controller.update(); // 2nd
    EXPECT_FALSE(controller.isPushed(1));
    EXPECT_TRUE(controller.isPressed(1));
    controller.update(); // 3rd
    EXPECT_FALSE(controller.isPushed(1));
    EXPECT_TRUE(controller.isPressed(1));
    buttonGetter->value = 0;
    controller.update(); // found up
    EXPECT_TRUE(controller.isReleased(1));
    EXPECT_FALSE(controller.isPressed(1));
    controller.update();
    EXPECT_FALSE(controller.isReleased(1));

    // Two updates in one "frame" lose the edge.
    buttonGetter->value = 1;
    controller.update();
    controller.update();
    EXPECT_FALSE(controller.isPushed(1));
    // Replacing a component resets its history.
    auto again = std::make_shared<VolatileComponent>(0);
    again->addGetter(buttonGetter);
    ASSERT_TRUE(controller.setComponent(1, again));
    EXPECT_FALSE(controller.isPressed(1));
    controller.update();
    EXPECT_TRUE(controller.isPushed(1));
}

TEST_F(ControllerTest, KeysWithoutComponentAnswerFalseAndZero) {
    EXPECT_FALSE(controller.setComponent(5, nullptr));
    bindBoth();
    axisGetter->value = 4;
    controller.update();
    EXPECT_EQ(controller.getInput(2), 4);
    for (int32_t key : {0, 3, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_FALSE(controller.isPushed(key));
        EXPECT_FALSE(controller.isPressed(key));
        EXPECT_FALSE(controller.isReleased(key));
        EXPECT_EQ(controller.getInput(key), 0);
        EXPECT_FALSE(controller.setEffect(key, std::make_shared<AddEffect>(1)));
        EXPECT_EQ(controller.getEffect(key), nullptr);
        EXPECT_EQ(controller.getComponent(key), nullptr);
    }
    EXPECT_TRUE(controller.removeComponent(2));
    EXPECT_TRUE(controller.removeComponent(2)); // absent: still true
    EXPECT_EQ(controller.getInput(2), 0);
    ASSERT_TRUE(controller.setComponent(-3, std::make_shared<FixedComponent>()));
    EXPECT_EQ(controller.getKeys(), (std::vector<int32_t>{-3, 1}));
    EXPECT_EQ(controller.getComponents().size(), 2u);
    controller.update(); // history and components still walk together
    EXPECT_EQ(controller.getInput(-3), 0);
}

TEST_F(ControllerTest, EffectThroughController) {
    bindBoth();
    axisGetter->value = 2;
    auto effect = std::make_shared<AddEffect>(100);
    EXPECT_TRUE(controller.setEffect(2, effect));
    EXPECT_EQ(controller.getEffect(2), effect);
    controller.update();
    EXPECT_EQ(controller.getInput(2), 102);
}

TEST_F(ControllerTest, InactiveWindowButtonsReadDefaultAxesRepeat) {
    bindBoth();
    buttonGetter->value = 1;
    axisGetter->value = 40;
    controller.update();
    EXPECT_EQ(controller.getInput(1), 1);
    EXPECT_EQ(controller.getInput(2), 40);

    KoInputTest::focus(kOther, true); // another window of the program took the focus
    buttonGetter->value = 1;
    axisGetter->value = 55;
    controller.update();
    EXPECT_EQ(controller.getInput(1), 0);
    EXPECT_TRUE(controller.isReleased(1));
    EXPECT_EQ(controller.getInput(2), 40); // the value at the last active update

    KoInputTest::focus(kOther, false); // nothing of ours is active now
    controller.update();
    EXPECT_EQ(controller.getInput(1), 0);
    EXPECT_EQ(controller.getInput(2), 40);

    KoInputTest::focus(kOurs, true);
    controller.update();
    EXPECT_TRUE(controller.isPushed(1));
    EXPECT_EQ(controller.getInput(2), 55);

    // Losing the focus of another window does not take ours away.
    KoInputTest::focus(kOther, false);
    controller.update();
    EXPECT_EQ(controller.getInput(1), 1);
}

TEST_F(ControllerTest, WithoutWindowActiveWhenNoWindowHasFocus) {
    Controller none{WindowId{0}};
    auto b = std::make_shared<VolatileComponent>(0);
    b->addGetter(std::make_shared<FakeGetter>(1));
    none.setComponent(0, b);
    none.update();
    EXPECT_EQ(none.getInput(0), 0); // window kOurs has the focus
    KoInputTest::focus(kOurs, false);
    none.update();
    EXPECT_EQ(none.getInput(0), 1);
}

} // namespace
