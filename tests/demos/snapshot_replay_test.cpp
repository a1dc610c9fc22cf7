// Whole-machine snapshots proved complete: every demonstration (with the
// inputs its windows give it: keys, keypad, clock ticks, serial bytes, SPI
// bytes, pulses, slider moves, the LED window's painting) and the SDCC test
// programs (with the serial host sending a file and the IIC bus, the SPI
// EEPROM and the LCD wired to the lines they drive) run forward while
// snapshots are taken at seeded random moments (about 1000 in all). Each is
// restored, directly and through the file format, into machines holding
// other state (another moment, another program, every byte poisoned): it
// must equal a plain copy taken at that moment, compared by the structs'
// own operator== (which knows nothing of the snapshot's field tables), and
// run on for the same steps with the same inputs it must reach the forward
// run's state at that step. A field the snapshot leaves out keeps what the
// target held before, and the comparison fails.
#include "demo_support.h"

#include "chip/serial_line.h"
#include "machine/call_stack.h"
#include "machine/executor.h"
#include "machine/snapshot.h"
#include "modules/io_levels.h"
#include "modules/keys.h"
#include "modules/serial_host.h"
#include "modules/spi_window.h"
#include "settings/snapshot_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

using namespace quorvel;

namespace {

constexpr uint64_t kInputPeriod = 2000; // steps between two ticks of the windows
constexpr uint64_t kRunSteps = 400000;
constexpr uint64_t kReplaySteps = 5000;
constexpr int kMoments = 48;
constexpr int kP3 = 24;

// What the windows do at tick `tick` (every kInputPeriod steps).
using Inputs = std::function<void(Machine&, uint64_t tick)>;

// The serial host on the UART, as the windows and the runner attach it.
struct HostEvents : ChipEvents {
    Machine* machine = nullptr;
    void byteTransmitted(uint16_t entry) override {
        serialHostByteTransmitted(machine->modules.serialHost, entry);
    }
    void byteReceived(uint16_t) override {
        serialHostByteReceived(machine->modules.serialHost, machine->chip);
    }
    void hostFrameSent() override {
        serialHostFrameSent(machine->modules.serialHost, machine->chip);
    }
    void hostByteRead(uint16_t entry, bool) override {
        serialHostByteTransmitted(machine->modules.serialHost, entry);
    }
};

// A machine with an event receiver and a call stack of its own attached.
struct Board {
    Machine machine;
    HostEvents events;
    CallStack stack;
    explicit Board(const Machine& from = {}) : machine(from) {
        events.machine = &machine;
        machine.chip.events = &events;
        machine.callStack = &stack;
    }
    Board(const Board&) = delete;
};

// Runs steps [from, to) of a run: the inputs due before step i when i is a
// multiple of the period, the instructions in free runs between them (each
// at most `longest` instructions).
void runSpan(Machine& machine, uint64_t from, uint64_t to, const Inputs& inputs,
             uint64_t longest = kInputPeriod) {
    for (uint64_t i = from; i < to;) {
        if (i % kInputPeriod == 0) inputs(machine, i / kInputPeriod);
        const uint64_t next = std::min({to, (i / kInputPeriod + 1) * kInputPeriod, i + longest});
        const RunResult result = runSteps(machine, uint32_t(next - i));
        ASSERT_EQ(result.steps, next - i) << "the program left program memory";
        i = next;
    }
}

// Whether `restored` holds the state of `original` (and its call stack),
// compared member by member by the structs' own operator==, which knows
// nothing of the snapshot's field tables; the pointers are no state.
bool sameState(const Board& restored, const Machine& original, const CallStack& stack) {
    Machine copy = original;
    copy.chip.events = restored.machine.chip.events;
    copy.callStack = restored.machine.callStack;
    copy.wave = restored.machine.wave;
    copy.watchpoints = restored.machine.watchpoints;
    return copy == restored.machine && stack == restored.stack;
}

// Every byte of the machine's plain parts set to 1 (a valid value for each
// of their members: true, the first state after idle, tiny times), so a
// member a restore leaves alone keeps a value no run gives it. Never run.
template <class T> void fillWithOnes(T& object) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memset(static_cast<void*>(&object), 1, sizeof object);
}
void poison(Board& board) {
    ChipState& c = board.machine.chip;
    fillWithOnes(c.iram), fillWithOnes(c.sfrs), fillWithOnes(c.side), fillWithOnes(c.pins);
    fillWithOnes(c.periph);
    ModuleState& s = board.machine.modules;
    fillWithOnes(s.lcd), fillWithOnes(s.ledDigitMemory), fillWithOnes(s.keypad);
    fillWithOnes(s.comparator), fillWithOnes(s.iic), fillWithOnes(s.spiEeprom);
    fillWithOnes(s.settings.iic), fillWithOnes(s.settings.spi), fillWithOnes(s.settings.LedLines);
    s.serialHost.fileBytes.assign(3, 1);
    s.serialHost.bytesSent = 1, s.serialHost.transmitting = true;
    s.serialHost.saveFileNames.fill("1");
    board.machine.codeProfile.enable();
    board.machine.codeProfile.vectoringCycles = 1;
    fillWithOnes(board.stack);
}

