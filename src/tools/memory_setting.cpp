#include "tools/memory_setting.h"

#include "chip/chip_state.h"
#include "chip/overlap.h"

namespace quorvel {

void prepareMemorySetting(MemorySetting& setting, bool hasXdata) {
    if (!hasXdata) setting.overlap = 0;
}

MemorySettingControls memorySettingControls(const MemorySetting& setting, bool hasXdata) {
    MemorySettingControls c;
    c.overlapRadios = hasXdata;
    c.addressFields = hasXdata && setting.overlapOn();
    const bool restore = setting.restoreAtStartup();
    c.clearBoxes = {!restore, !restore, !restore};
    c.restoreBoxes = {restore, restore && hasXdata, restore};
    return c;
}

Validation acceptMemorySetting(MemorySetting& setting, std::string_view startText, std::string_view endText,
                               uint8_t checkedBoxes, const DeviceSelection& selection) {
    if (setting.overlapOn()) {
        OverlapRange range;
        if (Validation error = validateOverlap(startText, endText, selection, range)) return error;
        setting.overlapStart = range.start;
        setting.overlapEnd = range.end;
    }
    setting.startupSelection = checkedBoxes & 0x77;
    return std::nullopt;
}

void applyOverlap(ChipState& chip, const MemorySetting& setting) {
    chip.overlapEnabled = setting.overlapOn() && chip.hasXdata();
    chip.overlapStart = setting.overlapStart;
    chip.overlapEnd = setting.overlapEnd;
}

StartupPlan startupPlan(const MemorySetting& setting) {
    const bool restore = setting.restoreAtStartup();
    const uint8_t bits = restore ? uint8_t(setting.startupSelection >> 4) : setting.startupSelection;
    const StartupMemoryAction action = restore ? StartupMemoryAction::Restore : StartupMemoryAction::Clear;
    auto pick = [&](uint8_t bit) { return (bits & bit) ? action : StartupMemoryAction::None; };
    return {pick(0x01), pick(0x02), pick(0x04)};
}

} // namespace quorvel
