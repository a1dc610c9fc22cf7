// The execution loop (see executor.h).
#include "chip/eeprom_watchdog.h"
#include "chip/instruction_set.h"
#include "chip/interrupts.h"
#include "chip/serial_line.h"
#include "chip/serial_port.h"
#include "chip/spi_unit.h"
#include "chip/timers.h"
#include "machine/call_stack.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "machine/module_hooks.h"
#include "machine/wave_recorder.h"
#include "machine/watchpoints.h"
#include "modules/led_display.h"
#include "tools/opcode_facts.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorvel {

using namespace detail;

int instructionCycles(uint8_t opcode) { return kCycles[opcode]; }

namespace {

// Events are planned at most this far ahead, so that comparing one with the
// machine-cycle counter by a signed difference stays right across its wrap.
constexpr uint32_t kFarthestEvent = 1u << 30;

// What the loop does after an instruction besides going on, as bits of
// `after`; each stays set until its work is done.
enum AfterWork : unsigned {
    kCheckInterrupts = 1, // an interrupt may be accepted after this instruction
    kStepUnits = 2,       // units that run step by step are at work (see stepUnitsAtWork)
    kHooksEveryStep = 4,  // the part models have work in every step
    kLookAtHooks = 8,     // the part models may have work now (a line changed)
};

// The EEPROM write timer, the SPI unit, the watchdog and the serial port in
// its modes 0 and 2 keep their time step by step while they are at work.
bool stepUnitsAtWork(const ChipState& c) {
    return serialStepsNeeded(c) || eepromTimerActive(c) || spiUnitEnabled(c) || watchdogActive(c);
}

// Everything the loop looks after besides the instruction itself. The loop
// keeps nextEvent in a local and hands it over around the calls.
struct Schedule {
    Machine& m;
    ChipState& c;
    ModuleHookWatch hooks;
    uint32_t nextEvent; // machine-cycle counter value from which service() is due
    unsigned after = kCheckInterrupts | kLookAtHooks;
    bool sampleDue = true; // the input lines are to be looked at before the next instruction
    bool watchdogFired = false; // the watchdog reset the chip since the loop last looked
    // A multiplexed seven-segment display shows one digit at a time: each
    // change of the port latches lets the selected digit's pattern be
    // remembered for the others' turn (the LED digit memory), as a display
    // that glows on between refreshes shows it.
    const bool ledsMultiplexed;
    uint32_t ledLatches;
    // The waveform recorder, if any, and the counter in 64 bits at the start
    // of the run (the chip's high word is brought up to date only at its end).
    WaveRecorder* const wave;
    const uint64_t startCount;

    // Everything is up to date between two calls; the user may have changed
    // anything, so the first instruction looks at it all.
    explicit Schedule(Machine& machine)
        : m(machine), c(machine.chip), hooks(machine),
          ledsMultiplexed((machine.modules.settings.LedSevenSegment & 1) &&
                          !(machine.modules.settings.LedOptions & kLedNonMultiplexed)),
          ledLatches(machine.chip.portLatches()), wave(machine.wave), startCount(machine.chip.cycleCount()) {
        recordLines(); // what changed between runs
        c.periph.timers.countedTo = c.cycles;
        if (c.periph.line.baud) serialLinesChanged(c, c.cycles);
        nextEvent = c.cycles;
        if (!hooks.quiet) after |= kHooksEveryStep;
        refreshStepUnits();
    }

    void refreshStepUnits() {
        after = stepUnitsAtWork(c) ? after | kStepUnits : after & ~kStepUnits;
    }
    bool inputLinesChanged() const {
        return ((c.pinSideLevels() ^ c.periph.timers.prevLevels) & kWatchedInputLines) != 0;
    }
    // Hands the line levels now to the recorder. One call runs far fewer
    // than 2^32 cycles, so the cycles since the start extend the counter.
    void recordLines() {
        if (wave) wave->record(startCount + uint32_t(c.cycles - uint32_t(startCount)), c.pinSideLevels());
    }
    void sampleBeforeNextInstruction() {
        sampleDue = true;
        nextEvent = c.cycles;
    }

    // The loop's two calls; each takes the loop's nextEvent and returns the
    // new one.
    [[gnu::noinline]] uint32_t service(uint32_t next, int cycles) {
        const uint32_t planned = next;
        nextEvent = next;
        serviceEvents(cycles, planned);
        return nextEvent;
    }
    [[gnu::noinline]] uint32_t afterInstruction(uint32_t next, unsigned touched, int cycles) {
        nextEvent = next;
        afterInstructionWork(touched, cycles);
        return nextEvent;
    }