// Runs a program forward for kRunSteps, taking snapshots at seeded random
// moments, then restores each into a machine holding other state (the
// forward run's final state; through the file format, `elsewhere`, a
// machine of another program, and a poisoned one): it must equal the
// forward run's copy at that moment and, after the same steps with the same
// inputs, its state N steps later. Leaves the final state in `elsewhere`.
void checkSnapshots(const std::string& name, const Machine& loaded, const Inputs& inputs,
                    Machine& elsewhere) {
    SCOPED_TRACE(name);
    std::seed_seq seed(name.begin(), name.end());
    std::mt19937_64 random(seed);
    std::vector<uint64_t> starts;
    for (int i = 0; i < kMoments; ++i) starts.push_back(random() % (kRunSteps - kReplaySteps));
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

    // The forward run: at each moment a snapshot and a plain copy of the
    // machine, and a snapshot N steps later.
    struct Moment {
        MachineSnapshot snapshot, after;
        Machine copy;
        CallStack stack;
    };
    std::vector<Moment> moments(starts.size());
    struct Point {
        uint64_t step;
        size_t moment;
        bool after;
    };
    std::vector<Point> points;
    for (size_t i = 0; i < starts.size(); ++i) {
        points.push_back({starts[i], i, false});
        points.push_back({starts[i] + kReplaySteps, i, true});
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const Point& a, const Point& b) { return a.step < b.step; });
    Board forward(loaded);
    uint64_t done = 0;
    for (const Point& p : points) {
        runSpan(forward.machine, done, p.step, inputs);
        if (testing::Test::HasFatalFailure()) return;
        done = p.step;
        Moment& m = moments[p.moment];
        if (p.after) {
            takeSnapshot(forward.machine, m.after);
        } else {
            takeSnapshot(forward.machine, m.snapshot);
            m.copy = forward.machine;
            m.stack = forward.stack;
        }
    }

    enum class Target { FinalState, OtherProgram, Poisoned };
    for (size_t i = 0; i < starts.size(); ++i) {
        const Moment& m = moments[i];
        for (Target target : {Target::FinalState, Target::OtherProgram, Target::Poisoned}) {
            const bool throughFile = target != Target::FinalState;
            MachineSnapshot start = m.snapshot;
            if (throughFile) {
                const auto problem = parseSnapshotFile(encodeSnapshotFile(m.snapshot), start);
                ASSERT_FALSE(problem) << *problem;
            }
            Board replay(target == Target::FinalState ? forward.machine : elsewhere);
            if (target == Target::FinalState) replay.stack = forward.stack;
            if (target == Target::Poisoned) poison(replay);
            restoreSnapshot(start, replay.machine);
            if (!sameState(replay, m.copy, m.stack)) {
                const std::string listed =
                    snapshotDifference(takeSnapshot(replay.machine), m.snapshot);
                FAIL() << "restored at step " << starts[i] << " into target " << int(target)
                       << ", it differs from the machine's own copy in "
                       << (listed.empty() ? "a member the field tables do not list" : listed);
            }
            if (target == Target::Poisoned) continue;
            runSpan(replay.machine, starts[i], starts[i] + kReplaySteps, inputs);
            const MachineSnapshot got = takeSnapshot(replay.machine);
            ASSERT_EQ(snapshotHash(got), snapshotHash(m.after))
                << "replayed from step " << starts[i] << " in target " << int(target)
                << "; first difference: " << snapshotDifference(got, m.after);
        }
    }
    elsewhere = forward.machine;
}

