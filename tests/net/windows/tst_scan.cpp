// The scan's sender beside the listener's wildcard sockets on port 7080, in
// the namespace of scripts/test-windows.sh. Windows lets both bind; Wine
// turns the sender's bind to an interface's address into a wildcard bind,
// which the listener's socket then refuses: detected and skipped there.

#include "discovery/datagram.h"
#include "discovery/scan.h"
#include "discovery/socket_error.h"
#include "wine_lab.h"

#include <QTest>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class TestScanWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sendsFromEachAddressBesideTheListener();
};

void TestScanWindows::initTestCase()
{
    QUORVEL_REQUIRE_WINE_LAB();
}

void TestScanWindows::sendsFromEachAddressBesideTheListener()
{
    // The listener's IPv4 binding, which also hears the machine's own broadcasts.
    TUdpSocket listener(TAddressFamily::IPv4);
    listener.SetOption(TSocketOption::ReuseAddress, 0);
    listener.BindWildcard(DiscoveryPort);

    const std::vector<std::string> addresses = LabList("QUORVEL_EXPECTED_ADDRESSES");
    TIdUDPClient sender;
    sender.SetBoundIP(addresses.front());
    sender.SetBoundPort(DiscoveryPort);
    try {
        sender.Activate();
        sender.Deactivate();
    } catch (const TSocketError& error) {
        // Only Wine's known refusal is skipped; any other failure is one.
        if (RunningUnderWine() && error.ErrorNumber() == WSAEADDRINUSE)
            QSKIP("Wine binds a socket bound to an interface's address to the wildcard address, so the "
                  "scan's sender cannot bind beside the listener (Socket Error # 10048)");
        QFAIL(error.what());
    }

    RunDiscoveryScan(sender, [&] { return addresses; });
    const Bytes request = BuildDiscoveryRequest();
    Bytes buffer(8192);
    for (const std::string& address : addresses) {
        QCOMPARE(listener.WaitReadable(5s), TWaitResult::Readable);
        const TReceivedDatagram datagram = listener.Receive(buffer);
        QCOMPARE(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(datagram.length)), request);
        QCOMPARE(datagram.peer.port, DiscoveryPort);
        const std::string from = std::to_string(datagram.peer.address[0]) + "." +
                                 std::to_string(datagram.peer.address[1]) + "." +
                                 std::to_string(datagram.peer.address[2]) + "." +
                                 std::to_string(datagram.peer.address[3]);
        QCOMPARE(from, address);
    }
}

QUORVEL_APPLESS_TEST_MAIN(TestScanWindows)
#include "tst_scan.moc"
