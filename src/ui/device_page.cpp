#include "device_page.h"

#include <QRegularExpression>

std::optional<QUrl> DevicePageUrl(const QStringList& lines)
{
    enum Line { NrIp, Info1, Info2, Info3, Info4, Info5, LineCount };
    if (lines.size() != LineCount)
        return std::nullopt;
    static const QRegularExpression dottedDecimal(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    if (!dottedDecimal.match(lines[NrIp]).hasMatch() || !lines[Info3].contains(u"HTTP włączone"))
        return std::nullopt;
    static const QRegularExpression httpPort(QStringLiteral("^Port HTTP=(\\d+),"));
    const QRegularExpressionMatch port = httpPort.match(lines[Info4]);
    if (!port.hasMatch())
        return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(lines[NrIp]);
    url.setPort(port.captured(1).toInt());
    url.setPath(QStringLiteral("/"));
    return url;
}
