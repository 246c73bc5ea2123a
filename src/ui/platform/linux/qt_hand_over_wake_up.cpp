#include "ui/platform/qt_hand_over_wake_up.h"

#include "discovery/os_error.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

// An eventfd that the event loop watches. The receiving thread's write and
// this thread's read are a hand-off that ThreadSanitizer follows; a queued
// Qt call would instead allocate its slot object on the receiving thread
// and run it here through Qt's own queue, whose locks the sanitizer cannot
// see in a Qt built without it.
struct TQtHandOver::TWakeUp::TState {
    int fd;
    QSocketNotifier notifier;
    std::function<void()> drain;

    TState(QObject& owner, std::function<void()> drainQueue)
        : fd(NewEventFd()), notifier(qintptr(fd), QSocketNotifier::Read, &owner), drain(std::move(drainQueue))
    {
        QObject::connect(&notifier, &QSocketNotifier::activated, &owner, [this] { Take(); });
    }
    ~TState() { ::close(fd); }

    static int NewEventFd()
    {
        const int made = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (made < 0)
            throw TOSError(errno);
        return made;
    }

    void Take()
    {
        std::uint64_t posted = 0;
        // EAGAIN only: a wake-up already taken; the queue is drained anyway.
        [[maybe_unused]] const ssize_t read = ::read(fd, &posted, sizeof posted);
        drain();
    }
};

TQtHandOver::TWakeUp::TWakeUp(QObject& owner, std::function<void()> drain)
    : state_(std::make_unique<TState>(owner, std::move(drain)))
{
}

TQtHandOver::TWakeUp::~TWakeUp() = default;

void TQtHandOver::TWakeUp::Post()
{
    const std::uint64_t one = 1;
    // Cannot fail short of the counter's overflow, and one wake-up is
    // posted at a time.
    [[maybe_unused]] const ssize_t written = ::write(state_->fd, &one, sizeof one);
}
