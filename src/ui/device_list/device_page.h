#pragma once

#include "discovery/device_summary.h"
#include "ui/device_list/device_facts.h"

#include <QString>
#include <QUrl>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a double-click on the entry of a device whose reply says `facts`
// does: open its page at the address the entry shows in bold
// (`reportedIp`, the reply's nr_ip text), or nothing and why, when this
// machine's addresses are `ownAddresses`.
TDevicePageState DevicePageState(const TReplyFacts& facts, std::string_view reportedIp,
                                 const std::vector<std::string>& ownAddresses);

// The device's page, "http://<reported IP>:<HTTP port>/", when its entry
// opens one.
std::optional<QUrl> DevicePageUrl(const TDeviceFacts& device);

// The entry's tooltip and accessible description: the address the reply
// came from, where it is not the one the entry shows, and what a
// double-click opens, or why it opens nothing.
QString DeviceEntryNote(const TDeviceFacts& device);