    // The events due by the end of the instruction of `cycles` cycles that
    // has just been fetched, before it runs: changed input lines, timer
    // overflows and the serial bits they clock. Then the next event.
    void serviceEvents(int cycles, uint32_t planned) {
        const uint32_t now = c.cycles;
        const uint32_t latches = c.portLatches(); // the clock-out may move P1.0
        if (sampleDue) {
            // The lines changed when the instruction began; the change is
            // recognised kInputSampleDelay cycles later (no instruction is
            // shorter), when the timers have counted on.
            const uint32_t sampleAt = now - uint32_t(cycles) + kInputSampleDelay;
            if (c.periph.line.baud && int32_t(sampleAt - planned) > 0)
                serialLineUpTo(planned, sampleAt);
            countTimers(c, sampleAt);
            sampleDue = sampleInputs(c);
        }
        if (c.periph.line.baud) {
            // A host on the serial line sees TXD change at the cycle the
            // event was planned for, and its own bits and samples come at
            // theirs.
            countTimers(c, planned);
            serialLinesChanged(c, planned);
            runSerialLine(c, now);
            countTimers(c, now);
            serialLinesChanged(c, now);
        } else {
            countTimers(c, now);
        }
        if (c.portLatches() != latches) {
            after |= kLookAtHooks;
            if (inputLinesChanged()) sampleDue = true;
        }
        // A flag may have been raised; a host may have handed over its next
        // byte from the notice of the last.
        after |= kCheckInterrupts;
        refreshStepUnits();
        const uint32_t delay = sampleDue ? 0
                                         : std::min({timerEventDelay(c), serialEventDelay(c),
                                                     serialLineDelay(c, now), kFarthestEvent});
        nextEvent = now + delay;
    }

    // A host on the serial line sees each TXD change at the cycle it
    // happens, also when the timers count ahead of the planned event to
    // sample the inputs: the line's events from `at` up to `to` are taken
    // one by one (a run that starts with a sample, as every run does, thus
    // reaches the state a longer run reaches at the same moment).
    void serialLineUpTo(uint32_t at, uint32_t to) {
        for (;;) {
            countTimers(c, at);
            at = c.periph.timers.countedTo;
            serialLinesChanged(c, at);
            runSerialLine(c, at);
            const uint32_t delay = std::min(serialEventDelay(c), serialLineDelay(c, at));
            if (delay == 0 || delay == kNever || int32_t(to - (at + delay)) < 0) return;
            at += delay;
        }
    }

    // After an instruction that touched something (`touched`, as Executor's)
    // or while work is due (`after`). Vectoring an interrupt moves the
    // program counter and adds its cycles to the counter.
    void afterInstructionWork(unsigned touched, int cycles) {
        int stepCycles = cycles;
        if (touched & kEvents) {
            // The schedule, the requests or the step-by-step units may have
            // changed: plan again before the next instruction.
            after |= kCheckInterrupts;
            refreshStepUnits();
            nextEvent = c.cycles;
        }
        // How the inputs are looked at changed (IE0/IE1 follow a
        // level-triggered line even when the program writes them).
        if (touched & kInputModes) sampleBeforeNextInstruction();
        if (touched & kPortWrite) {
            after |= kLookAtHooks;
            if (inputLinesChanged()) sampleBeforeNextInstruction();
            if (serialLinesMoved(c)) serialLineChanged();
        }
        if ((after & kCheckInterrupts) && !(touched & kHoldInterrupts)) {
            // A line this instruction (or the events at its end) changed
            // is timed before an interrupt's vectoring cycles are added.
            recordLines();
            after &= ~kCheckInterrupts;
            if (acceptInterrupt(c)) {
                c.cycles += kVectoringCycles;
                stepCycles += kVectoringCycles;
                // A request of higher priority may follow after the
                // handler's first instruction.
                after |= kCheckInterrupts;
            }
        }
        if (after & kStepUnits) runStepUnits(stepCycles);
        if (after & (kHooksEveryStep | kLookAtHooks)) runHooks(stepCycles);
    }

