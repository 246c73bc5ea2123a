#include "discovery/udp_listener_thread.h"

#include "discovery/hand_over.h"
#include "discovery/listener_system.h"
#include "discovery/socket_error.h"
#include "discovery/thread_name.h"
#include "discovery/udp_binding.h"

TUdpListenerThread::TUdpListenerThread(TUdpBinding& binding, THandOver& handOver, TListenerSystem& system,
                                       TUdpReadHandlers handlers, const std::atomic<bool>& discarding,
                                       std::size_t bufferSize, const std::string& listenerName, std::size_t position)
    : binding_(binding),
      handOver_(handOver),
      system_(system),
      handlers_(std::move(handlers)),
      discarding_(discarding),
      batch_(BatchCapacity, bufferSize),
      name_(listenerName + " Listener #" + std::to_string(position)),
      compactName_(listenerName + " #" + std::to_string(position))
{
    toHand_.reserve(BatchCapacity);
}

TUdpListenerThread::~TUdpListenerThread()
{
    Stop();
    WaitForEnd();
}

void TUdpListenerThread::Start()
{
    thread_ = system_.StartThread([this] { Run(); });
}

void TUdpListenerThread::Stop()
{
    // The flag first: a wait that the interruption ends early must find it
    // set. The socket stays open: its owner closes it once this thread has
    // ended, so its descriptor cannot be handed to another socket of the
    // process while this thread might still use it. (The thread closes it
    // itself only after a failed wait, under the same lock.)
    std::lock_guard lock(socketMutex_);
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
        const TWaitResult wait = system_.WaitReadable(binding_.Socket, AcceptWait);
        if (wait == TWaitResult::Failed) {
            // Nothing can be received here any more: give the port back now
            // rather than when the window closes.
            CloseSocket();
            break;
        }
        if (wait == TWaitResult::Readable && !stopRequested_)
            ReceiveAndHandOver();
    }
    ended_ = true;
    handOver_.WakeDrain();
}

void TUdpListenerThread::ReceiveAndHandOver()
{
    std::size_t received = 0;
    try {
        received = binding_.Socket.ReceiveWaiting(batch_);
    } catch (const TSocketError&) {
        // A failed receive loses only the datagram it was taking; the loop goes on.
        return;
    }
    // Read after the receive: a datagram taken in once the user-interface
    // thread has asked for discarding is never handed over.
    if (discarding_)
        return;
    toHand_.clear();
    for (std::size_t slot = 0; slot < received; ++slot) {
        const TReceivedDatagram& datagram = batch_.Received(slot);
        if (datagram.truncated)
            continue;  // longer than the buffer: discarded whole, never handed over in part
        if (datagram.length == 0 && stopRequested_)
            continue;  // the closing's wake-up of a shut-down socket, not a datagram
        toHand_.push_back(slot);
    }
    if (toHand_.empty())
        return;
    // One synchronous call for the whole batch: this thread stays blocked
    // until the handler has run for every datagram of it.
    try {
        handOver_.Call([this] { HandleReceived(); });
    } catch (...) {
        // Raised by handOverDone on the user-interface thread: the datagrams
        // were handled, and the listener has no one to report it to.
    }
}

void TUdpListenerThread::HandleReceived()
{
    for (const std::size_t slot : toHand_) {
        binding_.StorePeer(batch_.Received(slot).peer);
        try {
            if (handlers_.onRead)
                handlers_.onRead(*this, batch_.Data(slot), binding_);
        } catch (...) {
            // A failure raised by the handler drops this datagram and nothing
            // more: the listener has no exception handler to report it to.
        }
    }
    // A failure here goes back to this thread with the hand-over, which
    // drops it like the handler's own.
    if (handlers_.handOverDone)
        handlers_.handOverDone();
}

void TUdpListenerThread::CloseSocket()
{
    std::lock_guard lock(socketMutex_);
    binding_.Socket.ShutdownAndClose();
}
