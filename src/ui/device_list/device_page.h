#pragma once

#include "ui/device_list/device_facts.h"

#include <QUrl>

#include <optional>

// The web page of a listed device, "http://<sender>:<HTTP port>/": at the
// address the reply came from, which is where the device answered from,
// whatever IP address it reports (an IPv6 sender goes in brackets). None
// when the device reports its web server off or at port 0.
std::optional<QUrl> DevicePageUrl(const TDeviceFacts& device);
