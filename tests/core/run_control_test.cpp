// Run control: every run mode's stop condition, single steps and step-over,
// finish subroutine, execution-time measurement and a pause/stop stress test
// (run under ThreadSanitizer by `make tsan`).
#include "core_test_support.h"
#include "debug/execution_time.h"
#include "debug/run_controller.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <sys/resource.h>
#include <thread>

using namespace quorvel;
using namespace std::chrono_literals;
using test::loadCode;

namespace {

// Records the simulation thread's notices and lets the test wait for them,
// the way the GUI queues them to its own thread.
class Notices : public RunEvents {
public:
    enum class Kind { Ended, Continue };
    struct Notice {
        Kind kind;
        uint64_t generation;
        StopReason reason;
    };

    void runEnded(uint64_t generation, StopReason reason) override {
        push({Kind::Ended, generation, reason});
    }
    void stepOverContinues(uint64_t generation) override {
        push({Kind::Continue, generation, StopReason::Condition});
    }
    // Waits for the next notice; fails the test after two seconds.
    Notice next() {
        std::unique_lock<std::mutex> lock(mutex_);
        bool got = cv_.wait_for(lock, 2s, [this] { return !queue_.empty(); });
        EXPECT_TRUE(got) << "no notice from the simulation thread";
        if (!got) return {Kind::Ended, 0, StopReason::None};
        Notice n = queue_.front();
        queue_.erase(queue_.begin());
        return n;
    }
    bool empty() {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.empty();
    }

private:
    void push(Notice n) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(n);
        cv_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Notice> queue_;
};

// On-chip program memory only (4K on the AT89C51), no external data memory.
Machine makeMachine(DeviceKind kind = DeviceKind::AT89C52) {
    return test::makeMachine(kind, 12000000, computeCodeLimit(kind, ProgramMemoryMode::InternalOnly, 0), 0);
}

// A machine's debug session and run controller, and the controller's notices.
struct Rig {
    explicit Rig(Machine& m) : session(m), rc(session, notices) {}
    Notices notices;
    DebugSession session;
    RunController rc;
};

// Hands a notice back to the controller as the GUI's queued slot would.
RunOutcome deliver(RunController& rc, const Notices::Notice& n) {
    return n.kind == Notices::Kind::Ended ? rc.runEnded(n.generation, n.reason)
                                          : rc.continueStepOver(n.generation);
}

} // namespace

