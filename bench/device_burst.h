#pragma once

#include "bench_listener_lab.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// A device's burst of numbered replies to the benchmark's host address,
// sent from a thread of its own out of the device's namespace with
// sendmmsg, a few hundred replies per system call, so that they arrive at
// nearly line rate, as from a device on the network, even when busy
// programs take the sending thread's core now and then. The replies are
// built before the clock starts, so the time from Started() on is the
// receiver's.
class TDeviceBurst {
public:
    static constexpr std::size_t PerCall = 256;

    TDeviceBurst(const TListenerBenchLab& lab, std::size_t count);
    ~TDeviceBurst();
    TDeviceBurst(const TDeviceBurst&) = delete;
    TDeviceBurst& operator=(const TDeviceBurst&) = delete;

    // The device name that reply `number` carries.
    static std::string DeviceName(std::size_t number);

    void Start();
    // When the first reply left; valid once the sender has begun.
    TBenchClock::time_point Started() const;
    void Finish();
    // How long the device took to send the whole burst; after Finish().
    std::chrono::duration<double> Sending() const { return finished_ - started_; }

private:
    void SendFrom(std::size_t first, std::size_t count);

    std::vector<std::vector<std::uint8_t>> replies_;
    int fd_ = -1;
    std::thread sender_;
    TBenchClock::time_point started_{};
    TBenchClock::time_point finished_{};
    std::atomic<bool> startedSet_{false};
};
