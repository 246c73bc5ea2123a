#include "ui/platform/qt_hand_over_wake_up.h"

#include <QMetaObject>

namespace {

// A queued call to the owner: Qt drops it if the owner is gone by the time
// the event loop gets to it.
class TQueuedCallWakeUp final : public TQtWakeUp {
public:
    TQueuedCallWakeUp(QObject& owner, std::function<void()> serve) : owner_(owner), serve_(std::move(serve)) {}

    void Post() override { QMetaObject::invokeMethod(&owner_, serve_, Qt::QueuedConnection); }

private:
    QObject& owner_;
    std::function<void()> serve_;
};

}  // namespace

std::unique_ptr<TQtWakeUp> MakeQtWakeUp(QObject& owner, std::function<void()> serve)
{
    return std::make_unique<TQueuedCallWakeUp>(owner, std::move(serve));
}
