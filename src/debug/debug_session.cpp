#include "debug/debug_session.h"

#include "chip/sfr.h"
#include "tools/symbol_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace quorvel {

namespace {

struct StopName {
    DebugStop stop;
    std::string_view name;
};

constexpr std::array<StopName, 13> kStopNames{{
    {DebugStop::SelfJump, "halt"},
    {DebugStop::Breakpoint, "breakpoint"},
    {DebugStop::UntilPc, "until-pc"},
    {DebugStop::CycleLimit, "max-cycles"},
    {DebugStop::StepLimit, "max-steps"},
    {DebugStop::PcOutOfRange, "pc-out-of-range"},
    {DebugStop::OutputError, "output-error"},
    {DebugStop::Interrupted, "interrupted"},
    {DebugStop::BreakLine, "break-line"},
    {DebugStop::Watch, "watch"},
    {DebugStop::Step, "step"},
    {DebugStop::PinLevel, "pin"},
    {DebugStop::Output, "uart"},
}};
// Indexed by the stop: a row for every stop, in the enumeration's order.
static_assert([] {
    for (size_t i = 0; i < kStopNames.size(); ++i)
        if (size_t(kStopNames[i].stop) != i) return false;
    return size_t(DebugStop::Output) + 1 == kStopNames.size();
}());

// The executor's longest instruction (MUL, DIV).
constexpr uint64_t kMaxCyclesPerStep = 4;
// Batches stay short, so the front end's afterBatch (flushing the UART's
// output) comes regularly.
constexpr uint64_t kMaxBatch = 1u << 20;

// Counts the cycles of the steps since the last call; the chip's counter is
// 32 bits and wraps on long runs, the totals here do not.
struct CycleCounter {
    uint32_t last;
    uint64_t total = 0;
    explicit CycleCounter(const ChipState& chip) : last(chip.cycles) {}
    void update(const ChipState& chip) {
        total += uint32_t(chip.cycles - last);
        last = chip.cycles;
    }
};

bool limitReached(const RunLimits& r, DebugRun& run) {
    if (r.maxCycles && run.cycles >= *r.maxCycles) {
        run.stop = DebugStop::CycleLimit;
        return true;
    }
    if (r.maxSteps && run.steps >= *r.maxSteps) {
        run.stop = DebugStop::StepLimit;
        return true;
    }
    return false;
}

// Where a byte of a C variable lives, as a watchpoint names it.
std::optional<WatchSpace> watchSpace(CSpace space) {
    switch (space) {
    case CSpace::Iram: return WatchSpace::InternalRam;
    case CSpace::Sfr: return WatchSpace::Sfr;
    case CSpace::Xdata: return WatchSpace::ExternalData;
    case CSpace::Bit: return WatchSpace::Bit;
    case CSpace::Code: return std::nullopt;
    }
    return std::nullopt;
}

// The registers assign() takes besides the SFRs by their names: R0-R7 of
// the current bank, four SFRs by their usual names, DPTR (16 bits) and PC.
enum class Register : uint8_t { Bank, Sfr, Dptr, Pc };
struct RegisterRow {
    std::string_view name;
    Register kind;
    uint8_t where; // Bank: the register's number; Sfr: its address
};
constexpr std::array<RegisterRow, 14> kRegisters{{
    {"R0", Register::Bank, 0},
    {"R1", Register::Bank, 1},
    {"R2", Register::Bank, 2},
    {"R3", Register::Bank, 3},
    {"R4", Register::Bank, 4},
    {"R5", Register::Bank, 5},
    {"R6", Register::Bank, 6},
    {"R7", Register::Bank, 7},
    {"A", Register::Sfr, sfr::ACC},
    {"B", Register::Sfr, sfr::B},
    {"PSW", Register::Sfr, sfr::PSW},
    {"SP", Register::Sfr, sfr::SP},
    {"DPTR", Register::Dptr, 0},
    {"PC", Register::Pc, 0},
}};

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// "200", "-3", "0x1F", "1FH" (a hex number starts with a digit).
std::optional<int64_t> registerNumber(std::string_view text) {
    text = trimmed(text);
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '-'))
        return std::nullopt;
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.ends_with('h') || text.ends_with('H')) {
        base = 16;
        text.remove_suffix(1);
    }
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

} // namespace