    void runStepUnits(int cycles) {
        // The timers count up to here first: a reception starting now, or a
        // watchdog reset, changes what their later counts do.
        syncTimers(c);
        const Reception reception = c.periph.serial.rxState;
        if (serialStepsNeeded(c)) runSerialStep(c, cycles);
        if (eepromTimerActive(c)) runEepromTimer(c, cycles);
        if (spiUnitEnabled(c)) runSpiUnit(c, cycles);
        if (watchdogActive(c) && runWatchdog(c, cycles)) {
            // The CPU was reset: everything is to be looked at again.
            sampleBeforeNextInstruction();
            watchdogFired = true;
        }
        // A byte from the host started arriving: its end is an event.
        if (c.periph.serial.rxState != reception) nextEvent = c.cycles;
        after |= kCheckInterrupts | kLookAtHooks;
        refreshStepUnits();
    }

    void runHooks(int cycles) {
        after &= ~kLookAtHooks;
        if (ledsMultiplexed && c.portLatches() != ledLatches) [[unlikely]] {
            ledLatches = c.portLatches();
            evaluateLeds(m.modules.settings, ledLatches, m.modules.ledDigitMemory, true);
        }
        if (hooks.idle()) return;
        // A part may drive a line a gate or counter input watches.
        if (timersWatchLines(c)) syncTimers(c);
        runModuleHooks(m, cycles);
        hooks.refresh(m);
        after = hooks.quiet ? after & ~kHooksEveryStep : after | kHooksEveryStep;
        if (inputLinesChanged()) sampleBeforeNextInstruction();
        if (serialLinesMoved(c)) serialLineChanged();
    }

    // RXD or TXD moved (a port write, a part): the UART and the host take
    // the new levels, and the events are planned again.
    void serialLineChanged() {
        serialLinesChanged(c, c.cycles);
        nextEvent = c.cycles;
    }

