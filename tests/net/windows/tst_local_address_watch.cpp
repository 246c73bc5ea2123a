// The local address list kept for the reply handler, under Wine inside the
// namespace of scripts/test-windows.sh: every change made to the
// namespace's addresses shows at the next use. Wine sends no notices of
// address changes, so there every use reads the list anew; what notices
// change (a list kept until one comes) is shown through a fake table of
// adapter functions (tst_adapter_functions_windows).

#include "discovery/local_address_watch.h"
#include "discovery/windows/address_notices.h"
#include "wine_lab.h"

#include <QFile>
#include <QTest>

#include <chrono>
#include <string>
#include <thread>

using TAddresses = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

// Runs `ip` with each of `commands` in turn, in the namespace this test
// runs in, as an administrator would change the machine's addresses;
// answers what went wrong, empty when nothing did. Wine starts a Linux
// program given its Linux path, but hands back no process to wait for or
// take a status from, so a shell leaves the status in a file (under /tmp,
// which Wine shows as Z:\tmp) and the test waits for that file.
QString Ip(const QStringList& commands)
{
    static int runs = 0;
    const QString status = QStringLiteral("/tmp/quorvel-ip-%1-%2").arg(::GetCurrentProcessId()).arg(++runs);
    std::wstring line = QStringLiteral("/bin/sh -c \"{ /usr/sbin/ip %1; } >/dev/null 2>&1; echo $? >%2.part; mv %2.part %2\"")
                            .arg(commands.join(" && /usr/sbin/ip "), status)
                            .toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return "ip " + commands.join(", ") + ": not started, error " + QString::number(::GetLastError());
    QFile result("Z:" + status);
    const auto patience = std::chrono::steady_clock::now() + 10s;
    while (!result.exists() && std::chrono::steady_clock::now() < patience)
        std::this_thread::sleep_for(10ms);
    if (!result.open(QIODevice::ReadOnly))
        return "ip " + commands.join(", ") + ": no status within 10 s";
    const QByteArray code = result.readAll().trimmed();
    result.remove();
    return code == "0" ? QString() : "ip " + commands.join(", ") + ": exit status " + code;
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
        Ip({"link del qw0"});
        Ip({"addr del 10.88.0.1/32 dev lo"});
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
    QString failure = Ip(setup);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    TLocalAddressWatch watch;
    QCOMPARE(watch.Current(), listedBefore ? withRow : lab);
    QCOMPARE(watch.Current(), listedBefore ? withRow : lab);
    failure = Ip(change);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
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

QUORVEL_APPLESS_TEST_MAIN(TestLocalAddressWatchWindows)
#include "tst_local_address_watch.moc"
