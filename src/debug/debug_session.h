// The debug session: what every front end (the command-line runner, the
// GUI, and those to come) asks of a loaded program. It holds the program's
// source map and C symbols, the stop conditions of every kind (breakpoint
// conditions, source-line breakpoints, code breakpoints with conditions,
// hit counts and log messages, a program counter to reach, a jump to
// itself, watchpoints), runs the machine until one holds, says why the run
// stopped, and keeps the call stack as the program runs. A front end
// decides nothing about running: it says what it wants and reads the stop.
//
// The session feeds the machine's call stack and watchpoints (it attaches
// its own to the machine it is given, and detaches them when it goes).
//
// Thread: whoever owns the machine at the time.
#pragma once

#include "common/user_message.h"
#include "debug/c_variables.h"
#include "debug/history.h"
#include "debug/output_match.h"
#include "machine/breakpoint.h"
#include "machine/call_stack.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "machine/source_step.h"
#include "machine/space_address.h"
#include "machine/watchpoints.h"
#include "tools/source_map.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class StopReason : uint8_t; // machine/sim_thread.h

// Why a run ended.
enum class DebugStop : uint8_t {
    SelfJump,     // a jump to itself, with nothing going out of the UART
    Breakpoint,   // a breakpoint condition held
    UntilPc,      // the program counter reached the address asked for
    CycleLimit,
    StepLimit,
    PcOutOfRange, // the program counter left program memory
    OutputError,  // the front end could not write what the run produced
    Interrupted,  // the front end asked the run to end
    BreakLine,    // a source-line breakpoint
    Watch,        // an instruction changed a watched place
    Step,         // a step came to its end
    PinLevel,     // a port line came to the level asked for
    Output,       // the serial line sent what was waited for
};

// "halt", "breakpoint", "until-pc", "max-cycles", "max-steps",
// "pc-out-of-range", "output-error", "interrupted", "break-line", "watch",
// "step", "pin", "uart".
std::string_view debugStopName(DebugStop stop);

// How far a run may go, and what the front end does alongside it.
struct RunLimits {
    std::optional<uint64_t> maxCycles;
    std::optional<uint64_t> maxSteps;
    // The most instructions between two calls of carryOn.
    std::optional<uint64_t> batchSteps;
    // Before and after every instruction, with the cycles of the run so
    // far; when either is set the run goes one instruction at a time.
    std::function<void(const Machine&, uint64_t cycle)> beforeStep;
    std::function<void(const Machine&, uint64_t cycle)> afterStep;
    std::function<void()> afterBatch;
    // True once an output could not be written (DebugStop::OutputError).
    std::function<bool()> outputFailed;
    // Between run slices, while no stop condition holds; false ends the run
    // there (DebugStop::Interrupted).
    std::function<bool()> carryOn;
    // Each code breakpoint's log message at a hit that logs instead of
    // stopping (see CodeBreak).
    std::function<void(const std::string&)> log;
    // The run goes on from where the last one stopped: a source-line
    // breakpoint at the program counter (the one it stopped at) lets the
    // first instruction run, and holds again when the program comes back.
    bool resume = false;
};

// Instructions run one at a time between two calls of RunLimits::carryOn.
constexpr uint64_t kStepSlice = 1u << 16;

// Faults a run can stop at, each turned on apart (setExceptionStops); the
// run stops before the instruction that would commit it (an interrupt's
// vectoring, after it: at the vector).
// - StackOverflow: a PUSH, ACALL, LCALL or interrupt puts a byte on the
//   stack where a C variable of the program lies in internal RAM, or past
//   its top (the stack pointer wraps round to the register banks);
// - UndefinedOpcode: the opcode A5H;
// - MovxBeyondMemory: MOVX at an address past the configured external data
//   memory (or with none), unless it reaches the on-chip EEPROM;
// - WatchdogReset: the watchdog's period ran out and it reset the chip (the
//   run stops after the reset, at address 0; step back shows the moment
//   before).
enum class ExceptionStop : uint8_t { StackOverflow, UndefinedOpcode, MovxBeyondMemory, WatchdogReset };
inline constexpr size_t kExceptionStops = 4;

