// The Memory Bit Status window (MdiMemoryBitStatusChild): the 128
// bit-addressable bits of internal RAM (bit addresses 00H-7FH in bytes
// 20H-2FH).
//
// Normal View: one tall box table, for each byte a line of names "Bit00" to
// "Bit07" (lowest bit on the left), a separator, the values and a separator,
// the last replaced by the bottom border. Clear View: a tile with its title
// line over cells "%02X:" followed by the value, 4 to a row when there is
// external data memory (a narrow tile), 8 otherwise.
//
// Keys: space toggles the bit under the caret, "0" clears it and "1" sets
// it, both moving on to the next bit.
#pragma once

#include "shell/views/bit_status_view.h"

namespace quorvel::shell {

BitGridLayout memoryBitNormalLayout();
BitGridLayout memoryBitClearLayout(bool externalDataMemory);

class MemoryBitView : public BitStatusView {
    Q_OBJECT
public:
    explicit MemoryBitView(ViewContext& context);

    int viewCommand() const override;
    QRect clearViewGeometry(const QSize& client) const override;

protected:
    BitGridLayout buildLayout() const override;
    bool advanceAfterDigit() const override { return true; }
};

} // namespace quorvel::shell
