// Momentary keys, toggle keys and a 4-row matrix keypad on port lines.
//
// Lines: a momentary or toggle key per line marked in `KeyMomentary` /
// `KeyToggle`; the keypad's rows and columns in `KeypadLines` (Row1-Row4,
// Column1-Column3, 4 or 8). Keys act only by writing the external input
// levels (and, for momentary and toggle keys, the input setting).
//
// Timing: the keyboard window's 10 ms timer applies the momentary keys and
// scans the keypad; while the window is open the keypad hook also runs after
// every instruction, so that a held key follows the program's scanning of
// rows and columns between two timer ticks. A held keypad key connects its
// row and column both ways: the row line takes the column's latch and the
// column line the row's latch.
//
// Not modelled: contact bounce, several keypad keys held at once (one mouse
// holds one button), diode or pull-up effects beyond the latch copy.
//
// Threads: the tick and button calls run on the user-interface thread (under
// the pause guard during a run); `keypadHook` on the simulation thread.
#pragma once

#include "chip/port_pins.h"
#include "modules/module_settings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

struct KeypadState {
    uint8_t KeypadPressed = 0; // a keypad key is held
    uint8_t keyRow = 0;        // `KeypadKey`: row index of the held key
    uint8_t keyColumn = 0;     // `KeypadKey`: column index of the held key
    bool windowOpen = false;   // the keyboard window is open: the hook runs
    bool operator==(const KeypadState&) const = default;
};

constexpr int kNoKeyHeld = -1;

// ---- momentary keys

// The window's 10 ms tick: for each available line with a momentary key,
// the level and input setting become its activating level while its button is
// held (bit n of `heldLines` = pin index n), else the opposite.
void momentaryKeysTick(const ModuleSettings& settings, PinState& pins, uint32_t availableMask,
                       uint32_t heldLines);

// ---- toggle keys

// A click on the toggle key of pin `index`: the input setting becomes 1 if
// it was 0 (only bit 0 counts) and 0 otherwise, the level bit is inverted.
// Returns the new level.
bool clickToggleKey(PinState& pins, int index);
// "P%1d.%1d = %1d"
std::string toggleKeyCaption(int index, bool level);

// ---- matrix keypad

// Key k of a keypad with C columns is row k / C, column k mod C.
struct KeyPosition {
    int row;
    int column;
};
KeyPosition keypadKeyPosition(int type, int key);

// The window's 10 ms tick: scans the keys row by row, column by column;
// `heldKey` is the key number whose button is down, or kNoKeyHeld. Does
// nothing for keypad type "None".
void keypadTick(KeypadState& keypad, const ModuleSettings& settings, PinState& pins,
                uint32_t latches, int heldKey);
// The held key's button was released.
void keypadRelease(KeypadState& keypad);
// After every instruction while the window is open. Does not change input
// settings.
void keypadHook(const KeypadState& keypad, const ModuleSettings& settings, PinState& pins,
                uint32_t latches);

// ---- what the window builds

// Pin indices that get a button, in pin-index order.
std::vector<int> momentaryKeyLines(const ModuleSettings& settings, uint32_t availableMask);
std::vector<int> toggleKeyLines(const ModuleSettings& settings, uint32_t availableMask);
// "Matrix Keypad 4 X 3" / "4 X 4" / "4 X 8"; empty for "None".
std::string keypadGroupTitle(int type);

} // namespace quorvel
