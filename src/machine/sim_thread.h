// The simulation thread: executes instructions back to back in one of the run
// modes until the mode's stop condition holds, the user stops it or the
// program counter leaves program memory.
//
// Hand-off with the user-interface thread. The worker holds `stepMutex_`
// while it executes a batch of steps and checks, between two steps, whether a
// pause was requested or the run was stopped. The user-interface thread
// pauses a run with a `PauseGuard`: it raises the pause request, then takes
// the same mutex, so it gets the machine between two instructions, never in
// the middle of one, and the worker carries on from where it was when the
// guard ends. A pause never changes the run mode, so a stop the worker
// reached on its own is never undone by a pause in flight.
//
// Go and breakpoint execution run at the run speed (run_pacer.h): after each
// batch of steps the worker sleeps, with the step mutex free, until the
// simulated time reached is due on the wall clock; a stop or quit wakes it.
// The other modes (step-over of a call, finish subroutine, time measurement)
// always run at full speed.
//
// Every run carries a generation number. The worker reports the end of a run
// through `RunEvents` (on the simulation thread, never blocking); the
// receiver passes the generation back, and a notice from an earlier run is
// recognised as stale.
#pragma once

#include "machine/breakpoint.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "machine/run_pacer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quorvel {

enum class RunMode : uint8_t {
    RunToAddress = 1,       // step-over of a call: run until PC reaches the target
    FreeRun = 2,            // "&Go"
    BreakpointRun = 3,      // stop when the breakpoint condition holds after a step
    UntilEndAddress = 128,  // execution-time measurement: no notification
    FinishSubroutine = 129, // run until the RET/RETI that leaves the current routine
    Stopped = 255,
};

enum class StopReason : uint8_t {
    None,
    Condition,     // the run mode's own stop condition held
    PcOutOfRange,  // "PC Exceeds Maximum Program Memory"
    User,          // stopped from the user interface
    Watchpoint,    // a watched place changed (Machine::watchpoints)
    WatchdogReset, // the watchdog reset the chip (StopConditions::watchdogReset)
};

class RunEvents {
public:
    virtual ~RunEvents() = default;
    // Simulation thread. A run ended by itself (not by `stop`). Must not block.
    virtual void runEnded(uint64_t generation, StopReason reason) = 0;
    // Simulation thread. A step-over reached the call's return address and
    // more steps are to be done: the receiver continues the step-over.
    virtual void stepOverContinues(uint64_t generation) = 0;
};

// Sees a run's instructions go by in batches and bounds each batch: the
// debug session's history keeps its snapshots where a batch ends. A batch
// ends at least where `stepsUntilDue` says, and `advance` follows it.
// Simulation thread, with the step mutex held (or the user-interface thread
// while no run is active); never blocks.
class RunRecorder {
public:
    virtual ~RunRecorder() = default;
    virtual uint64_t stepsUntilDue() const = 0;
    virtual void advance(const Machine& machine, uint64_t steps) = 0;
};

// What a run needs besides its mode.
struct RunParameters {
    uint16_t targetAddress = 0;   // mode 1 and mode 128
    // Mode 1: the target counts only with the stack pointer at or below
    // this, so a recursive call that reaches the same return address deeper
    // down the stack does not end the run.
    std::optional<uint8_t> stackAtMost{};
    uint16_t stepOverCount = 0;   // mode 1: step-overs still to do, this one included
    // What ends a free run or a breakpoint run, as the debug session
    // decided it (breakpoint conditions, source-line breakpoints). The run
    // keeps its own copy of the breakpoint conditions; the address set is
    // the session's, changed only under a pause.
    StopConditions stops;
};

class SimThread {
public:
    class PauseGuard {
    public:
        explicit PauseGuard(SimThread& thread);
        ~PauseGuard();
        PauseGuard(const PauseGuard&) = delete;
        PauseGuard& operator=(const PauseGuard&) = delete;

    private:
        SimThread& thread_;
        std::unique_lock<std::recursive_mutex> lock_;
    };

    SimThread(Machine& machine, RunEvents& events);
    ~SimThread();
    SimThread(const SimThread&) = delete;
    SimThread& operator=(const SimThread&) = delete;

    // User-interface thread. Starts (or redirects) a run; returns its
    // generation. The machine's PC must already be where the run begins.
    uint64_t start(RunMode mode, const RunParameters& parameters);
    // User-interface thread. Ends the run; when it returns no step is in
    // progress and the worker is idle.
    void stop();
    // User-interface thread. Waits for the step in progress, then holds the
    // worker until the guard is destroyed. Cheap when no run is active.
    [[nodiscard]] PauseGuard pause() { return PauseGuard(*this); }

    RunMode mode() const { return mode_.load(); }
    bool active() const { return mode_.load() != RunMode::Stopped; }
    uint64_t generation() const { return generation_.load(); }
    // Why the last run ended; valid once `active()` is false.
    StopReason lastStopReason() const { return lastStop_.load(); }
    // Step-overs still to do (mode 1). Read under a pause or while idle.
    uint16_t stepOverCount() const { return parameters_.stepOverCount; }

    // User-interface thread. The recorder every later run and step-over
    // reports to (none: no recording); execution-time measurement is never
    // recorded, as the measurement puts the machine back.
    void setRecorder(RunRecorder* recorder);

    // User-interface thread. The run speed in percent of real time (0: full
    // speed, the default); a run in progress takes it from its next batch.
    void setSpeed(uint16_t percent);
    uint16_t speed() const { return speed_.load(); }
    // Any thread. True when a paced run could not keep up with its speed
    // since the last call; the call clears it.
    bool takeFallingBehind() { return fellBehind_.exchange(false); }

private:
    void loop();
    void runBatch();
    StopConditions untilTarget() const {
        StopConditions stops;
        stops.untilPc = parameters_.targetAddress;
        return stops;
    }
    void finish(StopReason reason, bool notify);
    // runSteps within what the recorder allows, reported to it.
    RunResult recordedSteps(uint32_t maxSteps, const StopConditions& stops);
    // After a paced batch: true when the worker is to sleep (until
    // sleepUntil_) before the next one.
    bool pace();
    void beginPacing(RunMode mode);

    Machine& machine_;
    RunEvents& events_;
    RunParameters parameters_;   // guarded by stepMutex_
    std::vector<BreakpointCondition> breakpoints_; // parameters_.stops.breakpoints; guarded by stepMutex_
    uint8_t nesting_ = 0;        // finish-subroutine call depth; guarded by stepMutex_
    RunPacer pacer_;             // guarded by stepMutex_
    RunRecorder* recorder_ = nullptr; // guarded by stepMutex_
    std::optional<RunPacer::Clock::time_point> sleepUntil_; // worker only

    // Held by the worker while it steps and by pause guards. Recursive, so a
    // guard taken inside another on the user-interface thread nests.
    std::recursive_mutex stepMutex_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<RunMode> mode_{RunMode::Stopped};
    std::atomic<int> pauseRequests_{0};
    std::atomic<bool> quit_{false};
    std::atomic<uint64_t> generation_{0};
    std::atomic<StopReason> lastStop_{StopReason::None};
    std::atomic<uint16_t> speed_{0};
    std::atomic<bool> fellBehind_{false};
    std::thread thread_;
};

} // namespace quorvel
