#include "discovery/hand_over.h"
#include "discovery/udp_server.h"
#include "netns_lab.h"

#include <QCoreApplication>
#include <QTest>

#include <arpa/inet.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::chrono::seconds Patience{10};  // only a hang takes this long

// Plays the user-interface thread for the listener: the test's main thread
// drains the hand-over when woken, as Qt's event loop would.
class TUiThreadStandIn : public TUiThreadWaker {
public:
    THandOver& Queue() { return handOver_; }

    // Runs hand-overs until `done` answers true; false when time ran out.
    bool RunUntil(const std::function<bool()>& done)
    {
        const auto end = std::chrono::steady_clock::now() + Patience;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            WaitForWakeUp(20ms);
            handOver_.DrainPending();
        }
        return true;
    }

    // Waits for a queued hand-over without running it.
    bool WaitForWakeUp(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(mutex_);
        const bool woken = wakeUp_.wait_for(lock, limit, [this] { return wakeUps_ > 0; });
        wakeUps_ = 0;
        return woken;
    }

private:
    void WakeUiThread() override
    {
        {
            std::lock_guard lock(mutex_);
            ++wakeUps_;
        }
        wakeUp_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::size_t wakeUps_ = 0;
    THandOver handOver_{*this};
};

struct TReceived {
    Bytes data;
    std::string peerIP;
    std::uint16_t peerPort = 0;
    TAddressFamily version = TAddressFamily::IPv4;
    std::string threadName;
};

// A listener on the wildcard addresses of the test's own namespace that
// records what its handler is given.
class TListenerFixture {
public:
    TListenerFixture()
    {
        listener.emplace(ui.Queue());
        listener->OnUDPRead = [this](TUdpListenerThread& thread, std::span<const std::uint8_t> data,
                                     TUdpBinding& binding) {
            received.push_back(
                {{data.begin(), data.end()}, binding.PeerIP, binding.PeerPort, binding.IPVersion, thread.Name()});
        };
    }

    bool RunUntilReceived(std::size_t count)
    {
        return ui.RunUntil([&] { return received.size() >= count; });
    }

    TUiThreadStandIn ui;
    std::optional<TUdpServer> listener;  // reset() deactivates it
    std::vector<TReceived> received;  // written and read on the main thread only
};

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

std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    DIR* tasks = ::opendir("/proc/self/task");
    while (const dirent* task = ::readdir(tasks)) {
        std::ifstream comm(std::string("/proc/self/task/") + task->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name))
            names.push_back(name);
    }
    ::closedir(tasks);
    return names;
}

TUdpSocket WildcardSocket(TAddressFamily family)
{
    TUdpSocket socket(family);
    if (family == TAddressFamily::IPv6)
        socket.SetOption(TSocketOption::IPv6Only, 1);
    socket.SetOption(TSocketOption::ReuseAddress, 0);
    return socket;
}

}  // namespace

Q_DECLARE_METATYPE(TAddressFamily)

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
    TListenerFixture fixture;
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
    if (family == TAddressFamily::IPv6 && !IPv6DatagramSocketsAvailable())
        QSKIP("this kernel has no IPv6");
    TNetnsLab lab;
    if (address != "127.0.0.1" && address != "::1")
        lab.AddAddress("lo", address.toStdString() + "/32");
    TListenerFixture fixture;
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
    if (!IPv6DatagramSocketsAvailable())
        QSKIP("this kernel has no IPv6");
    TListenerFixture fixture;
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
    if (family == TAddressFamily::IPv6 && !IPv6DatagramSocketsAvailable())
        QSKIP("this kernel has no IPv6");
    TListenerFixture fixture;
    fixture.listener->Activate();
    // The listener switched address reuse on after its bind, for the scan's
    // sake; a second copy of the system (reuse off) must still be refused.
    TUdpSocket second = WildcardSocket(family);
    try {
        second.BindWildcard(DiscoveryPort);
        QFAIL("a second wildcard bind was allowed");
    } catch (const TSocketError& error) {
        // The refusal is what this test expects.
        QCOMPARE(error.ErrorNumber(), EADDRINUSE);
    }
    TListenerFixture secondListener;
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
    if (heldFamily == TAddressFamily::IPv6 && !IPv6DatagramSocketsAvailable())
        QSKIP("this kernel has no IPv6");
    {
        TUdpSocket holder = WildcardSocket(heldFamily);
        holder.BindWildcard(DiscoveryPort);
        TListenerFixture fixture;
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
    TListenerFixture fixture;
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

void TestListener::handlerFailureDropsOnlyThatDatagram()
{
    TListenerFixture fixture;
    std::size_t calls = 0;
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
    TListenerFixture fixture;
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
        TListenerFixture fixture;
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

QUORVEL_NETNS_TEST_MAIN(TestListener)

#include "tst_listener.moc"
