// The SPI serial EEPROM (AT25C010, AT25C020, AT25C040) on port lines.
//
// Lines: SCK (`SpiLines[0]`), chip select (`SpiEepromCs`, active low), and
// either one shared data line "SO&SI" (3 wire, `SpiLines[1]`) or SO
// (`SpiLines[1]`) and SI (`SpiLines[2]`) (4 wire). The program drives SCK,
// chip select and SI through its latches; the device samples SI on rising
// SCK edges (most significant bit first) and presents its output bits on SO
// from the falling SCK edge before the rising edge that reads them (SPI
// modes 0 and 3), by driving the pin's external level. Deselecting releases
// SO again (its pin reads the latch).
//
// Instructions (the low three bits decide; bit 3 is address bit 8 of the
// AT25C040): WREN 6, WRDI 4, RDSR 5, WRSR 1, READ 3, WRITE 2. Write enabling
// follows the real part: WREN sets the write-enable latch (status bit 1),
// WRDI and the end of a write cycle clear it; WRITE and WRSR need it. WRSR
// changes only the block-protect bits (2-3). Block protection forbids writes
// to the upper quarter (BP 1), the upper half (BP 2) or all (BP 3) of the
// memory. "Write Protection" in the settings blocks every write from the bus.
// WRITE stores each byte as it completes; the address advances within its
// 8-byte page (its low three bits wrap). READ continues over further bytes,
// the address wrapping at the device's end; RDSR repeats the status.
//
// Timing: deselecting after a stored byte (or a status write) starts the
// 10 ms write cycle (converted with the machine-cycle time); while it runs
// RDSR returns 0xFF and every other instruction is ignored.
//
// Not modelled: the HOLD and WP pins, the status register's bits 4-7.
#pragma once

#include "chip/chip_state.h"
#include "modules/spi_settings.h"

#include <array>
#include <cstdint>

namespace quorvel {

// Status register bits.
constexpr uint8_t kSpiStatusBusy = 0x01;        // write cycle in progress
constexpr uint8_t kSpiStatusWriteEnable = 0x02; // write-enable latch
constexpr uint8_t kSpiStatusBlockProtect = 0x0C;

// Instruction codes (low three bits).
namespace spi_op {
constexpr uint8_t WRSR = 1, WRITE = 2, READ = 3, WRDI = 4, RDSR = 5, WREN = 6;
}

struct SpiEepromState {
    std::array<uint8_t, kSpiEepromMemorySize> memory; // the first 128, 256 or 512 bytes used
    uint8_t status = 0;         // bit 0 busy, bit 1 write enable, bits 2-3 block protection
    uint16_t pointer = 0;
    uint8_t instruction = 0;
    uint8_t addressByte = 0;
    uint8_t dataByte = 0;
    uint8_t sendByte = 0xFF;
    uint8_t shiftRegister = 0;
    int8_t bitCounter = 7;      // the bit the next rising SCK takes (7 down to 0)
    uint16_t byteCounter = 0;   // bytes completed in this selection
    uint8_t previousSck = 0;
    uint8_t previousCs = 1;
    bool selected = false;
    bool written = false;       // a byte (or the status) was written during this selection
    double writeCountdown = 0;  // machine cycles left of the write cycle

    SpiEepromState() { memory.fill(0xFF); } // erased
    bool operator==(const SpiEepromState&) const = default;
};

// The executor's hook while "Enable SPI Bus" is set; does nothing unless the
// EEPROM is connected. Runs the write-cycle countdown, then chip select, then
// the SCK edge. Returns early when neither SCK nor chip select changed.
// Simulation thread.
void runSpiEeprom(SpiEepromState& eeprom, const SpiSettings& settings, ChipState& chip,
                  int cycles, float cycleTimeUs);

inline bool spiEepromBusy(const SpiEepromState& eeprom) { return eeprom.writeCountdown > 0; }

// Whether a bus write may store at `address`: not under "Write Protection",
// inside the device, and outside the block-protected part.
bool spiEepromWritable(const SpiEepromState& eeprom, const SpiSettings& settings, int address);

// In-place edit from the EEPROM window (user-interface thread, under the
// pause guard): refused under "Write Protection" and outside the device;
// starts no write cycle.
bool editSpiEeprom(SpiEepromState& eeprom, const SpiSettings& settings, int address,
                   uint8_t value);

} // namespace quorvel
