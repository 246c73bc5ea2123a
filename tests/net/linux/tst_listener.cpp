#include "discovery/scan.h"
#include "discovery/udp_client.h"
#include "discovery/udp_server.h"
#include "failing_listener_system.h"
#include "listener_fixture.h"
#include "netns_lab.h"
#include "process_threads.h"

#include <QCoreApplication>
#include <QTest>

#include <arpa/inet.h>
#include <grp.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::chrono::seconds Patience{10};  // only a hang takes this long

Bytes Filled(std::size_t size)
{
    return Bytes(size, 0x5A);
}

const Bytes Marker{'e', 'n', 'd'};

std::size_t LowestFreeDescriptor()
{
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(probe);
    return static_cast<std::size_t>(probe);
}

TUdpSocket WildcardSocket(TAddressFamily family)
{
    TUdpSocket socket(family);
    if (family == TAddressFamily::IPv6)
        socket.SetOption(TSocketOption::IPv6Only, 1);
    socket.SetOption(TSocketOption::ReuseAddress, 0);
    return socket;
}

constexpr uid_t AnotherUser = 65534;  // "nobody"

// Binds an IPv4 datagram socket to (address, port) with the given options in
// a child process that has dropped to another user. Answers 0 when the bind
// succeeded, else its errno; 255 when the child could not become that user.
// Between fork and _exit the child makes system calls only.
int BindAsAnotherUser(const char* address, std::uint16_t port, bool reuseAddress, bool reusePort)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &target.sin_addr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(AnotherUser, AnotherUser, AnotherUser) != 0 ||
            ::setresuid(AnotherUser, AnotherUser, AnotherUser) != 0)
            ::_exit(255);
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        if (fd < 0 || (reuseAddress && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) ||
            (reusePort && ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0))
            ::_exit(254);
        ::_exit(::bind(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 ? 0 : errno);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool PortIsFree(TAddressFamily family)
{
    try {
        WildcardSocket(family).BindWildcard(DiscoveryPort);
        return true;
    } catch (const TSocketError&) {  // refused: something holds it
        return false;
    }
}

// The real system, but the readiness wait of the first receiving thread
// (known by the name it gives itself) fails at once.
class TFirstWaitFails : public TListenerSystem {
public:
    TWaitResult WaitReadable(TUdpSocket& socket, std::chrono::milliseconds timeout) override
    {
        char name[16] = {};
        ::pthread_getname_np(::pthread_self(), name, sizeof name);
        if (std::string(name) == "IdUDPServer1 #1")
            return TWaitResult::Failed;
        return TListenerSystem::WaitReadable(socket, timeout);
    }
};

}  // namespace

Q_DECLARE_METATYPE(TAddressFamily)
Q_DECLARE_METATYPE(TListenerStep)

class TestListener : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void deliversDatagramsWholeOrNotAtAll_data();
    void deliversDatagramsWholeOrNotAtAll();
    void storesTheSenderAsText_data();
    void storesTheSenderAsText();
    void writesIPv6InItsFullUpperCaseForm_data();
    void writesIPv6InItsFullUpperCaseForm();
    void bindsBothWildcardsWithNamedThreads();
    void keepsThePortFromASecondWildcardBind_data();
    void keepsThePortFromASecondWildcardBind();
    void heldPortFailsActivationAndClosesEarlierSockets_data();
    void heldPortFailsActivationAndClosesEarlierSockets();
    void socketThatCannotBeMadeFailsActivation();
    void anotherUserCannotBindBesideTheListener_data();
    void anotherUserCannotBindBesideTheListener();
    void scanRunsBesideTheListener();
    void failedStepLeavesNothingRunning_data();
    void failedStepLeavesNothingRunning();
    void failedWaitGivesThePortBack();
    void burstIsHandedOverInBatchesWholeAndInOrder();
    void handlerFailureDropsOnlyThatDatagram();
    void endsWhileAThreadIsBlockedInAHandOver();
    void endsPromptlyWhileDatagramsKeepArriving();
};

void TestListener::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
}

void TestListener::deliversDatagramsWholeOrNotAtAll_data()
{
    QTest::addColumn<std::size_t>("size");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("zero-length") << std::size_t{0} << true;
    QTest::newRow("a reply's 98 bytes") << std::size_t{98} << true;
    QTest::newRow("8192 bytes") << std::size_t{8192} << true;
    QTest::newRow("8193 bytes") << std::size_t{8193} << false;
    QTest::newRow("60000 bytes") << std::size_t{60000} << false;
}

