// The main window offscreen, inside a network namespace of its own: the
// window binds UDP port 7080 and its refresh action broadcasts.
#include "discovery/datagram.h"
#include "discovery/udp_client.h"
#include "discovery/udp_socket.h"
#include "failing_listener_system.h"
#include "failing_netlink.h"
#include "netns_lab.h"
#include "process_threads.h"
#include "reply_builder.h"
#include "ui/main_window/UMain.h"
#include "ui/main_window/clickable_picture.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/main_window/error_texts.h"
#include "ui/main_window/main_window_run.h"
#include "ui/main_window/panel.h"
#include "ui/main_window/scroll_content.h"
#include "ui/main_window/type_name.h"
#include "window_entries.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QAccessible>
#include <QDesktopServices>
#include <QHelpEvent>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

constexpr auto HostAddress = "10.9.0.1";
// Shares its first characters with HostAddress: only an exact comparison
// of address texts keeps it apart from the machine's own address.
constexpr auto DeviceAddress = "10.9.0.10";

Bytes NamedReply(const std::string& deviceName)
{
    TSimulatedDevice device;
    device.deviceName = deviceName;
    return BuildDiscoveryReply(device);
}

void SendToPort7080(const std::string& sourceAddress, const Bytes& datagram)
{
    TUdpSocket socket(TAddressFamily::IPv4);
    socket.Bind(sourceAddress, 0);
    socket.SendTo(datagram, HostAddress, DiscoveryPort);
}

QString LastEntryLine(const TfmMain& window, int line)
{
    return window.ListBox1->Entries().DisplayedLines(EntryCount(window) - 1)[line];
}

// Bytes waiting in the receive queue of the socket bound to 0.0.0.0:7080
// in this namespace, as /proc/net/udp shows it; -1 when there is none.
long WaitingAtWildcardPort()
{
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        char local[64] = {}, remote[64] = {};
        unsigned state = 0;
        unsigned long txQueue = 0, rxQueue = 0;
        if (std::sscanf(line.c_str(), " %*d: %63s %63s %x %lx:%lx", local, remote, &state, &txQueue, &rxQueue) == 5 &&
            std::string(local) == "00000000:1BA8")
            return static_cast<long>(rxQueue);
    }
    return -1;
}


// A descriptor of the test's own, closed when it goes.
struct TFileDescriptor {
    explicit TFileDescriptor(int descriptor) : fd(descriptor) {}
    ~TFileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    const int fd;
};

// A UDP datagram from port 7080 of `source` to the limited broadcast's port
// 7080, written whole into an Ethernet frame on `interface` of the calling
// thread's namespace: its sender is whatever the frame says, as any host on
// the link could make it (0.0.0.0 too, which Linux delivers when sent to the
// limited broadcast). No checksum over UDP: IPv4 allows none.
void SendCraftedBroadcast(const std::string& interface, const std::string& source, const Bytes& payload)
{
    Bytes packet(28 + payload.size());
    const auto put16 = [&](std::size_t at, unsigned value) {
        packet[at] = static_cast<std::uint8_t>(value >> 8);
        packet[at + 1] = static_cast<std::uint8_t>(value);
    };
    packet[0] = 0x45;  // IPv4, a 20-byte header
    put16(2, unsigned(packet.size()));
    packet[8] = 64;  // time to live
    packet[9] = IPPROTO_UDP;
    if (::inet_pton(AF_INET, source.c_str(), &packet[12]) != 1)
        throw std::invalid_argument("not an IPv4 address: " + source);
    std::fill_n(packet.begin() + 16, 4, std::uint8_t(255));
    unsigned sum = 0;
    for (std::size_t at = 0; at < 20; at += 2)
        sum += packet[at] * 256u + packet[at + 1];
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    put16(10, ~sum & 0xFFFF);
    put16(20, DiscoveryPort);
    put16(22, DiscoveryPort);
    put16(24, unsigned(8 + payload.size()));
    std::copy(payload.begin(), payload.end(), packet.begin() + 28);

    const TFileDescriptor frames(::socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP)));
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_IP);
    to.sll_ifindex = static_cast<int>(::if_nametoindex(interface.c_str()));
    to.sll_halen = 6;
    std::fill_n(to.sll_addr, 6, 0xFF);
    if (frames.fd < 0 || ::sendto(frames.fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                                  sizeof to) != static_cast<ssize_t>(packet.size()))
        throw std::runtime_error(std::string("crafted frame: ") + std::strerror(errno));
}

