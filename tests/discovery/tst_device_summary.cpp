#include "discovery/datagram.h"
#include "discovery/device_summary.h"
#include "guarded_bytes.h"
#include "reply_builder.h"

#include <QTest>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(TSimulatedDevice)

namespace {

// The worked example: every byte of the 98-byte reply spelled out.
Bytes WorkedExample()
{
    Bytes reply{0xD5, 'Q', 'u', 'o', 'r', 'V', 'e', 'l', 0, 0, 0, 0, 'r', 'x', 0, 0, 0xD5};
    reply.resize(28, 0x00);
    for (std::uint8_t b : {0xC0, 0x00, 0x00, 0x42,
                           0x31, 0x2E, 0x32, 0x33, 0x2E, 0x34, 0x48, 0x57, 0x30, 0x32, 0x52, 0x30, 0x31,
                           0x30, 0x30, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x30, 0x37, 0x01,
                           0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0, 0, 0, 0, 0, 0, 0, 0,
                           0x48, 0x61, 0x6C, 0x61, 0x20, 0x41, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0x50, 0x00, 0x90, 0x1F, 0xC0, 0xA8, 0x00, 0x32, 0xFF, 0xFF, 0xFF, 0x00})
        reply.push_back(b);
    return reply;
}

TDeviceSummary Decoded(const TSimulatedDevice& device)
{
    const auto summary = DecodeDeviceSummary(BuildDiscoveryReply(device));
    if (!summary)
        throw std::logic_error("a complete reply must decode");
    return *summary;
}

QString Text(const std::optional<std::string>& text)
{
    return QString::fromStdString(text.value());
}

}  // namespace

class TestDeviceSummary : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void stateFlags_data();
    void stateFlags();
    void deviceName_data();
    void deviceName();
    void numbersAndAddresses_data();
    void numbersAndAddresses();
    void bytesBecomeLatin1Characters();
    void nulInsideFixedFieldIsKept();
    void facts_data();
    void facts();
    void decodingIntoTheSameRecordGivesEachReplysTexts();
    void shortAcceptedReplyGivesNoSummary();
    void readsNoByteFrom98On();
};

void TestDeviceSummary::workedExample()
{
    const Bytes reply = WorkedExample();
    QCOMPARE(reply.size(), std::size_t{98});
    QVERIFY(IsDiscoveryReply(reply));
    const auto summary = DecodeDeviceSummary(reply);
    QVERIFY(summary);
    QCOMPARE(Text(summary->nr_ip), QStringLiteral("192.168.0.50"));
    QCOMPARE(Text(summary->info1), QStringLiteral("Wersja=1.23.4  HW02_R01  07"));
    QCOMPARE(Text(summary->info2), QStringLiteral("Hala A,  Numer=00012345"));
    QCOMPARE(Text(summary->info3), QStringLiteral("DHCP włączone,  HTTP włączone,  "));
    QCOMPARE(Text(summary->info4), QStringLiteral("Port HTTP=80,  PortTCP=8080"));
    QCOMPARE(Text(summary->info5), QStringLiteral("Maska=255.255.255.0,  MAC=00-1A-2B-3C-4D-5E"));
    // The reply builder used by the other tests makes the same bytes.
    QCOMPARE(BuildDiscoveryReply({}), reply);
}

void TestDeviceSummary::stateFlags_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("text");
    const QString dhcpOn = QStringLiteral("DHCP włączone,  "), dhcpOff = QStringLiteral("DHCP wyłączone,  ");
    const QString httpOn = QStringLiteral("HTTP włączone,  "), httpOff = QStringLiteral("HTTP wyłączone,  ");
    QTest::newRow("0x00") << 0x00 << dhcpOff + httpOn;
    QTest::newRow("0x01") << 0x01 << dhcpOn + httpOn;
    QTest::newRow("0x80") << 0x80 << dhcpOff + httpOff;
    QTest::newRow("0x81") << 0x81 << dhcpOn + httpOff;
    QTest::newRow("0x7E middle bits unread") << 0x7E << dhcpOff + httpOn;
    QTest::newRow("0xFF") << 0xFF << dhcpOn + httpOff;
}

void TestDeviceSummary::stateFlags()
{
    QFETCH(int, flags);
    QFETCH(QString, text);
    TSimulatedDevice device;
    device.stateFlags = static_cast<std::uint8_t>(flags);
    QCOMPARE(Text(Decoded(device).info3), text);
}

