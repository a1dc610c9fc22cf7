// The 8051 instruction set as the execution loop carries it out: the cycle
// table, what an SFR access calls for, the parity flag and the decoder.
#pragma once

#include "chip/chip_state.h"
#include "chip/interrupts.h"
#include "chip/timers.h"

#include <array>

namespace quorvel::detail {

using namespace sfr::bits;

// ------------------------------------------------------------ cycle table

constexpr uint8_t kTwoCycleOpcodes[] = {
    0x01, 0x02, 0x10, 0x11, 0x12, 0x20, 0x21, 0x22, 0x30, 0x31, 0x32, 0x40, 0x41, 0x43, 0x50,
    0x51, 0x53, 0x60, 0x61, 0x63, 0x70, 0x71, 0x72, 0x73, 0x75, 0x80, 0x81, 0x82, 0x83, 0x85,
    0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x91, 0x92, 0x93, 0xA0,
    0xA1, 0xA3, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB4,
    0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xD0, 0xD1,
    0xD5, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE0, 0xE1, 0xE2, 0xE3, 0xF0, 0xF1,
    0xF2, 0xF3,
};
static_assert(sizeof kTwoCycleOpcodes == 92);

constexpr std::array<uint8_t, 256> makeCycleTable() {
    std::array<uint8_t, 256> table{};
    for (auto& cycles : table) cycles = 1;
    for (uint8_t opcode : kTwoCycleOpcodes) table[opcode] = 2;
    table[0x84] = 4; // DIV AB
    table[0xA4] = 4; // MUL AB
    return table;
}
inline constexpr std::array<uint8_t, 256> kCycles = makeCycleTable();

// What accessing an SFR calls for, by address:
// - kSyncTimers: the timers (and the serial port they clock) must have
//   counted up to now before the access, since the byte is one they change
//   or one that changes how they count (port lines among them: gates,
//   counter inputs, T2EX, TXD, the clock-out on P1.0);
// - kEvents (writes): the time of the next timer or serial event, the
//   interrupt requests or the peripherals that run step by step may have
//   changed;
// - kHoldInterrupts (writes of IE and IP): one more instruction runs before
//   an interrupt is accepted;
// - kPortWrite (writes): a port latch changed, so the external inputs and
//   the part models look at the lines again;
// - kInputModes (writes): how the inputs are looked at may have changed
//   (edge or level, gates, counter inputs, T2EX), or IE0/IE1 were written.
constexpr unsigned kSyncTimers = 1;
constexpr unsigned kEvents = 2;
constexpr unsigned kHoldInterrupts = 4;
constexpr unsigned kPortWrite = 8;
constexpr unsigned kInputModes = 16;
// - kBankSwitch (writes of PSW): the register bank may have changed.
constexpr unsigned kBankSwitch = 32;
constexpr std::array<uint8_t, 256> makeAccessTable() {
    std::array<uint8_t, 256> table{};
    constexpr unsigned kTimed = kSyncTimers | kEvents;
    const struct {
        uint8_t address;
        unsigned calls;
    } rows[] = {
        {sfr::TCON, kTimed | kInputModes}, {sfr::TMOD, kTimed | kInputModes},   {sfr::TL0, kTimed},
        {sfr::TL1, kTimed},    {sfr::TH0, kTimed},    {sfr::TH1, kTimed},
        {sfr::PCON, kTimed},   {sfr::SCON, kTimed},   {sfr::SBUF, kTimed},
        {sfr::T2CON, kTimed | kInputModes}, {sfr::T2MOD, kTimed | kInputModes},  {sfr::RCAP2L, kTimed},
        {sfr::RCAP2H, kTimed}, {sfr::TL2, kTimed},    {sfr::TH2, kTimed},
        {sfr::IE, kTimed | kHoldInterrupts},          {sfr::IP, kTimed | kHoldInterrupts},
        {sfr::WMCON, kEvents}, {sfr::SPCR, kEvents},  {sfr::SPSR, kEvents},
        {sfr::SPDR, kEvents},  {sfr::P0, kPortWrite}, {sfr::P1, kSyncTimers | kPortWrite},
        {sfr::P2, kPortWrite}, {sfr::P3, kSyncTimers | kPortWrite},
        {sfr::PSW, kBankSwitch},
    };
    for (const auto& row : rows) table[row.address] = uint8_t(row.calls);
    return table;
}
constexpr std::array<uint8_t, 256> kAccess = makeAccessTable();

// What an instruction's `touched` reports beyond kAccess's write bits: a
// MOVX write (the on-chip EEPROM's write timer may start).
constexpr unsigned kTouchedOutOfLine = kEvents;

constexpr unsigned kAcc = sfr::sfrIndex(sfr::ACC);
constexpr unsigned kPsw = sfr::sfrIndex(sfr::PSW);
constexpr unsigned kB = sfr::sfrIndex(sfr::B);
constexpr unsigned kSp = sfr::sfrIndex(sfr::SP);
constexpr unsigned kDpl = sfr::sfrIndex(sfr::DPL);
constexpr unsigned kDph = sfr::sfrIndex(sfr::DPH);

constexpr std::array<uint8_t, 256> makeParityTable() {
    std::array<uint8_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned ones = 0;
        for (unsigned bit = value; bit; bit >>= 1) ones += bit & 1u;
        table[value] = uint8_t(ones & 1u);
    }
    return table;
}
constexpr std::array<uint8_t, 256> kParity = makeParityTable();
static_assert(kParity[0x00] == 0 && kParity[0x01] == 1 && kParity[0x03] == 0 &&
              kParity[0x80] == 1 && kParity[0xFF] == 0 && kParity[0xFE] == 1);

