#include "ui/platform/qt_wake_up.h"

#include "discovery/os_error.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

// An eventfd that the event loop watches. The receiving thread's write and
// this thread's read are a hand-off that ThreadSanitizer follows; a queued
// Qt call would instead allocate its slot object on the receiving thread
// and run it here through Qt's own queue, whose locks the sanitizer cannot
// see in a Qt built without it.
class TEventFdWakeUp final : public TQtWakeUp {
public:
    TEventFdWakeUp(QObject& owner, std::function<void()> woken)
        : fd_(NewEventFd()), notifier_(qintptr(fd_), QSocketNotifier::Read, &owner), woken_(std::move(woken))
    {
        QObject::connect(&notifier_, &QSocketNotifier::activated, &owner, [this] { Take(); });
    }
    ~TEventFdWakeUp() override
    {
        notifier_.setEnabled(false);  // the event loop stops watching before the descriptor goes
        ::close(fd_);
    }
    TEventFdWakeUp(const TEventFdWakeUp&) = delete;
    TEventFdWakeUp& operator=(const TEventFdWakeUp&) = delete;

    void Wake() override
    {
        const std::uint64_t one = 1;
        // Cannot fail short of the counter's overflow, and one wake-up is
        // posted at a time.
        [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
    }

private:
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
        // EAGAIN only: a wake-up already taken; the queue is served anyway.
        [[maybe_unused]] const ssize_t read = ::read(fd_, &posted, sizeof posted);
        woken_();
    }

    int fd_;
    QSocketNotifier notifier_;
    std::function<void()> woken_;
};

}  // namespace

std::unique_ptr<TQtWakeUp> MakeQtWakeUp(QObject& owner, std::function<void()> woken)
{
    return std::make_unique<TEventFdWakeUp>(owner, std::move(woken));
}
