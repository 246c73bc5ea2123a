#include "batch_receive_loop.h"

#include "discovery/datagram.h"
#include "discovery/udp_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>
#include <vector>

TBatchReceiveLoop::TBatchReceiveLoop() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    const int bufferSize = TUdpServer::DefaultReceiveBufferSize;
    sockaddr_in wildcard{};
    wildcard.sin_family = AF_INET;
    wildcard.sin_port = htons(DiscoveryPort);
    if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize) != 0 ||
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&wildcard), sizeof wildcard) != 0) {
        if (fd_ >= 0)
            ::close(fd_);
        throw std::runtime_error("the batch receive loop's socket");
    }
}

TBatchReceiveLoop::~TBatchReceiveLoop()
{
    ::close(fd_);
}

TArrivals TBatchReceiveLoop::Run(const std::function<bool(std::size_t)>& done, std::chrono::milliseconds idle)
{
    // A receive timeout bounds each blocking call, for `done` and the idle check.
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(idle).count();
    const timeval timeout{static_cast<time_t>(micro / 1'000'000), static_cast<suseconds_t>(micro % 1'000'000)};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::vector<std::array<std::uint8_t, 8192>> buffers(BatchSize);
    std::array<iovec, BatchSize> parts{};
    std::array<mmsghdr, BatchSize> messages{};
    for (std::size_t i = 0; i < BatchSize; ++i) {
        parts[i] = {buffers[i].data(), buffers[i].size()};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    TArrivals arrivals;
    while (!done(arrivals.count)) {
        const int received = ::recvmmsg(fd_, messages.data(), BatchSize, MSG_WAITFORONE, nullptr);
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0)
            break;  // nothing for `idle`
        arrivals.Note(arrivals.count + static_cast<std::size_t>(received));
    }
    return arrivals;
}
