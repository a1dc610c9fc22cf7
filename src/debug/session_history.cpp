// The debug session's recording, inputs and reverse commands (the history
// itself is debug/history.h).
#include "debug/debug_session.h"

namespace quorvel {

namespace {

std::optional<AddressSpace> placeSpace(CSpace space) {
    switch (space) {
    case CSpace::Iram: return AddressSpace::InternalRam;
    case CSpace::Sfr: return AddressSpace::Sfr;
    case CSpace::Xdata: return AddressSpace::ExternalData;
    case CSpace::Bit: return AddressSpace::Bit;
    case CSpace::Code: return AddressSpace::Code;
    }
    return std::nullopt;
}

Validation noHistory() {
    return errorMessage("History", "recording is off: there is no history to go back in");
}

} // namespace

void DebugSession::setRecording(bool on, uint64_t interval, size_t budget) {
    if (on)
        history_.emplace(machine_, interval, budget);
    else
        history_.reset();
}

Validation DebugSession::writeMemory(const SpaceAddress& start, std::span<const uint8_t> values) {
    if (!history_) return writeSpace(machine_, start, values);
    MachineInput in;
    in.place = start;
    in.bytes.assign(values.begin(), values.end());
    return history_->input(machine_, in);
}

Validation DebugSession::input(const MachineInput& in) {
    return history_ ? history_->input(machine_, in) : applyInput(machine_, in);
}

Validation DebugSession::setModuleSettings(const ModuleSettings& settings) {
    MachineInput in;
    in.kind = MachineInput::Kind::ModuleSettings;
    in.bytes = encodeModuleSettings(settings);
    return input(in);
}

std::string DebugSession::writeVariable(const CValue& value, std::string_view text) {
    if (!variables_) return "no symbols: load the program's SDCC debug file or asm51 listing";
    std::string error = variables_->write(machine_, value, text);
    if (!error.empty() || !history_ || !value.place) return error;
    // Logged as the bytes the place holds now, one input per byte.
    const std::optional<AddressSpace> space = placeSpace(value.place->space);
    for (uint16_t address : value.place->bytes) {
        MachineInput in;
        in.place = SpaceAddress{*space, address};
        in.bytes = readSpace(machine_, in.place, 1);
        history_->logApplied(machine_, in);
    }
    return error;
}

Validation DebugSession::stepBack(uint64_t instructions) {
    if (!history_) return noHistory();
    if (Validation refused = history_->checkPresent(machine_)) return refused;
    const uint64_t start = history_->moments().front().step;
    if (history_->now() < start + instructions)
        return errorMessage("History", "only " + std::to_string(history_->now() - start) +
                                           " instructions are recorded before this moment");
    return history_->goTo(machine_, history_->now() - instructions);
}

Validation DebugSession::goToCycle(uint64_t cycle) {
    if (!history_) return noHistory();
    if (Validation refused = history_->checkPresent(machine_)) return refused;
    const uint64_t present = history_->now();
    const std::optional<uint64_t> step = history_->stepAtCycle(machine_, cycle);
    if (!step) {
        history_->goTo(machine_, present);
        return errorMessage("History",
                            "cycle " + std::to_string(cycle) + " is before the recorded history");
    }
    return history_->goTo(machine_, *step);
}

std::vector<DebugSession::BreakHeld> DebugSession::codeBreaksAt(uint16_t pc) const {
    std::vector<BreakHeld> held(codeBreaks_.size(), BreakHeld::Elsewhere);
    for (size_t i = 0; i < codeBreaks_.size(); ++i) {
        const CodeBreak& b = codeBreaks_[i];
        if (b.address != pc) continue;
        if (b.condition.find_first_not_of(" \t") == std::string::npos) {
            held[i] = BreakHeld::Yes;
            continue;
        }
        std::string error;
        const std::optional<bool> holds = conditionHolds(b.condition, error);
        held[i] = !holds ? BreakHeld::Unreadable : *holds ? BreakHeld::Yes : BreakHeld::No;
    }
    return held;
}

ReverseRun DebugSession::runBackwards() {
    ReverseRun reverse;
    if (!history_) return {noHistory(), std::nullopt};
    if ((reverse.refused = history_->checkPresent(machine_))) return reverse;
    const uint64_t present = history_->now(), presentCycle = history_->nowCycle();
    StopConditions stops = stopConditions();
    stops.untilPc.reset();
    stops.selfJump = false;
    // The code breakpoints' hits as they were counted at each moment: now,
    // less the arrival the last run stopped at here; one less before each
    // arrival at which a breakpoint's condition held, going back.
    std::vector<uint64_t> hits(codeBreaks_.size());
    const std::vector<BreakHeld> heldNow = codeBreaksAt(machine_.chip.pc);
    for (size_t i = 0; i < hits.size(); ++i)
        hits[i] = codeBreaks_[i].hits -
                  (last_.stop == DebugStop::BreakLine && heldNow[i] == BreakHeld::Yes &&
                           codeBreaks_[i].hits != 0
                       ? 1
                       : 0);
    // The stops of the segment being replayed, in order; a code
    // breakpoint's conditions are read while the machine is there.
    struct Seen {
        uint64_t step;
        RunResult result;
        std::optional<WatchHit> watch;
        std::vector<BreakHeld> held;
    };
    std::vector<Seen> seen;
    std::optional<Seen> stop;
    std::vector<size_t> stopBreaks;
    // Whether the forward run would have stopped at `s`, as codeBreakHolds
    // decides (log messages are not said again); counts the hits down.
    const auto wouldStop = [&](const Seen& s) {
        if (s.result.cause != StopCause::Address) return true;
        bool any = false;
        for (size_t i = 0; i < s.held.size(); ++i) {
            const CodeBreak& b = codeBreaks_[i];
            any = any || s.held[i] != BreakHeld::Elsewhere;
            // Arrivals before the breakpoint counted any are hit 0, which
            // no hit count stops at.
            const bool counted = b.hitCondition.empty() ||
                                 (hits[i] != 0 && hitCountHolds(b.hitCondition, hits[i]));
            if (s.held[i] == BreakHeld::Unreadable ||
                (s.held[i] == BreakHeld::Yes && counted && b.logMessage.empty()))
                stopBreaks.push_back(i);
        }
        if (!any || !stopBreaks.empty()) return true;
        for (size_t i = 0; i < s.held.size(); ++i)
            if (s.held[i] == BreakHeld::Yes && hits[i] != 0) --hits[i];
        return false;
    };
    history_->searchBackwardsBySegment(
        machine_, stops,
        [&](uint64_t step, const RunResult& result) {
            if (result.cause == StopCause::Breakpoint || result.cause == StopCause::Watchpoint)
                seen.push_back({step, result, watchpoints_.hit(), {}});
            else if (result.cause == StopCause::Address)
                seen.push_back({step, result, std::nullopt, codeBreaksAt(machine_.chip.pc)});
        },
        [&] {
            for (auto s = seen.rbegin(); s != seen.rend() && !stop; ++s)
                if (wouldStop(*s)) stop = *s;
            seen.clear();
            return stop.has_value();
        });
    for (size_t i = 0; i < hits.size(); ++i)
        codeBreaks_[i].hits = hits[i];
    if (!stop) {
        history_->goTo(machine_, history_->moments().front().step);
        return reverse;
    }
    history_->goTo(machine_, stop->step);
    DebugRun run;
    stopped(stop->result, run);
    run.watch = stop->watch;
    run.codeBreaks = stopBreaks;
    run.steps = present - stop->step;
    run.cycles = presentCycle - machine_.chip.cycleCount();
    last_ = run;
    reverse.hit = run;
    return reverse;
}

Validation DebugSession::lastWrite(const SpaceAddress& place, std::optional<LastWrite>& found) {
    found.reset();
    if (!history_) return noHistory();
    if (Validation refused = history_->checkPresent(machine_)) return refused;
    Watchpoints watch;
    if (Validation refused = watch.add(place, machine_)) return refused;
    const uint64_t present = history_->now();
    machine_.watchpoints = &watch;
    history_->searchBackwards(
        machine_, StopConditions{},
        [&](uint64_t step, const RunResult& result) {
            if (result.cause != StopCause::Watchpoint || !watch.hit()) return;
            const WatchHit& hit = *watch.hit();
            found = LastWrite{step, machine_.chip.cycleCount(), hit.writerPc, hit.oldValue,
                              hit.newValue, {}, 0, place};
            if (sourceMap_)
                if (const std::optional<SourceLocation> where = sourceMap_->locationAt(hit.writerPc)) {
                    found->file = sourceMap_->files()[where->file];
                    found->line = int(where->line);
                }
        },
        true);
    machine_.watchpoints = &watchpoints_;
    return history_->goTo(machine_, present);
}

Validation DebugSession::lastWrite(std::string_view text, std::optional<LastWrite>& found) {
    found.reset();
    std::vector<WatchAddress> places;
    if (Validation refused = watchPlaces(text, places)) return refused;
    for (const WatchAddress& place : places) {
        std::optional<LastWrite> last;
        if (Validation refused = lastWrite(place, last)) return refused;
        if (last && (!found || last->step > found->step)) found = last;
    }
    return {};
}

Validation DebugSession::adoptHistory(History history) {
    history_.emplace(std::move(history));
    return history_->goTo(machine_, history_->end());
}

std::optional<History> DebugSession::releaseHistory() {
    std::optional<History> history = std::move(history_);
    history_.reset();
    return history;
}

Validation DebugSession::stepBackOver(StepUnit unit) {
    if (!history_) return noHistory();
    if (Validation refused = history_->checkPresent(machine_)) return refused;
    const uint64_t present = history_->now();
    const int depth = callStack_.depth();
    const bool byLine = unit == StepUnit::Line && sourceMap_;
    const SourceLevel level = byLine ? sourceMap_->primaryLevel() : SourceLevel{};
    const auto lineAt = [&](uint16_t pc) { return sourceMap_->locationAt(pc, level); };
    const std::optional<SourceLocation> here =
        byLine ? lineAt(machine_.chip.pc) : std::nullopt;
    // By line: the latest first instruction of another line at this level,
    // then back through the earlier starts of that same line, up to a start
    // of any other.
    std::optional<uint64_t> target;
    std::optional<SourceLocation> previous;
    history_->visitBackwards(machine_, [&](const History::MomentFacts& m) {
        if (m.depth > depth) return false;
        if (!byLine) {
            target = m.step;
            return true;
        }
        if (!sourceMap_->startsRange(m.pc, level)) return false;
        const std::optional<SourceLocation> line = lineAt(m.pc);
        if (!previous) {
            if (line == here) return false;
            previous = line;
        } else if (line != previous) {
            return true;
        }
        target = m.step;
        return false;
    });
    if (!target) {
        history_->goTo(machine_, present);
        return errorMessage("History", byLine ? "no earlier line at this level is recorded"
                                              : "no earlier instruction at this level is recorded");
    }
    return history_->goTo(machine_, *target);
}

Validation DebugSession::lastChangeOfLine(int pin, std::optional<PortLineChange>& found) {
    found.reset();
    if (!history_) return noHistory();
    if (Validation refused = history_->checkPresent(machine_)) return refused;
    if (pin < 0 || pin > 31 || !(machine_.profile.availablePinMask >> pin & 1u))
        return errorMessage("History", "no port line " + std::to_string(pin));
    const uint64_t present = history_->now();
    History::MomentFacts later{present, machine_.chip.cycleCount(), machine_.chip.pc, 0,
                               machine_.chip.pinSideLevels()};
    const bool level = later.levels >> pin & 1u;
    history_->visitBackwards(machine_, [&](const History::MomentFacts& m) {
        if (bool(m.levels >> pin & 1u) != level) {
            found = PortLineChange{later.step, later.cycle, m.pc, !level, level};
            return true;
        }
        later = m;
        return false;
    });
    return history_->goTo(machine_, present);
}

} // namespace quorvel
