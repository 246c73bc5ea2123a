// quorvel-sim: plays Quorvel devices on UDP port 7080 (see SimUsage()).

#include "discovery/datagram.h"
#include "discovery/socket_error.h"
#include "discovery/udp_socket.h"
#include "reply_builder.h"
#include "sim_options.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds LongestWait{1000};

// The end of the run, or none when --timeout is 0.
class TDeadline {
public:
    explicit TDeadline(std::chrono::milliseconds limit)
    {
        if (limit.count() > 0)
            end_ = Clock::now() + limit;
    }
    bool Passed() const { return end_ && Clock::now() >= *end_; }
    std::chrono::milliseconds WaitAtMost(std::chrono::milliseconds wait) const
    {
        if (!end_)
            return wait;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*end_ - Clock::now());
        return std::clamp(left, std::chrono::milliseconds{0}, wait);
    }

private:
    std::optional<Clock::time_point> end_;
};

Bytes DatagramFor(const TSimOptions& options, const TSimulatedDevice& device)
{
    Bytes datagram;
    switch (options.kind) {
    case TSimDatagramKind::Reply: datagram = BuildDiscoveryReply(device); break;
    case TSimDatagramKind::Request: datagram = BuildDiscoveryRequest(); break;
    case TSimDatagramKind::Empty: break;
    case TSimDatagramKind::Malformed:
        datagram = BuildDiscoveryReply(device);
        datagram[ReplyField::StartMark.offset] = 0x00;
        break;
    case TSimDatagramKind::Oversized:
        datagram = BuildDiscoveryReply(device);
        datagram.resize(options.oversizedLength, 0x00);
        break;
    }
    return datagram;
}

std::vector<Bytes> DatagramsOfAllDevices(const TSimOptions& options)
{
    std::vector<Bytes> datagrams;
    for (const TSimulatedDevice& device : options.devices)
        datagrams.push_back(DatagramFor(options, device));
    return datagrams;
}

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int SendBurst(const TSimOptions& options, const TDeadline& deadline)
{
    const std::string& destination = *options.sendTo;
    const bool ipv6 = destination.find(':') != std::string::npos;
    TUdpSocket socket(ipv6 ? TAddressFamily::IPv6 : TAddressFamily::IPv4);
    if (!ipv6)
        socket.SetOption(TSocketOption::Broadcast, 1);  // lets a burst go to 255.255.255.255
    if (options.sendFrom)
        socket.Bind(*options.sendFrom, options.port);

    const std::vector<Bytes> datagrams = DatagramsOfAllDevices(options);
    std::size_t sent = 0;
    for (std::size_t round = 0; (options.count == 0 || round < options.count) && !deadline.Passed(); ++round) {
        for (const Bytes& datagram : datagrams) {
            socket.SendTo(datagram, destination, options.sendToPort);
            ++sent;
        }
        if (options.interval.count() > 0)
            std::this_thread::sleep_for(options.interval);
    }
    Say("sent " + std::to_string(sent));
    return 0;
}

int AnswerRequests(const TSimOptions& options, const TDeadline& deadline)
{
    TUdpSocket socket(TAddressFamily::IPv4);
    socket.SetOption(TSocketOption::Broadcast, 1);
    socket.Bind(options.listenAddress, options.port);
    Say("listening on " + options.listenAddress + ":" + std::to_string(options.port));

    const Bytes request = BuildDiscoveryRequest();
    const std::vector<Bytes> answers = DatagramsOfAllDevices(options);
    Bytes buffer(65536);
    std::size_t answered = 0;
    std::size_t sent = 0;
    while ((options.requestLimit == 0 || answered < options.requestLimit) && !deadline.Passed()) {
        const TWaitResult wait = socket.WaitReadable(deadline.WaitAtMost(LongestWait));
        if (wait == TWaitResult::Failed)
            throw std::runtime_error("waiting for requests failed");
        if (wait == TWaitResult::TimedOut)
            continue;
        const TReceivedDatagram received = socket.Receive(buffer);
        const bool isRequest = received.length == request.size() && std::equal(request.begin(), request.end(), buffer.begin());
        if (!isRequest)
            continue;  // only the discovery request is answered, our own broadcasts are not
        std::this_thread::sleep_for(options.answerDelay);
        const std::string requester = NumericAddressText(received.peer);
        const std::string target = options.broadcastAnswers ? "255.255.255.255" : requester;
        const std::uint16_t targetPort = options.broadcastAnswers ? DiscoveryPort : received.peer.port;
        for (std::size_t repeat = 0; repeat < options.repliesPerRequest; ++repeat) {
            for (const Bytes& answer : answers) {
                socket.SendTo(answer, target, targetPort);
                ++sent;
            }
        }
        ++answered;
        Say("answered " + requester + ":" + std::to_string(received.peer.port));
    }
    Say("sent " + std::to_string(sent));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    TSimOptions options;
    try {
        options = ParseSimOptions({argv + 1, argv + argc});
    } catch (const std::invalid_argument& error) {
        // A bad command line is reported, not crashed on.
        std::fprintf(stderr, "quorvel-sim: %s (see --help)\n", error.what());
        return 2;
    }
    if (options.help) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }
    const TDeadline deadline(options.timeLimit);
    try {
        return options.sendTo ? SendBurst(options, deadline) : AnswerRequests(options, deadline);
    } catch (const std::exception& error) {
        // Socket failures end the run with a message and status 1.
        std::fprintf(stderr, "quorvel-sim: %s\n", error.what());
        return 1;
    }
}
