#pragma once

#include "discovery/udp_socket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// Room for the datagrams that one TUdpSocket::ReceiveWaiting takes in:
// `capacity` slots of `datagramSize` bytes each, allocated once.
class TDatagramBatch {
public:
    TDatagramBatch(std::size_t capacity, std::size_t datagramSize);

    std::size_t Capacity() const { return received_.size(); }
    std::size_t DatagramSize() const { return datagramSize_; }
    // The whole slot, for a receive to fill.
    std::span<std::uint8_t> Slot(std::size_t slot);

    // Filled by the receive: what arrived in each slot, and how many slots
    // are in use, in the order of arrival.
    TReceivedDatagram& Received(std::size_t slot) { return received_[slot]; }
    const TReceivedDatagram& Received(std::size_t slot) const { return received_[slot]; }
    // The bytes of the datagram in `slot` (at most the slot's size).
    std::span<const std::uint8_t> Data(std::size_t slot) const;

private:
    std::size_t datagramSize_;
    // Left uninitialised: a receive fills a slot before it is read, and
    // memory never written takes no pages (zeroing half a megabyte for each
    // listening thread was a noticeable share of the window's start).
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::vector<TReceivedDatagram> received_;
};
