// What the user configured for the SPI bus on port lines and its serial
// EEPROM (AT25C010, AT25C020, AT25C040). Fields keep their stored names,
// widths and order (six single bytes in the settings block). Line names are
// the EEPROM's: SI is its input (the program's output), SO its output.
//
// Also the pure logic of the two SPI dialogs: cleaning, the "Control Line:"
// and "Summary:" texts for 3- and 4-wire buses, and what Cancel restores.
#pragma once

#include "chip/port_pins.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// `SpiOptions` bits.
constexpr uint8_t kSpiEnableBus = 0x01;
constexpr uint8_t kSpiDeviceKind = 0x02; // 0: EEPROM (the only kind offered)
constexpr uint8_t kSpiFourWire = 0x04;   // else "3 Wire"
// `SpiEepromOptions` bits.
constexpr uint8_t kSpiEepromConnected = 0x01;
constexpr uint8_t kSpiEepromTypeMask = 0x06; // bits 1-2: 0 AT25C010, 1 AT25C020, 2 AT25C040
constexpr int kSpiEepromTypeShift = 1;
constexpr uint8_t kSpiEepromWriteProtect = 0x08;

// `SpiLines` indices.
constexpr int kSpiSck = 0;
constexpr int kSpiSo = 1; // "SO&SI" on a 3-wire bus
constexpr int kSpiSi = 2; // 4-wire bus only

constexpr int kSpiEepromMemorySize = 512; // the largest type
constexpr int kSpiEepromTypeCount = 3;

struct SpiSettings {
    uint8_t SpiOptions = 0;
    std::array<PinRef, 3> SpiLines{}; // SCK, SO (or SO&SI), SI
    uint8_t SpiEepromOptions = 0;
    PinRef SpiEepromCs = 0;           // "Select Chip Enable Line:"

    bool operator==(const SpiSettings&) const = default;
};

constexpr bool spiFourWire(const SpiSettings& s) { return s.SpiOptions & kSpiFourWire; }
// The type as the model uses it: a stored 3 is AT25C010.
constexpr int spiEepromType(const SpiSettings& s) {
    const int type = (s.SpiEepromOptions & kSpiEepromTypeMask) >> kSpiEepromTypeShift;
    return type == 3 ? 0 : type;
}
// 128, 256 or 512 bytes.
int spiEepromSize(int type);
const char* spiEepromTypeName(int type); // "AT25C010" ...

// "SPI EEPROM - AT25C010" ... by type.
std::string spiEepromWindowTitle(const SpiSettings& s);

// Window or dialog opening: the lines and the chip select are cleaned; type
// 3 becomes 0.
void cleanSpiSettings(SpiSettings& s);

// At start-up and after settings are read: a line naming a port line outside
// `AvailablePinMask` becomes P1.0.
void replaceUnavailableSpiLines(SpiSettings& s, uint32_t availableMask);

// "SPI Bus Setting": the "Control Line:" entries (entry i is `SpiLines`
// index i) and the "Summary:" lines (the dialog ends each with a line break).
std::vector<std::string> spiControlLines(const SpiSettings& s);
std::vector<std::string> spiSummaryLines(const SpiSettings& s);
// Cancel of "SPI Bus Setting": `SpiOptions` and all three lines return to
// what they were when it opened (the third line too, which a 4-wire bus
// changes as well).
void cancelSpiBusDialog(SpiSettings& live, const SpiSettings& opened);

} // namespace quorvel
