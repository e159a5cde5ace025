// The single-instance lock and its channel, within one process and across processes.
#include "Probe.h"
#include "frame/Monitor.h"
#include "io/Utf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace KoFrame;
using KoFrameTest::Probe;
using KoFrameTest::RuntimeDir;

TEST(Monitor, NameIsThePrefixAndTheId) {
    RuntimeDir dir;
    auto m = createMonitor(u"ゲーム");
    EXPECT_EQ(m->getName(), u"KoFrame_Monitor_ゲーム");
    EXPECT_TRUE(m->isFirstInstance());
}

TEST(Monitor, SecondMonitorOfTheSameNameIsNotFirstUntilTheFirstIsGone) {
    RuntimeDir dir;
    auto first = createMonitor(u"KoPlayhost");
    auto second = createMonitor(u"KoPlayhost");
    EXPECT_TRUE(first->isFirstInstance());
    EXPECT_FALSE(second->isFirstInstance());
    // Different IDs run side by side.
    auto other = createMonitor(u"KoPlayhost2");
    EXPECT_TRUE(other->isFirstInstance());
    first.reset();
    second.reset();
    EXPECT_TRUE(createMonitor(u"KoPlayhost")->isFirstInstance());
}

TEST(Monitor, AnyIdMakesAFileInsideTheRuntimeDirectory) {
    RuntimeDir dir;
    const std::u16string ids[] = {u"../../etc/passwd",
                                  u"a/b",
                                  u"",
                                  u".",
                                  u"..",
                                  std::u16string(u"nul\0byte", 8),
                                  u"日本語 ID",
                                  std::u16string(400, u'x')};
    std::vector<std::shared_ptr<IMonitor>> held;
    for (const auto& id : ids) {
        auto m = std::make_shared<Core::Monitor>(id);
        EXPECT_TRUE(m->isFirstInstance());
        const std::string& path = m->lockPath();
        ASSERT_EQ(path.rfind(dir.path() + "/KoFrame_Monitor_", 0), 0u) << path;
        EXPECT_EQ(path.find('/', dir.path().size() + 1), std::string::npos) << path;
        EXPECT_LE(path.size() - dir.path().size(), 201u);
        held.push_back(m);
    }
    // Names that only differ after the cut of a long ID still get locks of their own.
    auto longA = createMonitor(std::u16string(400, u'x') + u"a");
    auto longB = createMonitor(std::u16string(400, u'x') + u"b");
    EXPECT_TRUE(longA->isFirstInstance());
    EXPECT_TRUE(longB->isFirstInstance());
    // "a/b" and "a%2Fb" must not share a lock either.
    EXPECT_TRUE(createMonitor(u"a%2Fb")->isFirstInstance());
}

TEST(Monitor, WithoutAPrivateRuntimeDirectoryAPrivateTmpFolderIsUsed) {
    RuntimeDir dir;
    chmod(dir.path().c_str(), 0755); // readable by others: not used
    const std::u16string name = u"fallback-test-" + KoIO::fromUtf8(std::to_string(getpid()));
    Core::Monitor open(name);
    EXPECT_EQ(open.lockPath().rfind("/tmp/koframe-" + std::to_string(getuid()) + "/", 0), 0u)
        << open.lockPath();
    unsetenv("XDG_RUNTIME_DIR");
    Core::Monitor unset(name);
    EXPECT_EQ(unset.lockPath(), open.lockPath());
    EXPECT_TRUE(open.isFirstInstance());
    EXPECT_FALSE(unset.isFirstInstance());
}

TEST(Monitor, RaiseRequestsGoFromALaterMonitorToTheFirst) {
    RuntimeDir dir;
    Core::Monitor first(u"raise");
    Core::Monitor second(u"raise");
    EXPECT_FALSE(first.requestRaise()); // the first has nobody to ask
    EXPECT_EQ(first.poll(), 0u);
    EXPECT_TRUE(second.requestRaise());
    EXPECT_TRUE(second.requestRaise());
    EXPECT_EQ(first.poll(), 2u);
    EXPECT_EQ(first.poll(), 0u);
    EXPECT_EQ(first.raiseRequestCount(), 2u);
    EXPECT_EQ(Detail::pollRaiseRequests(), 0u);
    EXPECT_TRUE(second.requestRaise());
    EXPECT_EQ(Detail::pollRaiseRequests(), 1u); // the pump's way to read them
    EXPECT_EQ(first.raiseRequestCount(), 3u);
}

