// The Winsock datagram socket: waits woken without closing, readiness of
// queued datagrams, every queued datagram taken at once, and the error
// numbers and texts its failures carry.

#include "discovery/datagram_batch.h"
#include "discovery/os_error.h"
#include "discovery/socket_error.h"
#include "discovery/udp_socket.h"
#include "wine_lab.h"

#include <QTest>

#include <algorithm>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint16_t TestPort = 47080;
constexpr std::chrono::milliseconds NeverInThisTest = 60s;  // only a broken wake-up waits this long

int BindError(TAddressFamily family, const std::string& address, std::uint16_t port)
{
    try {
        TUdpSocket socket(family);
        socket.SetOption(TSocketOption::ReuseAddress, 0);
        socket.Bind(address, port);
    } catch (const TSocketError& error) {
        // The refusal is the result looked for.
        return error.ErrorNumber();
    }
    return 0;
}

}  // namespace

class TestUdpSocketWindows : public QObject {
    Q_OBJECT
private slots:
    void interruptEndsAWaitAndKeepsThePort();
    void waitReportsEachQueuedDatagram();
    void receiveWaitingTakesWhatIsQueuedInOrder();
    void errorTextsHaveTheNumberThenOneLine_data();
    void errorTextsHaveTheNumberThenOneLine();
};

void TestUdpSocketWindows::interruptEndsAWaitAndKeepsThePort()
{
    TUdpSocket receiver(TAddressFamily::IPv4);
    receiver.SetOption(TSocketOption::ReuseAddress, 0);
    receiver.BindWildcard(TestPort);
    std::promise<void> waiting;
    auto ended = std::async(std::launch::async, [&] {
        waiting.set_value();
        return receiver.WaitReadable(NeverInThisTest);
    });
    waiting.get_future().wait();
    std::this_thread::sleep_for(100ms);  // let the thread enter its wait
    receiver.InterruptWait();
    QCOMPARE(ended.wait_for(10s), std::future_status::ready);
    QCOMPARE(ended.get(), TWaitResult::Readable);

    // Still open and bound: nobody else can have its handle or its port.
    QVERIFY(receiver.IsOpen());
    QCOMPARE(BindError(TAddressFamily::IPv4, "0.0.0.0", TestPort), WSAEADDRINUSE);
    // Every later wait ends at once; a receive fails instead of blocking.
    QCOMPARE(receiver.WaitReadable(NeverInThisTest), TWaitResult::Readable);
    Bytes buffer(64);
    QVERIFY_THROWS_EXCEPTION(TSocketError, receiver.Receive(buffer));

    receiver.ShutdownAndClose();
    QCOMPARE(receiver.WaitReadable(1ms), TWaitResult::Failed);
    QCOMPARE(BindError(TAddressFamily::IPv4, "0.0.0.0", TestPort), 0);
}

void TestUdpSocketWindows::waitReportsEachQueuedDatagram()
{
    TUdpSocket receiver(TAddressFamily::IPv4);
    receiver.Bind("127.0.0.1", TestPort);
    TUdpSocket sender(TAddressFamily::IPv4);
    const Bytes first{1, 2, 3};
    const Bytes second{4, 5};
    sender.SendTo(first, "127.0.0.1", TestPort);
    sender.SendTo(second, "127.0.0.1", TestPort);

    // Both were queued before any wait began: each wait must still see one.
    Bytes buffer(64);
    for (const Bytes& expected : {first, second}) {
        QCOMPARE(receiver.WaitReadable(5s), TWaitResult::Readable);
        const TReceivedDatagram datagram = receiver.Receive(buffer);
        QCOMPARE(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(datagram.length)), expected);
        QCOMPARE(datagram.peer.address[0], std::uint8_t(127));
    }
    QCOMPARE(receiver.WaitReadable(100ms), TWaitResult::TimedOut);

    // The wait leaves the socket blocking, as it found it: a receive in
    // another thread waits for the next datagram instead of failing.
    auto received = std::async(std::launch::async, [&] { return receiver.Receive(buffer).length; });
    QCOMPARE(received.wait_for(200ms), std::future_status::timeout);
    sender.SendTo(first, "127.0.0.1", TestPort);
    QCOMPARE(received.wait_for(10s), std::future_status::ready);
    QCOMPARE(received.get(), first.size());
}

