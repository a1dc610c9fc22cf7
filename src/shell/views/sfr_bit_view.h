// The SFR Bit Status window (MdiSfrBitStatusChild): the bits of the SFRs.
//
// Normal View: one box per SFR, as many as the device has (see
// sfrBitGroups): a heading, a top border, the bit names, a separator, the
// values and a bottom border; bits without a name cannot be edited and show
// "-". Clear View: a tile with its title line over a grid of named bits,
// three to a row, in the device's order (see sfrClearViewEntries).
//
// Keys on a value: space toggles it, "0" clears it, "1" sets it. The byte is
// written as a MOV to it would (for a port, the latch).
#pragma once

#include "chip/device.h"
#include "shell/views/bit_status_view.h"

#include <array>
#include <cstdint>
#include <vector>

namespace quorvel::shell {

struct SfrBitGroup {
    const char* heading;
    uint8_t address;
    std::array<const char*, 8> names; // bit 7 first; "-" for a bit without a name
    uint8_t editable;                 // mask of the bits the user may change
    bool timerHeadings;               // "TIMER1" over bits 7-4, "TIMER0" over bits 3-0
};

// The boxes of the Normal View for a device, top to bottom.
std::vector<const SfrBitGroup*> sfrBitGroups(DeviceKind kind);

struct SfrBitEntry {
    const char* name;
    uint8_t address;
    uint8_t bit;
};

// A named bit of the Clear View at its character column and grid row (row 0
// is the first line under the title).
struct PlacedSfrBit {
    SfrBitEntry entry;
    int column;
    int row;
};

std::vector<PlacedSfrBit> sfrClearViewEntries(DeviceKind kind);

BitGridLayout sfrBitNormalLayout(DeviceKind kind);
BitGridLayout sfrBitClearLayout(DeviceKind kind);

class SfrBitView : public BitStatusView {
    Q_OBJECT
public:
    explicit SfrBitView(ViewContext& context);

    int viewCommand() const override;
    QRect clearViewGeometry(const QSize& client) const override;

protected:
    BitGridLayout buildLayout() const override;
};

} // namespace quorvel::shell
