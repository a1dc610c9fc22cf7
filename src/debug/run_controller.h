// Run control as the user sees it: Go, GoTo, breakpoint execution, finish
// subroutine, single steps and step-over, stop and Reset CPU, with the
// settings they use (number of steps, breakpoint condition, screen update,
// start address) and the change-highlighting snapshots the views compare
// against. What ends a run (breakpoint conditions, source-line breakpoints)
// and what a step is come from the debug session; this object starts the
// runs on its simulation thread and steps on the caller's.
//
// Threads: every member is called on the user-interface thread. Runs execute
// on the owned `SimThread`; their end arrives through `RunEvents` on the
// simulation thread, and the receiver hands it back with `runEnded` /
// `continueStepOver` on the user-interface thread.
#pragma once

#include "debug/debug_session.h"
#include "machine/breakpoint.h"
#include "machine/change_snapshot.h"
#include "machine/machine.h"
#include "machine/sim_thread.h"
#include "machine/source_step.h"
#include "common/user_message.h"

#include <array>
#include <functional>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// "Execution Setting" dialog values.
struct ExecutionSettings {
    bool screenUpdate = false;
    uint8_t updateSeconds = 1; // 1 to 99
    bool fromGivenAddress = false;
    uint16_t startAddress = 0;

    bool operator==(const ExecutionSettings&) const = default;
};

// What the frame must do after a command.
struct RunOutcome {
    bool started = false;  // a run began: gray the run-time commands, start the timers
    bool ended = false;    // the run is over: restore the commands, stop the timers
    bool refresh = false;  // refresh every open view
    uint16_t startAddress = 0; // where a started run began ("Executing from %04XH...")
    bool watchStop = false; // a watchpoint ended the run or step: say what was written
    std::optional<UserMessage> message; // show after refreshing

    bool operator==(const RunOutcome&) const = default;
};

UserMessage pcExceedsMessage();

class RunController {
public:
    RunController(DebugSession& session, RunEvents& events);
    ~RunController();

    SimThread& thread() { return thread_; }
    Machine& machine() { return machine_; }
    DebugSession& session() { return session_; }
    // The running flag: set from start run to stop run.
    bool running() const { return running_; }

    // Where the next run or step starts.
    uint16_t currentAddress() const { return machine_.chip.side.instructionAddress; }
    void setCurrentAddress(uint16_t address) { machine_.chip.side.instructionAddress = address; }

    RunOutcome go();
    RunOutcome goTo(uint16_t address);
    RunOutcome breakpointRun();
    // After a Go or Breakpoint Execution stopped at a code breakpoint none
    // of whose conditions holds (DebugSession::threadRunEnded): the same
    // run again from the program counter, the window's breakpoint with it.
    RunOutcome resume();
    // The session's code breakpoints or exception stops changed (the
    // window's, or an attached client's): a Go or Breakpoint Execution
    // under way goes on under the new ones. A run keeps the conditions it
    // started with, so one that began with no breakpoint would otherwise
    // pass every new one.
    void stopConditionsChanged();
    RunOutcome finishSubroutine();
    RunOutcome singleStep();
    RunOutcome stepOver();
    // Step into, over or out of one source line (the session's step), on
    // this thread like the single steps.
    RunOutcome sourceLineStep(SourceStep kind, DebugSession::StepUnit unit = DebugSession::StepUnit::Line);
    RunOutcome stop();
    RunOutcome resetCpu();
    // Notices from the simulation thread, handed over to this thread.
    RunOutcome runEnded(uint64_t generation, StopReason reason);
    RunOutcome continueStepOver(uint64_t generation);

    // Pauses the run (if any) for a change of machine state.
    [[nodiscard]] SimThread::PauseGuard pause() { return thread_.pause(); }

    // ---- history: the runs and steps here feed the session's history
    // (debug/history.h) when recording is on.