namespace {
bool sendTo(const std::string& channel, const std::string& payload) {
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, channel.data(), channel.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + channel.size());
    const ssize_t n = sendto(fd, payload.data(), payload.size(), 0,
                             reinterpret_cast<const sockaddr*>(&addr), length);
    close(fd);
    return n == static_cast<ssize_t>(payload.size());
}
} // namespace

TEST(Monitor, OnlyTheExactRequestCountsOnTheChannel) {
    RuntimeDir dir;
    Core::Monitor first(u"stray");
    ASSERT_TRUE(first.isFirstInstance());
    const std::string request = "raise " + first.lockPath();
    ASSERT_TRUE(sendTo(first.channelName(), "hello"));
    ASSERT_TRUE(sendTo(first.channelName(), ""));
    ASSERT_TRUE(sendTo(first.channelName(), request + "x"));
    ASSERT_TRUE(sendTo(first.channelName(), request.substr(0, request.size() - 1)));
    ASSERT_TRUE(sendTo(first.channelName(), request + std::string(5000, 'x'))); // truncated
    EXPECT_EQ(first.poll(), 0u);
    ASSERT_TRUE(sendTo(first.channelName(), request));
    EXPECT_EQ(first.poll(), 1u);
    // A later monitor of the same name never binds the channel itself.
    Core::Monitor second(u"stray");
    EXPECT_FALSE(second.isFirstInstance());
    EXPECT_EQ(second.poll(), 0u);
    EXPECT_TRUE(second.requestRaise());
    EXPECT_EQ(first.poll(), 1u);
}

TEST(Monitor, AnotherProcessSeesTheLockAndAsksTheFirstToRaise) {
    RuntimeDir dir;
    Core::Monitor first(u"two processes");
    ASSERT_TRUE(first.isFirstInstance());
    Probe probe("two processes", "ask");
    EXPECT_EQ(probe.line(), "second");
    EXPECT_EQ(probe.line(), "sent");
    EXPECT_EQ(probe.wait(), 0);
    EXPECT_EQ(first.poll(), 1u);

    Probe other("another id", "ask");
    EXPECT_EQ(other.line(), "first");
    EXPECT_EQ(other.wait(), 0);
}

TEST(Monitor, FirstInstanceInAnotherProcessGetsOurRequest) {
    RuntimeDir dir;
    Probe probe("held elsewhere", "hold");
    ASSERT_EQ(probe.line(), "first");
    Core::Monitor later(u"held elsewhere");
    EXPECT_FALSE(later.isFirstInstance());
    EXPECT_TRUE(later.requestRaise());
    EXPECT_EQ(probe.line(), "raised 1");
    EXPECT_EQ(probe.wait(), 0);
    // Its lock went with it.
    EXPECT_TRUE(Core::Monitor(u"held elsewhere").isFirstInstance());
}

TEST(Monitor, LockOfAKilledProcessIsFreeAtOnce) {
    RuntimeDir dir;
    Probe probe("killed", "sleep");
    ASSERT_EQ(probe.line(), "first");
    EXPECT_FALSE(Core::Monitor(u"killed").isFirstInstance());
    probe.killNow();
    Core::Monitor after(u"killed");
    EXPECT_TRUE(after.isFirstInstance());
    // Its channel is free again as well: requests reach the new holder.
    Core::Monitor later(u"killed");
    EXPECT_TRUE(later.requestRaise());
    EXPECT_EQ(after.poll(), 1u);
}

TEST(Monitor, RuntimeDirectoriesOfDifferentSessionsDoNotMeet) {
    RuntimeDir a;
    Core::Monitor inA(u"same");
    RuntimeDir b;
    Core::Monitor inB(u"same");
    EXPECT_TRUE(inA.isFirstInstance());
    EXPECT_TRUE(inB.isFirstInstance()); // its own lock, and its own channel bound
    Core::Monitor laterB(u"same");
    EXPECT_TRUE(laterB.requestRaise());
    EXPECT_EQ(inB.poll(), 1u);
    EXPECT_EQ(inA.poll(), 0u);
}
