#include "listener_fixture.h"

#include <algorithm>

std::vector<std::uint8_t> Numbered(std::uint32_t number)
{
    return {static_cast<std::uint8_t>(number >> 24), static_cast<std::uint8_t>(number >> 16),
            static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)};
}

TListenerFixture::TListenerFixture(std::chrono::milliseconds patience, TListenerSystem& system) : ui(patience)
{
    listener.emplace(ui.HandOver(), "IdUDPServer1", system);
    listener->OnUDPRead = [this](TUdpListenerThread& thread, std::span<const std::uint8_t> data, TUdpBinding& binding) {
        received.push_back(
            {{data.begin(), data.end()}, binding.PeerIP, binding.PeerPort, binding.IPVersion, thread.Name()});
    };
}

bool TListenerFixture::RunUntilReceived(std::size_t count)
{
    return ui.RunUntil([&] { return received.size() >= count; });
}

std::size_t TListenerFixture::CountFrom(TAddressFamily family) const
{
    return static_cast<std::size_t>(
        std::ranges::count_if(received, [&](const TReceived& item) { return item.version == family; }));
}