void TestListener::deliversDatagramsWholeOrNotAtAll()
{
    QFETCH(std::size_t, size);
    QFETCH(bool, delivered);
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    TUdpSocket sender(TAddressFamily::IPv4);
    sender.SendTo(Filled(size), "127.0.0.1", DiscoveryPort);
    sender.SendTo(Marker, "127.0.0.1", DiscoveryPort);

    QVERIFY(fixture.RunUntilReceived(delivered ? 2 : 1));
    std::vector<Bytes> data;
    for (const TReceived& received : fixture.received)
        data.push_back(received.data);
    const std::vector<Bytes> expected = delivered ? std::vector<Bytes>{Filled(size), Marker} : std::vector<Bytes>{Marker};
    QCOMPARE(data, expected);
}

void TestListener::storesTheSenderAsText_data()
{
    QTest::addColumn<TAddressFamily>("family");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("peerIP");
    QTest::newRow("IPv4 loopback") << TAddressFamily::IPv4 << "127.0.0.1" << "127.0.0.1";
    QTest::newRow("IPv4 without leading zeros") << TAddressFamily::IPv4 << "10.0.20.3" << "10.0.20.3";
    QTest::newRow("IPv6 loopback, no :: shortening") << TAddressFamily::IPv6 << "::1" << "0:0:0:0:0:0:0:1";
}

void TestListener::storesTheSenderAsText()
{
    QFETCH(TAddressFamily, family);
    QFETCH(QString, address);
    QFETCH(QString, peerIP);
    if (family == TAddressFamily::IPv6)
        QUORVEL_REQUIRE_IPV6();
    TNetnsLab lab;
    if (address != "127.0.0.1" && address != "::1")
        lab.AddAddress("lo", address.toStdString() + "/32");
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();

    TUdpSocket sender(family);
    constexpr std::uint16_t SenderPort = 40123;
    sender.Bind(address.toStdString(), SenderPort);
    sender.SendTo(Marker, address.toStdString(), DiscoveryPort);

    QVERIFY(fixture.RunUntilReceived(1));
    const TReceived& received = fixture.received.front();
    QCOMPARE(QString::fromStdString(received.peerIP), peerIP);
    QCOMPARE(received.peerPort, SenderPort);
    QCOMPARE(received.version, family);
    const char* thread = family == TAddressFamily::IPv4 ? "IdUDPServer1 Listener #1" : "IdUDPServer1 Listener #2";
    QCOMPARE(received.threadName, std::string(thread));
}

void TestListener::writesIPv6InItsFullUpperCaseForm_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("peerIP");
    QTest::newRow("unspecified") << "::" << "0:0:0:0:0:0:0:0";
    QTest::newRow("leading zeros dropped, letters upper case") << "fd00::ab:cd00:2" << "FD00:0:0:0:0:AB:CD00:2";
    QTest::newRow("no group shortened") << "2001:db8:0:0:ffff:0:0:1" << "2001:DB8:0:0:FFFF:0:0:1";
    QTest::newRow("all groups full") << "ffff:ffff:ffff:ffff:ffff:ffff:ffff:fffe"
                                     << "FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFE";
}

void TestListener::writesIPv6InItsFullUpperCaseForm()
{
    QFETCH(QString, address);
    QFETCH(QString, peerIP);
    TPeerAddress peer;
    peer.family = TAddressFamily::IPv6;
    QCOMPARE(inet_pton(AF_INET6, address.toLatin1().constData(), peer.address.data()), 1);
    TUdpBinding binding(TAddressFamily::IPv6);
    binding.StorePeer(peer);
    QCOMPARE(QString::fromStdString(binding.PeerIP), peerIP);
}

void TestListener::bindsBothWildcardsWithNamedThreads()
{
    QUORVEL_REQUIRE_IPV6();
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    QVERIFY(fixture.listener->Active());
    QCOMPARE(fixture.listener->ThreadCount(), std::size_t{2});
    QCOMPARE(fixture.listener->Bindings().at(0)->IPVersion, TAddressFamily::IPv4);
    QCOMPARE(fixture.listener->Bindings().at(1)->IPVersion, TAddressFamily::IPv6);
    // Each thread names itself as it starts.
    for (const char* name : {"IdUDPServer1 #1", "IdUDPServer1 #2"})
        QTRY_COMPARE_WITH_TIMEOUT(std::ranges::count(ThreadNames(), name), 1, 10000);
}

