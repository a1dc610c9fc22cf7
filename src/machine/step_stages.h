// The stages around an instruction that every kind of step shares: whether
// they have work, the serial port to the watchdog after the instruction, and
// the complete general step. For the executor's step and free-run loops only.
#pragma once

#include "chip/eeprom_watchdog.h"
#include "chip/instruction_set.h"
#include "chip/interrupts.h"
#include "machine/machine.h"
#include "chip/serial_port.h"
#include "chip/spi_unit.h"
#include "chip/timers.h"
#include "machine/module_hooks.h"

namespace quorvel::detail {

// Stages 3 and 4 have work only while an external input is watched or a
// timer can run.
inline bool beforeInstructionNeeded(const ChipState& c) {
    const uint8_t* s = c.sfrs.data();
    const unsigned watched = (s[sfr::sfrIndex(sfr::TCON)] & (IT0 | IT1 | TR0 | TR1)) |
                             (s[sfr::sfrIndex(sfr::IE)] & (EX0 | EX1)) |
                             (s[sfr::sfrIndex(sfr::T2CON)] & (EXEN2 | TR2)) |
                             (c.pins.pulseRequests & (kPulseInt0 | kPulseInt1 | kPulseT2ex)) |
                             unsigned((s[sfr::sfrIndex(sfr::TMOD)] & 0x03) == 0x03);
    return watched != 0;
}

// Whether any of stages 7-10, 12, 13 and 15 has work after this instruction.
inline bool afterInstructionNeeded(const ChipState& c) {
    const uint8_t* s = c.sfrs.data();
    const PeripheralState& p = c.periph;
    const unsigned busy = (s[sfr::sfrIndex(sfr::IE)] & EA) |
                          (s[sfr::sfrIndex(sfr::SPCR)] & SPE) |
                          (s[sfr::sfrIndex(sfr::WMCON)] & (WDTRST | WDTEN)) | p.serial.txState |
                          p.serial.rxRequest | p.irq.requests |
                          (unsigned(p.irq.acceptance) & 0x02u) | // IE/IP-written, after RETI
                          (c.eepromReady ^ 2u) | unsigned(p.watchdogEnabled);
    return busy != 0;
}

// 14. Every line as a bit read sees it, remembered for the next step's edges.
inline void rememberPinLevels(ChipState& c) {
    const uint32_t nc = c.pins.ncMask;
    uint32_t levels = c.pins.levels;
    if (nc) levels = (levels & ~nc) | (c.portLatches() & nc);
    c.periph.timers.prevLevels = levels;
}

// 16. External part models. 17. Program counter beyond program memory: put
// back to the instruction's address and reported.
inline bool finishStep(Machine& machine, int cycles, uint16_t address) {
    runModuleHooksIfNeeded(machine, cycles);
    ChipState& c = machine.chip;
    if (c.pc > c.codeLimit) {
        c.pc = address;
        return true;
    }
    return false;
}

// Stages that seldom have work, for a stretch of general steps: whether the
// external inputs need sampling, and whether the EEPROM write timer, the SPI
// unit or the watchdog may run; and whether the timers are in their simple
// case (timersSimple). Each can change only through an instruction that
// wrote a watched register or did a MOVX (`touched`), or through one of the
// rare stages themselves (a watchdog reset); so they are looked at again
// after such an instruction, and after every step while a rare stage is on.
// A gate that is open still lets the stage make its own check; the default
// opens every gate and takes the timers' general entry.
struct StageGates {
    bool external = true;
    bool rare = true;
    bool simpleTimers = false;
    void refresh(const ChipState& c) {
        external = externalSamplingNeeded(c);
        rare = eepromTimerActive(c) || spiUnitEnabled(c) || watchdogActive(c);
        simpleTimers = timersSimple(c);
    }
};

// Stages 7 to 15 in their order.
// `rare`: the EEPROM write timer, SPI unit and watchdog may have work.
inline void afterInstruction(ChipState& c, int cycles, bool rare = true) {
    // 7-10. Serial port, interrupts, EEPROM write time, SPI unit.
    if (serialPortActive(c)) runSerialPort(c, cycles);
    checkInterrupts(c);
    if (rare) {
        if (eepromTimerActive(c)) runEepromTimer(c, cycles);
        if (spiUnitEnabled(c)) runSpiUnit(c, cycles);
    }
    // 11. Machine-cycle counter.
    c.cycles += uint32_t(cycles);
    // 12-13. Acceptance settles after one instruction; requests end.
    InterruptState& irq = c.periph.irq;
    if (irq.acceptance >= Acceptance::IeIpWritten) irq.acceptance = Acceptance::Accepting;
    irq.requests = 0;
    // 14. Pin levels for edge detection.
    rememberPinLevels(c);
    // 15. Watchdog.
    if (rare && watchdogActive(c)) runWatchdog(c, cycles);
}

// Stages 7 to 17, out of line.
[[gnu::noinline]] bool afterInstructionAndFinish(Machine& machine, int cycles, uint16_t address);

// Stages 2 to 15 for any instruction in any state of the peripherals (the
// instruction address is already recorded), with the stages behind closed
// gates skipped. Returns the cycles; `touched` as the executor's.
inline int generalStepStages(ChipState& c, uint16_t address, const StageGates& gates = {},
                             unsigned* touched = nullptr) {
    uint8_t op, b1, b2;
    if (uint32_t(address) + 2u <= c.codeLimit) {
        const uint8_t* bytes = c.code.data() + address;
        op = bytes[0];
        b1 = bytes[1];
        b2 = bytes[2];
    } else {
        op = c.readCode(address);
        b1 = c.readCode(uint16_t(address + 1));
        b2 = c.readCode(uint16_t(address + 2));
    }
    const int cycles = kCycles[op];
    // 3. External interrupt inputs. 4. Timers, which see the state before
    // the instruction.
    if (gates.external && externalSamplingNeeded(c)) sampleExternalInterrupts(c);
    if (gates.simpleTimers)
        advanceSimpleTimers(c, cycles);
    else
        advanceTimers(c, cycles);
    // 5. The instruction.
    Executor<false> executor{c};
    const uint8_t operands[2] = {b1, b2};
    c.pc = uint16_t(executor.run(address, op, operands));
    if (touched) *touched = executor.touched;
    updateParity(c);
    // An instruction that touched a watched register may have started a
    // rare stage for this very step.
    afterInstruction(c, cycles, gates.rare || executor.touched);
    return cycles;
}

// A complete step on the general path, out of line (the instruction address
// is already recorded). Returns true when the program counter left program
// memory (it is then put back).
[[gnu::noinline]] bool generalStep(Machine& machine, uint16_t address);

} // namespace quorvel::detail
