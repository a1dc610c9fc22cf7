// Driver generation for the on-chip serial port: INITIALIZE_SERIALPORT,
// RECEIVE_BYTE and TRANSMIT_BYTE for the chosen mode, SM2, SMOD and baud-rate
// generator, with the timer reload computed from the clock.
#pragma once

#include "codegen/code_template.h"
#include "chip/device.h"

#include <array>
#include <cstdint>
#include <string>

namespace quorvel {

// `SerialCodeGenSettings::options` bits.
constexpr uint8_t kSerialGenInit = 0x01;     // "Initialization"
constexpr uint8_t kSerialGenReceive = 0x02;  // "Receive"
constexpr uint8_t kSerialGenTransmit = 0x04; // "Transmit"
constexpr uint8_t kSerialGenTimer2 = 0x08;   // baud-rate generator "Timer 2" (else "Timer 1")
constexpr uint8_t kSerialGenModeMask = 0x30; // "Mode 0" ... "Mode 3"
constexpr int kSerialGenModeShift = 4;
constexpr uint8_t kSerialGenSmod = 0x40;     // SMOD "1"
constexpr uint8_t kSerialGenSm2 = 0x80;      // "SM2"

constexpr int kBaudRateCount = 10;
constexpr std::array<uint32_t, kBaudRateCount> kBaudRates{110,  300,  600,   1200,  2400,
                                                          4800, 9600, 14400, 19200, 38400};
constexpr int kNoBaudRate = -1;

struct SerialCodeGenSettings {
    uint8_t options = 0;
    int baudIndex = 0; // 0-9, or kNoBaudRate when none can be selected
    std::array<uint16_t, kBaudRateCount> reload{};
    std::array<bool, kBaudRateCount> available{};
};

constexpr int serialGenMode(uint8_t options) {
    return (options & kSerialGenModeMask) >> kSerialGenModeShift;
}

// Whether the device has timer 2 to offer as baud-rate generator.
bool serialTimer2Offered(DeviceKind kind);

// On a device without timer 2 the generator choice is forced to timer 1.
void applySerialDevice(SerialCodeGenSettings& settings, DeviceKind kind);

// Recomputes the reload table and the availability for the clock, the mode's
// generator and SMOD, and moves an unavailable selection up to the next
// available rate (none above it: no rate; the next recomputation then starts
// again from the lowest rate).
void computeBaudTable(SerialCodeGenSettings& settings, uint32_t frequencyHz);

// The mode's description line shown in the dialog.
std::string serialModeDescription(uint8_t options);

// Which controls of the dialog are enabled.
struct SerialDialogEnabling {
    bool modeRadios;
    bool sm2;
    bool generator; // "Timer 1" / "Timer 2" pair (Timer 2 only where offered)
    bool timer2;
    bool smod;
    bool baudRadios; // each further limited by `available`
    bool generate;   // "Generate  Code"
};
SerialDialogEnabling serialDialogEnabling(const SerialCodeGenSettings& settings, DeviceKind kind);

// The SCON value the initialisation writes: receiver enabled, the mode, SM2.
uint8_t serialControlByte(uint8_t options);

// The sections for the settings. An initialisation in mode 1 or 3 without a
// reachable baud rate returns a message instead of code.
struct SerialGeneration {
    GeneratedCode code;
    Validation message;
};
SerialGeneration generateSerialCode(const SerialCodeGenSettings& settings);

} // namespace quorvel