void TestListener::keepsThePortFromASecondWildcardBind_data()
{
    QTest::addColumn<TAddressFamily>("family");
    QTest::newRow("IPv4") << TAddressFamily::IPv4;
    QTest::newRow("IPv6") << TAddressFamily::IPv6;
}

void TestListener::keepsThePortFromASecondWildcardBind()
{
    QFETCH(TAddressFamily, family);
    if (family == TAddressFamily::IPv6)
        QUORVEL_REQUIRE_IPV6();
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    // The listener shares its port with the scan after its bind; a second
    // copy of the system (reuse off) must still be refused.
    TUdpSocket second = WildcardSocket(family);
    try {
        second.BindWildcard(DiscoveryPort);
        QFAIL("a second wildcard bind was allowed");
    } catch (const TSocketError& error) {
        // The refusal is what this test expects.
        QCOMPARE(error.ErrorNumber(), EADDRINUSE);
    }
    TListenerFixture secondListener(Patience);
    QVERIFY_THROWS_EXCEPTION(TSocketBindError, secondListener.listener->Activate());
}

void TestListener::heldPortFailsActivationAndClosesEarlierSockets_data()
{
    QTest::addColumn<TAddressFamily>("heldFamily");
    QTest::newRow("IPv4 port held") << TAddressFamily::IPv4;
    QTest::newRow("IPv6 port held") << TAddressFamily::IPv6;
}

void TestListener::heldPortFailsActivationAndClosesEarlierSockets()
{
    QFETCH(TAddressFamily, heldFamily);
    if (heldFamily == TAddressFamily::IPv6)
        QUORVEL_REQUIRE_IPV6();
    {
        TUdpSocket holder = WildcardSocket(heldFamily);
        holder.BindWildcard(DiscoveryPort);
        TListenerFixture fixture(Patience);
        try {
            fixture.listener->Activate();
            QFAIL("activation succeeded on a held port");
        } catch (const TSocketBindError& error) {
            // The expected failure: its message is the one the start-up error box shows.
            QCOMPARE(QString(error.what()), QString("Could not bind socket. Address and port are already in use."));
        }
        QVERIFY(!fixture.listener->Active());
        QCOMPARE(fixture.listener->ThreadCount(), std::size_t{0});
        QVERIFY(fixture.listener->Bindings().empty());
    }
    // With the IPv6 port held, the IPv4 socket bound before must be closed again.
    TUdpSocket probe = WildcardSocket(TAddressFamily::IPv4);
    probe.BindWildcard(DiscoveryPort);
}

void TestListener::socketThatCannotBeMadeFailsActivation()
{
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit noMoreFiles = saved;
    noMoreFiles.rlim_cur = LowestFreeDescriptor();
    ::setrlimit(RLIMIT_NOFILE, &noMoreFiles);
    TListenerFixture fixture(Patience);
    QString message;
    try {
        fixture.listener->Activate();
    } catch (const TSocketError& error) {
        // The expected failure; the limit is restored below in any case.
        message = error.what();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    QCOMPARE(message, QString("Socket Error # %1\n%2").arg(EMFILE).arg(std::strerror(EMFILE)));
    QCOMPARE(fixture.listener->ThreadCount(), std::size_t{0});
}

void TestListener::anotherUserCannotBindBesideTheListener_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("reuseAddress");
    QTest::addColumn<bool>("reusePort");
    for (const char* address : {"0.0.0.0", "10.4.0.1"}) {
        QTest::addRow("%s, no option", address) << address << false << false;
        QTest::addRow("%s, SO_REUSEADDR", address) << address << true << false;
        QTest::addRow("%s, SO_REUSEPORT", address) << address << false << true;
        QTest::addRow("%s, both", address) << address << true << true;
    }
}

void TestListener::anotherUserCannotBindBesideTheListener()
{
    QFETCH(QString, address);
    QFETCH(bool, reuseAddress);
    QFETCH(bool, reusePort);
    TNetnsLab lab;
    lab.AddDevice("10.4.0.1/24", "10.4.0.2/24");
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    const std::string text = address.toStdString();
    // The same user, options and address on the next port: the refusal
    // below is the listener's port's, not the child's lack of rights.
    QCOMPARE(BindAsAnotherUser(text.c_str(), DiscoveryPort + 1, reuseAddress, reusePort), 0);
    QCOMPARE(BindAsAnotherUser(text.c_str(), DiscoveryPort, reuseAddress, reusePort), EADDRINUSE);
}

