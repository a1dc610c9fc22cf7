// The Clear View arrangement: fixed tiles that fill the MDI area. At the top,
// a 300-pixel row: the program (or serial) tile at the left, the register
// tile beside it and the SFR (or memory) bit tile to the right edge; below
// it, internal data memory (or the SPI) at the left and external data memory
// (or the memory bits, or the on-chip EEPROM) to the right. The I/O window
// takes the whole right side.
#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>

namespace quorvel::shell {

enum class ClearViewTile : uint8_t { TopLeft, Registers, TopRight, BottomLeft, BottomRight, Right };

// Where `tile` lies in an MDI area of `client` size. The register tile is as
// wide as its grid needs in the text views' font; the tiles that reach the
// area's right or bottom edge keep at least one pixel.
QRect clearViewTile(ClearViewTile tile, QSize client);

} // namespace quorvel::shell
