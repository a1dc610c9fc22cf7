#include "debug/run_controller.h"

#include "machine/executor.h"
#include "machine/snapshot.h"
#include "common/hex_field.h"
#include "tools/opcode_facts.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

UserMessage pcExceedsMessage() {
    return errorMessage("Error", "PC Exceeds Maximum Program Memory");
}

// The session's history behind the simulation thread's recorder: it is
// looked up at every batch, as recording may be switched under a pause.
class RunController::Recorder final : public RunRecorder {
public:
    explicit Recorder(DebugSession& session) : session_(session) {}
    uint64_t stepsUntilDue() const override {
        const History* history = session_.history();
        return history ? history->stepsUntilDue() : UINT64_MAX;
    }
    void advance(const Machine& machine, uint64_t steps) override {
        if (History* history = session_.history()) history->advance(machine, steps);
    }

private:
    DebugSession& session_;
};

RunController::RunController(DebugSession& session, RunEvents& events)
    : session_(session), machine_(session.machine()),
      recorder_(std::make_unique<Recorder>(session)), thread_(session.machine(), events) {
    thread_.setRecorder(recorder_.get());
}

RunController::~RunController() = default;

void RunController::restartHistory() {
    auto guard = thread_.pause();
    session_.setRecording(recordHistory, History::kDefaultInterval, historyBudget);
    notePresent();
}

// The current address is left out: where the next run starts is the user's
// choice until it starts, and then it is logged (placePc).
uint64_t RunController::presentHash() {
    auto guard = thread_.pause();
    const uint16_t current = currentAddress();
    setCurrentAddress(0);
    const uint64_t hash = machineHash(machine_);
    setCurrentAddress(current);
    return hash;
}

void RunController::notePresent() {
    auto guard = thread_.pause();
    if (session_.history()) presentHash_ = presentHash();
}

bool RunController::keepHistoryPresent() {
    auto guard = thread_.pause();
    const History* history = session_.history();
    if (!history || (!history->checkPresent(machine_) && presentHash() == presentHash_))
        return false;
    restartHistory();
    return true;
}

Validation RunController::input(const MachineInput& in) {
    auto guard = thread_.pause();
    if (!running_) keepHistoryPresent();
    Validation refused = session_.input(in);
    if (!running_) notePresent();
    return refused;
}

void RunController::tickInput(const MachineInput& in) {
    auto guard = thread_.pause();
    History* history = session_.history();
    if (!history) {
        applyInput(machine_, in);
        return;
    }
    const uint64_t before = machineHash(machine_);
    if (applyInput(machine_, in)) return;
    const uint64_t after = machineHash(machine_);
    if (after == before) return;
    history->logApplied(machine_, in);
    if (!running_) notePresent();
}

void RunController::edit(const std::function<void()>& change) {
    auto guard = thread_.pause();
    History* history = session_.history();
    if (!history) {
        change();
        return;
    }
    if (!running_) keepHistoryPresent();
    const uint64_t before = machineHash(machine_);
    ModuleSettings settings = machine_.modules.settings;
    change();
    const uint64_t after = machineHash(machine_);
    if (after == before) return;
    // A change of the part models' settings alone is logged as those
    // settings: the machine with the old ones back hashes as before.
    std::swap(settings, machine_.modules.settings);
    const bool settingsOnly = machineHash(machine_) == before;
    std::swap(settings, machine_.modules.settings);
    MachineInput state;
    if (settingsOnly) {
        state.kind = MachineInput::Kind::ModuleSettings;
        state.bytes = encodeModuleSettings(machine_.modules.settings);
    } else {
        state.kind = MachineInput::Kind::Machine;
        state.bytes = encodeSnapshot(takeSnapshot(machine_));
    }
    session_.history()->logApplied(machine_, state);
    if (!running_) notePresent();
}

void RunController::placePc() {
    auto guard = thread_.pause();
    if (machine_.chip.pc == currentAddress()) return;
    MachineInput pc;
    pc.kind = MachineInput::Kind::ProgramCounter;
    pc.value = currentAddress();
    // An address beyond program memory is refused as input: the commands
    // then say "PC Exceeds Maximum Program Memory".
    if (input(pc)) machine_.chip.pc = currentAddress();
}

RunResult RunController::recordedStep() {
    History* history = session_.history();
    if (history) history->beginForward();
    const RunResult result = runSteps(machine_, 1);
    if (history) history->advance(machine_, result.steps);
    return result;
}

RunOutcome RunController::startRun(RunMode mode, const RunParameters& parameters) {
    RunOutcome outcome;
    if (!running_) keepHistoryPresent();
    placePc();
    {
        auto guard = thread_.pause();
        // Running on from a moment in the past discards the future.
        if (History* history = session_.history()) history->beginForward();
        outcome.startAddress = machine_.chip.pc;
        // The LED digits' memory, logged when it held something.
        edit([this] { resetModulesOnRunStart(machine_.modules); });
    }
    outcome.started = !running_;
    running_ = true;
    thread_.start(mode, parameters);
    return outcome;
}

