// What the user configured for the external parts: which port lines each part
// is wired to and its options. Fields keep their stored names and widths, in
// stored order per part, so that the settings files can map them byte by byte
// (the IIC, SPI and serial-host fields are kept in their own structs).
//
// Also the rules every window and settings dialog of these parts applies when
// it opens (cleaning of stored line codes and options), the limits the dialogs
// offer (digit counts by wiring and available lines), and the texts and
// entries of the port-line dialogs.
//
// Threads: read by the models on the simulation thread; the dialogs change
// them on the user-interface thread under the pause guard while a run is
// active.
#pragma once

#include "chip/port_pins.h"
#include "modules/iic_settings.h"
#include "modules/serial_host_settings.h"
#include "modules/spi_settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// ---- LED and seven-segment displays

// `LedOptions` bits.
constexpr uint8_t kLedPointGreen = 0x01;      // point-LED colour "Green" (else "Red")
constexpr uint8_t kLedDigitGreen = 0x02;      // digit colour "Green" (else "Red")
constexpr uint8_t kLedNonMultiplexed = 0x04;  // "Non-Multiplexed" (else "Multiplexed")
constexpr uint8_t kLedBcd = 0x08;             // data input "BCD" (else "7 Segment")
constexpr uint8_t kLedExternalMux = 0x10;     // "External Multiplexer"
constexpr uint8_t kLedDecoderMask = 0x60;     // 0 "2 to 4", 1 "3 to 8", 2 "4 to 16"
constexpr int kLedDecoderShift = 5;
constexpr uint8_t kLedCommonCathode = 0x80;   // "Common Cathode" (else "Common Anode")

constexpr int kLedLineCount = 45;
constexpr int kLedMaxDigits = 16;

// ---- LCD

// `LcdOptions` bits.
constexpr uint8_t kLcdSizeMask = 0x0F;  // display size; the model uses bits 0 and 1
constexpr uint8_t kLcdBackLight = 0x10;
constexpr uint8_t kLcdFourBit = 0x20;   // "4 Bits" data bus (else "8 Bits")

// `LcdPins` indices.
constexpr int kLcdRs = 0, kLcdRw = 1, kLcdE = 2, kLcdD0 = 3;
constexpr int kLcdPinCount = 11;

// ---- keys and keypad

constexpr uint8_t kKeypadNone = 3; // `KeypadType` bits 0-1: 0 "4 X 3", 1 "4 X 4", 2 "4 X 8", 3 "None"
constexpr int kKeypadRows = 4;
constexpr int kKeypadLineCount = 12; // 4 rows, then up to 8 columns
constexpr int kKeyNameCount = 32;
constexpr int kKeyNameLength = 10;   // at most 10 characters; 12 bytes kept per name

using KeyName = std::array<char, 12>; // zero-terminated
std::array<KeyName, kKeyNameCount> defaultKeyNames(); // "Key0" ... "Key31"

struct ModuleSettings {
    // LED and seven-segment displays (45 bytes of lines, then 14 single bytes).
    std::array<PinRef, kLedLineCount> LedLines{}; // laid out by wiring; 0x40 "+5V", 0x41 "GND"
    uint8_t LedOptions = 0;
    uint8_t LedSelectLevel = 0;    // bit 0: active level of the internal digit selects
    uint8_t LedDigitCount = 0;     // 1 to 16
    uint8_t LedSevenSegment = 0;   // bit 0: a seven-segment display is present
    std::array<uint8_t, 4> LedConnected{};  // per port, bit = line: a point LED is connected
    uint8_t LedConnectedSpare = 0;          // stored, not used
    std::array<uint8_t, 4> LedActiveHigh{}; // per port, bit = line: lights at level 1
    uint8_t LedActiveHighSpare = 0;         // stored, not used

    // LCD (13 bytes of lines, then the options byte).
    std::array<PinRef, kLcdPinCount> LcdPins{}; // RS, R/W, E, D0 ... D7
    std::array<uint8_t, 2> LcdReserved{};       // stored with the pins, not used
    uint8_t LcdOptions = 0;

    // Keyboard (1 + 3 x 4 + 32 bytes), key names stored separately.
    uint8_t KeypadType = 0;
    std::array<uint8_t, 4> KeyMomentary{};      // per port, bit = line: momentary key
    std::array<uint8_t, 4> KeyMomentaryLevel{}; // per port, bit = line: level 1 while pressed
    std::array<uint8_t, 4> KeyToggle{};         // per port, bit = line: toggle key
    std::array<PinRef, 32> KeypadLines{};       // 0-3 Row1-Row4, 4-11 Column1-Column8
    std::array<KeyName, kKeyNameCount> KeyNames = defaultKeyNames();

    IicSettings iic; // 7 bytes
    SpiSettings spi; // 6 bytes
    SerialHostSettings serialHost; // not in the settings block (application configuration only)

    bool operator==(const ModuleSettings&) const = default;
};

// The level of a line in a field that may hold a fixed level: "+5V" (0x40)
// reads 1, "GND" (0x41 and above) reads 0, a port line reads its latch bit.
constexpr bool fixedLevelLine(PinRef ref, uint32_t latches) {
    if (ref == kPinPlus5V) return true;
    if (ref > kPinPlus5V) return false;
    return (latches >> pinIndex(ref)) & 1u;
}
constexpr bool isPortLine(PinRef ref) { return ref < kPinPlus5V; }

