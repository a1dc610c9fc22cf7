// Free running (runSteps): the same steps as step() back to back, in
// stretches of the kind the chip's state allows - quiet, busy with timers,
// the UART and interrupts, or awake in any other way.
#include "machine/executor.h"

#include "machine/step_stages.h"

namespace quorvel {

namespace {

using namespace detail;

// Stage 5 on the general decoder, out of line: the busy stretch needs it
// only for the instructions the quiet one refuses.
[[gnu::noinline]] uint16_t generalInstruction(ChipState& c, uint16_t pc, uint8_t op,
                                              const uint8_t* operands) {
    return uint16_t(Executor<false>{c}.run(pc, op, operands));
}

// The stretches below keep the program counter and the instruction address
// in locals (stores of chip bytes would otherwise make the compiler reload
// them after every instruction), and leave the parity flag behind A; they
// write them back to the chip before anything out of line may look at them,
// and when they end.
struct LoopState {
    uint16_t pc;
    uint16_t address; // of the instruction executing or last executed
    void writeBack(ChipState& c) const {
        updateParity(c);
        c.pc = pc;
        c.side.instructionAddress = address;
    }
};

// Whether a stretch of steps may run as busyStretch: the timers in their
// simple case, no external input watched, no rare stage, the part models
// idle apart from the LCD's E line.
inline bool busyStretchApplies(const StageGates& gates, const ModuleHookWatch& hooks) {
    return gates.simpleTimers && !gates.external && !gates.rare && hooks.quiet;
}

// Steps while timers, the UART and interrupts are at work but nothing rarer
// is (see busyStretchApplies), up to step `end`: the same stages as
// generalStepStages with what the state rules out left away, exactly:
// - an instruction the quiet decoder refuses runs on the general one (both
//   start from the same state, the refusal changing nothing);
// - the interrupt check runs only in a step where something could have
//   raised or unblocked a request: a timer overflow with its interrupt
//   enabled, TI or RI changed by the UART, the acceptance state settling, or
//   an instruction that wrote an interrupt-related register, RETI or an
//   IE/IP operand (kRaisesRequest);
// - the acceptance state can only settle after such an instruction;
// - an instruction that may have woken a stage the stretch leaves away
//   (kRegates) takes all of stages 7-15, and the gates are looked at again;
// - the timers count as `Timers` has them (see busyStretchForTimers), and
//   the stretch ends when an instruction changes how they run;
// - the UART's step is what uartPlan says it needs, planned again whenever
//   SBUF or SCON is written or a step of it ran out of line;
// - the part models' idle check runs only after a port write or a UART bit
//   on TXD, the only ways the LCD's E line can change here;
// - the pin levels for edge detection are needed by nobody while the gates
//   stay shut, so they are remembered once, when the stretch ends.
// Returns true when the last step left program memory (the program counter
// is then put back, as step does).
template <class Timers>
[[gnu::noinline, gnu::flatten]] bool busyStretch(Machine& machine, RunResult& result, uint32_t end,
                                                 StageGates& gates, ModuleHookWatch& hooks) {
    ChipState& c = machine.chip;
    const uint8_t* const code = c.code.data();
    const uint32_t codeLimit = c.codeLimit;
    InterruptState& irq = c.periph.irq;
    const uint8_t& scon = c.sfrs[sfr::sfrIndex(sfr::SCON)];
    // What is due after the instruction, beyond the common work: the bits
    // of `touched` that call for it (kRaisesRequest: the interrupt check and
    // the acceptance state settling; kPortWrite: the part models' idle
    // check) and these.
    constexpr unsigned kCheck = 0x20;      // the interrupt check alone
    constexpr unsigned kHooksDue = 0x40;   // the idle check alone
    constexpr unsigned kSerialFull = 0x80; // the serial port out of line
    constexpr unsigned kDue = kRaisesRequest | kPortWrite | kCheck | kHooksDue | kSerialFull;
    // Timer overflows that raise an enabled request (TF0/TF1 positions).
    auto timerRequests = [&c] {
        const uint8_t ie = c.sfrs[sfr::sfrIndex(sfr::IE)];
        return (ie & EA) ? unsigned((ie & ET0) << 4 | (ie & ET1) << 4) : 0u;
    };
    unsigned enabledOverflows = timerRequests();
    // A UART bit on TXD matters to the part models only when TXD is the
    // LCD's E line.
    const unsigned txdHooks =
        (hooks.eLatch == &c.sfrs[sfr::sfrIndex(sfr::P3)] && (hooks.eMask & 0x02)) ? kHooksDue : 0;
    // While the UART is idle its step is nothing, while a byte shifts out
    // with nothing else to do one subtraction (see uartPlan).
    int32_t uart = uartPlan(c);
    LoopState at{c.pc, c.pc};
    uint32_t left = end - result.steps; // steps left in the stretch
    // At the first step: whatever was pending when the stretch began.
    unsigned due = kRaisesRequest | kHooksDue;
    // 13. The external requests end with every step; only the sampling of
    // the external inputs raises them, and it has no work in this stretch.
    irq.requests = 0;
    bool outOfRange = false;
    while (left != 0) {
        if (uint32_t(at.pc) + 2u > codeLimit) [[unlikely]] {
            // 17 of the step before: the program counter left program memory.
            if (at.pc > codeLimit) {
                at.pc = at.address;
                outOfRange = true;
                break;
            }
            // The instruction's bytes run past the end: the general step.
            at.address = at.pc;
            --left;
            at.writeBack(c);
            outOfRange = generalStep(machine, at.address);
            result.steps = end - left;
            rememberPinLevels(c);
            return outOfRange;
        }
        at.address = at.pc;
        --left;
        const uint8_t* bytes = code + at.address;
        const uint8_t op = bytes[0];
        const int cycles = kCycles[op];
        // 4. Timers.
        if (Timers::advance(c, cycles) & enabledOverflows) due |= kCheck;
        // 5. The instruction. 6. Parity.
        unsigned touched;
        {
            Executor<true> quick{c};
            const uint32_t next = quick.run(at.address, op, bytes + 1);
            if (next != kRefused) [[likely]] {
                at.pc = uint16_t(next);
                touched = quick.touched;
            } else {
                at.writeBack(c);
                at.pc = generalInstruction(c, at.address, op, bytes + 1);
                touched = kTouchedAll; // SCON, SPCR, SPDR or external memory
            }
        }
        if (touched != 0) [[unlikely]] {
            if (touched & kRegates) {
                // 7-15 in full; then the gates again.
                at.writeBack(c);
                afterInstruction(c, cycles);
                gates.refresh(c);
                enabledOverflows = timerRequests();
                due = kRaisesRequest; // the acceptance state may settle at the next step
                uart = uartPlan(c);
                if (!hooks.idle()) {
                    runModuleHooks(machine, cycles);
                    hooks.refresh(machine);
                }
                at.pc = c.pc;
                if (!busyStretchApplies(gates, hooks) || !Timers::holds(c)) break;
                continue;
            }
            due |= touched & (kRaisesRequest | kPortWrite);
            if (touched & kSerialPlan) uart = uartPlan(c);
        }
        // 7. Serial port (the common cases inline).
        if (uart != kUartIdle) {
            unsigned changed;
            if (uart > 0) {
                changed = transmitStepInline(c, cycles, uart);
            } else {
                changed = serialStepInline(c, cycles);
                uart = uartPlan(c); // a byte may have started or ended
            }
            if (changed & kSerialLine) due |= txdHooks;
            if (changed & kSerialOutOfLine) due |= kSerialFull;
        }
        if (due & kDue) [[unlikely]] {
            if (due & kSerialFull) {
                const unsigned flags = scon & (RI | TI);
                at.writeBack(c);
                runSerialPort(c, cycles);
                if ((scon & (RI | TI)) != flags) due |= kCheck;
                due |= kHooksDue; // TXD, or RXD in mode 0
                uart = uartPlan(c);
            }
            // 8. Interrupts.
            if (due & (kRaisesRequest | kCheck)) {
                c.pc = at.pc;
                checkInterrupts(c);
                at.pc = c.pc;
            }
            // 12. The acceptance state settles, and then calls for a check.
            unsigned next = 0;
            if ((due & kRaisesRequest) && irq.acceptance >= Acceptance::IeIpWritten) {
                irq.acceptance = Acceptance::Accepting;
                next = kCheck;
            }
            // 11. Machine-cycle counter.
            c.cycles += uint32_t(cycles);
            // 16. Part models.
            if ((due & (kPortWrite | kHooksDue)) && !hooks.idle()) {
                at.writeBack(c);
                runModuleHooks(machine, cycles);
                hooks.refresh(machine);
                if (!hooks.quiet) break;
            }
            due = next;
        } else {
            // 11. Machine-cycle counter.
            c.cycles += uint32_t(cycles);
        }
        // 17. Program counter beyond program memory: looked at before the
        // next step, or below after the last.
    }
    if (at.pc > codeLimit) {
        at.pc = at.address;
        outOfRange = true;
    }
    at.writeBack(c);
    result.steps = end - left;
    rememberPinLevels(c);
    return outOfRange;
}

// The timers of a busy stretch: timers 0 and 1 as they run when it starts
// (the stretch ends when that changes), or any simple arrangement.
template <TimerRun T0, TimerRun T1> struct PlannedTimers {
    static unsigned advance(ChipState& c, int cycles) {
        return advancePlannedTimers<T0, T1>(c, cycles);
    }
    static bool holds(const ChipState& c) { return timerRun(c, 0) == T0 && timerRun(c, 1) == T1; }
};
struct AnySimpleTimers {
    static unsigned advance(ChipState& c, int cycles) { return advanceSimpleTimers(c, cycles); }
    static bool holds(const ChipState&) { return true; }
};

// busyStretch with the timer arrangements programs use most compiled on
// their own: timer 1 as the UART's baud-rate generator (mode 2) or stopped,
// timer 0 in mode 1 or 2 or stopped.
bool busyStretchForTimers(Machine& machine, RunResult& result, uint32_t end, StageGates& gates,
                          ModuleHookWatch& hooks) {
    using enum TimerRun;
    const ChipState& c = machine.chip;
    const TimerRun t0 = timerRun(c, 0);
    const TimerRun t1 = timerRun(c, 1);
    if (t1 == Mode2) {
        switch (t0) {
        case Mode1:
            return busyStretch<PlannedTimers<Mode1, Mode2>>(machine, result, end, gates, hooks);
        case Mode2:
            return busyStretch<PlannedTimers<Mode2, Mode2>>(machine, result, end, gates, hooks);
        case Stopped:
            return busyStretch<PlannedTimers<Stopped, Mode2>>(machine, result, end, gates, hooks);
        default: break;
        }
    } else if (t1 == Stopped) {
        switch (t0) {
        case Mode1:
            return busyStretch<PlannedTimers<Mode1, Stopped>>(machine, result, end, gates, hooks);
        case Mode2:
            return busyStretch<PlannedTimers<Mode2, Stopped>>(machine, result, end, gates, hooks);
        default: break;
        }
    }
    return busyStretch<AnySimpleTimers>(machine, result, end, gates, hooks);
}

// Complete steps on the general path with the stages behind closed gates
// skipped, up to step `end`. Returns true when a step left program memory.
[[gnu::noinline, gnu::flatten]] bool awakeStretch(Machine& machine, RunResult& result, uint32_t end,
                                                  StageGates& gates, ModuleHookWatch& hooks) {
    ChipState& c = machine.chip;
    const uint32_t codeLimit = c.codeLimit;
    while (result.steps < end) {
        const uint16_t address = c.pc;
        c.side.instructionAddress = address;
        ++result.steps;
        unsigned touched = 0;
        const int cycles = generalStepStages(c, address, gates, &touched);
        if (touched || gates.rare) gates.refresh(c);
        // 16-17 as finishStep, the hooks checked as in the quiet run.
        if (!hooks.idle()) {
            runModuleHooks(machine, cycles);
            hooks.refresh(machine);
        }
        if (c.pc > codeLimit) {
            c.pc = address;
            return true;
        }
    }
    return false;
}

// Steps while the chip is quiet (see step), until an instruction touches
// something that could wake a peripheral (that step is completed in full),
// needs the general path, or the batch ends. The pin levels for edge
// detection are needed only once something watches edges, so they are
// remembered when the chip stops being quiet and after the batch's last step.
// Returns true when a step left program memory.
[[gnu::noinline, gnu::flatten]] bool quietStretch(Machine& machine, RunResult& result,
                                                  uint32_t maxSteps) {
    ChipState& c = machine.chip;
    // The code memory and its limit stay put during a run.
    const uint8_t* const code = c.code.data();
    const uint32_t codeLimit = c.codeLimit;
    ModuleHookWatch hooks(machine);
    // As in busyStretch: the idle check at the first step, after port
    // writes, and at every step while the part models have work.
    bool hooksDue = true;
    LoopState at{c.pc, c.side.instructionAddress};
    uint32_t steps = result.steps;
    bool outOfRange = false;
    for (;;) {
        const uint16_t address = at.pc;
        if (uint32_t(address) + 2u > codeLimit) [[unlikely]] {
            // 17 of the step before: the program counter left program
            // memory. Otherwise the instruction's bytes run past the end,
            // for the general path.
            if (address > codeLimit) {
                at.pc = at.address;
                outOfRange = true;
            }
            break;
        }
        if (steps == maxSteps) break;
        at.address = address;
        const uint8_t* bytes = code + address;
        const uint8_t op = bytes[0];
        Executor<true> executor{c};
        ++steps;
        const uint32_t next = executor.run(address, op, bytes + 1);
        if (next == kRefused) [[unlikely]] {
            at.writeBack(c);
            outOfRange = generalStep(machine, address);
            result.steps = steps;
            return outOfRange;
        }
        at.pc = uint16_t(next);
        const int cycles = kCycles[op];
        if (executor.touched & kWakes) [[unlikely]] {
            // Possibly awake now: the exact stages 7-15.
            at.writeBack(c);
            if (afterInstructionNeeded(c)) {
                afterInstruction(c, cycles);
            } else {
                c.cycles += uint32_t(cycles);
                rememberPinLevels(c);
            }
            result.steps = steps;
            return finishStep(machine, cycles, address);
        }
        c.cycles += uint32_t(cycles);
        if (hooksDue || (executor.touched & kPortWrite)) {
            if (!hooks.idle()) {
                at.writeBack(c);
                runModuleHooks(machine, cycles);
                hooks.refresh(machine);
            }
            hooksDue = !hooks.quiet;
        }
    }
    at.writeBack(c);
    rememberPinLevels(c);
    result.steps = steps;
    return outOfRange;
}

} // namespace

// Free running: the same steps back to back, in stretches of the kind the
// chip's state allows (which kind runs a step changes only its speed).
RunResult runSteps(Machine& machine, uint32_t maxSteps) {
    // Steps taken on the general path before the quiet checks are repeated.
    constexpr uint32_t kAwakeSteps = 32;
    // Steps of a busy stretch before the quiet checks are repeated.
    constexpr uint32_t kBusySteps = 256;
    ChipState& c = machine.chip;
    RunResult result;
    while (result.steps < maxSteps) {
        if (uint32_t(c.pc) + 2u > c.codeLimit || beforeInstructionNeeded(c) ||
            afterInstructionNeeded(c)) {
            // Something is awake: a busy stretch or general steps for a
            // while, then look again.
            StageGates gates;
            gates.refresh(c);
            ModuleHookWatch hooks(machine);
            const uint32_t left = maxSteps - result.steps;
            if (busyStretchApplies(gates, hooks)) {
                const uint32_t end = left < kBusySteps ? maxSteps : result.steps + kBusySteps;
                result.pcOutOfRange = busyStretchForTimers(machine, result, end, gates, hooks);
            } else {
                const uint32_t end = left < kAwakeSteps ? maxSteps : result.steps + kAwakeSteps;
                result.pcOutOfRange = awakeStretch(machine, result, end, gates, hooks);
            }
        } else {
            result.pcOutOfRange = quietStretch(machine, result, maxSteps);
        }
        if (result.pcOutOfRange) break;
    }
    return result;
}

} // namespace quorvel
