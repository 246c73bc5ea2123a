#include "discovery/address_text.h"

#include <charconv>
#include <iterator>

std::string DottedDecimal(std::span<const std::uint8_t> octets)
{
    std::string text;
    AppendDottedDecimal(text, octets);
    return text;
}

void AppendDottedDecimal(std::string& text, std::span<const std::uint8_t> octets)
{
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            text += '.';
        char digits[3];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), unsigned{octets[i]}).ptr;
        text.append(digits, end);
    }
}