// Each exception stop's name ("stack-overflow", "undefined-opcode",
// "movx-beyond-memory") and the label a front end shows.
struct ExceptionStopInfo {
    ExceptionStop stop;
    std::string_view name;
    std::string_view label;
};
std::span<const ExceptionStopInfo> exceptionStopTable();

struct DebugRun {
    DebugStop stop = DebugStop::CycleLimit;
    int breakIndex = -1;          // which breakpoint condition held
    std::optional<WatchHit> watch; // what the watchpoint saw
    std::string watched;          // the watch as it was asked for ("iram:30", "count")
    std::vector<size_t> codeBreaks; // BreakLine: which code breakpoints held (codeBreaks())
    // BreakLine: the fault the program was about to commit, and what it is.
    std::optional<ExceptionStop> exception;
    std::string exceptionText;
    uint64_t steps = 0;           // instructions executed
    uint64_t cycles = 0;          // their machine cycles (not wrapped)
};

// What a search backwards found (see DebugSession::runBackwards).
struct ReverseRun {
    Validation refused;          // no history, or the machine ran outside it
    std::optional<DebugRun> hit; // none: the machine is at the history's start
};

// The last instruction that wrote a place (DebugSession::lastWrite).
struct LastWrite {
    uint64_t step = 0;  // the moment after it, on the history's timeline
    uint64_t cycle = 0; // the machine cycle counter then
    uint16_t pc = 0;    // the instruction's address
    uint8_t oldValue = 0;
    uint8_t newValue = 0;
    std::string file; // the instruction's source line, with a source map
    int line = 0;     // 0: none
    SpaceAddress place{}; // the byte written (of a variable's, the latest)
};

// The last change of a port line's level (DebugSession::lastChangeOfLine).
struct PortLineChange {
    uint64_t step = 0;  // the moment after the instruction in which it changed
    uint64_t cycle = 0; // the machine cycle counter then
    uint16_t pc = 0;    // that instruction's address
    bool oldLevel = false;
    bool newLevel = false;
};

// A breakpoint on a code address (a source line's, a function's, an
// instruction's) with what it asks before it stops a run at that address:
// - condition: a C expression, a register or SFR name, or a number, alone
//   (true when not 0) or compared with another by ==, !=, <, <=, > or >=;
// - hitCondition: the hits (the arrivals at which the condition held) it
//   stops at: "N" or "== N" the Nth, ">= N", "> N", "< N", "<= N", "% N"
//   every Nth;
// - logMessage: said instead of stopping, each {expression} replaced by
//   its value.
struct CodeBreak {
    uint16_t address = 0;
    std::string condition;
    std::string hitCondition;
    std::string logMessage;
    uint64_t hits = 0;
};

// One frame of the call stack as the user reads it.
struct StackEntry {
    std::string function; // empty when no symbol covers the address
    std::string file;     // empty without a source line
    int line = 0;
    uint16_t pc = 0;       // the program counter, or the call the frame is in
    bool interrupt = false; // the frame's function was entered by an interrupt
    bool known = true;     // false: its return address is no longer on the stack
};

class DebugSession {
public:
    explicit DebugSession(Machine& machine);
    ~DebugSession();
    DebugSession(const DebugSession&) = delete;
    DebugSession& operator=(const DebugSession&) = delete;

    Machine& machine() { return machine_; }
    const Machine& machine() const { return machine_; }

    // The program's source map, and the C symbols of its SDCC debug file.
    void setSourceMap(std::optional<SourceMap> map) { sourceMap_ = std::move(map); }
    const SourceMap* sourceMap() const { return sourceMap_ ? &*sourceMap_ : nullptr; }
    void setVariables(std::optional<CVariables> variables) { variables_ = std::move(variables); }
    const CVariables* variables() const { return variables_ ? &*variables_ : nullptr; }

