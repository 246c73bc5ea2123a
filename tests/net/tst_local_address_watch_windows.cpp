// The local address list kept for the reply handler, under Wine inside the
// namespace of scripts/test-windows.sh: every change made to the
// namespace's addresses shows at the next use. Wine sends no notices of
// address changes, so there every use reads the list anew; what notices
// change (a list kept until one comes) is shown through a fake table of
// adapter functions (tst_adapter_functions_windows).

#include "discovery/local_address_watch.h"
#include "discovery/windows/address_notices.h"
#include "wine_lab_windows.h"

#include <QProcess>
#include <QTest>

#include <chrono>
#include <thread>

using TAddresses = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

// Wine starts Linux programs too: `ip` changes the namespace this test runs
// in, as an administrator would change the machine's addresses. Answers
// what went wrong, empty when nothing did.
QString Ip(const QString& command)
{
    QProcess ip;
    ip.start("/usr/sbin/ip", command.split(u' '));
    if (!ip.waitForFinished(10000) || ip.exitStatus() != QProcess::NormalExit || ip.exitCode() != 0)
        return "ip " + command + ": " + ip.readAllStandardError() + ip.errorString();
    return {};
}

// Whether the system registers notices of address changes (no registration
// made under Wine gets a handle).
bool SystemDeliversNotices()
{
    const TIpHelperLibrary library;
    return TAddressNotices(library.Functions()).Delivered();
}

// Each row's links and addresses go again, whatever the row left.
class TRowCleanup {
public:
    ~TRowCleanup()
    {
        // Either may be gone already; what is left goes.
        Ip("link del qw0");
        Ip("addr del 10.88.0.1/32 dev lo");
    }
};

}  // namespace

Q_DECLARE_METATYPE(TAddresses)

class TestLocalAddressWatchWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void nextUseSeesTheChange_data();
    void nextUseSeesTheChange();
    void systemNotices();
};

void TestLocalAddressWatchWindows::initTestCase()
{
    QUORVEL_REQUIRE_WINE_LAB();
}

void TestLocalAddressWatchWindows::nextUseSeesTheChange_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<bool>("listedBefore");
    QTest::addColumn<bool>("listedAfter");

    // A link of the row's own, after the lab's: its address comes last.
    const QStringList link{"link add qw0 type veth peer name qw1", "link set qw0 up", "link set qw1 up"};
    const QStringList withAddress = link + QStringList{"addr add 10.88.0.1/24 dev qw0"};
    QTest::newRow("address added") << link << QStringList{"addr add 10.88.0.1/24 dev qw0"} << false << true;
    QTest::newRow("address removed") << withAddress << QStringList{"addr del 10.88.0.1/24 dev qw0"} << true << false;
    QTest::newRow("address moved to the loopback interface")
        << withAddress << QStringList{"addr del 10.88.0.1/24 dev qw0", "addr add 10.88.0.1/32 dev lo"} << true
        << false;
    QTest::newRow("interface deleted") << withAddress << QStringList{"link del qw0"} << true << false;
}

void TestLocalAddressWatchWindows::nextUseSeesTheChange()
{
    QFETCH(QStringList, setup);
    QFETCH(QStringList, change);
    QFETCH(bool, listedBefore);
    QFETCH(bool, listedAfter);
    const TAddresses lab = LabList("QUORVEL_EXPECTED_ADDRESSES");
    TAddresses withRow = lab;
    withRow.push_back("10.88.0.1");
    const TRowCleanup cleanup;
    const auto run = [](const QStringList& commands) {
        for (const QString& command : commands) {
            const QString failure = Ip(command);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
    };
    run(setup);
    if (QTest::currentTestFailed())
        return;
    TLocalAddressWatch watch;
    QCOMPARE(watch.Current(), listedBefore ? withRow : lab);
    QCOMPARE(watch.Current(), listedBefore ? withRow : lab);
    run(change);
    if (QTest::currentTestFailed())
        return;
    // With notices, the list may be read anew only once the system's notice
    // has come; without them, at the very next use.
    const auto patience = std::chrono::steady_clock::now() + (SystemDeliversNotices() ? 5s : 0s);
    while (watch.Current() != (listedAfter ? withRow : lab) && std::chrono::steady_clock::now() < patience)
        std::this_thread::sleep_for(10ms);
    QCOMPARE(watch.Current(), listedAfter ? withRow : lab);
}

void TestLocalAddressWatchWindows::systemNotices()
{
    if (RunningUnderWine() && !SystemDeliversNotices())
        QSKIP("Wine sends no notices of address changes (NotifyUnicastIpAddressChange answers success without a "
              "handle and never calls back): the local address list is read at every use");
    QVERIFY2(SystemDeliversNotices(), "NotifyUnicastIpAddressChange gave no registration");
}

QTEST_APPLESS_MAIN(TestLocalAddressWatchWindows)
#include "tst_local_address_watch_windows.moc"