// Sends `payload` from port 7080 of the link-local fe80::10 on the device's
// end of `link` to fe80::1 on the window's end; returns the sender as the
// window names it, with its interface.
QString SendFromLinkLocal(const TDeviceLink& link, const Bytes& payload)
{
    TNetnsLab::Ip("addr replace fe80::1/64 dev " + link.hostInterface + " nodad");
    TNetnsLab::Ip("-n " + link.deviceNamespace + " addr replace fe80::10/64 dev " + link.deviceInterface + " nodad");
    const unsigned hostIndex = ::if_nametoindex(link.hostInterface.c_str());
    TNetnsLab::RunIn(link.deviceNamespace, [&] {
        const TFileDescriptor socket(::socket(AF_INET6, SOCK_DGRAM, 0));
        const auto linkLocal = [&](const char* text) {
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_port = htons(DiscoveryPort);
            address.sin6_scope_id = ::if_nametoindex(link.deviceInterface.c_str());
            ::inet_pton(AF_INET6, text, &address.sin6_addr);
            return address;
        };
        const sockaddr_in6 from = linkLocal("fe80::10"), to = linkLocal("fe80::1");
        if (socket.fd < 0 || ::bind(socket.fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
            ::sendto(socket.fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) != static_cast<ssize_t>(payload.size()))
            throw std::runtime_error(std::string("link-local send: ") + std::strerror(errno));
    });
    return QStringLiteral("FE80:0:0:0:0:0:0:10%%1").arg(hostIndex);
}

}  // namespace

// Stands in for the desktop's browser.
class TOpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

Q_DECLARE_METATYPE(TListenerStep)

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void layoutFollowsTheClientSize_data();
    void layoutFollowsTheClientSize();
    void smallestWindowShowsOneWholeEntry();
    void windowSettings();

    void startSendsNothing();
    void clicksOnTheBandScan_data();
    void clicksOnTheBandScan();
    void hoverSwitchesTheWarp();
    void sampleButtonAddsItsEntry();

    void replyHandling_data();
    void replyHandling();
    void repliesHandedOverWhileTheWindowIsDestroyedAreDropped();
    void fullListTakesNoMoreUntilAClickEmptiesIt();
    void doubleClickOpensOnlyAShownAddress_data();
    void doubleClickOpensOnlyAShownAddress();
    void copyTakesTheSelectedEntrysLines();

    void handlerErrorIsShownAndTheWindowGoesOn();
    void startupErrorWhenThePortIsHeld();
    void listenerFailureAtStartLeavesNothingBehind_data();
    void listenerFailureAtStartLeavesNothingBehind();

private:
    // A socket in the device namespace that hears the window's requests.
    TUdpSocket CaptureInDevice() const;
    // A socket in the device namespace, bound to the device's address.
    TUdpSocket DeviceSocket() const;

    std::optional<TNetnsLab> lab_;
    std::string deviceNamespace_;
    TDeviceLink link_;
};

void TestMainWindow::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
    lab_.emplace();
    link_ = lab_->AddDevice(std::string(HostAddress) + "/24", std::string(DeviceAddress) + "/24");
    deviceNamespace_ = link_.deviceNamespace;
    lab_->SetLinkUp("lo", true);  // the machine's own datagrams to its own address go through it
}

