#include "chip/interrupts.h"

namespace quorvel {

namespace {

using namespace sfr::bits;

constexpr int kPinInt0 = 26; // P3.2
constexpr int kPinInt1 = 27; // P3.3

bool usesLatch(const PinState& pins, int index) {
    const uint8_t setting = pins.setting[index];
    return setting == kInputNC || setting == kInputPulse;
}

struct Vector {
    uint16_t address;
    uint8_t tconClear; // flags cleared in TCON when vectored
};

// By source (urgency 1-6 and 7-12 share a source).
constexpr Vector kVectors[6] = {
    {0x0003, IE0}, {0x000B, TF0}, {0x0013, IE1}, {0x001B, TF1}, {0x0023, 0}, {0x002B, 0},
};

} // namespace

void sampleExternalInterrupts(ChipState& chip) {
    uint8_t& tcon = chip.sfrs[sfr::sfrIndex(sfr::TCON)];
    InterruptState& irq = chip.periph.irq;
    const PinState& pins = chip.pins;
    const uint32_t levels = chip.pinSideLevels();
    const TimerEdgeState& edges = chip.periph.timers;
    const uint8_t fallP3 = uint8_t(edges.prevP3() & ~(levels >> 24));
    const uint8_t fallP1 = uint8_t(edges.prevP1() & ~(levels >> 8));
    const uint8_t latchP3 = chip.sfrs[sfr::sfrIndex(sfr::P3)];

    // INT0: an edge sets IE0 and the request; in level mode the request is
    // raised while the line is low (the latch stands for an "NC" or "Pulse"
    // line).
    if (tcon & IT0) {
        if (fallP3 & 0x04) {
            irq.requests |= kRequestInt0;
            tcon |= IE0;
        }
    } else {
        const bool low = usesLatch(pins, kPinInt0) ? !(latchP3 & 0x04) : !pins.level(kPinInt0);
        if (low) irq.requests |= kRequestInt0;
    }

    // INT1 likewise, but an "NC" or "Pulse" line in level mode needs both
    // its level and its latch low.
    if (tcon & IT1) {
        if (fallP3 & 0x08) {
            irq.requests |= kRequestInt1;
            tcon |= IE1;
        }
    } else {
        bool low = !pins.level(kPinInt1);
        if (usesLatch(pins, kPinInt1)) low = low && !(latchP3 & 0x08);
        if (low) irq.requests |= kRequestInt1;
    }

    uint8_t& t2con = chip.sfrs[sfr::sfrIndex(sfr::T2CON)];
    if ((t2con & EXEN2) && (fallP1 & 0x02)) {
        irq.requests |= kRequestT2ex;
        t2con |= EXF2;
    }

    // Pulse buttons of the I/O window: a one-instruction request, like an
    // edge (which also shows in IE0/IE1 in edge mode).
    uint8_t& pulses = chip.pins.pulseRequests;
    if (pulses & kPulseInt0) {
        irq.requests |= kRequestInt0;
        if (tcon & IT0) tcon |= IE0;
    }
    if (pulses & kPulseInt1) {
        irq.requests |= kRequestInt1;
        if (tcon & IT1) tcon |= IE1;
    }
    if (pulses & kPulseT2ex) {
        irq.requests |= kRequestT2ex;
        if (t2con & EXEN2) t2con |= EXF2;
    }
    pulses = uint8_t(pulses & ~(kPulseInt0 | kPulseInt1 | kPulseT2ex));
}

void resolveInterrupt(ChipState& chip, unsigned enabled) {
    const uint8_t ip = chip.sfrs[sfr::sfrIndex(sfr::IP)];
    unsigned high = enabled & ip;
    // EXF2 alone is a high-priority request only while DCEN = 0.
    const uint8_t t2con = chip.sfrs[sfr::sfrIndex(sfr::T2CON)];
    if ((high & 0x20u) && !(t2con & TF2) && (chip.sfrs[sfr::sfrIndex(sfr::T2MOD)] & DCEN))
        high &= ~0x20u;
    const unsigned low = enabled & ~unsigned(ip);
    unsigned urgency;
    if (high)
        urgency = unsigned(__builtin_ctz(high)) + 1;
    else if (low)
        urgency = unsigned(__builtin_ctz(low)) + 7;
    else
        return;
    const InterruptState& irq = chip.periph.irq;
    if (irq.acceptance == Acceptance::Accepting || irq.urgency > urgency)
        vectorInterrupt(chip, urgency);
}

void vectorInterrupt(ChipState& chip, unsigned urgency) {
    const unsigned source = (urgency - 1) % 6;
    uint8_t& sp = chip.sfrs[sfr::sfrIndex(sfr::SP)];
    chip.iram[++sp] = uint8_t(chip.pc);
    chip.iram[++sp] = uint8_t(chip.pc >> 8);
    chip.pc = kVectors[source].address;
    InterruptState& irq = chip.periph.irq;
    irq.acceptance = Acceptance::InService;
    irq.urgency = uint8_t(urgency);
    chip.sfrs[sfr::sfrIndex(sfr::TCON)] &= uint8_t(~kVectors[source].tconClear);
    if (source == 0) irq.requests &= uint8_t(~kRequestInt0);
    if (source == 2) irq.requests &= uint8_t(~kRequestInt1);
}

} // namespace quorvel
