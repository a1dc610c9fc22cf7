// The Memory Setting dialog's logic: the program/data overlap and what the
// simulator does with each memory when it starts (clear it to FF, or restore
// the image stored with the settings). The dialog edits a copy of
// `MemorySetting`; Cancel simply drops the copy.
#pragma once

#include "chip/device.h"
#include "common/user_message.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvel {

struct ChipState;

// Start-up selection bits: three Clear boxes and three Restore boxes.
namespace startup {
constexpr uint8_t ClearProgram = 0x01;
constexpr uint8_t ClearExternal = 0x02;
constexpr uint8_t ClearInternal = 0x04;
constexpr uint8_t RestoreProgram = 0x10;
constexpr uint8_t RestoreExternal = 0x20;
constexpr uint8_t RestoreInternal = 0x40;
} // namespace startup

// The values as the settings file stores them.
struct MemorySetting {
    uint8_t overlap = 0; // 0 off, 2 on
    uint16_t overlapStart = 0;
    uint16_t overlapEnd = 0;
    uint8_t startupAction = 0;    // 0 clear, 2 restore
    uint8_t startupSelection = 0; // startup:: bits

    bool overlapOn() const { return overlap == 2; }
    bool restoreAtStartup() const { return startupAction == 2; }
    bool operator==(const MemorySetting&) const = default;
};

// Which controls are enabled, in the order Program, External, Internal for
// the check boxes.
struct MemorySettingControls {
    bool overlapRadios = false;
    bool addressFields = false;
    std::array<bool, 3> clearBoxes{};
    std::array<bool, 3> restoreBoxes{};
};

// Opening the dialog: without external data memory overlap is switched off.
void prepareMemorySetting(MemorySetting& setting, bool hasXdata);
MemorySettingControls memorySettingControls(const MemorySetting& setting, bool hasXdata);

// OK: the check boxes give the start-up selection; with overlap on, the two
// address fields are checked against the memory configuration (caption
// "Address Error"; the dialog stays open on a message).
Validation acceptMemorySetting(MemorySetting& setting, std::string_view startText, std::string_view endText,
                               uint8_t checkedBoxes, const DeviceSelection& selection);

// Puts the overlap window into the chip.
void applyOverlap(ChipState& chip, const MemorySetting& setting);

// What happens at start-up to program, external and internal data memory.
enum class StartupMemoryAction : uint8_t { None, Clear, Restore };
struct StartupPlan {
    StartupMemoryAction program = StartupMemoryAction::None;
    StartupMemoryAction external = StartupMemoryAction::None;
    StartupMemoryAction internal = StartupMemoryAction::None;
};
StartupPlan startupPlan(const MemorySetting& setting);

} // namespace quorvel
