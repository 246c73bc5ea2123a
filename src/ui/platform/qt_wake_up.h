#pragma once

#include <QObject>

#include <functional>
#include <memory>

// The platform's wake-up of a thread's event loop: after Wake() from any
// thread, the event loop of `owner`'s thread calls `woken` soon.
class TQtWakeUp {
public:
    virtual ~TQtWakeUp() = default;
    virtual void Wake() = 0;
};

// One file per platform defines it (platform/<platform>/qt_wake_up.cpp).
std::unique_ptr<TQtWakeUp> MakeQtWakeUp(QObject& owner, std::function<void()> woken);
