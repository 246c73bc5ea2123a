// The window's parts that are plain functions: the warp's trigger rule, the
// choice of look, the error boxes' texts, a device's page address and the
// pictures read while the window starts. They need neither a window nor a
// network namespace.
#include "discovery/datagram.h"
#include "quorvel_resources.h"
#include "reply_builder.h"
#include "ui/device_list/device_facts.h"
#include "ui/device_list/device_page.h"
#include "ui/effects/effect_trigger.h"
#include "ui/main_window/error_texts.h"
#include "ui/platform/look_choice.h"

#include <QImage>
#include <QTest>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

class TestWindowParts : public QObject {
    Q_OBJECT
private slots:
    void triggerRule_data();
    void triggerRule();
    void lookByWindowsVersion_data();
    void lookByWindowsVersion();
    void startupErrorText_data();
    void startupErrorText();
    void handlerErrorText_data();
    void handlerErrorText();
    void devicePage_data();
    void devicePage();
    void startupPicturesMatchTheirPngs_data();
    void startupPicturesMatchTheirPngs();
};

void TestWindowParts::triggerRule_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("mouseOver");
    QTest::addColumn<bool>("holds");

    QTest::newRow("over, true") << "IsMouseOver=true" << true << true;
    QTest::newRow("not over, true") << "IsMouseOver=true" << false << false;
    QTest::newRow("not over, false") << "IsMouseOver=false" << false << true;
    QTest::newRow("value letter case") << "IsMouseOver=TrUe" << true << true;
    QTest::newRow("last condition decides: off") << "IsMouseOver=true;IsMouseOver=false" << true << false;
    QTest::newRow("last condition decides: on") << "IsMouseOver=false;IsMouseOver=true" << true << true;
    QTest::newRow("unknown state") << "IsPressed=true" << true << false;
    QTest::newRow("not a condition") << "IsMouseOver" << true << false;
    QTest::newRow("empty") << "" << true << false;
}

void TestWindowParts::triggerRule()
{
    QFETCH(QString, trigger);
    QFETCH(bool, mouseOver);
    QFETCH(bool, holds);
    QCOMPARE(TriggerHolds(trigger, {{QStringLiteral("IsMouseOver"), mouseOver}}), holds);
}

void TestWindowParts::lookByWindowsVersion_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("look");

    QTest::newRow("11.0") << 11 << 0 << int(TLook::Windows10);
    QTest::newRow("10.0") << 10 << 0 << int(TLook::Windows10);
    QTest::newRow("6.3 (8.1)") << 6 << 3 << int(TLook::Windows8);
    QTest::newRow("6.2 (8)") << 6 << 2 << int(TLook::Windows8);
    QTest::newRow("7.0") << 7 << 0 << int(TLook::Windows8);
    QTest::newRow("6.1 (7)") << 6 << 1 << int(TLook::Windows7);
    QTest::newRow("6.0 (Vista)") << 6 << 0 << int(TLook::Windows7);
    QTest::newRow("5.1 (XP)") << 5 << 1 << int(TLook::Windows7);
}

void TestWindowParts::lookByWindowsVersion()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, look);
    QCOMPARE(int(LookForWindowsVersion(major, minor)), look);
}

void TestWindowParts::startupErrorText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("secondLine");

    QTest::newRow("ends in a letter") << "Port taken" << "Port taken.";
    QTest::newRow("ends in a period") << "Port taken." << "Port taken.";
    QTest::newRow("ends in a bracket") << "Port (7080)" << "Port (7080).";
    QTest::newRow("empty") << "" << "";
}

void TestWindowParts::startupErrorText()
{
    QFETCH(QString, message);
    QFETCH(QString, secondLine);
    const TErrorBox box = StartupErrorBox(QStringLiteral("TSocketError"), QStringLiteral("quorvel"), 0xAB12, message);
    QCOMPARE(box.text, "Exception TSocketError in module quorvel at 0000AB12.\r\n" + secondLine + "\r\n");
}

void TestWindowParts::handlerErrorText_data()
{
    QTest::addColumn<QString>("outer");
    QTest::addColumn<QString>("inner");  // a nested cause when not null
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter") << "System Error.  Code: 5.\nAccess denied" << QString() << "System Error.  Code: 5.\nAccess denied.";
    QTest::newRow("digit") << "Code 5" << QString() << "Code 5.";
    QTest::newRow("period") << "Done." << QString() << "Done.";
    QTest::newRow("exclamation mark") << "Stop!" << QString() << "Stop!";
    QTest::newRow("closing bracket") << "Failed (twice)" << QString() << "Failed (twice)";
    QTest::newRow("space") << "Failed " << QString() << "Failed ";
    QTest::newRow("empty") << "" << QString() << "";
    QTest::newRow("innermost cause speaks") << "outer" << "inner cause" << "inner cause.";
    QTest::newRow("empty cause: the outer speaks") << "outer" << "" << "outer.";
}

void TestWindowParts::handlerErrorText()
{
    QFETCH(QString, outer);
    QFETCH(QString, inner);
    QFETCH(QString, shown);
    try {
        if (inner.isNull())
            throw std::runtime_error(outer.toStdString());
        try {
            throw std::runtime_error(inner.toStdString());
        } catch (const std::exception&) {  // wrapping it, as a layer above would
            std::throw_with_nested(std::runtime_error(outer.toStdString()));
        }
    } catch (const std::exception& error) {  // the error under test
        QCOMPARE(HandlerErrorBox(error).text, shown);
    }
}

