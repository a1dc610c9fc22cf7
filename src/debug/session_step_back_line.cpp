// Stepping back by source line on the session's history: the reverse of a
// step over.
#include "debug/debug_session.h"

namespace quorvel {

Validation DebugSession::stepBackLine() {
    if (!history_) return errorMessage("History", "recording is off: there is no history to go back in");
    if (!sourceMap_ || sourceMap_->empty()) return stepBack(1);
    if (Validation refused = history_->checkPresent(machine_)) return refused;
    CodeAddressSet lineStarts;
    for (const SourceMark& mark : sourceMap_->marks(sourceMap_->primaryLevel())) lineStarts.set(mark.address);
    StopConditions stops;
    stops.addresses = &lineStarts;
    // A line start deeper in the call stack than the present is inside a
    // call the line made, or an interrupt: stepped over.
    const int depth = callStack_.depth();
    Watchpoints* const watched = machine_.watchpoints;
    machine_.watchpoints = nullptr;
    Validation result;
    for (;;) {
        std::optional<uint64_t> target, earliest;
        const bool any = history_->searchBackwards(machine_, stops, [&](uint64_t step, const RunResult& r) {
            if (!earliest) earliest = step;
            if (r.cause == StopCause::Address && callStack_.depth() <= depth) target = step;
        });
        if (target) {
            result = history_->goTo(machine_, *target);
            break;
        }
        // Every line start of the latest segment was too deep: search on
        // from the earliest of them.
        if (!any || !earliest) {
            result = history_->goTo(machine_, history_->moments().front().step);
            break;
        }
        if ((result = history_->goTo(machine_, *earliest))) break;
    }
    machine_.watchpoints = watched;
    return result;
}

} // namespace quorvel
