#pragma once

#include "discovery/hand_over.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

// Plays the user-interface thread for the listener: the test's main thread
// drains the hand-over when woken, as Qt's event loop would.
class TUiThreadStandIn : public TUiThreadWaker {
public:
    // patience: how long RunUntil waits before it gives up; only a hang takes that long.
    explicit TUiThreadStandIn(std::chrono::milliseconds patience) : patience_(patience) {}

    THandOver& HandOver() { return handOver_; }

    // Runs hand-overs until `done` answers true; false when time ran out.
    bool RunUntil(const std::function<bool()>& done);

    // Waits for a queued hand-over without running it.
    bool WaitForWakeUp(std::chrono::milliseconds limit);

private:
    void Wake() override;

    std::chrono::milliseconds patience_;
    std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::size_t wakeUps_ = 0;
    THandOver handOver_{*this};
};
