#pragma once

#include "bench_listener_lab.h"

#include <cstddef>
#include <functional>

// The fastest receive loop Linux has for one UDP socket, as the reference
// for the listener's figures: port 7080 bound on the wildcard address with
// the listener's receive buffer, and recvmmsg taking up to a batch of
// datagrams per call, blocking until at least one is there
// (MSG_WAITFORONE). No hand-over, no handler: every datagram is only counted.
class TBatchReceiveLoop {
public:
    static constexpr std::size_t BatchSize = 256;

    TBatchReceiveLoop();
    ~TBatchReceiveLoop();
    TBatchReceiveLoop(const TBatchReceiveLoop&) = delete;
    TBatchReceiveLoop& operator=(const TBatchReceiveLoop&) = delete;

    // Receives until `done(count so far)` answers true, asked after every
    // call and at least every `idle`, or until nothing has come for `idle`;
    // notes every batch. Answers the arrivals.
    TArrivals Run(const std::function<bool(std::size_t)>& done, std::chrono::milliseconds idle);

private:
    int fd_ = -1;
};
