#pragma once

#include <QObject>

#include <functional>
#include <memory>

// The platform's wake-up of a thread's event loop: after Post() from any
// thread, the event loop of `owner`'s thread calls `serve` soon.
class TQtWakeUp {
public:
    virtual ~TQtWakeUp() = default;
    virtual void Post() = 0;
};

// One file per platform defines it.
std::unique_ptr<TQtWakeUp> MakeQtWakeUp(QObject& owner, std::function<void()> serve);