RunOutcome RunController::go() {
    placePc();
    if (pcBeyondLimit()) return {.message = pcExceedsMessage()};
    session_.breakpoints.clear();
    lastRunMode_ = RunMode::FreeRun;
    return startRun(RunMode::FreeRun, {.stops = session_.runStopConditions()});
}

RunOutcome RunController::goTo(uint16_t address) {
    lastGoToAddress = address;
    setCurrentAddress(address);
    return go();
}

RunOutcome RunController::breakpointRun() {
    placePc();
    if (pcBeyondLimit()) return {.message = pcExceedsMessage()};
    if (!breakpoint.isSet()) return {.message = errorMessage("Error", "Breakpoint not yet set")};
    session_.breakpoints = {breakpoint};
    lastRunMode_ = RunMode::BreakpointRun;
    return startRun(RunMode::BreakpointRun, {.stops = session_.runStopConditions()});
}

RunOutcome RunController::resume() {
    placePc();
    if (pcBeyondLimit()) return {.message = pcExceedsMessage()};
    // The session's breakpoints are still the ones the run started with.
    return startRun(lastRunMode_, {.stops = session_.runStopConditions()});
}

void RunController::stopConditionsChanged() {
    if (!running_) return;
    auto guard = thread_.pause();
    const RunMode mode = thread_.mode();
    // A run that already ended has its notice on the way; the other modes
    // stop at their own address, not at breakpoints.
    if (mode != RunMode::FreeRun && mode != RunMode::BreakpointRun) return;
    thread_.start(mode, {.stops = session_.runStopConditions()});
}

RunOutcome RunController::finishSubroutine() {
    placePc();
    if (pcBeyondLimit()) return {.message = pcExceedsMessage()};
    // The routine's frame on the session's call stack gives its return
    // address and stack depth, so an interrupt's RETI on the way does not
    // end the run. Without a frame (the routine was entered by Go To or a
    // changed PC) the run counts calls and returns instead.
    const std::optional<CallFrame> frame = session_.innermostFrame();
    if (!frame) return startRun(RunMode::FinishSubroutine, {});
    RunParameters parameters;
    parameters.targetAddress = frame->returnTo;
    parameters.stackAtMost = frame->stackAfterReturn();
    return startRun(RunMode::RunToAddress, parameters);
}

template <typename Steps> RunOutcome RunController::stepHere(Steps steps) {
    keepHistoryPresent();
    placePc();
    if (pcBeyondLimit()) return {.message = pcExceedsMessage()};
    takeSnapshots();
    RunOutcome outcome;
    outcome.refresh = true;
    {
        auto guard = thread_.pause();
        const StopCause end = steps();
        if (end == StopCause::PcOutOfRange) outcome.message = pcExceedsMessage();
        outcome.watchStop = end == StopCause::Watchpoint;
        setCurrentAddress(machine_.chip.pc);
        notePresent();
    }
    return outcome;
}

RunOutcome RunController::singleStep() {
    if (numberOfSteps == 0) numberOfSteps = 1;
    return stepHere([this] {
        for (unsigned i = 0; i < numberOfSteps; ++i) {
            const RunResult r = recordedStep();
            if (r.cause == StopCause::PcOutOfRange || r.cause == StopCause::Watchpoint) return r.cause;
        }
        return StopCause::Steps;
    });
}

RunOutcome RunController::stepOver() {
    uint16_t count = numberOfSteps == 0 ? 1 : numberOfSteps;
    keepHistoryPresent();
    placePc();
    takeSnapshots();
    return stepOverLoop(count);
}

RunOutcome RunController::sourceLineStep(SourceStep kind, DebugSession::StepUnit unit) {
    return stepHere([&] {
        switch (session_.step(kind, unit).stop) {
        case DebugStop::PcOutOfRange: return StopCause::PcOutOfRange;
        case DebugStop::Watch: return StopCause::Watchpoint;
        default: return StopCause::Steps;
        }
    });
}

// Steps on this thread until `count` steps are done; a call is handed to the
// simulation thread as a run to its return address, which comes back through
// `continueStepOver` while steps remain.
RunOutcome RunController::stepOverLoop(uint16_t count) {
    RunOutcome outcome;
    std::optional<RunParameters> call;
    {
        auto guard = thread_.pause();
        ChipState& chip = machine_.chip;
        while (count > 0) {
            if (pcBeyondLimit()) {
                outcome.message = pcExceedsMessage();
                break;
            }
            const uint8_t opcode = chip.readCode(chip.pc);
            if (isCallOpcode(opcode)) {
                RunParameters parameters;
                parameters.targetAddress = uint16_t(chip.pc + opcodeLength(opcode));
                parameters.stackAtMost = chip.sfr(sfr::SP); // where the return leaves it
                parameters.stepOverCount = count;
                call = parameters;
                break;
            }
            const RunResult r = recordedStep();
            if (r.pcOutOfRange) {
                outcome.message = pcExceedsMessage();
                break;
            }
            if (r.cause == StopCause::Watchpoint) {
                outcome.watchStop = true;
                break;
            }
            --count;
        }
        setCurrentAddress(chip.pc);
        notePresent();
    }
    if (call) return startRun(RunMode::RunToAddress, *call);

    outcome.refresh = true;
    if (running_) outcome.ended = stop().ended;
    return outcome;
}