// Parity of A, overwriting whatever the program wrote to P. The execution
// loop leaves P behind A and brings it up to date where an instruction reads
// PSW or P, and whenever it hands the chip to anything else.
inline void updateParity(ChipState& c) {
    uint8_t& psw = c.sfrs[kPsw];
    psw = uint8_t((psw & ~P) | kParity[c.sfrs[kAcc]]);
}

// ------------------------------------------------------------ instructions

// Before an SFR is read or written: the timers count up to now, and P
// follows A. Out of line, with the SFR accesses below: the instructions
// that need them are the less common ones.
[[gnu::noinline]] inline void prepareSfr(ChipState& c, uint8_t address) {
    if (kAccess[address] & kSyncTimers) syncTimers(c);
    if (address == sfr::PSW) updateParity(c);
}
[[gnu::noinline]] inline uint8_t readSfr(ChipState& c, uint8_t address) {
    prepareSfr(c, address);
    return c.readDirect(address);
}
// Returns what the write calls for (kAccess).
[[gnu::noinline]] inline unsigned writeSfr(ChipState& c, uint8_t address, uint8_t value) {
    prepareSfr(c, address);
    c.writeDirect(address, value);
    return kAccess[address];
}

// Carries out one instruction on the chip. `bank` is the register bank PSW
// selects (the loop keeps it, and takes it anew after a write of PSW).
// `touched` collects what its SFR writes call for (kAccess), RETI's hold on
// interrupts, and MOVX.
struct Executor {
    ChipState& c;
    uint8_t* bank;
    // The displacement of the relative jump last taken (kept by the loop).
    // A jump taken with the same one again - every turn of a tight loop -
    // adds the kept value, so the next program counter need not wait for
    // the operand byte to come from program memory.
    int& lastDisplacement;
    unsigned touched = 0;

    uint16_t jump(uint16_t next, uint8_t displacement) {
        int d = int8_t(displacement);
        int kept = lastDisplacement;
        // Hides from the compiler that the two are equal below, which would
        // let it add the loaded value after all.
        asm("" : "+r"(kept));
        if (d == kept) [[likely]]
            return uint16_t(next + kept);
        lastDisplacement = d;
        return uint16_t(next + d);
    }

