// The data-memory overlap window: external data addresses inside it reach
// program memory (a von Neumann wiring of the external RAM). This is the
// validation of the "Memory Setting" dialog's overlap group.
#pragma once

#include "chip/device.h"
#include "common/user_message.h"

#include <cstdint>
#include <string_view>

namespace quorvel {

struct OverlapRange {
    uint16_t start = 0;
    uint16_t end = 0;
};

// Checks the two address fields against the memory configuration. On success
// `range` holds the parsed addresses. Every message has the title
// "Address Error".
Validation validateOverlap(std::string_view startText, std::string_view endText,
                           const DeviceSelection& selection, OverlapRange& range);

} // namespace quorvel
