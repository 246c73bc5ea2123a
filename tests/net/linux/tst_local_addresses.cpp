#include "discovery/local_addresses.h"
#include "discovery/linux/route_socket.h"
#include "failing_netlink.h"
#include "netns_lab.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <QTest>

#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <thread>

using TAddresses = std::vector<std::string>;
Q_DECLARE_METATYPE(TAddresses)

namespace {

// Both ends of each veth pair stay in the namespace; addresses go on the
// a-ends only, so interface order is a1 < b1 < a2 < b2.
const QStringList TwoLinks{"link add a1 type veth peer name b1", "link add a2 type veth peer name b2"};

TAddresses AddressesAfter(const QStringList& setup)
{
    TNetnsLab lab;
    const std::string space = lab.AddNamespace();
    for (const QString& command : setup)
        TNetnsLab::Ip("-n " + space + " " + command.toStdString());
    TAddresses addresses;
    TNetnsLab::RunIn(space, [&] { addresses = LocalAddresses(); });
    return addresses;
}

// Adds `address`/32 to `interface` with a label of any form. `ip` insists
// that a label begins with the interface's name; the kernel does not.
void AddLabelledAddress(const std::string& interface, const char* address, const std::string& label)
{
    struct {
        nlmsghdr header;
        ifaddrmsg body;
        rtattr localHeader;
        in_addr local;
        rtattr labelHeader;
        char label[IFNAMSIZ];
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_NEWADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK;
    request.body.ifa_family = AF_INET;
    request.body.ifa_prefixlen = 32;
    request.body.ifa_index = ::if_nametoindex(interface.c_str());
    request.localHeader = {RTA_LENGTH(sizeof request.local), IFA_LOCAL};
    ::inet_pton(AF_INET, address, &request.local);
    request.labelHeader = {RTA_LENGTH(sizeof request.label), IFA_LABEL};
    label.copy(request.label, IFNAMSIZ - 1);
    const TRouteSocket route;
    struct {
        nlmsghdr header;
        nlmsgerr error;
    } acknowledgement{};
    if (::send(route.Fd(), &request, sizeof request, 0) != sizeof request ||
        ::recv(route.Fd(), &acknowledgement, sizeof acknowledgement, 0) < 0 || acknowledgement.error.error != 0)
        throw std::runtime_error("address with label " + label + " not added");
}

// What LocalAddresses() raises when the system cannot be asked.
std::string MessageWhenQueryFails(int error)
{
    std::string message = "nothing raised";
    std::thread failing([&] {
        FailNetlinkSocketsOnThisThread(error);
        try {
            LocalAddresses();
        } catch (const std::system_error& raised) {  // the failed query is what the test looks at
            message = raised.what();
        }
    });
    failing.join();
    return message;
}

}  // namespace

class TestLocalAddresses : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listsWhatQualifiesInKernelOrder_data();
    void listsWhatQualifiesInKernelOrder();
    void loopbackByInterfaceNotByLabel_data();
    void loopbackByInterfaceNotByLabel();
    void longListReadOverSeveralBatches();
    void readsAfreshAtEveryCall();
    void failedQueryRaisesSystemError();
};

void TestLocalAddresses::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
}

