// The local address list from Wine's adapter list, inside the namespace of
// scripts/test-windows.sh: two links, a second address on one of them, an
// IPv6 address, and an address on the loopback interface.

#include "discovery/local_addresses.h"
#include "discovery/os_error.h"
#include "wine_lab.h"

#include <QTest>

class TestLocalAddressesWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listsTheLinksAddressesInTheKernelsOrder();
};

void TestLocalAddressesWindows::initTestCase()
{
    QUORVEL_REQUIRE_WINE_LAB();
}

void TestLocalAddressesWindows::listsTheLinksAddressesInTheKernelsOrder()
{
    // The expected list: the namespace's IPv4 addresses in the kernel's
    // order, those on "lo" left out, IPv6 ones never taken.
    const std::vector<std::string> expected = LabList("QUORVEL_EXPECTED_ADDRESSES");
    QVERIFY(expected.size() >= 3);
    std::vector<std::string> listed;
    try {
        listed = LocalAddresses();
    } catch (const TOSError& error) {
        // Say which error Wine's adapter list gave, not only that one came.
        QFAIL(qPrintable(QStringLiteral("the adapter list could not be read: %1 (error %2)")
                             .arg(QString::fromStdString(error.what()))
                             .arg(error.code().value())));
    }
    QCOMPARE(listed, expected);
}

QUORVEL_APPLESS_TEST_MAIN(TestLocalAddressesWindows)
#include "tst_local_addresses.moc"
