// The local address list from the kernel's rtnetlink replies, with the
// kernel played by a script of reads: what the reader asks for, what it
// makes of each reply, and what it refuses. Every read ends at an
// inaccessible page, so a read past its end kills the test.
#include "discovery/linux/netlink_address_reader.h"
#include "discovery/os_error.h"
#include "guarded_bytes.h"

#include <QTest>

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <arpa/inet.h>

#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

using TAddresses = std::vector<std::string>;
using TReads = std::vector<QByteArray>;       // one dump's reply, read by read
using TReplies = std::vector<TReads>;         // one for each dump asked for, in order
Q_DECLARE_METATYPE(TAddresses)
Q_DECLARE_METATYPE(TReplies)

namespace {

template <class T>
QByteArray Raw(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QByteArray Padded(QByteArray bytes)
{
    bytes.resize(NLMSG_ALIGN(bytes.size()), '\0');
    return bytes;
}

QByteArray Message(std::uint16_t type, const QByteArray& body, std::uint16_t flags = NLM_F_MULTI)
{
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_HDRLEN + body.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = flags;
    header.nlmsg_seq = 1;
    return Padded(Raw(header) + body);
}

QByteArray Attribute(std::uint16_t type, const QByteArray& payload)
{
    rtattr header{};
    header.rta_len = static_cast<unsigned short>(RTA_LENGTH(payload.size()));
    header.rta_type = type;
    return Padded(Raw(header) + payload);
}

QByteArray IPv4(const char* dotted)
{
    in_addr address{};
    ::inet_pton(AF_INET, dotted, &address);
    return Raw(address);
}

QByteArray Label(const char* name)
{
    return Attribute(IFA_LABEL, QByteArray(name, static_cast<int>(std::strlen(name)) + 1));
}

QByteArray AddressBody(int index, const QByteArray& attributes, std::uint8_t flags = 0, std::uint8_t family = AF_INET)
{
    ifaddrmsg header{};
    header.ifa_family = family;
    header.ifa_prefixlen = 24;
    header.ifa_flags = flags;
    header.ifa_index = static_cast<std::uint32_t>(index);
    return Raw(header) + attributes;
}

// An address as the kernel reports one on a broadcast link.
QByteArray Address(int index, const char* dotted, std::uint16_t flags = NLM_F_MULTI, const char* label = "eth")
{
    return Message(RTM_NEWADDR,
                   AddressBody(index, Attribute(IFA_ADDRESS, IPv4(dotted)) + Attribute(IFA_LOCAL, IPv4(dotted)) +
                                          Label(label) + Attribute(IFA_FLAGS, Raw(std::uint32_t{IFA_F_PERMANENT}))),
                   flags);
}

QByteArray Link(int index, unsigned flags)
{
    ifinfomsg header{};
    header.ifi_family = AF_UNSPEC;
    header.ifi_index = index;
    header.ifi_flags = flags | IFF_UP;
    return Message(RTM_NEWLINK, Raw(header) + Attribute(IFLA_IFNAME, QByteArray("x", 2)));
}

QByteArray Done(std::uint16_t flags = NLM_F_MULTI)
{
    return Message(NLMSG_DONE, Raw(0), flags);
}

QByteArray ErrorReply(int error)
{
    nlmsgerr body{};
    body.error = error;
    return Message(NLMSG_ERROR, Raw(body), 0);
}

// Interface 1 is the loopback interface, 2 and 3 are others.
const QByteArray Links = Link(1, IFF_LOOPBACK) + Link(2, IFF_BROADCAST) + Link(3, IFF_POINTOPOINT);
const TReads LinkDump{Links + Done()};

QByteArray Cut(QByteArray bytes, int size)
{
    bytes.truncate(size);
    return bytes;
}

// `bytes` with the 16-bit or 32-bit field at `offset` set to `value`.
template <class Field>
QByteArray Patched(QByteArray bytes, int offset, Field value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof value);
    return bytes;
}

constexpr int FirstAttribute = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifaddrmsg));

class TScriptedKernel : public TNetlinkTransport {
public:
    explicit TScriptedKernel(TReplies replies) : replies_(std::move(replies)) {}

    void RequestDump(std::uint16_t type) override
    {
        requests.push_back(type == RTM_GETADDR ? "addresses" : type == RTM_GETLINK ? "links" : "other");
        if (replies_.empty())
            throw std::logic_error("asked for a dump beyond the script");
        reads_ = std::move(replies_.front());
        replies_.erase(replies_.begin());
    }

    std::span<const std::uint8_t> Receive() override
    {
        if (reads_.empty())
            throw std::logic_error("read on after the kernel's reply had ended");
        const QByteArray read = reads_.front();
        reads_.erase(reads_.begin());
        const std::span bytes(reinterpret_cast<const std::uint8_t*>(read.constData()), static_cast<std::size_t>(read.size()));
        guarded_ = std::make_unique<TGuardedBytes>(bytes, bytes.size());
        return guarded_->Datagram();
    }

