#include "discovery/datagram_batch.h"
#include "discovery/port_sharing.h"
#include "discovery/socket_error.h"
#include "discovery/udp_socket.h"
#include "netns_lab.h"

#include <QCoreApplication>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

namespace {

constexpr std::uint16_t TestPort = 7080;
constexpr std::size_t ListenerBufferSize = 8192;
// Long enough never to end on its own while a test waits for something else.
constexpr std::chrono::seconds NeverInThisTest{20};

TUdpSocket BoundWildcard(TAddressFamily family, std::uint16_t port)
{
    TUdpSocket socket(family);
    if (family == TAddressFamily::IPv6)
        socket.SetOption(TSocketOption::IPv6Only, 1);
    socket.SetOption(TSocketOption::ReuseAddress, 0);
    socket.BindWildcard(port);
    return socket;
}

std::vector<std::uint8_t> Filled(std::size_t size)
{
    return std::vector<std::uint8_t>(size, 0x5A);
}

}  // namespace

class TestUdpSocket : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void receivesWholeOrReportsTruncation_data();
    void receivesWholeOrReportsTruncation();
    void reportsTheSender_data();
    void reportsTheSender();
    void receiveWaitingTakesWhatIsQueuedInOrder();
    void interruptFromAnotherThreadEndsTheWaitAndKeepsTheSocket();
    void waitTimesOutAndFailsWhenClosed();
    void specificBindSharesThePortWithTheListener();
    void errorCarriesNumberAndSystemText();
    void labLinksADeviceNamespace();
};

void TestUdpSocket::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
}

void TestUdpSocket::receivesWholeOrReportsTruncation_data()
{
    QTest::addColumn<std::size_t>("size");
    QTest::addColumn<bool>("truncated");
    QTest::newRow("empty") << std::size_t{0} << false;
    QTest::newRow("exactly the buffer") << ListenerBufferSize << false;
    QTest::newRow("one byte more") << ListenerBufferSize + 1 << true;
}

void TestUdpSocket::receivesWholeOrReportsTruncation()
{
    QFETCH(std::size_t, size);
    QFETCH(bool, truncated);
    TUdpSocket receiver = BoundWildcard(TAddressFamily::IPv4, TestPort);
    TUdpSocket sender(TAddressFamily::IPv4);
    QCOMPARE(sender.SendTo(Filled(size), "127.0.0.1", TestPort), size);
    QCOMPARE(sender.SendTo(Filled(3), "127.0.0.1", TestPort), std::size_t{3});

    std::vector<std::uint8_t> buffer(ListenerBufferSize);
    QCOMPARE(receiver.WaitReadable(NeverInThisTest), TWaitResult::Readable);
    const TReceivedDatagram first = receiver.Receive(buffer);
    QCOMPARE(first.truncated, truncated);
    QCOMPARE(first.length, std::min(size, ListenerBufferSize));
    // The datagram after a truncated one arrives whole.
    const TReceivedDatagram second = receiver.Receive(buffer);
    QCOMPARE(second.truncated, false);
    QCOMPARE(second.length, std::size_t{3});
}

void TestUdpSocket::reportsTheSender_data()
{
    QTest::addColumn<TAddressFamily>("family");
    QTest::addColumn<QString>("loopback");
    QTest::addColumn<QByteArray>("addressBytes");
    QTest::newRow("IPv4") << TAddressFamily::IPv4 << "127.0.0.1" << QByteArray("\x7F\0\0\x01", 4);
    QTest::newRow("IPv6") << TAddressFamily::IPv6 << "::1" << QByteArray(15, '\0').append('\x01');
}

void TestUdpSocket::reportsTheSender()
{
    QFETCH(TAddressFamily, family);
    QFETCH(QString, loopback);
    QFETCH(QByteArray, addressBytes);
    if (family == TAddressFamily::IPv6)
        QUORVEL_REQUIRE_IPV6();
    TUdpSocket receiver = BoundWildcard(family, TestPort);
    TUdpSocket sender(family);
    sender.Bind(loopback.toStdString(), 40123);
    sender.SendTo(Filled(1), loopback.toStdString(), TestPort);

    std::vector<std::uint8_t> buffer(16);
    const TReceivedDatagram datagram = receiver.Receive(buffer);
    QCOMPARE(datagram.peer.family, family);
    QCOMPARE(datagram.peer.port, std::uint16_t{40123});
    const QByteArray reported(reinterpret_cast<const char*>(datagram.peer.address.data()), addressBytes.size());
    QCOMPARE(reported, addressBytes);
}