std::string_view debugStopName(DebugStop stop) { return kStopNames[size_t(stop)].name; }

DebugSession::DebugSession(Machine& machine) : machine_(machine) {
    machine_.callStack = &callStack_;
    machine_.watchpoints = &watchpoints_;
}

DebugSession::~DebugSession() {
    if (machine_.callStack == &callStack_) machine_.callStack = nullptr;
    if (machine_.watchpoints == &watchpoints_) machine_.watchpoints = nullptr;
}

void DebugSession::setLineBreaks(const CodeAddressSet& addresses) {
    lineBreaks_ = addresses;
    codeBreaks_.clear();
    runAddresses_ = lineBreaks_ | exceptionAddresses_; // a run on a thread may be looking at them
}

void DebugSession::setCodeBreaks(std::vector<CodeBreak> breaks) {
    lineBreaks_.reset();
    for (CodeBreak& b : breaks) {
        lineBreaks_.set(b.address);
        b.hits = 0;
    }
    codeBreaks_ = std::move(breaks);
    runAddresses_ = lineBreaks_ | exceptionAddresses_; // a run on a thread may be looking at them
}

std::optional<uint16_t> DebugSession::functionAddress(std::string_view name) const {
    if (sourceMap_)
        for (const SourceFunction& f : sourceMap_->functions())
            if (f.name == name) return f.start;
    if (variables_)
        for (const CFunction& f : variables_->symbols().functions)
            if (f.name == name && f.start) return uint16_t(*f.start);
    return std::nullopt;
}

namespace {

struct Comparison {
    std::string_view op;
    bool (*holds)(double, double);
};
// Two-character operators first, so "<=" is not read as "<".
constexpr std::array<Comparison, 6> kComparisons{{
    {"==", [](double a, double b) { return a == b; }},
    {"!=", [](double a, double b) { return a != b; }},
    {"<=", [](double a, double b) { return a <= b; }},
    {">=", [](double a, double b) { return a >= b; }},
    {"<", [](double a, double b) { return a < b; }},
    {">", [](double a, double b) { return a > b; }},
}};

// The condition's operands and its comparison (none: one operand). "->"
// is a member access, not a comparison.
std::pair<std::vector<std::string_view>, const Comparison*> splitCondition(std::string_view text) {
    for (const Comparison& c : kComparisons)
        for (size_t at = text.find(c.op); at != std::string_view::npos;
             at = text.find(c.op, at + 1)) {
            if (c.op == ">" && at > 0 && text[at - 1] == '-') continue;
            return {{trimmed(text.substr(0, at)), trimmed(text.substr(at + c.op.size()))}, &c};
        }
    return {{trimmed(text)}, nullptr};
}

// "N", "== N", ">= N", "> N", "< N", "<= N", "% N": whether hit `hits`
// stops; nothing when the text does not read.
std::optional<bool> hitConditionHolds(std::string_view text, uint64_t hits) {
    text = trimmed(text);
    std::string_view op = "==";
    for (std::string_view o : {"==", ">=", "<=", ">", "<", "%"})
        if (text.starts_with(o)) {
            op = o;
            text.remove_prefix(o.size());
            break;
        }
    const std::optional<int64_t> n = registerNumber(text);
    if (!n || *n < 0 || (op == "%" && *n == 0)) return std::nullopt;
    const uint64_t count = uint64_t(*n);
    if (op == "%") return hits % count == 0;
    if (op == ">=") return hits >= count;
    if (op == "<=") return hits <= count;
    if (op == ">") return hits > count;
    if (op == "<") return hits < count;
    return hits == count;
}

} // namespace

bool DebugSession::hitCountHolds(std::string_view hitCondition, uint64_t hits) {
    return hitCondition.empty() || hitConditionHolds(hitCondition, hits).value_or(true);
}