// Source-line breakpoints: Go and Go To stop at the first address of the set
// the program reaches; breakpoint execution stops after the instruction that
// makes the condition true, or at the line, whichever comes first.
TEST(RunControl, LineBreaksStopFreeAndBreakpointRuns) {
    Machine m = makeMachine();
    // 0000: INC 30H; INC 30H; MOV 31H,#01; INC 30H; SJMP 0000
    loadCode(m, {0x05, 0x30, 0x05, 0x30, 0x75, 0x31, 0x01, 0x05, 0x30, 0x80, 0xF5}, 0);
    Rig rig(m);
    RunController& rc = rig.rc;
    CodeAddressSet lines;
    lines.set(0x0007);
    rig.session.setLineBreaks(lines);
    struct Case {
        const char* what;
        const char* breakIf; // internal memory 30H = this, or none for Go
        uint16_t from;
        uint16_t stopsAt;
        uint8_t count; // 30H when stopped
    } cases[] = {
        {"go reaches the line", nullptr, 0x0000, 0x0007, 2},
        {"go from the line runs round to it again", nullptr, 0x0007, 0x0007, 3},
        {"breakpoint condition before the line", "01", 0x0000, 0x0002, 1},
        {"line before the breakpoint condition", "03", 0x0000, 0x0007, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m.chip.iram[0x30] = 0;
        rc.setCurrentAddress(c.from);
        if (c.breakIf) {
            ASSERT_FALSE(acceptBreakpointDialog(BreakpointType::InternalMemory, -1, "30", c.breakIf,
                                                m.selection.kind, rc.breakpoint));
            ASSERT_TRUE(rc.breakpointRun().started);
        } else {
            ASSERT_TRUE(rc.go().started);
        }
        EXPECT_TRUE(deliver(rc, rig.notices.next()).ended);
        EXPECT_EQ(rc.currentAddress(), c.stopsAt);
        EXPECT_EQ(m.chip.iram[0x30], c.count);
    }

    // A Go that began with no line breakpoint stops at one set during it.
    rig.session.setLineBreaks({});
    rc.setCurrentAddress(0);
    ASSERT_TRUE(rc.go().started);
    std::this_thread::sleep_for(20ms);
    {
        auto guard = rc.pause();
        rig.session.setLineBreaks(lines);
    }
    rc.stopConditionsChanged();
    EXPECT_TRUE(deliver(rc, rig.notices.next()).ended);
    EXPECT_EQ(rc.currentAddress(), 0x0007);
}

// Runs on the controller's thread stop at the session's exception stops as
// the session's own runs do, and a run that passes a code breakpoint whose
// condition does not hold goes on as the run it was: Breakpoint Execution
// keeps its breakpoint.
TEST(RunControl, ThreadRunsStopAtExceptionsAndResumeAsTheSameRun) {
    using E = ExceptionStop;
    const struct {
        std::vector<uint8_t> code;
        E on;
        DeviceKind kind;
        uint16_t pc;
    } faults[] = {
        {{0x00, 0x00, 0xA5}, E::UndefinedOpcode, DeviceKind::AT89C52, 2}, // NOP; NOP; A5H
        // NOP; MOV WMCON,#01H (the watchdog on, 16 ms); SJMP $
        {{0x00, 0x75, 0x96, 0x01, 0x80, 0xFE}, E::WatchdogReset, DeviceKind::AT89S8252, 0},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(int(f.on));
        Machine m = makeMachine(f.kind);
        loadCode(m, f.code, 0);
        Rig rig(m);
        rig.session.setExceptionStops({f.on});
        ASSERT_TRUE(rig.rc.go().started);
        const Notices::Notice n = rig.notices.next();
        bool goesOn = true;
        const DebugRun run = rig.session.threadRunEnded(n.reason, {}, goesOn);
        deliver(rig.rc, n);
        EXPECT_FALSE(goesOn);
        EXPECT_EQ(run.exception, f.on);
        EXPECT_EQ(m.chip.pc, f.pc);
        if (f.on == E::WatchdogReset) {
            EXPECT_GE(m.chip.cycleCount(), 16000u);
        }
    }
    // 0000: INC 30H; MOV A,30H; SJMP 0000H - a code breakpoint at 0000H while
    // A is 10, and the window's breakpoint at 30H = 5 (a plain Go would
    // run on to the code breakpoint).
    Machine m = makeMachine();
    loadCode(m, {0x05, 0x30, 0xE5, 0x30, 0x80, 0xFA}, 0);
    Rig rig(m);
    rig.session.setCodeBreaks({CodeBreak{.address = 0x0000, .condition = "A == 10", .hitCondition = {}, .logMessage = {}, .hits = 0}});
    ASSERT_FALSE(acceptBreakpointDialog(BreakpointType::InternalMemory, -1, "30", "05", m.selection.kind,
                                        rig.rc.breakpoint));
    ASSERT_TRUE(rig.rc.breakpointRun().started);
    for (int passes = 0;; ++passes) {
        ASSERT_LT(passes, 20);
        const Notices::Notice n = rig.notices.next();
        bool goesOn = false;
        rig.session.threadRunEnded(n.reason, {}, goesOn);
        deliver(rig.rc, n);
        if (!goesOn) break;
        ASSERT_TRUE(rig.rc.resume().started);
    }
    EXPECT_EQ(m.chip.iram[0x30], 5);
    EXPECT_EQ(m.chip.pc, 0x0002);
}

TEST(RunControl, CommandsRefuseToStartBeyondTheCodeLimitOrWithoutABreakpoint) {
    Machine m = makeMachine(DeviceKind::AT89C51);
    Rig rig(m);
    RunController& rc = rig.rc;
    EXPECT_EQ(rc.breakpointRun().message->text, "Breakpoint not yet set");
    rc.setCurrentAddress(0x2000);
    for (RunOutcome o : {rc.go(), rc.finishSubroutine(), rc.singleStep()}) {
        ASSERT_TRUE(o.message);
        EXPECT_EQ(o.message->text, "PC Exceeds Maximum Program Memory");
        EXPECT_FALSE(o.started);
    }
    EXPECT_FALSE(rc.running());
}

TEST(RunControl, FreeRunStopsOnUserAndOnPcOutOfRange) {
    Machine m = makeMachine(DeviceKind::AT89C51);
    loadCode(m, {0x80, 0xFE}, 0); // SJMP $
    Rig rig(m);
    RunController& rc = rig.rc;
    EXPECT_TRUE(rc.go().started);
    // Wait (briefly pausing to look) until the worker has executed something.
    for (int i = 0; i < 2000; ++i) {
        {
            auto guard = rc.pause();
            if (m.chip.cycles > 0) break;
        }
        std::this_thread::sleep_for(1ms);
    }
    RunOutcome stopped = rc.stop();
    EXPECT_TRUE(stopped.ended);
    EXPECT_EQ(m.chip.pc, 0);
    EXPECT_GT(m.chip.cycles, 0u);
    EXPECT_TRUE(rig.notices.empty()); // a user stop sends no notice

    // LJMP 3000H on a 4K device: stops at the LJMP with the message.
    loadCode(m, {0x02, 0x30, 0x00}, 0x10);
    rc.setCurrentAddress(0x10);
    rc.go();
    RunOutcome ended = deliver(rc, rig.notices.next());
    ASSERT_TRUE(ended.message);
    EXPECT_EQ(ended.message->text, "PC Exceeds Maximum Program Memory");
    EXPECT_EQ(rc.currentAddress(), 0x10);
}

TEST(RunControl, StaleNoticesAreIgnored) {
    Machine m = makeMachine();
    loadCode(m, {0x00, 0x80, 0xFE}, 0);
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.go();
    uint64_t old = rc.thread().generation();
    rc.stop();
    rc.go();
    EXPECT_EQ(rc.runEnded(old, StopReason::Condition), RunOutcome{});
    EXPECT_TRUE(rc.running());
    rc.stop();
}

TEST(RunControl, FinishSubroutineStopsAfterTheOuterReturn) {
    Machine m = makeMachine();
    // 0000: LCALL 0010; SJMP $
    // 0010: NOP; ACALL 0020; NOP; RET        0020: NOP; RET
    loadCode(m, {0x12, 0x00, 0x10, 0x80, 0xFE}, 0x00);
    loadCode(m, {0x00, 0x11, 0x20, 0x00, 0x22}, 0x10);
    loadCode(m, {0x00, 0x22}, 0x20);
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.singleStep(); // into the routine
    ASSERT_EQ(rc.currentAddress(), 0x10);
    rc.finishSubroutine();
    deliver(rc, rig.notices.next());
    EXPECT_EQ(m.chip.pc, 0x0003);
    // Started again from inside the inner routine, it stops after its RET.
    rc.setCurrentAddress(0x20);
    m.chip.sfr(sfr::SP) = 0x09; // return address 0x0014 on the stack
    m.chip.iram[0x08] = 0x14;
    m.chip.iram[0x09] = 0x00;
    rc.finishSubroutine();
    deliver(rc, rig.notices.next());
    EXPECT_EQ(m.chip.pc, 0x0014);
}

// Step over a recursive call ends when that call returns, not when a deeper
// one returns to the same address; finishing a routine that an interrupt
// enters on the way ends at the routine's own return, not at the RETI.
TEST(RunControl, StepOverAndFinishFollowTheStackNotJustTheReturnAddress) {
    const struct {
        const char* name;
        const char* source;
        uint16_t from;  // single steps until the program counter is here
        bool finish;    // finish the subroutine, else step over
        uint16_t stopsAt;
    } cases[] = {
        {"step over a recursive call", R"(
        .org 0
        mov sp, #0x30
        mov r7, #3
        lcall rec
halt:   sjmp halt
rec:    djnz r7, deeper
        ret
deeper: lcall rec
        ret
)", 0x000D, false, 0x0010},
        {"finish with a timer interrupt on the way", R"(
        .org 0
        ljmp main
        .org 0x0b
        reti
        .org 0x30
main:   mov sp, #0x40
        mov tmod, #0x02
        mov th0, #0xf0
        mov ie, #0x82
        setb tr0
        lcall slow
halt:   sjmp halt
slow:   mov r6, #200
wait:   djnz r6, wait
        ret
)", 0x0043, true, 0x0041},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m = test::assembledMachine(c.source);
        Rig rig(m);
        RunController& rc = rig.rc;
        for (int i = 0; i < 100 && rc.currentAddress() != c.from; ++i) rc.singleStep();
        ASSERT_EQ(rc.currentAddress(), c.from);
        const uint8_t sp = m.chip.sfr(sfr::SP);
        ASSERT_TRUE((c.finish ? rc.finishSubroutine() : rc.stepOver()).started);
        EXPECT_TRUE(deliver(rc, rig.notices.next()).ended);
        EXPECT_EQ(rc.currentAddress(), c.stopsAt);
        EXPECT_EQ(m.chip.sfr(sfr::SP), c.finish ? sp - 2 : sp);
    }
}

TEST(RunControl, StepOverRunsCallsOnTheThreadAndCountsSteps) {
    Machine m = makeMachine();
    // 0000: LCALL 0010; NOP; NOP; NOP      0010: MOV A,#7; RET
    loadCode(m, {0x12, 0x00, 0x10, 0x00, 0x00, 0x00}, 0x00);
    loadCode(m, {0x74, 0x07, 0x22}, 0x10);
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.numberOfSteps = 3;
    RunOutcome first = rc.stepOver();
    EXPECT_TRUE(first.started); // the call runs on the simulation thread
    auto n = rig.notices.next();
    ASSERT_EQ(n.kind, Notices::Kind::Continue);
    EXPECT_TRUE(deliver(rc, n).ended);
    EXPECT_FALSE(rc.running());
    EXPECT_EQ(rc.currentAddress(), 0x0005);
    EXPECT_EQ(m.chip.acc(), 7);

    // Two calls in a row with a count of 2: both run on the thread.
    loadCode(m, {0x12, 0x00, 0x10, 0x12, 0x00, 0x10, 0x00}, 0x20);
    rc.setCurrentAddress(0x20);
    rc.numberOfSteps = 2;
    rc.stepOver();
    deliver(rc, rig.notices.next());         // continue after the first call
    auto last = rig.notices.next();          // the second call ends the sequence
    ASSERT_EQ(last.kind, Notices::Kind::Ended);
    EXPECT_TRUE(deliver(rc, last).ended);
    EXPECT_EQ(m.chip.pc, 0x0026);
}

// What the windows feed the machine between steps is logged, so the history
// replays it; a tick that changes nothing is not logged; a change made
// outside the controller starts the history again rather than replaying
// a past that never was.
TEST(RunControl, WindowInputsReplayAndChangesOutsideRestartTheHistory) {
    Machine m = makeMachine();
    // loop: MOV A,P1; MOV 30H,A; SJMP loop
    loadCode(m, {0xE5, 0x90, 0xF5, 0x30, 0x80, 0xFA}, 0x00);
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.restartHistory();
    const std::function<void()> feeds[] = {
        [&] { rc.input({.kind = MachineInput::Kind::PinLevel, .bytes = {}, .pin = 8, .value = 0}); },
        [&] { rc.tickInput({.kind = MachineInput::Kind::HeldKeys, .bytes = {}}); }, // no key: no change
        [&] { rc.input({.place = {AddressSpace::InternalRam, 0x40}, .bytes = {7}}); },
        [&] { rc.edit([&] { m.chip.iram[0x41] = 9; }); },
        [&] { rc.setCurrentAddress(0x0002); }, // the next step starts at MOV 30H,A
    };
    for (const auto& feed : feeds) {
        feed();
        rc.numberOfSteps = 2;
        rc.singleStep();
    }
    const History& history = *rig.session.history();
    EXPECT_EQ(history.inputs().size(), 4u);
    const Machine forward = m;
    ASSERT_FALSE(rig.session.goToCycle(0));
    EXPECT_EQ(m.chip.iram[0x40], 0);
    ASSERT_FALSE(rig.session.history()->goTo(m, history.end()));
    EXPECT_EQ(m.chip.iram, forward.chip.iram);
    EXPECT_EQ(m.chip.pins.levels, forward.chip.pins.levels);
    EXPECT_EQ(m.chip.cycleCount(), forward.chip.cycleCount());
    EXPECT_EQ(m.chip.pc, forward.chip.pc);
    EXPECT_FALSE(m.chip.pins.level(8));

    rc.setCurrentAddress(m.chip.pc); // as the windows do after a move
    rc.notePresent();
    m.chip.iram[0x50] = 1; // not through the controller
    rc.numberOfSteps = 1;
    rc.singleStep();
    EXPECT_EQ(rig.session.history()->now(), 1u);
    EXPECT_TRUE(rig.session.history()->inputs().empty());
}

TEST(RunControl, SingleStepsStopEarlyWhenPcLeavesProgramMemory) {
    Machine m = makeMachine(DeviceKind::AT89C51);
    loadCode(m, {0x00, 0x00, 0x02, 0x30, 0x00, 0x00}, 0);
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.numberOfSteps = 10;
    RunOutcome o = rc.singleStep();
    ASSERT_TRUE(o.message);
    EXPECT_EQ(o.message->text, "PC Exceeds Maximum Program Memory");
    EXPECT_EQ(rc.currentAddress(), 0x0002);
    EXPECT_EQ(m.chip.cycles, 4u); // two NOPs and the LJMP

    rc.numberOfSteps = 0; // counts as one
    rc.setCurrentAddress(0);
    rc.singleStep();
    EXPECT_EQ(rc.currentAddress(), 1);
    EXPECT_EQ(rc.numberOfSteps, 1);
}

TEST(RunControl, SnapshotsCoverTheShownRanges) {
    Machine m = test::makeMachine(DeviceKind::AT89C51, 12000000, 4095, 0x07FF);
    m.chip.xdata[0x7F0] = 0x42;
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.setShownExternalRange(0x07F0, 0x20);
    rc.takeSnapshots();
    EXPECT_EQ(rc.snapshot().iram.size(), 128u);
    ASSERT_EQ(rc.snapshot().xdata.size(), 0x20u);
    EXPECT_EQ(rc.snapshot().xdata[0], 0x42);
    EXPECT_EQ(rc.snapshot().xdata[0x10], 0xFF); // beyond the limit
}

TEST(RunControl, PauseStopAndRestartUnderLoad) {
    Machine m = makeMachine();
    // A loop that keeps changing RAM and A: INC 30H; INC A; SJMP back.
    loadCode(m, {0x05, 0x30, 0x04, 0x80, 0xFB}, 0);
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.restartHistory(); // the runs feed a history, as in the window
    uint32_t steps = 0;
    for (int i = 0; i < 2000; ++i) {
        rc.setCurrentAddress(0);
        ASSERT_TRUE(rc.go().started);
        // Let the worker get going now and then, so pauses land mid-run.
        if (i % 8 == 0) std::this_thread::sleep_for(20us);
        {
            auto guard = rc.pause();
            m.chip.iram[0x40] = uint8_t(i);   // a change made between two steps
            ASSERT_LE(m.chip.pc, 4);
        }
        if (i % 3 == 0) rc.resetCpu();
        RunOutcome o = rc.stop();
        ASSERT_TRUE(o.ended);
        ASSERT_FALSE(rc.thread().active());
        ASSERT_EQ(m.chip.iram[0x40], uint8_t(i));
        steps += m.chip.iram[0x30];
    }
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_GT(steps, 0u); // the worker did run between the pauses
}

TEST(RunControl, BreakpointHitWhilePausingStillStops) {
    Machine m = makeMachine();
    // Count R7 up; break when it reaches 0x80.
    loadCode(m, {0x0F, 0x80, 0xFD}, 0); // INC R7; SJMP $-1
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.breakpoint = {BreakpointType::Register, 0, 0x80, 12, 0}; // R7
    rc.breakpointRun();
    // Pause repeatedly while the worker runs into the breakpoint: a pause must
    // never resume a run the worker has ended.
    for (int i = 0; i < 200 && rc.thread().active(); ++i) auto guard = rc.pause();
    RunOutcome o = deliver(rc, rig.notices.next());
    EXPECT_TRUE(o.ended);
    EXPECT_EQ(m.chip.reg(7), 0x80);
    EXPECT_EQ(m.chip.pc, 0x0001);
}

// Drives a measurement's 50 ms ticks until it finishes.
ExecutionTimeMeasurement::Tick runToEnd(ExecutionTimeMeasurement& t) {
    for (int i = 0; i < 400; ++i) {
        auto tick = t.tick();
        if (tick.finished) return tick;
        std::this_thread::sleep_for(5ms);
    }
    ADD_FAILURE() << "measurement did not finish";
    return {};
}

TEST(ExecutionTime, ValidationMessages) {
    Machine m = makeMachine(DeviceKind::AT89C51);
    Rig rig(m);
    RunController& rc = rig.rc;
    ExecutionTimeMeasurement t(rc);
    EXPECT_EQ(t.calculate("X", "10")->text, "Illegal Starting Address");
    EXPECT_EQ(t.calculate("0", "")->text, "Illegal Ending Address");
    EXPECT_EQ(t.calculate("0", "1000")->text,
              "Ending Address is Greater than Maximum Program Memory");
    EXPECT_EQ(t.calculate("20", "10")->text, "Starting Address is Greater than Ending Address");
    EXPECT_EQ(t.state(), ExecutionTimeMeasurement::State::Ready);
}

TEST(ExecutionTime, CancelRestoresStateAndAddresses) {
    Machine m = makeMachine();
    loadCode(m, {0x05, 0x30, 0x04, 0x80, 0xFB}, 0); // endless loop changing RAM and A
    m.chip.iram[0x30] = 0x11;
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.measureStart = 0x10;
    rc.measureEnd = 0x20;
    {
        ExecutionTimeMeasurement t(rc);
        ASSERT_FALSE(t.calculate("0", "100"));
        std::this_thread::sleep_for(5ms);
        EXPECT_FALSE(t.tick().finished);
        t.cancel();
    }
    EXPECT_FALSE(rc.thread().active());
    EXPECT_EQ(m.chip.iram[0x30], 0x11);
    EXPECT_EQ(m.chip.acc(), 0);
    EXPECT_EQ(rc.measureStart, 0x10);
    EXPECT_EQ(rc.measureEnd, 0x20);
}

// A measurement runs from the start address to the end address on a machine
// it restores afterwards (cycles, registers, the current address);
// a run that leaves program memory gives no result; a start equal to the
// end runs at least one instruction (around the loop back to it).
TEST(ExecutionTime, OutcomesOfARunOnARestoredMachine) {
    const struct {
        std::vector<uint8_t> code;
        const char* end;
        const char* text;
        ExecutionTimeMeasurement::State state;
    } cases[] = {
        {{0x74, 0x01, 0x00, 0x75, 0x50, 0x00}, "3", // MOV A,#1; NOP; MOV 50H,#0
         "Number of Machine Cycles : 2\nExecution Time                   : 2.00 uSec",
         ExecutionTimeMeasurement::State::Succeeded},
        {{0x00, 0x02, 0x30, 0x00}, "FFF", "PC Exceeds Maximum Program Memory", // NOP; LJMP 3000H
         ExecutionTimeMeasurement::State::Failed},
        {{0x00, 0x80, 0xFD}, "0", // NOP; SJMP 0000
         "Number of Machine Cycles : 3\nExecution Time                   : 3.00 uSec",
         ExecutionTimeMeasurement::State::Succeeded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Machine m = makeMachine(DeviceKind::AT89C51);
        loadCode(m, c.code);
        m.chip.cycles = 777;
        Rig rig(m);
        RunController& rc = rig.rc;
        rc.setCurrentAddress(0x0003);
        {
            ExecutionTimeMeasurement t(rc);
            EXPECT_EQ(m.chip.cycles, 0u);
            ASSERT_FALSE(t.calculate("0", c.end));
            auto tick = runToEnd(t);
            ASSERT_TRUE(tick.message);
            EXPECT_EQ(tick.message->text, c.text);
            EXPECT_EQ(t.state(), c.state);
        }
        EXPECT_TRUE(rig.notices.empty());
        EXPECT_EQ(m.chip.cycles, 777u);
        EXPECT_EQ(m.chip.acc(), 0);
        EXPECT_EQ(rc.currentAddress(), 0x0003);
    }
    EXPECT_EQ(executionTimeText(1000, machineCycleTimeUs(11059200)),
              "Number of Machine Cycles : 1000\nExecution Time                   : 1085.07 uSec");
}

// The run speed: when each batch is due on the wall clock, how big a batch
// is, and when a run counts as falling behind (lag beyond RunPacer::kMaxLag).
TEST(RunControl, PacerHoldsSimulatedTimeToTheWallClock) {
    using Clock = RunPacer::Clock;
    const Clock::time_point t0{};
    struct Case {
        const char* what;
        uint16_t percent;
        uint64_t cycles;        // counter after the batch (pacing began at 1000)
        int nowUs;              // wall clock after the batch
        int dueUs;              // when the batch is due
        bool behind;
        uint32_t batch;         // steps of a batch, of at most 1024
    } cases[] = {
        {"real time: 1000 cycles of 1 us are due after 1 ms", 100, 2000, 10, 1000, false, 1000},
        {"half speed takes twice as long", 50, 2000, 10, 2000, false, 500},
        {"ten times faster", 1000, 2000, 10, 100, false, 1024},
        {"a tenth of the speed: small batches", 10, 1100, 10, 1000, false, 100},
        {"full speed is never held back", 0, 900000, 10, 10, false, 1024},
        {"late within the lag: no sleep, not behind", 100, 2000, 90000, 1000, false, 1000},
        {"late beyond the lag: behind, paced afresh", 100, 2000, 150000, 150000, true, 1000},
        {"the counter went back (reset): paced afresh", 100, 10, 500, 500, false, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunPacer pacer;
        pacer.begin(c.percent, 1.0f, 1000, t0);
        EXPECT_EQ(pacer.batchSteps(1024), c.batch);
        const RunPacer::Due due = pacer.due(c.cycles, t0 + std::chrono::microseconds(c.nowUs));
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::microseconds>(due.at - t0).count(), c.dueUs);
        EXPECT_EQ(due.fellBehind, c.behind);
    }
}

// A paced Go never gets ahead of the wall clock by more than a batch, and the
// worker sleeps instead of spinning: the process uses a fraction of the wall
// time.
TEST(RunControl, PacedGoFollowsTheWallClockAndSleeps) {
    auto cpuUs = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return int64_t(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
               usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    };
    Machine m = makeMachine(); // 12 MHz: a machine cycle is 1 us
    loadCode(m, {0x80, 0xFE}, 0); // SJMP $
    Rig rig(m);
    RunController& rc = rig.rc;
    rc.thread().setSpeed(10);
    const auto wall0 = std::chrono::steady_clock::now();
    const int64_t cpu0 = cpuUs();
    ASSERT_TRUE(rc.go().started);
    std::this_thread::sleep_for(200ms);
    rc.stop();
    const double wallUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wall0).count();
    const double cycles = double(m.chip.cycleCount());
    // 0.1 cycle per microsecond, plus one batch of 100 two-cycle steps.
    EXPECT_LE(cycles, wallUs * 0.1 + 200);
    EXPECT_GT(cycles, 0);
    EXPECT_LT(double(cpuUs() - cpu0), wallUs * 0.5);
    EXPECT_TRUE(rig.notices.empty());
}
