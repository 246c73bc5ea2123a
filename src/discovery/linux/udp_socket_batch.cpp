#include "discovery/datagram_batch.h"
#include "discovery/socket_error.h"
#include "discovery/udp_socket.h"
#include "discovery/socket_address.h"

#include <sys/socket.h>

#include <cerrno>
#include <vector>

// recvmmsg: every datagram already queued on the socket in one system call.
std::size_t TUdpSocket::ReceiveWaiting(TDatagramBatch& batch)
{
    // The call's headers, kept per thread: a receiving thread calls this
    // for every batch, and they are several tens of kilobytes at full size.
    struct TScratch {
        std::vector<sockaddr_storage> senders;
        std::vector<iovec> parts;
        std::vector<mmsghdr> messages;
    };
    thread_local TScratch scratch;
    const std::size_t capacity = batch.Capacity();
    if (scratch.messages.size() < capacity) {
        scratch.senders.resize(capacity);
        scratch.parts.resize(capacity);
        scratch.messages.resize(capacity);
    }
    auto& [senders, parts, messages] = scratch;
    for (std::size_t i = 0; i < capacity; ++i) {
        const std::span<std::uint8_t> slot = batch.Slot(i);
        parts[i] = {slot.data(), slot.size()};
        messages[i] = {};
        msghdr& header = messages[i].msg_hdr;
        header.msg_name = &senders[i];
        header.msg_namelen = sizeof senders[i];
        header.msg_iov = &parts[i];
        header.msg_iovlen = 1;
    }
    const int received = ::recvmmsg(static_cast<int>(Handle()), messages.data(), static_cast<unsigned>(capacity),
                                    MSG_DONTWAIT, nullptr);
    if (received < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        throw TSocketError(errno);
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(received); ++i) {
        TReceivedDatagram& datagram = batch.Received(i);
        datagram.length = messages[i].msg_len;
        datagram.truncated = (messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0;
        datagram.peer = PeerOf(senders[i]);
    }
    return static_cast<std::size_t>(received);
}