// ---- the inputs

void paintLeds(Machine& m) {
    evaluateLeds(m.modules.settings, m.chip.portLatches(), m.modules.ledDigitMemory, true);
}

void holdKeypadKeys(Machine& m, uint64_t tick) {
    KeypadState& keypad = m.modules.keypad;
    keypad.windowOpen = true;
    const int key = (tick / 6) % 2 ? int(tick / 12 % 12) : kNoKeyHeld;
    keypadTick(keypad, m.modules.settings, m.chip.pins, m.chip.portLatches(), key);
    if (key == kNoKeyHeld) keypadRelease(keypad);
}

void pulse(Machine& m, uint64_t tick, int pin, uint8_t request) {
    m.chip.pins.setSetting(pin, kInputPulse);
    if (tick % 2 == 0)
        m.chip.pins.pulseRequests |= request;
    else
        m.chip.pins.setLevel(pin, tick % 4 == 1);
}

void sendSerial(Machine& m, uint64_t tick) {
    SerialHostState& host = m.modules.serialHost;
    if (tick == 0) {
        const std::string text = "A file the host sends, paced by the chip's UART.\r\n";
        startFileTransmission(host, m.chip, std::vector<uint8_t>(text.begin(), text.end()));
    } else if (tick % 40 == 0 && !host.transmitting) {
        pressSerialSend(host, m.modules.settings.serialHost, m.chip, tick % 80 ? "41" : "7a");
    }
}

Inputs demoInputs(int entry, DeviceKind kind) {
    return [entry, kind](Machine& m, uint64_t tick) {
        paintLeds(m);
        if (isComparatorDevice(kind) && tick % 25 == 0)
            moveComparatorSlider(m.chip.pins, m.modules.comparator, int(tick / 25 % 2),
                                 int(tick % 51));
        switch (entry) {
        case 4:
            momentaryKeysTick(m.modules.settings, m.chip.pins, m.profile.availablePinMask,
                              (tick / 5) % 2 ? 1u << (kP3 + 2) : 0u);
            if (tick % 17 == 16) clickToggleKey(m.chip.pins, kP3 + 3);
            break;
        case 5:
        case 14: holdKeypadKeys(m, tick); break;
        case 6:
            if (tick % 50 == 0) {
                LocalTime now;
                now.hour = int(tick / 50 % 24), now.minute = int(tick % 60), now.second = 7;
                rtcTick(m.modules.iic.rtc, m.modules.settings.iic, now);
            }
            break;
        case 7: sendSerial(m, tick); break;
        case 8:
            if (tick % 40 == 0) pressSpiWindowButton(m.chip, tick % 80 ? "3c" : "a5");
            break;
        case 9: pulse(m, tick, kP3 + 2, kPulseInt0); break;
        case 10: pulse(m, tick, kP3 + 4, kPulseT0); break;
        default: break;
        }
    };
}

TEST(Snapshots, RestoredAtRandomMomentsOfEveryDemonstrationReplayIdentically) {
    const char* const names[] = {"Demo1", "Demo2", "Demo3",  "Demo4",    "Demo5",
                                 "Demo6", "Demo7", "Demo8",  "Demo9",    "Demo10",
                                 "Demo11", "Project1", "Project2", "Project3"};
    Machine elsewhere = support::makeMachine(DeviceKind::AT89C55, 24000000, 0xFFFF, 0xFFFF);
    for (int entry = 1; entry <= 14; ++entry) {
        // The AT89S8252 where it is offered: it has the most state (EEPROM,
        // watchdog, SPI unit, second DPTR).
        const std::vector<DeviceKind> kinds = demotest::devicesOffering(entry);
        ASSERT_FALSE(kinds.empty());
        const bool s8252 = std::count(kinds.begin(), kinds.end(), DeviceKind::AT89S8252) != 0;
        const DeviceKind kind = s8252 ? DeviceKind::AT89S8252 : kinds.front();
        Machine loaded;
        ASSERT_TRUE(demotest::loadDemo(loaded, kind, names[entry - 1]));
        checkSnapshots(names[entry - 1], loaded, demoInputs(entry, kind), elsewhere);
        if (HasFatalFailure()) return;
    }
}

