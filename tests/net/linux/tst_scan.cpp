#include "discovery/datagram.h"
#include "discovery/local_addresses.h"
#include "discovery/port_sharing.h"
#include "discovery/scan.h"
#include "discovery/udp_socket.h"
#include "netns_lab.h"

#include <QCoreApplication>
#include <QTest>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>

// Counts the IPv4 datagram sockets that the process opens, to show that a
// scan without addresses opens none. The executable's definition takes the
// place of the C library's for the discovery code linked into it.
namespace {
std::atomic<int> ipv4DatagramSocketsOpened{0};
}

extern "C" int socket(int domain, int type, int protocol)
{
    using TSocketFunction = int (*)(int, int, int);
    static const auto next = reinterpret_cast<TSocketFunction>(::dlsym(RTLD_NEXT, "socket"));
    if (domain == AF_INET && (type & SOCK_DGRAM) != 0)
        ++ipv4DatagramSocketsOpened;
    return next(domain, type, protocol);
}

namespace {

struct TCaptured {
    std::string source;
    std::uint16_t sourcePort = 0;
    std::string destination;
    unsigned interfaceIndex = 0;  // in the capturing namespace
    std::vector<std::uint8_t> payload;
};

std::string Text(in_addr address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// What reaches UDP 7080 inside a device namespace, with the link it came in on.
class TCapture {
public:
    explicit TCapture(const std::string& deviceNamespace)
    {
        TNetnsLab::RunIn(deviceNamespace, [this] {
            fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            const int on = 1;
            sockaddr_in any{};
            any.sin_family = AF_INET;
            any.sin_port = htons(DiscoveryPort);
            if (fd_ < 0 || ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
                ::bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
                throw std::runtime_error("capture socket");
        });
    }
    ~TCapture() { ::close(fd_); }
    TCapture(const TCapture&) = delete;
    TCapture& operator=(const TCapture&) = delete;

    // Everything queued so far. Delivery over veth usually has finished when
    // the send returns, but a loaded machine can hold a datagram in the
    // receiving side's backlog for a while: the wait keeps it from being missed.
    std::vector<TCaptured> Drain() const
    {
        std::vector<TCaptured> datagrams;
        pollfd readable{fd_, POLLIN, 0};
        while (::poll(&readable, 1, 1000) == 1)
            datagrams.push_back(ReceiveOne());
        return datagrams;
    }

private:
    TCaptured ReceiveOne() const
    {
        TCaptured datagram;
        datagram.payload.resize(2048);
        sockaddr_in sender{};
        iovec part{datagram.payload.data(), datagram.payload.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(fd_, &message, 0);
        if (received < 0)
            throw std::runtime_error("capture receive");
        datagram.payload.resize(static_cast<std::size_t>(received));
        datagram.source = Text(sender.sin_addr);
        datagram.sourcePort = ntohs(sender.sin_port);
        for (cmsghdr* item = CMSG_FIRSTHDR(&message); item; item = CMSG_NXTHDR(&message, item)) {
            if (item->cmsg_level == IPPROTO_IP && item->cmsg_type == IP_PKTINFO) {
                const auto* info = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(item));
                datagram.destination = Text(info->ipi_addr);
                datagram.interfaceIndex = static_cast<unsigned>(info->ipi_ifindex);
            }
        }
        return datagram;
    }

    int fd_ = -1;
};

unsigned IndexInside(const TDeviceLink& link)
{
    unsigned index = 0;
    TNetnsLab::RunIn(link.deviceNamespace, [&] { index = ::if_nametoindex(link.deviceInterface.c_str()); });
    return index;
}

// One device namespace (the "network") with links from this namespace.
struct TNetwork {
    TNetnsLab lab;
    std::string devices = lab.AddNamespace();

    // One scan; what reached the device namespace.
    std::vector<TCaptured> Scan() const
    {
        const TCapture capture(devices);
        TIdUDPClient sender;
        RunDiscoveryScan(sender);
        return capture.Drain();
    }
};

std::vector<std::string> Sources(const std::vector<TCaptured>& datagrams)
{
    std::vector<std::string> sources;
    for (const TCaptured& datagram : datagrams)
        sources.push_back(datagram.source);
    return sources;
}

using TAddresses = std::vector<std::string>;

}  // namespace

class TestScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sendsFromEachAddressOnItsOwnLinkInListOrder();
    void ipv6AddressBesideIsNotUsed();
    void addressGoneAfterReadingIsSkipped();
    void addressWhosePortIsHeldIsSkipped();
    void sharesThePortWithAListener();
    void sameAddressTwiceSendsTwice();
    void onlyLoopbackSendsNothingAndOpensNoSocket();
    void failureToReadTheListLeavesBeforeSending();
};

void TestScan::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
}

void TestScan::sendsFromEachAddressOnItsOwnLinkInListOrder()
{
    TNetwork network;
    const TDeviceLink first = network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    const TDeviceLink second = network.lab.AddLink(network.devices, "192.168.0.10/24", "192.168.0.77/24");
    QCOMPARE(LocalAddresses(), (TAddresses{"10.0.0.5", "192.168.0.10"}));
    const TCapture capture(network.devices);

    TIdUDPClient sender;
    RunDiscoveryScan(sender);

    const std::vector<TCaptured> datagrams = capture.Drain();
    QCOMPARE(Sources(datagrams), (TAddresses{"10.0.0.5", "192.168.0.10"}));
    const unsigned links[] = {IndexInside(first), IndexInside(second)};
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        QCOMPARE(datagrams[i].sourcePort, DiscoveryPort);
        QCOMPARE(datagrams[i].destination, std::string("255.255.255.255"));
        QCOMPARE(datagrams[i].payload, BuildDiscoveryRequest());
        QCOMPARE(datagrams[i].interfaceIndex, links[i]);
    }
    QVERIFY(!sender.Active());
}