void TestListener::scanRunsBesideTheListener()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.5.0.1/24", "10.5.0.2/24");
    std::optional<TUdpSocket> device;
    TNetnsLab::RunIn(link.deviceNamespace, [&] {
        device = WildcardSocket(TAddressFamily::IPv4);
        device->BindWildcard(DiscoveryPort);
    });
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();

    TIdUDPClient sender;
    RunDiscoveryScan(sender);
    std::vector<std::uint8_t> request(64);
    QCOMPARE(device->WaitReadable(Patience), TWaitResult::Readable);
    const TReceivedDatagram asked = device->Receive(request);
    QCOMPARE(asked.length, std::size_t{32});
    QCOMPARE(asked.peer.port, DiscoveryPort);
    device->SendTo(Marker, "10.5.0.1", asked.peer.port);  // the device's answer

    // The listener hears the scan's own broadcast, then the answer.
    QVERIFY(fixture.RunUntilReceived(2));
    QCOMPARE(fixture.received.size(), std::size_t{2});
    QCOMPARE(fixture.received[0].peerIP, std::string("10.5.0.1"));
    QCOMPARE(fixture.received[0].data.size(), std::size_t{32});
    QCOMPARE(fixture.received[1].peerIP, std::string("10.5.0.2"));
    QCOMPARE(fixture.received[1].data, Marker);
}

void TestListener::failedStepLeavesNothingRunning_data()
{
    const QString noSocket = QString::fromStdString(ExpectedMessage(TListenerStep::Socket));
    const QString portInUse = QString::fromStdString(ExpectedMessage(TListenerStep::Bind));
    const QString noThread = QString::fromStdString(ExpectedMessage(TListenerStep::Thread));
    QTest::addColumn<TListenerStep>("step");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<QString>("message");
    QTest::newRow("first socket") << TListenerStep::Socket << 1 << noSocket;
    QTest::newRow("second socket") << TListenerStep::Socket << 2 << noSocket;
    QTest::newRow("first bind") << TListenerStep::Bind << 1 << portInUse;
    QTest::newRow("second bind") << TListenerStep::Bind << 2 << portInUse;
    QTest::newRow("first thread") << TListenerStep::Thread << 1 << noThread;
    QTest::newRow("second thread, the first in a hand-over") << TListenerStep::Thread << 2 << noThread;
}

void TestListener::failedStepLeavesNothingRunning()
{
    QFETCH(TListenerStep, step);
    QFETCH(int, failAt);
    QFETCH(QString, message);
    if (failAt == 2)  // without IPv6 there is no second socket
        QUORVEL_REQUIRE_IPV6();
    TFailingListenerSystem system(step, failAt);
    TListenerFixture fixture(Patience, system);
    const bool firstThreadBusy = step == TListenerStep::Thread && failAt == 2;
    if (firstThreadBusy) {
        // The first thread takes a datagram and blocks in its hand-over
        // before the second thread fails to start.
        system.BeforeFailing = [&] {
            TUdpSocket(TAddressFamily::IPv4).SendTo(Marker, "127.0.0.1", DiscoveryPort);
            fixture.ui.WaitForWakeUp(Patience);
        };
    }
    QString raised;
    try {
        fixture.listener->Activate();
    } catch (const std::exception& error) {  // the injected failure, passed on by activation
        raised = QString::fromUtf8(error.what());
    }
    QCOMPARE(raised, message);
    QVERIFY(!fixture.listener->Active());
    QVERIFY(fixture.listener->Bindings().empty());
    QCOMPARE(ListenerThreads(), 0);
    QVERIFY(PortIsFree(TAddressFamily::IPv4));
    if (IPv6DatagramSocketsAvailable())
        QVERIFY(PortIsFree(TAddressFamily::IPv6));
    // Stopping the first thread carried out the hand-over it was blocked in.
    QCOMPARE(fixture.received.size(), std::size_t{firstThreadBusy ? 1u : 0u});
}

