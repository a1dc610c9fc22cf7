// Values the views compare against to draw changed bytes in red, taken
// when a run or step starts.
#pragma once

#include "chip/chip_state.h"

#include <array>
#include <cstdint>
#include <vector>

namespace quorvel {

// Values the views compare against to draw changed bytes in red.
struct ChangeSnapshot {
    std::array<uint8_t, 128> sfrs{};
    SfrSideState side;
    std::vector<uint8_t> iram;   // up to the device's RAM size
    uint16_t xdataStart = 0;
    std::vector<uint8_t> xdata;  // the bytes the external-data window shows
};

} // namespace quorvel
