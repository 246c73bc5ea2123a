#include "ui/device_facts.h"

#include "discovery/address_text.h"
#include "discovery/datagram.h"

std::optional<TDeviceFacts> DeviceFactsOf(std::span<const std::uint8_t> reply, const std::string& sender)
{
    const std::optional<TReplyView> view = TReplyView::Of(reply);
    if (!view)
        return std::nullopt;
    TDeviceFacts facts;
    facts.reportedIp = QString::fromStdString(DottedDecimal(view->Bytes(ReplyField::IpAddress)));
    facts.httpEnabled = (view->Byte(ReplyField::StateFlags) & StateHttpDisabled) == 0;
    facts.httpPort = view->LittleEndian16(ReplyField::HttpPort);
    facts.sender = QString::fromStdString(sender);
    return facts;
}
