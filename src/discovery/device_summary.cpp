#include "discovery/device_summary.h"

#include "discovery/address_text.h"
#include "discovery/datagram.h"

#include <algorithm>

namespace {

// Each reply byte b is the character U+0000 + b (ISO 8859-1), kept as UTF-8.
void AppendLatin1(std::string& text, std::uint8_t byte)
{
    if (byte < 0x80) {
        text.push_back(static_cast<char>(byte));
    } else {
        text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

std::string FixedText(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t byte : bytes)
        AppendLatin1(text, byte);
    return text;
}

std::string NameText(std::span<const std::uint8_t> bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return FixedText({bytes.begin(), end});
}

std::string MacText(std::span<const std::uint8_t> octets)
{
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            text += '-';
        text += HexDigits[octets[i] >> 4];
        text += HexDigits[octets[i] & 0x0F];
    }
    return text;
}

std::string StateText(std::uint8_t flags)
{
    std::string text = (flags & StateDhcpEnabled) ? "DHCP włączone,  " : "DHCP wyłączone,  ";
    text += (flags & StateHttpDisabled) ? "HTTP wyłączone,  " : "HTTP włączone,  ";
    return text;
}

}  // namespace

std::optional<TDeviceSummary> DecodeDeviceSummary(std::span<const std::uint8_t> reply)
{
    const auto view = TReplyView::Of(reply);
    if (!view)
        return std::nullopt;
    using namespace ReplyField;
    TDeviceSummary summary;
    summary.nr_ip = DottedDecimal(view->Bytes(IpAddress));
    summary.info1 = "Wersja=" + FixedText(view->Bytes(VersionA)) + "  " + FixedText(view->Bytes(VersionB)) + "_"
        + FixedText(view->Bytes(VersionC)) + "  " + FixedText(view->Bytes(VersionD));
    summary.info2 = NameText(view->Bytes(DeviceName)) + ",  Numer=" + FixedText(view->Bytes(SerialNumber));
    summary.info3 = StateText(view->Byte(StateFlags));
    summary.info4 = "Port HTTP=" + std::to_string(view->LittleEndian16(HttpPort)) + ",  PortTCP="
        + std::to_string(view->LittleEndian16(TcpPort));
    summary.info5 = "Maska=" + DottedDecimal(view->Bytes(NetMask)) + ",  MAC=" + MacText(view->Bytes(MacAddress));
    return summary;
}
