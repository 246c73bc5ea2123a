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
#include "ui/main_window/look_choice.h"

#include <QImage>
#include <QTest>

#include <optional>
#include <stdexcept>
#include <vector>

Q_DECLARE_METATYPE(TDeviceFacts)

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

void TestWindowParts::devicePage_data()
{
    QTest::addColumn<TDeviceFacts>("device");
    QTest::addColumn<QString>("page");  // empty: none

    const TDeviceFacts web{QStringLiteral("10.0.0.7"), true, 8081, QStringLiteral("10.0.0.7")};
    TDeviceFacts elsewhere = web;
    elsewhere.reportedIp = QStringLiteral("192.168.0.50");  // the device reports an address it does not answer from
    TDeviceFacts ipv6 = web;
    ipv6.sender = QStringLiteral("FD00:0:0:0:0:0:0:2");
    TDeviceFacts off = web;
    off.httpEnabled = false;
    TDeviceFacts portZero = web;
    portZero.httpPort = 0;
    TDeviceFacts noSender = web;
    noSender.sender.clear();

    QTest::newRow("HTTP on") << web << "http://10.0.0.7:8081/";
    QTest::newRow("reported IP differs: the sender's page") << elsewhere << "http://10.0.0.7:8081/";
    QTest::newRow("IPv6 sender in brackets") << ipv6 << "http://[fd00::2]:8081/";
    QTest::newRow("HTTP off") << off << QString();
    QTest::newRow("port 0") << portZero << QString();
    QTest::newRow("no sender") << noSender << QString();
}

void TestWindowParts::devicePage()
{
    QFETCH(TDeviceFacts, device);
    QFETCH(QString, page);
    const std::optional<QUrl> url = DevicePageUrl(device);
    QCOMPARE(url ? url->toString() : QString(), page);
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
