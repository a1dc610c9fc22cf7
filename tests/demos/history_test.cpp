// The debug session's recorded history, checked against forward runs that
// know nothing of it: stepping back (and going to a cycle) reaches the
// whole-machine state of a run from the start to that moment, with the
// inputs logged on the way, also after the budget thinned the snapshots;
// running backwards stops at the moments a forward run saw the stop
// condition hold; the last write is the one a forward run saw change.
#include "demo_support.h"

#include "debug/debug_session.h"
#include "machine/snapshot.h"
#include "modules/serial_host.h"
#include "test_support.h"
#include "tools/source_map_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr uint64_t kInputPeriod = 5000;
constexpr uint64_t kInterval = 4096; // instructions between two snapshots

// What reaches the machine at input moment `k` (a multiple of the period).
void giveInputs(DebugSession& s, uint64_t k) {
    const uint8_t value = uint8_t(k / kInputPeriod * 37);
    const uint8_t bytes[] = {value, uint8_t(value + 1)};
    if (s.machine().chip.hasXdata()) {
        EXPECT_FALSE(s.writeMemory(SpaceAddress{AddressSpace::ExternalData, 0x0200}, bytes));
    }
    EXPECT_FALSE(s.writeMemory(SpaceAddress{AddressSpace::InternalRam, 0x7E}, {bytes, 1}));
    EXPECT_FALSE(s.input({.kind = MachineInput::Kind::PinLevel, .bytes = {}, .pin = 26, .value = value & 1u}));
    EXPECT_FALSE(s.input({.kind = MachineInput::Kind::SerialByte, .bytes = {}, .value = value}));
    ModuleSettings settings = s.machine().modules.settings;
    settings.KeyNames[k / kInputPeriod % kKeyNameCount][0] = char('a' + k / kInputPeriod % 26);
    EXPECT_FALSE(s.setModuleSettings(settings));
}

// Runs the session from step `from` to `to`, with the inputs at their
// moments when `inputs`. (Where its runs end matters not: the state of a
// moment is the same however the runs up to it were cut.)
void runSpan(DebugSession& s, uint64_t from, uint64_t to, bool inputs) {
    for (uint64_t i = from;;) {
        if (inputs && i % kInputPeriod == 0) giveInputs(s, i);
        if (i == to) return;
        const uint64_t next = std::min(to, (i / kInputPeriod + 1) * kInputPeriod);
        RunLimits limits;
        limits.maxSteps = next - i;
        ASSERT_EQ(s.run(limits).steps, next - i);
        i = next;
    }
}

// The serial host on the UART as front ends attach it; counts bytes passed on.
struct Host : ChipEvents {
    Machine& m;
    size_t passedOn = 0;
    explicit Host(Machine& machine) : m(machine) { m.chip.events = this; }
    ~Host() override { m.chip.events = nullptr; }
    void byteTransmitted(uint16_t entry) override {
        ++passedOn, serialHostByteTransmitted(m.modules.serialHost, entry);
    }
    void byteReceived(uint16_t) override { serialHostByteReceived(m.modules.serialHost, m.chip); }
};

// The hash and cycle counter of a fresh run from the start to `steps`.
std::pair<uint64_t, uint64_t> forwardTo(const Machine& loaded, uint64_t steps, bool inputs) {
    Machine m = loaded;
    Host host(m);
    DebugSession s(m);
    runSpan(s, 0, steps, inputs);
    return {machineHash(m), m.chip.cycleCount()};
}

} // namespace