// A per-port mask field (four bytes, bit = line) as the pin model's 32-bit word.
constexpr uint32_t portMaskWord(const std::array<uint8_t, 4>& bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// Every line of `mask` in pin-index order, as offered by the "Port Line:"
// lists; with `withFixedLevels`, then "+5V" and "GND".
std::vector<PinRef> portLineChoices(uint32_t availableMask, bool withFixedLevels);

// At start-up and after settings are read: a line assignment naming a port
// line outside `AvailablePinMask` becomes P1.0. Fixed levels stay.
void replaceUnavailableLines(ModuleSettings& settings, uint32_t availableMask);

// ================================================================ LED

enum class LedWiring : uint8_t {
    MultiplexedSegment,        // 0-7 segments a..dp; 8 + d: digit d+1 select
    MultiplexedSegmentDecoder, // 0-7 segments; 8 + j: decoder input A, B, ...
    MultiplexedBcd,            // 0-3 BCD A-D; 4 dot point; 5 + d: digit d+1 select
    MultiplexedBcdDecoder,     // 0-3 BCD A-D; 4 dot point; 5 + j: decoder inputs
    DirectSegment,             // 8 d + k: digit d+1, segment k
    DirectBcd,                 // 5 d + 0..3: digit d+1 A-D; 5 d + 4: its dot point
};
LedWiring ledWiring(uint8_t ledOptions);
// 0 "2 to 4", 1 "3 to 8", 2 "4 to 16"; a stored 3 is taken as 0.
int ledDecoder(uint8_t ledOptions);
int ledDecoderInputs(uint8_t ledOptions); // 2, 3 or 4

// The stored digit count, bounded by what the 45-entry line table can hold
// for the wiring (5 non-multiplexed 7-segment digits, 9 BCD, 16 multiplexed),
// so no reader indexes `LedLines` past its end whatever the settings hold.
int ledUsableDigits(const ModuleSettings& settings);
// The highest digit count the dialog offers for the current wiring.
int ledMaxDigits(uint8_t ledOptions, uint32_t availableMask);
// Lowers a digit count above the wiring's maximum to it. Call whenever the
// wiring, the count or the settings as a whole change.
void clampLedDigitCount(ModuleSettings& settings, uint32_t availableMask);
// Window or dialog opening: lines cleaned (fixed levels kept), a count above
// 16 becomes 4, decoder value 3 becomes 0, then the count is clamped.
void cleanLedSettings(ModuleSettings& settings, uint32_t availableMask);

// "LED Module Setting": which controls of the "Seven Segment Display" group
// are enabled for the options as they stand.
struct LedDialogEnabling {
    bool group;              // everything but "No Seven Segment Display"
    bool multiplexerOptions; // "External Multiplexer"
    bool decoderList;        // "Select Multiplexer:"
    bool selectLevel;        // "Activating Level - Internal Multiplexer"
};
LedDialogEnabling ledDialogEnabling(const ModuleSettings& settings);
// Cancel of "LED Module Setting": the options byte and the two grids return to
// what they were when it opened; the select level and the seven-segment flag
// keep what was chosen. The digit count is clamped to the restored wiring.
void cancelLedDialog(ModuleSettings& live, const ModuleSettings& opened, uint32_t availableMask);

// "LED Module - Port Line Selection": the "Control Line:" entries (the entry
// index is the `LedLines` index) and the "Summary:" lines (without line
// breaks) for the wiring and digit count in `settings`.
std::vector<std::string> ledControlLines(const ModuleSettings& settings);
std::vector<std::string> ledSummaryLines(const ModuleSettings& settings);

// ================================================================ LCD

constexpr int lcdSize(uint8_t lcdOptions) { return lcdOptions & 3; }
constexpr bool lcdFourBit(uint8_t lcdOptions) { return lcdOptions & kLcdFourBit; }
// Window or dialog opening: each pin cleaned (fixed levels kept); bits 5 and
// 6 of the options both set are both cleared.
void cleanLcdSettings(ModuleSettings& settings);
// "Select LCD:" entries, by size 0-3.
extern const std::array<const char*, 4> kLcdSizeNames;

// "LCD Module - Port Line Selection": the "Control Line:" entries ("RS ",
// "R/W", "E  ", "D0 " ... or only "D4 " ... in 4-bit mode), the `LcdPins`
// index of entry i, and the summary lines "%s - P%1d.%1d".
std::vector<std::string> lcdControlLines(uint8_t lcdOptions);
int lcdPinOfControlLine(uint8_t lcdOptions, int entry);
std::vector<std::string> lcdSummaryLines(const ModuleSettings& settings);

// ================================================================ keys

constexpr int keypadType(const ModuleSettings& s) { return s.KeypadType & 3; }
// 3, 4, 8 columns; 0 for "None".
int keypadColumns(int type);
int keypadKeyCount(int type); // 12, 16, 32, 0
// Window or dialog opening: the keypad lines are cleaned.
void cleanKeyboardSettings(ModuleSettings& settings);
// OK of "Keyboard Module Setting": an open keyboard window is rebuilt when
// the momentary, level or toggle masks or the keypad type changed (not for
// key names or lines).
bool keyboardWindowNeedsRebuild(const ModuleSettings& before, const ModuleSettings& after);

std::string_view keyName(const ModuleSettings& settings, int key);
// Taken as typed, cut to 10 characters. Keys outside 0-31 are ignored.
void setKeyName(ModuleSettings& settings, int key, std::string_view text);

// "Matrix Keypad - Port Line Selection": "Row1   " ... "Column8" (7, 8 or 12
// entries by type; entry i is `KeypadLines` index i) and the summary lines.
std::vector<std::string> keypadControlLines(int type);
std::vector<std::string> keypadSummaryLines(const ModuleSettings& settings);
// The key-name dialog's "Select Key:" list, "Key %d".
std::vector<std::string> keyNameChoices(int type);

} // namespace quorvel
