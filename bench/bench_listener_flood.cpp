// A host floods the real window (offscreen) with valid, unsolicited replies
// as fast as it can, for a bounded time, as a switching loop or a broken
// device would. Prints the replies per second listed before the list's
// bound, the resident memory (empty, full, peak, at the end), and how soon
// a repaint, a click on the refresh picture and a close are served while
// the flood goes on, before and after the bound is reached.
// Then a host floods it with junk (a wrong start mark) as fast as one sender
// goes: prints the junk datagrams per second the window's path takes in and
// drops against the batch receive loop (recvmmsg) under the same flood, how
// soon another host's reply is listed meanwhile, and how soon a close is
// served.
#include "batch_receive_loop.h"
#include "bench_listener_lab.h"
#include "process_memory.h"
#include "window_entries.h"
#include "ui/main_window/UMain.h"
#include "ui/main_window/clickable_picture.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"

#include <QApplication>
#include <QMouseEvent>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

using namespace std::chrono_literals;

namespace {

// Long enough for every step below; the simulator stops by itself then.
constexpr int FloodSeconds = 20;
constexpr auto Patience = 5s;

// The process's resident memory now, in megabytes.
double ResidentMegabytes()
{
    return double(ProcessMemoryBytes("VmRSS")) / (1024 * 1024);
}

std::size_t Listed(const TfmMain& window)
{
    return static_cast<std::size_t>(EntryCount(window));
}

// Posts a request as the window system would, into the event queue, and
// prints how soon the event reaches `target`.
void Serve(const char* what, QObject& target, QEvent::Type type, const std::function<void()>& post,
           const TfmMain& window)
{
    TEventClock clock(target, type);
    const std::size_t listedBefore = Listed(window);
    const auto posted = TBenchClock::now();
    clock.Arm();
    post();
    if (!ProcessEventsUntil([&] { return clock.Reached().has_value(); }, Patience)) {
        std::printf("  %-34s not served within %lld s\n", what, static_cast<long long>(Patience.count()));
        return;
    }
    const std::chrono::duration<double, std::milli> latency = *clock.Reached() - posted;
    std::printf("  %-34s served in %6.1f ms (aim: 100 ms at most), %zu entries listed before\n", what,
                latency.count(), listedBefore);
}

void PostRepaint(TfmMain& window)
{
    QMetaObject::invokeMethod(&window, [&window] { window.update(); }, Qt::QueuedConnection);
}

void PostClick(QWidget& picture)
{
    const QPointF centre = QRectF(picture.rect()).center();
    QCoreApplication::postEvent(&picture, new QMouseEvent(QEvent::MouseButtonPress, centre, centre, Qt::LeftButton,
                                                          Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(&picture, new QMouseEvent(QEvent::MouseButtonRelease, centre, centre,
                                                          Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

void RepaintAndClick(const char* when, TfmMain& window)
{
    std::printf(" %s\n", when);
    Serve("repaint", window, QEvent::Paint, [&] { PostRepaint(window); }, window);
    Serve("click on the refresh picture", *window.Image1, QEvent::MouseButtonRelease,
          [&] { PostClick(*window.Image1); }, window);
}

bool Full(const TfmMain& window)
{
    return window.ListBox1->Entries().IsFull();
}

// One flood from the simulator started with `devices` (its device options).
void Flood(const TListenerBenchLab& lab, const char* what, const QStringList& devices)
{
    auto window = std::make_unique<TfmMain>(PrintErrorBox);
    window->show();
    QCoreApplication::processEvents();
    const double empty = ResidentMegabytes();
    double peak = empty;
    const auto noteMemory = [&] {
        const double now = ResidentMegabytes();
        peak = std::max(peak, now);
        return now;
    };

    std::printf("%s, for at most %d s:\n", what, FloodSeconds);
    const auto flood = lab.StartSimulator(devices + QStringList{"--send-to", TListenerBenchLab::HostAddress, "--count",
                                                                "0", "--timeout", QString::number(FloodSeconds)});
    if (!ProcessEventsUntil([&] { return Listed(*window) >= 1000; }, Patience)) {
        std::printf("  the flood did not reach the window\n");
        return;
    }
    RepaintAndClick("before the bound:", *window);
    // The click emptied the list: from here on it fills up again.
    const auto emptied = TBenchClock::now();
    if (!ProcessEventsUntil([&] { return Full(*window); }, Patience)) {
        std::printf("  the list did not fill up: %zu entries\n", Listed(*window));
        return;
    }
    const std::chrono::duration<double> filling = TBenchClock::now() - emptied;
    std::printf("  replies listed before the bound: %.0f /s (%zu in %.3f s)\n",
                double(TDeviceListModel::MaxEntries) / filling.count(), TDeviceListModel::MaxEntries, filling.count());
    const double full = noteMemory();

    ProcessEventsUntil([] { return false; }, Patience);  // the flood goes on against the full list
    noteMemory();
    RepaintAndClick("after the bound, the flood going on:", *window);
    ProcessEventsUntil([&] { return Full(*window); }, Patience);
    ProcessEventsUntil([] { return false; }, Patience);
    const double end = noteMemory();

    TEventClock close(*window, QEvent::Close);
    const auto posted = TBenchClock::now();
    close.Arm();
    QMetaObject::invokeMethod(window.get(), &QWidget::close, Qt::QueuedConnection);
    ProcessEventsUntil([&] { return close.Reached().has_value(); }, Patience);
    window.reset();  // as the program does once its last window has closed
    const std::chrono::duration<double, std::milli> served = *close.Reached() - posted;
    const std::chrono::duration<double, std::milli> gone = TBenchClock::now() - posted;
    std::printf(" the flood going on against a full list:\n  %-34s served in %6.1f ms (aim: 100 ms at most),"
                " the window and its entries gone after %.1f ms\n", "close", served.count(), gone.count());
    flood->kill();
    flood->waitForFinished();
    std::printf("  resident memory: %.1f MB empty, %.1f MB with the list full (%.0f bytes per entry),"
                " %.1f MB at the end of the flood, %.1f MB at most (aim: under 256 MB)\n",
                empty, full, (full - empty) * 1024 * 1024 / double(TDeviceListModel::MaxEntries), end, peak);
    // What the window freed goes back to the system, so that the next
    // flood's figures start from the same memory.
    malloc_trim(0);
}

constexpr auto JunkWarmUp = 1s;
constexpr auto JunkMeasured = 3s;

// What reached port 7080 per second while a receiver kept taking it.
struct TJunkRates {
    double taken = 0;       // taken in by the receiver (and dropped by it)
    double overflowed = 0;  // dropped by the kernel at the full socket buffer

    // The share of what arrived that was taken in rather than lost: it does
    // not depend on the sender's pace, which varies between runs.
    double Share() const { return taken + overflowed > 0 ? taken / (taken + overflowed) : 0.0; }
};

// The UDP counters over JunkMeasured while `receive(until)` keeps a receiver going.
TJunkRates MeasureJunk(const std::function<void(TBenchClock::time_point)>& receive)
{
    receive(TBenchClock::now() + JunkWarmUp);
    const TUdpCounters before = ReadUdpCounters();
    const auto start = TBenchClock::now();
    receive(start + JunkMeasured);
    const TUdpCounters after = ReadUdpCounters();
    const std::chrono::duration<double> span = TBenchClock::now() - start;
    return {double(after.taken - before.taken) / span.count(),
            double(after.overflowed - before.overflowed) / span.count()};
}

std::unique_ptr<QProcess> StartJunkFlood(const TListenerBenchLab& lab)
{
    return lab.StartSimulator({"--kind", "malformed", "--send-to", TListenerBenchLab::HostAddress, "--count", "0",
                               "--timeout", QString::number(FloodSeconds)});
}

void PrintJunkRates(const char* what, const TJunkRates& rates, double reference)
{
    std::printf("  %-34s %8.0f /s taken in and dropped (ratio %.2f), %8.0f /s lost at the full socket buffer"
                " (%.0f %% of what arrived taken in)\n",
                what, rates.taken, reference > 0 ? rates.taken / reference : 0.0, rates.overflowed,
                100 * rates.Share());
}

// The window's path under the junk flood, then the batch receive loop under
// a flood of the same sender.
void JunkFlood(const TListenerBenchLab& lab)
{
    std::printf("a host sends junk (a wrong start mark) to port 7080 as fast as one sender goes:\n");
    TJunkRates window;
    {
        auto shown = std::make_unique<TfmMain>(PrintErrorBox);
        shown->show();
        QCoreApplication::processEvents();
        const auto flood = StartJunkFlood(lab);
        window = MeasureJunk([](TBenchClock::time_point until) {
            ProcessEventsUntil([&] { return TBenchClock::now() >= until; }, FloodSeconds * 1s);
        });
        // Another host's reply, during the flood.
        const auto sent = TBenchClock::now();
        const auto reply = lab.StartSimulator({"--send-to", TListenerBenchLab::HostAddress, "--from",
                                               TListenerBenchLab::OtherDeviceAddress, "--ip",
                                               TListenerBenchLab::OtherDeviceAddress});
        const bool listed = ProcessEventsUntil([&] { return Listed(*shown) >= 1; }, Patience);
        reply->waitForFinished();
        if (listed)
            std::printf("  another host's reply during the flood listed after %.1f ms\n",
                        std::chrono::duration<double, std::milli>(TBenchClock::now() - sent).count());
        else
            std::printf("  another host's reply during the flood not listed within %lld s\n",
                        static_cast<long long>(Patience.count()));
        TEventClock close(*shown, QEvent::Close);
        const auto posted = TBenchClock::now();
        close.Arm();
        QMetaObject::invokeMethod(shown.get(), &QWidget::close, Qt::QueuedConnection);
        if (ProcessEventsUntil([&] { return close.Reached().has_value(); }, Patience))
            std::printf("  %-34s served in %6.1f ms during the flood (aim: 100 ms at most)\n", "close",
                        std::chrono::duration<double, std::milli>(*close.Reached() - posted).count());
        flood->kill();
        flood->waitForFinished();
    }
    TJunkRates fastest;
    {
        TBatchReceiveLoop loop;
        const auto flood = StartJunkFlood(lab);
        fastest = MeasureJunk([&](TBenchClock::time_point until) {
            loop.Run([&](std::size_t) { return TBenchClock::now() >= until; }, 100ms);
        });
        flood->kill();
        flood->waitForFinished();
    }
    PrintJunkRates("the window's path", window, fastest.taken);
    PrintJunkRates("batch receive loop (recvmmsg)", fastest, fastest.taken);
    std::printf("junk dropped per second, window / batch receive loop: %.2f; share of what arrived: %.2f"
                " (aim: 1.0)\n",
                fastest.taken > 0 ? window.taken / fastest.taken : 0.0,
                fastest.Share() > 0 ? window.Share() / fastest.Share() : 0.0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = IsolateOrExplain("bench_listener_flood"))
        return *status;
    QApplication application(argc, argv);
    TListenerBenchLab lab;
    std::printf("a host floods the window with valid replies as fast as it can; the list holds at most %zu\n",
                TDeviceListModel::MaxEntries);
    // Two devices whose every field differs, taking turns: no line of an
    // entry is the same as the one before, so none is shared (the most
    // memory per entry).
    Flood(lab, "two devices taking turns, every line different", {"--ip", "10.1.0.50", "--name", "Hala A", "--serial",
          "00000001", "--mac", "00-1A-2B-3C-4D-01", "--flags", "1", "--http-port", "80", "--version-a", "1.0.0",
          "--device", "--ip", "10.1.0.51", "--name", "Magazyn B", "--serial", "00000002", "--mac", "00-1A-2B-3C-4D-02",
          "--flags", "128", "--http-port", "8080", "--version-a", "2.0.0", "--mask", "255.255.0.0"});
    Flood(lab, "one device, the same reply again and again", {});
    JunkFlood(lab);
    return 0;
}
