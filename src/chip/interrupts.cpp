#include "chip/interrupts.h"

#include "chip/timers.h"

namespace quorvel {

namespace {

using namespace sfr::bits;

enum Source : unsigned { kInt0, kTimer0, kInt1, kTimer1, kSerial, kTimer2, kSources };

constexpr uint16_t kVectors[kSources] = {0x0003, 0x000B, 0x0013, 0x001B, 0x0023, 0x002B};

// Falling edges the I/O window's pulse buttons stand for.
constexpr struct {
    uint8_t request;
    int line;
} kPulseLines[] = {
    {kPulseT0, pin::T0},     {kPulseT1, pin::T1},     {kPulseT2, pin::T2},
    {kPulseInt0, pin::INT0}, {kPulseInt1, pin::INT1}, {kPulseT2ex, pin::T2EX},
};

// IE0/IE1 from their line: edge-triggered, set by a falling edge;
// level-triggered, the inverted line (a pulse holds it for one instruction).
bool externalInput(uint8_t& tcon, uint8_t edgeMode, uint8_t flag, int line, uint32_t levels,
                   uint32_t falling, bool pulsed) {
    if (tcon & edgeMode) {
        if ((falling >> line) & 1u) tcon |= flag;
        return false;
    }
    const bool low = !((levels >> line) & 1u) || pulsed;
    tcon = low ? uint8_t(tcon | flag) : uint8_t(tcon & ~flag);
    return pulsed;
}

} // namespace

bool sampleInputs(ChipState& chip) {
    const uint32_t levels = chip.pins.lineLevels(chip.portLatches());
    TimerState& timers = chip.periph.timers;
    uint32_t falling = timers.prevLevels & ~levels & kWatchedInputLines;
    timers.prevLevels = levels & kWatchedInputLines;
    uint8_t& pulses = chip.pins.pulseRequests;
    for (const auto& p : kPulseLines)
        if (pulses & p.request) falling |= pin::bit(p.line);
    uint8_t& tcon = chip.sfrs[sfr::sfrIndex(sfr::TCON)];
    bool again = externalInput(tcon, IT0, IE0, pin::INT0, levels, falling, pulses & kPulseInt0);
    again |= externalInput(tcon, IT1, IE1, pin::INT1, levels, falling, pulses & kPulseInt1);
    pulses = 0;
    if (falling) timerInputEdges(chip, falling);
    return again;
}

unsigned interruptRequests(const ChipState& chip) {
    const uint8_t* s = chip.sfrs.data();
    const uint8_t tcon = s[sfr::sfrIndex(sfr::TCON)];
    const uint8_t t2con = s[sfr::sfrIndex(sfr::T2CON)];
    unsigned flags = 0;
    if (tcon & IE0) flags |= 1u << kInt0;
    if (tcon & TF0) flags |= 1u << kTimer0;
    if (tcon & IE1) flags |= 1u << kInt1;
    if (tcon & TF1) flags |= 1u << kTimer1;
    if ((s[sfr::sfrIndex(sfr::SCON)] & (RI | TI)) ||
        ((s[sfr::sfrIndex(sfr::SPCR)] & SPIE) && (s[sfr::sfrIndex(sfr::SPSR)] & SPIF)))
        flags |= 1u << kSerial;
    if ((t2con & TF2) || ((t2con & EXF2) && !(s[sfr::sfrIndex(sfr::T2MOD)] & DCEN)))
        flags |= 1u << kTimer2;
    // IE bits 0-5 enable the sources in the same order.
    constexpr unsigned kSourceBits = (1u << kSources) - 1;
    return flags & s[sfr::sfrIndex(sfr::IE)] & kSourceBits;
}

bool acceptInterrupt(ChipState& chip) {
    uint8_t* s = chip.sfrs.data();
    if (!(s[sfr::sfrIndex(sfr::IE)] & EA)) return false;
    const unsigned requests = interruptRequests(chip);
    if (!requests) return false;
    InterruptState& irq = chip.periph.irq;
    // IP bits 0-5 give the sources' priority in the same order.
    const unsigned high = requests & s[sfr::sfrIndex(sfr::IP)];
    const unsigned low = requests & ~unsigned(s[sfr::sfrIndex(sfr::IP)]);
    unsigned source;
    uint8_t level;
    if (high && !(irq.inService & kInServiceHigh)) {
        source = unsigned(__builtin_ctz(high));
        level = kInServiceHigh;
    } else if (low && !irq.inService) {
        source = unsigned(__builtin_ctz(low));
        level = kInServiceLow;
    } else {
        return false;
    }
    uint8_t& sp = s[sfr::sfrIndex(sfr::SP)];
    chip.iram[++sp] = uint8_t(chip.pc);
    chip.iram[++sp] = uint8_t(chip.pc >> 8);
    chip.pc = kVectors[source];
    irq.inService |= level;
    uint8_t& tcon = s[sfr::sfrIndex(sfr::TCON)];
    switch (source) {
    case kInt0: if (tcon & IT0) tcon &= uint8_t(~IE0); break;
    case kTimer0: tcon &= uint8_t(~TF0); break;
    case kInt1: if (tcon & IT1) tcon &= uint8_t(~IE1); break;
    case kTimer1: tcon &= uint8_t(~TF1); break;
    default: break;
    }
    return true;
}

} // namespace quorvel
