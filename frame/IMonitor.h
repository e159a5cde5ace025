#pragma once
// The single-instance monitor: a lock named "KoFrame_Monitor_" + ID that every process of the
// same user sees, and a channel on the same name through which a later instance asks the first
// one to show its window.
#include <memory>
#include <string>

namespace KoFrame {

class IMonitor {
public:
    virtual ~IMonitor() = default;
    // True when this process holds the lock (no other live monitor of the same name). False
    // also when the lock could not be made at all.
    virtual bool isFirstInstance() = 0;
    // "KoFrame_Monitor_" followed by the name given at creation.
    virtual std::u16string getName() = 0;
    // From a later instance: asks the first one to show and raise its window. It answers inside
    // its pumpMessages() (WM_KO_RAISEREQUEST to its current window). False if nothing was sent
    // (this is the first instance, or the first one has no channel open).
    virtual bool requestRaise() = 0;
    // In the first instance: raise requests received so far.
    virtual unsigned raiseRequestCount() = 0;
};

// Always returns a monitor; it holds the lock for as long as it lives.
std::shared_ptr<IMonitor> createMonitor(const std::u16string& name);

} // namespace KoFrame
