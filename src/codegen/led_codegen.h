// Driver generation for the seven-segment display: equates, port
// definitions, the millisecond refresh (timer set-up, interrupt routine and
// refresh of multiplexed displays) and the digit and message routines, for
// the wiring, display type and port lines in use.
#pragma once

#include "codegen/code_template.h"
#include "common/user_message.h"
#include "modules/module_settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// `LedCodeGenSettings::options` bits.
constexpr uint8_t kLedGenSelectLevel = 0x01;      // activating level "1" (else "0")
constexpr uint8_t kLedGenSameAsSimulation = 0x02; // "Use Same Setting as in Simulation"
constexpr uint8_t kLedGenTimerMask = 0x30;        // 0 "Timer 0", 1 "Timer 1", 2 "Timer 2"
constexpr int kLedGenTimerShift = 4;

// Routine mask bits (one per check box).
enum LedRoutine : uint8_t {
    kLedGenInit = 1u << 0,       // "Initialization"
    kLedGenMessage = 1u << 1,    // "Message Display"
    kLedGenOneDigit = 1u << 2,   // "1 Digit Display"
    kLedGenTwoDigits = 1u << 3,  // "2 Digits Display"
    kLedGenFourDigits = 1u << 4, // "4 Digits Display"
};

struct LedCodeGenSettings {
    uint8_t configuration = 0; // laid out as `LedOptions`
    uint8_t options = 0;
    uint8_t routines = 0;
    uint8_t digits = 2;
    std::array<PinRef, kLedLineCount> lines{};
    uint32_t clockHz = 24000000;
    uint8_t bufferStart = 0x30;
};

// The display in use: the module's when "Use Same Setting as in Simulation"
// is on, else the record's. `digits` is already bounded by what the wiring
// and its line table allow (1 to 16, 2/4/8/16 through a decoder, 5 or 9
// non-multiplexed).
struct LedDisplayInUse {
    bool present;
    uint8_t configuration;
    bool selectLevel;
    int digits;
    std::array<PinRef, kLedLineCount> lines;
};
LedDisplayInUse ledDisplayInUse(const LedCodeGenSettings& record, const ModuleSettings& module);

// The port-line dialog ("LED Module - Port Line Selection" with "No. of
// Digits:") edits a copy of the module settings carrying the record's
// wiring, select level, digit count and lines; OK takes the lines and the
// digit count back. The module settings themselves are never changed.
ModuleSettings ledPortLineCopy(const LedCodeGenSettings& record, const ModuleSettings& module);
void acceptLedPortLines(LedCodeGenSettings& record, const ModuleSettings& edited);

// Which controls of "Code Generation - Seven Segment Display Routines" are
// enabled, for the display in use and the routines ticked.
struct LedCodeGenEnabling {
    bool displayControls; // wiring radios, port lines, clock: off with "Use Same Setting"
    bool anodeCathode;
    bool externalMux;
    bool decoderList;
    bool selectLevel;
    bool init;     // "Initialization"
    bool message;  // "Message Display"
    bool setting;  // "Setting"
    bool generate; // "Generate  Code"
};
LedCodeGenEnabling ledCodeGenEnabling(const LedCodeGenSettings& record, const ModuleSettings& module);

// The machine-cycle time the routines are timed for: the simulator's with
// "Use Same Setting as in Simulation", else the dialog's clock.
double ledCodeGenCycleUs(const LedCodeGenSettings& record, double simulatorCycleUs);

// A routine box was clicked: a larger digit routine brings the smaller ones,
// which then stay while it is set.
uint8_t ledRoutineClicked(uint8_t routines, LedRoutine box, bool checked);
// The routines the wiring offers: no "Message Display" with BCD data, no
// "Initialization" without multiplexing. Applied after every change.
uint8_t ledAllowedRoutines(uint8_t configuration, uint8_t routines);

// "Clock Frequency:": "Enter Clock Frequency" when empty, "Illegal Clock
// Frequency" for 0, more than 8 digits or anything but digits.
Validation acceptLedClock(LedCodeGenSettings& record, std::string_view text);
// The buffer start: one or two hexadecimal digits, else ignored (false).
bool acceptLedBufferStart(LedCodeGenSettings& record, std::string_view text);

// The RAM the multiplexed routines use: the scan counter at the buffer start
// and one byte per digit after it.
struct LedMemoryArea {
    int first;
    int last;
};
LedMemoryArea ledMemoryArea(const LedCodeGenSettings& record, const ModuleSettings& module);
// "Internal Memory Area used : %02XH to %02XH", followed by a warning line
// when the area passes the last internal RAM address `ramTop`.
std::string ledMemoryAreaText(const LedCodeGenSettings& record, const ModuleSettings& module,
                              int ramTop);

std::string ledCodeGenSummary(const LedCodeGenSettings& record, const ModuleSettings& module);
// The one-millisecond timer count, trunc(1000 / T).
uint16_t ledMillisecondCycles(double cycleUs);

// `cycleUs` is the machine-cycle time of the selected clock.
GeneratedCode generateLedCode(const LedCodeGenSettings& record, const ModuleSettings& module,
                              double cycleUs);

} // namespace quorvel
