#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

// Wakes the user-interface thread so that it drains a THandOver. The UI layer
// implements it with its toolkit's event loop. Called on receiving threads,
// so an implementation must only post something to the UI thread, never run
// the queued calls itself.
class TUiThreadWaker {
public:
    virtual void Wake() = 0;

protected:
    ~TUiThreadWaker() = default;
};

// The synchronous hand-over from receiving threads to the user-interface
// thread. A receiving thread queues a call and blocks until the UI thread has
// run it; the UI thread runs queued calls oldest first, from its event loop
// (RunQueued) and while it waits for a receiving thread to end
// (DrainUntil), so a thread blocked here can always finish.
class THandOver {
public:
    explicit THandOver(TUiThreadWaker& waker);
    THandOver(const THandOver&) = delete;
    THandOver& operator=(const THandOver&) = delete;

    // Receiving thread: queues `call`, wakes the UI thread and returns once
    // the call has run there. A failure the call raised is raised again here.
    void Call(const std::function<void()>& call);

    // UI thread: runs the calls queued so far, oldest first. Calls queued
    // while it runs wait for their own wake-up, so a steady stream of
    // hand-overs cannot keep the event loop from its other events.
    void RunQueued();

    // UI thread: like RunQueued, then keeps running calls as long as the
    // next one is queued within `linger` of the last, until this thread has
    // used `budget` of processor time or `limit` has passed on the clock. A
    // receiving thread that has more datagrams waiting queues its next call
    // within microseconds, so a burst of replies is handled in one turn of
    // the event loop instead of one turn (and one repaint) each. Counting
    // processor time keeps the work per turn the same on a busy machine,
    // where the thread gets only part of a core: a clock budget would split
    // a burst into ever more turns, each with its own layout and repaint of
    // the whole list.
    void DrainWhileArriving(std::chrono::microseconds linger, std::chrono::microseconds budget,
                            std::chrono::microseconds limit);

    // UI thread: returns once `ended` answers true, running every call that
    // is queued meanwhile. `ended` is asked with the queue's lock held, so it
    // must be cheap and take no lock of its own (an atomic flag).
    void DrainUntil(const std::function<bool()>& ended);

    // Any thread: wakes a DrainUntil on the UI thread to ask `ended` again
    // now, e.g. when a receiving thread is about to end.
    void WakeDrain();

private:
    struct TPendingCall {
        const std::function<void()>& call;
        std::atomic<bool> done{false};
        std::exception_ptr failure;
    };

    bool RunOldest();

    TUiThreadWaker& waker_;
    std::mutex mutex_;
    std::condition_variable callDone_;   // callers wait here for their call
    std::condition_variable uiWake_;     // DrainUntil waits here
    std::deque<TPendingCall*> queue_;
};