// The C programs the other suites compile, on an AT89C52 with 64 KB of
// external data memory, with the parts wired to the lines of P1 (which the
// programs drive) and the serial host sending. One also keeps the
// execution profile.
TEST(Snapshots, RestoredAtRandomMomentsOfTheSdccProgramsReplayIdentically) {
    struct Program {
        const char* file;
        std::vector<std::string> flags;
        bool profile;
    };
    const std::vector<Program> programs{
        {"firmware/arithmetic.c", {}, false},
        {"firmware/timer_ticks.c", {}, false},
        {"firmware/large_model.c", {"--model-large", "--stack-auto"}, false},
        {"firmware/bcd_timing.c", {}, false},
        {"debug/variables.c", {}, false},
        {"source_steps.c", {}, false},
        {"sdcc_blink.c", {}, true},
    };
    Machine elsewhere = support::makeMachine(DeviceKind::AT89S8252, 24000000, 0x0FFF, 0x07FF);
    for (const Program& program : programs) {
        support::TempDir dir;
        const std::string source =
            support::readFile(std::string(QUORVEL_TEST_DATA) + "/" + program.file);
        ASSERT_FALSE(source.empty()) << program.file;
        ASSERT_TRUE(support::compileC(dir.path, "program", source, program.flags));
        Machine m = support::makeMachine(DeviceKind::AT89C52, 11059200, 0xFFFF, 0xFFFF);
        support::loadCode(m, support::readBytes(dir / "program.bin"));
        ModuleSettings& s = m.modules.settings;
        s.iic = {kIicEnableBus, kRtcConnected, 0, kEepromConnected, 2, 0x10, 0x11};
        s.spi = {kSpiEnableBus | kSpiFourWire, {0x12, 0x13, 0x14}, kSpiEepromConnected, 0x15};
        s.LcdPins = {0x16, kPinGnd, 0x17, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
        if (program.profile) m.codeProfile.enable();
        checkSnapshots(
            program.file, m, [](Machine& machine, uint64_t tick) { sendSerial(machine, tick); },
            elsewhere);
        if (HasFatalFailure()) return;
    }
}

// The state at a moment is the same however the runs up to it were cut
// (runs of 1, 7 or 4096 instructions against runs from one input to the
// next): the serial reception counted in batches of baud ticks, and the
// samples a host with a baud rate of its own takes of TXD, come out alike.
TEST(Snapshots, TheStateOfAMomentDoesNotDependOnWhereRunsWereCut) {
    support::TempDir dir;
    const std::string source =
        support::readFile(std::string(QUORVEL_TEST_DATA) + "/firmware/timer_ticks.c");
    ASSERT_TRUE(support::compileC(dir.path, "program", source));
    Machine ticks = support::makeMachine(DeviceKind::AT89C52, 11059200, 0xFFFF, 0x0FFF);
    support::loadCode(ticks, support::readBytes(dir / "program.bin"));
    Machine echo;
    ASSERT_TRUE(demotest::loadDemo(echo, DeviceKind::AT89C52, "Demo7"));
    Machine echoOnTheLine = echo;
    setSerialLineBaud(echoOnTheLine.chip, 9600);
    const Inputs inputs = [](Machine& m, uint64_t tick) { sendSerial(m, tick); };
    for (const Machine* loaded : {&ticks, &echo, &echoOnTheLine}) {
        Board whole(*loaded);
        runSpan(whole.machine, 0, kRunSteps / 2, inputs);
        for (uint64_t longest : {1u, 7u, 4096u}) {
            SCOPED_TRACE(testing::Message() << "machine " << loaded << ", runs of " << longest);
            Board cut(*loaded);
            runSpan(cut.machine, 0, kRunSteps / 2, inputs, longest);
            EXPECT_EQ(machineHash(cut.machine), machineHash(whole.machine))
                << snapshotDifference(takeSnapshot(cut.machine), takeSnapshot(whole.machine));
        }
    }
}

} // namespace
