// From a click on the refresh picture to listed entries: the real window,
// its scan and listener, and device simulators in namespaces of their own.
#include "discovery/udp_socket.h"
#include "netns_lab.h"
#include "process_threads.h"
#include "reply_builder.h"
#include "simulator.h"
#include "ui/main_window/UMain.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "window_entries.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

constexpr int Patience = 10'000;  // ms; only a fault takes this long
constexpr auto HostAddress = "10.1.0.1";
constexpr auto DeviceAddress = "10.1.0.2";
// Devices answer at once, while the scan may still hold its socket on (the
// link's address, 7080); every scan is repeated so that a reply lost to
// that socket would show.
constexpr int Scans = 20;

// quorvel-sim in a device namespace; stopped when it goes.
class TSimulator {
public:
    TSimulator(const std::string& deviceNamespace, const QStringList& arguments)
    {
        StartSimulator(process_, deviceNamespace, QStringList{"--timeout", "30"} + arguments);
    }
    ~TSimulator()
    {
        process_.kill();
        process_.waitForFinished();
    }
    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;

    // Waits for the line that says the simulator has bound its socket.
    bool Listening() { return ReadUntil("listening on"); }
    // Waits for the simulator to end on its own; everything it printed.
    QString Finished()
    {
        process_.waitForFinished(Patience);
        output_ += QString::fromLatin1(process_.readAllStandardOutput());
        return process_.exitCode() == 0 ? output_ : "failed: " + output_;
    }

private:
    bool ReadUntil(const QString& text)
    {
        while (!output_.contains(text)) {
            if (!process_.waitForReadyRead(Patience))
                return false;
            output_ += QString::fromLatin1(process_.readAllStandardOutput());
        }
        return true;
    }

    QProcess process_;
    QString output_;
};

void RunSimulator(const std::string& deviceNamespace, const QStringList& arguments)
{
    TSimulator simulator(deviceNamespace, arguments);
    QVERIFY(simulator.Finished().contains("sent 1"));
}

std::vector<QStringList> Entries(const TfmMain& window)
{
    std::vector<QStringList> entries;
    const TDeviceListModel& model = window.ListBox1->Entries();
    for (int row = 0; row < model.rowCount(); ++row)
        entries.push_back(model.DisplayedLines(row));
    return entries;
}

QStringList Names(const TfmMain& window)
{
    QStringList names;
    for (const QStringList& lines : Entries(window))
        names << lines[2].section(',', 0, 0);
    return names;
}

const QStringList DefaultDevice{DeviceAddress,
                                "Wersja=1.23.4  HW02_R01  07",
                                "Hala A,  Numer=00012345",
                                "DHCP włączone,  HTTP włączone,  ",
                                "Port HTTP=80,  PortTCP=8080",
                                "Maska=255.255.255.0,  MAC=00-1A-2B-3C-4D-5E"};

}  // namespace

class TestDiscoveryEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void scanListsTheDevicesOfEveryLink();
    void deviceAnsweringTwiceIsListedTwice();
    void listedOrDropped_data();
    void listedOrDropped();
    void replyOverIPv6IsListed();
    void heldPortStopsStartUpWithoutThreads();
    void closingWhileRepliesKeepArrivingEndsPromptly();
    void ownAddressFilterFollowsAddressChanges();

private:
    std::vector<QString> shownErrors_;
    TErrorBoxPresenter RecordErrors()
    {
        return [this](const TErrorBox& box) { shownErrors_.push_back(box.text); };
    }
};

void TestDiscoveryEndToEnd::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
}

