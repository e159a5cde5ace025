// Handler lists and dispatch order; no SDL window is needed for these.
#include "frame/Window.h"

#include <gtest/gtest.h>

#include <string>

using namespace KoFrame;

namespace {

constexpr uint32_t kMsg = 0x1234;

// A message handler that logs its name and answers as told.
SharedMessageHandler logging(std::string& log, const char* name, EventResult answer) {
    return std::make_shared<MessageHandler>(
        [&log, name, answer](IComponent*, WindowHandle, uint32_t, uint32_t, int32_t) {
            log += name;
            return answer;
        });
}

} // namespace

TEST(Handlers, NewestRunsFirstUnhandledFallsThroughHandledStops) {
    Core::Window w;
    std::string log;
    auto a = w.addMessageHandler(logging(log, "a", EventResult::unhandled()));
    auto b = w.addMessageHandler(logging(log, "b", EventResult::handled(7)));
    auto c = w.addMessageHandler(logging(log, "c", EventResult::unhandled()));
    EventResult r = w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "cb");
    EXPECT_TRUE(r.isHandled());
    EXPECT_EQ(r.value, 7);
    EXPECT_EQ(w.windowProc(nullptr, kMsg, 0, 0), 7);

    log.clear();
    w.removeMessageHandler(b);
    r = w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "ca");
    EXPECT_FALSE(r.isHandled());
    EXPECT_EQ(w.windowProc(nullptr, kMsg, 0, 0), 0); // default processing of an unknown message
}

TEST(Handlers, TwoHandledHandlersOnlyTheLastAddedRuns) {
    Core::Window w;
    std::string log;
    w.addMessageHandler(logging(log, "first", EventResult::handled(1)));
    w.addMessageHandler(logging(log, "last", EventResult::handled(2)));
    EXPECT_EQ(w.windowProc(nullptr, kMsg, 0, 0), 2);
    EXPECT_EQ(log, "last");
}

TEST(Handlers, HandlersGetTheWindowAndTheMessageUnchanged) {
    Core::Window w;
    IComponent* seenWindow = nullptr;
    uint32_t seenMsg = 0, seenW = 0;
    int32_t seenL = 0;
    WindowHandle seenHandle = reinterpret_cast<WindowHandle>(1);
    w.addMessageHandler([&](IComponent* self, WindowHandle h, uint32_t m, uint32_t wp, int32_t lp) {
        seenWindow = self, seenHandle = h, seenMsg = m, seenW = wp, seenL = lp;
        return EventResult::unhandled();
    });
    w.processMessage(nullptr, 0xABCD, 0xFFFFFFFFu, -5);
    EXPECT_EQ(seenWindow, &w);
    EXPECT_EQ(seenHandle, nullptr);
    EXPECT_EQ(seenMsg, 0xABCDu);
    EXPECT_EQ(seenW, 0xFFFFFFFFu);
    EXPECT_EQ(seenL, -5);
}

TEST(Handlers, AddingReturnsTheHandleNullAndEmptyAddNothingUnknownRemovesAreIgnored) {
    Core::Window w;
    std::string log;
    auto h = logging(log, "h", EventResult::unhandled());
    EXPECT_EQ(w.addMessageHandler(h), h);
    EXPECT_EQ(w.addMessageHandler(SharedMessageHandler{}), nullptr);
    EXPECT_EQ(w.addMessageHandler(MessageHandler{}), nullptr);
    EXPECT_EQ(w.addCloseHandler(WindowHandler{}), nullptr);
    EXPECT_EQ(w.addDestroyHandler(SharedWindowHandler{}), nullptr);
    w.removeMessageHandler(logging(log, "never added", EventResult::handled()));
    w.removeMessageHandler(nullptr);
    w.processMessage(nullptr, kMsg, 0, 0); // an empty entry would throw here
    EXPECT_EQ(log, "h");
    w.removeMessageHandler(h);
    w.removeMessageHandler(h); // second removal: nothing left to remove
    log.clear();
    w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "");
}

TEST(Handlers, SameHandlerAddedTwiceRunsTwiceAndIsRemovedOneAtATime) {
    Core::Window w;
    std::string log;
    auto h = logging(log, "h", EventResult::unhandled());
    w.addMessageHandler(h);
    w.addMessageHandler(h);
    w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "hh");
    w.removeMessageHandler(h);
    log.clear();
    w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "h");
}

