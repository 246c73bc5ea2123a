#pragma once

#include "discovery/listener_system.h"

#include <functional>
#include <string>

// The listener's steps that the system can refuse.
enum class TListenerStep { Socket, Bind, Thread };

// What the error raised for a refused step says (its what()).
std::string ExpectedMessage(TListenerStep step);

// The real system, except that the `failAt`-th call of one step (counted
// from 1) fails as the system would: no socket (EMFILE), a refused bind
// (EADDRINUSE), no thread (std::system_error, as std::thread raises it).
class TFailingListenerSystem : public TListenerSystem {
public:
    TFailingListenerSystem(TListenerStep step, int failAt) : step_(step), failAt_(failAt) {}

    // Runs right before the failure is raised, e.g. to give a thread that
    // runs already something to do.
    std::function<void()> BeforeFailing;

    TUdpSocket MakeSocket(TAddressFamily family) override;
    void BindWildcard(TUdpSocket& socket, std::uint16_t port) override;
    std::thread StartThread(std::function<void()> body) override;

private:
    void Take(TListenerStep step);  // raises at the chosen call

    TListenerStep step_;
    int failAt_;
    int calls_[3] = {0, 0, 0};
};
