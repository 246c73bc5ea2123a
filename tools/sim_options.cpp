#include "sim_options.h"

#include "discovery/udp_socket.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <stdexcept>

namespace {

[[noreturn]] void Reject(const std::string& option, const std::string& value)
{
    throw std::invalid_argument("bad value for " + option + ": '" + value + "'");
}

unsigned long Number(const std::string& option, const std::string& value, unsigned long maximum)
{
    const bool hex = value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0;
    const char* first = value.data() + (hex ? 2 : 0);
    const char* last = value.data() + value.size();
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(first, last, number, hex ? 16 : 10);
    if (first == last || error != std::errc{} || end != last || number > maximum)
        Reject(option, value);
    return number;
}

std::array<std::uint8_t, 4> IPv4(const std::string& option, const std::string& value)
{
    const std::optional<TPeerAddress> address = ParseNumericAddress(TAddressFamily::IPv4, value);
    if (!address)
        Reject(option, value);
    std::array<std::uint8_t, 4> octets{};
    std::copy_n(address->address.begin(), octets.size(), octets.begin());
    return octets;
}

std::array<std::uint8_t, 6> Mac(const std::string& option, const std::string& value)
{
    std::array<std::uint8_t, 6> octets{};
    unsigned parts[6];
    char end = 0;
    if (std::sscanf(value.c_str(), "%2x%*1[-:]%2x%*1[-:]%2x%*1[-:]%2x%*1[-:]%2x%*1[-:]%2x%c", &parts[0], &parts[1],
                    &parts[2], &parts[3], &parts[4], &parts[5], &end) != 6)
        Reject(option, value);
    for (std::size_t i = 0; i < octets.size(); ++i)
        octets[i] = static_cast<std::uint8_t>(parts[i]);
    return octets;
}

TSimDatagramKind Kind(const std::string& option, const std::string& value)
{
    if (value == "reply") return TSimDatagramKind::Reply;
    if (value == "request") return TSimDatagramKind::Request;
    if (value == "malformed") return TSimDatagramKind::Malformed;
    if (value == "empty") return TSimDatagramKind::Empty;
    if (value == "oversized") return TSimDatagramKind::Oversized;
    Reject(option, value);
}

// Applies one option that takes a value; false when `option` is not one.
bool ApplyDeviceField(TSimulatedDevice& device, const std::string& option, const std::string& value)
{
    if (option == "--ip") device.ipAddress = IPv4(option, value);
    else if (option == "--mask") device.netMask = IPv4(option, value);
    else if (option == "--mac") device.mac = Mac(option, value);
    else if (option == "--name") device.deviceName = value;
    else if (option == "--serial") device.serialNumber = value;
    else if (option == "--version-a") device.versionA = value;
    else if (option == "--version-b") device.versionB = value;
    else if (option == "--version-c") device.versionC = value;
    else if (option == "--version-d") device.versionD = value;
    else if (option == "--flags") device.stateFlags = static_cast<std::uint8_t>(Number(option, value, 0xFF));
    else if (option == "--http-port") device.httpPort = static_cast<std::uint16_t>(Number(option, value, 0xFFFF));
    else if (option == "--tcp-port") device.tcpPort = static_cast<std::uint16_t>(Number(option, value, 0xFFFF));
    else return false;
    return true;
}

bool ApplySetting(TSimOptions& options, const std::string& option, const std::string& value)
{
    if (option == "--kind") options.kind = Kind(option, value);
    else if (option == "--size") options.oversizedLength = Number(option, value, 65507);
    else if (option == "--listen") options.listenAddress = value;
    else if (option == "--port") options.port = static_cast<std::uint16_t>(Number(option, value, 0xFFFF));
    else if (option == "--repeat") options.repliesPerRequest = Number(option, value, 1'000'000);
    else if (option == "--delay-ms") options.answerDelay = std::chrono::milliseconds(Number(option, value, 60'000));
    else if (option == "--send-to") options.sendTo = value;
    else if (option == "--to-port") options.sendToPort = static_cast<std::uint16_t>(Number(option, value, 0xFFFF));
    else if (option == "--from") options.sendFrom = value;
    else if (option == "--count") options.count = Number(option, value, 100'000'000);
    else if (option == "--interval-ms") options.interval = std::chrono::milliseconds(Number(option, value, 3'600'000));
    else if (option == "--requests") options.requestLimit = Number(option, value, 1'000'000'000);
    else if (option == "--timeout") options.timeLimit = std::chrono::milliseconds(Number(option, value, 86'400'000) * 1000);
    else if (option == "--timeout-ms") options.timeLimit = std::chrono::milliseconds(Number(option, value, 86'400'000));
    else return false;
    return true;
}

}  // namespace

TSimOptions ParseSimOptions(const std::vector<std::string>& arguments)
{
    TSimOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--device") {
            options.devices.push_back(TSimulatedDevice{});
        } else if (option == "--broadcast") {
            options.broadcastAnswers = true;
        } else {
            if (i + 1 >= arguments.size())
                throw std::invalid_argument("unknown option or missing value: " + option);
            const std::string& value = arguments[++i];
            if (!ApplyDeviceField(options.devices.back(), option, value) && !ApplySetting(options, option, value))
                throw std::invalid_argument("unknown option: " + option);
        }
    }
    return options;
}

const char* SimUsage()
{
    return R"(Usage: quorvel-sim [OPTION]...
Plays one or more Quorvel devices. Run it only inside a network namespace:
    ip netns add quorvel-demo
    ip netns exec quorvel-demo ip link set lo up
    ip netns exec quorvel-demo quorvel-sim --ip 10.0.0.50 --name "Hala A"

Without --send-to it listens on UDP --listen:--port and answers every
discovery request with one reply per device (--repeat: more), sent to the
requester's address and port, or with --broadcast to 255.255.255.255:7080.
With --send-to it sends at once, without listening, and exits.

Device fields (the first device exists from the start; --device begins
another one, and the fields after it belong to it):
  --device              begin another device (one reply each per request)
  --ip A.B.C.D          IpAddress                  (default 192.168.0.50)
  --name TEXT           DeviceName, up to 16 bytes (default "Hala A")
  --serial TEXT         SerialNumber, 8 bytes      (default 00012345)
  --version-a TEXT      VersionA, 6 bytes          (default 1.23.4)
  --version-b TEXT      VersionB, 4 bytes          (default HW02)
  --version-c TEXT      VersionC, 3 bytes          (default R01)
  --version-d TEXT      VersionD, 2 bytes          (default 07)
  --flags N             StateFlags, 0x01 DHCP on, 0x80 HTTP off (default 0x01)
  --mac XX-XX-XX-XX-XX-XX  MacAddress             (default 00-1A-2B-3C-4D-5E)
  --mask A.B.C.D        NetMask                    (default 255.255.255.0)
  --http-port N         HttpPort                   (default 80)
  --tcp-port N          TcpPort                    (default 8080)
Text fields are cut or padded with zero bytes to their width.

What is sent:
  --kind KIND           reply (default), request (the discovery request),
                        malformed (a reply with a wrong start mark),
                        empty (zero-length), oversized (--size bytes of a reply)
  --size N              length of an oversized datagram (default 8193)

Listening:
  --listen ADDR         IPv4 address to listen on    (default 0.0.0.0)
  --port N              UDP port, also the source port of answers (default 7080)
  --broadcast           answer to 255.255.255.255:7080, not to the requester
  --repeat N            replies per device per request (default 1)
  --delay-ms N          wait this long before answering (default 0)
  --requests N          exit after answering N requests (default: no limit)

Burst:
  --send-to ADDR        send to this IPv4 or IPv6 address now, then exit
  --to-port N           destination port (default 7080)
  --from ADDR           bind this source address (and --port) first
  --count N             datagrams per device (default 1; 0 = until --timeout)
  --interval-ms N       pause between rounds (one datagram per device each)

Stopping:
  --timeout SECONDS     exit after this long (default 60; 0 = never)
  --timeout-ms N        the same in milliseconds

Prints "listening on ADDR:PORT" once bound, "answered ADDR:PORT" for every
request answered and "sent N" at the end, each line flushed at once.
Exit status: 0 when done or on the time limit, 1 on a socket failure,
2 on a bad command line.
)";
}
