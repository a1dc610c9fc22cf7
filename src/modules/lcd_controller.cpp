#include "modules/lcd_controller.h"

#include <cmath>
#include <limits>

namespace quorvel {

namespace {

bool lineLevel(const ModuleSettings& s, int pin, uint32_t latches) {
    return fixedLevelLine(s.LcdPins[size_t(pin)], latches);
}

void driveLine(const ModuleSettings& s, PinState& pins, int pin, bool high) {
    PinRef ref = s.LcdPins[size_t(pin)];
    if (isPortLine(ref)) pins.drivePin(pinIndex(ref), high);
}

bool twoLines(const LcdController& lcd) { return lcd.LcdFunctionFlags & kLcdTwoLines; }

void startBusy(LcdController& lcd, int us, float cycleTimeUs) {
    lcd.LcdDisplayFlags |= kLcdBusy;
    lcd.busyCounter = lcdBusyCycles(us, cycleTimeUs);
}

// The data lines the module has: D4-D7 on a 4-bit wiring, else D0-D7.
int firstDataLine(const ModuleSettings& s) { return lcdFourBit(s.LcdOptions) ? 4 : 0; }

// The program writes to the LCD. Returns true when `byte` is complete.
bool busWrite(LcdController& lcd, const ModuleSettings& s, uint32_t latches, uint8_t& byte) {
    if (lcd.LcdFunctionFlags & kLcdEightBit) {
        byte = 0; // lines not wired read as 0
        for (int n = firstDataLine(s); n < 8; ++n)
            if (lineLevel(s, kLcdD0 + n, latches)) byte |= uint8_t(1u << n);
        return true;
    }
    uint8_t nibble = 0;
    for (int n = 0; n < 4; ++n)
        if (lineLevel(s, kLcdD0 + 4 + n, latches)) nibble |= uint8_t(1u << n);
    lcd.LcdFunctionFlags ^= kLcdNibblePhase;
    if (lcd.LcdFunctionFlags & kLcdNibblePhase) { // was 0: the high nibble
        byte = uint8_t(nibble << 4);
        return false;
    }
    byte |= nibble;
    return true;
}

// The program reads from the LCD. Returns true when the transfer is complete.
bool busDrive(LcdController& lcd, const ModuleSettings& s, PinState& pins, uint8_t byte) {
    if (lcd.LcdFunctionFlags & kLcdEightBit) {
        for (int n = firstDataLine(s); n < 8; ++n) driveLine(s, pins, kLcdD0 + n, (byte >> n) & 1u);
        return true;
    }
    const bool lowNibble = lcd.LcdFunctionFlags & kLcdNibblePhase;
    const uint8_t nibble = lowNibble ? byte & 0x0F : byte >> 4;
    for (int n = 0; n < 4; ++n) driveLine(s, pins, kLcdD0 + 4 + n, (nibble >> n) & 1u);
    lcd.LcdFunctionFlags ^= kLcdNibblePhase;
    return lowNibble;
}

// Character-generator address after a data transfer: six bits, wrapping.
uint8_t nextCgAddress(uint8_t address, bool increment) {
    return uint8_t((increment ? address + 1 : address - 1) & (kLcdCgMemorySize - 1));
}

// Address counter after a data transfer, for one and two lines alike.
uint8_t nextAddress(uint8_t address, bool increment) {
    if (increment) {
        if (address == 0x27) return 0x40;
        if (address == 0x67) return 0x00;
        return uint8_t((address + 1) & 0x7F);
    }
    if (address == 0x00) return 0x67;
    if (address == 0x40) return 0x27;
    return uint8_t((address - 1) & 0x7F);
}

void cursorOrDisplayShift(LcdController& lcd, uint8_t command) {
    const bool displayShift = command & 0x08; // S/C
    const bool right = command & 0x04;        // R/L
    const bool two = twoLines(lcd);
    uint8_t& ac = lcd.addressCounter;
    uint8_t& shift = lcd.displayShift;
    if (!displayShift && !right) {
        uint8_t a = uint8_t(ac - 1);
        if (!two) a = a == 0xFF ? 0x4F : a;
        else a = a == 0x3F ? 0x27 : a == 0xFF ? 0x67 : a;
        ac = a & 0x7F;
    } else if (!displayShift) {
        uint8_t a = uint8_t(ac + 1);
        if (!two) a = a == 0x50 ? 0x00 : a;
        else a = ac == 0x27 ? 0x40 : ac == 0x67 ? 0x00 : a;
        ac = a & 0x7F;
    } else if (!right) {
        if (!two) shift = ((shift + 1) & 0x7F) > 0x4F ? 0 : uint8_t((shift + 1) & 0x7F);
        else shift = ((shift + 1) & 0x3F) > 0x27 ? 0 : uint8_t((shift + 1) & 0x3F);
    } else {
        if (!two) shift = ((shift - 1) & 0x7F) > 0x4F ? 0x4F : uint8_t((shift - 1) & 0x7F);
        else shift = ((shift - 1) & 0x3F) > 0x27 ? 0x27 : uint8_t((shift - 1) & 0x3F);
    }
}

void decodeInstruction(LcdController& lcd, float cycleTimeUs) {
    uint8_t command = lcd.instructionByte;
    const bool first = lcd.awaitingFirstInstruction;
    lcd.awaitingFirstInstruction = false;
    if (command & 0x80) { // set display data address
        lcd.LcdFunctionFlags &= ~kLcdCgSelected;
        lcd.addressCounter = command & 0x7F;
        startBusy(lcd, kLcdCommandUs, cycleTimeUs);
    } else if (command & 0x40) { // set character-generator address
        lcd.LcdFunctionFlags |= kLcdCgSelected;
        lcd.cgAddress = command & 0x3F;
        startBusy(lcd, kLcdCommandUs, cycleTimeUs);
    } else if (command & 0x20) { // function set
        const bool switchesToFourBit = (lcd.LcdFunctionFlags & kLcdEightBit) && !(command & 0x10);
        if (switchesToFourBit && first) {
            // The allowance for drivers that send their first function set
            // as two nibbles at once: this is its high nibble, the next one
            // completes the same command, which is then decoded again and
            // sets N and F. The half command does not make the controller
            // busy, so the low nibble may follow at once.
            command &= 0xF0;
            lcd.instructionByte = command;
            lcd.LcdFunctionFlags =
                uint8_t((lcd.LcdFunctionFlags & ~0x1C) | (command & 0x1C) | kLcdNibblePhase);
        } else {
            // As the controller: from 8-bit mode a 4-bit function set is a
            // whole instruction, and the next nibble starts a new one.
            lcd.LcdFunctionFlags = uint8_t((lcd.LcdFunctionFlags & ~0x1C) | (command & 0x1C));
            if (switchesToFourBit) lcd.LcdFunctionFlags &= ~kLcdNibblePhase;
            startBusy(lcd, kLcdCommandUs, cycleTimeUs);
        }
    } else if (command & 0x10) {
        cursorOrDisplayShift(lcd, command);
        startBusy(lcd, kLcdCommandUs, cycleTimeUs);
    } else if (command & 0x08) { // display on/off control
        lcd.LcdDisplayFlags = uint8_t((lcd.LcdDisplayFlags & ~0x07) | (command & 0x07));
        startBusy(lcd, kLcdCommandUs, cycleTimeUs);
    } else if (command & 0x04) { // entry mode set
        lcd.LcdDisplayFlags = uint8_t((lcd.LcdDisplayFlags & ~0x18) | ((command & 0x02) << 3) |
                                      ((command & 0x01) << 3));
        startBusy(lcd, kLcdCommandUs, cycleTimeUs);
    } else if (command & 0x02) { // return home
        lcd.addressCounter = 0;
        lcd.LcdFunctionFlags &= ~kLcdCgSelected;
        lcd.displayShift = 0;
        startBusy(lcd, kLcdClearUs, cycleTimeUs);
    } else if (command & 0x01) { // clear display
        lcd.displayMemory.fill(0x20);
        lcd.addressCounter = 0;
        lcd.LcdFunctionFlags &= ~kLcdCgSelected;
        lcd.LcdDisplayFlags |= kLcdIncrement;
        lcd.displayShift = 0;
        startBusy(lcd, kLcdClearUs, cycleTimeUs);
    }
    ++lcd.changeCount;
}

} // namespace

int32_t lcdBusyCycles(int us, float cycleTimeUs) {
    if (!(cycleTimeUs > 0.0f)) return us; // no usable clock: one cycle per microsecond
    double cycles = std::trunc(double(us) / double(cycleTimeUs));
    return cycles >= double(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : int32_t(cycles);
}

int lcdStorageIndex(uint8_t address, bool twoLines) {
    address &= 0x7F;
    return (twoLines && address >= 0x40) ? address - 24 : address;
}

void lcdStep(LcdController& lcd, const ModuleSettings& s, PinState& pins, uint32_t latches,
             int cycles, float cycleTimeUs) {
    if (lcd.busyCounter < 1)
        lcd.LcdDisplayFlags &= ~kLcdBusy;
    else
        lcd.busyCounter -= cycles;

    if (lineLevel(s, kLcdE, latches)) {
        lcd.eWasHigh = true;
        return;
    }
    if (!lcd.eWasHigh) return;
    lcd.eWasHigh = false; // falling edge of E

    const bool rs = lineLevel(s, kLcdRs, latches);
    const bool read = lineLevel(s, kLcdRw, latches);
    const bool ready = lcd.busyCounter < 1;
    const bool cgSelected = lcd.LcdFunctionFlags & kLcdCgSelected;

    if (!rs && !read) {
        if (ready && busWrite(lcd, s, latches, lcd.instructionByte))
            decodeInstruction(lcd, cycleTimeUs);
    } else if (!rs) {
        uint8_t address = cgSelected ? lcd.cgAddress : lcd.addressCounter;
        busDrive(lcd, s, pins, uint8_t((lcd.LcdDisplayFlags & kLcdBusy) | (address & 0x7F)));
    } else if (ready && !read) {
        if (!busWrite(lcd, s, latches, lcd.dataByte)) return;
        const bool increment = lcd.LcdDisplayFlags & kLcdIncrement;
        if (cgSelected) {
            lcd.cgMemory[lcd.cgAddress] = lcd.dataByte;
            lcd.cgAddress = nextCgAddress(lcd.cgAddress, increment);
        } else {
            lcd.displayMemory[size_t(lcdStorageIndex(lcd.addressCounter, twoLines(lcd)))] =
                lcd.dataByte;
            lcd.addressCounter = nextAddress(lcd.addressCounter, increment);
        }
        startBusy(lcd, kLcdCommandUs, cycleTimeUs);
        ++lcd.changeCount;
    } else if (ready) {
        const bool increment = lcd.LcdDisplayFlags & kLcdIncrement;
        if (cgSelected) {
            if (busDrive(lcd, s, pins, lcd.cgMemory[lcd.cgAddress]))
                lcd.cgAddress = nextCgAddress(lcd.cgAddress, increment);
        } else {
            uint8_t byte =
                lcd.displayMemory[size_t(lcdStorageIndex(lcd.addressCounter, twoLines(lcd)))];
            if (busDrive(lcd, s, pins, byte))
                lcd.addressCounter = nextAddress(lcd.addressCounter, increment);
        }
    }
}

void lcdResetCpu(LcdController& lcd) {
    lcd.LcdFunctionFlags &= ~kLcdNibblePhase;
    lcd.awaitingFirstInstruction = true;
}

void lcdResetFlags(LcdController& lcd) {
    lcd.LcdDisplayFlags = kLcdIncrement;
    lcd.LcdFunctionFlags = kLcdEightBit;
    lcd.awaitingFirstInstruction = true;
}

// ---- window

const LcdGeometry& lcdGeometry(uint8_t options) {
    static constexpr std::array<LcdGeometry, 4> sizes{{
        {1, 16, {0x00, 0x00, 0x00, 0x00}, 420, 72, "LCD - 1 Line X 16 Characters"},
        {2, 16, {0x00, 0x40, 0x00, 0x00}, 420, 109, "LCD - 2 Lines X 16 Characters"},
        {4, 16, {0x00, 0x40, 0x10, 0x50}, 420, 183, "LCD - 4 Lines X 16 Characters"},
        {4, 20, {0x00, 0x40, 0x14, 0x54}, 520, 183, "LCD - 4 Lines X 20 Characters"},
    }};
    return sizes[size_t(lcdSize(options))];
}

uint8_t lcdShiftedAddress(const LcdController& lcd, uint8_t address) {
    const int sum = (address & 0x7F) + lcd.displayShift;
    if (!twoLines(lcd)) {
        int a = sum % 128;
        return uint8_t(a > 79 ? a - 80 : a);
    }
    if ((address & 0x7F) < 0x40) {
        int a = sum % 64;
        return uint8_t(a > 39 ? a - 40 : a);
    }
    int a = sum % 128;
    return uint8_t(a > 0x67 ? a - 40 : a);
}

uint8_t lcdCellCode(const LcdController& lcd, uint8_t options, int row, int column) {
    const LcdGeometry& g = lcdGeometry(options);
    if (row < 0 || row >= g.rows || column < 0 || column >= g.columns) return 0x20;
    uint8_t address = lcdShiftedAddress(lcd, uint8_t(g.rowStart[size_t(row)] + column));
    return lcd.displayMemory[size_t(lcdStorageIndex(address, twoLines(lcd)))];
}

uint8_t lcdShownCode(uint8_t code) {
    if (code < 0x10) return code & 0x07;
    if (code < 0x20 || (code >= 0x80 && code < 0xA0)) return 0x20;
    return code;
}

uint8_t lcdUserCharacterRow(const LcdController& lcd, uint8_t code, int row) {
    return lcd.cgMemory[size_t((code & 0x07) * 8 + (row & 0x07))] & 0x1F;
}

uint8_t lcdGlyphCode(uint8_t code) {
    const uint8_t shown = lcdShownCode(code);
    return shown >= 0xA0 ? uint8_t(shown - 0x20) : shown;
}

std::string lcdRowText(const LcdController& lcd, uint8_t options, int row) {
    const LcdGeometry& g = lcdGeometry(options);
    std::string text;
    if (row < 0 || row >= g.rows) return text;
    const bool on = lcd.LcdDisplayFlags & kLcdDisplayOn;
    for (int c = 0; c < g.columns; ++c) {
        const uint8_t glyph = on ? lcdGlyphCode(lcdCellCode(lcd, options, row, c)) : uint8_t(' ');
        text.push_back(lcdUserCharacter(glyph) ? ' ' : char(glyph));
    }
    return text;
}

bool lcdCursorCell(const LcdController& lcd, uint8_t options, int& row, int& column) {
    const LcdGeometry& g = lcdGeometry(options);
    for (int r = 0; r < g.rows; ++r) {
        int offset = lcd.addressCounter - g.rowStart[size_t(r)];
        if (offset >= 0 && offset < g.columns) {
            row = r;
            column = offset;
            return true;
        }
    }
    return false;
}

LcdPicture lcdPicture(const LcdController& lcd, uint8_t options) {
    LcdPicture p;
    const LcdGeometry& g = lcdGeometry(options);
    p.options = options;
    p.displayOn = lcd.LcdDisplayFlags & kLcdDisplayOn;
    p.cursor = lcd.LcdDisplayFlags & kLcdCursor;
    p.blink = lcd.LcdDisplayFlags & kLcdBlink;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 20; ++c)
            p.cells[size_t(r)][size_t(c)] =
                p.displayOn && r < g.rows && c < g.columns
                    ? lcdShownCode(lcdCellCode(lcd, options, r, c))
                    : uint8_t(0x20);
    if (!lcdCursorCell(lcd, options, p.cursorRow, p.cursorColumn))
        p.cursorRow = p.cursorColumn = -1;
    p.cgMemory = lcd.cgMemory;
    return p;
}

} // namespace quorvel
