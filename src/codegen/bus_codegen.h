// Driver generation for the two serial buses wired to port lines: IIC
// routines for the PCF8583 clock and the AT24C01-AT24C16 EEPROMs, and SPI
// routines for the AT25C010-AT25C040 EEPROMs.
//
// "Use Same Setting as in Simulation" takes the wiring (and the device
// options) from the module settings; otherwise the record's own copy is
// used. Neither the dialog's port-line selection nor the generation ever
// changes the module settings: the port-line dialog works on the copy that
// `...PortLineCopy` returns and `accept...PortLines` takes back.
#pragma once

#include "codegen/code_template.h"
#include "common/user_message.h"
#include "modules/iic_settings.h"
#include "modules/spi_settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// ---------------------------------------------------------------- IIC

// `IicCodeGenSettings::routines` bits.
constexpr uint8_t kIicGenRtcRead = 0x01;
constexpr uint8_t kIicGenRtcWrite = 0x02;
constexpr uint8_t kIicGenEepromRead = 0x04;
constexpr uint8_t kIicGenEepromWrite = 0x08;
// `rtc` bits.
constexpr uint8_t kIicGenSameAsSimulation = 0x01;
constexpr uint8_t kIicGenRtcA0 = 0x02;
// `eepromLevels` bits 3-1: A2, A1, A0 (as the module's EEPROM options).

struct IicCodeGenSettings {
    uint8_t routines = 0;
    std::array<PinRef, 3> lines{}; // SDA, SCL, a third entry carried along
    uint8_t rtc = 0;
    uint8_t eepromLevels = 0;
    uint8_t eepromType = 0; // 0-4: AT24C01 ... AT24C16
};

// The record with the module's wiring and device options put in when "Use
// Same Setting as in Simulation" is on; the record itself otherwise.
IicCodeGenSettings iicSettingsInUse(const IicCodeGenSettings& record, const IicSettings& module);
// The module settings the port-line dialog edits, and taking its result back.
IicSettings iicPortLineCopy(const IicCodeGenSettings& record, const IicSettings& module);
void acceptIicPortLines(IicCodeGenSettings& record, const IicSettings& edited);

// Device address bytes for reading (A1H plus the address levels in use).
uint8_t iicRtcDeviceByte(const IicCodeGenSettings& inUse);
uint8_t iicEepromDeviceByte(const IicCodeGenSettings& inUse);

std::string iicSummary(const IicCodeGenSettings& record, const IicSettings& module);
// Generate: SCL and SDA must be two port lines. With "Use Same Setting as in
// Simulation" and no IIC part wired in the simulation there are none; the
// message to show, and the dialog stays as the user filled it.
Validation checkIicCodeGen(const IicCodeGenSettings& record, const IicSettings& module);
GeneratedCode generateIicCode(const IicCodeGenSettings& record, const IicSettings& module);

// ---------------------------------------------------------------- SPI

// `SpiCodeGenSettings::routines` bits.
constexpr uint8_t kSpiGenRead = 0x01;
constexpr uint8_t kSpiGenWrite = 0x02;
// `bus` bits.
constexpr uint8_t kSpiGenSameAsSimulation = 0x01;
constexpr uint8_t kSpiGenFourWire = 0x04; // else "3 Wire"

struct SpiCodeGenSettings {
    uint8_t routines = 0;
    uint8_t bus = 0;
    std::array<PinRef, 3> lines{}; // SCK, SO (SO&SI on a 3-wire bus), SI
    PinRef cs = 0;
    uint8_t eepromType = 0; // 0-2: AT25C010, AT25C020, AT25C040
};

SpiCodeGenSettings spiSettingsInUse(const SpiCodeGenSettings& record, const SpiSettings& module);

// The port-line selection: the bus lines of the module's dialog ("SCK",
// "SO ", "SI " or "SCK", "SO&SI") and then the chip-enable line "CS ", on
// the record's own copy; entry i is `lines[i]` and the last entry `cs`.
std::vector<std::string> spiCodeGenControlLines(const SpiCodeGenSettings& record);
PinRef spiCodeGenLine(const SpiCodeGenSettings& record, int entry);
void setSpiCodeGenLine(SpiCodeGenSettings& record, int entry, PinRef line);
std::vector<std::string> spiCodeGenSummaryLines(const SpiCodeGenSettings& record);

std::string spiSummary(const SpiCodeGenSettings& record, const SpiSettings& module);
GeneratedCode generateSpiCode(const SpiCodeGenSettings& record, const SpiSettings& module);

} // namespace quorvel