// A C program with a timer interrupt and serial output, with and without
// logged inputs (external and internal RAM writes, the level of INT0's
// line, serial bytes from the host), and with budgets that thin the
// snapshots: each one kept restores the state of its moment. With the same
// inputs, the serial demonstration echoes the host's bytes and the
// interrupt demonstration counts the edges on INT0; the host also sends
// it a file, whose bytes follow the chip's pace in replays too. Going back
// in time passes no byte on to the front end again.
TEST(History, SteppingBackReachesTheStateOfAForwardRunToThatMoment) {
    support::TempDir dir;
    const std::string source =
        support::readFile(std::string(QUORVEL_TEST_DATA) + "/firmware/timer_ticks.c");
    ASSERT_TRUE(support::compileC(dir.path, "program", source));
    Machine c = support::makeMachine(DeviceKind::AT89C52, 11059200, 0xFFFF, 0x0FFF);
    support::loadCode(c, support::readBytes(dir / "program.bin"));
    Machine serialDemo, interruptDemo;
    ASSERT_TRUE(demotest::loadDemo(serialDemo, DeviceKind::AT89C52, "Demo7"));
    ASSERT_TRUE(demotest::loadDemo(interruptDemo, DeviceKind::AT89C52, "Demo9"));
    const std::string text = "Bytes from a file, paced by the chip.\r\n";
    startFileTransmission(serialDemo.modules.serialHost, serialDemo.chip,
                          std::vector<uint8_t>(text.begin(), text.end()));
    constexpr uint64_t kEnd = 100000;
    const struct {
        const Machine& loaded;
        bool inputs;
        size_t budget;
        bool thinned;
    } rows[] = {
        {c, false, History::kDefaultBudget, false},
        {c, true, History::kDefaultBudget, false},
        {c, true, 120000, true},
        {c, true, 1, true}, // only the first and latest snapshots stay
        {serialDemo, true, History::kDefaultBudget, false},
        {interruptDemo, true, History::kDefaultBudget, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows << " inputs " << row.inputs);
        const Machine& loaded = row.loaded;
        Machine m = loaded;
        Host host(m);
        DebugSession session(m);
        session.setRecording(true, kInterval, row.budget);
        runSpan(session, 0, kEnd, row.inputs);
        const size_t passedOn = host.passedOn;
        const auto moments = session.history()->moments();
        EXPECT_EQ(moments.size() < kEnd / kInterval + 1, row.thinned);
        EXPECT_LE(session.history()->bytes(),
                  std::max(row.budget, moments.size() == 2 ? SIZE_MAX : 0));
        EXPECT_EQ(moments.front().step, 0u);
        EXPECT_EQ(moments.back().step, kEnd / kInterval * kInterval);
        const uint64_t endHash = machineHash(m), endCycle = m.chip.cycleCount();
        uint64_t back = 0;
        for (uint64_t n : {uint64_t(1), 2ul, 4095ul, 4097ul, 20000ul, 61234ul, kEnd}) {
            ASSERT_FALSE(session.stepBack(n - back));
            back = n;
            const auto [hash, cycle] = forwardTo(loaded, kEnd - n, row.inputs);
            EXPECT_EQ(machineHash(m), hash) << "stepped back " << n;
            EXPECT_EQ(m.chip.cycleCount(), cycle) << "stepped back " << n;
        }
        EXPECT_TRUE(session.stepBack(1)) << "stepped back before the start";
        for (const History::Moment& kept : moments) {
            ASSERT_FALSE(session.goToCycle(kept.cycle));
            EXPECT_EQ(machineHash(m), forwardTo(loaded, kept.step, row.inputs).first)
                << "kept at " << kept.step << " now " << session.history()->now();
        }
        // Forward in time again by cycle, then back to a middle moment.
        ASSERT_FALSE(session.goToCycle(endCycle));
        EXPECT_EQ(machineHash(m), endHash);
        const auto [hash, cycle] = forwardTo(loaded, 33333, row.inputs);
        ASSERT_FALSE(session.goToCycle(cycle));
        EXPECT_EQ(machineHash(m), hash);
        EXPECT_EQ(host.passedOn, passedOn) << "bytes passed on again";
        // Running on from the past discards the recorded future.
        RunLimits one;
        one.maxSteps = 1;
        session.run(one);
        ASSERT_FALSE(session.goToCycle(endCycle));
        EXPECT_EQ(session.history()->now(), 33334u);
    }
}