void TestLocalAddresses::listsWhatQualifiesInKernelOrder_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<TAddresses>("expected");

    QTest::newRow("only loopback") << QStringList{} << TAddresses{};
    QTest::newRow("extra address on lo left out")
        << QStringList{"addr add 10.9.9.9/32 dev lo"} << TAddresses{};
    QTest::newRow("alias on lo left out")
        << QStringList{"addr add 10.9.9.9/32 dev lo label lo:9"} << TAddresses{};
    QTest::newRow("interface order, not the order added")
        << (TwoLinks + QStringList{"addr add 10.0.2.1/24 dev a2", "addr add 10.0.1.1/24 dev a1"})
        << TAddresses{"10.0.1.1", "10.0.2.1"};
    QTest::newRow("secondary after the primaries of its link")
        << (TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1", "addr add 10.0.1.9/24 dev a1",
                                   "addr add 10.0.3.1/24 dev a1"})
        << TAddresses{"10.0.1.1", "10.0.3.1", "10.0.1.9"};
    QTest::newRow("link down kept")
        << (TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1", "link set a1 down"}) << TAddresses{"10.0.1.1"};
    QTest::newRow("deprecated left out")
        << (TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1 preferred_lft 0", "addr add 10.0.2.1/24 dev a2"})
        << TAddresses{"10.0.2.1"};
    QTest::newRow("duplicate kept")
        << (TwoLinks + QStringList{"addr add 10.0.1.1/24 dev a1", "addr add 10.0.1.1/24 dev a2"})
        << TAddresses{"10.0.1.1", "10.0.1.1"};
    QTest::newRow("IPv6 left out")
        << (TwoLinks + QStringList{"addr add fd00::1/64 dev a1 nodad", "addr add 10.0.1.1/24 dev a1"})
        << TAddresses{"10.0.1.1"};
    QTest::newRow("point-to-point: own address, not the peer's")
        << (TwoLinks + QStringList{"addr add 10.0.5.1 peer 10.0.5.2 dev a1"}) << TAddresses{"10.0.5.1"};
    QTest::newRow("no leading zeros")
        << (TwoLinks + QStringList{"addr add 1.2.30.0/16 dev a1"}) << TAddresses{"1.2.30.0"};
}

void TestLocalAddresses::listsWhatQualifiesInKernelOrder()
{
    QFETCH(QStringList, setup);
    QFETCH(TAddresses, expected);
    QCOMPARE(AddressesAfter(setup), expected);
}

void TestLocalAddresses::loopbackByInterfaceNotByLabel_data()
{
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("listed");
    QTest::newRow("on lo, labelled after another interface") << "lo" << "a1" << false;
    QTest::newRow("on lo, labelled freely") << "lo" << "uplink" << false;
    QTest::newRow("on a link, labelled lo") << "a1" << "lo" << true;
    QTest::newRow("on a link, labelled as an alias of lo") << "a1" << "lo:1" << true;
}

void TestLocalAddresses::loopbackByInterfaceNotByLabel()
{
    QFETCH(QString, interface);
    QFETCH(QString, label);
    QFETCH(bool, listed);
    TNetnsLab lab;
    const std::string space = lab.AddNamespace();
    TNetnsLab::Ip("-n " + space + " " + TwoLinks.front().toStdString());
    TAddresses addresses;
    TNetnsLab::RunIn(space, [&] {
        AddLabelledAddress(interface.toStdString(), "10.9.9.9", label.toStdString());
        addresses = LocalAddresses();
    });
    QCOMPARE(addresses, listed ? TAddresses{"10.9.9.9"} : TAddresses{});
}

// Far more addresses than one read of the kernel's reply holds.
void TestLocalAddresses::longListReadOverSeveralBatches()
{
    TNetnsLab lab;
    const std::string space = lab.AddNamespace();
    TNetnsLab::Ip("-n " + space + " " + TwoLinks.front().toStdString());
    QTemporaryFile commands;
    QVERIFY(commands.open());
    TAddresses expected;
    for (int i = 0; i < 400; ++i) {
        expected.push_back("10.1." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1));
        commands.write(QByteArray::fromStdString("addr add " + expected.back() + "/32 dev a1\n"));
    }
    commands.close();
    TNetnsLab::Ip("-n " + space + " -batch " + commands.fileName().toStdString());
    TAddresses addresses;
    TNetnsLab::RunIn(space, [&] { addresses = LocalAddresses(); });
    QCOMPARE(addresses, expected);
}

void TestLocalAddresses::readsAfreshAtEveryCall()
{
    TNetnsLab lab;
    const TDeviceLink link = lab.AddDevice("10.0.0.5/24", "10.0.0.77/24");
    QCOMPARE(LocalAddresses(), TAddresses{"10.0.0.5"});
    lab.AddAddress(link.hostInterface, "10.0.1.6/24");
    QCOMPARE(LocalAddresses(), (TAddresses{"10.0.0.5", "10.0.1.6"}));
    lab.RemoveAddress(link.hostInterface, "10.0.0.5/24");
    QCOMPARE(LocalAddresses(), TAddresses{"10.0.1.6"});
}

void TestLocalAddresses::failedQueryRaisesSystemError()
{
    QCOMPARE(QString::fromStdString(MessageWhenQueryFails(EPROTONOSUPPORT)),
             QString("System Error.  Code: %1.\n%2").arg(EPROTONOSUPPORT).arg(std::strerror(EPROTONOSUPPORT)));
}

QUORVEL_NETNS_TEST_MAIN(QCoreApplication, TestLocalAddresses)
#include "tst_local_addresses.moc"
