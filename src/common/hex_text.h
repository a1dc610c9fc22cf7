// Hexadecimal text of bytes and words as the views, lists, dumps, files and
// generated code write them: upper-case digits, zero-padded on the left to a
// given width (a wider value keeps all its digits, as printf's "%0*X" does).
#pragma once

#include <string>

namespace quorvel {

// hexText(0x5A, 2) is "5A", hexText(0x3E8, 4) is "03E8".
inline std::string hexText(unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    if (int(text.size()) < digits) text.insert(0, size_t(digits) - text.size(), '0');
    return text;
}

} // namespace quorvel
