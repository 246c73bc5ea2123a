#include "discovery/datagram.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 7> MagicBytes{'Q', 'u', 'o', 'r', 'V', 'e', 'l'};
constexpr std::uint8_t ReplyDirection0 = 'r';
constexpr std::uint8_t ReplyDirection1 = 'x';

constexpr std::array<std::uint8_t, DiscoveryHeaderSize> RequestBytes{
    0xD5, 'Q',  'u',  'o',  'r',  'V',  'e',  'l',   // StartMark, Magic
    0x00, 0x00, 0x00, 0x00,                          //
    't',  'x',                                       // DirectionMark
    0x00, 0x00,                                      //
    0xD5, 0x80, 0x0D, 0x00, 0x00, 0x00, 0x00, 0xF0,  // SecondMark, ...
    0xFF, 0xFF, 0xFF, 0xFF,                          //
    0xC0, 0x00,                                      // HeaderCode
    0x00, 0x00,                                      // PayloadLength = 0
};

}  // namespace

std::vector<std::uint8_t> BuildDiscoveryRequest()
{
    return {RequestBytes.begin(), RequestBytes.end()};
}

bool IsDiscoveryReply(std::span<const std::uint8_t> datagram)
{
    // The checks run in this order and stop at the first failure; none reads
    // a byte before the length has been found sufficient for it.
    const std::int32_t length = static_cast<std::int32_t>(std::min<std::size_t>(datagram.size(), 0x7FFFFFFF));
    if (length <= 0)
        return false;
    if (length < static_cast<std::int32_t>(DiscoveryHeaderSize))
        return false;
    if (datagram[ReplyField::StartMark.offset] != StartMarkValue)
        return false;
    for (std::size_t i = 0; i < MagicBytes.size(); ++i)
        if (datagram[ReplyField::Magic.offset + i] != MagicBytes[i])
            return false;
    if (datagram[ReplyField::DirectionMark.offset] != ReplyDirection0)
        return false;
    if (datagram[ReplyField::DirectionMark.offset + 1] != ReplyDirection1)
        return false;
    const std::int32_t payloadLength = datagram[ReplyField::PayloadLength.offset] * 256
        + datagram[ReplyField::PayloadLength.offset + 1];
    if (length < static_cast<std::int32_t>(DiscoveryHeaderSize) + payloadLength)
        return false;
    if (datagram[ReplyField::SecondMark.offset] != SecondMarkValue)
        return false;
    return datagram[ReplyField::HeaderCode.offset] == HeaderCodeValue;
}

std::optional<TReplyView> TReplyView::Of(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() < CompleteReplySize)
        return std::nullopt;
    return TReplyView(datagram.first(CompleteReplySize));
}

std::span<const std::uint8_t> TReplyView::Bytes(TDatagramField field) const
{
    return datagram_.subspan(field.offset, field.width);
}

std::uint8_t TReplyView::Byte(TDatagramField field) const
{
    return datagram_[field.offset];
}

std::uint16_t TReplyView::LittleEndian16(TDatagramField field) const
{
    const auto bytes = Bytes(field);
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