    // When the loop returns: the registers the timers change, P, are up to
    // date.
    void finish() {
        updateParity(c);
        syncTimers(c);
    }
};

// The opcodes after which the call stack has something to do.
constexpr std::array<uint8_t, 256> makeCallStackOpcodes() {
    std::array<uint8_t, 256> table{};
    for (unsigned op = 0; op < 256; ++op)
        table[op] = isCallOpcode(uint8_t(op)) || isReturnOpcode(uint8_t(op)) ? Watchpoints::kLook
                                                                             : Watchpoints::kSkip;
    return table;
}
constexpr std::array<uint8_t, 256> kCallStackOpcodes = makeCallStackOpcodes();
constexpr std::array<bool, 256> kNothingWatched{};
constexpr std::array<bool, 0x10000> kCallStackPairs = [] {
    std::array<bool, 0x10000> t{};
    for (unsigned i = 0; i < 0x10000; ++i) t[i] = kCallStackOpcodes[i >> 8] != 0;
    return t;
}();

// What the call stack and the watchpoints make of the instruction `op` at
// `address` with the operand bytes `operands`, which left the program
// counter at `executed`, followed by the vectoring of an interrupt to `pc`
// when `vectored`. True when a watched place changed.
[[gnu::noinline]] bool feedDebug(Machine& machine, uint16_t address, uint8_t op,
                                 const uint8_t* operands, uint16_t executed, bool vectored) {
    ChipState& c = machine.chip;
    if (CallStack* const calls = machine.callStack) {
        // The stack pointer as the instruction left it.
        const uint8_t sp = uint8_t(c.sfrs[kSp] - (vectored ? 2 : 0));
        if (isCallOpcode(op)) calls->called(address, executed, uint16_t(address + opcodeLength(op)), sp);
        else if (isReturnOpcode(op)) calls->returned(executed, sp);
        if (vectored) calls->interrupted(address, c.pc, executed, uint8_t(sp + 2));
    }
    Watchpoints* const watchpoints = machine.watchpoints;
    return watchpoints && !watchpoints->empty() &&
           watchpoints->mayHaveWritten(op, operands, c, vectored) &&
           watchpoints->check(op, operands, c, address, vectored);
}

// Watch: the stop conditions are checked. Debug: the call stack and the
// watchpoints are fed. Profile: executions and cycles are
// counted per address (code_profile.h). Record: the port lines are handed to
// the waveform recorder after every instruction.
// Each instance starts on a cache line of its own, so its speed does not
// depend on how large the code placed before it is.
template <bool Watch, bool Profile, bool Record, bool Debug>
[[gnu::aligned(64)]] RunResult runLoop(Machine& machine, uint32_t maxSteps, const StopConditions& stops) {
    ChipState& c = machine.chip;
    AddressCounts* const counts = Profile ? machine.codeProfile.counts.data() : nullptr;
    Schedule schedule(machine);
    // The code memory and its limit stay put during a run.
    const uint8_t* const code = c.code.data();
    const uint32_t codeLimit = c.codeLimit;
    uint32_t nextEvent = schedule.nextEvent;
    uint32_t now = c.cycles;
    const uint32_t startCycles = now;
    uint16_t pc = c.pc;
    uint16_t address = c.side.instructionAddress;
    uint8_t* bank = c.registerBank();
    int lastDisplacement = 0;
    uint32_t steps = 0;
    RunResult result;
    // The stop conditions in locals, which the loop keeps in registers; a
    // program counter to stop at is out of reach (above FFFFH) when none
    // is asked for.
    const uint32_t untilPc = Watch && stops.untilPc ? *stops.untilPc : 0x10000u;
    const bool watchSelfJump = Watch && stops.selfJump;
    const bool watchBreakpoints = Watch && !stops.breakpoints.empty();
    const CodeAddressSet* const addresses = Watch ? stops.addresses : nullptr;
    // A port line's level, the front end's request and the watchdog's reset
    // change only in a step that has work besides the instruction (a port
    // write, an event, a part); they are looked at after such a step alone,
    // in every instance of the loop, and the loop then ends after that
    // step's work (its step budget is cut to it). So a run that waits only
    // for them runs the loop that looks at nothing after each instruction.
    const uint32_t pinMask = stops.pinMask;
    const bool* const request = stops.request;
    const bool watchReset = stops.watchdogReset;
    const bool watchOutside = pinMask || request || watchReset;
    StopCause outsideCause = StopCause::Steps;
    // The instructions after which the call stack or the watchpoints have
    // something to do.
    Watchpoints::Filter debugFilter{kCallStackOpcodes.data(), kCallStackPairs.data(), kNothingWatched.data()};
    if constexpr (Debug) {
        Watchpoints* const watchpoints = machine.watchpoints;
        if (watchpoints && !watchpoints->empty()) {
            watchpoints->arm(c, machine.callStack != nullptr);
            debugFilter = watchpoints->filter();
        }
    }
    while (steps != maxSteps) {
        const uint8_t* bytes = code + pc;
        uint8_t nearEnd[3];
        if (uint32_t(pc) + 2u > codeLimit) [[unlikely]] {
            // The previous instruction left program memory; or this one's
            // bytes run past its end.
            if (pc > codeLimit && steps != 0) break;
            for (int i = 0; i < 3; ++i) nearEnd[i] = c.readCode(uint16_t(pc + i));
            bytes = nearEnd;
        }
        address = pc;
        const uint8_t op = bytes[0];
        const int cycles = kCycles[op];
        if constexpr (Profile) {
            ++counts[address].executions;
            counts[address].cycles += uint32_t(cycles);
        }
        now += uint32_t(cycles);
        c.cycles = now;
        ++steps;
        // The peripheral events due by the end of the instruction, which
        // sees their effects (an overflow's flag, a bit on TXD).
        if (int32_t(now - nextEvent) >= 0) [[unlikely]]
            nextEvent = schedule.service(nextEvent, cycles);
        // The instruction.
        Executor executor{c, bank, lastDisplacement};
        pc = executor.run(address, op, bytes + 1);
        // Interrupts, the step-by-step units and the part models, when
        // there is something for them.
        const unsigned touched = executor.touched & ~kSyncTimers;
        const uint16_t executed = pc; // before an interrupt's vectoring
        bool vectored = false;
        if ((touched | schedule.after) != 0) [[unlikely]] {
            c.pc = pc;
            nextEvent = schedule.afterInstruction(nextEvent, touched, cycles);
            pc = c.pc;
            vectored = c.cycles != now;
            // Only vectoring an interrupt moves the counter here.
            if constexpr (Profile) machine.codeProfile.vectoringCycles += c.cycles - now;
            now = c.cycles;
            bank = c.registerBank(); // PSW written, or the CPU reset
            if (watchOutside) [[unlikely]] {
                // The watchdog's reset first: it leaves the program counter
                // at 0, where an address stop may also lie.
                if (watchReset && std::exchange(schedule.watchdogFired, false))
                    outsideCause = StopCause::WatchdogReset;
                else if (pinMask && ((c.pinSideLevels() ^ stops.pinLevels) & pinMask) == 0)
                    outsideCause = StopCause::PinLevel;
                else if (request && *request)
                    outsideCause = StopCause::Request;
                if (outsideCause != StopCause::Steps) maxSteps = steps;
            }
            if constexpr (Debug) {
                // The call stack and the watchpoints see the instruction and
                // the vectoring together.
                if (vectored) {
                    if (feedDebug(machine, address, op, bytes + 1, executed, true)) {
                        result.cause = StopCause::Watchpoint;
                        break;
                    }
                }
            }
        }
        // Whatever moved a line in this step - the instruction, the events
        // at its end, the step units, the parts - it is seen here.
        if constexpr (Record) schedule.recordLines();
        if constexpr (Debug) {
            // Only the instructions that may have written a watched place
            // go on to compare them (an instruction followed by the vectoring
            // of an interrupt was fed above).
            if (debugFilter.worthALook(op, bytes + 1, bank, c.sfrs[kSp]) && !vectored) [[unlikely]] {
                c.pc = pc;
                if (feedDebug(machine, address, op, bytes + 1, executed, false)) {
                    result.cause = StopCause::Watchpoint;
                    break;
                }
            }
        }
        if constexpr (Watch) {
            if (pc == untilPc) [[unlikely]] {
                result.cause = StopCause::UntilPc;
                break;
            }
            if (addresses && (*addresses)[pc]) [[unlikely]] {
                result.cause = StopCause::Address;
                break;
            }
            if (pc == address && watchSelfJump) [[unlikely]] {
                if (isUnconditionalJump(op) && c.periph.serial.txState == Transmit::Idle) {
                    result.cause = StopCause::SelfJump;
                    break;
                }
            }
            if (watchBreakpoints) [[unlikely]] {
                c.pc = pc;
                schedule.finish();
                const auto held = std::find_if(
                    stops.breakpoints.begin(), stops.breakpoints.end(),
                    [&](const BreakpointCondition& b) { return breakpointHolds(b, stops.kind, c); });
                if (held != stops.breakpoints.end()) {
                    result.cause = StopCause::Breakpoint;
                    result.breakIndex = int(held - stops.breakpoints.begin());
                    break;
                }
            }
        }
    }
    // A wait that held ends the run with its cause, before any the last
    // step's address came to (a watchpoint's hit has been fed already).
    if (outsideCause != StopCause::Steps && result.cause != StopCause::Watchpoint) {
        result.cause = outsideCause;
        result.breakIndex = -1;
    }
    // Program counter beyond program memory: put back to the instruction's
    // address and reported.
    if (pc > codeLimit) {
        pc = address;
        result.pcOutOfRange = true;
        result.cause = StopCause::PcOutOfRange;
        result.breakIndex = -1;
    }
    c.pc = pc;
    c.side.instructionAddress = address;
    schedule.finish();
    if constexpr (Record) schedule.recordLines(); // the timers' last counts may move TXD
    // One call runs far fewer than 2^32 cycles: a counter below where it
    // started has wrapped once.
    if (c.cycles < startCycles) ++c.cyclesHigh;
    result.steps = steps;
    return result;
}

} // namespace

