#include "ui/main_window/qt_hand_over.h"

namespace {

// How long the user-interface thread waits for a receiving thread's next
// call before going back to its event loop, and the most processor time and
// clock time it spends on hand-overs in one turn, so that painting and input
// still get their turns, soon enough also on a busy machine.
constexpr std::chrono::microseconds Linger{200};
constexpr std::chrono::microseconds TurnBudget{10'000};
constexpr std::chrono::microseconds TurnLimit{30'000};

}  // namespace

TQtHandOver::TQtHandOver(QObject* parent)
    : QObject(parent), wakeUp_(MakeQtWakeUp(*this, [this] { Drain(); }))
{
}

void TQtHandOver::Wake()
{
    // Runs on a receiving thread: only posts.
    if (!wakeUpPosted_.exchange(true))
        wakeUp_->Wake();
}

void TQtHandOver::Drain()
{
    // Cleared before draining: a call queued from now on is either run by
    // this drain or posts a wake-up of its own.
    wakeUpPosted_ = false;
    handOver_.DrainWhileArriving(Linger, TurnBudget, TurnLimit);
}
