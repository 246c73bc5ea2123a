#include "discovery/udp_listener_thread.h"

#include "discovery/hand_over.h"
#include "discovery/socket_error.h"
#include "discovery/thread_name.h"
#include "discovery/udp_binding.h"

TUdpListenerThread::TUdpListenerThread(TUdpBinding& binding, THandOver& handOver, TUdpReadHandler onRead,
                                       std::size_t bufferSize, const std::string& listenerName,
                                       std::size_t position)
    : binding_(binding),
      handOver_(handOver),
      onRead_(std::move(onRead)),
      buffer_(bufferSize),
      name_(listenerName + " Listener #" + std::to_string(position)),
      compactName_(listenerName + " #" + std::to_string(position))
{
}

TUdpListenerThread::~TUdpListenerThread()
{
    Stop();
    WaitForEnd();
}

void TUdpListenerThread::Start()
{
    thread_ = std::thread(&TUdpListenerThread::Run, this);
}

void TUdpListenerThread::Stop()
{
    // The flag first: a wait that the interruption ends early must find it
    // set. The socket is closed only once this thread has ended (by its
    // owner), so its descriptor cannot be handed to another socket of the
    // process while this thread might still use it.
    stopRequested_ = true;
    binding_.Socket.InterruptWait();
}

void TUdpListenerThread::WaitForEnd()
{
    if (!thread_.joinable())
        return;
    handOver_.DrainUntil([this] { return ended_.load(); });
    thread_.join();
}

void TUdpListenerThread::Run()
{
    NameCurrentThread(name_, compactName_);
    while (!stopRequested_) {
        const TWaitResult wait = binding_.Socket.WaitReadable(AcceptWait);
        if (wait == TWaitResult::Failed)
            break;
        if (wait == TWaitResult::Readable && !stopRequested_)
            ReceiveAndHandOver();
    }
    ended_ = true;
    handOver_.NotifyUiThread();
}

void TUdpListenerThread::ReceiveAndHandOver()
{
    TReceivedDatagram datagram;
    try {
        datagram = binding_.Socket.Receive(buffer_);
    } catch (const TSocketError&) {
        // A failed receive loses only this datagram; the loop goes on.
        return;
    }
    if (datagram.truncated)
        return;  // longer than the buffer: discarded whole, never handed over in part
    if (datagram.length == 0 && stopRequested_)
        return;  // the closing's wake-up of a shut-down socket, not a datagram
    binding_.StorePeer(datagram.peer);
    const std::span<const std::uint8_t> data(buffer_.data(), datagram.length);
    try {
        handOver_.Call([&] {
            if (onRead_)
                onRead_(*this, data, binding_);
        });
    } catch (...) {
        // A failure raised by the handler drops this datagram and nothing
        // more: the listener has no exception handler to report it to.
    }
}
