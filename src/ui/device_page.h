#pragma once

#include <QStringList>
#include <QUrl>

#include <optional>

// The web page of a listed device, "http://<IP>:<HTTP port>/", read from the
// six lines its entry shows; none when the device reports HTTP disabled or a
// line does not hold what a decoded reply puts there (the sample entry).
std::optional<QUrl> DevicePageUrl(const QStringList& lines);
