// The execution loop: the simulated chip running instructions back to back.
//
// One loop runs every instruction, whether the user single-steps or the
// program runs free: a single step is the loop run once. Per instruction it
// fetches, adds the instruction's machine cycles to the machine-cycle
// counter, handles the peripheral events due by the end of the instruction,
// executes it, and - only when something asks for it - checks interrupts and
// runs what works step by step. Peripheral time is scheduled: the timers are
// brought up to the counter when a program looks at them or an event of
// theirs is due (a timer overflow with its interrupt enabled, a serial bit
// boundary), not instruction by instruction. The stop conditions of breakpoint
// runs and of the command-line runner are checked in the same loop.
//
// The loop allocates nothing, takes no lock and makes no virtual call except
// the rare ChipEvents notices (a byte sent or received, a host's frame sent
// or read on the serial line, SCON/SPCR written).
// Busy flags, run modes and threads belong to run control, which calls it.
#pragma once

#include "machine/breakpoint.h"

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>

namespace quorvel {

struct Machine;

// Machine cycles of each opcode: 4 for MUL and DIV, 2 for the 92 two-cycle
// opcodes, 1 for every other (0xA5 included).
int instructionCycles(uint8_t opcode);

// A set of program-memory addresses (source-line breakpoints).
using CodeAddressSet = std::bitset<0x10000>;

// What ends a run before its step budget.
struct StopConditions {
    // After an instruction that leaves the program counter here.
    std::optional<uint16_t> untilPc;
    // After a jump to itself (SJMP $, AJMP $, LJMP $), once nothing is going
    // out of the UART.
    bool selfJump = false;
    // After an instruction following which one of these holds (checked in
    // order); `kind` selects the device's register list.
    std::span<const BreakpointCondition> breakpoints;
    DeviceKind kind = DeviceKind::AT89C51;
    // After an instruction that leaves the program counter at one of these.
    const CodeAddressSet* addresses = nullptr;
    // After an instruction that leaves the port lines in `pinMask` at the
    // levels of `pinLevels` (packed as ChipState::pinSideLevels).
    uint32_t pinMask = 0;
    uint32_t pinLevels = 0;
    // After an instruction during which the front end's event receiver set
    // this flag (a byte the UART sent completed what it waits for).
    const bool* request = nullptr;
    // After an instruction during which the watchdog's period ran out and
    // it reset the chip (the program counter is then 0).
    bool watchdogReset = false;

    bool any() const {
        return untilPc || selfJump || !breakpoints.empty() || addresses || pinMask || request || watchdogReset;
    }
};

// Watchpoint: a watched place changed (machine.watchpoints->hit() tells
// which, its old and new value and the instruction that wrote it).
// PinLevel: the lines of StopConditions::pinMask came to their levels.
// Request: StopConditions::request was set.
// WatchdogReset: the watchdog reset the chip (StopConditions::watchdogReset).
enum class StopCause : uint8_t {
    Steps, PcOutOfRange, UntilPc, SelfJump, Breakpoint, Address, Watchpoint, PinLevel, Request, WatchdogReset,
};

struct RunResult {
    uint32_t steps = 0;        // steps executed
    bool pcOutOfRange = false; // the last one left program memory
    StopCause cause = StopCause::Steps;
    int breakIndex = -1;       // the breakpoint that held
};

// Runs up to `maxSteps` instructions, stopping early after one that left
// program memory (the program counter is then put back to that
// instruction's address; its other effects stay, and the caller stops with
// "PC Exceeds Maximum Program Memory") or after one that met a stop
// condition. chip.side.instructionAddress holds the address of the last
// instruction executed. Between two calls the whole machine is up to date
// and may be read or changed. While machine.codeProfile is on, every
// instruction is counted there (code_profile.h); while machine.callStack or
// machine.watchpoints is set, it is fed after every instruction. Nothing but the calling thread may touch the
// machine during the call; run control calls it in batches so that a pause
// waits at most one batch.
// Thread: the simulation thread, or the user-interface thread while no run
// is active.
RunResult runSteps(Machine& machine, uint32_t maxSteps, const StopConditions& stops = {});

// One instruction with everything that follows it. Returns true when the
// program counter left program memory (as runSteps).
inline bool step(Machine& machine) { return runSteps(machine, 1).pcOutOfRange; }

} // namespace quorvel
