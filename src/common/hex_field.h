// The hexadecimal entry rule of every address field: the text is upper-cased
// and accepted only when it holds 1 to 4 characters 0-9 or A-F. The value is
// 16 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

inline std::optional<uint16_t> parseHexField(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return uint16_t(value);
}

} // namespace quorvel