std::optional<std::string> DebugSession::codeBreakProblem(const CodeBreak& b) {
    if (!b.hitCondition.empty() && !hitConditionHolds(b.hitCondition, 0))
        return "hit count '" + b.hitCondition +
               "' does not read: give N, == N, >= N, > N, < N, <= N or % N";
    if (trimmed(b.condition).empty()) return std::nullopt;
    for (std::string_view operand : splitCondition(b.condition).first) {
        if (operand.empty()) return "condition '" + b.condition + "' lacks an operand";
        if (registerNumber(operand)) continue;
        if (auto error = CVariables::syntaxError(operand))
            return "condition '" + b.condition + "': " + *error;
    }
    return std::nullopt;
}

std::vector<std::string> DebugSession::conditionOperands(std::string_view condition) {
    const std::vector<std::string_view> operands = splitCondition(condition).first;
    return std::vector<std::string>(operands.begin(), operands.end());
}

std::optional<double> DebugSession::operandValue(std::string_view text, std::string& error) const {
    if (const std::optional<int64_t> number = registerNumber(text)) return double(*number);
    const CEvaluation e = evaluate(text);
    if (e.value) {
        if (!e.value->place) {
            error = std::string(text) + " is not available here: " + e.value->unavailable;
            return std::nullopt;
        }
        if (!e.value->type.isScalar()) {
            error = std::string(text) + " is not a single value";
            return std::nullopt;
        }
        return realOf(*e.value);
    }
    const std::string name = upper(text) == "ACC" ? "A" : upper(text);
    const ChipState& chip = machine_.chip;
    for (const RegisterRow& r : kRegisters) {
        if (r.name != name) continue;
        switch (r.kind) {
        case Register::Bank: return double(chip.iram[chip.bankBase() + r.where]);
        case Register::Sfr:
            return double(readMemory(SpaceAddress{AddressSpace::Sfr, r.where}, 1).at(0));
        case Register::Dptr: return double(chip.dptr());
        case Register::Pc: return double(chip.pc);
        }
    }
    if (const std::optional<uint8_t> address = lookupDirectName(name))
        return double(readMemory(SpaceAddress{AddressSpace::Sfr, *address}, 1).at(0));
    error = e.error;
    return std::nullopt;
}

std::optional<bool> DebugSession::conditionHolds(std::string_view condition,
                                                 std::string& error) const {
    const auto [operands, comparison] = splitCondition(condition);
    std::vector<double> values;
    for (std::string_view operand : operands) {
        const std::optional<double> value = operandValue(operand, error);
        if (!value) return std::nullopt;
        values.push_back(*value);
    }
    return comparison ? comparison->holds(values[0], values[1]) : values[0] != 0;
}

bool DebugSession::codeBreakHolds(uint16_t pc, const RunLimits& limits, DebugRun& run) {
    run.codeBreaks.clear();
    bool any = false;
    for (size_t i = 0; i < codeBreaks_.size(); ++i) {
        CodeBreak& b = codeBreaks_[i];
        if (b.address != pc) continue;
        any = true;
        if (!trimmed(b.condition).empty()) {
            std::string error;
            const std::optional<bool> holds = conditionHolds(b.condition, error);
            // A condition that cannot be evaluated stops, and says why.
            if (!holds) {
                if (limits.log)
                    limits.log("breakpoint condition '" + b.condition + "': " + error + "\n");
                run.codeBreaks.push_back(i);
                continue;
            }
            if (!*holds) continue;
        }
        ++b.hits;
        if (!b.hitCondition.empty() && !hitConditionHolds(b.hitCondition, b.hits).value_or(true))
            continue;
        if (!b.logMessage.empty()) {
            if (limits.log) limits.log(logText(b.logMessage) + "\n");
            continue;
        }
        run.codeBreaks.push_back(i);
    }
    return !any || !run.codeBreaks.empty();
}

std::string DebugSession::logText(std::string_view message) const {
    std::string out;
    for (size_t i = 0; i < message.size(); ++i) {
        const size_t close = message[i] == '{' ? message.find('}', i) : std::string_view::npos;
        if (close == std::string_view::npos) {
            out += message[i];
            continue;
        }
        const std::string_view expression = trimmed(message.substr(i + 1, close - i - 1));
        const CEvaluation e = evaluate(expression);
        std::string error;
        if (e.value)
            out += variables_->format(machine_, *e.value);
        else if (const std::optional<double> value = operandValue(expression, error))
            out += std::to_string(int64_t(*value));
        else
            out += "<" + error + ">";
        i = close;
    }
    return out;
}

