#pragma once

#include "netns_lab.h"
#include "not_run.h"

#include <QObject>
#include <QEvent>
#include <QProcess>

struct TErrorBox;
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
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
    // A second address of the device's side: another host on the same link.
    static constexpr const char* OtherDeviceAddress = "10.1.0.3";

private:
    TNetnsLab lab_;
    TDeviceLink link_;
};

// The kernel's UDP counters of this process's namespace (/proc/net/snmp),
// summed over its sockets.
struct TUdpCounters {
    std::uint64_t taken = 0;       // InDatagrams: datagrams that receivers took from their sockets
    std::uint64_t overflowed = 0;  // RcvbufErrors: datagrams dropped at a full socket buffer
};
TUdpCounters ReadUdpCounters();

// Runs Qt's event loop until `count()` reaches `target` or has not grown
// for `idle`; notes every change.
TArrivals ProcessEventsUntil(const std::function<std::size_t()>& count, std::size_t target,
                             std::chrono::milliseconds idle);

// Runs Qt's event loop, sleeping in it between events, until `done()`
// answers true or `patience` has passed; answers `done()`.
bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds patience);

// The window's error box, printed instead of shown: a benchmark runs
// unattended.
void PrintErrorBox(const TErrorBox& box);

// Isolates the process; when that fails, prints why and answers the exit
// status of a benchmark that did not run (not_run.h).
std::optional<int> IsolateOrExplain(const char* benchmark);

// Records when an event of one type first reaches a watched object after
// it has been armed (from any thread, right before the request is posted).
class TEventClock : public QObject {
public:
    TEventClock(QObject& watched, QEvent::Type type) : type_(type) { watched.installEventFilter(this); }
    void Arm() { armed_ = true; }
    // On the window's thread.
    std::optional<TBenchClock::time_point> Reached() const { return reached_; }
    // From any thread.
    bool HasReached() const { return hasReached_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_ && armed_ && !reached_) {
            reached_ = TBenchClock::now();
            hasReached_ = true;
        }
        return false;
    }

private:
    QEvent::Type type_;
    std::atomic<bool> armed_{false};
    std::optional<TBenchClock::time_point> reached_;
    std::atomic<bool> hasReached_{false};
};