void TestDeviceSummary::deviceName_data()
{
    QTest::addColumn<QByteArray>("nameBytes");
    QTest::addColumn<QString>("info2");
    QTest::newRow("16 bytes, no terminator, port byte not taken")
        << QByteArray("ABCDEFGHIJKLMNOP") << QStringLiteral("ABCDEFGHIJKLMNOP,  Numer=00012345");
    QTest::newRow("empty name") << QByteArray() << QStringLiteral(",  Numer=00012345");
    QTest::newRow("ends at first NUL") << QByteArray("AB\0CD", 5) << QStringLiteral("AB,  Numer=00012345");
}

void TestDeviceSummary::deviceName()
{
    QFETCH(QByteArray, nameBytes);
    QFETCH(QString, info2);
    TSimulatedDevice device;
    device.deviceName = nameBytes.toStdString();
    device.httpPort = 0x4141;  // byte 86 is 'A': it must not run into the name
    QCOMPARE(Text(Decoded(device).info2), info2);
}

void TestDeviceSummary::numbersAndAddresses_data()
{
    QTest::addColumn<int>("httpPort");
    QTest::addColumn<int>("tcpPort");
    QTest::addColumn<QByteArray>("ip");
    QTest::addColumn<QByteArray>("mac");
    QTest::addColumn<QString>("nr_ip");
    QTest::addColumn<QString>("info4");
    QTest::addColumn<QString>("info5Mac");
    QTest::newRow("zeros") << 0 << 0 << QByteArray("\x0A\0\0\x01", 4) << QByteArray(6, '\0')
                           << QStringLiteral("10.0.0.1") << QStringLiteral("Port HTTP=0,  PortTCP=0")
                           << QStringLiteral("00-00-00-00-00-00");
    QTest::newRow("largest") << 65535 << 0x901F << QByteArray("\xFF\xFF\xFF\xFF") << QByteArray("\x0A\xFF\x00\x01\xab\x10", 6)
                             << QStringLiteral("255.255.255.255") << QStringLiteral("Port HTTP=65535,  PortTCP=36895")
                             << QStringLiteral("0A-FF-00-01-AB-10");
}

void TestDeviceSummary::numbersAndAddresses()
{
    QFETCH(int, httpPort);
    QFETCH(int, tcpPort);
    QFETCH(QByteArray, ip);
    QFETCH(QByteArray, mac);
    TSimulatedDevice device;
    device.httpPort = static_cast<std::uint16_t>(httpPort);
    device.tcpPort = static_cast<std::uint16_t>(tcpPort);  // 0x901F is sent as bytes 1F 90
    std::copy_n(ip.begin(), 4, device.ipAddress.begin());
    std::copy_n(mac.begin(), 6, device.mac.begin());
    const TDeviceSummary summary = Decoded(device);
    QTEST(Text(summary.nr_ip), "nr_ip");
    QTEST(Text(summary.info4), "info4");
    QFETCH(QString, info5Mac);
    QCOMPARE(Text(summary.info5), QStringLiteral("Maska=255.255.255.0,  MAC=") + info5Mac);
}

void TestDeviceSummary::bytesBecomeLatin1Characters()
{
    TSimulatedDevice device;
    device.deviceName = "\xE9\xB3\x7F\x01";
    device.serialNumber = "\xFF\x80\xA0" "12345";
    const QString info2 = Text(Decoded(device).info2);
    QCOMPARE(info2, QString::fromUtf16(u"\u00E9\u00B3\u007F\u0001,  Numer=\u00FF\u0080\u00A012345"));
}

void TestDeviceSummary::nulInsideFixedFieldIsKept()
{
    TSimulatedDevice device;
    device.versionD = std::string("7\0", 2);
    device.versionA = std::string("1\0" "2", 3);  // padded to 6 with 0x00
    const std::string info1 = Decoded(device).info1.value();
    QCOMPARE(info1.size(), std::size_t{27});
    QCOMPARE(info1, std::string("Wersja=1\0" "2\0\0\0  HW02_R01  7\0", 27));
}

void TestDeviceSummary::facts_data()
{
    QTest::addColumn<TSimulatedDevice>("device");
    QTest::addColumn<bool>("httpEnabled");

    TSimulatedDevice web;
    web.ipAddress = {10, 0, 0, 7};
    web.httpPort = 8081;
    web.stateFlags = StateDhcpEnabled;
    TSimulatedDevice closed = web;
    closed.stateFlags = StateHttpDisabled | StateDhcpEnabled;
    TSimulatedDevice highPort = web;
    highPort.httpPort = 0xFF01;  // little-endian on the wire: a swapped order reads 0x01FF

    QTest::newRow("HTTP on") << web << true;
    QTest::newRow("HTTP off") << closed << false;
    QTest::newRow("port above 255") << highPort << true;
}