Validation DebugSession::watchPlaces(std::string_view text,
                                     std::vector<WatchAddress>& places) const {
    if (text.find(':') != std::string_view::npos) {
        std::string error;
        const std::optional<WatchAddress> place = parseWatchAddress(text, error);
        if (!place) return errorMessage("Watchpoint", error);
        places.push_back(*place);
    } else {
        if (!variables_)
            return errorMessage("Watchpoint", "watching \"" + std::string(text) +
                                                  "\" needs the C symbols of an SDCC debug file (.cdb)");
        const CEvaluation e = evaluate(text);
        if (!e.value) return errorMessage("Watchpoint", e.error);
        if (!e.value->place)
            return errorMessage("Watchpoint", std::string(text) + " is not available here: " + e.value->unavailable);
        const CPlace& place = *e.value->place;
        const std::optional<WatchSpace> space = watchSpace(place.space);
        if (!space)
            return errorMessage("Watchpoint", std::string(text) + " is in code memory, which no instruction writes");
        for (uint16_t address : place.bytes) places.push_back(WatchAddress{*space, address});
    }
    // All or nothing: a variable whose last byte cannot be watched adds none.
    Watchpoints trial = watchpoints_;
    for (const WatchAddress& place : places)
        if (Validation refused = trial.add(place, machine_)) return refused;
    return std::nullopt;
}

Validation DebugSession::watch(std::string_view text) {
    std::vector<WatchAddress> places;
    if (Validation refused = watchPlaces(text, places)) return refused;
    for (const WatchAddress& place : places)
        watchpoints_.add(place, machine_);
    watchNames_.insert(watchNames_.end(), places.size(), std::string(text));
    return std::nullopt;
}

Validation DebugSession::watchable(std::string_view text) const {
    std::vector<WatchAddress> places;
    return watchPlaces(text, places);
}

std::string DebugSession::watchName(int index) const {
    return index >= 0 && size_t(index) < watchNames_.size() ? watchNames_[size_t(index)] : std::string();
}

void DebugSession::clearWatchpoints() {
    watchpoints_.clear();
    watchNames_.clear();
}

StopConditions DebugSession::stopConditions() const {
    StopConditions stops;
    stops.untilPc = untilPc;
    stops.selfJump = haltOnSelfJump;
    stops.breakpoints = breakpoints;
    stops.kind = machine_.selection.kind;
    if (lineBreaks_.any()) stops.addresses = &lineBreaks_;
    if (untilPinLevel) {
        stops.pinMask = 1u << untilPinLevel->pin;
        stops.pinLevels = untilPinLevel->level ? stops.pinMask : 0;
    }
    if (uart.waiting()) stops.request = uart.flag();
    return stops;
}

DebugRun DebugSession::run(const RunLimits& limits) {
    RunLimits r = limits;
    uint64_t steps = 0, cycles = 0;
    uint64_t unasked = 0; // steps since the front end's carryOn was last asked
    for (;;) {
        DebugRun part;
        if (!r.resume && (lineBreaks_[machine_.chip.pc] || exceptionAddresses_[machine_.chip.pc]))
            part.stop = DebugStop::BreakLine;
        else if (!stopsBeforeRunning(part)) {
            // Running on from a moment in the past discards the future.
            if (history_) history_->beginForward();
            part = r.beforeStep || r.afterStep ? runStepwise(r, runStopConditions())
                                               : runBatches(r, runStopConditions());
        }
        steps += part.steps;
        cycles += part.cycles;
        unasked += part.steps;
        // A code breakpoint none of whose conditions holds lets the run go
        // on past it, within what is left of the limits; the front end is
        // asked between slices of it as in any run, however often the
        // program passes the breakpoint.
        bool goesOn = part.stop == DebugStop::BreakLine && !part.exception &&
                      !addressStopHolds(machine_.chip.pc, r, part) &&
                      (!r.maxSteps || steps < *limits.maxSteps) &&
                      (!r.maxCycles || cycles < *limits.maxCycles);
        if (goesOn && unasked >= r.batchSteps.value_or(kMaxBatch)) {
            unasked = 0;
            if (r.carryOn && !r.carryOn()) {
                part.stop = DebugStop::Interrupted;
                part.codeBreaks.clear();
                goesOn = false;
            }
        }
        if (!goesOn) {
            part.steps = steps;
            part.cycles = cycles;
            last_ = part;
            return last_;
        }
        r.resume = true;
        if (limits.maxSteps) r.maxSteps = *limits.maxSteps - steps;
        if (limits.maxCycles) r.maxCycles = *limits.maxCycles - cycles;
    }
}