void TestUdpSocket::receiveWaitingTakesWhatIsQueuedInOrder()
{
    TUdpSocket receiver = BoundWildcard(TAddressFamily::IPv4, TestPort);
    receiver.SetOption(TSocketOption::ReceiveBufferSize, 1 << 20);
    TUdpSocket sender(TAddressFamily::IPv4);
    // 100 datagrams, of lengths that follow their numbers, but the 10th
    // too long for a slot and the 20th empty.
    constexpr std::size_t Sent = 100;
    constexpr std::size_t SlotSize = 64;
    const auto lengthOf = [](std::size_t i) { return i == 9 ? SlotSize + 1 : i == 19 ? 0 : i % SlotSize + 1; };
    for (std::size_t i = 0; i < Sent; ++i)
        sender.SendTo(Filled(lengthOf(i)), "127.0.0.1", TestPort);

    TDatagramBatch batch(40, SlotSize);
    std::vector<std::size_t> lengths;
    std::vector<bool> truncated;
    std::vector<std::size_t> batchSizes;
    while (const std::size_t taken = receiver.ReceiveWaiting(batch)) {
        batchSizes.push_back(taken);
        for (std::size_t slot = 0; slot < taken; ++slot) {
            lengths.push_back(batch.Received(slot).length);
            truncated.push_back(batch.Received(slot).truncated);
            QCOMPARE(batch.Data(slot).size(), lengths.back());
        }
    }
    // Loopback has queued every datagram before the sends return; nothing
    // waits for more once the queue is empty.
    QCOMPARE(batchSizes, (std::vector<std::size_t>{40, 40, 20}));
    for (std::size_t i = 0; i < Sent; ++i) {
        QCOMPARE(truncated[i], i == 9);
        QCOMPARE(lengths[i], std::min(lengthOf(i), SlotSize));
    }
}

void TestUdpSocket::interruptFromAnotherThreadEndsTheWaitAndKeepsTheSocket()
{
    TUdpSocket receiver = BoundWildcard(TAddressFamily::IPv4, TestPort);
    TWaitResult result = TWaitResult::TimedOut;
    std::thread waiting([&] { result = receiver.WaitReadable(NeverInThisTest); });
    // Give the thread time to be inside poll(); if it is not there yet, it
    // finds the socket shut down, which ends the wait just the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    receiver.InterruptWait();
    waiting.join();
    QVERIFY(result != TWaitResult::TimedOut);
    // Still open: only its owner closes it, once the waiting thread is gone.
    QVERIFY(receiver.IsOpen());
    receiver.ShutdownAndClose();
    QVERIFY(!receiver.IsOpen());
}

void TestUdpSocket::waitTimesOutAndFailsWhenClosed()
{
    TUdpSocket receiver = BoundWildcard(TAddressFamily::IPv4, TestPort);
    QCOMPARE(receiver.WaitReadable(std::chrono::milliseconds(1)), TWaitResult::TimedOut);
    receiver.ShutdownAndClose();
    receiver.ShutdownAndClose();  // a second close does nothing
    QCOMPARE(receiver.WaitReadable(std::chrono::milliseconds(1)), TWaitResult::Failed);
    std::vector<std::uint8_t> buffer(16);
    QVERIFY_THROWS_EXCEPTION(TSocketError, receiver.Receive(buffer));
}

void TestUdpSocket::specificBindSharesThePortWithTheListener()
{
    TNetnsLab lab;
    lab.AddAddress("lo", "10.9.9.9/32");
    // The listener's way: bind with reuse off, then share the port.
    TUdpSocket listener = BoundWildcard(TAddressFamily::IPv4, TestPort);
    SharePortWithSender(listener);

    TUdpSocket sender(TAddressFamily::IPv4);
    SharePortWithListener(sender);
    sender.Bind("10.9.9.9", TestPort);

    TUdpSocket secondCopy(TAddressFamily::IPv4);
    secondCopy.SetOption(TSocketOption::ReuseAddress, 0);
    QVERIFY_THROWS_EXCEPTION(TSocketError, secondCopy.BindWildcard(TestPort));
}

void TestUdpSocket::errorCarriesNumberAndSystemText()
{
    TUdpSocket holder = BoundWildcard(TAddressFamily::IPv4, TestPort);
    TUdpSocket second(TAddressFamily::IPv4);
    try {
        second.BindWildcard(TestPort);
        QFAIL("a second bind of the port was accepted");
    } catch (const TSocketError& error) {  // the refused bind is what this test looks at
        QCOMPARE(error.ErrorNumber(), EADDRINUSE);
        QCOMPARE(QString::fromUtf8(error.what()), QString("Socket Error # %1\n%2").arg(EADDRINUSE).arg(std::strerror(EADDRINUSE)));
    }
    QVERIFY_THROWS_EXCEPTION(TSocketError, second.Bind("10.0.0.300", TestPort));
}

void TestUdpSocket::labLinksADeviceNamespace()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    std::optional<TUdpSocket> device;
    TNetnsLab::RunIn(link.deviceNamespace, [&] { device = BoundWildcard(TAddressFamily::IPv4, TestPort); });
    // The device's socket lives in its own namespace: the same port is free here.
    TUdpSocket host = BoundWildcard(TAddressFamily::IPv4, TestPort);
    host.SendTo(Filled(5), "10.1.0.2", TestPort);

    std::vector<std::uint8_t> buffer(16);
    QCOMPARE(device->WaitReadable(NeverInThisTest), TWaitResult::Readable);
    const TReceivedDatagram datagram = device->Receive(buffer);
    QCOMPARE(datagram.length, std::size_t{5});
    QCOMPARE(datagram.peer.address[3], std::uint8_t{1});
}

QUORVEL_NETNS_TEST_MAIN(QCoreApplication, TestUdpSocket)
#include "tst_udp_socket.moc"