    bool EverythingRead() const { return replies_.empty() && reads_.empty(); }

    QStringList requests;

private:
    TReplies replies_;
    TReads reads_;
    std::unique_ptr<TGuardedBytes> guarded_;
};

}  // namespace

class TestNetlinkAddresses : public QObject {
    Q_OBJECT
private slots:
    void listFromReplies_data();
    void listFromReplies();
    void refusedReplies_data();
    void refusedReplies();
};

void TestNetlinkAddresses::listFromReplies_data()
{
    QTest::addColumn<TReplies>("replies");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<TAddresses>("expected");
    const QStringList once{"addresses", "links"};

    QTest::newRow("no address") << TReplies{{Done()}, LinkDump} << once << TAddresses{};
    QTest::newRow("several addresses per interface, in the kernel's order")
        << TReplies{{Address(2, "10.0.0.1") + Address(3, "10.0.3.1") + Address(2, "10.0.0.9") + Done()}, LinkDump}
        << once << TAddresses{"10.0.0.1", "10.0.3.1", "10.0.0.9"};
    QTest::newRow("loopback by interface index, whatever the label says")
        << TReplies{{Address(1, "10.9.9.9", NLM_F_MULTI, "eth0") + Address(2, "10.0.0.1", NLM_F_MULTI, "lo:1") +
                     Address(3, "10.0.3.1", NLM_F_MULTI, "uplink") + Done()},
                    LinkDump}
        << once << TAddresses{"10.0.0.1", "10.0.3.1"};
    QTest::newRow("states other than preferred left out")
        << TReplies{{Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, IPv4("10.0.0.1")), IFA_F_TENTATIVE)) +
                     Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, IPv4("10.0.0.2")), IFA_F_DADFAILED)) +
                     Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, IPv4("10.0.0.3")), IFA_F_DEPRECATED)) +
                     Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, IPv4("10.0.0.4")) +
                                                             Attribute(IFA_FLAGS, Raw(std::uint32_t{IFA_F_DEPRECATED})))) +
                     Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, IPv4("10.0.0.5")), IFA_F_SECONDARY)) +
                     Done()},
                    LinkDump}
        << once << TAddresses{"10.0.0.5"};
    QTest::newRow("point-to-point: the local address, not the peer's; without it the address")
        << TReplies{{Message(RTM_NEWADDR, AddressBody(3, Attribute(IFA_ADDRESS, IPv4("10.0.5.2")) +
                                                             Attribute(IFA_LOCAL, IPv4("10.0.5.1")))) +
                     Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_ADDRESS, IPv4("10.0.0.7")))) +
                     Message(RTM_NEWADDR, AddressBody(2, Label("eth"))) + Done()},
                    LinkDump}
        << once << TAddresses{"10.0.5.1", "10.0.0.7"};
    QTest::newRow("other families and messages ignored")
        << TReplies{{Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_ADDRESS, QByteArray(16, '\1')), 0, AF_INET6)) +
                     Message(RTM_NEWROUTE, QByteArray(12, '\0')) + Message(NLMSG_NOOP, {}) + Address(2, "1.2.30.0") +
                     Done()},
                    LinkDump}
        << once << TAddresses{"1.2.30.0"};
    QTest::newRow("interface gone before the link dump")
        << TReplies{{Address(4, "10.0.4.1") + Address(2, "10.0.0.1") + Done()}, LinkDump} << once
        << TAddresses{"10.0.0.1"};
    QTest::newRow("dumps split over several reads")
        << TReplies{{Address(2, "10.0.0.1"), Address(3, "10.0.3.1") + Address(2, "10.0.0.2"), Done()},
                    {Link(1, IFF_LOOPBACK), Link(2, 0) + Link(3, 0), Done()}}
        << once << TAddresses{"10.0.0.1", "10.0.3.1", "10.0.0.2"};
    QTest::newRow("error 0 ends a reply like its end")
        << TReplies{{Address(2, "10.0.0.1") + ErrorReply(0)}, {Links + ErrorReply(0)}} << once
        << TAddresses{"10.0.0.1"};
    QTest::newRow("address dump interrupted: both taken again")
        << TReplies{{Address(2, "10.0.0.1", NLM_F_MULTI | NLM_F_DUMP_INTR), Done()},
                    {Address(2, "10.0.0.1") + Address(2, "10.0.0.2") + Done()},
                    LinkDump}
        << QStringList{"addresses", "addresses", "links"} << TAddresses{"10.0.0.1", "10.0.0.2"};
    QTest::newRow("interruption told by the end of the dump only")
        << TReplies{{Address(2, "10.0.0.1") + Done(NLM_F_MULTI | NLM_F_DUMP_INTR)}, {Address(3, "10.0.3.1") + Done()},
                    LinkDump}
        << QStringList{"addresses", "addresses", "links"} << TAddresses{"10.0.3.1"};
    QTest::newRow("link dump interrupted: both taken again")
        << TReplies{{Address(2, "10.0.0.1") + Done()},
                    {Link(2, 0) + Done(NLM_F_MULTI | NLM_F_DUMP_INTR)},
                    {Address(2, "10.0.0.1") + Done()},
                    LinkDump}
        << QStringList{"addresses", "links", "addresses", "links"} << TAddresses{"10.0.0.1"};
}