void TestDiscoveryEndToEnd::scanListsTheDevicesOfEveryLink()
{
    TNetnsLab lab;
    const TDeviceLink first = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    const TDeviceLink second = lab.AddDevice("10.2.0.1/24", "10.2.0.2/24");
    TfmMain window(RecordErrors());
    const QString scans = QString::number(Scans);
    TSimulator hallA(first.deviceNamespace, QStringList{"--ip", DeviceAddress, "--requests", scans});
    TSimulator store(second.deviceNamespace,
                     QStringList{"--ip", "10.2.0.2", "--name", "Magazyn 2", "--serial", "87654321", "--version-a", "2.00.1",
                      "--version-b", "HW03", "--version-c", "R02", "--version-d", "11", "--flags", "0x80", "--mac",
                      "0A-0B-0C-0D-0E-FF", "--mask", "255.255.0.0", "--http-port", "8081", "--tcp-port", "502",
                      "--requests", scans});
    QVERIFY(hallA.Listening() && store.Listening());

    for (int scan = 0; scan < Scans; ++scan) {
        window.Image1Click();
        QTRY_COMPARE_WITH_TIMEOUT(EntryCount(window), 2, Patience);
    }
    // Each device heard the request from its link's address, source port 7080.
    QVERIFY(hallA.Finished().contains("answered 10.1.0.1:7080"));
    QVERIFY(store.Finished().contains("answered 10.2.0.1:7080"));

    std::vector<QStringList> entries = Entries(window);
    std::ranges::sort(entries, {}, [](const QStringList& lines) { return lines[0]; });
    const QStringList storeLines{"10.2.0.2",
                                 "Wersja=2.00.1  HW03_R02  11",
                                 "Magazyn 2,  Numer=87654321",
                                 "DHCP wyłączone,  HTTP wyłączone,  ",
                                 "Port HTTP=8081,  PortTCP=502",
                                 "Maska=255.255.0.0,  MAC=0A-0B-0C-0D-0E-FF"};
    QCOMPARE(entries, (std::vector<QStringList>{DefaultDevice, storeLines}));
    QVERIFY(shownErrors_.empty());
}

void TestDiscoveryEndToEnd::deviceAnsweringTwiceIsListedTwice()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    TfmMain window(RecordErrors());
    TSimulator device(link.deviceNamespace,
                      QStringList{"--ip", DeviceAddress, "--repeat", "2", "--requests", "1"});
    QVERIFY(device.Listening());

    window.Image1Click();
    QTRY_COMPARE_WITH_TIMEOUT(EntryCount(window), 2, Patience);
    QCOMPARE(Entries(window), (std::vector<QStringList>{DefaultDevice, DefaultDevice}));
}

// What reaches port 7080 first; a device reply named "Marker" follows it, so
// once the marker is listed everything before it has been handled.
enum class TProbe { DeviceReply, OwnAddressReply, LoopbackReply, OwnScan };
Q_DECLARE_METATYPE(TProbe)

void TestDiscoveryEndToEnd::listedOrDropped_data()
{
    QTest::addColumn<TProbe>("probe");
    QTest::addColumn<QStringList>("simulatorArguments");
    QTest::addColumn<bool>("listed");
    QTest::newRow("device reply before any scan") << TProbe::DeviceReply << QStringList{} << true;
    QTest::newRow("8192-byte reply, whole") << TProbe::DeviceReply << QStringList{"--kind", "oversized", "--size", "8192"}
                                            << true;
    QTest::newRow("8193-byte reply") << TProbe::DeviceReply << QStringList{"--kind", "oversized", "--size", "8193"}
                                     << false;
    QTest::newRow("zero-length") << TProbe::DeviceReply << QStringList{"--kind", "empty"} << false;
    QTest::newRow("malformed") << TProbe::DeviceReply << QStringList{"--kind", "malformed"} << false;
    QTest::newRow("reply from the machine's own address") << TProbe::OwnAddressReply << QStringList{} << false;
    QTest::newRow("reply from 127.0.0.1, not a listed address") << TProbe::LoopbackReply << QStringList{} << true;
    QTest::newRow("the system's own broadcast request") << TProbe::OwnScan << QStringList{} << false;
}

void TestDiscoveryEndToEnd::listedOrDropped()
{
    QFETCH(TProbe, probe);
    QFETCH(QStringList, simulatorArguments);
    QFETCH(bool, listed);
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    TfmMain window(RecordErrors());

    TSimulatedDevice probeDevice;
    probeDevice.deviceName = "Probe";
    switch (probe) {
    case TProbe::DeviceReply:
        RunSimulator(link.deviceNamespace, QStringList{"--send-to", HostAddress, "--name", "Probe"} + simulatorArguments);
        break;
    case TProbe::OwnAddressReply:
    case TProbe::LoopbackReply: {
        const std::string source = probe == TProbe::LoopbackReply ? "127.0.0.1" : HostAddress;
        TUdpSocket socket(TAddressFamily::IPv4);
        socket.Bind(source, 0);
        socket.SendTo(BuildDiscoveryReply(probeDevice), source, DiscoveryPort);
        break;
    }
    case TProbe::OwnScan:
        window.Image1Click();
        break;
    }
    RunSimulator(link.deviceNamespace, {"--send-to", HostAddress, "--name", "Marker"});

    QTRY_VERIFY_WITH_TIMEOUT(Names(window).contains("Marker"), Patience);
    const QStringList expected = listed ? QStringList{"Probe", "Marker"} : QStringList{"Marker"};
    QCOMPARE(Names(window), expected);
}