    uint8_t& acc() { return c.sfrs[kAcc]; }
    uint8_t& psw() { return c.sfrs[kPsw]; }
    uint8_t* regs() { return bank; }
    uint8_t& reg(unsigned n) { return regs()[n]; }
    uint8_t& indirect(unsigned i) { return c.iram[regs()[i]]; }
    unsigned carry() { return c.sfrs[kPsw] >> 7; }
    void setCarry(bool value) { psw() = value ? uint8_t(psw() | CY) : uint8_t(psw() & ~CY); }

    // Direct addresses below 80H are plain internal RAM: nothing to bring up
    // to date or report, so they go first; the SFRs go out of line.
    uint8_t readDir(uint8_t address) {
        if (address < 0x80) return c.iram[address];
        return readSfr(c, address);
    }
    void writeDir(uint8_t address, uint8_t value) {
        if (address < 0x80) {
            c.iram[address] = value;
            return;
        }
        touched |= writeSfr(c, address, value);
    }
    // Read-modify-write instructions work on the stored byte (the port latch).
    uint8_t readRmw(uint8_t address) {
        if (address < 0x80) return c.iram[address];
        prepareSfr(c, address);
        return c.sfrs[address - 0x80u];
    }
    void writeRmw(uint8_t address, uint8_t value) {
        if (address < 0x80) {
            c.iram[address] = value;
            return;
        }
        touched |= kAccess[address];
        c.sfrs[address - 0x80u] = value;
    }
    // Pin-side and latch bit reads.
    bool readBit(uint8_t bit) {
        if (bit >= 0x80) prepareSfr(c, ChipState::bitByteAddress(bit));
        return c.readBit(bit);
    }
    bool readLatchBit(uint8_t bit) {
        if (bit >= 0x80) prepareSfr(c, ChipState::bitByteAddress(bit));
        return c.readLatchBit(bit);
    }
    void writeBit(uint8_t bit, unsigned value) {
        if (bit >= 0x80) {
            const uint8_t address = ChipState::bitByteAddress(bit);
            prepareSfr(c, address);
            touched |= kAccess[address];
        }
        c.writeBit(bit, value);
    }

    void push(uint8_t value) { c.iram[++c.sfrs[kSp]] = value; }
    uint8_t pop() { return c.iram[c.sfrs[kSp]--]; }

    // ADD and ADDC.
    void add(uint8_t source, unsigned carryIn) {
        const unsigned a = acc();
        const unsigned sum = a + source + carryIn;
        const unsigned half = (a & 0x0Fu) + (source & 0x0Fu) + carryIn;
        const unsigned low7 = (a & 0x7Fu) + (source & 0x7Fu) + carryIn;
        unsigned flags = psw() & ~unsigned(CY | AC | OV);
        if (sum > 0xFFu) flags |= CY;
        if (half > 0x0Fu) flags |= AC;
        if (((sum >> 8) ^ (low7 >> 7)) & 1u) flags |= OV;
        psw() = uint8_t(flags);
        acc() = uint8_t(sum);
    }

    // SUBB: the borrow out of bit 7 is CY, out of bit 3 AC; OV is the borrow
    // into bit 7 differing from the borrow out of it.
    void subb(uint8_t source) {
        const unsigned a = acc();
        const unsigned borrowIn = carry();
        const unsigned diff = a - source - borrowIn;
        const unsigned half = (a & 0x0Fu) - (source & 0x0Fu) - borrowIn;
        const unsigned low7 = (a & 0x7Fu) - (source & 0x7Fu) - borrowIn;
        unsigned flags = psw() & ~unsigned(CY | AC | OV);
        const unsigned borrowOut = (diff >> 8) & 1u;
        if (borrowOut) flags |= CY;
        if (half & 0x10u) flags |= AC;
        if (borrowOut ^ ((low7 >> 7) & 1u)) flags |= OV;
        psw() = uint8_t(flags);
        acc() = uint8_t(diff);
    }

