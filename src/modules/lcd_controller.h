// Character LCD with a dot-matrix controller of the common 44780 kind.
//
// Lines: RS, R/W, E and D0-D7 as assigned in `LcdPins` (a line may also be
// tied to "+5V" or "GND"). The model reads the port output latches after every
// instruction and acts on each falling edge of E: RS/R/W select instruction
// write, busy-flag/address read, data write or data read. For reads it drives
// the data lines through the pin model (drive pin), so the program's next
// port read sees the byte. In 4-bit mode only D4-D7 are used and a byte takes
// two E cycles, high nibble first.
//
// Timing: each command and data write makes the controller busy for 40 us
// (clear display and return home 1640 us), turned into machine cycles with the
// selected clock; writes while busy are lost, the busy flag reads 1.
//
// Start-up: the controller comes out of reset with an 8-bit interface, where
// every E falling edge is a whole instruction (on a 4-bit wiring D0-D3 are
// not connected and read as 0). A function set with DL = 0 received in 8-bit
// mode switches to 4 bits and the next nibble is the high nibble of a new
// instruction, so the usual start-up (three lone 3H nibbles, a lone 2H, then
// every instruction as two nibbles) and drivers that begin with 02H as two
// nibbles work as on the real part. Drivers that send their first function
// set as two nibbles straight away (2H then 8H) are kept working: when that
// function set is the first instruction since the controller's reset, the
// next nibble completes it as its low nibble.
//
// User-defined characters: after "set character-generator address" data
// writes go to the 64-byte character-generator memory at its 6-bit address,
// which then moves by I/D and wraps; data reads return what was written and
// move it the same way. Codes 00H-07H (and their aliases 08H-0FH) show these
// eight 5 x 8 characters: row r of character c is byte c * 8 + r, bits 4..0
// from left to right.
//
// Not modelled: 5 x 10 dot characters (the font bit is only stored), the S
// bit of entry mode (writes never shift the display), power-on reset timing.
// The display memory is 128 bytes so that every 7-bit address is a valid index.
//
// Threads: `lcdStep` runs on the simulation thread; the window reads the
// state when it paints.
#pragma once

#include "chip/port_pins.h"
#include "modules/module_settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace quorvel {

// `LcdDisplayFlags` bits.
constexpr uint8_t kLcdBlink = 0x01;
constexpr uint8_t kLcdCursor = 0x02;
constexpr uint8_t kLcdDisplayOn = 0x04;
constexpr uint8_t kLcdShiftWithWrite = 0x08; // S of entry mode (stored only)
constexpr uint8_t kLcdIncrement = 0x10;      // I/D of entry mode
constexpr uint8_t kLcdBusy = 0x80;

// `LcdFunctionFlags` bits.
constexpr uint8_t kLcdCgSelected = 0x01;  // character-generator memory selected
constexpr uint8_t kLcdNibblePhase = 0x02; // 4-bit transfers: set = next nibble is the low one
constexpr uint8_t kLcdFont = 0x04;        // F of function set
constexpr uint8_t kLcdTwoLines = 0x08;    // N of function set
constexpr uint8_t kLcdEightBit = 0x10;    // DL of function set

constexpr int kLcdMemorySize = 128;
constexpr int kLcdCgMemorySize = 64; // eight characters of eight rows
constexpr int kLcdClearUs = 1640; // clear display, return home
constexpr int kLcdCommandUs = 40; // every other command, data write

struct LcdController {
    // Character codes. Starts with a space at 0 and code 0 elsewhere.
    std::array<uint8_t, kLcdMemorySize> displayMemory{0x20};
    // User-defined characters, eight rows each; code 0 at 0-7 and so on.
    std::array<uint8_t, kLcdCgMemorySize> cgMemory{};
    uint8_t addressCounter = 0; // display data address
    uint8_t cgAddress = 0;      // 6 bits
    uint8_t displayShift = 0;
    uint8_t LcdDisplayFlags = kLcdIncrement;
    uint8_t LcdFunctionFlags = kLcdEightBit;
    int32_t busyCounter = 0;    // machine cycles left
    bool eWasHigh = false;
    uint8_t instructionByte = 0; // being assembled
    uint8_t dataByte = 0;        // being assembled
    // No instruction has been taken since the last reset (power-on, the
    // settings' OK, Reset CPU): a 4-bit function set arriving now as the
    // first instruction in 8-bit mode waits for its low nibble.
    bool awaitingFirstInstruction = true;
    // Counts decoded instructions and stored characters, so a window repaints
    // when it differs from the value it last drew.
    uint32_t changeCount = 0;
    bool operator==(const LcdController&) const = default;
};

