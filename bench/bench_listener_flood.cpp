// A host floods the real window (offscreen) with valid, unsolicited replies
// as fast as it can, for a bounded time, as a switching loop or a broken
// device would. Prints the replies per second listed before the list's
// bound, the resident memory (empty, full, peak, at the end), and how soon
// a repaint, a click on the refresh picture and a close are served while
// the flood goes on, before and after the bound is reached.
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
    return Listed(window) == TDeviceList::MaxEntries;
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
                double(TDeviceList::MaxEntries) / filling.count(), TDeviceList::MaxEntries, filling.count());
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
                empty, full, (full - empty) * 1024 * 1024 / double(TDeviceList::MaxEntries), end, peak);
    // What the window freed goes back to the system, so that the next
    // flood's figures start from the same memory.
    malloc_trim(0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = IsolateOrExplain("bench_listener_flood"))
        return *status;
    QApplication application(argc, argv);
    TListenerBenchLab lab;
    std::printf("a host floods the window with valid replies as fast as it can; the list holds at most %zu\n",
                TDeviceList::MaxEntries);
    // Two devices whose every field differs, taking turns: no line of an
    // entry is the same as the one before, so none is shared (the most
    // memory per entry).
    Flood(lab, "two devices taking turns, every line different", {"--ip", "10.1.0.50", "--name", "Hala A", "--serial",
          "00000001", "--mac", "00-1A-2B-3C-4D-01", "--flags", "1", "--http-port", "80", "--version-a", "1.0.0",
          "--device", "--ip", "10.1.0.51", "--name", "Magazyn B", "--serial", "00000002", "--mac", "00-1A-2B-3C-4D-02",
          "--flags", "128", "--http-port", "8080", "--version-a", "2.0.0", "--mask", "255.255.0.0"});
    Flood(lab, "one device, the same reply again and again", {});
    return 0;
}