    // DA A: the low digit is adjusted first; a carry out of that (CY set
    // then), an earlier carry or a high digit above 9 adjusts the high one.
    // CY is set by any carry out and never cleared.
    void decimalAdjust() {
        unsigned t = acc();
        bool carry = (psw() & CY) != 0;
        if ((psw() & AC) || (t & 0x0Fu) > 9) {
            t += 6;
            carry = carry || t > 0xFF;
            t &= 0xFF;
        }
        if (carry || (t & 0xF0u) > 0x90u) {
            t += 0x60;
            carry = carry || t > 0xFF;
        }
        if (carry) psw() |= CY;
        acc() = uint8_t(t);
    }

    void mul() {
        const unsigned product = unsigned(acc()) * c.sfrs[kB];
        acc() = uint8_t(product);
        c.sfrs[kB] = uint8_t(product >> 8);
        psw() = uint8_t((psw() & ~(CY | OV)) | (product > 0xFF ? OV : 0));
    }

    // DIV AB; by zero A and B stay and OV is set.
    void div() {
        const uint8_t divisor = c.sfrs[kB];
        if (divisor == 0) {
            psw() = uint8_t((psw() & ~CY) | OV);
            return;
        }
        const uint8_t dividend = acc();
        acc() = uint8_t(dividend / divisor);
        c.sfrs[kB] = uint8_t(dividend % divisor);
        psw() = uint8_t(psw() & ~(CY | OV));
    }

    // CJNE: CY := first < second; jump if they differ.
    void compareJump(uint16_t& pc, uint8_t first, uint8_t second, uint8_t displacement) {
        setCarry(first < second);
        if (first != second) pc = jump(pc, displacement);
    }

    void exchange(uint8_t& cell) {
        const uint8_t value = cell;
        cell = acc();
        acc() = value;
    }

    uint16_t movxDptr() const {
        if (c.dualDptr && (c.sfrs[sfr::sfrIndex(sfr::WMCON)] & DPS)) return c.dptr1();
        return c.dptr();
    }
    uint16_t movxRi(unsigned i) {
        return uint16_t(c.sfrs[sfr::sfrIndex(sfr::P2)] << 8 | regs()[i]);
    }

    // `operands`: the two bytes after the opcode.
    uint16_t run(uint16_t pc, uint8_t op, const uint8_t* operands);
};

#define CASE2(base) case (base): case (base) + 1
#define CASE8(base)                                                                                \
    case (base): case (base) + 1: case (base) + 2: case (base) + 3: case (base) + 4:               \
    case (base) + 5: case (base) + 6: case (base) + 7

