// The local address list kept between uses: every change the kernel makes
// shows at the very next use, also when its notices were lost, and a list
// that could not be read anew is never served in its place.
#include "discovery/local_address_watch.h"
#include "discovery/local_addresses.h"
#include "discovery/linux/route_socket.h"
#include "failing_netlink.h"
#include "netns_lab.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryFile>
#include <QTest>

#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

using TAddresses = std::vector<std::string>;
Q_DECLARE_METATYPE(TAddresses)

namespace {

const QStringList TwoLinks{"link add a1 type veth peer name b1", "link add a2 type veth peer name b2"};

void IpIn(const std::string& space, const QStringList& commands)
{
    for (const QString& command : commands)
        TNetnsLab::Ip("-n " + space + " " + command.toStdString());
}

TAddresses CurrentIn(const std::string& space, TLocalAddressWatch& watch)
{
    TAddresses addresses;
    TNetnsLab::RunIn(space, [&] { addresses = watch.Current(); });
    return addresses;
}

// What a use of `watch` gives on a thread where no rtnetlink socket can be
// made: the list, or what was raised.
QString UseWithoutNetlink(TLocalAddressWatch& watch)
{
    QString outcome;
    std::thread user([&] {
        FailNetlinkSocketsOnThisThread(EPROTONOSUPPORT);
        try {
            for (const std::string& address : watch.Current())
                outcome += QString::fromStdString(address) + " ";
        } catch (const std::system_error& raised) {  // the failed read is what the test looks at
            outcome = "raised " + QString::number(raised.code().value());
        }
    });
    user.join();
    return outcome.trimmed();
}

int DefaultReceiveBuffer()
{
    QFile setting("/proc/sys/net/core/rmem_default");
    return setting.open(QIODevice::ReadOnly) ? setting.readAll().trimmed().toInt() : 0;
}

// Whether the kernel reported lost notices to a subscriber that read none.
bool Overflowed(const TRouteSocket& subscriber)
{
    std::array<char, 8192> notice;
    for (;;) {
        if (::recv(subscriber.Fd(), notice.data(), notice.size(), MSG_DONTWAIT) >= 0)
            continue;
        return errno == ENOBUFS;
    }
}

}  // namespace

class TestLocalAddressWatch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void nextUseSeesTheChange_data();
    void nextUseSeesTheChange();
    void lostNoticesCountAsChange();
    void keptUntilAChangeAndNeverServedStale();
};

void TestLocalAddressWatch::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
}

void TestLocalAddressWatch::nextUseSeesTheChange_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<TAddresses>("before");
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<TAddresses>("after");

    const QStringList oneEach = TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1", "addr add 10.0.2.1/24 dev a2"};
    const TAddresses both{"10.0.1.1", "10.0.2.1"};
    QTest::newRow("address added") << TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1"} << TAddresses{"10.0.1.1"}
                                   << QStringList{"addr add 10.0.2.1/24 dev a2"} << both;
    QTest::newRow("address removed") << oneEach << both << QStringList{"addr del 10.0.1.1/24 dev a1"}
                                     << TAddresses{"10.0.2.1"};
    QTest::newRow("address moved to the loopback interface")
        << oneEach << both << QStringList{"addr del 10.0.2.1/24 dev a2", "addr add 10.0.2.1/32 dev lo"}
        << TAddresses{"10.0.1.1"};
    QTest::newRow("address deprecated")
        << oneEach << both << QStringList{"addr change 10.0.1.1/24 dev a1 preferred_lft 0"} << TAddresses{"10.0.2.1"};
    QTest::newRow("removed primary takes its secondary along")
        << TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1", "addr add 10.0.1.9/24 dev a1", "addr add 10.0.2.1/24 dev a2"}
        << TAddresses{"10.0.1.1", "10.0.1.9", "10.0.2.1"} << QStringList{"addr del 10.0.1.1/24 dev a1"}
        << TAddresses{"10.0.2.1"};
    QTest::newRow("interface deleted") << oneEach << both << QStringList{"link del a2"} << TAddresses{"10.0.1.1"};
}

void TestLocalAddressWatch::nextUseSeesTheChange()
{
    QFETCH(QStringList, setup);
    QFETCH(TAddresses, before);
    QFETCH(QStringList, change);
    QFETCH(TAddresses, after);
    TNetnsLab lab;
    const std::string space = lab.AddNamespace();
    IpIn(space, setup);
    TLocalAddressWatch watch;
    QCOMPARE(CurrentIn(space, watch), before);
    QCOMPARE(CurrentIn(space, watch), before);
    IpIn(space, change);
    QCOMPARE(CurrentIn(space, watch), after);
}

void TestLocalAddressWatch::lostNoticesCountAsChange()
{
    TNetnsLab lab;
    const std::string space = lab.AddNamespace();
    IpIn(space, TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1"});
    TLocalAddressWatch watch;
    QCOMPARE(CurrentIn(space, watch), TAddresses{"10.0.1.1"});
    std::unique_ptr<TRouteSocket> subscriber;
    TNetnsLab::RunIn(space, [&] { subscriber = std::make_unique<TRouteSocket>(RTMGRP_IPV4_IFADDR); });

    // Far more notices than a subscriber's default receive buffer holds (each
    // takes well over 256 bytes of it); the last changes come after the
    // overflow, so their notices are lost.
    QTemporaryFile changes;
    QVERIFY(changes.open());
    const int rounds = std::max(1500, DefaultReceiveBuffer() / 256);
    for (int round = 0; round < rounds; ++round) {
        const QByteArray address = QByteArray("10.0.9.") + QByteArray::number(round % 250 + 1) + "/32";
        changes.write("addr add " + address + " dev a2\naddr del " + address + " dev a2\n");
    }
    changes.write("addr add 10.0.2.1/24 dev a2\naddr del 10.0.1.1/24 dev a1\n");
    changes.close();
    TNetnsLab::Ip("-n " + space + " -batch " + changes.fileName().toStdString());

    QVERIFY2(Overflowed(*subscriber), "the changes did not overflow a subscriber");
    QCOMPARE(CurrentIn(space, watch), TAddresses{"10.0.2.1"});
}

void TestLocalAddressWatch::keptUntilAChangeAndNeverServedStale()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.0.0.5/24", "10.0.0.77/24");
    TLocalAddressWatch watch;
    QCOMPARE(watch.Current(), TAddresses{"10.0.0.5"});
    // Nothing changed: the list is served without asking the kernel.
    QCOMPARE(UseWithoutNetlink(watch), QString("10.0.0.5"));
    lab.AddAddress(link.hostInterface, "10.0.1.6/24");
    // Changed, and the list cannot be read anew: each use fails rather than
    // serve the old list.
    const QString failed = "raised " + QString::number(EPROTONOSUPPORT);
    QCOMPARE(UseWithoutNetlink(watch), failed);
    QCOMPARE(UseWithoutNetlink(watch), failed);
    QCOMPARE(watch.Current(), (TAddresses{"10.0.0.5", "10.0.1.6"}));
    QCOMPARE(UseWithoutNetlink(watch), QString("10.0.0.5 10.0.1.6"));
}

QUORVEL_NETNS_TEST_MAIN(QCoreApplication, TestLocalAddressWatch)
#include "tst_local_address_watch.moc"
