// Driver generation for the character LCD: the routines the user ticks,
// for the LCD type, bus width and port lines in use, with the controller's
// instruction bytes from the initialisation options and the delay constants
// from the clock.
#pragma once

#include "codegen/code_template.h"
#include "common/user_message.h"
#include "modules/module_settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace quorvel {

// `LcdCodeGenSettings::flags` bits.
constexpr uint8_t kLcdGenTypeMask = 0x0F; // 0 1x16, 1 2x16, 2 4x16, 3 4x20
constexpr uint8_t kLcdGenFourBit = 0x20;
constexpr uint8_t kLcdGenSameAsSimulation = 0x40;

// Routine mask bits (one per check box).
enum LcdRoutine : uint16_t {
    kLcdGenInit = 1u << 0,           // "Initialization"
    kLcdGenMessage = 1u << 1,        // "Message Display"
    kLcdGenTwoDigits = 1u << 2,      // "2 Digits Display"
    kLcdGenFourDigits = 1u << 3,     // "4 Digits Display"
    kLcdGenClear = 1u << 4,          // "Clear Display"
    kLcdGenLocate = 1u << 5,         // "Locate Cursor"
    kLcdGenCursorOnOff = 1u << 6,    // "Cursor On/Off"
    kLcdGenDisplayOnOff = 1u << 7,   // "Display On/Off "
    kLcdGenReadDdram = 1u << 8,      // "Read One Byte From DD RAM"
    kLcdGenCharacter = 1u << 9,      // "Character Display"
};
constexpr uint16_t kLcdGenAllRoutines = 0x3FF;

// `LcdInitOptions` bits.
constexpr uint8_t kLcdInitClear = 0x01;     // "Clear Entire Display"
constexpr uint8_t kLcdInitHome = 0x02;      // "Return Cursor to Home Position"
constexpr uint8_t kLcdInitIncrement = 0x04; // else "Decrement"
constexpr uint8_t kLcdInitShift = 0x08;     // else "No Shift"
constexpr uint8_t kLcdInitDisplayOn = 0x10;
constexpr uint8_t kLcdInitCursorOn = 0x20;
constexpr uint8_t kLcdInitBlinking = 0x40;  // else "Normal"
constexpr uint8_t kLcdInitDefault = 0x77;   // "Set Default Values"

constexpr int kLcdGenLineCount = 13; // RS, R/W, E, D0-D7, two unused

struct LcdCodeGenSettings {
    uint8_t flags = 0;
    uint16_t routines = 0;
    uint8_t LcdInitOptions = kLcdInitDefault;
    std::array<PinRef, kLcdGenLineCount> lines{};
};

// The LCD type (0-3), bus width and lines in use: the module's when "Use
// Same Setting as in Simulation" is on, else the record's.
struct LcdWiring {
    int type;
    bool fourBit;
    std::array<PinRef, kLcdGenLineCount> lines;
};
LcdWiring lcdWiringInUse(const LcdCodeGenSettings& record, const ModuleSettings& module);

// The port-line dialog edits a copy of the module settings carrying the
// record's lines and type; OK takes the lines back. The module settings
// themselves are never changed.
ModuleSettings lcdPortLineCopy(const LcdCodeGenSettings& record, const ModuleSettings& module);
void acceptLcdPortLines(LcdCodeGenSettings& record, const ModuleSettings& edited);

// A routine box was clicked: "4 Digits Display" brings "2 Digits Display"
// with it, which then stays while "4 Digits Display" is set.
uint16_t lcdRoutineClicked(uint16_t routines, LcdRoutine box, bool checked);
constexpr bool lcdGenerateEnabled(uint16_t routines) { return routines & kLcdGenAllRoutines; }

// The controller instructions the routines use.
uint8_t lcdFunctionSet(bool fourBit, int type);
uint8_t lcdDisplayControl(uint8_t initOptions);
uint8_t lcdEntryMode(uint8_t initOptions);
// The short delay's constant: (trunc(32 / 2T) AND FFH) + 1.
uint8_t lcdShortDelayConstant(double cycleUs);

std::string lcdCodeGenSummary(const LcdCodeGenSettings& record, const ModuleSettings& module);
// Generate: the routines drive every line in use from a port line, so a
// line tied to GND or +5V (R/W grounded in the simulation, say) gives the
// message to show, and the dialog stays as the user filled it.
Validation checkLcdCodeGen(const LcdCodeGenSettings& record, const ModuleSettings& module);
// `cycleUs` is the machine-cycle time of the selected clock.
GeneratedCode generateLcdCode(const LcdCodeGenSettings& record, const ModuleSettings& module,
                              double cycleUs);

} // namespace quorvel
