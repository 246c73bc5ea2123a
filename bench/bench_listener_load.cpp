// Bursts of numbered replies from a device to the real window (offscreen),
// once on an idle machine and once beside two busy loops, in one run:
//   - the time from the first reply sent to the last entry listed, and the
//     loaded/idle ratio, for bursts of 1,500 and 5,000 replies;
//   - whether every reply was listed, in the order it was sent;
//   - how soon a click, a repaint and a close are served while 5,000
//     replies arrive.
#include "bench_listener_lab.h"
#include "device_burst.h"
#include "statistics.h"
#include "ui/main_window/UMain.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"

#include <QApplication>
#include <QMouseEvent>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds Idle{3000};  // no new entry for this long: the burst is over
constexpr int Rounds = 5;

// Busy programs beside the window: other programs, as the user's would be,
// each this benchmark started again with SpinArgument, spinning at normal
// priority until it is killed, or at the latest after `limit`. Forked
// copies of this process would share its memory copy-on-write, and every
// page the window's thread then wrote would cost it a fault and a flush of
// the other processor's address translations: a cost of the benchmark, not
// of the window.
constexpr const char* SpinArgument = "--spin-seconds";

class TBusyLoops {
public:
    TBusyLoops(int count, std::chrono::seconds limit)
    {
        const std::string seconds = std::to_string(limit.count());
        char* const arguments[] = {const_cast<char*>("bench_listener_load"), const_cast<char*>(SpinArgument),
                                   const_cast<char*>(seconds.c_str()), nullptr};
        for (int i = 0; i < count; ++i) {
            pid_t child = 0;
            if (::posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, arguments, environ) != 0) {
                StopAll();  // no loop left spinning behind a failed benchmark
                throw std::runtime_error("a busy loop could not be started");
            }
            children_.push_back(child);
        }
        std::this_thread::sleep_for(100ms);  // running before the burst starts
    }
    ~TBusyLoops() { StopAll(); }
    TBusyLoops(const TBusyLoops&) = delete;
    TBusyLoops& operator=(const TBusyLoops&) = delete;

    static int Spin(std::chrono::seconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        volatile unsigned long work = 0;
        while (std::chrono::steady_clock::now() < end) {
            for (int i = 0; i < 100000; ++i)
                work = work + 1;
        }
        return 0;
    }

private:
    void StopAll()
    {
        for (const pid_t child : children_) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }

    std::vector<pid_t> children_;
};

bool ListedInOrder(const TDeviceListModel& entries, std::size_t count)
{
    if (static_cast<std::size_t>(entries.rowCount()) != count)
        return false;
    for (std::size_t row = 0; row < count; ++row) {
        if (!entries.DisplayedLines(static_cast<int>(row))[2].contains(QString::fromStdString(TDeviceBurst::DeviceName(row))))
            return false;
    }
    return true;
}

struct TBurstResult {
    double seconds = 0;    // first reply sent -> last entry listed
    double firstEntry = 0; // first reply sent -> first entry listed
    double sending = 0;    // first reply sent -> last reply sent
    int repaints = 0;      // of the list, meanwhile
    bool inOrder = false;  // every reply listed, in the order sent
};

// Counts the events of one type that reach a watched object.
class TEventCounter : public QObject {
public:
    TEventCounter(QObject& watched, QEvent::Type type) : type_(type) { watched.installEventFilter(this); }
    int Count() const { return count_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count_ += event->type() == type_ ? 1 : 0;
        return false;
    }

private:
    QEvent::Type type_;
    int count_ = 0;
};

