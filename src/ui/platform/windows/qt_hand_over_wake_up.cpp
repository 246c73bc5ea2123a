#include "ui/platform/qt_hand_over_wake_up.h"

#include <QMetaObject>

// A queued call to the owner: Qt drops it if the owner is gone by the time
// the event loop gets to it.
struct TQtHandOver::TWakeUp::TState {
    QObject& owner;
    std::function<void()> drain;
};

TQtHandOver::TWakeUp::TWakeUp(QObject& owner, std::function<void()> drain)
    : state_(std::make_unique<TState>(TState{owner, std::move(drain)}))
{
}

TQtHandOver::TWakeUp::~TWakeUp() = default;

void TQtHandOver::TWakeUp::Post()
{
    QMetaObject::invokeMethod(&state_->owner, state_->drain, Qt::QueuedConnection);
}
