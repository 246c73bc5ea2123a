// Replies handled per second end to end (a device's burst -> listener ->
// Qt hand-over -> the window's reply handler -> entries in the device list)
// against the fastest receive loop Linux has (recvmmsg, a batch per call)
// and a plain one (one receive per datagram) on the same socket set-up, in
// one run; each from the device's first reply sent to the last one taken.
#include "batch_receive_loop.h"
#include "bench_listener_lab.h"
#include "device_burst.h"
#include "discovery/udp_server.h"
#include "statistics.h"
#include "ui/main_window/UMain.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/main_window/qt_hand_over.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t BurstSize = 5000;
constexpr int Rounds = 5;
constexpr std::chrono::milliseconds Idle{1000};

// How one path took a burst: the device's first reply sent, and how far
// the receiver got and when.
struct TRound {
    TBenchClock::time_point sent{};
    TArrivals arrivals;

    // Over the whole burst, from the first reply sent to the last arrival.
    // (Counted from the first arrival instead, a path that lists a burst in
    // a few turns of the event loop would seem faster than it is.)
    double PerSecond() const
    {
        const std::chrono::duration<double> span = arrivals.last - sent;
        return arrivals.count > 0 && span.count() > 0 ? static_cast<double>(arrivals.count) / span.count() : 0.0;
    }
};

TRound PlainReceiveLoop(const TListenerBenchLab& lab)
{
    TUdpSocket socket(TAddressFamily::IPv4);
    socket.SetOption(TSocketOption::ReuseAddress, 0);
    socket.SetOption(TSocketOption::ReceiveBufferSize, TUdpServer::DefaultReceiveBufferSize);
    socket.BindWildcard(DiscoveryPort);
    TDeviceBurst burst(lab, BurstSize);
    std::vector<std::uint8_t> buffer(8192);
    TArrivals arrivals;
    burst.Start();
    while (arrivals.count < BurstSize && socket.WaitReadable(Idle) == TWaitResult::Readable) {
        socket.Receive(buffer);
        arrivals.Note(arrivals.count + 1);
    }
    burst.Finish();
    return {burst.Started(), arrivals};
}

TRound BatchReceiveLoop(const TListenerBenchLab& lab)
{
    TBatchReceiveLoop loop;
    TDeviceBurst burst(lab, BurstSize);
    burst.Start();
    const TArrivals arrivals = loop.Run([](std::size_t count) { return count >= BurstSize; }, Idle);
    burst.Finish();
    return {burst.Started(), arrivals};
}

TRound ListenerWithCountingHandler(const TListenerBenchLab& lab)
{
    TQtHandOver handOver;
    std::size_t handled = 0;  // before the listener: its deactivation may still call the handler
    TUdpServer listener(handOver.HandOver());
    listener.OnUDPRead = [&](TUdpListenerThread&, std::span<const std::uint8_t>, TUdpBinding&) { ++handled; };
    listener.Activate();
    TDeviceBurst burst(lab, BurstSize);
    burst.Start();
    const TArrivals arrivals = ProcessEventsUntil([&] { return handled; }, BurstSize, Idle);
    burst.Finish();
    return {burst.Started(), arrivals};
}

TRound WindowEntries(const TListenerBenchLab& lab)
{
    TfmMain window(PrintErrorBox);
    window.show();
    QCoreApplication::processEvents();
    TDeviceBurst burst(lab, BurstSize);
    const TDeviceListModel& entries = window.ListBox1->Entries();
    burst.Start();
    const TArrivals arrivals = ProcessEventsUntil(
        [&] { return static_cast<std::size_t>(entries.rowCount()); }, BurstSize, Idle);
    burst.Finish();
    return {burst.Started(), arrivals};
}

struct TFigure {
    const char* what;
    std::vector<TRound> rounds;

    double MedianRate() const
    {
        std::vector<double> rates;
        for (const TRound& round : rounds)
            rates.push_back(round.PerSecond());
        return Median(rates);
    }
    std::size_t FewestArrived() const
    {
        std::size_t fewest = BurstSize;
        for (const TRound& round : rounds)
            fewest = std::min(fewest, round.arrivals.count);
        return fewest;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = IsolateOrExplain("bench_listener_throughput"))
        return *status;
    QApplication application(argc, argv);
    TListenerBenchLab lab;

    TFigure batch{"batch receive loop (recvmmsg, no hand-over)", {}};
    TFigure plain{"plain receive loop (one receive per datagram)", {}};
    TFigure counting{"listener + Qt hand-over, counting handler", {}};
    TFigure window{"end to end: window handler -> list entries", {}};
    for (int round = 0; round < Rounds; ++round) {
        batch.rounds.push_back(BatchReceiveLoop(lab));
        plain.rounds.push_back(PlainReceiveLoop(lab));
        counting.rounds.push_back(ListenerWithCountingHandler(lab));
        window.rounds.push_back(WindowEntries(lab));
    }

    std::printf("bursts of %zu replies over a veth link, first sent to last taken, median of %d rounds;"
                " ratios against the batch receive loop\n", BurstSize, Rounds);
    const double fastest = batch.MedianRate();
    const double oneByOne = plain.MedianRate();
    for (const TFigure* figure : {&batch, &plain, &counting, &window})
        std::printf("  %-48s %9.0f /s  ratio %.2f  (fewest arrived %zu)\n", figure->what, figure->MedianRate(),
                    fastest > 0 ? figure->MedianRate() / fastest : 0.0, figure->FewestArrived());
    std::printf("end-to-end / batch receive loop: %.2f (aim: 1.0, the wire's limit)\n",
                fastest > 0 ? window.MedianRate() / fastest : 0.0);
    std::printf("end-to-end / plain receive loop: %.2f\n", oneByOne > 0 ? window.MedianRate() / oneByOne : 0.0);
    return 0;
}
