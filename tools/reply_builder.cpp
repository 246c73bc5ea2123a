#include "reply_builder.h"

#include "discovery/datagram.h"

#include <algorithm>

namespace {

template <typename Bytes>
void Put(std::vector<std::uint8_t>& reply, TDatagramField field, const Bytes& bytes)
{
    const std::size_t count = std::min<std::size_t>(field.width, bytes.size());
    std::copy_n(bytes.begin(), count, reply.begin() + static_cast<std::ptrdiff_t>(field.offset));
}

void PutLittleEndian(std::vector<std::uint8_t>& reply, TDatagramField field, std::uint16_t value)
{
    reply[field.offset] = static_cast<std::uint8_t>(value & 0xFF);
    reply[field.offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::vector<std::uint8_t> BuildDiscoveryReply(const TSimulatedDevice& device)
{
    using namespace ReplyField;
    // StartMark and Magic as in the request; every byte the reply leaves free is 0x00.
    const std::vector<std::uint8_t> request = BuildDiscoveryRequest();
    std::vector<std::uint8_t> reply(CompleteReplySize, 0x00);
    std::copy_n(request.begin(), Magic.end(), reply.begin());
    reply[DirectionMark.offset] = 'r';
    reply[DirectionMark.offset + 1] = 'x';
    reply[SecondMark.offset] = SecondMarkValue;
    reply[HeaderCode.offset] = HeaderCodeValue;
    const std::size_t payload = CompleteReplySize - DiscoveryHeaderSize;
    reply[PayloadLength.offset] = static_cast<std::uint8_t>(payload >> 8);
    reply[PayloadLength.offset + 1] = static_cast<std::uint8_t>(payload & 0xFF);

    Put(reply, VersionA, device.versionA);
    Put(reply, VersionB, device.versionB);
    Put(reply, VersionC, device.versionC);
    Put(reply, SerialNumber, device.serialNumber);
    Put(reply, VersionD, device.versionD);
    reply[StateFlags.offset] = device.stateFlags;
    Put(reply, MacAddress, device.mac);
    Put(reply, ExtraAddress1, device.extraAddress1);
    Put(reply, ExtraAddress2, device.extraAddress2);
    Put(reply, DeviceName, device.deviceName);
    PutLittleEndian(reply, HttpPort, device.httpPort);
    PutLittleEndian(reply, TcpPort, device.tcpPort);
    Put(reply, IpAddress, device.ipAddress);
    Put(reply, NetMask, device.netMask);
    return reply;
}
