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

void AppendVersion(const TReplyView& view, std::string& text)
{
    text += "Wersja=";
    AppendFixed(text, view.Bytes(VersionA));
    text += "  ";
    AppendFixed(text, view.Bytes(VersionB));
    text += '_';
    AppendFixed(text, view.Bytes(VersionC));
    text += "  ";
    AppendFixed(text, view.Bytes(VersionD));
}

void AppendNameAndNumber(const TReplyView& view, std::string& text)
{
    AppendName(text, view.Bytes(DeviceName));
    text += ",  Numer=";
    AppendFixed(text, view.Bytes(SerialNumber));
}

void AppendState(const TReplyView& view, std::string& text)
{
    const std::uint8_t flags = view.Byte(StateFlags);
    text += (flags & StateDhcpEnabled) ? "DHCP włączone,  " : "DHCP wyłączone,  ";
    text += (flags & StateHttpDisabled) ? "HTTP wyłączone,  " : "HTTP włączone,  ";
}

void AppendPorts(const TReplyView& view, std::string& text)
{
    text += "Port HTTP=";
    AppendNumber(text, view.LittleEndian16(HttpPort));
    text += ",  PortTCP=";
    AppendNumber(text, view.LittleEndian16(TcpPort));
}

void AppendMaskAndMac(const TReplyView& view, std::string& text)
{
    text += "Maska=";
    AppendDottedDecimal(text, view.Bytes(NetMask));
    text += ",  MAC=";
    AppendMac(text, view.Bytes(MacAddress));
}

void AppendAddress(const TReplyView& view, std::string& text)
{
    AppendDottedDecimal(text, view.Bytes(IpAddress));
}

// Each line of the summary: the fields it shows, and how it is written.
struct TLine {
    std::optional<std::string> TDeviceSummary::*text;
    std::array<TDatagramField, 4> fields;  // unused places are empty fields
    void (*append)(const TReplyView&, std::string&);
};
constexpr std::array<TLine, 6> Lines{{
    {&TDeviceSummary::nr_ip, {IpAddress}, AppendAddress},
    {&TDeviceSummary::info1, {VersionA, VersionB, VersionC, VersionD}, AppendVersion},
    {&TDeviceSummary::info2, {DeviceName, SerialNumber}, AppendNameAndNumber},
    {&TDeviceSummary::info3, {StateFlags}, AppendState},
    {&TDeviceSummary::info4, {HttpPort, TcpPort}, AppendPorts},
    {&TDeviceSummary::info5, {NetMask, MacAddress}, AppendMaskAndMac},
}};

bool SameFields(const TLine& line, const TReplyView& view, std::span<const std::uint8_t> before)
{
    return std::ranges::all_of(line.fields, [&](TDatagramField field) {
        return std::ranges::equal(view.Bytes(field), before.subspan(field.offset, field.width));
    });
}

// A line whose fields hold the same bytes as in the reply decoded before
// keeps its text: most lines repeat from reply to reply. (A record's texts
// are there only once a reply has been decoded into it, with its bytes.)
void DecodeTexts(const TReplyView& view, TDecodedReply& decoded)
{
    const std::span<const std::uint8_t> before = decoded.decodedFrom;
    for (const TLine& line : Lines) {
        std::optional<std::string>& text = decoded.summary.*line.text;
        if (text && SameFields(line, view, before))
            continue;
        if (!text)
            text.emplace();
        text->clear();  // the storage stays
        line.append(view, *text);
    }
    std::ranges::copy(view.Bytes({0, CompleteReplySize}).first<CompleteReplySize>(), decoded.decodedFrom.begin());
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
    DecodeTexts(*view, decoded);
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
