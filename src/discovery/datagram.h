#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::uint16_t DiscoveryPort = 7080;

std::vector<std::uint8_t> BuildDiscoveryRequest();
bool IsDiscoveryReply(std::span<const std::uint8_t> datagram);

// Where each field of a datagram lives: absolute offset from the datagram's
// first byte and width in bytes. This is the only place that knows the layout.
struct TDatagramField {
    std::size_t offset;
    std::size_t width;
    constexpr std::size_t end() const { return offset + width; }
};

namespace ReplyField {
inline constexpr TDatagramField StartMark{0, 1};
inline constexpr TDatagramField Magic{1, 7};
inline constexpr TDatagramField DirectionMark{12, 2};
inline constexpr TDatagramField SecondMark{16, 1};
inline constexpr TDatagramField HeaderCode{28, 1};
inline constexpr TDatagramField PayloadLength{30, 2};  // big-endian
inline constexpr TDatagramField VersionA{32, 6};
inline constexpr TDatagramField VersionB{38, 4};
inline constexpr TDatagramField VersionC{42, 3};
inline constexpr TDatagramField SerialNumber{45, 8};
inline constexpr TDatagramField VersionD{53, 2};
inline constexpr TDatagramField StateFlags{55, 1};
inline constexpr TDatagramField MacAddress{56, 6};
inline constexpr TDatagramField ExtraAddress1{62, 4};
inline constexpr TDatagramField ExtraAddress2{66, 4};
inline constexpr TDatagramField DeviceName{70, 16};
inline constexpr TDatagramField HttpPort{86, 2};  // little-endian
inline constexpr TDatagramField TcpPort{88, 2};   // little-endian
inline constexpr TDatagramField IpAddress{90, 4};
inline constexpr TDatagramField NetMask{94, 4};
}  // namespace ReplyField

inline constexpr std::size_t DiscoveryHeaderSize = 32;
inline constexpr std::size_t CompleteReplySize = ReplyField::NetMask.end();  // 98

inline constexpr std::uint8_t StartMarkValue = 0xD5;
inline constexpr std::uint8_t SecondMarkValue = 0xD5;
inline constexpr std::uint8_t HeaderCodeValue = 0xC0;
inline constexpr std::uint8_t StateDhcpEnabled = 0x01;
inline constexpr std::uint8_t StateHttpDisabled = 0x80;

// Read-only view of a complete reply (at least CompleteReplySize bytes).
// Every accessor reads inside the payload fields only, never past byte 97.
class TReplyView {
public:
    // No view for a datagram too short to hold every payload field.
    static std::optional<TReplyView> Of(std::span<const std::uint8_t> datagram);

    std::span<const std::uint8_t> Bytes(TDatagramField field) const;
    std::uint8_t Byte(TDatagramField field) const;
    std::uint16_t LittleEndian16(TDatagramField field) const;

private:
    explicit TReplyView(std::span<const std::uint8_t> payloadFields) : datagram_(payloadFields) {}
    std::span<const std::uint8_t> datagram_;
};