    // Starts the history anew at the present moment with the settings
    // below, or drops it when recording is off: after a change the history
    // cannot replay (a new program, a reset, a new device).
    void restartHistory();
    bool recordHistory = true;
    size_t historyBudget = History::kDefaultBudget;
    // Before a run, a step or a reverse command: a history the machine left
    // (something changed it outside the history: a dialog, a reset of the
    // cycle counter) starts anew here. Returns whether it did.
    bool keepHistoryPresent();
    // The machine as it is now is the history's present (after the history
    // moved it, or an input was logged).
    void notePresent();

    // ---- what the windows feed the machine, under the pause guard and
    // through the session, so a replay reaches the same states

    // A key, pin level, serial byte, memory or register edit.
    Validation input(const MachineInput& input);
    // A window's tick that feeds the machine at a fixed rate (the keys):
    // applied, and logged only when it changed the machine.
    void tickInput(const MachineInput& input);
    // An edit no other input kind describes (a pulse source, a module
    // setting, a file for the serial host, a file loaded into memory, a
    // device's memory): `change` runs under the pause guard and, when it
    // changed the machine, is logged at the present: as a ModuleSettings
    // input when only the part models' settings changed, else as the whole
    // new state.
    void edit(const std::function<void()>& change);

    // Snapshots of SFRs, internal RAM and the shown external-data range.
    void takeSnapshots();
    const ChangeSnapshot& snapshot() const { return snapshot_; }
    // For an edit in a view: the edited value goes into the snapshot too, so
    // it is not drawn as changed (user-interface thread).
    ChangeSnapshot& snapshot() { return snapshot_; }
    void setShownExternalRange(uint16_t start, uint32_t count);

    // Settings.
    uint16_t numberOfSteps = 1;
    // The "Breakpoint Setting" condition of breakpoint execution. Go, Go To
    // and breakpoint execution also stop at the session's source-line
    // breakpoints.
    BreakpointCondition breakpoint;
    ExecutionSettings execution;
    uint16_t lastGoToAddress = 0;
    uint16_t measureStart = 0; // execution-time addresses, remembered between uses
    uint16_t measureEnd = 0;

private:
    class Recorder;
    uint64_t presentHash();
    RunOutcome startRun(RunMode mode, const RunParameters& parameters);
    // Puts the program counter at the current address, as an input the
    // history logs when they differ (caller holds no pause or a pause).
    void placePc();
    // One instruction on this thread, recorded (under a pause).
    RunResult recordedStep();
    RunOutcome stepOverLoop(uint16_t count);
    // A step on this thread from the current address, paused: `steps`
    // returns why it ended early (PcOutOfRange, Watchpoint) or Steps.
    template <typename Steps> RunOutcome stepHere(Steps steps);
    bool pcBeyondLimit() const { return machine_.chip.pc > machine_.chip.codeLimit; }

    DebugSession& session_;
    Machine& machine_;
    std::unique_ptr<Recorder> recorder_;
    SimThread thread_;
    uint64_t presentHash_ = 0; // machineHash at the history's present
    bool running_ = false;
    RunMode lastRunMode_ = RunMode::FreeRun; // Go's or Breakpoint Execution's, for resume
    ChangeSnapshot snapshot_;
    uint16_t shownXdataStart_ = 0;
    uint32_t shownXdataCount_ = 0;
};

// ---- dialog validation

// "SingleStep Setting": "Number of Steps:" (at most 2 digits).
Validation acceptNumberOfSteps(std::string_view text, uint16_t& steps);

// "Go to Cycle": a machine cycle, decimal, at most 20 digits.
Validation acceptCycle(std::string_view text, uint64_t& cycle);
// "History Setting": the history's budget in megabytes, 1 to 4096.
Validation acceptHistoryBudget(std::string_view text, size_t& bytes);

// "Execution Setting". The seconds are checked only while updates are
// enabled; the address only when "Execute from Given Address" is chosen.
Validation acceptExecutionSettings(bool fromGivenAddress, std::string_view addressText,
                                   bool screenUpdate, std::string_view secondsText,
                                   ExecutionSettings& settings);

// The "&Go" tooltip when a start address is given, e.g. "Execute(1200H)";
// nothing when the default tooltip applies.
std::optional<std::string> goToolTip(const ExecutionSettings& settings);

} // namespace quorvel