TBurstResult Burst(const TListenerBenchLab& lab, std::size_t count)
{
    TfmMain window(PrintErrorBox);
    window.show();
    QCoreApplication::processEvents();
    TDeviceBurst burst(lab, count);
    const TDeviceListModel& entries = window.ListBox1->Entries();
    const TEventCounter repaints(*window.ListBox1->viewport(), QEvent::Paint);
    burst.Start();
    const TArrivals arrivals =
        ProcessEventsUntil([&] { return static_cast<std::size_t>(entries.rowCount()); }, count, Idle);
    burst.Finish();
    const std::chrono::duration<double> span = arrivals.last - burst.Started();
    const std::chrono::duration<double> toFirst = arrivals.first.value_or(arrivals.last) - burst.Started();
    return {span.count(), toFirst.count(), burst.Sending().count(), repaints.Count(), ListedInOrder(entries, count)};
}

class TRounds {
public:
    void Add(const TBurstResult& result) { results_.push_back(result); }
    double MedianSeconds() const { return ::Median(Seconds()); }
    std::string Spread() const
    {
        const std::vector<double> seconds = Seconds();
        return QString::asprintf("%.3f to %.3f", seconds.front(), seconds.back()).toStdString();
    }
    double MedianFirstEntry() const
    {
        return Median([](const TBurstResult& result) { return result.firstEntry; });
    }
    double MedianSending() const
    {
        return Median([](const TBurstResult& result) { return result.sending; });
    }
    double MedianRepaints() const
    {
        return Median([](const TBurstResult& result) { return static_cast<double>(result.repaints); });
    }
    bool AllListedInOrder() const
    {
        return std::ranges::all_of(results_, [](const TBurstResult& result) { return result.inOrder; });
    }

private:
    template <typename Figure>
    double Median(Figure figure) const
    {
        std::vector<double> values;
        for (const TBurstResult& result : results_)
            values.push_back(figure(result));
        return ::Median(values);
    }
    std::vector<double> Seconds() const
    {
        std::vector<double> seconds;
        for (const TBurstResult& result : results_)
            seconds.push_back(result.seconds);
        std::ranges::sort(seconds);
        return seconds;
    }

    std::vector<TBurstResult> results_;
};

struct TResponse {
    const char* what;
    TBenchClock::time_point posted{};
    std::optional<TBenchClock::time_point> served;
    int listedWhenServed = -1;
};