TUdpSocket TestMainWindow::CaptureInDevice() const
{
    std::optional<TUdpSocket> capture;
    TNetnsLab::RunIn(deviceNamespace_, [&] {
        capture.emplace(TAddressFamily::IPv4);
        capture->BindWildcard(DiscoveryPort);
    });
    return std::move(*capture);
}

TUdpSocket TestMainWindow::DeviceSocket() const
{
    std::optional<TUdpSocket> device;
    TNetnsLab::RunIn(deviceNamespace_, [&] {
        device.emplace(TAddressFamily::IPv4);
        device->Bind(DeviceAddress, 0);
    });
    return std::move(*device);
}

void TestMainWindow::layoutFollowsTheClientSize_data()
{
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("title");
    QTest::addColumn<QRect>("panel");
    QTest::addColumn<QRect>("list");

    QTest::newRow("designed 383 x 480") << QSize(383, 480) << QRect(0, 0, 383, 40) << QRect(16, 56, 351, 112)
                                        << QRect(16, 184, 351, 280);
    QTest::newRow("taller and wider") << QSize(500, 700) << QRect(0, 0, 500, 40) << QRect(16, 56, 468, 112)
                                      << QRect(16, 184, 468, 500);
    QTest::newRow("shorter") << QSize(383, 400) << QRect(0, 0, 383, 40) << QRect(16, 56, 351, 112)
                             << QRect(16, 184, 351, 200);
    // Narrower than the title's text: the title is cut off, nothing scrolls.
    QTest::newRow("narrow 300") << QSize(300, 480) << QRect(0, 0, 300, 40) << QRect(16, 56, 268, 112)
                                << QRect(16, 184, 268, 280);
    QTest::newRow("narrowest 250") << QSize(250, 480) << QRect(0, 0, 250, 40) << QRect(16, 56, 218, 112)
                                   << QRect(16, 184, 218, 280);
    QTest::newRow("smallest 250 x 332") << QSize(250, 332) << QRect(0, 0, 250, 40) << QRect(16, 56, 218, 112)
                                        << QRect(16, 184, 218, 132);
}

void TestMainWindow::layoutFollowsTheClientSize()
{
    QFETCH(QSize, client);
    QFETCH(QRect, title);
    QFETCH(QRect, panel);
    QFETCH(QRect, list);
    TfmMain window;
    window.resize(client);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.Label1->geometry(), title);
    QCOMPARE(window.Panel1->geometry(), panel);
    QCOMPARE(window.ListBox1->geometry(), list);
    QCOMPARE(window.Image1->geometry(), QRect(0, 4, panel.width(), 104));
    QCOMPARE(window.Button1->pos(), QPoint(16, 152));
    QVERIFY(window.Button1->isHidden());
    QCOMPARE(window.ScrollBox1->geometry(), QRect(QPoint(), client));
    QCOMPARE(window.ScrollBox1Content->size(), client);
    QVERIFY(!window.ScrollBox1->horizontalScrollBar()->isVisible());
    QVERIFY(!window.ScrollBox1->verticalScrollBar()->isVisible());
}

// Smaller than the smallest size is refused; at the smallest size the list
// still shows one whole entry, and the window does not scroll.
void TestMainWindow::smallestWindowShowsOneWholeEntry()
{
    TfmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(120, 200);
    QCOMPARE(window.size(), TfmMain::MinimumClientSize);
    window.Button1Click();
    window.Button1Click();
    QTRY_VERIFY(window.ListBox1->verticalScrollBar()->isVisible());

    const QRect entry = window.ListBox1->visualRect(window.ListBox1->Entries().index(0));
    QCOMPARE(entry.height(), 128);
    QVERIFY2(window.ListBox1->viewport()->rect().contains(entry),
             qPrintable(QStringLiteral("viewport %1 x %2").arg(window.ListBox1->viewport()->width()).arg(window.ListBox1->viewport()->height())));
    QVERIFY(!window.ScrollBox1->horizontalScrollBar()->isVisible());
    QVERIFY(!window.ScrollBox1->verticalScrollBar()->isVisible());
    QCOMPARE(window.ListBox1->geometry(), QRect(16, 184, 218, 132));
}

