#include "ui/platform/qt_wake_up.h"

#include <QMetaObject>

namespace {

// A queued call to the owner: Qt drops it if the owner is gone by the time
// the event loop gets to it.
class TQueuedCallWakeUp final : public TQtWakeUp {
public:
    TQueuedCallWakeUp(QObject& owner, std::function<void()> woken) : owner_(owner), woken_(std::move(woken)) {}

    void Wake() override { QMetaObject::invokeMethod(&owner_, woken_, Qt::QueuedConnection); }

private:
    QObject& owner_;
    std::function<void()> woken_;
};

}  // namespace

std::unique_ptr<TQtWakeUp> MakeQtWakeUp(QObject& owner, std::function<void()> woken)
{
    return std::make_unique<TQueuedCallWakeUp>(owner, std::move(woken));
}
