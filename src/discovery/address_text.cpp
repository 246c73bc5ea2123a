#include "discovery/address_text.h"

std::string DottedDecimal(std::span<const std::uint8_t> octets)
{
    std::string text;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}