    // Stop conditions of every run.
    std::vector<BreakpointCondition> breakpoints;
    std::optional<uint16_t> untilPc;
    bool haltOnSelfJump = false;
    // A port line (0-31, port * 8 + bit) to come to a level: a run starting
    // with the line there stops before its first instruction.
    struct PinLevelStop {
        int pin = 0;
        bool level = false;
    };
    std::optional<PinLevelStop> untilPinLevel;
    // What the serial line sent, fed by the front end's event receiver; a
    // run stops once the pattern it waits for has come (DebugStop::Output).
    OutputMatch uart;
    // Source-line breakpoints: the first addresses of their lines' code.
    // The set keeps its place for the session's life, so a run under way
    // sees a change made while it is paused.
    void setLineBreaks(const CodeAddressSet& addresses);
    void clearLineBreaks() { setLineBreaks({}); }
    const CodeAddressSet& lineBreaks() const { return lineBreaks_; }
    // Code breakpoints with conditions, hit counts and log messages: their
    // addresses join the line breaks, and a run that comes to one of them
    // goes on unless one of the breakpoints there holds (an address with
    // none of them always stops). Their hits count from 0. They replace
    // the line breaks, as setLineBreaks replaces them.
    void setCodeBreaks(std::vector<CodeBreak> breaks);
    const std::vector<CodeBreak>& codeBreaks() const { return codeBreaks_; }
    // Why a code breakpoint's condition or hit condition cannot be read.
    static std::optional<std::string> codeBreakProblem(const CodeBreak& codeBreak);
    // The address of a C function or an assembler label by its name.
    std::optional<uint16_t> functionAddress(std::string_view name) const;
    // What ends a run: the conditions above (watchpoints end it through
    // the machine). A front end that runs the machine on a thread of its
    // own hands these to it.
    StopConditions stopConditions() const;
    // What ends a run: stopConditions() with the exception stops turned on
    // (the addresses of the instructions that may commit a fault among the
    // line breaks, and the watchdog's reset). A front end that runs the
    // machine on a thread of its own hands these to it, and threadRunEnded
    // decides at such an address whether the run goes on.
    StopConditions runStopConditions();
    // A watchpoint on "SPACE:ADDRESS" (iram, sfr, bit, xdata, eeprom) or on
    // a C variable expression, whose every byte is watched where it lives
    // now. The message says why the place cannot be watched.
    Validation watch(std::string_view text);
    // Whether watch(text) would take the watch; the message says why not.
    Validation watchable(std::string_view text) const;
    const Watchpoints& watchpoints() const { return watchpoints_; }
    // What was asked for to watch place `index` of watchpoints() (empty
    // for an index out of range).
    std::string watchName(int index) const;
    void clearWatchpoints();

    // Runs from the program counter until a stop condition or a limit.
    // A source-line breakpoint on the first instruction stops before it
    // runs, as a debugger's breakpoint does (unless the run resumes); every
    // other stop is seen as the program counter arrives.
    DebugRun run(const RunLimits& limits);
    // One step (source_step.h): by source line at the source map's primary
    // level, or by instruction (also without a source map). Stops early
    // when the program counter leaves program memory (PcOutOfRange), a
    // watched place is written (Watch) or after `limit` instructions
    // (StepLimit); Step otherwise.
    enum class StepUnit : uint8_t { Line, Instruction };
    DebugRun step(SourceStep kind, StepUnit unit = StepUnit::Line, uint32_t limit = kSourceStepLimit);
    const DebugRun& lastRun() const { return last_; }
    // A run a front end made on a thread of its own (with runStopConditions())
    // ended by `reason`, the program counter where it stopped: why, as run()
    // says it (lastRun() is set). At a code breakpoint none of whose
    // conditions holds (its hit counted, its log message said through
    // limits.log) `goesOn` is set: the front end runs on from there.
    DebugRun threadRunEnded(StopReason reason, const RunLimits& limits, bool& goesOn);

