#include "discovery/hand_over.h"

#include "discovery/thread_cpu_time.h"

// Both sides of a hand-over sleep on condition variables while they wait;
// neither yields the processor in a loop first. Beside busy programs every
// yield would hand the core to one of them for a whole time slice, and a
// receiving thread hands over a whole batch of datagrams at once, so there
// are few waits to save anyway.

THandOver::THandOver(TUiThreadWaker& waker) : waker_(waker) {}

void THandOver::Call(const std::function<void()>& call)
{
    TPendingCall pending{call, false, nullptr};
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(&pending);
    }
    uiWake_.notify_all();
    waker_.Wake();

    std::unique_lock lock(mutex_);
    callDone_.wait(lock, [&] { return pending.done.load(); });
    if (pending.failure)
        std::rethrow_exception(pending.failure);
}

void THandOver::RunQueued()
{
    std::size_t queuedNow = 0;
    {
        std::lock_guard lock(mutex_);
        queuedNow = queue_.size();
    }
    for (; queuedNow > 0 && RunOldest(); --queuedNow) {
    }
}

void THandOver::DrainWhileArriving(std::chrono::microseconds linger, std::chrono::microseconds budget,
                                   std::chrono::microseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    const auto spent = ThreadCpuTime() + budget;
    RunQueued();
    while (ThreadCpuTime() < spent && std::chrono::steady_clock::now() < end) {
        if (RunOldest())
            continue;
        std::unique_lock lock(mutex_);
        if (!uiWake_.wait_for(lock, linger, [this] { return !queue_.empty(); }))
            return;
    }
}

void THandOver::DrainUntil(const std::function<bool()>& ended)
{
    std::unique_lock lock(mutex_);
    while (!ended()) {
        if (queue_.empty()) {
            uiWake_.wait(lock);
            continue;
        }
        lock.unlock();
        RunOldest();
        lock.lock();
    }
}

void THandOver::WakeDrain()
{
    // Taking the lock orders this notification after a DrainUntil that has
    // just found `ended` false, so the wake-up cannot fall between its test
    // and its wait.
    {
        std::lock_guard lock(mutex_);
    }
    uiWake_.notify_all();
}

bool THandOver::RunOldest()
{
    TPendingCall* pending = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty())
            return false;
        pending = queue_.front();
        queue_.pop_front();
    }
    // The call runs without the lock: it may take long, and receiving
    // threads must still be able to queue meanwhile.
    try {
        pending->call();
    } catch (...) {
        // The failure belongs to the receiving thread that queued the call:
        // it is handed back and raised again there.
        pending->failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        pending->done = true;
    }
    callDone_.notify_all();
    return true;
}
