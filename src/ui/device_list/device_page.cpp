#include "ui/device_list/device_page.h"

#include "discovery/local_addresses.h"

#include <algorithm>

namespace {

TDevicePageState AddressState(const std::array<std::uint8_t, 4>& octets)
{
    const unsigned first = octets[0];
    if (first == 0)
        return TDevicePageState::Unspecified;
    if (first == 127)
        return TDevicePageState::Loopback;
    if (first >= 224 && first <= 239)
        return TDevicePageState::Multicast;
    if (std::ranges::all_of(octets, [](std::uint8_t octet) { return octet == 255; }))
        return TDevicePageState::Broadcast;
    if (first >= 240)
        return TDevicePageState::Reserved;
    return TDevicePageState::Opens;
}

QString WhyNoPage(const TDeviceFacts& device)
{
    const QString& address = device.reportedIp;
    switch (device.page) {
    case TDevicePageState::Opens: break;
    case TDevicePageState::HttpOff: return QStringLiteral("urządzenie ma wyłączony serwer HTTP");
    case TDevicePageState::PortZero: return QStringLiteral("urządzenie podaje port HTTP 0");
    case TDevicePageState::Unspecified: return QStringLiteral("%1 to adres nieokreślony").arg(address);
    case TDevicePageState::Loopback: return QStringLiteral("%1 to adres pętli zwrotnej tego komputera").arg(address);
    case TDevicePageState::Multicast: return QStringLiteral("%1 to adres grupowy (multicast)").arg(address);
    case TDevicePageState::Broadcast: return QStringLiteral("%1 to adres rozgłoszeniowy").arg(address);
    case TDevicePageState::Reserved: return QStringLiteral("%1 to adres zarezerwowany").arg(address);
    case TDevicePageState::ThisMachine: return QStringLiteral("%1 to adres tego komputera").arg(address);
    }
    return {};
}

}  // namespace

TDevicePageState DevicePageState(const TReplyFacts& facts, std::string_view reportedIp,
                                 const std::vector<std::string>& ownAddresses)
{
    if (!facts.httpEnabled)
        return TDevicePageState::HttpOff;
    if (facts.httpPort == 0)
        return TDevicePageState::PortZero;
    if (const TDevicePageState state = AddressState(facts.ipAddress); state != TDevicePageState::Opens)
        return state;
    if (IsListedAddress(ownAddresses, reportedIp))
        return TDevicePageState::ThisMachine;
    return TDevicePageState::Opens;
}

std::optional<QUrl> DevicePageUrl(const TDeviceFacts& device)
{
    if (device.page != TDevicePageState::Opens)
        return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(device.reportedIp);
    url.setPort(device.httpPort);
    url.setPath(QStringLiteral("/"));
    if (!url.isValid())
        return std::nullopt;
    return url;
}

// Both texts are made of addresses and numbers alone, never of a reply's
// characters, so a tooltip cannot take them for markup.
QString DeviceEntryNote(const TDeviceFacts& device)
{
    QStringList lines;
    if (device.sender != device.reportedIp)
        lines.append(QStringLiteral("Odpowiedź nadeszła z innego adresu: %1.").arg(device.sender));
    if (const std::optional<QUrl> page = DevicePageUrl(device))
        lines.append(QStringLiteral("Dwukrotne kliknięcie otwiera stronę %1").arg(page->toString()));
    else
        lines.append(QStringLiteral("Dwukrotne kliknięcie nie otwiera strony: %1.").arg(WhyNoPage(device)));
    return lines.join(u'\n');
}