void TestMainWindow::windowSettings()
{
    TfmMain window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Quorvel"));
    QCOMPARE(window.size(), QSize(383, 480));
    // An ordinary application window with the caption and close button only.
    QCOMPARE(window.windowType(), Qt::Window);
    QVERIFY(window.windowFlags().testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    QVERIFY(!window.windowFlags().testAnyFlags(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
    QVERIFY(window.testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.Label1->text(), QStringLiteral("Znajdź mojego QuorVela"));
    QCOMPARE(window.Label1->font().pixelSize(), 30);
    QVERIFY(window.IdUDPServer1->Active());
    QVERIFY(!window.IdUDPClient1->Active());
    QCOMPARE(EntryCount(window), 0);
}

void TestMainWindow::startSendsNothing()
{
    TUdpSocket capture = CaptureInDevice();
    TfmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    QCOMPARE(capture.WaitReadable(std::chrono::milliseconds(0)), TWaitResult::TimedOut);
    QCOMPARE(EntryCount(window), 0);
}

void TestMainWindow::clicksOnTheBandScan_data()
{
    QTest::addColumn<QPoint>("inPanel");
    QTest::addColumn<bool>("scans");

    QTest::newRow("on the symbol") << QPoint(175, 56) << true;
    QTest::newRow("band, left of the symbol") << QPoint(5, 56) << true;
    QTest::newRow("band, right of the symbol") << QPoint(345, 10) << true;
    QTest::newRow("strip above the band") << QPoint(175, 2) << false;
    QTest::newRow("strip below the band") << QPoint(175, 110) << false;
}

void TestMainWindow::clicksOnTheBandScan()
{
    QFETCH(QPoint, inPanel);
    QFETCH(bool, scans);
    TUdpSocket capture = CaptureInDevice();
    TfmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Button1Click();

    QWidget* target = window.Panel1->childAt(inPanel);
    QWidget* clicked = target ? target : window.Panel1;
    QTest::mouseClick(clicked, Qt::LeftButton, {}, clicked->mapFrom(window.Panel1, inPanel));

    QCOMPARE(EntryCount(window), scans ? 0 : 1);
    const TWaitResult request = capture.WaitReadable(std::chrono::milliseconds(scans ? 2000 : 0));
    QCOMPARE(request == TWaitResult::Readable, scans);
    if (scans) {
        Bytes received(64);
        const TReceivedDatagram datagram = capture.Receive(received);
        received.resize(datagram.length);
        QCOMPARE(received, BuildDiscoveryRequest());
    }
}

void TestMainWindow::hoverSwitchesTheWarp()
{
    TfmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage plain = window.Image1->grab().toImage();
    QVERIFY(!window.WrapEffect1.Enabled);

    const QPointF centre = QRectF(window.Image1->rect()).center();
    QEnterEvent enter(centre, window.Image1->mapToGlobal(centre), window.Image1->mapToGlobal(centre));
    QApplication::sendEvent(window.Image1, &enter);
    QVERIFY(window.Image1->IsMouseOver());
    QVERIFY(window.WrapEffect1.Enabled);
    const QImage warped = window.Image1->grab().toImage();
    QVERIFY(warped != plain);
    // The middle row is squeezed most: the symbol is narrower there.
    const auto inkWidth = [](const QImage& image) {
        const int row = image.height() / 2;
        int first = image.width(), last = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, row)) < 64) {
                first = std::min(first, x);
                last = x;
            }
        }
        return last - first;
    };
    QVERIFY(inkWidth(warped) < inkWidth(plain));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(window.Image1, &leave);
    QVERIFY(!window.WrapEffect1.Enabled);
    QCOMPARE(window.Image1->grab().toImage(), plain);
}

