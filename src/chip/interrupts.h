// The interrupt system: sampling of the external interrupt inputs, the
// twelve candidates in their fixed urgency order, and the acceptance state.
//
// Lines watched: INT0 = P3.2, INT1 = P3.3, T2EX = P1.1 (falling edges since
// the end of the previous instruction, or the line level in level mode), and
// the I/O window's pulse requests for INT0, INT1 and T2EX.
//
// Urgency 1-6 are the sources whose IP bit is set (INT0, timer 0, INT1,
// timer 1, serial/SPI, timer 2), urgency 7-12 the same sources with their IP
// bit clear. One interrupt at most is vectored per instruction, after the
// instruction; vectoring costs no machine cycles. There is a single in-service
// urgency, not a stack: after RETI from a nested handler the chip accepts
// again although the outer handler still runs. An external request lives for
// one instruction only, so an edge that is not accepted in the instruction of
// the edge is lost (IE0/IE1 stay set but are not looked at). RETI and any
// byte instruction with IE or IP as direct operand delay acceptance from the
// accepting state by one instruction.
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

// Whether the external-interrupt inputs need sampling this step: an input in
// edge mode (IE0/IE1 are visible), an external interrupt enabled, T2EX
// watched, or a pulse request pending. (A level-mode request matters only to
// an enabled INT0/INT1.)
inline bool externalSamplingNeeded(const ChipState& chip) {
    using namespace sfr::bits;
    return (chip.sfrs[sfr::sfrIndex(sfr::TCON)] & (IT0 | IT1)) != 0 ||
           (chip.sfrs[sfr::sfrIndex(sfr::IE)] & (EX0 | EX1)) != 0 ||
           (chip.sfrs[sfr::sfrIndex(sfr::T2CON)] & EXEN2) != 0 ||
           (chip.pins.pulseRequests & (kPulseInt0 | kPulseInt1 | kPulseT2ex)) != 0;
}

// Samples INT0, INT1 and T2EX before the instruction runs: raises this step's
// requests, IE0/IE1 on edges and EXF2 on a T2EX edge with EXEN2, and turns the
// pulse requests for these inputs into requests.
void sampleExternalInterrupts(ChipState& chip);

// Request bits of the six sources that are enabled in IE, in urgency order
// (bit 0 = INT0, timer 0, INT1, timer 1, serial/SPI, bit 5 = timer 2). EXF2
// counts here; as a high-priority request it counts only while DCEN = 0,
// which resolveInterrupt applies. Only the enabled sources are looked at.
inline unsigned enabledRequests(const ChipState& chip) {
    using namespace sfr::bits;
    const uint8_t* s = chip.sfrs.data();
    const unsigned enabled = s[sfr::sfrIndex(sfr::IE)] & 0x3Fu;
    unsigned requests = 0;
    if (enabled & 0x0Au) requests |= (s[sfr::sfrIndex(sfr::TCON)] >> 4) & 0x0Au; // TF0, TF1
    if (enabled & 0x05u) {
        const unsigned external = chip.periph.irq.requests;
        requests |= (external & kRequestInt0) | ((external & kRequestInt1) << 1);
    }
    if ((enabled & 0x10u) &&
        ((s[sfr::sfrIndex(sfr::SCON)] & (RI | TI)) ||
         (s[sfr::sfrIndex(sfr::SPCR)] & s[sfr::sfrIndex(sfr::SPSR)] & 0x80))) // SPIE, SPIF
        requests |= 0x10u;
    if ((enabled & 0x20u) && (s[sfr::sfrIndex(sfr::T2CON)] & (TF2 | EXF2))) requests |= 0x20u;
    return requests & enabled;
}

// Picks the most urgent of the enabled requests and vectors it if the chip
// accepts it. Since the candidates are examined in urgency order, a less
// urgent one can never be accepted when the most urgent fails.
void resolveInterrupt(ChipState& chip, unsigned enabled);

// The interrupt check after an instruction (only with EA set).
inline void checkInterrupts(ChipState& chip) {
    using namespace sfr::bits;
    const uint8_t* s = chip.sfrs.data();
    if (!(s[sfr::sfrIndex(sfr::IE)] & EA)) return;
    const unsigned enabled = enabledRequests(chip);
    if (!enabled) return;
    // Outside the accepting state only a request more urgent than the one in
    // service is vectored. The most urgent candidate cannot be more urgent
    // than the first enabled request with its IP bit set (urgency 1-6), or
    // without one the first enabled request (7-12); when even that is not
    // more urgent, resolveInterrupt would do nothing.
    const InterruptState& irq = chip.periph.irq;
    if (irq.acceptance != Acceptance::Accepting) {
        const unsigned high = enabled & s[sfr::sfrIndex(sfr::IP)];
        const unsigned best = high ? unsigned(__builtin_ctz(high)) + 1
                                   : unsigned(__builtin_ctz(enabled)) + 7;
        if (irq.urgency <= best) return;
    }
    resolveInterrupt(chip, enabled);
}

// Vectors the candidate of urgency `urgency` (1-12): pushes the program
// counter, jumps to the vector, records the urgency as in service and clears
// the flags the hardware clears (INT0/INT1 request and IE0/IE1, TF0, TF1).
void vectorInterrupt(ChipState& chip, unsigned urgency);

} // namespace quorvel
