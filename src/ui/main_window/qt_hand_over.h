#pragma once

#include "discovery/hand_over.h"
#include "ui/platform/qt_wake_up.h"

#include <QObject>

#include <atomic>
#include <memory>

// The core's hand-over carried out by the Qt event loop: the platform's
// wake-up makes this object, which lives on the user-interface thread,
// drain the queue there. It must outlive every listener that uses its queue.
class TQtHandOver : public QObject, private TUiThreadWaker {
    Q_OBJECT
public:
    explicit TQtHandOver(QObject* parent = nullptr);

    THandOver& HandOver() { return handOver_; }

private:
    void Wake() override;
    void Drain();

    std::unique_ptr<TQtWakeUp> wakeUp_;  // calls Drain() on this object's thread
    // One wake-up posted and not yet taken: more would only add empty turns
    // of the event loop.
    std::atomic<bool> wakeUpPosted_{false};
    THandOver handOver_{*this};
};
