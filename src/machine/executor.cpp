#include "machine/executor.h"

#include "machine/step_stages.h"

namespace quorvel {

namespace detail {

[[gnu::noinline]] bool afterInstructionAndFinish(Machine& machine, int cycles,
                                                 uint16_t address) {
    afterInstruction(machine.chip, cycles);
    return finishStep(machine, cycles, address);
}

[[gnu::noinline]] bool generalStep(Machine& machine, uint16_t address) {
    const int cycles = generalStepStages(machine.chip, address);
    return finishStep(machine, cycles, address);
}

} // namespace detail

using namespace detail;

int instructionCycles(uint8_t opcode) { return kCycles[opcode]; }

bool stepWithoutShortcuts(Machine& machine) {
    const uint16_t address = machine.chip.pc;
    machine.chip.side.instructionAddress = address;
    return generalStep(machine, address);
}

// The quiet path: no timer running, no external input watched, nothing
// pending in the UART, interrupts, EEPROM, SPI or watchdog, and an
// instruction that needs no out-of-line help. It does the same stages as
// generalStep, skipping those that have nothing to do, and leaves every
// other case to generalStep and afterInstructionAndFinish (tail calls, so the
// quiet path needs little of a stack frame).
[[gnu::flatten]] bool step(Machine& machine) {
    ChipState& c = machine.chip;

    // 1. The instruction address.
    const uint16_t address = c.pc;
    c.side.instructionAddress = address;
    if (uint32_t(address) + 2u > c.codeLimit || beforeInstructionNeeded(c))
        return generalStep(machine, address);

    // 2. Fetch. 5. The instruction. 6. Parity.
    const uint8_t* bytes = c.code.data() + address;
    const uint8_t op = bytes[0];
    const uint32_t next = Executor<true>{c}.run(address, op, bytes + 1);
    if (next == kRefused) return generalStep(machine, address);
    c.pc = uint16_t(next);
    updateParity(c);

    // 7-15, of which only 11 and 14 have work in the quiet case.
    const int cycles = kCycles[op];
    if (afterInstructionNeeded(c)) return afterInstructionAndFinish(machine, cycles, address);
    c.cycles += uint32_t(cycles);
    rememberPinLevels(c);
    return finishStep(machine, cycles, address);
}

} // namespace quorvel