void TestMainWindow::sampleButtonAddsItsEntry()
{
    TfmMain window;
    window.Button1->click();
    QCOMPARE(EntryCount(window), 1);
    const QString text = QStringLiteral("Text");
    QCOMPARE(window.ListBox1->Entries().DisplayedLines(0),
             QStringList({QStringLiteral("192.168.0.177"), text, text, text, text, text}));
}

void TestMainWindow::replyHandling_data()
{
    QTest::addColumn<bool>("fromDevice");
    QTest::addColumn<Bytes>("datagram");
    QTest::addColumn<bool>("listed");

    const Bytes reply = NamedReply("Hala B");
    Bytes malformed = reply;
    malformed[ReplyField::HeaderCode.offset] = 0x00;
    Bytes headerOnly(reply.begin(), reply.begin() + DiscoveryHeaderSize);
    headerOnly[ReplyField::PayloadLength.offset + 1] = 0;

    QTest::newRow("reply from a device") << true << reply << true;
    QTest::newRow("reply from the machine's own address") << false << reply << false;
    QTest::newRow("not a reply") << true << malformed << false;
    QTest::newRow("accepted, but too short to decode") << true << headerOnly << false;
    QTest::newRow("empty datagram") << true << Bytes{} << false;
}

// Each datagram is followed by a marker reply from the device; once the
// marker is listed, the datagram before it has been handled too.
void TestMainWindow::replyHandling()
{
    QFETCH(bool, fromDevice);
    QFETCH(Bytes, datagram);
    QFETCH(bool, listed);
    TfmMain window;

    if (fromDevice)
        TNetnsLab::RunIn(deviceNamespace_, [&] { SendToPort7080(DeviceAddress, datagram); });
    else
        SendToPort7080(HostAddress, datagram);
    TNetnsLab::RunIn(deviceNamespace_, [] { SendToPort7080(DeviceAddress, NamedReply("marker")); });

    QTRY_VERIFY(EntryCount(window) > 0 && LastEntryLine(window, 2).contains(u"marker"));
    QCOMPARE(EntryCount(window), listed ? 2 : 1);
    if (listed) {
        QCOMPARE(window.ListBox1->Entries().DisplayedLines(0)[0], QStringLiteral("192.168.0.50"));
        QVERIFY(window.ListBox1->Entries().DisplayedLines(0)[2].contains(u"Hala B"));
    }
}

void TestMainWindow::repliesHandedOverWhileTheWindowIsDestroyedAreDropped()
{
    auto window = std::make_unique<TfmMain>();
    std::optional<TUdpSocket> device;
    TNetnsLab::RunIn(deviceNamespace_, [&] {
        device.emplace(TAddressFamily::IPv4);
        device->Bind(DeviceAddress, 0);
    });
    const Bytes reply = NamedReply("stream");
    std::atomic<bool> sending{true};
    std::thread stream([&] {
        while (sending)
            device->SendTo(reply, HostAddress, DiscoveryPort);
    });
    QTRY_VERIFY_WITH_TIMEOUT(EntryCount(*window) > 0, 10000);

    // No events now: a receiving thread blocks in its next hand-over and
    // replies queue up at the socket behind it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QVERIFY(WaitingAtWildcardPort() > 0);
    bool destroying = false;
    int listedWhileDestroying = 0;
    connect(&window->ListBox1->Entries(), &QAbstractItemModel::rowsInserted, this,
            [&] { listedWhileDestroying += destroying ? 1 : 0; });
    destroying = true;
    window.reset();  // carries out the blocked hand-over while the stream goes on
    sending = false;
    stream.join();
    QCOMPARE(listedWhileDestroying, 0);
    QCOMPARE(WaitingAtWildcardPort(), -1L);  // the port is given back
}