// The per-instruction hook, with the instruction's machine cycles.
void lcdStep(LcdController& lcd, const ModuleSettings& settings, PinState& pins,
             uint32_t latches, int cycles, float cycleTimeUs);

// Reset CPU: the nibble phase is cleared so that a 4-bit transfer starts with
// the high nibble again. The controller itself is not reset (it keeps its
// interface width and everything else), but the program starts over, so its
// first instruction again gets the first-function-set allowance.
void lcdResetCpu(LcdController& lcd);
// OK of "LCD Module Setting" while the window is open: the controller's reset.
// Display and function flags back to their initial values (8-bit interface),
// the allowance for the first instruction renewed; memory and address
// counter are kept.
void lcdResetFlags(LcdController& lcd);

// Machine cycles for a busy period of `us` microseconds (truncated).
int32_t lcdBusyCycles(int us, float cycleTimeUs);
// Storage index of a display data address: with two lines, 0x40 and above
// are stored 24 lower (0x40-0x67 at 40-79).
int lcdStorageIndex(uint8_t address, bool twoLines);

// ---- what the window draws

struct LcdGeometry {
    int rows;
    int columns;
    std::array<uint8_t, 4> rowStart; // first display address of each row
    int width, height;               // window size in pixels
    const char* title;
};
const LcdGeometry& lcdGeometry(uint8_t lcdOptions);

// The display address seen at a position whose unshifted address is
// `address`, with the display shift applied.
uint8_t lcdShiftedAddress(const LcdController& lcd, uint8_t address);
// The character code stored for a cell of the display (shift applied).
uint8_t lcdCellCode(const LcdController& lcd, uint8_t lcdOptions, int row, int column);
// The character a code shows: 00H-0FH the user-defined character code & 7
// (0-7), 10H-1FH and 80H-9FH a blank (20H), every other code itself.
uint8_t lcdShownCode(uint8_t code);
// Whether a shown code is a user-defined character (drawn from the
// character-generator memory).
constexpr bool lcdUserCharacter(uint8_t shownCode) { return shownCode < 8; }
// Row `row` (0-7) of user-defined character `code` (its low three bits):
// five dots in bits 4..0, bit 4 leftmost.
uint8_t lcdUserCharacterRow(const LcdController& lcd, uint8_t code, int row);
// The glyph index of a code in a glyph sheet laid out in columns of 16 from
// 20H: the shown code, reduced by 0x20 from 0xA0 on (user-defined
// characters stay 0-7). Cells are 25 x 37 pixels.
uint8_t lcdGlyphCode(uint8_t code);
// One row as text: the glyph codes of its cells, all blanks while the display
// is off. Text has no glyphs for the user-defined characters: they appear
// as blanks here (the window draws them, see `lcdPicture`).
std::string lcdRowText(const LcdController& lcd, uint8_t lcdOptions, int row);
// The cell whose unshifted address equals the address counter, if that cell
// is on the display; the window draws the cursor there while the cursor bit
// is set.
bool lcdCursorCell(const LcdController& lcd, uint8_t lcdOptions, int& row, int& column);

// Everything the window draws, taken at once while the simulation is paused
// so the window paints from its own copy. Cells hold shown codes
// (`lcdShownCode`); all blanks while the display is off.
struct LcdPicture {
    uint8_t options = 0; // `LcdOptions`: size and back light
    bool displayOn = false;
    bool cursor = false; // cursor bit of display on/off control
    bool blink = false;
    int cursorRow = -1, cursorColumn = -1; // -1: the cursor cell is not shown
    std::array<std::array<uint8_t, 20>, 4> cells{};
    std::array<uint8_t, kLcdCgMemorySize> cgMemory{};
    bool operator==(const LcdPicture&) const = default;
};
LcdPicture lcdPicture(const LcdController& lcd, uint8_t lcdOptions);

} // namespace quorvel