// An assembler loop writing internal RAM, external data, a bit and the
// accumulator: running backwards stops where a forward run saw the line
// reached or the watched byte change, and the last write to each place is
// the last change a forward run saw.
TEST(History, RunningBackwardsAndLastWriteAgreeWithAForwardRun) {
    Machine loaded = support::makeMachine(DeviceKind::AT89C52, 12000000, 0x0FFF, 0x0FFF);
    support::loadCode(loaded, {
                                  0x90, 0x01, 0x00, // 0000: MOV DPTR,#0100H
                                  0x05, 0x30,       // 0003: INC 30H
                                  0xE5, 0x30,       // 0005: MOV A,30H
                                  0x54, 0x07,       // 0007: ANL A,#07H
                                  0x70, 0x06,       // 0009: JNZ 0011H
                                  0x85, 0x30, 0x31, // 000B: MOV 31H,30H
                                  0xE5, 0x30,       // 000E: MOV A,30H
                                  0xF0,             // 0010: MOVX @DPTR,A
                                  0xB2, 0x00,       // 0011: CPL 20H.0
                                  0x80, 0xEE,       // 0013: SJMP 0003H
                              });
    constexpr uint64_t kEnd = 5000;
    const SpaceAddress places[] = {{AddressSpace::InternalRam, 0x31},
                                   {AddressSpace::ExternalData, 0x0100},
                                   {AddressSpace::Bit, 0x00},
                                   {AddressSpace::Sfr, 0xE0},
                                   // DPH, written by the first instruction alone: a
                                   // search back over many segments without a hit
                                   {AddressSpace::Sfr, 0x83}};
    // The forward run, one instruction at a time: each step's program
    // counter before and after, cycle counter and watched values.
    struct Step {
        uint16_t from, to;
        uint64_t cycle;
        std::vector<uint8_t> values;
    };
    std::vector<Step> forward;
    {
        Machine f = loaded;
        const auto values = [&f, &places] {
            std::vector<uint8_t> v;
            for (const SpaceAddress& p : places)
                v.push_back(readSpace(f, p, 1)[0]);
            return v;
        };
        forward.push_back({0, 0, 0, values()});
        for (uint64_t i = 1; i <= kEnd; ++i) {
            const uint16_t from = f.chip.pc;
            step(f);
            forward.push_back({from, f.chip.pc, f.chip.cycleCount(), values()});
        }
    }
    Machine m = loaded;
    DebugSession session(m);
    session.setRecording(true, 256);
    RunLimits limits;
    limits.maxSteps = kEnd;
    ASSERT_EQ(session.run(limits).steps, kEnd);

    // Running backwards twice: to a line, to a change of a watched byte.
    const struct {
        int line;    // or -1
        int watched; // index into places, or -1
    } rows[] = {{0x000B, -1}, {0x0011, -1}, {-1, 0}, {-1, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "line " << row.line << " watch " << row.watched);
        std::vector<uint64_t> hits;
        for (uint64_t i = 1; i <= kEnd; ++i)
            if (row.line >= 0 ? forward[i].to == row.line
                              : forward[i].values[size_t(row.watched)] !=
                                    forward[i - 1].values[size_t(row.watched)])
                hits.push_back(i);
        ASSERT_GE(hits.size(), 3u);
        CodeAddressSet lines;
        if (row.line >= 0) lines.set(uint16_t(row.line));
        session.setLineBreaks(lines);
        if (row.watched >= 0) {
            ASSERT_FALSE(session.watch(spaceAddressText(places[row.watched])));
        }
        uint64_t at = kEnd;
        for (int back = 1; back <= 2; ++back) {
            const ReverseRun reverse = session.runBackwards();
            ASSERT_FALSE(reverse.refused);
            ASSERT_TRUE(reverse.hit);
            const uint64_t expected = hits[hits.size() - size_t(back)];
            EXPECT_EQ(reverse.hit->stop, row.line >= 0 ? DebugStop::BreakLine : DebugStop::Watch);
            EXPECT_EQ(reverse.hit->steps, at - expected);
            EXPECT_EQ(m.chip.cycleCount(), forward[expected].cycle);
            at = expected;
        }
        session.clearLineBreaks();
        session.clearWatchpoints();
        ASSERT_FALSE(session.goToCycle(forward[kEnd].cycle));
    }

    // A code breakpoint with a condition and a hit count: running
    // backwards stops where the forward run stopped (each third arrival at
    // 0011H with A below 4), and a run forward again stops where it did.
    {
        std::vector<uint64_t> stops;
        for (uint64_t i = 1, held = 0; i <= kEnd; ++i)
            if (forward[i].to == 0x0011 && forward[i].values[3] < 4 && ++held % 3 == 0)
                stops.push_back(i);
        ASSERT_GE(stops.size(), 3u);
        Machine r = loaded;
        DebugSession replayed(r);
        replayed.setRecording(true, 256);
        replayed.setCodeBreaks(
            {{.address = 0x0011, .condition = "A < 4", .hitCondition = "% 3", .logMessage = ""}});
        RunLimits rest;
        rest.maxSteps = kEnd, rest.resume = true;
        for (uint64_t done = 0, k = 0; (done += replayed.run(rest).steps) < kEnd; ++k) {
            rest.maxSteps = kEnd - done;
            ASSERT_LT(k, stops.size());
            EXPECT_EQ(done, stops[k]);
        }
        for (size_t back = 1; back <= 2; ++back) {
            EXPECT_EQ(replayed.runBackwards().hit.value_or(DebugRun{}).stop, DebugStop::BreakLine);
            EXPECT_EQ(r.chip.cycleCount(), forward[stops[stops.size() - back]].cycle);
        }
        rest.maxSteps = kEnd;
        const DebugRun again = replayed.run(rest);
        EXPECT_EQ(again.stop, DebugStop::BreakLine);
        EXPECT_EQ(r.chip.cycleCount(), forward[stops.back()].cycle);
    }

    // The last write to each place before a few moments.
    for (uint64_t present : {kEnd, kEnd - 3, uint64_t(1001)}) {
        ASSERT_FALSE(session.goToCycle(forward[present].cycle));
        for (size_t p = 0; p < std::size(places); ++p) {
            SCOPED_TRACE(testing::Message()
                         << "at " << present << " place " << spaceAddressText(places[p]));
            uint64_t last = present;
            while (last > 0 && forward[last].values[p] == forward[last - 1].values[p])
                --last;
            std::optional<LastWrite> found;
            ASSERT_FALSE(session.lastWrite(places[p], found));
            ASSERT_TRUE(found);
            EXPECT_EQ(found->step, last);
            EXPECT_EQ(found->cycle, forward[last].cycle);
            EXPECT_EQ(found->pc, forward[last].from);
            EXPECT_EQ(found->oldValue, forward[last - 1].values[p]);
            EXPECT_EQ(found->newValue, forward[last].values[p]);
            EXPECT_EQ(m.chip.cycleCount(), forward[present].cycle) << "the present is kept";
        }
    }
}