// Executes the instruction at `pc` and returns the next program counter. (A
// value rather than a reference keeps the program counter in a register in
// the loop.)
[[gnu::always_inline]] inline uint16_t Executor::run(uint16_t pc, uint8_t op, const uint8_t* operands) {
    // Read where a case needs them, so that no case pays for the others.
#define b1 operands[0]
#define b2 operands[1]
    uint8_t& a = acc();
    switch (op) {
    // ---- jumps and calls
    case 0x00: pc += 1; break; // NOP
    case 0x01: case 0x21: case 0x41: case 0x61: case 0x81: case 0xA1: case 0xC1: case 0xE1:
        // AJMP: within the 2K page of the following instruction.
        pc = uint16_t(((pc + 2) & 0xF800) | ((op & 0xE0) << 3) | b1);
        break;
    case 0x11: case 0x31: case 0x51: case 0x71: case 0x91: case 0xB1: case 0xD1: case 0xF1:
        pc += 2; // ACALL
        push(uint8_t(pc));
        push(uint8_t(pc >> 8));
        pc = uint16_t((pc & 0xF800) | ((op & 0xE0) << 3) | b1);
        break;
    case 0x02: pc = uint16_t(b1 << 8 | b2); break; // LJMP
    case 0x12:                                    // LCALL
        pc += 3;
        push(uint8_t(pc));
        push(uint8_t(pc >> 8));
        pc = uint16_t(b1 << 8 | b2);
        break;
    case 0x22: { // RET
        const uint8_t high = pop();
        pc = uint16_t(high << 8 | pop());
        break;
    }
    case 0x32: { // RETI
        const uint8_t high = pop();
        pc = uint16_t(high << 8 | pop());
        endInterruptLevel(c.periph.irq);
        touched |= kEvents | kHoldInterrupts;
        break;
    }
    case 0x80: pc = jump(uint16_t(pc + 2), b1); break; // SJMP
    case 0x40: pc += 2; if (psw() & CY) pc = jump(pc, b1); break;   // JC
    case 0x50: pc += 2; if (!(psw() & CY)) pc = jump(pc, b1); break; // JNC
    case 0x60: pc += 2; if (a == 0) pc = jump(pc, b1); break;        // JZ
    case 0x70: pc += 2; if (a != 0) pc = jump(pc, b1); break;        // JNZ
    case 0x20: pc += 3; if (readBit(b1)) pc = jump(pc, b2); break;  // JB
    case 0x30: pc += 3; if (!readBit(b1)) pc = jump(pc, b2); break; // JNB
    case 0x10: { // JBC: the latch bit, cleared either way
        pc += 3;
        const bool set = readLatchBit(b1);
        writeBit(b1, 0);
        if (set) pc = jump(pc, b2);
        break;
    }
    case 0x73: pc = uint16_t(c.dptr() + a); break; // JMP @A+DPTR
    case 0xB4: pc += 3; compareJump(pc, a, b1, b2); break;
    case 0xB5: pc += 3; compareJump(pc, a, readDir(b1), b2); break;
    CASE2(0xB6): pc += 3; compareJump(pc, indirect(op & 1), b1, b2); break;
    CASE8(0xB8): pc += 3; compareJump(pc, reg(op & 7), b1, b2); break;
    case 0xD5: { // DJNZ direct
        pc += 3;
        const uint8_t value = uint8_t(readRmw(b1) - 1);
        writeRmw(b1, value);
        if (value) pc = jump(pc, b2);
        break;
    }
    CASE8(0xD8): // DJNZ Rn
        pc += 2;
        if (--reg(op & 7)) pc = jump(pc, b1);
        break;

    // ---- increment and decrement
    case 0x04: pc += 1; ++a; break;
    case 0x05: pc += 2; writeRmw(b1, uint8_t(readRmw(b1) + 1)); break;
    CASE2(0x06): pc += 1; ++indirect(op & 1); break;
    CASE8(0x08): pc += 1; ++reg(op & 7); break;
    case 0x14: pc += 1; --a; break;
    case 0x15: pc += 2; writeRmw(b1, uint8_t(readRmw(b1) - 1)); break;
    CASE2(0x16): pc += 1; --indirect(op & 1); break;
    CASE8(0x18): pc += 1; --reg(op & 7); break;
    case 0xA3: { // INC DPTR (always DPH:DPL)
        pc += 1;
        const uint16_t dptr = uint16_t(c.dptr() + 1);
        c.sfrs[kDpl] = uint8_t(dptr);
        c.sfrs[kDph] = uint8_t(dptr >> 8);
        break;
    }

    // ---- arithmetic
    case 0x24: pc += 2; add(b1, 0); break;
    case 0x25: pc += 2; add(readDir(b1), 0); break;
    CASE2(0x26): pc += 1; add(indirect(op & 1), 0); break;
    CASE8(0x28): pc += 1; add(reg(op & 7), 0); break;
    case 0x34: pc += 2; add(b1, carry()); break;
    case 0x35: pc += 2; add(readDir(b1), carry()); break;
    CASE2(0x36): pc += 1; add(indirect(op & 1), carry()); break;
    CASE8(0x38): pc += 1; add(reg(op & 7), carry()); break;
    case 0x94: pc += 2; subb(b1); break;
    case 0x95: pc += 2; subb(readDir(b1)); break;
    CASE2(0x96): pc += 1; subb(indirect(op & 1)); break;
    CASE8(0x98): pc += 1; subb(reg(op & 7)); break;
    case 0xA4: pc += 1; mul(); break;
    case 0x84: pc += 1; div(); break;
    case 0xD4: pc += 1; decimalAdjust(); break;

    // ---- logic on A
    case 0x44: pc += 2; a |= b1; break;
    case 0x45: pc += 2; a |= readDir(b1); break;
    CASE2(0x46): pc += 1; a |= indirect(op & 1); break;
    CASE8(0x48): pc += 1; a |= reg(op & 7); break;
    case 0x54: pc += 2; a &= b1; break;
    case 0x55: pc += 2; a &= readDir(b1); break;
    CASE2(0x56): pc += 1; a &= indirect(op & 1); break;
    CASE8(0x58): pc += 1; a &= reg(op & 7); break;
    case 0x64: pc += 2; a ^= b1; break;
    case 0x65: pc += 2; a ^= readDir(b1); break;
    CASE2(0x66): pc += 1; a ^= indirect(op & 1); break;
    CASE8(0x68): pc += 1; a ^= reg(op & 7); break;

    // ---- logic on a direct byte (read-modify-write: the latch for ports)
    case 0x42: pc += 2; writeRmw(b1, readRmw(b1) | a); break;
    case 0x43: pc += 3; writeRmw(b1, readRmw(b1) | b2); break;
    case 0x52: pc += 2; writeRmw(b1, readRmw(b1) & a); break;
    case 0x53: pc += 3; writeRmw(b1, readRmw(b1) & b2); break;
    case 0x62: pc += 2; writeRmw(b1, readRmw(b1) ^ a); break;
    case 0x63: pc += 3; writeRmw(b1, readRmw(b1) ^ b2); break;

    // ---- accumulator operations
    case 0xE4: pc += 1; a = 0; break;
    case 0xF4: pc += 1; a = uint8_t(~a); break;
    case 0xC4: pc += 1; a = uint8_t(a << 4 | a >> 4); break; // SWAP A
    case 0x23: pc += 1; a = uint8_t(a << 1 | a >> 7); break; // RL A
    case 0x03: pc += 1; a = uint8_t(a >> 1 | a << 7); break; // RR A
    case 0x33: {                                             // RLC A
        pc += 1;
        const bool out = a & 0x80;
        a = uint8_t(a << 1 | carry());
        setCarry(out);
        break;
    }
    case 0x13: { // RRC A
        pc += 1;
        const bool out = a & 1;
        a = uint8_t(a >> 1 | carry() << 7);
        setCarry(out);
        break;
    }

    // ---- data moves
    case 0x74: pc += 2; a = b1; break;
    case 0xE5: pc += 2; a = readDir(b1); break;
    CASE2(0xE6): pc += 1; a = indirect(op & 1); break;
    CASE8(0xE8): pc += 1; a = reg(op & 7); break;
    case 0xF5: pc += 2; writeDir(b1, a); break;
    case 0x75: pc += 3; writeDir(b1, b2); break;
    CASE8(0x88): pc += 2; writeDir(b1, reg(op & 7)); break;
    CASE2(0x86): pc += 2; writeDir(b1, indirect(op & 1)); break;
    case 0x85: { // MOV direct,direct: byte 2 is the source, read first
        pc += 3;
        const uint8_t value = readDir(b1);
        writeDir(b2, value);
        break;
    }
    CASE2(0xF6): pc += 1; indirect(op & 1) = a; break;
    CASE2(0x76): pc += 2; indirect(op & 1) = b1; break;
    CASE2(0xA6): {
        pc += 2;
        const uint8_t value = readDir(b1);
        indirect(op & 1) = value;
        break;
    }
    CASE8(0xF8): pc += 1; reg(op & 7) = a; break;
    CASE8(0x78): pc += 2; reg(op & 7) = b1; break;
    CASE8(0xA8): {
        pc += 2;
        const uint8_t value = readDir(b1);
        reg(op & 7) = value;
        break;
    }
    case 0x90: pc += 3; c.sfrs[kDph] = b1; c.sfrs[kDpl] = b2; break;
    case 0x93: pc += 1; a = c.readCode(uint16_t(c.dptr() + a)); break;
    case 0x83: pc += 1; a = c.readCode(uint16_t(pc + a)); break;
    case 0xE0: pc += 1; a = c.readXdata(movxDptr()); break;
    CASE2(0xE2): pc += 1; a = c.readXdata(movxRi(op & 1)); break;
    case 0xF0: touched |= kTouchedOutOfLine; pc += 1; c.writeXdata(movxDptr(), a); break;
    CASE2(0xF2): touched |= kTouchedOutOfLine; pc += 1; c.writeXdata(movxRi(op & 1), a); break;
    case 0xC0: { // PUSH: SP first, then the direct read (PUSH SP pushes the new SP)
        pc += 2;
        const uint8_t sp = ++c.sfrs[kSp];
        c.iram[sp] = readDir(b1);
        break;
    }
    case 0xD0: { // POP: read, SP - 1, then store (POP SP loads the popped byte)
        pc += 2;
        if (b1 >= 0x80) prepareSfr(c, b1);
        const uint8_t value = pop();
        writeRmw(b1, value);
        break;
    }
    case 0xC5: { // XCH A,direct: in through the read path, back as stored byte
        pc += 2;
        const uint8_t value = readDir(b1);
        writeRmw(b1, a);
        a = value;
        break;
    }
    CASE2(0xC6): pc += 1; exchange(indirect(op & 1)); break;
    CASE8(0xC8): pc += 1; exchange(reg(op & 7)); break;
    CASE2(0xD6): { // XCHD: low nibbles only
        pc += 1;
        uint8_t& cell = indirect(op & 1);
        const uint8_t value = cell;
        cell = uint8_t((cell & 0xF0) | (a & 0x0F));
        a = uint8_t((a & 0xF0) | (value & 0x0F));
        break;
    }

    // ---- bits
    case 0xC3: pc += 1; psw() &= uint8_t(~CY); break;
    case 0xD3: pc += 1; psw() |= CY; break;
    case 0xB3: pc += 1; psw() ^= CY; break;
    case 0xC2: pc += 2; writeBit(b1, 0); break;
    case 0xD2: pc += 2; writeBit(b1, 1); break;
    case 0xB2: pc += 2; writeBit(b1, !readLatchBit(b1)); break; // CPL bit: from the latch
    case 0xA2: pc += 2; setCarry(readBit(b1)); break;
    case 0x92: pc += 2; writeBit(b1, carry()); break;
    case 0x82: pc += 2; if (!readBit(b1)) setCarry(false); break; // ANL C,bit
    case 0xB0: pc += 2; if (readBit(b1)) setCarry(false); break;  // ANL C,/bit
    case 0x72: pc += 2; if (readBit(b1)) setCarry(true); break;   // ORL C,bit
    case 0xA0: pc += 2; if (!readBit(b1)) setCarry(true); break;  // ORL C,/bit

    // ---- the undefined opcode: time passes, the program counter stays
    case 0xA5: break;
    }
    return pc;
}

#undef b1
#undef b2
#undef CASE2
#undef CASE8

} // namespace quorvel::detail