void TestScan::ipv6AddressBesideIsNotUsed()
{
    TNetwork network;
    const TDeviceLink link = network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    network.lab.AddAddress(link.hostInterface, "fd00::5/64", "nodad");

    QCOMPARE(Sources(network.Scan()), TAddresses{"10.0.0.5"});
}

void TestScan::addressGoneAfterReadingIsSkipped()
{
    TNetwork network;
    const TDeviceLink first = network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    network.lab.AddLink(network.devices, "192.168.0.10/24", "192.168.0.77/24");
    network.lab.AddLink(network.devices, "172.16.0.3/24", "172.16.0.77/24");
    const TCapture capture(network.devices);
    const auto readThenRemoveFirst = [&] {
        const TAddresses addresses = LocalAddresses();
        network.lab.RemoveAddress(first.hostInterface, "10.0.0.5/24");
        return addresses;
    };

    TIdUDPClient sender;
    RunDiscoveryScan(sender, readThenRemoveFirst);

    QCOMPARE(Sources(capture.Drain()), (TAddresses{"192.168.0.10", "172.16.0.3"}));
}

void TestScan::addressWhosePortIsHeldIsSkipped()
{
    TNetwork network;
    network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    network.lab.AddLink(network.devices, "192.168.0.10/24", "192.168.0.77/24");
    const TCapture capture(network.devices);
    TUdpSocket otherProgram(TAddressFamily::IPv4);
    otherProgram.SetOption(TSocketOption::ReuseAddress, 0);
    otherProgram.Bind("10.0.0.5", DiscoveryPort);

    TIdUDPClient sender;
    RunDiscoveryScan(sender);

    QCOMPARE(Sources(capture.Drain()), TAddresses{"192.168.0.10"});
}

void TestScan::sharesThePortWithAListener()
{
    TNetwork network;
    network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    network.lab.AddLink(network.devices, "192.168.0.10/24", "192.168.0.77/24");
    const TCapture capture(network.devices);
    // The reply listener's way: reuse off for its own bind, then sharing.
    TUdpSocket listener(TAddressFamily::IPv4);
    listener.SetOption(TSocketOption::ReuseAddress, 0);
    listener.BindWildcard(DiscoveryPort);
    SharePortWithSender(listener);

    TIdUDPClient sender;
    RunDiscoveryScan(sender);

    QCOMPARE(Sources(capture.Drain()), (TAddresses{"10.0.0.5", "192.168.0.10"}));
    // The listener hears the machine's own broadcasts, one per address.
    std::vector<std::uint8_t> buffer(64);
    QCOMPARE(listener.WaitReadable(std::chrono::seconds(5)), TWaitResult::Readable);
    QCOMPARE(listener.Receive(buffer).length, std::size_t{32});
    QCOMPARE(listener.Receive(buffer).length, std::size_t{32});
}

void TestScan::sameAddressTwiceSendsTwice()
{
    TNetwork network;
    network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.78/24");
    QCOMPARE(LocalAddresses(), (TAddresses{"10.0.0.5", "10.0.0.5"}));

    // Linux sends a limited broadcast out of the first interface that owns
    // the source address, so both datagrams take the same link.
    const std::vector<TCaptured> datagrams = network.Scan();
    QCOMPARE(Sources(datagrams), (TAddresses{"10.0.0.5", "10.0.0.5"}));
    QCOMPARE(datagrams[0].interfaceIndex, datagrams[1].interfaceIndex);
}

void TestScan::onlyLoopbackSendsNothingAndOpensNoSocket()
{
    TNetnsLab lab;
    lab.AddAddress("lo", "10.9.9.9/32");
    QCOMPARE(LocalAddresses(), TAddresses{});

    TIdUDPClient sender;
    const int openedBefore = ipv4DatagramSocketsOpened;
    RunDiscoveryScan(sender);
    QCOMPARE(ipv4DatagramSocketsOpened - openedBefore, 0);
    QVERIFY(sender.BoundIP().empty());
    // The count works: a socket of the core does show in it.
    const TUdpSocket counted(TAddressFamily::IPv4);
    QCOMPARE(ipv4DatagramSocketsOpened - openedBefore, 1);
}

void TestScan::failureToReadTheListLeavesBeforeSending()
{
    TNetwork network;
    network.lab.AddLink(network.devices, "10.0.0.5/24", "10.0.0.77/24");
    const TCapture capture(network.devices);
    const auto failingQuery = []() -> TAddresses { throw std::system_error(ENOBUFS, std::system_category()); };

    TIdUDPClient sender;
    QVERIFY_THROWS_EXCEPTION(std::system_error, RunDiscoveryScan(sender, failingQuery));

    QCOMPARE(Sources(capture.Drain()), TAddresses{});
    QCOMPARE(sender.BoundPort(), DiscoveryPort);
    QVERIFY(sender.BroadcastEnabled());
}

QUORVEL_NETNS_TEST_MAIN(QCoreApplication, TestScan)
#include "tst_scan.moc"
