// Driver generation for the 4-row matrix keypad: READ_KEY (scan, debounce,
// key code into the key buffer) for the keypad type and lines in use.
#pragma once

#include "codegen/code_template.h"
#include "common/user_message.h"
#include "modules/module_settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// `KeyboardCodeGenSettings::type` bits.
constexpr uint8_t kKeyGenTypeMask = 0x03;  // 0 "4 X 3", 1 "4 X 4", 2 "4 X 8"
constexpr uint8_t kKeyGenSameAsSimulation = 0x04;
constexpr uint8_t kKeyGenRead = 0x10;      // the "Read" routine

struct KeyboardCodeGenSettings {
    uint8_t type = 0;
    std::array<PinRef, 13> lines{}; // 0-3 Row1-Row4, 4-11 Column1-Column8
    uint8_t keyBuffer = 0x30;       // internal RAM address of the key code
};

struct KeypadWiring {
    int type; // 0-2, 3 = no keypad
    std::array<PinRef, 13> lines;
};
KeypadWiring keypadWiringInUse(const KeyboardCodeGenSettings& record, const ModuleSettings& module);

// The port-line dialog edits a copy of the module settings carrying the
// record's lines and keypad type; OK takes the lines back. The module
// settings themselves are never changed.
ModuleSettings keyboardPortLineCopy(const KeyboardCodeGenSettings& record, const ModuleSettings& module);
void acceptKeyboardPortLines(KeyboardCodeGenSettings& record, const ModuleSettings& edited);

std::string keyboardCodeGenSummary(const KeyboardCodeGenSettings& record, const ModuleSettings& module);

// "Generate  Code" reads the address field first: one or two hexadecimal
// digits, else "Illegal Internal Memory Address" (the record keeps its value).
Validation acceptKeyBufferAddress(KeyboardCodeGenSettings& record, std::string_view text);

// `cycleUs` is the machine-cycle time of the selected clock.
GeneratedCode generateKeyboardCode(const KeyboardCodeGenSettings& record,
                                   const ModuleSettings& module, double cycleUs);

} // namespace quorvel
