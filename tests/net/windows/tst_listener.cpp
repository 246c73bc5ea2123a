// The reply listener on Winsock, under Wine in the namespace of
// scripts/test-windows.sh, while a device namespace streams replies to it on
// both address families: three devices in turn, from port 7080.

#include "discovery/udp_server.h"
#include "listener_fixture.h"
#include "reply_builder.h"
#include "wine_lab.h"

#include <QTest>

#include <algorithm>
#include <optional>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::chrono::seconds Patience{20};  // only a hang takes this long

// The replies the device namespace sends, in the order it sends them.
std::vector<Bytes> StreamedReplies()
{
    std::vector<Bytes> replies;
    for (const char* name : {"Seq A", "Seq B", "Seq C"}) {
        TSimulatedDevice device;
        device.deviceName = name;
        replies.push_back(BuildDiscoveryReply(device));
    }
    return replies;
}

std::size_t ReplyIndex(const Bytes& data)
{
    const std::vector<Bytes> replies = StreamedReplies();
    return static_cast<std::size_t>(std::find(replies.begin(), replies.end(), data) - replies.begin());
}

// What arrived from loopback, in the order it was handed over.
std::vector<Bytes> BurstArrived(const std::vector<TReceived>& received)
{
    std::vector<Bytes> burst;
    for (const TReceived& item : received) {
        if (item.peerIP == "127.0.0.1")
            burst.push_back(item.data);
    }
    return burst;
}

}  // namespace

Q_DECLARE_METATYPE(TAddressFamily)

class TestListenerWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void receivesFromTheDeviceNamespace_data();
    void receivesFromTheDeviceNamespace();
    void handsOverEachSendersDatagramsInOrder();
    void burstIsHandedOverInBatchesWholeAndInOrder();
    void deactivatesUnderAStreamOfDatagrams();
};

void TestListenerWindows::initTestCase()
{
    QUORVEL_REQUIRE_WINE_LAB();
}

void TestListenerWindows::receivesFromTheDeviceNamespace_data()
{
    QTest::addColumn<TAddressFamily>("family");
    QTest::addColumn<std::string>("peerIP");
    QTest::newRow("IPv4") << TAddressFamily::IPv4 << LabSetting("QUORVEL_DEVICE_IPV4");
    // PeerIP's IPv6 form: eight upper-case groups, no "::".
    QTest::newRow("IPv6") << TAddressFamily::IPv6 << LabSetting("QUORVEL_DEVICE_IPV6_PEER_IP");
}

void TestListenerWindows::receivesFromTheDeviceNamespace()
{
    QFETCH(TAddressFamily, family);
    QFETCH(std::string, peerIP);
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    QCOMPARE(fixture.listener->ThreadCount(), std::size_t{2});
    QVERIFY(fixture.ui.RunUntil([&] { return fixture.CountFrom(family) >= 3; }));
    for (const TReceived& item : fixture.received) {
        if (item.version != family)
            continue;
        QCOMPARE(item.peerIP, peerIP);
        QCOMPARE(item.peerPort, DiscoveryPort);
        QVERIFY2(ReplyIndex(item.data) < 3, "a datagram that the device namespace never sent");
    }
}

void TestListenerWindows::handsOverEachSendersDatagramsInOrder()
{
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    constexpr std::size_t Enough = 60;
    QVERIFY(fixture.ui.RunUntil([&] {
        return fixture.CountFrom(TAddressFamily::IPv4) >= Enough && fixture.CountFrom(TAddressFamily::IPv6) >= Enough;
    }));
    for (TAddressFamily family : {TAddressFamily::IPv4, TAddressFamily::IPv6}) {
        std::optional<std::size_t> previous;
        for (const TReceived& item : fixture.received) {
            if (item.version != family)
                continue;
            const std::size_t index = ReplyIndex(item.data);
            QVERIFY(index < 3);
            if (previous)
                QCOMPARE(index, (*previous + 1) % 3);  // A, B, C, A, ... as sent
            previous = index;
        }
    }
}

void TestListenerWindows::burstIsHandedOverInBatchesWholeAndInOrder()
{
    // Before the fixture: its listener's deactivation may still hand over.
    std::vector<std::pair<TAddressFamily, std::size_t>> handOvers;  // family, datagrams
    std::size_t handedOver = 0;
    TListenerFixture fixture(Patience);
    fixture.listener->OnUDPHandOverDone = [&] {
        handOvers.emplace_back(fixture.received.back().version, fixture.received.size() - handedOver);
        handedOver = fixture.received.size();
    };
    fixture.listener->Activate();
    // Nothing is handed over while the burst is sent: the receiving thread
    // blocks in its first hand-over, and the rest of the burst queues up at
    // the socket, beside the device namespace's stream.
    constexpr std::uint32_t Burst = 700;
    TUdpSocket sender(TAddressFamily::IPv4);
    for (std::uint32_t i = 0; i < Burst; ++i)
        sender.SendTo(Numbered(i), "127.0.0.1", DiscoveryPort);
    QVERIFY(fixture.ui.RunUntil([&] { return BurstArrived(fixture.received).size() >= Burst; }));

    // Every datagram waiting went over in as few hand-overs as the batch
    // allows: one brought a whole batch, none more.
    std::size_t largest = 0;
    for (const auto& [family, size] : handOvers) {
        if (family == TAddressFamily::IPv4)
            largest = std::max(largest, size);
    }
    QCOMPARE(largest, TUdpListenerThread::BatchCapacity);
    const std::vector<Bytes> burst = BurstArrived(fixture.received);
    QCOMPARE(burst.size(), std::size_t{Burst});
    for (std::uint32_t i = 0; i < Burst; ++i)
        QCOMPARE(burst[i], Numbered(i));
}

void TestListenerWindows::deactivatesUnderAStreamOfDatagrams()
{
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    QVERIFY(fixture.ui.RunUntil([&] { return fixture.received.size() >= 100; }));
    // The stream goes on; the deactivation wakes both threads, runs what
    // they still hand over and ends without a hand-over after it.
    fixture.listener.reset();
    const std::size_t handled = fixture.received.size();
    const auto later = std::chrono::steady_clock::now() + 300ms;
    QVERIFY(fixture.ui.RunUntil([&] { return std::chrono::steady_clock::now() > later; }));
    QCOMPARE(fixture.received.size(), handled);

    // Both sockets were closed: the port is free for a new wildcard bind.
    for (TAddressFamily family : {TAddressFamily::IPv4, TAddressFamily::IPv6}) {
        TUdpSocket socket(family);
        socket.SetOption(TSocketOption::ReuseAddress, 0);
        socket.BindWildcard(DiscoveryPort);
    }
}

QUORVEL_APPLESS_TEST_MAIN(TestListenerWindows)
#include "tst_listener.moc"
