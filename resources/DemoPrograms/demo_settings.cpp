#include "demo_settings.h"

#include <iterator>

namespace quorvel::demos {

namespace {

constexpr PinRef P0(int bit) { return PinRef(0x00 | bit); }
constexpr PinRef P1(int bit) { return PinRef(0x10 | bit); }
constexpr PinRef P2(int bit) { return PinRef(0x20 | bit); }
constexpr PinRef P3(int bit) { return PinRef(0x30 | bit); }

// Nothing connected: no point LEDs, no seven-segment display, every LED and
// LCD line tied to GND (a fixed level stays when the file is read on any
// device, so no part watches a line the program uses), no keypad, the IIC
// and SPI buses off.
ModuleSettings nothingConnected() {
    ModuleSettings s;
    s.LedLines.fill(kPinGnd);
    s.LedDigitCount = 1;
    s.LcdPins.fill(kPinGnd);
    s.KeypadType = kKeypadNone;
    s.KeypadLines.fill(P1(0));
    s.iic.IicScl = P1(0);
    s.iic.IicSda = P1(0);
    s.iic.RtcInterrupt = P1(0);
    s.spi.SpiLines.fill(P1(0));
    s.spi.SpiEepromCs = P1(0);
    return s;
}

// Point LEDs on the lines of `port1Bits` (P1), each lit at level 0.
void pointLedsOnP1(ModuleSettings& s, uint8_t port1Bits) {
    s.LedConnected[1] = port1Bits;
    s.LedActiveHigh[1] = 0;
}

// Demo 1: one point LED on P1.0.
ModuleSettings demo1() {
    ModuleSettings s = nothingConnected();
    pointLedsOnP1(s, 0x01);
    return s;
}

// Demo 2: two multiplexed common-anode digits, segments a-dp on P1.0-P1.7,
// digit selects P3.4 (tens) and P3.5 (units), active low.
ModuleSettings demo2() {
    ModuleSettings s = nothingConnected();
    s.LedOptions = 0; // multiplexed, 7-segment input, internal selects, common anode
    s.LedSevenSegment = 1;
    s.LedDigitCount = 2;
    s.LedSelectLevel = 0;
    for (int k = 0; k < 8; ++k) s.LedLines[size_t(k)] = P1(k);
    s.LedLines[8] = P3(4);
    s.LedLines[9] = P3(5);
    return s;
}

// Demo 3: 4 x 20 LCD, 8-bit bus on P1, RS P3.7, E P3.5, R/W tied to GND.
ModuleSettings demo3() {
    ModuleSettings s = nothingConnected();
    s.LcdOptions = 3 | kLcdBackLight; // "4Lines X 20Characters", 8 bits
    s.LcdPins[kLcdRs] = P3(7);
    s.LcdPins[kLcdRw] = kPinGnd;
    s.LcdPins[kLcdE] = P3(5);
    for (int k = 0; k < 8; ++k) s.LcdPins[size_t(kLcdD0 + k)] = P1(k);
    return s;
}

// Demo 4: push button on P3.2 (level 0 while held), toggle switch on P3.3,
// LEDs on P1.0-P1.2.
ModuleSettings demo4() {
    ModuleSettings s = nothingConnected();
    pointLedsOnP1(s, 0x07);
    s.KeyMomentary[3] = 0x04;
    s.KeyMomentaryLevel[3] = 0x00;
    s.KeyToggle[3] = 0x08;
    return s;
}

// Demo 5: a 4 x 3 keypad, rows P3.0-P3.3, columns P3.4, P3.5 and P3.7,
// keys named as on a telephone; one common-anode digit, segments a-dp on
// P1.0-P1.7 (non-multiplexed).
ModuleSettings demo5() {
    ModuleSettings s = nothingConnected();
    s.LedOptions = kLedNonMultiplexed; // 7-segment input, common anode
    s.LedSevenSegment = 1;
    s.LedDigitCount = 1;
    for (int k = 0; k < 8; ++k) s.LedLines[size_t(k)] = P1(k);
    s.KeypadType = 0; // "4 X 3"
    const PinRef lines[] = {P3(0), P3(1), P3(2), P3(3), P3(4), P3(5), P3(7)};
    for (size_t i = 0; i < std::size(lines); ++i) s.KeypadLines[i] = lines[i];
    const char* names[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#"};
    for (int k = 0; k < 12; ++k) setKeyName(s, k, names[k]);
    return s;
}

// Demo 6: a PCF8583 clock on the IIC bus (SCL P1.6, SDA P1.7, A0 at 0,
// showing the computer's time) and six multiplexed common-anode digits,
// segments on P2, selects P1.0-P1.5 active low.
ModuleSettings demo6() {
    ModuleSettings s = nothingConnected();
    s.LedOptions = 0; // multiplexed, 7-segment input, internal selects, common anode
    s.LedSevenSegment = 1;
    s.LedDigitCount = 6;
    s.LedSelectLevel = 0;
    for (int k = 0; k < 8; ++k) s.LedLines[size_t(k)] = PinRef(0x20 | k);
    for (int d = 0; d < 6; ++d) s.LedLines[size_t(8 + d)] = P1(d);
    s.iic.IicOptions = kIicEnableBus;
    s.iic.RtcOptions = kRtcConnected | kRtcSystemTime;
    s.iic.IicScl = P1(6);
    s.iic.IicSda = P1(7);
    return s;
}

// Demo 8: the on-chip SPI unit (its own lines); eight LEDs on P2 show the
// byte received.
ModuleSettings demo8() {
    ModuleSettings s = nothingConnected();
    s.LedConnected[2] = 0xFF;
    s.LedActiveHigh[2] = 0;
    return s;
}

// Demo 7: the serial port only (the serial host needs no settings here).
ModuleSettings demo7() { return nothingConnected(); }

// Demos 9 and 10: eight LEDs on P1 show a count.
ModuleSettings eightLeds() {
    ModuleSettings s = nothingConnected();
    pointLedsOnP1(s, 0xFF);
    return s;
}

// Demo 11: internal memory only.
ModuleSettings demo11() { return nothingConnected(); }

// A 2 x 16 LCD on an 8-bit bus on P2, RS P3.7, E P3.5, R/W tied to GND.
void lcd2x16OnP2(ModuleSettings& s) {
    s.LcdOptions = 1 | kLcdBackLight; // "2Lines X 16Characters", 8 bits
    s.LcdPins[kLcdRs] = P3(7);
    s.LcdPins[kLcdRw] = kPinGnd;
    s.LcdPins[kLcdE] = P3(5);
    for (int k = 0; k < 8; ++k) s.LcdPins[size_t(kLcdD0 + k)] = P2(k);
}

// Project 1: eight channel LEDs on P1; three multiplexed common-anode
// digits (channel, seconds tens, seconds units), segments a-dp on P2,
// selects P0.0-P0.2 active low.
ModuleSettings project1() {
    ModuleSettings s = nothingConnected();
    pointLedsOnP1(s, 0xFF);
    s.LedOptions = 0; // multiplexed, 7-segment input, internal selects, common anode
    s.LedSevenSegment = 1;
    s.LedDigitCount = 3;
    s.LedSelectLevel = 0;
    for (int k = 0; k < 8; ++k) s.LedLines[size_t(k)] = P2(k);
    for (int d = 0; d < 3; ++d) s.LedLines[size_t(8 + d)] = P0(d);
    return s;
}

// Project 2: eight channel LEDs on P1 and the status on a 2 x 16 LCD.
ModuleSettings project2() {
    ModuleSettings s = nothingConnected();
    pointLedsOnP1(s, 0xFF);
    lcd2x16OnP2(s);
    return s;
}

// Project 3: a 4 x 3 keypad, rows P1.0-P1.3, columns P1.4-P1.6, keys named
// as on a telephone; the timer output's LED on P1.7; a 2 x 16 LCD.
ModuleSettings project3() {
    ModuleSettings s = nothingConnected();
    pointLedsOnP1(s, 0x80);
    lcd2x16OnP2(s);
    s.KeypadType = 0; // "4 X 3"
    for (int k = 0; k < 7; ++k) s.KeypadLines[size_t(k)] = P1(k);
    const char* names[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#"};
    for (int k = 0; k < 12; ++k) setKeyName(s, k, names[k]);
    return s;
}

// The program window at the top left and the registers below it; the parts
// the program drives beside them. The small arrangements fit an MDI area of
// 790 x 560 pixels, the wide windows (serial port, I/O levels) one of 1020.
constexpr DemoWindow kProgram{Program, 0, 0, 420, 330};
constexpr DemoWindow kRegisters{Registers, 0, 335, 420, 225};

} // namespace

std::vector<DemoSettings> demoSettings() {
    return {
        {"Demo1", demo1(), {kProgram, kRegisters, {Leds, 425, 0, 260, 140}}},
        {"Demo2", demo2(), {kProgram, kRegisters, {Leds, 425, 0, 260, 170}}},
        {"Demo3", demo3(), {kProgram, {Lcd, 0, 335, 528, 196}}},
        {"Demo4", demo4(), {kProgram, kRegisters, {Keyboard, 425, 0, 365, 230}, {Leds, 425, 235, 260, 140}}},
        {"Demo5", demo5(), {kProgram, kRegisters, {Keyboard, 425, 0, 260, 300}, {Leds, 425, 305, 260, 160}}},
        {"Demo6", demo6(), {kProgram, {IicRtc, 425, 0, 440, 330}, {Leds, 0, 335, 420, 170}}},
        {"Demo7", demo7(), {kProgram, {SerialPort, 425, 0, 520, 480}}},
        {"Demo8", demo8(), {kProgram, {Leds, 425, 0, 500, 150}, {SpiInterface, 0, 335, 760, 225}}},
        {"Demo9", eightLeds(), {kProgram, {IoLevels, 425, 0, 520, 400}, {Leds, 0, 335, 420, 140}}},
        {"Demo10", eightLeds(), {kProgram, {IoLevels, 425, 0, 520, 400}, {Leds, 0, 335, 420, 140}}},
        {"Demo11", demo11(), {kProgram, {Registers, 425, 0, 420, 330}, {InternalMemory, 0, 335, 640, 225}}},
        {"Project1", project1(), {kProgram, kRegisters, {Leds, 425, 0, 365, 200}}},
        {"Project2", project2(), {kProgram, kRegisters, {Leds, 425, 0, 365, 150}, {Lcd, 425, 155, 428, 122}}},
        {"Project3", project3(),
         {kProgram, {Keyboard, 425, 0, 260, 300}, {Leds, 425, 305, 260, 140}, {Lcd, 0, 335, 428, 122}}},
    };
}

ScreenSettings demoScreen(const DemoSettings& demo) {
    ScreenSettings screen; // Normal View; the frame's record stays 0: left as it is
    for (const DemoWindow& w : demo.windows) {
        WindowPlacement& place = screen.layout[size_t(w.view)];
        place.handle = 50000u + uint32_t(w.view); // any value but 0 means open
        place.state = 1;
        place.x = w.x;
        place.y = w.y;
        place.width = w.width;
        place.height = w.height;
        place.style = 0x56CF0000; // an MDI child window's
    }
    return screen;
}

} // namespace quorvel::demos
