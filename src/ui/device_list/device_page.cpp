#include "ui/device_list/device_page.h"

std::optional<QUrl> DevicePageUrl(const TDeviceFacts& device)
{
    if (!device.httpEnabled || device.httpPort == 0 || device.sender.isEmpty())
        return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(device.sender);  // QUrl writes an IPv6 address in brackets
    url.setPort(device.httpPort);
    url.setPath(QStringLiteral("/"));
    if (!url.isValid())
        return std::nullopt;
    return url;
}