void TestListener::failedWaitGivesThePortBack()
{
    TFirstWaitFails system;
    TListenerFixture fixture(Patience, system);
    fixture.listener->Activate();
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.listener->Bindings().front()->Socket.IsOpen(), 10000);
    QVERIFY(PortIsFree(TAddressFamily::IPv4));
    QTRY_COMPARE_WITH_TIMEOUT(std::ranges::count(ThreadNames(), "IdUDPServer1 #1"), 0, 10000);
    if (IPv6DatagramSocketsAvailable()) {
        // The other socket's thread goes on.
        TUdpSocket(TAddressFamily::IPv6).SendTo(Marker, "::1", DiscoveryPort);
        QVERIFY(fixture.RunUntilReceived(1));
        QCOMPARE(fixture.received.front().version, TAddressFamily::IPv6);
    }
    fixture.listener.reset();  // stops the rest as usual
}

void TestListener::burstIsHandedOverInBatchesWholeAndInOrder()
{
    constexpr std::uint32_t Burst = 2000;
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    TUdpSocket sender(TAddressFamily::IPv4);
    sender.SendTo(Numbered(0), "127.0.0.1", DiscoveryPort);
    // The receiving thread has taken the first datagram and is blocked in
    // its hand-over; the rest of the burst queues up at the socket meanwhile.
    QVERIFY(fixture.ui.WaitForWakeUp(Patience));
    for (std::uint32_t i = 1; i < Burst; ++i)
        sender.SendTo(Numbered(i), "127.0.0.1", DiscoveryPort);
    fixture.ui.HandOver().RunQueued();
    const std::size_t inFirstHandOver = fixture.received.size();
    // The next hand-over brings as many as one batch holds, in one call.
    QVERIFY(fixture.ui.WaitForWakeUp(Patience));
    fixture.ui.HandOver().RunQueued();
    QCOMPARE(fixture.received.size() - inFirstHandOver, TUdpListenerThread::BatchCapacity);

    QVERIFY(fixture.RunUntilReceived(Burst));
    QCOMPARE(fixture.received.size(), std::size_t{Burst});
    for (std::uint32_t i = 0; i < Burst; ++i)
        QCOMPARE(fixture.received[i].data, Numbered(i));
}

void TestListener::handlerFailureDropsOnlyThatDatagram()
{
    std::size_t calls = 0;  // before the fixture: its listener's deactivation may still call the handler
    TListenerFixture fixture(Patience);
    fixture.listener->OnUDPRead = [&](TUdpListenerThread&, std::span<const std::uint8_t> data, TUdpBinding&) {
        ++calls;
        if (data.size() == 1)
            throw std::runtime_error("the handler failed");
        fixture.received.push_back({{data.begin(), data.end()}, {}, 0, TAddressFamily::IPv4, {}});
    };
    fixture.listener->Activate();
    TUdpSocket sender(TAddressFamily::IPv4);
    sender.SendTo(Bytes{1}, "127.0.0.1", DiscoveryPort);
    sender.SendTo(Marker, "127.0.0.1", DiscoveryPort);
    QVERIFY(fixture.RunUntilReceived(1));
    QCOMPARE(calls, std::size_t{2});
    QCOMPARE(fixture.received.front().data, Marker);
}

void TestListener::endsWhileAThreadIsBlockedInAHandOver()
{
    TListenerFixture fixture(Patience);
    fixture.listener->Activate();
    TUdpSocket sender(TAddressFamily::IPv4);
    sender.SendTo(Marker, "127.0.0.1", DiscoveryPort);
    // The receiving thread is now blocked until the UI thread runs its call;
    // the deactivation must run it rather than wait forever.
    QVERIFY(fixture.ui.WaitForWakeUp(Patience));
    QVERIFY(fixture.received.empty());
    fixture.listener.reset();
    QCOMPARE(fixture.received.size(), std::size_t{1});
}

void TestListener::endsPromptlyWhileDatagramsKeepArriving()
{
    std::atomic<bool> sending{true};
    std::thread stream([&] {
        TUdpSocket sender(TAddressFamily::IPv4);
        while (sending)
            sender.SendTo(Marker, "127.0.0.1", DiscoveryPort);
    });
    std::chrono::steady_clock::duration closing{};
    {
        TListenerFixture fixture(Patience);
        fixture.listener->Activate();
        QVERIFY(fixture.RunUntilReceived(100));
        const auto start = std::chrono::steady_clock::now();
        fixture.listener.reset();
        closing = std::chrono::steady_clock::now() - start;
    }
    sending = false;
    stream.join();
    // Generous: only a listener that hangs on a busy socket fails here.
    QVERIFY2(closing < Patience / 2, "closing the listener did not end");
}

QUORVEL_NETNS_TEST_MAIN(QCoreApplication, TestListener)

#include "tst_listener.moc"