// The list fills to its bound through the real listener: the reply that
// makes it full is listed, the replies after it are dropped (on the
// receiving thread, which leaves them unhandled at the socket no more),
// and a click empties the list so that replies are listed again.
void TestMainWindow::fullListTakesNoMoreUntilAClickEmptiesIt()
{
    constexpr std::size_t Bound = TDeviceListModel::MaxEntries;
    // Sent in rounds that the socket's buffer holds, each listed before the
    // next is sent: none is lost, so the count tells which reply is which.
    constexpr std::size_t Round = 200;
    TfmMain window;
    TUdpSocket device = DeviceSocket();
    const auto listedWithin = [&](std::size_t count) {
        QDeadlineTimer patience(20000);
        while (std::size_t(EntryCount(window)) < count && !patience.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return std::size_t(EntryCount(window)) == count;
    };
    Bytes reply = NamedReply("before");
    for (std::size_t sent = 0; sent < Bound - 1;) {
        const std::size_t now = std::min(Round, Bound - 1 - sent);
        for (std::size_t i = 0; i < now; ++i)
            device.SendTo(reply, HostAddress, DiscoveryPort);
        sent += now;
        QVERIFY2(listedWithin(sent), qPrintable(QStringLiteral("%1 of %2 listed").arg(EntryCount(window)).arg(sent)));
    }
    device.SendTo(NamedReply("at the bound"), HostAddress, DiscoveryPort);
    QVERIFY(listedWithin(Bound));
    QVERIFY(LastEntryLine(window, 2).contains(u"at the bound"));

    for (const char* name : {"beyond", "beyond again"}) {
        device.SendTo(NamedReply(name), HostAddress, DiscoveryPort);
        // Taken from the socket, and dropped.
        QTRY_COMPARE(WaitingAtWildcardPort(), 0L);
        QCoreApplication::processEvents();
        QCOMPARE(std::size_t(EntryCount(window)), Bound);
        QVERIFY(LastEntryLine(window, 2).contains(u"at the bound"));
    }

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.Image1, Qt::LeftButton, {}, window.Image1->rect().center());
    QCOMPARE(EntryCount(window), 0);
    device.SendTo(NamedReply("after the click"), HostAddress, DiscoveryPort);
    QVERIFY(listedWithin(1));
    QVERIFY(LastEntryLine(window, 2).contains(u"after the click"));
}

// Replies as another host on the link can make them: frames whose sender
// address is whatever they say (0.0.0.0 included), and a link-local IPv6
// sender. The entry names a sender other than the address it shows, and a
// double-click opens the shown address alone, and only where a device's
// page can be; the browser is a stand-in that records what it is asked.
void TestMainWindow::doubleClickOpensOnlyAShownAddress_data()
{
    QTest::addColumn<QString>("sender");  // IPv4, or "fe80::10" on the link
    QTest::addColumn<QString>("reported");
    QTest::addColumn<int>("httpPort");
    QTest::addColumn<QString>("opened");  // empty: nothing
    QTest::addColumn<QString>("why");     // the tooltip's reason when nothing opens

    QTest::newRow("honest device") << u"10.9.0.2"_s << u"10.9.0.2"_s << 8081 << u"http://10.9.0.2:8081/"_s << u""_s;
    QTest::newRow("sender 0.0.0.0") << u"0.0.0.0"_s << u"10.9.0.50"_s << 8082 << u"http://10.9.0.50:8082/"_s << u""_s;
    QTest::newRow("sender other than reported") << u"10.9.0.77"_s << u"10.9.0.60"_s << 8083 << u"http://10.9.0.60:8083/"_s << u""_s;
    QTest::newRow("reports loopback") << u"10.9.0.3"_s << u"127.0.0.1"_s << 8084 << u""_s
                                      << u"127.0.0.1 to adres pętli zwrotnej tego komputera"_s;
    QTest::newRow("reports this machine's address") << u"10.9.0.4"_s << QString::fromLatin1(HostAddress) << 8085 << u""_s
                                                    << u"10.9.0.1 to adres tego komputera"_s;
    QTest::newRow("link-local IPv6 sender") << u"fe80::10"_s << u"10.9.0.70"_s << 8086 << u"http://10.9.0.70:8086/"_s << u""_s;
}

