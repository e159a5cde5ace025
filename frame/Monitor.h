#pragma once
#include "frame/IMonitor.h"

#include <string>

namespace KoFrame::Core {

// The lock is a file "KoFrame_Monitor_<ID>" (ID escaped for a file name) in $XDG_RUNTIME_DIR,
// or in a private /tmp/koframe-<uid> without one, held with flock for the monitor's life; the
// kernel drops it when the process ends, however it ends. The first instance also binds a
// datagram socket in the abstract namespace named after the lock file; a later instance sends
// its raise request there, and only requests from the same user are taken.
class Monitor final : public IMonitor {
public:
    explicit Monitor(const std::u16string& name);
    ~Monitor() override;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    bool isFirstInstance() override { return first_; }
    std::u16string getName() override { return name_; }
    bool requestRaise() override;
    unsigned raiseRequestCount() override { return requests_; }

    // Reads the waiting requests; returns how many were raise requests.
    unsigned poll();
    // The lock file (empty when no private directory was available).
    const std::string& lockPath() const { return lockPath_; }
    // Name of the channel in the abstract socket namespace (without the leading NUL).
    const std::string& channelName() const { return channel_; }

private:
    std::u16string name_;
    std::string lockPath_;
    std::string channel_; // abstract socket name, without the leading NUL
    int lockFd_ = -1;
    int channelFd_ = -1;
    bool first_ = false;
    unsigned requests_ = 0;
};

} // namespace KoFrame::Core

namespace KoFrame::Detail {
// Raise requests that reached any first-instance monitor of this process since the last call.
unsigned pollRaiseRequests();
} // namespace KoFrame::Detail