    // Memory of every space by one address form ("xdata:1234"; see
    // space_address.h): up to `count` values from `start` on, and a write
    // that stores all of `values` or, with the reason, none.
    std::vector<uint8_t> readMemory(const SpaceAddress& start, size_t count) const {
        return readSpace(machine_, start, count);
    }
    // While recording, the write is logged as an input.
    Validation writeMemory(const SpaceAddress& start, std::span<const uint8_t> values);

    // ---- history (debug/history.h)

    // Recording on starts a history at the present moment; off drops it.
    void setRecording(bool on, uint64_t interval = History::kDefaultInterval,
                      size_t budget = History::kDefaultBudget);
    History* history() { return history_ ? &*history_ : nullptr; }
    const History* history() const { return history_ ? &*history_ : nullptr; }
    // Something from outside reaching the machine now (a front end's serial
    // byte, pin level, key), logged while recording.
    Validation input(const MachineInput& input);
    // The part models' settings changed from outside (a settings dialog, a
    // settings file loaded), logged while recording.
    Validation setModuleSettings(const ModuleSettings& settings);
    // CVariables::write through the session, so that it is logged.
    std::string writeVariable(const CValue& value, std::string_view text);
    // Reverse commands. Each refuses without a history, or when the machine
    // ran outside the session since the last moment recorded. A forward run
    // or input from a moment in the past discards the recorded future.
    // Back `instructions` instructions (not before the history's start).
    Validation stepBack(uint64_t instructions = 1);
    // To the last instruction boundary at which the cycle counter is at most
    // `cycle`, within the recorded history.
    Validation goToCycle(uint64_t cycle);
    // Back to the latest moment before the present at which a breakpoint
    // condition, a source-line breakpoint or a watchpoint would have
    // stopped a forward run (found by replaying the history's segments,
    // latest first): a code breakpoint where its condition held and its
    // hit count, counted back from the present, let it stop; its hits are
    // then those of that moment.
    ReverseRun runBackwards();
    // The last instruction that wrote `place`, the one that led to the
    // present included (none if no instruction in the history did).
    Validation lastWrite(const SpaceAddress& place, std::optional<LastWrite>& found);
    // The same for "SPACE:ADDRESS" or a C variable expression (as watch()
    // takes them): the latest write to any of its bytes.
    Validation lastWrite(std::string_view text, std::optional<LastWrite>& found);
    // Back over one source line (the source map's primary level; without a
    // map, one instruction) or one instruction at the present call level:
    // the moment a forward step over would have started from to come here
    // (a call or an interrupt in between is part of the step). Lines are
    // stepped back to their first instruction.
    Validation stepBackOver(StepUnit unit = StepUnit::Line);
    // The last change of the level of port line `pin` (0-31: P0.0 ... P3.7)
    // at or before the present, as a pin reads it.
    Validation lastChangeOfLine(int pin, std::optional<PortLineChange>& found);
    // Takes a recorded history (a recording file's) in place of the
    // session's own, and puts the machine at its end.
    Validation adoptHistory(History history);
    // The session's history taken out (the session is left without one),
    // and one put back as it was, the machine untouched: for a front end
    // that must keep its session when a recording it opens is refused.
    std::optional<History> releaseHistory();
    void restoreHistory(std::optional<History> history) { history_ = std::move(history); }

    // ---- exception stops (exception_stops.cpp)

    // The faults every run stops at; the instructions that may commit them
    // are found in program memory now (set them again after writing it).
    void setExceptionStops(std::vector<ExceptionStop> stops);
    const std::vector<ExceptionStop>& exceptionStops() const { return exceptionStops_; }

    // Stores `value` into `target`: a C expression of stack frame `frame`
    // (a number, decimal or 0x1F; a decimal fraction for a float), a
    // register (R0-R7 of the current bank, A, B, PSW, DPTR, SP, PC), an SFR
    // by its name, or a place such as "iram:30" or "bit:D7" (decimal, 0x1F
    // or 1FH). The message says why nothing was stored.
    Validation assign(std::string_view target, std::string_view value, size_t frame = 0);

