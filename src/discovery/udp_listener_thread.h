#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

class THandOver;
class TUdpListenerThread;
struct TUdpBinding;

// The listener's OnUDPRead: runs on the user-interface thread for every
// received datagram. `data` stays valid until it returns.
using TUdpReadHandler =
    std::function<void(TUdpListenerThread& thread, std::span<const std::uint8_t> data, TUdpBinding& binding)>;

// One receiving thread: waits for its socket, takes one datagram at a time
// and hands it over to the user-interface thread, blocking until the handler
// has returned. Made held; Start() runs it.
class TUdpListenerThread {
public:
    static constexpr std::chrono::milliseconds AcceptWait{1000};

    // Named "<listenerName> Listener #<position>" for debugging.
    TUdpListenerThread(TUdpBinding& binding, THandOver& handOver, TUdpReadHandler onRead,
                       std::size_t bufferSize, const std::string& listenerName, std::size_t position);
    // Stops the thread and waits for it, carrying out its hand-overs.
    ~TUdpListenerThread();
    TUdpListenerThread(const TUdpListenerThread&) = delete;
    TUdpListenerThread& operator=(const TUdpListenerThread&) = delete;

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

    TUdpBinding& binding_;
    THandOver& handOver_;
    const TUdpReadHandler onRead_;
    std::vector<std::uint8_t> buffer_;
    const std::string name_;
    const std::string compactName_;  // for platforms with short thread names
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};
