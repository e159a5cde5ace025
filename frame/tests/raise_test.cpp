// A later instance asks the first one to show its window; the first answers in its pump.
#include "Probe.h"
#include "Support.h"
#include "frame/IMonitor.h"

#include <gtest/gtest.h>

using namespace KoFrame;
using KoFrameTest::Probe;
using KoFrameTest::Recorder;
using KoFrameTest::RuntimeDir;

TEST(Raise, SecondProcessEndsAndTheFirstShowsAndRaisesItsWindow) {
    RuntimeDir dir;
    auto monitor = createMonitor(u"raise-window");
    ASSERT_TRUE(monitor->isFirstInstance());
    auto window = createWindow(u"first", 320, 200, false);
    ASSERT_TRUE(window);
    setCurrentWindow(window);
    Recorder rec(*window);
    EXPECT_FALSE(window->isVisible());

    Probe probe("raise-window", "ask");
    EXPECT_EQ(probe.line(), "second");
    EXPECT_EQ(probe.line(), "sent");
    EXPECT_EQ(probe.wait(), 0);

    ASSERT_TRUE(KoFrameTest::pumpUntil([&] { return !rec.of(WM_KO_RAISEREQUEST).empty(); }));
    EXPECT_EQ(rec.of(WM_KO_RAISEREQUEST).size(), 1u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(monitor->raiseRequestCount(), 1u);
    setCurrentWindow(nullptr);
}

TEST(Raise, AHandlerMayTakeTheRequestItself) {
    RuntimeDir dir;
    auto monitor = createMonitor(u"raise-handled");
    auto window = createWindow(u"first", 320, 200, false);
    ASSERT_TRUE(window);
    setCurrentWindow(window);
    int requests = 0;
    window->addMessageHandler([&](IComponent*, WindowHandle, uint32_t m, uint32_t, int32_t) {
        if (m != WM_KO_RAISEREQUEST) return EventResult::unhandled();
        ++requests;
        return EventResult::handled();
    });
    auto later = createMonitor(u"raise-handled");
    EXPECT_FALSE(later->isFirstInstance());
    EXPECT_TRUE(later->requestRaise());
    ASSERT_TRUE(KoFrameTest::pumpUntil([&] { return requests == 1; }));
    EXPECT_FALSE(window->isVisible()); // handled: no default processing
    setCurrentWindow(nullptr);
}