    // The call the program counter is in, while the stack still holds its
    // return address; nothing in the outermost function.
    std::optional<CallFrame> innermostFrame() const;
    // The call stack, innermost frame first: the function at the program
    // counter, then each call it is in.
    std::vector<StackEntry> stack() const;
    // The operands of a breakpoint condition (see CodeBreak), as written.
    static std::vector<std::string> conditionOperands(std::string_view condition);
    // A breakpoint condition (see CodeBreak) as it stands now, or nothing
    // with the reason in `error`.
    std::optional<bool> holds(std::string_view condition, std::string& error) const {
        return conditionHolds(condition, error);
    }
    // A C expression in the function of stack frame `frame` (0: the one at
    // the program counter; as stack() counts).
    CEvaluation evaluate(std::string_view expression, size_t frame = 0) const;
    // The names of the variables a Variables window lists: the locals and
    // parameters of the function of stack frame `frame`, and the globals
    // and file statics, each in the debug file's order, once.
    std::vector<std::string> localNames(size_t frame = 0) const;
    std::vector<std::string> globalNames() const;

private:
    DebugRun runBatches(const RunLimits& limits, const StopConditions& stops);
    DebugRun runStepwise(const RunLimits& limits, const StopConditions& stops);
    // Whether the run ends after a slice that came to `result`; at the end
    // of a slice (`sliceEnd`) the front end's carryOn is asked, unless the
    // run stops anyway. Sets the stop.
    bool ended(const RunLimits& limits, const RunResult& result, bool sliceEnd, DebugRun& run) const;
    // The stop condition the slice came to, if any.
    bool stopped(const RunResult& result, DebugRun& run) const;
    // A wait for a pin level or for the serial line that holds already.
    bool stopsBeforeRunning(DebugRun& run) const;
    StackEntry entryAt(uint16_t pc) const;
    // At a line break on `pc`: whether one of the code breakpoints there
    // holds (counting their hits and saying their log messages); true
    // where there are none.
    bool codeBreakHolds(uint16_t pc, const RunLimits& limits, DebugRun& run);
    // At an address stop: an exception stop that holds, else a line break
    // there (codeBreakHolds); false at an address that is neither.
    bool addressStopHolds(uint16_t pc, const RunLimits& limits, DebugRun& run);
    // Whether the instruction at `pc` would commit a fault turned on;
    // says which in `run`.
    bool exceptionHolds(uint16_t pc, DebugRun& run) const;
    // A condition's value, or why it has none.
    std::optional<bool> conditionHolds(std::string_view condition, std::string& error) const;
    // A log message with each {expression} replaced by its value.
    std::string logText(std::string_view message) const;
    // An operand of a condition: a C value, a register or SFR, or a number.
    std::optional<double> operandValue(std::string_view text, std::string& error) const;
    // The places watch(text) would watch, or why none.
    Validation watchPlaces(std::string_view text, std::vector<WatchAddress>& places) const;
    // What each code breakpoint makes of the machine now, at address `pc`
    // (for running backwards, session_history.cpp).
    enum class BreakHeld : uint8_t { Elsewhere, No, Yes, Unreadable };
    std::vector<BreakHeld> codeBreaksAt(uint16_t pc) const;
    // Whether a hit condition lets hit `hits` stop (an empty one does).
    static bool hitCountHolds(std::string_view hitCondition, uint64_t hits);

    Machine& machine_;
    CallStack callStack_;
    Watchpoints watchpoints_;
    std::vector<std::string> watchNames_; // per watched place: what was asked for
    std::optional<SourceMap> sourceMap_;
    std::optional<CVariables> variables_;
    CodeAddressSet lineBreaks_;
    std::vector<CodeBreak> codeBreaks_;
    DebugRun last_;
    std::optional<History> history_;
    std::vector<ExceptionStop> exceptionStops_;
    CodeAddressSet exceptionAddresses_; // instructions that may commit one
    CodeAddressSet runAddresses_;       // those and the line breaks
    std::vector<bool> variableBytes_;   // internal RAM a C variable holds
};

} // namespace quorvel