bool DebugSession::stopsBeforeRunning(DebugRun& run) const {
    if (uart.matched()) {
        run.stop = DebugStop::Output;
        return true;
    }
    const uint32_t levels = machine_.chip.pinSideLevels();
    if (untilPinLevel && bool(levels >> untilPinLevel->pin & 1u) == untilPinLevel->level) {
        run.stop = DebugStop::PinLevel;
        return true;
    }
    return false;
}

DebugRun DebugSession::step(SourceStep kind, StepUnit unit, uint32_t limit) {
    const uint32_t cyclesBefore = machine_.chip.cycles;
    if (history_) history_->beginForward();
    const SourceStepResult result =
        unit == StepUnit::Line && sourceMap_
            ? stepSourceLine(machine_, *sourceMap_, sourceMap_->primaryLevel(), kind, limit)
            : stepInstruction(machine_, kind, limit);
    if (history_) history_->advance(machine_, result.instructions);
    last_ = DebugRun{};
    last_.steps = result.instructions;
    last_.cycles = uint32_t(machine_.chip.cycles - cyclesBefore);
    switch (result.end) {
    case SourceStepEnd::NewLine:
    case SourceStepEnd::Returned: last_.stop = DebugStop::Step; break;
    case SourceStepEnd::Limit: last_.stop = DebugStop::StepLimit; break;
    case SourceStepEnd::PcOutOfRange: last_.stop = DebugStop::PcOutOfRange; break;
    case SourceStepEnd::Watchpoint: stopped(RunResult{.cause = StopCause::Watchpoint}, last_); break;
    }
    return last_;
}

bool DebugSession::ended(const RunLimits& r, const RunResult& result, bool sliceEnd, DebugRun& run) const {
    // An output that failed ends the run first; then the stop condition
    // the slice came to, the limits, and the front end's wish to stop.
    if (r.outputFailed && r.outputFailed()) {
        run.stop = DebugStop::OutputError;
        return true;
    }
    if (stopped(result, run) || limitReached(r, run)) return true;
    // The front end is asked only between the slices of a run that goes on.
    if (sliceEnd && r.carryOn && !r.carryOn()) {
        run.stop = DebugStop::Interrupted;
        return true;
    }
    return false;
}

bool DebugSession::stopped(const RunResult& result, DebugRun& run) const {
    switch (result.cause) {
    case StopCause::Steps: return false;
    case StopCause::PcOutOfRange: run.stop = DebugStop::PcOutOfRange; return true;
    case StopCause::UntilPc: run.stop = DebugStop::UntilPc; return true;
    case StopCause::SelfJump: run.stop = DebugStop::SelfJump; return true;
    case StopCause::Address: run.stop = DebugStop::BreakLine; return true;
    case StopCause::Breakpoint:
        run.stop = DebugStop::Breakpoint;
        run.breakIndex = result.breakIndex;
        return true;
    case StopCause::PinLevel: run.stop = DebugStop::PinLevel; return true;
    case StopCause::Request: run.stop = DebugStop::Output; return true;
    case StopCause::WatchdogReset:
        run.stop = DebugStop::BreakLine;
        run.exception = ExceptionStop::WatchdogReset;
        run.exceptionText = "the watchdog's period ran out: it reset the chip";
        return true;
    case StopCause::Watchpoint:
        run.stop = DebugStop::Watch;
        run.watch = watchpoints_.hit();
        if (run.watch && size_t(run.watch->index) < watchNames_.size())
            run.watched = watchNames_[size_t(run.watch->index)];
        return true;
    }
    return false;
}

