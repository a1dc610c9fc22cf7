// The device catalogue (ten members of the 8051 family) and the user's
// selection: device, clock, program-memory mode and external memory sizes.
// Also the pure logic of the three device dialogs (validation, enabling,
// labels), so the GUI, the command-line runner and the tests share it.
#pragma once

#include "common/user_message.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The number is what settings files store.
enum class DeviceKind : uint8_t {
    AT89C2051 = 0,
    AT89C4051 = 1,
    AT89C51 = 2,
    AT89C52 = 3,
    AT89C55 = 4,
    AT89S53 = 5,
    AT89S8252 = 6,
    I8031 = 7,
    I8032 = 8,
    AT89C1051 = 9,
};
constexpr int kDeviceCount = 10;

struct DeviceInfo {
    DeviceKind kind;
    const char* comboText;   // as listed in the "Select Device:" box
    const char* captionName; // as named in the frame caption
    int onChipKB;            // on-chip program memory
    int ramSize;             // internal RAM the views show: 64, 128 or 256
    bool eeprom;             // 2048-byte on-chip EEPROM (AT89S8252)
    bool dualDptr;           // MOVX @DPTR honours WMCON.DPS
    bool memoryButtons;      // external memory can be configured
    bool externalOnly;       // no on-chip program memory (8031/8032)
    uint32_t maxFrequency;   // Hz
    uint32_t pinMask;        // lines offered to modules, before the bus takes P0/P2
    uint16_t demoMask;       // Demo menu entries offered: bit k-1 Demo k, bits 12-14 projects
    bool has40Pins() const { return pinMask != 0xBF00FF00u; }
};

const DeviceInfo& deviceInfo(DeviceKind kind);
// The combo box lists AT89C1051 first: index 0 is kind 9, index i is kind i-1.
DeviceKind deviceKindOfComboIndex(int index);
int comboIndexOfDeviceKind(DeviceKind kind);
// The "Device Features:" text, lines separated by CR LF.
std::string deviceFeatureText(DeviceKind kind);
// Parses a device name as users type it: "AT89C52", "89c52", "8031", ...
// Returns false when the name is unknown.
bool parseDeviceName(std::string_view name, DeviceKind& kind);

enum class ProgramMemoryMode : uint8_t { InternalOnly = 0, ExternalOnly = 1, Both = 2 };

// Sizes of the external program memory choices 0-5.
constexpr std::array<int, 6> kExternalProgramKB{2, 4, 8, 16, 32, 64};
// External data memory choices: 0 none, then 2K .. 64K.
constexpr std::array<int, 7> kExternalDataKB{0, 2, 4, 8, 16, 32, 64};

float machineCycleTimeUs(uint32_t frequencyHz);

struct DeviceSelection {
    DeviceKind kind = DeviceKind::AT89C2051;
    uint32_t frequency = 12000000;
    float cycleTimeUs = 1.0f;
    ProgramMemoryMode programMode = ProgramMemoryMode::InternalOnly;
    uint8_t externalSizeChoice = 0; // index into kExternalProgramKB
    uint16_t codeLimit = 2047;
    uint16_t xdataLimit = 0; // no external data memory until configured

    const DeviceInfo& info() const { return deviceInfo(kind); }
    bool operator==(const DeviceSelection&) const = default;
};

// Code limit from mode, device and size choice, in 16 bits ("Internal Only"
// on a device without on-chip memory gives 65535).
uint16_t computeCodeLimit(DeviceKind kind, ProgramMemoryMode mode, int sizeChoice);

// ---- "Quorvel Simulator - Select Device" (IDM_SELECTDEVICE)

// OK of the device dialog, in the dialog's order. Changes `selection` the way
// the steps do (a frequency above the maximum stays stored) and returns the
// message to show when the dialog must stay open. `comboIndex` is -1 when
// nothing is selected.
Validation acceptDeviceDialog(DeviceSelection& selection, std::string_view frequencyText,
                              int comboIndex);
// The memory buttons are disabled for the devices with fixed program memory.
bool deviceMemoryButtonsEnabled(DeviceKind kind);

// ---- "Program Memory Setting" (IDM_SELECTDEVICEMEMORY)

bool internalModesEnabled(DeviceKind kind); // "Internal Only" and "Both"
bool sizeButtonsEnabled(ProgramMemoryMode mode);
std::string sixthSizeLabel(DeviceKind kind, ProgramMemoryMode mode); // "56K", "64K"
int initialSizeChoice(DeviceKind kind, ProgramMemoryMode mode, uint16_t codeLimit);

// ---- "Data Memory Setting" (IDM_SELECTDEVICEMEMORY1)

// The choice that matches the current limit (0 none, 1 = 2K ... 6 = 64K), so
// that OK without a change keeps the configured size.
int dataMemoryChoiceOf(uint16_t xdataLimit);
uint16_t xdataLimitOfChoice(int choice);

// ---- applying a device

// What the machine and the frame take from the selected device.
struct DeviceProfile {
    int ramSize = 128;
    bool eeprom = false;
    bool dualDptr = false;
    uint32_t availablePinMask = 0;
    std::string caption;              // "Quorvel Simulator - Simulated Device: AT89C52"
    std::vector<int> disabledCommands; // command identifiers the device cannot use
    bool operator==(const DeviceProfile&) const = default;
};

// Fixes the code and data limits the device imposes (in `selection`) and
// returns the profile: RAM, EEPROM, dual DPTR, the reduced pin mask, the
// caption and the commands to disable.
DeviceProfile applyDevice(DeviceSelection& selection);

// `AvailablePinMask` of a selection: the device's lines, less P0 and P2 on a
// 40-pin device whose bus is in use.
uint32_t availablePinMask(const DeviceSelection& selection);

constexpr const char* kAppTitle = "Quorvel Simulator";

} // namespace quorvel
