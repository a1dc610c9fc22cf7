// One change of the port lines: the machine-cycle time at which the loop saw
// it and the level of all 32 lines after it, packed as the pin model packs
// them (P0 in bits 0-7, line n = port * 8 + bit in bit n). The waveform
// recorder keeps these; the waveform export reads them.
#pragma once

#include <cstdint>

namespace quorvel {

struct LineChange {
    uint64_t cycle = 0;  // machine cycles since the counter was last cleared (64 bits)
    uint32_t levels = 0; // every line's level after the change

    bool operator==(const LineChange&) const = default;
};

} // namespace quorvel