DebugRun DebugSession::runBatches(const RunLimits& r, const StopConditions& stops) {
    DebugRun run;
    CycleCounter counter(machine_.chip);
    for (;;) {
        uint64_t budget = r.batchSteps.value_or(kMaxBatch);
        if (r.maxSteps) budget = std::min(budget, *r.maxSteps - run.steps);
        // No batch may pass the cycle limit; the last few cycles go one step
        // at a time.
        if (r.maxCycles)
            budget = std::min(budget, std::max<uint64_t>(1, (*r.maxCycles - run.cycles) / kMaxCyclesPerStep));
        // Batches end where the history keeps its next snapshot.
        if (history_) budget = std::min(budget, history_->stepsUntilDue());
        const RunResult result = runSteps(machine_, uint32_t(budget), stops);
        if (history_) history_->advance(machine_, result.steps);
        run.steps += result.steps;
        counter.update(machine_.chip);
        run.cycles = counter.total;
        if (r.afterBatch) r.afterBatch();
        if (ended(r, result, true, run)) return run;
    }
}

DebugRun DebugSession::runStepwise(const RunLimits& r, const StopConditions& stops) {
    DebugRun run;
    CycleCounter counter(machine_.chip);
    for (;;) {
        if (r.beforeStep) r.beforeStep(machine_, counter.total);
        const RunResult result = runSteps(machine_, 1, stops);
        if (history_) history_->advance(machine_, result.steps);
        ++run.steps;
        counter.update(machine_.chip);
        run.cycles = counter.total;
        if (r.afterStep) r.afterStep(machine_, counter.total);
        const uint64_t slice = std::max<uint64_t>(1, r.batchSteps.value_or(kStepSlice));
        if (ended(r, result, run.steps % slice == 0, run)) return run;
    }
}

StackEntry DebugSession::entryAt(uint16_t pc) const {
    StackEntry entry;
    entry.pc = pc;
    // An assembler program's functions are its labels, from its symbols.
    const CFunction* label = variables_ ? variables_->symbols().functionAt(pc) : nullptr;
    if (label) entry.function = label->name;
    if (!sourceMap_) return entry;
    if (const SourceFunction* function = sourceMap_->functionAt(pc)) entry.function = function->name;
    if (const std::optional<SourceLocation> where = sourceMap_->locationAt(pc)) {
        entry.file = sourceMap_->files()[where->file];
        entry.line = int(where->line);
    }
    return entry;
}

std::optional<CallFrame> DebugSession::innermostFrame() const {
    const std::vector<FrameView> frames = callStack_.frames(machine_.chip);
    if (frames.empty() || !frames.front().known) return std::nullopt;
    return frames.front().frame;
}

std::vector<StackEntry> DebugSession::stack() const {
    const std::vector<FrameView> frames = callStack_.frames(machine_.chip);
    std::vector<StackEntry> entries;
    entries.reserve(frames.size() + 1);
    entries.push_back(entryAt(machine_.chip.pc));
    for (const FrameView& view : frames) {
        // The frame's function was entered from its call site, which lies
        // in the function one further out; an interrupted function goes on
        // at the address the interrupt pushed.
        entries.back().interrupt = view.frame.interrupt;
        StackEntry caller = entryAt(view.frame.interrupt ? view.frame.returnTo : view.frame.site);
        caller.known = view.known;
        entries.push_back(std::move(caller));
    }
    return entries;
}

CEvaluation DebugSession::evaluate(std::string_view expression, size_t frame) const {
    if (!variables_) return {std::nullopt, "no symbols: load the program's SDCC debug file or asm51 listing"};
    const std::vector<StackEntry> entries = frame ? stack() : std::vector<StackEntry>{};
    if (frame && frame >= entries.size()) return {std::nullopt, "no stack frame " + std::to_string(frame)};
    const uint16_t pc = frame ? entries[frame].pc : machine_.chip.pc;
    return variables_->evaluate(machine_, pc, expression, frame == 0);
}

