#include "machine/sim_thread.h"

#include "machine/executor.h"
#include "tools/opcode_facts.h"

#include <algorithm>

namespace quorvel {

namespace {
// Steps a free run executes between two looks at the pause and stop flags.
constexpr uint32_t kFreeRunBatch = 1024;
} // namespace

SimThread::PauseGuard::PauseGuard(SimThread& thread) : thread_(thread) {
    thread_.pauseRequests_.fetch_add(1);
    lock_ = std::unique_lock<std::recursive_mutex>(thread_.stepMutex_);
}

SimThread::PauseGuard::~PauseGuard() {
    lock_.unlock();
    thread_.pauseRequests_.fetch_sub(1);
    std::lock_guard<std::mutex> wake(thread_.wakeMutex_);
    thread_.wake_.notify_all();
}

SimThread::SimThread(Machine& machine, RunEvents& events)
    : machine_(machine), events_(events), thread_([this] { loop(); }) {}

SimThread::~SimThread() {
    {
        std::lock_guard<std::mutex> wake(wakeMutex_);
        quit_.store(true);
        mode_.store(RunMode::Stopped);
    }
    wake_.notify_all();
    thread_.join();
}

uint64_t SimThread::start(RunMode mode, const RunParameters& parameters) {
    uint64_t generation;
    {
        PauseGuard guard(*this);
        parameters_ = parameters;
        breakpoints_.assign(parameters.stops.breakpoints.begin(), parameters.stops.breakpoints.end());
        parameters_.stops.breakpoints = breakpoints_;
        if (mode == RunMode::FinishSubroutine) nesting_ = 0;
        beginPacing(mode);
        fellBehind_.store(false);
        lastStop_.store(StopReason::None);
        generation = generation_.fetch_add(1) + 1;
        mode_.store(mode);
    }
    // The guard's end wakes the worker.
    return generation;
}

void SimThread::beginPacing(RunMode mode) {
    const bool paced = mode == RunMode::FreeRun || mode == RunMode::BreakpointRun;
    pacer_.begin(paced ? speed_.load() : 0, machine_.chip.cycleTimeUs, machine_.chip.cycleCount(),
                 RunPacer::Clock::now());
}

void SimThread::setRecorder(RunRecorder* recorder) {
    PauseGuard guard(*this);
    recorder_ = recorder;
}

RunResult SimThread::recordedSteps(uint32_t maxSteps, const StopConditions& stops) {
    if (!recorder_) return runSteps(machine_, maxSteps, stops);
    const uint64_t due = recorder_->stepsUntilDue();
    const RunResult result = runSteps(machine_, uint32_t(std::min<uint64_t>(maxSteps, due)), stops);
    recorder_->advance(machine_, result.steps);
    return result;
}

void SimThread::setSpeed(uint16_t percent) {
    PauseGuard guard(*this);
    speed_.store(percent);
    if (mode_.load() != RunMode::Stopped) beginPacing(mode_.load());
}

bool SimThread::pace() {
    if (!pacer_.paced()) return false;
    const auto now = RunPacer::Clock::now();
    const RunPacer::Due due = pacer_.due(machine_.chip.cycleCount(), now);
    if (due.fellBehind) fellBehind_.store(true);
    if (due.at <= now) return false;
    sleepUntil_ = due.at;
    return true;
}

void SimThread::stop() {
    PauseGuard guard(*this);
    if (mode_.load() != RunMode::Stopped) {
        lastStop_.store(StopReason::User);
        mode_.store(RunMode::Stopped);
    }
}

void SimThread::loop() {
    for (;;) {
        {
            std::unique_lock<std::mutex> wake(wakeMutex_);
            // A paced run sleeps until its next batch is due; a stop or quit
            // ends the sleep at once, a pause need not (it takes the free step
            // mutex).
            if (sleepUntil_) {
                wake_.wait_until(wake, *sleepUntil_, [this] {
                    return quit_.load() || mode_.load() == RunMode::Stopped;
                });
                sleepUntil_.reset();
            }
            wake_.wait(wake, [this] {
                return quit_.load() ||
                       (mode_.load() != RunMode::Stopped && pauseRequests_.load() == 0);
            });
            if (quit_.load()) return;
        }
        std::lock_guard<std::recursive_mutex> stepping(stepMutex_);
        runBatch();
    }
}

void SimThread::finish(StopReason reason, bool notify) {
    lastStop_.store(reason);
    mode_.store(RunMode::Stopped);
    if (notify) events_.runEnded(generation_.load(), reason);
}

// Runs steps until a pause is requested or the run ends. Called with
// stepMutex_ held.
void SimThread::runBatch() {
    Machine& m = machine_;
    ChipState& chip = m.chip;
    auto pauseWanted = [this] { return pauseRequests_.load(std::memory_order_relaxed) != 0; };

    while (!pauseWanted()) {
        const RunMode mode = mode_.load(std::memory_order_relaxed);
        switch (mode) {
        case RunMode::FreeRun:
        case RunMode::BreakpointRun:
            if (parameters_.stops.any() || pacer_.paced()) {
                const RunResult result = recordedSteps(pacer_.batchSteps(kFreeRunBatch), parameters_.stops);
                if (result.pcOutOfRange) return finish(StopReason::PcOutOfRange, true);
                if (result.cause == StopCause::Watchpoint) return finish(StopReason::Watchpoint, true);
                if (result.cause == StopCause::WatchdogReset) return finish(StopReason::WatchdogReset, true);
                if (result.cause != StopCause::Steps) return finish(StopReason::Condition, true);
                if (pace()) return;
                break;
            }
            // The hot loop: batches of back-to-back steps (a pause waits for
            // at most one batch, a few microseconds), then the two flag loads.
            do {
                const RunResult result = recordedSteps(kFreeRunBatch, {});
                if (result.pcOutOfRange) return finish(StopReason::PcOutOfRange, true);
                if (result.cause == StopCause::Watchpoint) return finish(StopReason::Watchpoint, true);
            } while (!pauseWanted() &&
                     mode_.load(std::memory_order_relaxed) == mode);
            break;

        case RunMode::RunToAddress:
            if (chip.pc != parameters_.targetAddress ||
                (parameters_.stackAtMost && chip.sfr(sfr::SP) > *parameters_.stackAtMost)) {
                const RunResult result = recordedSteps(kFreeRunBatch, untilTarget());
                if (result.pcOutOfRange) return finish(StopReason::PcOutOfRange, true);
                if (result.cause == StopCause::Watchpoint) return finish(StopReason::Watchpoint, true);
                break;
            }
            if (parameters_.stepOverCount < 2) {
                parameters_.stepOverCount = 0;
                return finish(StopReason::Condition, true);
            }
            --parameters_.stepOverCount;
            lastStop_.store(StopReason::Condition);
            mode_.store(RunMode::Stopped);
            events_.stepOverContinues(generation_.load());
            return;

        case RunMode::UntilEndAddress: {
            const RunResult result = runSteps(m, kFreeRunBatch, untilTarget());
            if (result.pcOutOfRange) return finish(StopReason::PcOutOfRange, false);
            if (result.cause == StopCause::UntilPc) return finish(StopReason::Condition, false);
            break;
        }

        case RunMode::FinishSubroutine: {
            const uint8_t opcode = chip.readCode(chip.pc);
            const RunResult result = recordedSteps(1, {});
            if (result.pcOutOfRange) return finish(StopReason::PcOutOfRange, true);
            if (result.cause == StopCause::Watchpoint) return finish(StopReason::Watchpoint, true);
            if (isReturnOpcode(opcode)) {
                if (nesting_ == 0) return finish(StopReason::Condition, true);
                --nesting_;
            } else if (isCallOpcode(opcode)) {
                ++nesting_;
            }
            break;
        }

        default: return;
        }
    }
}

} // namespace quorvel
