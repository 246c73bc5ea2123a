#include "ui/qt_hand_over.h"

TQtHandOver::TQtHandOver(QObject* parent) : QObject(parent) {}

void TQtHandOver::WakeUiThread()
{
    // Runs on a receiving thread: only posts. Qt drops the posted call if
    // this object is gone by the time the event loop gets to it.
    QMetaObject::invokeMethod(this, &TQtHandOver::DrainPending, Qt::QueuedConnection);
}

void TQtHandOver::DrainPending()
{
    handOver_.DrainPending();
}
