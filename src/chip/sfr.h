// SFR addresses and bit positions of the 8051 family as the simulator knows
// them (Intel datasheet names; Atmel names for the AT89S extras). Direct
// addresses are 0x80-0xFF; `sfrIndex` turns one into an index of the 128-byte
// SFR array.
#pragma once

#include <cstdint>

namespace quorvel::sfr {

constexpr uint8_t P0 = 0x80;
constexpr uint8_t SP = 0x81;
constexpr uint8_t DPL = 0x82;
constexpr uint8_t DPH = 0x83;
constexpr uint8_t DP1L = 0x84;
constexpr uint8_t DP1H = 0x85;
constexpr uint8_t SPDR = 0x86;
constexpr uint8_t PCON = 0x87;
constexpr uint8_t TCON = 0x88;
constexpr uint8_t TMOD = 0x89;
constexpr uint8_t TL0 = 0x8A;
constexpr uint8_t TL1 = 0x8B;
constexpr uint8_t TH0 = 0x8C;
constexpr uint8_t TH1 = 0x8D;
constexpr uint8_t P1 = 0x90;
constexpr uint8_t WMCON = 0x96;
constexpr uint8_t SCON = 0x98;
constexpr uint8_t SBUF = 0x99;
constexpr uint8_t P2 = 0xA0;
constexpr uint8_t IE = 0xA8;
constexpr uint8_t SPSR = 0xAA;
constexpr uint8_t P3 = 0xB0;
constexpr uint8_t IP = 0xB8;
constexpr uint8_t T2CON = 0xC8;
constexpr uint8_t T2MOD = 0xC9;
constexpr uint8_t RCAP2L = 0xCA;
constexpr uint8_t RCAP2H = 0xCB;
constexpr uint8_t TL2 = 0xCC;
constexpr uint8_t TH2 = 0xCD;
constexpr uint8_t PSW = 0xD0;
constexpr uint8_t SPCR = 0xD5;
constexpr uint8_t ACC = 0xE0;
constexpr uint8_t B = 0xF0;

constexpr unsigned sfrIndex(uint8_t address) { return address - 0x80u; }

// Bit masks within their SFR byte.
namespace bits {
// PSW
constexpr uint8_t CY = 0x80, AC = 0x40, F0 = 0x20, RS1 = 0x10, RS0 = 0x08, OV = 0x04, F1 = 0x02,
                  P = 0x01;
// TCON
constexpr uint8_t TF1 = 0x80, TR1 = 0x40, TF0 = 0x20, TR0 = 0x10, IE1 = 0x08, IT1 = 0x04,
                  IE0 = 0x02, IT0 = 0x01;
// TMOD: timer 1 in the high nibble, timer 0 in the low one
constexpr uint8_t GATE1 = 0x80, CT1 = 0x40, T1M1 = 0x20, T1M0 = 0x10, GATE0 = 0x08, CT0 = 0x04,
                  T0M1 = 0x02, T0M0 = 0x01;
constexpr unsigned kTimer1Shift = 4; // timer 1's field of TMOD
constexpr uint8_t kTimerModeMask = 0x03, kTimerCounter = 0x04, kTimerGate = 0x08;
// SCON
constexpr uint8_t SM0 = 0x80, SM1 = 0x40, SM2 = 0x20, REN = 0x10, TB8 = 0x08, RB8 = 0x04,
                  TI = 0x02, RI = 0x01;
// IE
constexpr uint8_t EA = 0x80, ET2 = 0x20, ES = 0x10, ET1 = 0x08, EX1 = 0x04, ET0 = 0x02,
                  EX0 = 0x01;
// T2CON
constexpr uint8_t TF2 = 0x80, EXF2 = 0x40, RCLK = 0x20, TCLK = 0x10, EXEN2 = 0x08, TR2 = 0x04,
                  CT2 = 0x02, CPRL2 = 0x01;
// T2MOD
constexpr uint8_t T2OE = 0x02, DCEN = 0x01;
// WMCON
constexpr uint8_t EEMWE = 0x10, EEMEN = 0x08, DPS = 0x04, WDTRST = 0x02, WDTEN = 0x01;
constexpr uint8_t RDY = 0x02; // bit 1 as reads show it: the EEPROM is ready
// SPCR
constexpr uint8_t SPIE = 0x80, SPE = 0x40, DORD = 0x20, MSTR = 0x10, CPOL = 0x08, CPHA = 0x04;
// SPSR
constexpr uint8_t SPIF = 0x80, WCOL = 0x40;
// PCON
constexpr uint8_t SMOD = 0x80;
// SPCR: SPR1-SPR0, the SPI clock rate
constexpr uint8_t SPR_MASK = 0x03;
} // namespace bits

} // namespace quorvel::sfr
