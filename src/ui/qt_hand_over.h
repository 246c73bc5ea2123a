#pragma once

#include "discovery/hand_over.h"

#include <QObject>

#include <atomic>

// The core's hand-over carried out by the Qt event loop: every queued call
// posts a queued invocation to this object, which lives on the
// user-interface thread and drains the queue there. It must outlive every
// listener that uses its queue.
class TQtHandOver : public QObject, private TUiThreadWaker {
    Q_OBJECT
public:
    explicit TQtHandOver(QObject* parent = nullptr);

    THandOver& Queue() { return handOver_; }

private:
    void WakeUiThread() override;
    void DrainPending();

    // One wake-up posted and not yet taken: more would only add empty turns
    // of the event loop.
    std::atomic<bool> wakeUpPosted_{false};
    THandOver handOver_{*this};
};