void TestDiscoveryEndToEnd::replyOverIPv6IsListed()
{
    QUORVEL_REQUIRE_IPV6();
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    lab.AddAddress(link.hostInterface, "fd00:1::1/64", "nodad");
    TNetnsLab::Ip("-n " + link.deviceNamespace + " addr add fd00:1::2/64 dev " + link.deviceInterface + " nodad");
    TfmMain window(RecordErrors());
    // IPv6 routes for new addresses appear a moment after `ip addr add`
    // returns: the device repeats its reply until one gets through.
    TSimulator device(link.deviceNamespace,
                      {"--send-to", "fd00:1::1", "--name", "Over IPv6", "--count", "0", "--interval-ms", "50"});
    QTRY_VERIFY_WITH_TIMEOUT(EntryCount(window) >= 1, Patience);
    const QStringList lines = Entries(window).front();
    QCOMPARE(lines[0], QString("192.168.0.50"));
    QCOMPARE(lines[2], QString("Over IPv6,  Numer=00012345"));
}

void TestDiscoveryEndToEnd::heldPortStopsStartUpWithoutThreads()
{
    TUdpSocket holder(TAddressFamily::IPv4);
    holder.SetOption(TSocketOption::ReuseAddress, 0);
    holder.BindWildcard(DiscoveryPort);
    QString message;
    try {
        TfmMain window(RecordErrors());
    } catch (const TSocketBindError& error) {
        // The expected start-up failure; its text is checked below.
        message = error.what();
    }
    QCOMPARE(message, QString("Could not bind socket. Address and port are already in use."));
    QCOMPARE(ListenerThreads(), 0);
}

void TestDiscoveryEndToEnd::closingWhileRepliesKeepArrivingEndsPromptly()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    auto window = std::make_unique<TfmMain>(RecordErrors());
    TSimulator stream(link.deviceNamespace, {"--send-to", HostAddress, "--count", "0"});
    QTRY_VERIFY_WITH_TIMEOUT(EntryCount(*window) >= 100, Patience);

    const auto start = std::chrono::steady_clock::now();
    window.reset();
    const auto closing = std::chrono::steady_clock::now() - start;
    QCOMPARE(ListenerThreads(), 0);
    // Generous: only a close that hangs on the busy listener fails here.
    QVERIFY(closing < std::chrono::seconds(5));
}

// An address that becomes the machine's own, stops being it (moved to the
// loopback interface) and becomes it again, each change just before a reply
// from it: each reply is judged by the addresses as they are at its arrival.
void TestDiscoveryEndToEnd::ownAddressFilterFollowsAddressChanges()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.1.0.1/24", "10.1.0.2/24");
    TfmMain window(RecordErrors());
    const auto reply = [&](const std::string& source, const char* name) {
        TSimulatedDevice device;
        device.deviceName = name;
        TUdpSocket socket(TAddressFamily::IPv4);
        socket.Bind(source, 0);
        socket.SendTo(BuildDiscoveryReply(device), HostAddress, DiscoveryPort);
    };
    // A reply from 127.0.0.1 is always listed; once it is, every reply sent
    // before it has been handled.
    const auto handled = [&](const char* marker) {
        reply("127.0.0.1", marker);
        return QTest::qWaitFor([&] { return Names(window).contains(marker); }, Patience);
    };
    const std::string moving = "10.1.0.50";
    QVERIFY(handled("Before"));

    lab.AddAddress(link.hostInterface, moving + "/24");
    reply(moving, "Own");
    QVERIFY(handled("Added"));
    lab.RemoveAddress(link.hostInterface, moving + "/24");
    lab.AddAddress("lo", moving + "/32");
    reply(moving, "On loopback");
    QVERIFY(handled("To loopback"));
    lab.RemoveAddress("lo", moving + "/32");
    lab.AddAddress(link.hostInterface, moving + "/24");
    reply(moving, "Own again");
    QVERIFY(handled("Moved back"));

    QCOMPARE(Names(window), (QStringList{"Before", "Added", "On loopback", "To loopback", "Moved back"}));
}

QUORVEL_NETNS_TEST_MAIN(QApplication, TestDiscoveryEndToEnd)

#include "tst_discovery_end_to_end.moc"
