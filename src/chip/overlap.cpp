#include "chip/overlap.h"

#include "common/hex_field.h"

namespace quorvel {

Validation validateOverlap(std::string_view startText, std::string_view endText,
                           const DeviceSelection& selection, OverlapRange& range) {
    auto fail = [](const char* text) { return errorMessage("Address Error", text); };
    auto start = parseHexField(startText);
    if (!start) return fail("Illegal Overlap Starting Address.");
    auto end = parseHexField(endText);
    if (!end) return fail("Illegal Overlap Ending Address.");
    if (*end < *start) return fail("Illegal Address.");

    const uint16_t xdata = selection.xdataLimit;
    const uint16_t code = selection.codeLimit;
    if (selection.xdataLimit == 0 || xdata < *end || xdata < *start)
        return fail("No External Data Memory in Given Address.");

    switch (selection.programMode) {
    case ProgramMemoryMode::InternalOnly: return fail("No External Program Memory.");
    case ProgramMemoryMode::ExternalOnly:
        if (code < *end || code < *start) return fail("No External Program Memory in Given Address.");
        break;
    case ProgramMemoryMode::Both:
        if (uint32_t(*start) < uint32_t(selection.info().onChipKB) * 1024)
            return fail("User cannot Overlap the Internal Flash Memory.");
        if (code < *end) return fail("No External Program Memory in Given Address.");
        break;
    }
    range = {*start, *end};
    return std::nullopt;
}

} // namespace quorvel
