// The LCD controller driven line by line as firmware drives it: the program
// writes the port latches, and the module hooks run after each "instruction".
#include "machine/machine.h"
#include "modules/lcd_controller.h"
#include "machine/module_hooks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

// RS = P3.5, R/W = P3.6, E = P3.7, D0-D7 = P1.0-P1.7.
class LcdBus : public ::testing::Test {
protected:
    Machine m;
    static constexpr uint8_t RS = 0x20, RW = 0x40, E = 0x80;

    void SetUp() override { configure(12000000); }

    void configure(uint32_t frequency) {
        m = support::makeMachine(DeviceKind::AT89C52, frequency);
        m.modules.settings.LcdPins = {0x35, 0x36, 0x37, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
        p3(0); // control lines low, as a driver starts
    }

    LcdController& lcd() { return m.modules.lcd; }
    void p3(uint8_t control) { m.chip.sfr(sfr::P3) = uint8_t(0x1F | control); }
    void exec(int cycles = 1) { runModuleHooks(m, cycles); }
    void waitUs(int cycles) {
        for (int i = 0; i < cycles; ++i) exec();
    }
    // One E pulse with the given RS/R/W and the bus byte on P1.
    void cycle(uint8_t control, uint8_t bus) {
        m.chip.sfr(sfr::P1) = bus;
        p3(control);
        exec();
        p3(control | E);
        exec();
        p3(control);
        exec();
    }
    void command(uint8_t byte, int waitCycles = 50) {
        cycle(0, byte);
        waitUs(waitCycles);
    }
    void data(uint8_t byte) {
        cycle(RS, byte);
        waitUs(50);
    }
    void text(const char* s) {
        while (*s) data(uint8_t(*s++));
    }
    // A read cycle: the program puts 0xFF on the port, pulses E and reads
    // the pins after the falling edge.
    uint8_t read(uint8_t control) {
        cycle(control | RW, 0xFF);
        return m.chip.readDirect(sfr::P1);
    }
    std::string row(int r, uint8_t options) { return lcdRowText(lcd(), options, r); }

    void initialise8BitTwoLines() {
        command(0x38);       // 8 bits, two lines
        command(0x0C);       // display on, no cursor
        command(0x06);       // increment
        command(0x01, 1700); // clear
    }
};

// (The generated driver's runs show text on both bus widths.)
TEST_F(LcdBus, EightBitTextDisplayOffAndHome) {
    initialise8BitTwoLines();
    const uint32_t before = lcd().changeCount;
    text("HELLO");
    EXPECT_GT(lcd().changeCount, before); // the window repaints

    command(0x08); // display off: blanks, memory kept
    EXPECT_EQ(row(0, 1), "                ");
    command(0x0C);
    EXPECT_EQ(row(0, 1), "HELLO           ");
    command(0x02, 1700); // return home
    EXPECT_EQ(lcd().addressCounter, 0);
}

TEST_F(LcdBus, BusyTimeFollowsTheClockAndLosesEarlyWrites) {
    configure(6000000); // 2 us per machine cycle: 40 us = 20 cycles
    command(0x38);
    command(0x0C);
    command(0x01, 0); // clear: 1640 us = 820 cycles
    // Busy flag and address read right away: bit 7 set.
    EXPECT_EQ(read(0), 0x80);
    command(0x80 | 0x05, 0); // lost: still busy
    waitUs(820);
    EXPECT_EQ(read(0), 0x00);
    EXPECT_EQ(lcd().addressCounter, 0x00);

    command(0x80 | 0x05, 5); // taken; 5 cycles later still busy
    EXPECT_EQ(read(0), 0x85);
    command(0x80 | 0x09, 0); // lost
    waitUs(10);
    EXPECT_EQ(read(0), 0x05);
    data('A'); // data while ready is stored at 5
    EXPECT_EQ(lcd().displayMemory[5], 'A');

    // Data written while busy is dropped too.
    cycle(RS, 'B');
    cycle(RS, 'C');
    waitUs(50);
    EXPECT_EQ(lcd().displayMemory[6], 'B');
    EXPECT_EQ(lcd().displayMemory[7], 0x20);
}

TEST_F(LcdBus, ReadsBackDataAndMovesTheCounter) {
    initialise8BitTwoLines();
    text("XYZ");
    command(0x81);
    EXPECT_EQ(read(RS), 'Y');
    waitUs(5);
    EXPECT_EQ(read(RS), 'Z');
    EXPECT_EQ(lcd().addressCounter, 3);
    // The driven lines now read as inputs "0"/"1": the module drove them.
    EXPECT_EQ(m.chip.pins.setting[8 + 1], kInput1); // 'Z' = 0x5A, bit 1 set
    EXPECT_EQ(m.chip.pins.setting[8 + 0], kInput0);
}

// 4-bit drivers on a 4-bit wiring (D4-D7 = P1.4-P1.7). The low half of P1
// is held high, as if it served something else: the LCD's D0-D3 are not
// connected and must read as 0 while the interface is still 8 bits wide.
class LcdFourBit : public LcdBus {
protected:
    void SetUp() override {
        LcdBus::SetUp();
        m.modules.settings.LcdOptions = kLcdFourBit | 1; // 2 x 16
    }
    struct Transfer {
        bool pair;     // an instruction as two nibbles back to back, else one nibble
        uint8_t value; // the instruction, or the nibble in bits 0-3
    };
    static Transfer lone(uint8_t nibble) { return {false, nibble}; }
    static Transfer pair(uint8_t byte) { return {true, byte}; }