void TestMainWindow::doubleClickOpensOnlyAShownAddress()
{
    QFETCH(QString, sender);
    QFETCH(QString, reported);
    QFETCH(int, httpPort);
    QFETCH(QString, opened);
    QFETCH(QString, why);
    const bool linkLocal = sender.startsWith(u"fe80");
    if (linkLocal)
        QUORVEL_REQUIRE_IPV6();

    TOpenedUrls browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "Open");
    const auto restore = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); });
    TfmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    TSimulatedDevice device;
    QVERIFY(::inet_pton(AF_INET, qPrintable(reported), device.ipAddress.data()) == 1);
    device.httpPort = static_cast<std::uint16_t>(httpPort);
    QString shownSender = sender;
    if (linkLocal) {
        shownSender = SendFromLinkLocal(link_, BuildDiscoveryReply(device));
    } else {
        TNetnsLab::RunIn(deviceNamespace_, [&] {
            SendCraftedBroadcast(link_.deviceInterface, sender.toStdString(), BuildDiscoveryReply(device));
        });
    }
    QTRY_COMPARE(EntryCount(window), 1);
    QCOMPARE(LastEntryLine(window, 0), reported);

    // The tooltip a user sees over the entry, and what a screen reader reads.
    QWidget* viewport = window.ListBox1->viewport();
    const QPoint onText = window.ListBox1->visualRect(window.ListBox1->Entries().index(0)).topLeft() + QPoint(200, 30);
    QHelpEvent hover(QEvent::ToolTip, onText, viewport->mapToGlobal(onText));
    QApplication::sendEvent(viewport, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    const QString tooltip = QToolTip::text();
    QToolTip::hideText();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(window.ListBox1.data());
    QVERIFY(list && list->childCount() > 0);
    QCOMPARE(list->child(0)->text(QAccessible::Description), tooltip);
    const QString cameFrom = QStringLiteral("Odpowiedź nadeszła z innego adresu: %1.").arg(shownSender);
    QCOMPARE(tooltip.contains(cameFrom), sender != reported);
    QVERIFY2(tooltip.endsWith(opened.isEmpty() ? QStringLiteral("nie otwiera strony: %1.").arg(why)
                                               : QStringLiteral("otwiera stronę %1").arg(opened)),
             qPrintable(tooltip));

    // What a double-click delivers: press, release, double-click, release.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, onText);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, onText);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, onText);
    QCOMPARE(browser.urls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    // Copying still takes the six lines as shown.
    QApplication::clipboard()->clear();
    window.ListBox1->setFocus();
    QTest::keyClick(window.ListBox1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text().section(u'\n', 0, 0), reported);
}

void TestMainWindow::copyTakesTheSelectedEntrysLines()
{
    TfmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.ListBox1->setFocus();
    window.Button1Click();
    QApplication::clipboard()->clear();
    QTest::keyClick(window.ListBox1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString());  // nothing selected yet

    window.ListBox1->setCurrentIndex(window.ListBox1->model()->index(0, 0));
    QTest::keyClick(window.ListBox1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("192.168.0.177\nText\nText\nText\nText\nText"));
}

// The one error that can leave the refresh action: the local address list
// cannot be read. The click runs on a thread whose netlink sockets fail; the
// list is empty, so emptying it touches no widget from that thread.
void TestMainWindow::handlerErrorIsShownAndTheWindowGoesOn()
{
    std::vector<TErrorBox> shown;
    TfmMain window([&](const TErrorBox& box) { shown.push_back(box); });
    std::thread clicking([&] {
        FailNetlinkSocketsOnThisThread(EPERM);
        window.Image1Click();
    });
    clicking.join();

    QCOMPARE(shown.size(), std::size_t{1});
    const QString expected = "System Error.  Code: 1.\n" + QString::fromLocal8Bit(std::strerror(EPERM)) + ".";
    QCOMPARE(shown[0].text, expected);

    TUdpSocket capture = CaptureInDevice();
    window.Button1Click();
    window.Image1Click();  // the next click scans as usual
    QCOMPARE(shown.size(), std::size_t{1});
    QCOMPARE(EntryCount(window), 0);
    QCOMPARE(capture.WaitReadable(std::chrono::milliseconds(2000)), TWaitResult::Readable);
}

void TestMainWindow::startupErrorWhenThePortIsHeld()
{
    TfmMain first;
    std::vector<TErrorBox> shown;
    const int status = RunMainWindow([&](const TErrorBox& box) { shown.push_back(box); });

    QCOMPARE(status, 1);
    QCOMPARE(shown.size(), std::size_t{1});
    QCOMPARE(shown[0].title, QStringLiteral("Application Error"));
    const QRegularExpression text(QStringLiteral(
        "^Exception TSocketBindError in module tst_main_window at [0-9A-F]{8}\\.\r\n"
        "Could not bind socket\\. Address and port are already in use\\.\r\n$"));
    QVERIFY2(text.match(shown[0].text).hasMatch(), qPrintable(shown[0].text));
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TfmMain*>(window) || !window->isVisible());
}

