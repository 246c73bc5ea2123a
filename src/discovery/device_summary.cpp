#include "discovery/device_summary.h"

#include "discovery/address_text.h"
#include "discovery/datagram.h"

#include <algorithm>
#include <charconv>

// Every text is built in place, in the string it ends up in, so that
// decoding into the same TDecodedReply again reuses the strings' storage:
// the reply handler decodes every reply of a burst, and allocating (and
// freeing) a dozen strings per reply was the larger part of its cost.

namespace {

using namespace ReplyField;

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

void AppendFixed(std::string& text, std::span<const std::uint8_t> bytes)
{
    // ASCII, as most fields are, goes over as it is.
    const auto ascii = std::ranges::find_if(bytes, [](std::uint8_t byte) { return byte >= 0x80; });
    text.append(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(ascii - bytes.begin()));
    for (auto rest = ascii; rest != bytes.end(); ++rest)
        AppendLatin1(text, *rest);
}

// The device name ends at its first NUL.
void AppendName(std::string& text, std::span<const std::uint8_t> bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    AppendFixed(text, {bytes.begin(), end});
}

void AppendNumber(std::string& text, unsigned number)
{
    char digits[10];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    text.append(digits, end);
}

void AppendMac(std::string& text, std::span<const std::uint8_t> octets)
{
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            text += '-';
        text += HexDigits[octets[i] >> 4];
        text += HexDigits[octets[i] & 0x0F];
    }
}

// The field's string, emptied but with its storage kept.
std::string& Emptied(std::optional<std::string>& field)
{
    if (!field)
        field.emplace();
    field->clear();
    return *field;
}

void DecodeTexts(const TReplyView& view, TDeviceSummary& summary)
{
    AppendDottedDecimal(Emptied(summary.nr_ip), view.Bytes(IpAddress));

    std::string& info1 = Emptied(summary.info1);
    info1 += "Wersja=";
    AppendFixed(info1, view.Bytes(VersionA));
    info1 += "  ";
    AppendFixed(info1, view.Bytes(VersionB));
    info1 += '_';
    AppendFixed(info1, view.Bytes(VersionC));
    info1 += "  ";
    AppendFixed(info1, view.Bytes(VersionD));

    std::string& info2 = Emptied(summary.info2);
    AppendName(info2, view.Bytes(DeviceName));
    info2 += ",  Numer=";
    AppendFixed(info2, view.Bytes(SerialNumber));

    const std::uint8_t flags = view.Byte(StateFlags);
    std::string& info3 = Emptied(summary.info3);
    info3 += (flags & StateDhcpEnabled) ? "DHCP włączone,  " : "DHCP wyłączone,  ";
    info3 += (flags & StateHttpDisabled) ? "HTTP wyłączone,  " : "HTTP włączone,  ";

    std::string& info4 = Emptied(summary.info4);
    info4 += "Port HTTP=";
    AppendNumber(info4, view.LittleEndian16(HttpPort));
    info4 += ",  PortTCP=";
    AppendNumber(info4, view.LittleEndian16(TcpPort));

    std::string& info5 = Emptied(summary.info5);
    info5 += "Maska=";
    AppendDottedDecimal(info5, view.Bytes(NetMask));
    info5 += ",  MAC=";
    AppendMac(info5, view.Bytes(MacAddress));
}

}  // namespace

bool DecodeDeviceReply(std::span<const std::uint8_t> reply, TDecodedReply& decoded)
{
    const auto view = TReplyView::Of(reply);
    if (!view)
        return false;
    TReplyFacts& facts = decoded.facts;
    std::ranges::copy(view->Bytes(IpAddress).first<std::tuple_size_v<decltype(facts.ipAddress)>>(),
                      facts.ipAddress.begin());
    facts.httpEnabled = (view->Byte(StateFlags) & StateHttpDisabled) == 0;
    facts.httpPort = view->LittleEndian16(HttpPort);
    DecodeTexts(*view, decoded.summary);
    return true;
}

std::optional<TDecodedReply> DecodeDeviceReply(std::span<const std::uint8_t> reply)
{
    TDecodedReply decoded;
    if (!DecodeDeviceReply(reply, decoded))
        return std::nullopt;
    return decoded;
}

std::optional<TDeviceSummary> DecodeDeviceSummary(std::span<const std::uint8_t> reply)
{
    std::optional<TDecodedReply> decoded = DecodeDeviceReply(reply);
    if (!decoded)
        return std::nullopt;
    return std::move(decoded->summary);
}