// What a double-click opens: only the address the entry shows in bold, and
// never one a browser would take to this machine or to no single host.
void TestWindowParts::devicePage_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<bool>("httpEnabled");
    QTest::addColumn<int>("httpPort");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("page");  // empty: none
    QTest::addColumn<QString>("note");  // the tooltip, line by line

    const QString from = QStringLiteral("Odpowiedź nadeszła z innego adresu: %1.\n");
    const QString opens = QStringLiteral("Dwukrotne kliknięcie otwiera stronę %1");
    const QString none = QStringLiteral("Dwukrotne kliknięcie nie otwiera strony: %1.");
    const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("honest device") << u"10.0.0.7"_s << true << 8081 << u"10.0.0.7"_s << u"http://10.0.0.7:8081/"_s
                         << opens.arg("http://10.0.0.7:8081/");
    row("answers from another address: the shown one") << u"10.0.0.60"_s << true << 8083 << u"10.0.0.77"_s
        << u"http://10.0.0.60:8083/"_s << from.arg("10.0.0.77") + opens.arg("http://10.0.0.60:8083/");
    row("unspecified sender") << u"10.0.0.50"_s << true << 8082 << u"0.0.0.0"_s << u"http://10.0.0.50:8082/"_s
                              << from.arg("0.0.0.0") + opens.arg("http://10.0.0.50:8082/");
    row("link-local IPv6 sender") << u"10.0.0.70"_s << true << 8086 << u"FE80:0:0:0:0:0:0:10%3"_s
        << u"http://10.0.0.70:8086/"_s << from.arg("FE80:0:0:0:0:0:0:10%3") + opens.arg("http://10.0.0.70:8086/");
    row("HTTP off") << u"10.0.0.7"_s << false << 80 << u"10.0.0.7"_s << u""_s
                    << none.arg("urządzenie ma wyłączony serwer HTTP");
    row("port 0") << u"10.0.0.7"_s << true << 0 << u"10.0.0.7"_s << u""_s << none.arg("urządzenie podaje port HTTP 0");
    row("reports 0.0.0.0") << u"0.0.0.0"_s << true << 80 << u"10.0.0.7"_s << u""_s
                           << from.arg("10.0.0.7") + none.arg("0.0.0.0 to adres nieokreślony");
    row("reports 0.1.2.3") << u"0.1.2.3"_s << true << 80 << u"10.0.0.7"_s << u""_s
                           << from.arg("10.0.0.7") + none.arg("0.1.2.3 to adres nieokreślony");
    row("reports loopback") << u"127.0.0.1"_s << true << 8084 << u"10.0.0.3"_s << u""_s
        << from.arg("10.0.0.3") + none.arg("127.0.0.1 to adres pętli zwrotnej tego komputera");
    row("reports 127.255.0.9") << u"127.255.0.9"_s << true << 80 << u"10.0.0.3"_s << u""_s
        << from.arg("10.0.0.3") + none.arg("127.255.0.9 to adres pętli zwrotnej tego komputera");
    row("reports multicast") << u"239.255.255.250"_s << true << 80 << u"10.0.0.3"_s << u""_s
        << from.arg("10.0.0.3") + none.arg("239.255.255.250 to adres grupowy (multicast)");
    row("reports the limited broadcast") << u"255.255.255.255"_s << true << 80 << u"10.0.0.3"_s << u""_s
        << from.arg("10.0.0.3") + none.arg("255.255.255.255 to adres rozgłoszeniowy");
    row("reports a reserved address") << u"240.0.0.1"_s << true << 80 << u"10.0.0.3"_s << u""_s
        << from.arg("10.0.0.3") + none.arg("240.0.0.1 to adres zarezerwowany");
    row("reports this machine's address") << u"192.168.5.20"_s << true << 8085 << u"10.0.0.4"_s << u""_s
        << from.arg("10.0.0.4") + none.arg("192.168.5.20 to adres tego komputera");
    row("a device beside it: only exact matches are this machine") << u"192.168.5.2"_s << true << 80 << u"192.168.5.2"_s
        << u"http://192.168.5.2:80/"_s << opens.arg("http://192.168.5.2:80/");
}

void TestWindowParts::devicePage()
{
    QFETCH(QString, reported);
    QFETCH(bool, httpEnabled);
    QFETCH(int, httpPort);
    QFETCH(QString, sender);
    QFETCH(QString, page);
    QFETCH(QString, note);
    const std::vector<std::string> ownAddresses{"10.0.0.1", "192.168.5.20"};
    TReplyFacts facts;
    const QStringList octets = reported.split(u'.');
    for (std::size_t i = 0; i < facts.ipAddress.size(); ++i)
        facts.ipAddress[i] = static_cast<std::uint8_t>(octets[qsizetype(i)].toUInt());
    facts.httpEnabled = httpEnabled;
    facts.httpPort = static_cast<std::uint16_t>(httpPort);

    const TDeviceFacts device{reported, httpEnabled, facts.httpPort, sender,
                              DevicePageState(facts, reported.toStdString(), ownAddresses)};
    const std::optional<QUrl> url = DevicePageUrl(device);
    QCOMPARE(url ? url->toString() : QString(), page);
    QCOMPARE(DeviceEntryNote(device), note);
}

// The window reads these pictures from their unpacked pixels while it
// starts; a PNG redrawn without unpacking it again would leave stale pixels.
void TestWindowParts::startupPicturesMatchTheirPngs_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"icon", "refresh-104", "refresh-208"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestWindowParts::startupPicturesMatchTheirPngs()
{
    QFETCH(QString, name);
    const QImage unpacked = ReadPictureResource(QStringLiteral(":/%1.pixels").arg(name));
    QVERIFY(!unpacked.isNull());
    QCOMPARE(unpacked, ReadPictureResource(QStringLiteral(":/%1.png").arg(name)));
}

QTEST_APPLESS_MAIN(TestWindowParts)
#include "tst_window_parts.moc"
