#include "debug/execution_time.h"

#include "common/hex_field.h"

#include <cstdio>

namespace quorvel {

ExecutionTimeMeasurement::ExecutionTimeMeasurement(RunController& controller)
    : controller_(controller) {
    auto guard = controller_.pause();
    ChipState& chip = controller_.machine().chip;
    savedStart_ = controller_.measureStart;
    savedEnd_ = controller_.measureEnd;
    savedCycles_ = chip.cycleCount();
    savedIram_ = chip.iram;
    savedSfrs_ = chip.sfrs;
    savedSide_ = chip.side;
    chip.setCycleCount(0);
}

ExecutionTimeMeasurement::~ExecutionTimeMeasurement() {
    if (state_ == State::Running) cancel();
    restore();
}

Validation ExecutionTimeMeasurement::calculate(std::string_view startText,
                                               std::string_view endText) {
    if (state_ == State::Running) return std::nullopt;
    auto start = parseHexField(startText);
    if (!start) return errorMessage("Error", "Illegal Starting Address");
    auto end = parseHexField(endText);
    if (!end) return errorMessage("Error", "Illegal Ending Address");
    ChipState& chip = controller_.machine().chip;
    if (*end > chip.codeLimit)
        return errorMessage("Error", "Ending Address is Greater than Maximum Program Memory");
    if (*start > *end) return errorMessage("Error", "Starting Address is Greater than Ending Address");

    controller_.measureStart = *start;
    controller_.measureEnd = *end;
    {
        auto guard = controller_.pause();
        chip.setCycleCount(0);
        chip.pc = *start;
    }
    RunParameters parameters;
    parameters.targetAddress = *end;
    controller_.thread().start(RunMode::UntilEndAddress, parameters);
    state_ = State::Running;
    return std::nullopt;
}

std::string ExecutionTimeMeasurement::progressText() const {
    return std::string(size_t(std::min(progress_, 34)), '>');
}

ExecutionTimeMeasurement::Tick ExecutionTimeMeasurement::tick() {
    Tick tick;
    if (state_ != State::Running) return tick;
    tick.progress = progressText();
    progress_ = progress_ >= 35 ? 1 : progress_ + 1;
    SimThread& thread = controller_.thread();
    if (thread.active()) return tick;

    thread.stop();
    tick.finished = true;
    if (thread.lastStopReason() == StopReason::PcOutOfRange) {
        // The code left program memory before reaching the end: no result.
        state_ = State::Failed;
        tick.message = pcExceedsMessage();
    } else {
        state_ = State::Succeeded;
        const Machine& machine = controller_.machine();
        UserMessage result{"Execution Time",
                           executionTimeText(machine.chip.cycles, machine.selection.cycleTimeUs),
                           UserMessage::Icon::Information};
        tick.message = result;
    }
    restore();
    return tick;
}

void ExecutionTimeMeasurement::cancel() {
    if (state_ == State::Running) controller_.thread().stop();
    state_ = State::Cancelled;
    controller_.measureStart = savedStart_;
    controller_.measureEnd = savedEnd_;
    restore();
}

void ExecutionTimeMeasurement::restore() {
    if (restored_) return;
    restored_ = true;
    auto guard = controller_.pause();
    ChipState& chip = controller_.machine().chip;
    chip.setCycleCount(savedCycles_);
    chip.iram = savedIram_;
    chip.sfrs = savedSfrs_;
    chip.side = savedSide_;
}

std::string executionTimeText(uint32_t cycles, float cycleTimeUs) {
    // In double: a float loses the last digits beyond 16.7 million cycles.
    double time = double(cycles) * double(cycleTimeUs);
    char text[128];
    std::snprintf(text, sizeof text,
                  "Number of Machine Cycles : %u\nExecution Time                   : %3.2f uSec",
                  unsigned(cycles), time);
    return text;
}

} // namespace quorvel
