#include "ui_thread_stand_in.h"

using namespace std::chrono_literals;

bool TUiThreadStandIn::RunUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + patience_;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        WaitForWakeUp(20ms);
        handOver_.RunQueued();
    }
    return true;
}

bool TUiThreadStandIn::WaitForWakeUp(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    const bool woken = wakeUp_.wait_for(lock, limit, [this] { return wakeUps_ > 0; });
    wakeUps_ = 0;
    return woken;
}

void TUiThreadStandIn::Wake()
{
    {
        std::lock_guard lock(mutex_);
        ++wakeUps_;
    }
    wakeUp_.notify_all();
}
