#include "bench_listener_lab.h"

#include "ui/main_window/error_box.h"

#include "simulator.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

void TArrivals::Note(std::size_t newCount)
{
    if (newCount == count)
        return;
    const auto now = TBenchClock::now();
    if (!first)
        first = now;
    last = now;
    count = newCount;
}

TListenerBenchLab::TListenerBenchLab() : link_(lab_.AddDevice("10.1.0.1/24", "10.1.0.2/24"))
{
    TNetnsLab::Ip("-n " + link_.deviceNamespace + " addr add " + OtherDeviceAddress + "/24 dev " +
                  link_.deviceInterface);
}

std::unique_ptr<QProcess> TListenerBenchLab::StartSimulator(const QStringList& arguments) const
{
    auto simulator = std::make_unique<QProcess>();
    ::StartSimulator(*simulator, link_.deviceNamespace, arguments);
    simulator->waitForStarted();
    return simulator;
}

std::unique_ptr<QProcess> TListenerBenchLab::StartBurst(std::size_t count) const
{
    return StartSimulator({"--send-to", HostAddress, "--count", QString::number(count), "--timeout", "20"});
}

TUdpCounters ReadUdpCounters()
{
    // Two "Udp:" lines: the counters' names, then their values.
    std::ifstream snmp("/proc/net/snmp");
    std::string line;
    std::vector<std::string> names;
    TUdpCounters counters;
    while (std::getline(snmp, line)) {
        if (line.rfind("Udp: ", 0) != 0)
            continue;
        std::istringstream fields(line.substr(5));
        if (names.empty()) {
            for (std::string name; fields >> name;)
                names.push_back(name);
            continue;
        }
        for (const std::string& name : names) {
            std::uint64_t value = 0;
            fields >> value;
            if (name == "InDatagrams")
                counters.taken = value;
            else if (name == "RcvbufErrors")
                counters.overflowed = value;
        }
        break;
    }
    return counters;
}

TArrivals ProcessEventsUntil(const std::function<std::size_t()>& count, std::size_t target,
                             std::chrono::milliseconds idle)
{
    // The thread sleeps in the event loop until something arrives, as the
    // window's own loop does. A loop that only polled would stay on the
    // processor and, on a busy machine, take turns away from the receiving
    // threads it waits for. The tick bounds each sleep, for the idle check.
    QTimer tick;
    tick.start(std::chrono::milliseconds(20));
    TArrivals arrivals;
    auto lastGrowth = TBenchClock::now();
    while (arrivals.count < target && TBenchClock::now() - lastGrowth < idle) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const std::size_t now = count();
        if (now != arrivals.count)
            lastGrowth = TBenchClock::now();
        arrivals.Note(now);
    }
    return arrivals;
}

bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds patience)
{
    // As above, a tick bounds each sleep in the event loop.
    QTimer tick;
    tick.start(std::chrono::milliseconds(5));
    const auto giveUp = TBenchClock::now() + patience;
    while (!done() && TBenchClock::now() < giveUp)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void PrintErrorBox(const TErrorBox& box)
{
    std::printf("error box: %s\n", qPrintable(box.text));
}

std::optional<int> IsolateOrExplain(const char* benchmark)
{
    const std::string whyNot = IsolateNetwork();
    if (whyNot.empty())
        return std::nullopt;
    return NotRun(std::string(benchmark) + ": no network namespace (" + whyNot + "); nothing measured");
}
