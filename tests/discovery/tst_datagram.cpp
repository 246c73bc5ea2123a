#include "discovery/datagram.h"
#include "guarded_bytes.h"
#include "reply_builder.h"

#include <QTest>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes With(Bytes bytes, std::size_t offset, std::uint8_t value)
{
    bytes[offset] = value;
    return bytes;
}

// `bytes` declaring `payloadLength` bytes after the header (big-endian).
Bytes WithPayloadLength(Bytes bytes, std::uint16_t payloadLength)
{
    bytes[ReplyField::PayloadLength.offset] = static_cast<std::uint8_t>(payloadLength >> 8);
    bytes[ReplyField::PayloadLength.offset + 1] = static_cast<std::uint8_t>(payloadLength & 0xFF);
    return bytes;
}

// A valid 32-byte reply header declaring `payloadLength` bytes after it.
Bytes ReplyHeader(std::uint16_t payloadLength = 0)
{
    return WithPayloadLength(With(BuildDiscoveryRequest(), ReplyField::DirectionMark.offset, 'r'), payloadLength);
}

Bytes Resized(Bytes bytes, std::size_t size)
{
    bytes.resize(size, 0x00);
    return bytes;
}

}  // namespace

class TestDatagram : public QObject {
    Q_OBJECT
private slots:
    void requestIsTheFixed32Bytes();
    void acceptance_data();
    void acceptance();
    void readsNothingBelowHeaderLength();
    void readsNoPayloadByte();
};

void TestDatagram::requestIsTheFixed32Bytes()
{
    const Bytes expected{0xD5, 'Q', 'u', 'o', 'r', 'V', 'e', 'l', 0, 0, 0, 0, 0x74, 0x78, 0, 0,
                         0xD5, 0x80, 0x0D, 0, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0};
    QCOMPARE(BuildDiscoveryRequest(), expected);
    QCOMPARE(BuildDiscoveryRequest(), BuildDiscoveryRequest());
    QCOMPARE(DiscoveryPort, std::uint16_t{7080});
}

void TestDatagram::acceptance_data()
{
    QTest::addColumn<Bytes>("datagram");
    QTest::addColumn<bool>("accepted");

    const Bytes header = ReplyHeader();
    QTest::newRow("empty") << Bytes{} << false;
    QTest::newRow("31 bytes of a valid header") << Bytes(header.begin(), header.end() - 1) << false;
    QTest::newRow("32-byte header, N = 0") << header << true;
    QTest::newRow("own request (tx)") << BuildDiscoveryRequest() << false;
    QTest::newRow("start mark") << With(header, ReplyField::StartMark.offset, 0xD4) << false;
    QTest::newRow("magic q lower case") << With(header, ReplyField::Magic.offset, 'q') << false;
    QTest::newRow("magic V lower case") << With(header, ReplyField::Magic.offset + 4, 'v') << false;
    QTest::newRow("magic L upper case") << With(header, ReplyField::Magic.offset + 6, 'L') << false;
    QTest::newRow("direction R upper case") << With(header, ReplyField::DirectionMark.offset, 'R') << false;
    QTest::newRow("direction second letter") << With(header, ReplyField::DirectionMark.offset + 1, 'X') << false;
    QTest::newRow("second mark") << With(header, ReplyField::SecondMark.offset, 0x00) << false;
    QTest::newRow("header code") << With(header, ReplyField::HeaderCode.offset, 0xC1) << false;

    const Bytes reply = BuildDiscoveryReply({});  // 98 bytes, N = 0x0042
    QTest::newRow("N 0x0042, 98 bytes") << reply << true;
    QTest::newRow("N 0x0042, 97 bytes") << Resized(reply, 97) << false;
    QTest::newRow("N 0x4200, 98 bytes") << WithPayloadLength(reply, 0x4200) << false;
    QTest::newRow("N 0xFFFF, 98 bytes") << WithPayloadLength(reply, 0xFFFF) << false;
    QTest::newRow("N 0xFFFF, 65567 bytes") << Resized(WithPayloadLength(header, 0xFFFF), 65567) << true;
    QTest::newRow("longer than 32 + N") << Resized(reply, 500) << true;

    Bytes anyBytes = header;
    for (std::size_t i : {8, 9, 10, 11, 14, 15, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 29})
        anyBytes[i] = 0xA5;
    QTest::newRow("free header bytes hold anything") << anyBytes << true;
}

void TestDatagram::acceptance()
{
    QFETCH(Bytes, datagram);
    QFETCH(bool, accepted);
    QCOMPARE(IsDiscoveryReply(datagram), accepted);
}

void TestDatagram::readsNothingBelowHeaderLength()
{
    // Every byte lies beyond the guard: touching any of them crashes.
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{31}}) {
        const TGuardedBytes guarded({}, length);
        QVERIFY(!IsDiscoveryReply(guarded.Datagram()));
    }
}

void TestDatagram::readsNoPayloadByte()
{
    // Only the header is readable; the 1000-byte datagram claims N = 900.
    const TGuardedBytes accepted(ReplyHeader(900), 1000);
    QVERIFY(IsDiscoveryReply(accepted.Datagram()));
    const TGuardedBytes tooShort(ReplyHeader(969), 1000);
    QVERIFY(!IsDiscoveryReply(tooShort.Datagram()));
}

QTEST_APPLESS_MAIN(TestDatagram)
#include "tst_datagram.moc"
