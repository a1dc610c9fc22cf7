// The two-wire (IIC) bus with its two devices: one serial EEPROM of the
// AT24C01 ... AT24C16 family and one PCF8583 clock with 256 bytes of RAM.
//
// Lines: SCL and SDA (`IicScl`, `IicSda`). The program is the bus master and
// drives both lines through its port latches; the bus watches the two latches
// after every instruction. The devices answer on SDA through its external
// level (drive pin) and let go of it again (release pin: the pin reads its own
// latch), like open-drain outputs:
// - a device that accepts a byte pulls SDA low from the eighth rising SCL
//   edge to the falling edge that ends the acknowledge clock; at the end of
//   every byte both lines are released first, so an absent, unaddressed or
//   busy device reads as no acknowledge;
// - in a read, each data bit stands on SDA from a falling SCL edge until the
//   next one, most significant bit first; after bit 0 the device releases SDA
//   for the master's acknowledge and, if the master acknowledged, presents
//   the next byte (sequential read); a master's no-acknowledge ends the read.
// Lines no device holds are released whenever the master changes one (the
// bus's pull-up resistors), so a master reads its own 1 back from the start.
// Start (SDA falls while SCL is high) restarts the transfer at the address
// byte; stop (SDA rises while SCL is high) ends it; clocks outside a transfer
// are ignored.
//
// Timing: the EEPROM's write cycle lasts 10 ms of simulated time (converted
// with the machine-cycle time). It starts at the stop condition of a transfer
// that stored at least one byte; bytes of a transfer are stored as they
// complete (no page buffer, no page roll-over: consecutive bytes go to
// consecutive addresses). While the cycle runs the EEPROM ignores the bus (no
// acknowledge). The clock counts seconds when told to by `rtcTick` (the
// frame's one-second timer), not by machine cycles.
//
// Every device pointer wraps at its device's size (EEPROM 128 ... 2048 bytes,
// clock 256), as the real parts do on sequential accesses.
//
// Not modelled: clock stretching, bus arbitration, the EEPROMs' page write
// buffer, the clock's alarm, timer and event-counter modes and its interrupt
// output, leap years (February always has 28 days).
#pragma once

#include "chip/chip_state.h"
#include "modules/iic_settings.h"

#include <array>
#include <cstdint>

namespace quorvel {

struct IicBusState {
    uint8_t previousLevels = 0x3; // bit 0 SCL, bit 1 SDA, as of the previous step
    int8_t bitCounter = 9;        // 9 before the first bit of a byte (see iic_bus.cpp)
    uint8_t shiftRegister = 0;
    uint16_t byteIndex = 0;       // 0 = the device address byte
    uint8_t addressByte = 0;
    uint8_t wordAddress = 0;
    uint8_t dataByte = 0;
    uint8_t sendByte = 0xFF;      // the byte the devices present in a read
    bool startSeen = false;       // a transfer is open from a start ...
    bool stopSeen = false;        // ... until a stop
    uint8_t selected = 0;         // devices that acknowledged the address byte
    bool masterAck = false;       // the master acknowledged the last byte read
    bool sdaDriven = false;       // a device holds SDA (acknowledge or read data)
    bool operator==(const IicBusState&) const = default;
};

// `IicBusState::selected` bits.
constexpr uint8_t kIicSelectedRtc = 0x01;
constexpr uint8_t kIicSelectedEeprom = 0x02;

struct IicEepromState {
    std::array<uint8_t, kIicEepromMemorySize> EepromMemory; // the first 128 ... 2048 bytes used
    uint16_t EepromPointer = 0;
    double writeCountdown = 0; // machine cycles left of the write cycle
    bool written = false;      // a byte was stored since the last write cycle started

    IicEepromState() { EepromMemory.fill(0xFF); } // erased
    bool operator==(const IicEepromState&) const = default;
};

struct RtcState {
    std::array<uint8_t, kRtcMemorySize> RtcMemory{};
    uint16_t RtcPointer = 0;
    bool operator==(const RtcState&) const = default;
};

struct IicState {
    IicBusState bus;
    IicEepromState eeprom;
    RtcState rtc;
    bool operator==(const IicState&) const = default;
};

// PCF8583 register map (BCD values).
namespace rtc {
constexpr int Control = 0;    // bit 7 stops counting, bit 3 mask flag
constexpr int Hundredths = 1;
constexpr int Seconds = 2;
constexpr int Minutes = 3;
constexpr int Hours = 4;      // bits 0-5 hour, bit 7 12-hour format, bit 6 PM
constexpr int YearDate = 5;   // bits 6-7 year (0-3), bits 0-5 date
constexpr int WeekdayMonth = 6; // bits 5-7 weekday (0-6), bits 0-4 month
constexpr uint8_t StopCounting = 0x80;
constexpr uint8_t MaskFlag = 0x08;
constexpr uint8_t Format12h = 0x80;
constexpr uint8_t Pm = 0x40;
} // namespace rtc

// The executor's hook while "Enable Bus" is set: the EEPROM write-cycle
// countdown is decreased by the instruction's cycles while it is above 0,
// then the bus looks at SCL and SDA. Returns at once when neither latch
// changed. Simulation thread.
void runIicBus(IicState& iic, const IicSettings& settings, ChipState& chip, int cycles,
               float cycleTimeUs);

// Whether the EEPROM is in its write cycle (it does not answer).
inline bool iicEepromBusy(const IicEepromState& eeprom) { return eeprom.writeCountdown > 0; }

// The local time as the frame reads it from the system clock; tests inject it.
struct LocalTime {
    int year = 2000;
    int month = 1;       // 1-12
    int day = 1;         // 1-31
    int weekday = 6;     // 0 Sunday ... 6 Saturday
    int hour = 0;        // 0-23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The clock's one-second tick (the frame's timer; user-interface thread,
// under the pause guard while a run is active). Nothing happens unless the
// clock is connected and counting (control bit 7 clear). With "Use System
// RTC Time" `now` is copied in; otherwise the clock counts one second, with
// BCD carries through minutes, hours, date, month and year. Returns whether
// the registers changed (the clock window then refreshes its copy of
// locations 1 to 6).
bool rtcTick(RtcState& rtc, const IicSettings& settings, const LocalTime& now);

// An in-place edit from the EEPROM window (user-interface thread, under the
// pause guard). It obeys "Write Protection" like a bus write but starts no
// write cycle; returns false when the byte is refused or outside the device.
bool editIicEeprom(IicEepromState& eeprom, const IicSettings& settings, int address,
                   uint8_t value);

// Whether the EEPROM may store a byte at `address` under the settings' write
// protection (the bus and the window use the same rule).
bool iicEepromWritable(const IicSettings& settings, int address);

} // namespace quorvel
