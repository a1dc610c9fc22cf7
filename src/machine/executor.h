// The instruction executor: one complete machine step of the simulated chip.
//
// A step fetches the instruction at the program counter, samples the
// external interrupt inputs, advances the timers by the instruction's machine
// cycles (they see the state before the instruction), executes it, updates
// the parity flag, runs the serial port, the interrupt check, the EEPROM
// write timer and the SPI unit, adds the cycles to the machine-cycle counter,
// settles the interrupt-acceptance state, clears the external requests,
// remembers the P1/P3 pin levels for edge detection, runs the watchdog and
// finally the external part models' hooks. It decodes all 256 opcodes
// itself (0xA5 does nothing and leaves the program counter where it is) and
// carries its own cycle table.
//
// The step allocates nothing, takes no lock and makes no virtual call except
// the rare ChipEvents notices (a byte sent or received, SCON/SPCR written).
// Busy flags, run modes and threads belong to run control, which calls it.
#pragma once

#include <cstdint>

namespace quorvel {

struct Machine;

// Machine cycles of each opcode as the executor counts them: 4 for MUL and
// DIV, 2 for the 92 two-cycle opcodes, 1 for every other (0xA5 included).
int instructionCycles(uint8_t opcode);

// Executes one instruction with everything that follows it. Returns true when
// the program counter left program memory (above the code limit) after the
// instruction; the program counter is then put back to the instruction's own
// address, its other effects stay, and the caller stops the run with "PC
// Exceeds Maximum Program Memory". chip.side.instructionAddress holds the
// address of the instruction executed.
// Thread: the simulation thread, or the user-interface thread while no run is
// active.
bool step(Machine& machine);

// The same step without the shortcuts step() takes while the chip is quiet
// (every stage checked, every instruction on the general decoder). For
// comparisons in tests; same result, only slower.
bool stepWithoutShortcuts(Machine& machine);

struct RunResult {
    uint32_t steps = 0;        // steps executed
    bool pcOutOfRange = false; // the last one left program memory (as step)
};

// Free running: up to `maxSteps` steps back to back, exactly as that many
// calls of step() would run them, stopping early after a step that left
// program memory. Faster than separate steps while no peripheral is active,
// because the quiet checks are repeated only after an instruction that wrote
// a register that could wake one. Nothing but the executing thread may touch
// the machine during the call; run control calls it in small batches so that
// a pause waits at most one batch.
// Thread: as step.
RunResult runSteps(Machine& machine, uint32_t maxSteps);

} // namespace quorvel