Validation DebugSession::assign(std::string_view target, std::string_view value, size_t frame) {
    // A place of a memory space ("iram:30", "bit:D7") takes one value.
    if (target.find(':') != std::string_view::npos) {
        std::string error;
        const std::optional<SpaceAddress> place = parseSpaceAddress(target, error);
        if (!place) return errorMessage("Value", error);
        const std::optional<int64_t> number = registerNumber(value);
        if (!number || *number < 0 || *number > 0xFF)
            return errorMessage("Value", std::string(target) +
                                             " takes a number from 0 to 255, not \"" +
                                             std::string(value) + "\"");
        const uint8_t byte = uint8_t(*number);
        return writeMemory(*place, std::span(&byte, 1));
    }
    const CEvaluation e = evaluate(target, frame);
    if (e.value) {
        if (std::string error = variables_->write(machine_, *e.value, value); !error.empty())
            return errorMessage("Value", error);
        return std::nullopt;
    }
    const std::string name = upper(target) == "ACC" ? "A" : upper(target);
    const auto row = std::find_if(kRegisters.begin(), kRegisters.end(),
                                  [&](const RegisterRow& r) { return r.name == name; });
    const std::optional<uint8_t> sfrAddress =
        row != kRegisters.end() ? std::nullopt : lookupDirectName(name);
    if (row == kRegisters.end() && !sfrAddress) return errorMessage("Value", e.error);
    const bool wide =
        row != kRegisters.end() && (row->kind == Register::Dptr || row->kind == Register::Pc);
    const int64_t widest = wide ? 0xFFFF : 0xFF;
    const std::optional<int64_t> number = registerNumber(value);
    // A negative number stands for its two's complement.
    if (!number || *number > widest || *number < -(widest + 1) / 2)
        return errorMessage(
            "Value", name + " takes a number from " + std::to_string(-(widest + 1) / 2) + " to " +
                         std::to_string(widest) + ", not \"" + std::string(value) + "\"");
    const uint16_t stored = uint16_t(*number & widest);
    ChipState& chip = machine_.chip;
    if (sfrAddress) {
        const uint8_t byte = uint8_t(stored);
        return writeMemory(SpaceAddress{AddressSpace::Sfr, *sfrAddress}, std::span(&byte, 1));
    }
    switch (row->kind) {
    case Register::Bank: chip.reg(row->where) = uint8_t(stored); return std::nullopt;
    case Register::Sfr: {
        const uint8_t byte = uint8_t(stored);
        return writeMemory(SpaceAddress{AddressSpace::Sfr, row->where}, std::span(&byte, 1));
    }
    case Register::Dptr: {
        const uint8_t bytes[2] = {uint8_t(stored), uint8_t(stored >> 8)};
        return writeMemory(SpaceAddress{AddressSpace::Sfr, sfr::DPL}, bytes);
    }
    case Register::Pc:
        if (stored > chip.codeLimit) {
            char text[64];
            std::snprintf(text, sizeof text, "PC %04XH is beyond the program memory (up to %04XH)",
                          stored, chip.codeLimit);
            return errorMessage("Value", text);
        }
        chip.pc = stored;
        return std::nullopt;
    }
    return std::nullopt;
}

namespace {

void addOnce(std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

} // namespace

std::vector<std::string> DebugSession::localNames(size_t frame) const {
    std::vector<std::string> names;
    if (!variables_) return names;
    const std::vector<StackEntry> entries = stack();
    if (frame >= entries.size()) return names;
    const CFunction* function = variables_->symbols().functionAt(entries[frame].pc);
    if (!function) return names;
    for (const CSymbol& s : variables_->symbols().symbols)
        if (s.scope == CScope::Local && s.function == function->name) addOnce(names, s.name);
    return names;
}

std::vector<std::string> DebugSession::globalNames() const {
    std::vector<std::string> names;
    if (!variables_) return names;
    for (const CSymbol& s : variables_->symbols().symbols) {
        const bool function = s.type && !s.type->declarators.empty() && s.type->declarators[0].kind == CDeclarator::Function;
        if ((s.scope == CScope::Global || s.scope == CScope::File) && !function) addOnce(names, s.name);
    }
    return names;
}

} // namespace quorvel
