// The window over a real SDL video driver (each test on its own Xvfb display).
#include "Support.h"
#include "frame/QuitConfirmation.h"
#include "frame/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace KoFrame;
using KoFrameTest::Recorder;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        setCurrentWindow(nullptr);
        unsetenv("KOFRAME_TEST_QUIT_ANSWER");
    }
};

void pushWindowEvent(IWindow& w, uint8_t event, int32_t d1 = 0, int32_t d2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(w.getHandle());
    e.window.event = event;
    e.window.data1 = d1;
    e.window.data2 = d2;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

} // namespace

TEST_F(WindowTest, ClientAreaHasTheSizeAskedForCentredOnTheDisplayAndIsFixed) {
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Rect display;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &display), 0);
    ASSERT_EQ(display.w, 1024);
    ASSERT_EQ(display.h, 768);
    struct Case {
        uint16_t w, h;
        int x, y;
    };
    // Odd sizes: both halves are rounded down before subtracting.
    for (Case c : {Case{640, 480, 192, 144}, Case{641, 481, 192, 144}, Case{100, 51, 462, 359},
                   Case{1024, 768, 0, 0}}) {
        auto w = createWindow(u"size", c.w, c.h);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->getWidth(), c.w);
        EXPECT_EQ(w->getHeight(), c.h);
        EXPECT_EQ(w->getX(), c.x) << c.w;
        EXPECT_EQ(w->getY(), c.y) << c.h;
        const Uint32 flags = SDL_GetWindowFlags(w->getHandle());
        EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
        EXPECT_TRUE(flags & SDL_WINDOW_OPENGL); // graphics makes its GL context on it
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->isDestroyed());
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(WindowTest, CreatedHiddenOnRequestAndShownLater) {
    auto w = createWindow(u"hidden", 320, 200, false);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->setVisible(true));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->setVisible(false));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(WindowTest, SecondCreateOnTheSameObjectFails) {
    auto w = createWindow(u"once", 100, 100);
    ASSERT_TRUE(w);
    SDL_Window* first = w->getHandle();
    EXPECT_FALSE(w->create(u"again", 50, 50));
    EXPECT_EQ(w->getHandle(), first);
    EXPECT_EQ(w->getWidth(), 100);
}

TEST_F(WindowTest, ZeroSizeGivesATinyWindowNotAFailure) {
    auto w = createWindow(u"zero", 0, 0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->getWidth(), 1);
    EXPECT_EQ(w->getHeight(), 1);
    // Each side on its own: the other keeps its size.
    auto wide = createWindow(u"flat", 300, 0);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->getWidth(), 300);
    EXPECT_EQ(wide->getHeight(), 1);
}

TEST_F(WindowTest, TitleRoundTripsThroughUtf8AndIsCutTo255Units) {
    const std::u16string japanese = u"確認 — ゲーム \U0001F600";
    auto w = createWindow(japanese, 200, 100);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->getTitle(), japanese);
    EXPECT_STREQ(SDL_GetWindowTitle(w->getHandle()), "確認 — ゲーム \xF0\x9F\x98\x80");

    EXPECT_TRUE(w->setTitle(std::u16string(300, u'a')));
    EXPECT_EQ(w->getTitle(), std::u16string(255, u'a'));
    EXPECT_TRUE(w->setTitle(std::u16string(255, u'b')));
    EXPECT_EQ(w->getTitle().size(), 255u);

    // A pair straddling the limit is dropped whole, never cut in half.
    EXPECT_TRUE(w->setTitle(std::u16string(254, u'c') + u"\U0001F600"));
    EXPECT_EQ(w->getTitle(), std::u16string(254, u'c'));

    // A lone surrogate cannot go to UTF-8: it becomes U+FFFD instead of breaking the caption.
    EXPECT_TRUE(w->setTitle(std::u16string(u"x") + char16_t(0xD800) + u"y"));
    EXPECT_EQ(w->getTitle(), u"x\uFFFDy");
}

TEST_F(WindowTest, PositionAndSizeOfTheOuterWindow) {
    auto w = createWindow(u"move", 300, 200);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->setPosition(10, 20));
    EXPECT_EQ(w->getX(), 10);
    EXPECT_EQ(w->getY(), 20);
    EXPECT_TRUE(w->setX(-30));
    EXPECT_EQ(w->getX(), -30);
    EXPECT_EQ(w->getY(), 20);
    EXPECT_TRUE(w->setY(400));
    EXPECT_EQ(w->getX(), -30);
    EXPECT_EQ(w->getY(), 400);
    // No window manager on the test display: the frame is empty, outer size = client size.
    EXPECT_TRUE(w->setSize(500, 250));
    EXPECT_EQ(w->getWidth(), 500);
    EXPECT_EQ(w->getHeight(), 250);
}

TEST_F(WindowTest, DestroyedWindowAnswersEveryCallWithItsFailureValue) {
    auto w = createWindow(u"gone", 200, 100);
    ASSERT_TRUE(w);
    int closeCalls = 0;
    w->addCloseHandler([&](IComponent*) {
        ++closeCalls;
        return EventResult::unhandled();
    });
    w->destroy();
    EXPECT_TRUE(w->isDestroyed());
    EXPECT_EQ(w->getHandle(), nullptr);
    EXPECT_FALSE(w->setVisible(true));
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->setTitle(u"x"));
    EXPECT_EQ(w->getTitle(), u"");
    EXPECT_FALSE(w->setPosition(1, 2));
    EXPECT_FALSE(w->setX(1));
    EXPECT_FALSE(w->setY(1));
    EXPECT_EQ(w->getX(), 0);
    EXPECT_EQ(w->getY(), 0);
    EXPECT_FALSE(w->setSize(10, 10));
    EXPECT_EQ(w->getWidth(), 0);
    EXPECT_EQ(w->getHeight(), 0);
    w->close(); // nothing left to close
    w->destroy();
    EXPECT_EQ(closeCalls, 0);
}