// Stepping back over a line or an instruction lands where the forward step
// over before it started (a C loop calling a function that writes P1). The
// last change of P1.0 is the one a forward run, instruction by instruction, saw.
TEST(History, SteppingBackOverUndoesSteppingOverAndTheLastLineChangeIsTheForwardOne) {
    support::TempDir dir;
    const std::string source = support::readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");
    ASSERT_TRUE(support::compileC(dir.path, "steps", source, {"--debug"}));
    Machine loaded = support::makeMachine();
    support::loadCode(loaded, support::readBytes(dir / "steps.bin"));
    SourceMap map;
    ASSERT_FALSE(loadSourceMap(dir / "steps.cdb", map));
    for (const auto unit : {DebugSession::StepUnit::Line, DebugSession::StepUnit::Instruction}) {
        SCOPED_TRACE(unit == DebugSession::StepUnit::Line ? "by line" : "by instruction");
        Machine m = loaded;
        DebugSession session(m);
        session.setSourceMap(map);
        session.untilPc = session.functionAddress("main");
        ASSERT_EQ(session.run({}).stop, DebugStop::UntilPc);
        session.untilPc.reset();
        session.setRecording(true, 16);
        std::vector<uint64_t> cycles{m.chip.cycleCount()};
        for (int i = 0; i < (unit == DebugSession::StepUnit::Line ? 6 : 30); ++i) {
            ASSERT_EQ(session.step(SourceStep::Over, unit).stop, DebugStop::Step);
            cycles.push_back(m.chip.cycleCount());
        }
        for (size_t i = cycles.size() - 1; i-- > 0;) {
            ASSERT_FALSE(session.stepBackOver(unit)) << "from step " << i + 1;
            EXPECT_EQ(m.chip.cycleCount(), cycles[i]) << "back from step " << i + 1;
        }
        EXPECT_TRUE(session.stepBackOver(unit)) << "before the history's start";
    }

    // P1.0 went 1, 0, 1 as the calls wrote 0, 1 and 3 to P1.
    Machine forward = loaded;
    constexpr uint64_t kSteps = 600;
    std::tuple<uint64_t, uint64_t, uint16_t, bool, bool> last{};
    for (uint64_t i = 1; i <= kSteps; ++i) {
        const uint16_t pc = forward.chip.pc;
        const uint32_t before = forward.chip.pinSideLevels();
        step(forward);
        if ((forward.chip.pinSideLevels() ^ before) & 1u << 8)
            last = {i, forward.chip.cycleCount(), pc, false, true};
    }
    Machine m = loaded;
    DebugSession session(m);
    session.setSourceMap(map);
    session.setRecording(true, 64);
    RunLimits limits;
    limits.maxSteps = kSteps;
    session.run(limits);
    std::optional<PortLineChange> change;
    ASSERT_FALSE(session.lastChangeOfLine(8, change));
    ASSERT_TRUE(change);
    EXPECT_EQ(std::tie(change->step, change->cycle, change->pc, change->oldLevel, change->newLevel),
              last);
    EXPECT_EQ(m.chip.cycleCount(), forward.chip.cycleCount()) << "the present is kept";
}
