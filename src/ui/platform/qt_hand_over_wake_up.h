#pragma once

#include "ui/main_window/qt_hand_over.h"

#include <functional>

// One file per platform defines it.
class TQtHandOver::TWakeUp {
public:
    // `drain` runs on the thread of `owner`, from its event loop.
    TWakeUp(QObject& owner, std::function<void()> drain);
    ~TWakeUp();
    TWakeUp(const TWakeUp&) = delete;
    TWakeUp& operator=(const TWakeUp&) = delete;

    // Any thread.
    void Post();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};