void TestMainWindow::listenerFailureAtStartLeavesNothingBehind_data()
{
    const QString noSocket = QString::fromStdString(ExpectedMessage(TListenerStep::Socket));
    const QString portInUse = QString::fromStdString(ExpectedMessage(TListenerStep::Bind));
    const QString noThread = QString::fromStdString(ExpectedMessage(TListenerStep::Thread));
    QTest::addColumn<TListenerStep>("step");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<QString>("shown");
    const auto box = [](const char* type, const QString& secondLine) {
        return QString("Exception %1 in module tst_main_window at 00000000.\r\n%2\r\n").arg(type, secondLine);
    };
    QTest::newRow("first socket") << TListenerStep::Socket << 1 << box("TSocketError", noSocket + ".");
    QTest::newRow("second socket") << TListenerStep::Socket << 2 << box("TSocketError", noSocket + ".");
    QTest::newRow("first bind") << TListenerStep::Bind << 1 << box("TSocketBindError", portInUse);
    QTest::newRow("second bind") << TListenerStep::Bind << 2 << box("TSocketBindError", portInUse);
    QTest::newRow("first thread") << TListenerStep::Thread << 1 << box("std::system_error", noThread + ".");
    QTest::newRow("second thread, a reply in hand-over") << TListenerStep::Thread << 2 << box("std::system_error", noThread + ".");
}

void TestMainWindow::listenerFailureAtStartLeavesNothingBehind()
{
    QFETCH(TListenerStep, step);
    QFETCH(int, failAt);
    QFETCH(QString, shown);
    if (failAt == 2)  // without IPv6 there is no second socket
        QUORVEL_REQUIRE_IPV6();
    TFailingListenerSystem system(step, failAt);
    if (step == TListenerStep::Thread) {
        // The first receiving thread (when it runs) takes a device's reply
        // and blocks in its hand-over to the window being built.
        system.BeforeFailing = [&] {
            TNetnsLab::RunIn(deviceNamespace_, [] { SendToPort7080(DeviceAddress, NamedReply("early")); });
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        };
    }
    QString text;
    try {
        TfmMain window({}, system);
    } catch (const std::exception& error) {  // the failure under test, as the program's entry reports it
        text = StartupErrorBox(QString::fromStdString(ReadableTypeName(typeid(error))), "tst_main_window", 0,
                               QString::fromUtf8(error.what())).text;
    }
    QCOMPARE(text, shown);
    QCOMPARE(ListenerThreads(), 0);
    QTest::qWait(100);  // a wake-up posted by the stopped thread finds nothing to run
    QCOMPARE(WaitingAtWildcardPort(), -1L);
    TfmMain next;  // the port is free again
    QVERIFY(next.IdUDPServer1->Active());
}

QUORVEL_NETNS_TEST_MAIN(QApplication, TestMainWindow)

#include "tst_main_window.moc"