void TestUdpSocketWindows::receiveWaitingTakesWhatIsQueuedInOrder()
{
    TUdpSocket receiver(TAddressFamily::IPv4);
    receiver.SetOption(TSocketOption::ReceiveBufferSize, 1 << 20);
    receiver.Bind("127.0.0.1", TestPort);
    TUdpSocket sender(TAddressFamily::IPv4);
    // 100 datagrams, of lengths that follow their numbers, but the 10th
    // too long for a slot and the 20th empty.
    constexpr std::size_t Sent = 100;
    constexpr std::size_t SlotSize = 64;
    const auto lengthOf = [](std::size_t i) { return i == 9 ? SlotSize + 1 : i == 19 ? 0 : i % SlotSize + 1; };
    for (std::size_t i = 0; i < Sent; ++i)
        sender.SendTo(Bytes(lengthOf(i), static_cast<std::uint8_t>(i)), "127.0.0.1", TestPort);

    QCOMPARE(receiver.WaitReadable(5s), TWaitResult::Readable);
    TDatagramBatch batch(40, SlotSize);
    std::vector<std::size_t> batchSizes;
    std::size_t next = 0;
    while (const std::size_t taken = receiver.ReceiveWaiting(batch)) {
        batchSizes.push_back(taken);
        for (std::size_t slot = 0; slot < taken; ++slot, ++next) {
            const TReceivedDatagram& datagram = batch.Received(slot);
            QCOMPARE(datagram.truncated, next == 9);
            QCOMPARE(datagram.length, std::min(lengthOf(next), SlotSize));
            QCOMPARE(batch.Data(slot).size(), datagram.length);
            if (datagram.length > 0)
                QCOMPARE(batch.Data(slot).front(), static_cast<std::uint8_t>(next));
            QCOMPARE(datagram.peer.address[0], std::uint8_t(127));
        }
    }
    // Loopback has queued every datagram before the sends return: the
    // batches are full but the last, and an empty queue ends the taking
    // instead of a wait for more.
    QCOMPARE(batchSizes, (std::vector<std::size_t>{40, 40, 20}));

    // The socket is blocking again afterwards: a receive in another thread
    // waits for the next datagram instead of failing.
    Bytes buffer(64);
    auto received = std::async(std::launch::async, [&] { return receiver.Receive(buffer).length; });
    QCOMPARE(received.wait_for(200ms), std::future_status::timeout);
    sender.SendTo(Bytes{7, 7}, "127.0.0.1", TestPort);
    QCOMPARE(received.wait_for(10s), std::future_status::ready);
    QCOMPARE(received.get(), std::size_t{2});
}

void TestUdpSocketWindows::errorTextsHaveTheNumberThenOneLine_data()
{
    QTest::addColumn<std::string>("message");
    QTest::addColumn<std::string>("firstLine");

    TUdpSocket holder(TAddressFamily::IPv4);
    holder.BindWildcard(TestPort);
    try {
        TUdpSocket second(TAddressFamily::IPv4);
        second.SetOption(TSocketOption::ReuseAddress, 0);
        second.BindWildcard(TestPort);
        QFAIL("a second wildcard bind of the same port was allowed");
    } catch (const TSocketError& error) {
        // The refused bind is the failure whose text is looked at.
        QTest::newRow("socket: bind refused") << std::string(error.what()) << std::string("Socket Error # 10048");
    }
    try {
        TUdpSocket other(TAddressFamily::IPv4);
        other.Bind("192.0.2.1", 0);  // TEST-NET-1: no address of this machine
        if (!RunningUnderWine())
            QFAIL("a bind to another machine's address was allowed");
        qInfo("skipped under Wine: it allows a bind to another machine's address, so there is no error 10049");
    } catch (const TSocketError& error) {
        // The same for an address that is not local.
        QTest::newRow("socket: address not available") << std::string(error.what()) << std::string("Socket Error # 10049");
    }
    QTest::newRow("system: 232") << std::string(TOSError(232).what()) << std::string("System Error.  Code: 232.");
    QTest::newRow("system: 87") << std::string(TOSError(87).what()) << std::string("System Error.  Code: 87.");
}

void TestUdpSocketWindows::errorTextsHaveTheNumberThenOneLine()
{
    QFETCH(std::string, message);
    QFETCH(std::string, firstLine);
    const std::size_t lineBreak = message.find('\n');
    QCOMPARE(message.substr(0, lineBreak), firstLine);
    const std::string text = message.substr(lineBreak + 1);
    // The system's text is one line of its own: no carriage return left
    // from FormatMessage, no second line break.
    QVERIFY2(text.find_first_of("\r\n") == std::string::npos, message.c_str());
    if (RunningUnderWine() && (text.empty() || text == "Unknown error code"))
        QSKIP(("Wine has no text for this error number: " + firstLine).c_str());
    QVERIFY2(!text.empty() && text != "Unknown error code", message.c_str());
}

QTEST_APPLESS_MAIN(TestUdpSocketWindows)
#include "tst_udp_socket.moc"