TEST_F(WindowTest, CloseWithoutLaterHandlersDestroysAtOnceAndRunsDestroyHandlersNewestFirst) {
    auto w = createWindow(u"close", 200, 100);
    ASSERT_TRUE(w);
    Recorder rec(*w);
    std::string order;
    SDL_Window* seenDuringDestroy = nullptr;
    w->addDestroyHandler([&](IComponent* self) {
        order += "old ";
        seenDuringDestroy = static_cast<IWindow*>(self)->getHandle();
        return EventResult::unhandled();
    });
    w->addDestroyHandler([&](IComponent*) {
        order += "new ";
        return EventResult::unhandled();
    });
    SDL_Window* handle = w->getHandle();
    w->close();
    EXPECT_EQ(order, "new old ");
    // The SDL window still exists while destroy handlers run (a GL context can go there).
    EXPECT_EQ(seenDuringDestroy, handle);
    EXPECT_TRUE(w->isDestroyed());
    ASSERT_EQ(rec.ofAny({WM_CLOSE, WM_DESTROY}).size(), 2u);
    EXPECT_EQ(rec.ofAny({WM_CLOSE, WM_DESTROY})[0].message, WM_CLOSE);
    EXPECT_EQ(rec.ofAny({WM_CLOSE, WM_DESTROY})[1].message, WM_DESTROY);
}

TEST_F(WindowTest, HandledCloseHandlerKeepsTheWindowUnhandledFallsThroughToDestroy) {
    auto w = createWindow(u"keep", 200, 100);
    ASSERT_TRUE(w);
    bool keep = true;
    int calls = 0;
    auto handle = w->addCloseHandler([&](IComponent*) {
        ++calls;
        return keep ? EventResult::handled() : EventResult::unhandled();
    });
    w->close();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(w->isDestroyed());
    keep = false;
    w->close();
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(w->isDestroyed());
}

TEST_F(WindowTest, DestroyHandlerThatStopsTheListStillLeavesNoStaleHandle) {
    auto w = createWindow(u"stale", 200, 100);
    ASSERT_TRUE(w);
    w->addDestroyHandler([](IComponent*) { return EventResult::handled(); });
    w->close();
    EXPECT_TRUE(w->isDestroyed());
    EXPECT_EQ(w->getHandle(), nullptr);
}

TEST_F(WindowTest, ReleasingTheLastReferenceDestroysTheWindowThroughTheHandlers) {
    int destroyed = 0;
    {
        auto w = createWindow(u"release", 200, 100);
        ASSERT_TRUE(w);
        w->addDestroyHandler([&](IComponent*) {
            ++destroyed;
            return EventResult::unhandled();
        });
    }
    EXPECT_EQ(destroyed, 1);
}

TEST_F(WindowTest, CloseBoxGoesThroughTheQuitConfirmationAnsweredByTheSeam) {
    auto w = createWindow(u"confirm", 200, 100);
    ASSERT_TRUE(w);
    w->addCloseHandler(confirmQuit);
    setCurrentWindow(w);

    setenv("KOFRAME_TEST_QUIT_ANSWER", "no", 1);
    pushWindowEvent(*w, SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(pumpMessages());
    EXPECT_FALSE(w->isDestroyed());
    EXPECT_TRUE(pumpMessages());

    setenv("KOFRAME_TEST_QUIT_ANSWER", "yes", 1);
    pushWindowEvent(*w, SDL_WINDOWEVENT_CLOSE);
    // The pump that destroyed the window still finishes its round; the next one ends.
    EXPECT_TRUE(pumpMessages());
    EXPECT_TRUE(w->isDestroyed());
    EXPECT_FALSE(pumpMessages());
    EXPECT_EQ(lastMessage().message, WM_QUIT);
    EXPECT_EQ(lastMessage().wParam, 0u);
}

TEST_F(WindowTest, SeamAnswersAListInOrderAndRepeatsTheLast) {
    auto w = createWindow(u"seq", 200, 100);
    ASSERT_TRUE(w);
    w->addCloseHandler(confirmQuit);
    setenv("KOFRAME_TEST_QUIT_ANSWER", "no,no,yes", 1);
    w->close();
    EXPECT_FALSE(w->isDestroyed());
    w->close();
    EXPECT_FALSE(w->isDestroyed());
    w->close();
    EXPECT_TRUE(w->isDestroyed());

    // A fresh list starts from its first answer again; anything but "yes" is no.
    auto w2 = createWindow(u"seq2", 200, 100);
    ASSERT_TRUE(w2);
    w2->addCloseHandler(confirmQuit);
    setenv("KOFRAME_TEST_QUIT_ANSWER", "maybe,yes", 1);
    w2->close();
    EXPECT_FALSE(w2->isDestroyed());
    w2->close();
    EXPECT_TRUE(w2->isDestroyed());
}

TEST_F(WindowTest, QuitConfirmationIgnoresSomethingThatIsNotALiveWindow) {
    struct Plain : IComponent {
        EventResult processMessage(WindowHandle, uint32_t, uint32_t, int32_t) override {
            return EventResult::unhandled();
        }
    } plain;
    setenv("KOFRAME_TEST_QUIT_ANSWER", "yes", 1);
    EXPECT_TRUE(confirmQuit(&plain).isHandled());
    EXPECT_TRUE(confirmQuit(nullptr).isHandled());
}