// The facts come from the same decoding as the texts, and agree with them.
void TestDeviceSummary::facts()
{
    QFETCH(TSimulatedDevice, device);
    QFETCH(bool, httpEnabled);
    const Bytes reply = BuildDiscoveryReply(device);
    const std::optional<TDecodedReply> decoded = DecodeDeviceReply(reply);
    QVERIFY(decoded);
    QCOMPARE(decoded->facts, (TReplyFacts{{10, 0, 0, 7}, httpEnabled, device.httpPort}));
    QCOMPARE(Text(decoded->summary.nr_ip), QStringLiteral("10.0.0.7"));
    QVERIFY(Text(decoded->summary.info4).startsWith(QStringLiteral("Port HTTP=%1,").arg(device.httpPort)));
    QCOMPARE(decoded->summary.info3, DecodeDeviceSummary(reply)->info3);

    QVERIFY(!DecodeDeviceReply(std::span(reply).first(reply.size() - 1)));
}

// Decoding one reply after another into the same record writes only the
// lines whose fields changed: each result must still equal the reply's own
// decoding, whichever field changed, back and forth.
void TestDeviceSummary::decodingIntoTheSameRecordGivesEachReplysTexts()
{
    std::vector<TSimulatedDevice> devices(1);
    const auto next = [&devices](auto change) {
        TSimulatedDevice device = devices.back();
        change(device);
        devices.push_back(device);
    };
    next([](TSimulatedDevice& d) { d.ipAddress = {10, 0, 0, 7}; });
    next([](TSimulatedDevice& d) { d.versionB = "HW03"; });
    next([](TSimulatedDevice& d) { d.versionD = "\xE9\x01"; });
    next([](TSimulatedDevice& d) { d.deviceName = "Magazyn"; });
    next([](TSimulatedDevice& d) { d.serialNumber = "00099999"; });
    next([](TSimulatedDevice& d) { d.stateFlags = StateHttpDisabled; });
    next([](TSimulatedDevice& d) { d.httpPort = 8081; });
    next([](TSimulatedDevice& d) { d.tcpPort = 502; });
    next([](TSimulatedDevice& d) { d.netMask = {255, 255, 0, 0}; });
    next([](TSimulatedDevice& d) { d.mac[5] = 0xFF; });
    next([](TSimulatedDevice& d) { d.extraAddress1 = {1, 2, 3, 4}; });  // shown nowhere
    devices.push_back(devices.front());  // and back to the first

    TDecodedReply reused;
    for (const TSimulatedDevice& device : devices) {
        const Bytes reply = BuildDiscoveryReply(device);
        QVERIFY(DecodeDeviceReply(reply, reused));
        const TDecodedReply fresh = DecodeDeviceReply(reply).value();
        QCOMPARE(reused.facts, fresh.facts);
        const auto& a = reused.summary;
        const auto& b = fresh.summary;
        for (const auto& [mine, theirs] : {std::pair{&a.nr_ip, &b.nr_ip}, {&a.info1, &b.info1}, {&a.info2, &b.info2},
                                          {&a.info3, &b.info3}, {&a.info4, &b.info4}, {&a.info5, &b.info5}})
            QCOMPARE(Text(*mine), Text(*theirs));
    }
}

void TestDeviceSummary::shortAcceptedReplyGivesNoSummary()
{
    Bytes reply = BuildDiscoveryReply({});
    reply[ReplyField::PayloadLength.offset + 1] = 0;  // N = 0: 32 to 97 bytes pass the acceptance test
    for (std::size_t size : {std::size_t{32}, std::size_t{97}}) {
        const TGuardedBytes guarded({reply.data(), size}, size);
        QVERIFY(IsDiscoveryReply(guarded.Datagram()));
        QVERIFY(!DecodeDeviceSummary(guarded.Datagram()));
    }
}

void TestDeviceSummary::readsNoByteFrom98On()
{
    const TGuardedBytes guarded(BuildDiscoveryReply({}), 1500);
    QVERIFY(IsDiscoveryReply(guarded.Datagram()));
    QCOMPARE(Text(DecodeDeviceSummary(guarded.Datagram())->nr_ip), QStringLiteral("192.168.0.50"));
}

QTEST_APPLESS_MAIN(TestDeviceSummary)
#include "tst_device_summary.moc"
