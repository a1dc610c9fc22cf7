// What the user configured for the two-wire (IIC) bus: the bus lines, the
// serial EEPROM (AT24C01 ... AT24C16) and the PCF8583 clock. Fields keep their
// stored names, widths and order (seven single bytes in the settings block).
//
// Also the pure logic of the three IIC dialogs: cleaning when a window or
// dialog opens, the "Summary:" lines, which address pins a type leaves
// selectable, and what Cancel restores.
#pragma once

#include "chip/port_pins.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// `IicOptions` bits.
constexpr uint8_t kIicEnableBus = 0x01;
// `RtcOptions` bits.
constexpr uint8_t kRtcConnected = 0x01;
constexpr uint8_t kRtcA0 = 0x02;
constexpr uint8_t kRtcSystemTime = 0x04;    // "Use System RTC Time"
constexpr uint8_t kRtcInterruptLine = 0x08; // kept for the settings; no effect on the model
// `EepromOptions` bits.
constexpr uint8_t kEepromConnected = 0x01;
constexpr uint8_t kEepromA0 = 0x02;
constexpr uint8_t kEepromA1 = 0x04;
constexpr uint8_t kEepromA2 = 0x08;
constexpr uint8_t kEepromWriteProtect = 0x10;

enum class IicEepromType : uint8_t { AT24C01, AT24C02, AT24C04, AT24C08, AT24C16 };
constexpr int kIicEepromTypeCount = 5;
constexpr int kIicEepromMemorySize = 2048; // the largest type
constexpr int kRtcMemorySize = 256;

struct IicSettings {
    uint8_t IicOptions = 0;
    uint8_t RtcOptions = 0;
    PinRef RtcInterrupt = 0; // the RTC interrupt line of that option; no effect on the model
    uint8_t EepromOptions = 0;
    uint8_t EepromType = 0;  // IicEepromType; a stored value above 4 is taken as 0
    PinRef IicScl = 0;
    PinRef IicSda = 0;

    bool operator==(const IicSettings&) const = default;
};

// The type as the model uses it: a stored value above 4 is AT24C01.
constexpr int iicEepromType(const IicSettings& s) { return s.EepromType > 4 ? 0 : s.EepromType; }

// Per EEPROM type: memory size, the address-byte mask compared with
// 0xA0 + address pins, and the block bits (address byte bits 1-3) that select
// the 256-byte block.
struct IicEepromTypeInfo {
    const char* name;     // "AT24C01" ...
    uint16_t size;        // 128 ... 2048 bytes
    uint8_t matchMask;    // address byte bits compared
    uint8_t blockMask;    // (address byte >> 1) & blockMask = block number
    uint8_t pinMask;      // EepromOptions bits A2A1A0 the type compares
    uint16_t writableUnderProtection; // addresses below this stay writable with "Write Protection"
};
const IicEepromTypeInfo& iicEepromTypeInfo(int type);

// "2 Wire Serial EEPROM - AT24C01" ... by type; the clock window's title.
std::string iicEepromWindowTitle(const IicSettings& s);
extern const char* const kRtcWindowTitle;

// Window or dialog opening: both bus lines and the clock's interrupt line are
// cleaned; a type above 4 becomes 0.
void cleanIicSettings(IicSettings& s);

// At start-up and after settings are read: a line naming a port line outside
// `AvailablePinMask` becomes P1.0.
void replaceUnavailableIicLines(IicSettings& s, uint32_t availableMask);

// "IIC Bus Setting": the "Summary:" lines ("SCL - P1.0", "SDA - P1.1"; the
// dialog ends each with a line break).
std::vector<std::string> iicSummaryLines(const IicSettings& s);

// "IIC EEPROM Setting": whether the A2, A1, A0 pin groups are selectable for
// a type (pins the type uses for block bits are disabled).
struct IicAddressPinEnabling {
    bool a2, a1, a0;
};
IicAddressPinEnabling iicAddressPinEnabling(int type);

} // namespace quorvel