    int nibbleGap = 0; // machine cycles between the two nibbles of a pair

    void nibble(uint8_t control, uint8_t n) { cycle(control, uint8_t(n << 4 | 0x0F)); }
    void send(uint8_t control, Transfer t, int waitCycles = 50) {
        if (t.pair) {
            nibble(control, t.value >> 4);
            waitUs(nibbleGap);
            nibble(control, t.value & 0x0F);
        } else {
            nibble(control, t.value);
        }
        waitUs(waitCycles);
    }
    void send(const std::vector<Transfer>& transfers) {
        for (Transfer t : transfers) send(0, t);
    }
    // The rest of a driver's start-up and a short text, all in two nibbles.
    void finishAndWrite(const char* text) {
        send({pair(0x0C), pair(0x06)});
        send(0, pair(0x01), 1700);
        for (const char* c = text; *c; ++c) send(RS, pair(uint8_t(*c)));
    }
    uint8_t interfaceFlags() {
        return lcd().LcdFunctionFlags & (kLcdEightBit | kLcdTwoLines | kLcdNibblePhase);
    }
};

// Each start-up from the controller's reset, followed by the same commands
// and text: the text shows, in 4 bits and two lines, with no nibble left over;
// whether a driver sends the two nibbles back to back or waits between them.
TEST_F(LcdFourBit, StartUpsAfterTheControllersReset) {
    const std::vector<std::pair<const char*, std::vector<Transfer>>> startUps{
        {"three lone 3H, a lone 2H, then 28H",
         {lone(0x3), lone(0x3), lone(0x3), lone(0x2), pair(0x28)}},
        {"28H as two nibbles at once", {pair(0x28)}},
        {"02H first, then 28H", {pair(0x02), pair(0x28)}},
        {"three lone 3H, 02H, then 28H", {lone(0x3), lone(0x3), lone(0x3), pair(0x02), pair(0x28)}},
    };
    for (int gap : {0, 50})
        for (const auto& [name, transfers] : startUps) {
            SCOPED_TRACE(std::string(name) + ", gap " + std::to_string(gap));
            nibbleGap = gap;
            m.modules.lcd = LcdController{}; // power-on
            send(transfers);
            finishAndWrite("Hi!");
            EXPECT_EQ(row(0, 1), "Hi!             ");
            EXPECT_EQ(interfaceFlags(), kLcdTwoLines);
            EXPECT_EQ(lcd().LcdDisplayFlags & 0x1F, kLcdIncrement | kLcdDisplayOn);
        }
}

// A lone 2H that is not the first instruction switches to 4 bits by itself;
// the datasheet start-up works again on a controller left in 4-bit mode.
TEST_F(LcdFourBit, TheSwitchTo4BitsIsAWholeInstruction) {
    send({lone(0x3), lone(0x2)});
    EXPECT_EQ(interfaceFlags(), 0);
    send(0, lone(0x8)); // the high nibble of a new instruction: 80H...
    EXPECT_EQ(interfaceFlags(), kLcdNibblePhase);
    send(0, lone(0x5)); // ...85H sets the address
    EXPECT_EQ(lcd().addressCounter, 0x05);

    send({lone(0x3), lone(0x3), lone(0x3), lone(0x2), pair(0x28)});
    finishAndWrite("Again");
    EXPECT_EQ(row(0, 1), "Again           ");
    EXPECT_EQ(interfaceFlags(), kLcdTwoLines);
}

// After a driver ran in 8-bit mode, a driver whose first function set comes
// as two nibbles works again once the controller is reset (settings OK) or
// the program restarts (Reset CPU). Without either, the controller takes the
// 2H as a whole instruction and the 8H is lost while it is busy: one line.
TEST_F(LcdFourBit, ResetsRenewTheFirstFunctionSetAllowance) {
    const std::vector<std::pair<const char*, std::function<void()>>> resets{
        {"settings OK", [&] { lcdResetFlags(lcd()); }},
        {"Reset CPU", [&] { resetModulesOnCpuReset(m.modules); }},
        {"none", [] {}},
    };
    for (const auto& [name, reset] : resets) {
        SCOPED_TRACE(name);
        m.modules.lcd = LcdController{};
        send({lone(0x3), lone(0x3)}); // 30H, 30H: still 8 bits
        reset();
        send(0, pair(0x28));
        finishAndWrite("Hi!");
        EXPECT_EQ(row(0, 1), "Hi!             ");
        EXPECT_EQ(interfaceFlags(), std::string(name) == "none" ? 0 : kLcdTwoLines);
    }
}

TEST_F(LcdFourBit, ReadsAndResetCpuInTheMiddleOfAByte) {
    send(0, pair(0x28));
    finishAndWrite("Hi!");
    // Busy flag and address in two nibbles: busy right after a write.
    send(RS, pair('x'), 0);
    uint8_t high = read(0) & 0xF0;
    uint8_t low = read(0) >> 4;
    EXPECT_EQ(high | low, 0x84);
    waitUs(50);
    EXPECT_EQ(read(0) & 0xF0, 0x00);
    EXPECT_EQ(read(0) >> 4, 0x04);
    // Data read in two nibbles; the counter moves after the second.
    send(0, pair(0x81));
    uint8_t dataHigh = read(RS) & 0xF0;
    EXPECT_EQ(lcd().addressCounter, 0x01);
    uint8_t dataLow = read(RS) >> 4;
    EXPECT_EQ(dataHigh | dataLow, 'i');
    EXPECT_EQ(lcd().addressCounter, 0x02);

    send(0, lone(0x8)); // the high nibble of 8xH, then the CPU is reset
    resetModulesOnCpuReset(m.modules);
    send(0, pair(0xC3)); // taken whole: the first nibble is the high one
    EXPECT_EQ(lcd().addressCounter, 0x43);
    EXPECT_EQ(interfaceFlags(), kLcdTwoLines);
}

// In 8-bit mode the unconnected D0-D3 read as 0 and are never driven.
TEST_F(LcdFourBit, UnconnectedLowLinesIn8BitMode) {
    send(0, lone(0x0)); // 00H, not 0FH (display, cursor, blink on)
    send(0, lone(0x3)); // 30H, not 3FH (two lines, large font)
    EXPECT_EQ(lcd().LcdDisplayFlags, kLcdIncrement);
    EXPECT_EQ(lcd().LcdFunctionFlags, kLcdEightBit);
    send(RS, lone(0x2)); // a character 20H moves the counter to 1
    m.chip.pins.setSetting(8 + 0, kInputNC);
    EXPECT_EQ(read(0) & 0xF0, 0x00); // the address 01H on D4-D7 and nothing on D0
    EXPECT_EQ(m.chip.pins.setting[8 + 0], kInputNC);
    EXPECT_EQ(lcd().displayMemory[0], 0x20);
}

// The address counter after each instruction or character: with two lines
// 27H runs on to 40H and 67H to 00H (and back when decrementing); with one
// line the counter wraps at 4FH for cursor shifts and at 7FH for data.
TEST_F(LcdBus, CounterMovementAcrossLines) {
    initialise8BitTwoLines();
    const struct {
        bool data;
        uint8_t byte;
        int counter;
    } steps[] = {
        {false, 0xA7, 0x27}, {true, 'a', 0x40},  {false, 0xE7, 0x67}, {true, 'E', 0x00},
        {false, 0x10, 0x67}, {false, 0x14, 0x00}, {false, 0xC0, 0x40}, {false, 0x10, 0x27},
        {false, 0x14, 0x40}, {false, 0x04, 0x40}, {false, 0x80, 0x00}, {true, 'b', 0x67},
        {false, 0xC0, 0x40}, {true, 'c', 0x27},  {false, 0x06, 0x27},
        {false, 0x30, 0x27}, {true, 'p', 0x40},  {true, 'q', 0x41},  {false, 0x80, 0x00}, {false, 0x10, 0x4F},
        {false, 0x14, 0x00}, {false, 0xFF, 0x7F}, {true, 'z', 0x00},
    };
    for (const auto& s : steps) {
        if (s.data) data(s.byte);
        else command(s.byte);
        EXPECT_EQ(lcd().addressCounter, s.counter) << "after " << std::hex << int(s.byte);
    }
    // Two lines store 67H at 79, one line 40H at 64.
    EXPECT_EQ(lcd().displayMemory[79], 'E');
    EXPECT_EQ(lcd().displayMemory[0x40], 'q');
    EXPECT_EQ(lcd().displayMemory[0x7F], 'z');
    command(0x01, 1700);
    for (uint8_t code : lcd().displayMemory) EXPECT_EQ(code, 0x20);
}

TEST_F(LcdBus, DisplayShift) {
    initialise8BitTwoLines();
    text("ABCDEFGH");
    command(0x18); // shift left: position 0 shows address 1
    EXPECT_EQ(row(0, 1).substr(0, 8), "BCDEFGH ");
    command(0x1C);
    command(0x1C); // two right from 1: 0, then wraps to 0x27
    EXPECT_EQ(lcd().displayShift, 0x27);
    command(0xA7); // address 0x27
    data('@');
    EXPECT_EQ(row(0, 1).substr(0, 4), "@ABC");
    command(0x02, 1700); // return home clears the shift
    EXPECT_EQ(lcd().displayShift, 0);
    // One line: shift right from 0 -> 0x4F, left from 0x4F -> 0.
    command(0x30);
    command(0x1C);
    EXPECT_EQ(lcd().displayShift, 0x4F);
    command(0x18);
    EXPECT_EQ(lcd().displayShift, 0);
}

// User-defined characters: data after "set character-generator address"
// fills the 64-byte memory, the address moves by I/D and wraps in six bits,
// reads give back what was written, and the display address is untouched.
TEST_F(LcdBus, UserDefinedCharacters) {
    initialise8BitTwoLines();
    command(0x85);
    command(0x40 | 0x3E); // last two rows of character 7
    const uint8_t pattern[] = {0x1F, 0x11, 0x0A, 0x04, 0xE0}; // bits 5-7 kept as RAM
    for (uint8_t byte : pattern) data(byte);
    EXPECT_EQ(lcd().cgMemory[0x3F], 0x11);
    EXPECT_EQ(lcd().cgMemory[0x00], 0x0A); // wrapped to character 0
    EXPECT_EQ(read(0), 0x03); // the read reports the character-generator address
    EXPECT_EQ(lcd().displayMemory[5], 0x20);

    command(0x40 | 0x02);
    EXPECT_EQ(read(RS), 0xE0);
    command(0x04);        // decrement
    command(0x40 | 0x00); // down from 0 wraps to 3FH
    data(0x15);
    EXPECT_EQ(lcd().cgAddress, 0x3F);
    EXPECT_EQ(read(RS), 0x11); // and reads move the same way
    EXPECT_EQ(lcd().cgAddress, 0x3E);

    command(0x06);
    command(0x85);             // selecting display memory again
    EXPECT_EQ(read(0), 0x05);
    data(0x08);                // alias of character 0
    data(0x07);
    const LcdPicture picture = lcdPicture(lcd(), 1);
    EXPECT_EQ(picture.cells[0][5], 0x00);
    EXPECT_EQ(picture.cells[0][6], 0x07);
    EXPECT_EQ(row(0, 1).substr(5, 2), "  "); // no text for them
    EXPECT_EQ(lcdUserCharacterRow(lcd(), 0x08, 0), 0x15);
    EXPECT_EQ(lcdUserCharacterRow(lcd(), 0x00, 2), 0x00); // bits 5-7 are not dots
}

// (The generated driver's runs and the demonstrations show the rows of
// each display size.)
TEST_F(LcdBus, GlyphsPictureAndCursor) {
    initialise8BitTwoLines();
    // Codes 10H-1FH and 80H-9FH draw as blanks, 00H-0FH as user-defined
    // characters 0-7; glyph indices from 0xA0 on are 0x20 lower.
    const uint8_t codes[] = {0x15, 0x90, 0xE4, 0x0D, 0x7E};
    for (uint8_t code : codes) data(code);
    EXPECT_EQ(row(0, 1).substr(0, 5), std::string("  \xC4 \x7E"));
    const LcdPicture picture = lcdPicture(lcd(), 1);
    const uint8_t shown[] = {0x20, 0x20, 0xE4, 0x05, 0x7E};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(picture.cells[0][size_t(c)], shown[c]) << c;
    EXPECT_EQ(picture.cells[2][0], 0x20); // rows beyond the display size stay blank
    EXPECT_EQ(picture.cursorColumn, 5);
    command(0x08);
    EXPECT_EQ(lcdPicture(lcd(), 1).cells[0][2], 0x20); // display off: all blank
    // The cursor sits at the unshifted address of the counter, if shown.
    int r = -1, c = -1;
    command(0x80 | 0x53);
    EXPECT_TRUE(lcdCursorCell(lcd(), 2, r, c));
    EXPECT_EQ(std::pair(r, c), std::pair(3, 3));
    EXPECT_FALSE(lcdCursorCell(lcd(), 1, r, c));
}

TEST_F(LcdBus, ControlLinesTiedToFixedLevels) {
    m.modules.settings.LcdPins[kLcdRw] = kPinGnd; // write-only wiring
    initialise8BitTwoLines();
    text("OK");
    EXPECT_EQ(row(0, 1).substr(0, 2), "OK");
    // E tied to "+5V" never falls: nothing more is taken.
    m.modules.settings.LcdPins[kLcdE] = kPinPlus5V;
    data('!');
    EXPECT_EQ(lcd().addressCounter, 2);
}

} // namespace
