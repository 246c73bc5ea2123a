#pragma once

#include "netns_lab.h"

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

using TBenchClock = std::chrono::steady_clock;

// How far a receiver got: how many datagrams (or entries), and when the
// first and the last of them arrived.
struct TArrivals {
    std::size_t count = 0;
    std::optional<TBenchClock::time_point> first;
    TBenchClock::time_point last{};

    void Note(std::size_t newCount);
};

// The listener benchmarks' network: this process isolated in a namespace of
// its own (IsolateNetwork() first in main) and one simulated device behind a
// veth pair. Every datagram stays inside the two namespaces.
class TListenerBenchLab {
public:
    static constexpr const char* HostAddress = "10.1.0.1";

    TListenerBenchLab();

    // quorvel-sim in the device namespace, started, not awaited.
    std::unique_ptr<QProcess> StartSimulator(const QStringList& arguments) const;
    // `count` replies sent back to back to the host end of the link.
    std::unique_ptr<QProcess> StartBurst(std::size_t count) const;

    // The simulated device's side, for a sender of the benchmark's own.
    const std::string& DeviceNamespace() const { return link_.deviceNamespace; }
    static constexpr const char* DeviceAddress = "10.1.0.2";

private:
    TNetnsLab lab_;
    TDeviceLink link_;
};

// Runs Qt's event loop until `count()` reaches `target` or has not grown
// for `idle`; notes every change.
TArrivals ProcessEventsUntil(const std::function<std::size_t()>& count, std::size_t target,
                             std::chrono::milliseconds idle);

// Isolates the process; prints why not and answers the exit status when
// that fails (1 in CI, where the benchmark must run; 0 elsewhere).
std::optional<int> IsolateOrExplain(const char* benchmark);