void TestNetlinkAddresses::listFromReplies()
{
    QFETCH(TReplies, replies);
    QFETCH(QStringList, requests);
    QFETCH(TAddresses, expected);
    TScriptedKernel kernel(replies);
    QCOMPARE(ReadLocalAddresses(kernel), expected);
    QCOMPARE(kernel.requests, requests);
    QVERIFY(kernel.EverythingRead());
}

void TestNetlinkAddresses::refusedReplies_data()
{
    QTest::addColumn<TReplies>("replies");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("dumpsAskedFor");
    const QByteArray address = Address(2, "10.0.0.1");

    QTest::newRow("error reply") << TReplies{{ErrorReply(-EACCES)}} << EACCES << 1;
    QTest::newRow("error reply after addresses") << TReplies{{address + ErrorReply(-ENOMEM)}} << ENOMEM << 1;
    QTest::newRow("error reply in the link dump")
        << TReplies{{address + Done()}, {Link(1, IFF_LOOPBACK) + ErrorReply(-EOPNOTSUPP)}} << EOPNOTSUPP << 2;
    TReplies alwaysInterrupted;
    for (int attempt = 0; attempt < MaxDumpAttempts; ++attempt)
        alwaysInterrupted.push_back({Address(2, "10.0.0.1", NLM_F_MULTI | NLM_F_DUMP_INTR) + Done()});
    QTest::newRow("interrupted at every attempt") << alwaysInterrupted << EAGAIN << MaxDumpAttempts;

    QTest::newRow("message cut short") << TReplies{{Cut(address, address.size() - 4)}} << EBADMSG << 1;
    QTest::newRow("message longer than the read")
        << TReplies{{Patched(address, 0, std::uint32_t(address.size() + 4))}} << EBADMSG << 1;
    QTest::newRow("message length below its header") << TReplies{{Patched(address, 0, std::uint32_t{8})}} << EBADMSG << 1;
    QTest::newRow("bytes after the last message, fewer than a header")
        << TReplies{{address + QByteArray(8, '\0')}} << EBADMSG << 1;
    QTest::newRow("address message without its ifaddrmsg")
        << TReplies{{Message(RTM_NEWADDR, QByteArray(4, '\0'))}} << EBADMSG << 1;
    QTest::newRow("attribute reaching past its message")
        << TReplies{{Patched(address, FirstAttribute, std::uint16_t{200})}} << EBADMSG << 1;
    QTest::newRow("attribute shorter than its header")
        << TReplies{{Patched(address, FirstAttribute, std::uint16_t{2})}} << EBADMSG << 1;
    QTest::newRow("attribute list cut inside a header")
        << TReplies{{Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, IPv4("10.0.0.1"))) + QByteArray(2, '\0'))}}
        << EBADMSG << 1;
    QTest::newRow("address of the wrong size")
        << TReplies{{Message(RTM_NEWADDR, AddressBody(2, Attribute(IFA_LOCAL, QByteArray(2, '\1'))))}} << EBADMSG << 1;
    QTest::newRow("link message without its ifinfomsg")
        << TReplies{{address + Done()}, {Message(RTM_NEWLINK, QByteArray(8, '\0'))}} << EBADMSG << 2;
    QTest::newRow("error reply without its error") << TReplies{{Message(NLMSG_ERROR, QByteArray(2, '\0'))}} << EBADMSG << 1;
    QTest::newRow("error number out of the kernel's range") << TReplies{{ErrorReply(5)}} << EBADMSG << 1;
    QTest::newRow("error number at the lowest int")
        << TReplies{{ErrorReply(std::numeric_limits<int>::min())}} << EBADMSG << 1;
}

void TestNetlinkAddresses::refusedReplies()
{
    QFETCH(TReplies, replies);
    QFETCH(int, error);
    QFETCH(int, dumpsAskedFor);
    TScriptedKernel kernel(replies);
    try {
        ReadLocalAddresses(kernel);
        QFAIL("a list came from replies that do not give one");
    } catch (const TOSError& raised) {  // the refusal is what is tested
        QCOMPARE(raised.code().value(), error);
    }
    QCOMPARE(kernel.requests.size(), dumpsAskedFor);
}

QTEST_APPLESS_MAIN(TestNetlinkAddresses)
#include "tst_netlink_addresses.moc"
