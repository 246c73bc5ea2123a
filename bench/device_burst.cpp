#include "device_burst.h"

#include "discovery/datagram.h"
#include "reply_builder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

TDeviceBurst::TDeviceBurst(const TListenerBenchLab& lab, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        TSimulatedDevice device;
        device.deviceName = DeviceName(i);
        replies_.push_back(BuildDiscoveryReply(device));
    }
    TNetnsLab::RunIn(lab.DeviceNamespace(), [&] {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in host{};
        host.sin_family = AF_INET;
        host.sin_port = htons(DiscoveryPort);
        ::inet_pton(AF_INET, TListenerBenchLab::HostAddress, &host.sin_addr);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&host), sizeof host) != 0)
            throw std::runtime_error("the device's socket");
    });
}

TDeviceBurst::~TDeviceBurst()
{
    if (sender_.joinable())
        sender_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

std::string TDeviceBurst::DeviceName(std::size_t number)
{
    char name[24];
    std::snprintf(name, sizeof name, "#%05zu", number);
    return name;
}

void TDeviceBurst::Start()
{
    sender_ = std::thread([this] {
        started_ = TBenchClock::now();
        startedSet_ = true;
        for (std::size_t first = 0; first < replies_.size(); first += PerCall)
            SendFrom(first, std::min(PerCall, replies_.size() - first));
        finished_ = TBenchClock::now();
    });
}

TBenchClock::time_point TDeviceBurst::Started() const
{
    while (!startedSet_)
        std::this_thread::yield();
    return started_;
}

void TDeviceBurst::Finish()
{
    sender_.join();
}

void TDeviceBurst::SendFrom(std::size_t first, std::size_t count)
{
    std::vector<iovec> parts(count);
    std::vector<mmsghdr> messages(count);
    for (std::size_t i = 0; i < count; ++i) {
        parts[i] = {replies_[first + i].data(), replies_[first + i].size()};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    for (std::size_t sent = 0; sent < count;) {
        const int now = ::sendmmsg(fd_, messages.data() + sent, static_cast<unsigned>(count - sent), 0);
        if (now <= 0)
            throw std::runtime_error("sendmmsg");
        sent += static_cast<std::size_t>(now);
    }
}
