// The device list with many entries: the cost of appending them one at a
// time as replies would arrive, the cost of painting a frame with 10,000
// entries against one with 10, and the memory the entries take.
#include "discovery/device_summary.h"
#include "process_memory.h"
#include "discovery/thread_cpu_time.h"
#include "reply_builder.h"
#include "statistics.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/device_list/entry_template.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ManyEntries = 10'000;
constexpr int FewEntries = 10;
constexpr int PaintedFrames = 300;
constexpr int AppendRounds = 5;

// What the reply handler lists for one reply: the reply decoded, and its sender.
struct TListedReply {
    TDecodedReply reply;
    std::string sender;
};

// Replies from ManyEntries different devices, decoded as the reply handler would.
std::vector<TListedReply> Replies()
{
    std::vector<TListedReply> replies;
    replies.reserve(ManyEntries);
    for (int i = 0; i < ManyEntries; ++i) {
        TSimulatedDevice device;
        device.ipAddress = {10, 0, std::uint8_t(i / 250), std::uint8_t(1 + i % 250)};
        device.deviceName = "Hala " + std::to_string(i);
        device.stateFlags = std::uint8_t(i % 2 ? 0x01 : 0x80);
        const std::vector<std::uint8_t> reply = BuildDiscoveryReply(device);
        const std::string sender = "10.0." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
        replies.push_back({DecodeDeviceReply(reply).value(), sender});
    }
    return replies;
}

double RepaintMicroseconds(TDeviceList& list)
{
    QElapsedTimer timer;
    timer.start();
    list.viewport()->repaint();  // paints synchronously, like one frame
    return double(timer.nsecsElapsed()) / 1000.0;
}

// Median frame times of both lists; frames alternate between the lists so
// that other load on the machine falls on both alike.
std::pair<double, double> MedianFrameMicroseconds(TDeviceList& many, TDeviceList& few)
{
    std::vector<double> manyFrames, fewFrames;
    for (int i = 0; i < PaintedFrames; ++i) {
        manyFrames.push_back(RepaintMicroseconds(many));
        fewFrames.push_back(RepaintMicroseconds(few));
    }
    return {Median(manyFrames), Median(fewFrames)};
}

// What the entries' texts take: UTF-16 data, terminator and string header.
double TextBytesPerEntry(const TDeviceListModel& entries)
{
    double bytes = 0;
    for (int row = 0; row < entries.rowCount(); ++row) {
        for (CustomItem::Element element : CustomItem::TextElements) {
            const auto text = entries.NamedValue(row, CustomItem::Elements[element].name);
            if (text)
                bytes += 16 + 2.0 * double(text->capacity() + 1);
        }
    }
    return bytes / entries.rowCount();
}

// Appends entries [first, last) and gives the mean CPU time per entry in microseconds.
double AppendEntries(TDeviceList& list, const std::vector<TListedReply>& replies, int first, int last)
{
    // Processor time, unlike the wall clock, leaves out the time other
    // programs on a busy machine take the processor away.
    const std::vector<std::string> ownAddresses{"10.77.0.1"};  // one network card, as most machines have
    const std::chrono::nanoseconds start = ThreadCpuTime();
    for (int i = first; i < last; ++i) {
        const TListedReply& reply = replies[std::size_t(i)];
        list.AddDeviceEntry(reply.reply, reply.sender, ownAddresses);
        QCoreApplication::processEvents();  // each reply is its own event-loop turn
    }
    const std::chrono::duration<double, std::micro> spent = ThreadCpuTime() - start;
    return spent.count() / (last - first);
}

void Show(TDeviceList& list)
{
    list.resize(351, 280);  // the list's designed size in the window
    list.show();
    QCoreApplication::processEvents();
}

struct TAppendCosts {
    double first = 0, all = 0, last = 0;  // us per entry: first 1000, all, last 1000
};

// Fills the shown, empty list with ManyEntries entries.
TAppendCosts AppendMany(TDeviceList& list, const std::vector<TListedReply>& replies)
{
    TAppendCosts costs;
    costs.first = AppendEntries(list, replies, 0, 1000);
    const double middle = AppendEntries(list, replies, 1000, ManyEntries - 1000);
    costs.last = AppendEntries(list, replies, ManyEntries - 1000, ManyEntries);
    costs.all = (costs.first * 1000 + middle * (ManyEntries - 2000) + costs.last * 1000) / ManyEntries;
    return costs;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const std::vector<TListedReply> replies = Replies();
    TDeviceList few, many;
    Show(few);
    Show(many);
    AppendEntries(few, replies, 0, FewEntries);

    const long residentBefore = long(ProcessMemoryBytes("VmRSS"));
    TAppendCosts fastest = AppendMany(many, replies);
    const long residentAfter = long(ProcessMemoryBytes("VmRSS"));
    // More rounds on fresh lists: the fastest round of each part shows its
    // cost with the least interference from other work on the machine.
    for (int round = 1; round < AppendRounds; ++round) {
        TDeviceList list;
        Show(list);
        const TAppendCosts costs = AppendMany(list, replies);
        fastest = {std::min(fastest.first, costs.first), std::min(fastest.all, costs.all), std::min(fastest.last, costs.last)};
    }
    const double firstThousand = fastest.first, lastThousand = fastest.last, appendMicroseconds = fastest.all;
    const auto [manyFrame, fewFrame] = MedianFrameMicroseconds(many, few);

    const double perEntry = double(residentAfter - residentBefore) / ManyEntries;
    const double textPerEntry = TextBytesPerEntry(many.Entries());
    std::printf("append, one at a time with an event-loop turn each, fastest of %d rounds:"
                " %.1f us CPU time per entry over %d entries\n", AppendRounds, appendMicroseconds, ManyEntries);
    std::printf("append: first 1000 %.1f us, last 1000 %.1f us per entry, ratio %.2f (aim <= 1.1)\n", firstThousand,
                lastThousand, lastThousand / firstThousand);
    std::printf("paint one frame: %.1f us with %d entries, %.1f us with %d entries, ratio %.2f (aim <= 1.2)\n",
                manyFrame, ManyEntries, fewFrame, FewEntries, manyFrame / fewFrame);
    std::printf("resident memory: %.1f MB before, %.1f MB after %d entries: %.0f bytes per entry\n",
                residentBefore / 1e6, residentAfter / 1e6, ManyEntries, perEntry);
    std::printf("of which texts %.0f bytes, beyond the texts %.0f bytes per entry (aim <= 1024)\n",
                textPerEntry, perEntry - textPerEntry);
    return 0;
}