RunResult runSteps(Machine& machine, uint32_t maxSteps, const StopConditions& stops) {
    // One instance of the loop for each set of things it looks after, so
    // the plain loop carries none of the others' work.
    using Loop = RunResult (*)(Machine&, uint32_t, const StopConditions&);
    static constexpr Loop kLoops[16] = {
        runLoop<false, false, false, false>, runLoop<true, false, false, false>,
        runLoop<false, true, false, false>,  runLoop<true, true, false, false>,
        runLoop<false, false, true, false>,  runLoop<true, false, true, false>,
        runLoop<false, true, true, false>,   runLoop<true, true, true, false>,
        runLoop<false, false, false, true>,  runLoop<true, false, false, true>,
        runLoop<false, true, false, true>,   runLoop<true, true, false, true>,
        runLoop<false, false, true, true>,   runLoop<true, false, true, true>,
        runLoop<false, true, true, true>,    runLoop<true, true, true, true>,
    };
    // Waits for a line, the serial line or the watchdog are looked at by
    // every instance (see runLoop); the rest after every instruction.
    const unsigned watch = stops.untilPc || stops.selfJump || !stops.breakpoints.empty() || stops.addresses ? 1 : 0;
    const unsigned profile = machine.codeProfile.enabled() ? 2 : 0;
    const unsigned record = machine.wave ? 4 : 0;
    const bool debugging = machine.callStack || (machine.watchpoints && !machine.watchpoints->empty());
    const unsigned debug = debugging ? 8 : 0;
    return kLoops[watch | profile | record | debug](machine, maxSteps, stops);
}

} // namespace quorvel