// While `count` replies arrive, a user thread asks for a click on the list,
// a repaint and a close (when 500, 1,000 and 1,500 entries are listed),
// each posted as the window system would: into the event queue, from
// outside the window's thread.
std::vector<TResponse> Responsiveness(const TListenerBenchLab& lab, std::size_t count)
{
    TfmMain window(PrintErrorBox);
    window.show();
    QCoreApplication::processEvents();
    QWidget* listArea = window.ListBox1->viewport();
    TEventClock click(*listArea, QEvent::MouseButtonRelease);
    TEventClock paint(window, QEvent::Paint);
    TEventClock close(window, QEvent::Close);
    std::vector<TResponse> responses{{"click on the list", {}, {}, -1}, {"repaint", {}, {}, -1},
                                     {"close", {}, {}, -1}};

    const TDeviceListModel& entries = window.ListBox1->Entries();
    std::atomic<int> listed{0};  // written on the window's thread for the user thread
    const auto giveUp = TBenchClock::now() + 20s;  // should the burst stall
    const auto waitUntilListed = [&](int entryCount) {
        while (listed < entryCount && TBenchClock::now() < giveUp)
            std::this_thread::sleep_for(1ms);
    };
    TDeviceBurst burst(lab, count);
    burst.Start();
    std::thread user([&] {
        const QPointF inside(10, 10);
        waitUntilListed(500);
        responses[0].posted = TBenchClock::now();
        click.Arm();
        QCoreApplication::postEvent(listArea, new QMouseEvent(QEvent::MouseButtonPress, inside, inside, Qt::LeftButton,
                                                              Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(listArea, new QMouseEvent(QEvent::MouseButtonRelease, inside, inside,
                                                              Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        waitUntilListed(1000);
        responses[1].posted = TBenchClock::now();
        paint.Arm();
        QMetaObject::invokeMethod(&window, [&window] { window.update(); }, Qt::QueuedConnection);
        // A close served first would hide the window and leave the repaint
        // undone: the close waits until the repaint has been served, or
        // until it is plainly late.
        const auto repaintLate = TBenchClock::now() + 500ms;
        while (!paint.HasReached() && TBenchClock::now() < repaintLate)
            std::this_thread::sleep_for(1ms);
        waitUntilListed(1500);
        responses[2].posted = TBenchClock::now();
        close.Arm();
        QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
    });
    const TEventClock* clocks[] = {&click, &paint, &close};
    const auto noteServed = [&] {
        std::size_t served = 0;
        for (std::size_t i = 0; i < responses.size(); ++i) {
            if (!responses[i].served && clocks[i]->Reached()) {
                responses[i].served = clocks[i]->Reached();
                responses[i].listedWhenServed = entries.rowCount();
            }
            served += responses[i].served ? 1 : 0;
        }
        listed = entries.rowCount();
        return served;
    };
    ProcessEventsUntil(
        [&] {
            noteServed();
            return static_cast<std::size_t>(entries.rowCount());
        },
        count, Idle);
    // Whatever was asked for late in the burst is still served.
    ProcessEventsUntil(noteServed, responses.size(), Idle);
    user.join();
    burst.Finish();
    return responses;
}

void PrintResponses(const char* condition, const std::vector<TResponse>& responses, std::size_t count)
{
    for (const TResponse& response : responses) {
        if (!response.served) {
            std::printf("  %-6s %-18s not served\n", condition, response.what);
            continue;
        }
        const std::chrono::duration<double, std::milli> latency = *response.served - response.posted;
        std::printf("  %-6s %-18s served in %6.1f ms (aim: 100 ms at most), %d of %zu replies listed by then\n",
                    condition, response.what, latency.count(), response.listedWhenServed, count);
    }
}

// What else runs on the machine: "idle" means without our busy loops.
std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five;
    file >> one >> five;
    return one + " over 1 min, " + five + " over 5 min";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == SpinArgument)
        return TBusyLoops::Spin(std::chrono::seconds(std::stoi(argv[2])));
    if (const auto status = IsolateOrExplain("bench_listener_load"))
        return *status;
    QApplication application(argc, argv);
    TListenerBenchLab lab;

    std::printf("bursts of replies to the window, idle and beside two busy loops, in one run;\n"
                "median of %d rounds each, idle and loaded rounds taking turns\n", Rounds);
    std::printf("(load average before: %s)\n", LoadAverage().c_str());
    for (const std::size_t count : {std::size_t{1500}, std::size_t{5000}}) {
        TRounds idle;
        TRounds loaded;
        for (int round = 0; round < Rounds; ++round) {
            idle.Add(Burst(lab, count));
            const TBusyLoops busy(2, 120s);
            loaded.Add(Burst(lab, count));
        }
        for (const auto& [condition, rounds] : {std::pair{"idle", &idle}, std::pair{"loaded", &loaded}})
            std::printf("  %5zu replies, %-6s first reply -> last entry %.3f s (median; %s; first entry after %.3f s;"
                        " all sent after %.3f s; %.0f repaints of the list), every reply listed in order: %s\n",
                        count, condition, rounds->MedianSeconds(), rounds->Spread().c_str(),
                        rounds->MedianFirstEntry(), rounds->MedianSending(), rounds->MedianRepaints(),
                        rounds->AllListedInOrder() ? "yes" : "no");
        std::printf("  %5zu replies: loaded / idle %.2f (aim: 3 or less)\n", count,
                    idle.MedianSeconds() > 0 ? loaded.MedianSeconds() / idle.MedianSeconds() : 0.0);
    }

    constexpr std::size_t Arriving = 5000;
    std::printf("responsiveness while %zu replies arrive\n", Arriving);
    PrintResponses("idle", Responsiveness(lab, Arriving), Arriving);
    {
        const TBusyLoops busy(2, 120s);
        PrintResponses("loaded", Responsiveness(lab, Arriving), Arriving);
    }
    return 0;
}
