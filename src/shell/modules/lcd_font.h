// The LCD's built-in character set (character ROM), 5 x 8 dots per code.
#pragma once

#include <array>
#include <cstdint>

namespace quorvel::shell {

// Eight rows, top first; five dots per row in bits 4..0, bit 4 leftmost.
using LcdGlyph = std::array<uint8_t, 8>;

// The ROM character of `code`: 20H-7FH and A0H-FFH; other codes (the
// user-defined 00H-0FH and the empty 10H-1FH, 80H-9FH) give a blank.
const LcdGlyph& lcdRomGlyph(uint8_t code);

} // namespace quorvel::shell