TEST(Handlers, ChangingTheListWhileDispatchingIsSafe) {
    Core::Window w;
    std::string log;
    SharedMessageHandler older, added;
    older = w.addMessageHandler(logging(log, "older", EventResult::unhandled()));
    SharedMessageHandler self;
    self = w.addMessageHandler([&](IComponent*, WindowHandle, uint32_t, uint32_t, int32_t) {
        log += "self";
        w.removeMessageHandler(self);  // itself
        w.removeMessageHandler(older); // one that has not run yet: it is skipped
        added = w.addMessageHandler(logging(log, "added", EventResult::unhandled()));
        return EventResult::unhandled();
    });
    w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "self"); // the handler added meanwhile waits for the next message
    log.clear();
    w.processMessage(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "added");
}

TEST(Handlers, CloseAndDestroyListsRunOnlyForTheirMessagesAfterTheMessageHandlers) {
    Core::Window w;
    std::string log;
    w.addMessageHandler(logging(log, "m ", EventResult::unhandled()));
    w.addCloseHandler([&](IComponent*) {
        log += "close ";
        return EventResult::handled(3);
    });
    w.addDestroyHandler([&](IComponent*) {
        log += "destroy ";
        return EventResult::handled(4);
    });
    EXPECT_EQ(w.windowProc(nullptr, WM_CLOSE, 0, 0), 3);
    EXPECT_EQ(log, "m close ");
    log.clear();
    EXPECT_EQ(w.windowProc(nullptr, WM_DESTROY, 0, 0), 4);
    EXPECT_EQ(log, "m destroy ");
    log.clear();
    w.windowProc(nullptr, WM_SIZE, 0, 0);
    EXPECT_EQ(log, "m ");

    // A message handler that handles WM_CLOSE keeps the close list from running at all.
    log.clear();
    w.addMessageHandler([&](IComponent*, WindowHandle, uint32_t m, uint32_t, int32_t) {
        return m == WM_CLOSE ? EventResult::handled(9) : EventResult::unhandled();
    });
    EXPECT_EQ(w.windowProc(nullptr, WM_CLOSE, 0, 0), 9);
    EXPECT_EQ(log, "");
}

TEST(Handlers, RemovedCloseHandlerNoLongerRuns) {
    Core::Window w;
    int calls = 0;
    auto h = w.addCloseHandler([&](IComponent*) {
        ++calls;
        return EventResult::handled();
    });
    w.processMessage(nullptr, WM_CLOSE, 0, 0);
    w.removeCloseHandler(h);
    w.removeDestroyHandler(h); // not in that list: ignored
    w.processMessage(nullptr, WM_CLOSE, 0, 0);
    EXPECT_EQ(calls, 1);
}

TEST(Handlers, AttachedComponentSeesMessagesFirst) {
    struct Component : IComponent {
        bool handle = true;
        int calls = 0;
        EventResult processMessage(WindowHandle, uint32_t, uint32_t, int32_t) override {
            ++calls;
            return handle ? EventResult::handled(42) : EventResult::unhandled();
        }
    };
    Core::Window w;
    auto component = std::make_shared<Component>();
    std::string log;
    w.addMessageHandler(logging(log, "h", EventResult::unhandled()));
    EXPECT_TRUE(w.setComponent(component));
    EXPECT_EQ(w.getComponent(), component);
    EXPECT_EQ(w.windowProc(nullptr, kMsg, 0, 0), 42);
    EXPECT_EQ(log, "");
    component->handle = false;
    w.windowProc(nullptr, kMsg, 0, 0);
    EXPECT_EQ(log, "h");
    EXPECT_EQ(component->calls, 2);
    EXPECT_TRUE(w.setComponent(nullptr));
    w.windowProc(nullptr, kMsg, 0, 0);
    EXPECT_EQ(component->calls, 2);
}

TEST(Handlers, WindowNeverCreatedIsDestroyedAndDoesNothing) {
    Core::Window w;
    EXPECT_TRUE(w.isDestroyed());
    EXPECT_EQ(w.getHandle(), nullptr);
    EXPECT_FALSE(w.setTitle(u"x"));
    EXPECT_EQ(w.getWidth(), 0);
    int closes = 0;
    w.addCloseHandler([&](IComponent*) {
        ++closes;
        return EventResult::handled();
    });
    w.close();
    EXPECT_EQ(closes, 0);
}
