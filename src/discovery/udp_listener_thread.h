#pragma once

#include "discovery/datagram_batch.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

class THandOver;
class TListenerSystem;
class TUdpListenerThread;
struct TUdpBinding;

// The listener's OnUDPRead: runs on the user-interface thread for every
// received datagram. `data` stays valid until it returns.
using TUdpReadHandler =
    std::function<void(TUdpListenerThread& thread, std::span<const std::uint8_t> data, TUdpBinding& binding)>;

// What a receiving thread calls on the user-interface thread: the handler
// for each datagram of a hand-over, then `handOverDone` once for all of them
// (may be empty).
struct TUdpReadHandlers {
    TUdpReadHandler onRead;
    std::function<void()> handOverDone;
};

// One receiving thread: waits for its socket, takes every datagram that is
// waiting there and hands them over to the user-interface thread in one
// call, which runs the handler for each in the order of arrival; it blocks
// until that call has returned before it receives again. While
// `discarding` is set, it takes datagrams in and drops them without handing
// them over. Made held; Start() runs it.
class TUdpListenerThread {
public:
    // How long one wait for the socket to become readable lasts; a stop
    // request is noticed within it. (The name is the listener design's: a
    // UDP socket has nothing to accept; this is a readiness wait.)
    static constexpr std::chrono::milliseconds AcceptWait{1000};
    // The most datagrams taken in (and handed over) at once. A burst of
    // replies goes over in few hand-overs, while one hand-over still keeps
    // the user-interface thread for a few milliseconds only.
    static constexpr std::size_t BatchCapacity = 256;

    // Named "<listenerName> Listener #<position>" for debugging.
    TUdpListenerThread(TUdpBinding& binding, THandOver& handOver, TListenerSystem& system, TUdpReadHandlers handlers,
                       const std::atomic<bool>& discarding, std::size_t bufferSize, const std::string& listenerName,
                       std::size_t position);
    // Stops the thread and waits for it, carrying out its hand-overs.
    ~TUdpListenerThread();
    TUdpListenerThread(const TUdpListenerThread&) = delete;
    TUdpListenerThread& operator=(const TUdpListenerThread&) = delete;

    // Raises what the system raises when the thread cannot be made.
    void Start();
    // Sets the stop flag and interrupts a readiness wait. Any thread; does
    // not wait. The socket's owner closes it after WaitForEnd().
    void Stop();
    // User-interface thread: returns when the thread has ended, carrying out
    // hand-overs meanwhile (this thread may be blocked in one).
    void WaitForEnd();

    const std::string& Name() const { return name_; }

private:
    void Run();
    void ReceiveAndHandOver();
    void HandleReceived();  // on the user-interface thread
    void CloseSocket();

    TUdpBinding& binding_;
    THandOver& handOver_;
    TListenerSystem& system_;
    const TUdpReadHandlers handlers_;
    const std::atomic<bool>& discarding_;
    TDatagramBatch batch_;
    std::vector<std::size_t> toHand_;  // slots of batch_ that go to the handler
    const std::string name_;
    const std::string compactName_;  // for platforms with short thread names
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> ended_{false};
    // Keeps Stop()'s interruption and this thread's own closing of the
    // socket apart, so that neither touches a handle the other has freed.
    std::mutex socketMutex_;
    std::thread thread_;
};
