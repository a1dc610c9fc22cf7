// The outside half of the four 8-bit ports: what the world puts on each pin.
//
// Every port line has an output latch (the P0-P3 SFR byte, owned by the chip
// state) and an external level kept here. Each line also has an input
// setting: "0" or "1" (driven low or high from outside), "NC" (not connected,
// the setting every line starts with), "Pulse" (a pulse source that idles
// high; its button gives one falling edge) or "Analog" (a comparator input
// whose level follows its voltage). The level of a line is its latch ANDed
// with what drives it from outside; a line nothing drives ("NC") reads its
// own latch, as the chip's pull-ups make it. Modules drive
// lines through `drivePin`/`releasePin`; the I/O window sets input settings.
//
// Pins are indexed port * 8 + bit (P1.0 = 8, P3.2 = 26). Port bytes are packed
// into one 32-bit word, port 0 in bits 0-7, so a byte read combines latch and
// level with two masks instead of a loop over the 32 lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quorvel {

// A port line named in module settings: port in the high nibble, bit in the
// low three bits (P2.5 = 0x25). Where a fixed level is allowed, 0x40 is "+5V"
// and 0x41 (or anything above) is "GND".
using PinRef = uint8_t;
constexpr PinRef kPinPlus5V = 0x40;
constexpr PinRef kPinGnd = 0x41;

constexpr int pinIndex(PinRef ref) { return ((ref >> 4) & 3) * 8 + (ref & 7); }
constexpr PinRef pinRefFromIndex(int index) { return PinRef(((index / 8) << 4) | (index % 8)); }

// "P%1d.%1d", or "+5V" / "GND" for the fixed levels.
std::string pinRefName(PinRef ref);

// Cleaning applied when a module's window or dialog opens: bits 3 and 7 are
// cleared, and a value still above 0x40 keeps only its bit number.
PinRef cleanPinRef(PinRef ref);

// Cleaning for fields that may hold a fixed level (LED commons, LCD control
// lines): "+5V" stays, every "GND" code becomes 0x41, the rest is cleaned as
// above. (The plain rule would turn GND, 0x41, into P0.1.)
PinRef cleanFixedLevelPinRef(PinRef ref);

// Port lines with a second function (pin indexes).
namespace pin {
constexpr int T2 = 8;    // P1.0: timer 2 counter input and clock-out
constexpr int T2EX = 9;  // P1.1: timer 2 capture/reload trigger
constexpr int MOSI = 13; // P1.5
constexpr int MISO = 14; // P1.6
constexpr int SCK = 15;  // P1.7
constexpr int RXD = 24;  // P3.0
constexpr int TXD = 25;  // P3.1
constexpr int INT0 = 26; // P3.2
constexpr int INT1 = 27; // P3.3
constexpr int T0 = 28;   // P3.4
constexpr int T1 = 29;   // P3.5
constexpr uint32_t bit(int index) { return 1u << index; }
} // namespace pin

enum PinInputSetting : uint8_t {
    kInput0 = 0,
    kInput1 = 1,
    kInputNC = 2,
    kInputPulse = 3, // "Pulse" on counter/interrupt pins, "Analog" on P1.0/P1.1
};

// One-shot requests raised by the I/O window's pulse buttons, taken and
// cleared by the timer and interrupt logic.
enum PulseRequest : uint8_t {
    kPulseT0 = 0x01,
    kPulseT1 = 0x02,
    kPulseT2 = 0x04,
    kPulseInt0 = 0x08,
    kPulseInt1 = 0x10,
    kPulseT2ex = 0x20,
};

constexpr uint32_t kAllLines = 0xFFFFFFFFu;

struct PinState {
    PinState() { setting.fill(kInputNC); }

    std::array<uint8_t, 32> setting; // PinInputSetting per pin index
    uint32_t levels = kAllLines;     // what drives each line from outside, port n in bits 8n..8n+7
    uint32_t ncMask = kAllLines;     // bit n set while line n is unconnected
    uint8_t pulseRequests = 0;       // PulseRequest bits

    bool level(int index) const { return (levels >> index) & 1u; }

    // Sets one pin's input setting and keeps the "NC" mask in step. Does not
    // touch the level; use `applySettings` or the drive/release calls for that.
    void setSetting(int index, uint8_t value);

    // Every line's level: its latch ANDed with the outside level, the latch
    // alone where nothing drives it.
    uint32_t lineLevels(uint32_t latches) const { return latches & (levels | ncMask); }
    bool readBit(int index, uint32_t latches) const { return (lineLevels(latches) >> index) & 1u; }
    uint8_t readPort(int port, uint32_t latches) const {
        return uint8_t(lineLevels(latches) >> (port * 8));
    }

    // For every pin: "0" clears the level, the others set it (a pulse source
    // idles high; an analog input's level is set from its voltage after).
    void applySettings(uint32_t latches);

    // A module drives the line: the level follows, and the input setting
    // becomes "1" or "0" so the I/O window and later reads agree.
    void drivePin(int index, bool high) {
        uint32_t bit = 1u << index;
        levels = high ? (levels | bit) : (levels & ~bit);
        setting[index] = high ? kInput1 : kInput0;
        ncMask &= ~bit;
    }

    // A module lets go of an open-drain line (IIC): it reads its latch again.
    void releasePin(int index, uint32_t latches) {
        uint32_t bit = 1u << index;
        levels = (levels & ~bit) | (latches & bit);
        setting[index] = kInputNC;
        ncMask |= bit;
    }

    // A part connects the line to a level without changing its input setting
    // (a matrix keypad joining a row to a column): the line is driven from
    // now on, until its setting is set again.
    void holdLevel(int index, bool high) {
        setLevel(index, high);
        ncMask &= ~(1u << index);
    }

    // Sets the external level without changing the input setting (sliders,
    // keys that keep their "NC"/"Pulse" setting).
    void setLevel(int index, bool high) {
        uint32_t bit = 1u << index;
        levels = high ? (levels | bit) : (levels & ~bit);
    }
    bool operator==(const PinState&) const = default;
};

} // namespace quorvel
