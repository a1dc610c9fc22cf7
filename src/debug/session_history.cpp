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

ReverseRun DebugSession::runBackwards() {
    ReverseRun reverse;
    if (!history_) return {noHistory(), std::nullopt};
    if ((reverse.refused = history_->checkPresent(machine_))) return reverse;
    const uint64_t present = history_->now(), presentCycle = history_->nowCycle();
    StopConditions stops = stopConditions();
    stops.untilPc.reset();
    stops.selfJump = false;
    struct Hit {
        uint64_t step;
        RunResult result;
        std::optional<WatchHit> watch;
    };
    std::optional<Hit> last;
    history_->searchBackwards(machine_, stops, [&](uint64_t step, const RunResult& result) {
        if (result.cause == StopCause::Breakpoint || result.cause == StopCause::Address ||
            result.cause == StopCause::Watchpoint)
            last = Hit{step, result, watchpoints_.hit()};
    });
    if (!last) {
        history_->goTo(machine_, history_->moments().front().step);
        return reverse;
    }
    history_->goTo(machine_, last->step);
    DebugRun run;
    stopped(last->result, run);
    run.watch = last->watch;
    run.steps = present - last->step;
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
                              hit.newValue};
        },
        true);
    machine_.watchpoints = &watchpoints_;
    return history_->goTo(machine_, present);
}

} // namespace quorvel