RunOutcome RunController::stop() {
    if (!running_) return {};
    thread_.stop();
    running_ = false;
    {
        auto guard = thread_.pause();
        setCurrentAddress(machine_.chip.pc);
        notePresent();
    }
    RunOutcome outcome;
    outcome.ended = true;
    outcome.refresh = true;
    return outcome;
}

RunOutcome RunController::resetCpu() {
    auto guard = thread_.pause();
    machine_.chip.reset();
    // Program time counts from the reset.
    machine_.chip.setCycleCount(0);
    resetModulesOnCpuReset(machine_.modules); // the LCD's transfer state
    setCurrentAddress(machine_.chip.pc);
    // The timeline starts again at the reset.
    restartHistory();
    RunOutcome outcome;
    outcome.refresh = true;
    return outcome;
}

RunOutcome RunController::runEnded(uint64_t generation, StopReason reason) {
    if (!running_ || generation != thread_.generation()) return {};
    RunOutcome outcome = stop();
    if (reason == StopReason::PcOutOfRange) outcome.message = pcExceedsMessage();
    outcome.watchStop = reason == StopReason::Watchpoint;
    return outcome;
}

RunOutcome RunController::continueStepOver(uint64_t generation) {
    if (!running_ || generation != thread_.generation()) return {};
    uint16_t count;
    {
        auto guard = thread_.pause();
        count = thread_.stepOverCount();
    }
    return stepOverLoop(count);
}

void RunController::setShownExternalRange(uint16_t start, uint32_t count) {
    shownXdataStart_ = start;
    shownXdataCount_ = count;
}

void RunController::takeSnapshots() {
    auto guard = thread_.pause();
    const ChipState& chip = machine_.chip;
    snapshot_.sfrs = chip.sfrs;
    snapshot_.side = chip.side;
    snapshot_.iram.assign(chip.iram.begin(), chip.iram.begin() + machine_.profile.ramSize);
    snapshot_.xdataStart = shownXdataStart_;
    snapshot_.xdata.resize(shownXdataCount_);
    for (uint32_t i = 0; i < shownXdataCount_; ++i) {
        uint32_t address = uint32_t(shownXdataStart_) + i;
        snapshot_.xdata[i] = address <= chip.xdataLimit && chip.hasXdata() ? chip.xdata[address] : 0xFF;
    }
}

Validation acceptNumberOfSteps(std::string_view text, uint16_t& steps) {
    auto fail = [] { return errorMessage("Error", "Enter a value for 'Number of steps'"); };
    if (text.empty() || text.size() > 2) return fail();
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fail();
        value = value * 10 + unsigned(c - '0');
    }
    steps = uint16_t(value);
    return std::nullopt;
}

namespace {

// Decimal digits, spaces around them allowed; nothing when there are none,
// another character, or more than `most`.
std::optional<uint64_t> decimalField(std::string_view text, uint64_t most) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = uint64_t(c - '0');
        if (value > (most - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

Validation acceptCycle(std::string_view text, uint64_t& cycle) {
    const std::optional<uint64_t> value = decimalField(text, UINT64_MAX);
    if (!value) return errorMessage("Error", "Enter the machine cycle as a decimal number");
    cycle = *value;
    return std::nullopt;
}

Validation acceptHistoryBudget(std::string_view text, size_t& bytes) {
    const std::optional<uint64_t> megabytes = decimalField(text, 4096);
    if (!megabytes || *megabytes == 0)
        return errorMessage("Error", "The history budget is 1 to 4096 MB");
    bytes = size_t(*megabytes) << 20;
    return std::nullopt;
}

Validation acceptExecutionSettings(bool fromGivenAddress, std::string_view addressText,
                                   bool screenUpdate, std::string_view secondsText,
                                   ExecutionSettings& settings) {
    ExecutionSettings result = settings;
    result.screenUpdate = screenUpdate;
    if (screenUpdate) {
        unsigned seconds = 0;
        bool digits = !secondsText.empty() && secondsText.size() <= 2;
        for (char c : secondsText) {
            if (c == ' ') continue;
            if (c < '0' || c > '9') digits = false;
            else seconds = seconds * 10 + unsigned(c - '0');
        }
        if (!digits || seconds == 0) return errorMessage("Error", "Illegal Time Between Updates");
        result.updateSeconds = uint8_t(seconds);
    }
    result.fromGivenAddress = fromGivenAddress;
    if (fromGivenAddress) {
        auto address = parseHexField(addressText);
        if (!address) return errorMessage("Error", "Illegal Address");
        result.startAddress = *address;
    }
    settings = result;
    return std::nullopt;
}

std::optional<std::string> goToolTip(const ExecutionSettings& settings) {
    if (!settings.fromGivenAddress) return std::nullopt;
    char text[24];
    std::snprintf(text, sizeof text, "Execute(%04XH)", unsigned(settings.startAddress));
    return text;
}

} // namespace quorvel
