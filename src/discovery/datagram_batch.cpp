#include "discovery/datagram_batch.h"

#include <algorithm>

TDatagramBatch::TDatagramBatch(std::size_t capacity, std::size_t datagramSize)
    : datagramSize_(datagramSize),
      bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(capacity * datagramSize)),
      received_(capacity)
{
}

std::span<std::uint8_t> TDatagramBatch::Slot(std::size_t slot)
{
    return {bytes_.get() + slot * datagramSize_, datagramSize_};
}

std::span<const std::uint8_t> TDatagramBatch::Data(std::size_t slot) const
{
    return {bytes_.get() + slot * datagramSize_, std::min(received_[slot].length, datagramSize_)};
}
