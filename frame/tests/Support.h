#pragma once
// Helpers shared by the frame tests: recording handlers and waiting on the real event queue.
#include "frame/IWindow.h"

#include <SDL.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace KoFrameTest {

struct Msg {
    uint32_t message;
    uint32_t wParam;
    int32_t lParam;
};

// Records every message the window gets, passing each on.
struct Recorder {
    std::vector<Msg> seen;
    KoFrame::IWindow& window;
    KoFrame::SharedMessageHandler handle;

    explicit Recorder(KoFrame::IWindow& w) : window(w) {
        handle = window.addMessageHandler(
            [this](KoFrame::IComponent*, KoFrame::WindowHandle, uint32_t m, uint32_t w, int32_t l) {
                seen.push_back({m, w, l});
                return KoFrame::EventResult::unhandled();
            });
    }
    ~Recorder() { window.removeMessageHandler(handle); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    std::vector<Msg> of(uint32_t message) const {
        std::vector<Msg> out;
        for (const Msg& m : seen)
            if (m.message == message) out.push_back(m);
        return out;
    }
    std::vector<Msg> ofAny(std::initializer_list<uint32_t> messages) const {
        std::vector<Msg> out;
        for (const Msg& m : seen)
            for (uint32_t want : messages)
                if (m.message == want) out.push_back(m);
        return out;
    }
};

// Pumps until the predicate holds or the time is up; true if it held.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        KoFrame::pumpMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
    return done();
}

// Lets the X server deliver what is in flight, dispatching it.
inline void settle(int ms = 150) {
    pumpUntil([] { return false; }, ms);
}

inline int run(const std::string& command) {
    return std::system(command.c_str());
}

} // namespace KoFrameTest
