// The recorded history of a debug session: whole-machine snapshots kept at
// a fixed interval of executed instructions, and the log of everything that
// reached the machine from outside (memory and variable edits, the host's
// serial bytes, pin levels, keys) with the moment it took effect. Restoring
// a snapshot and replaying the logged inputs at their moments reaches
// bit-identical states, so any recorded moment can be visited again.
//
// The timeline counts the instructions executed since recording began (a
// "step"); each moment also has its machine cycle. The state at a step is
// the machine after that many instructions and after the inputs logged at
// that step.
//
// A replay runs moments whose outward effects happened once already: the
// machine's event receiver stands aside meanwhile for the serial host's own
// part of it (the host's state follows the chip as it did, as every front
// end's receiver has it follow), so a front end never sees a byte twice.
//
// Storage: a snapshot's byte form (machine/snapshot.h) is cut into pages of
// kPageSize bytes, and a page is kept only when it differs from the one the
// previous kept snapshot holds. The memories (code, internal RAM, external
// data, the EEPROM) come early in the byte form and at fixed places, so a
// page of memory no instruction wrote costs nothing again; the registers,
// part models and call stack take the few pages that change. A restore
// puts the pages together, reads the byte form back (checked as a file's
// would be) and restores it. When the byte budget fills,
// snapshots between the first and the latest are merged away, the more
// readily the older they are, so every kept one stays restorable and the
// history is never cut short.
//
// Thread: whoever owns the machine at the time.
#pragma once

#include "common/user_message.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "machine/snapshot.h"
#include "machine/space_address.h"
#include "modules/iic_bus.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

// Something from outside the machine, applied between two instructions.
// (The serial host's bytes from a file are no input: the file is part of
// the host's state, and the host hands its bytes over as the chip takes
// them, in a replay as in the run.)
struct MachineInput {
    enum class Kind : uint8_t {
        Memory,     // `bytes` written from `place` on (any space, as writeSpace)
        SerialByte, // the serial host sends `value` (its low byte) to the UART
        PinLevel,   // port line `pin` (0-31) driven to level `value` (0 or 1); an input
                    // setting of 0 or 1 follows the level
        HeldKeys,   // the momentary keys' tick: bit n of `value` held = pin n
        KeypadKey,  // the keypad's tick with key `value` held (kNoKeyHeld: none)
        ToggleKey,  // a click on the toggle key of pin `pin`
        ModuleSettings, // the part models' settings become `bytes` (encodeModuleSettings)
        ProgramCounter, // the program counter (and the current-instruction address) set to `value`
        ClockTick,  // the IIC clock's second: `bytes` the wall-clock time (clockTickBytes)
        Machine,    // the whole machine set to `bytes`, a snapshot's byte form: an edit no
                    // other kind describes (a module setting, a pulse source, a file sent)
        SerialText, // the serial host sends `bytes` one after the other, paced
                    // by the chip's receiver (as a file it sends)
    };
    Kind kind = Kind::Memory;
    SpaceAddress place{};
    std::vector<uint8_t> bytes;
    int pin = 0;
    uint32_t value = 0;
};

// The wall-clock time of a ClockTick input, and back (false: not one).
std::vector<uint8_t> clockTickBytes(const LocalTime& time);
bool clockTickTime(std::span<const uint8_t> bytes, LocalTime& time);

// Applies the input to the machine; on failure (an address outside its
// space, a pin that does not exist) returns why and changes nothing.
Validation applyInput(Machine& machine, const MachineInput& input);

struct LoggedInput {
    uint64_t step = 0;
    uint64_t cycle = 0;
    MachineInput input;
};

class History {
  public:
    static constexpr uint64_t kDefaultInterval = uint64_t(1) << 20;
    static constexpr size_t kDefaultBudget = size_t(64) << 20;
    static constexpr size_t kPageSize = 256;

    // A kept snapshot's moment, and how many logged inputs preceded it.
    struct Moment {
        uint64_t step = 0;
        uint64_t cycle = 0;
        size_t inputs = 0;
    };

    // Starts the timeline at the machine's present state: its first moment.
    explicit History(const Machine& machine, uint64_t interval = kDefaultInterval,
                     size_t budget = kDefaultBudget);

    uint64_t interval() const { return interval_; }
    size_t budget() const { return budget_; }
    // A smaller budget thins the history at once.
    void setBudget(size_t bytes);
    // What the snapshots and the input log hold now.
    size_t bytes() const { return bytes_ + inputBytes_; }

    std::vector<Moment> moments() const;
    const std::vector<LoggedInput>& inputs() const { return log_; }

    // The machine's place on the timeline, and the furthest recorded moment.
    uint64_t now() const { return now_; }
    uint64_t end() const { return end_; }
    uint64_t nowCycle() const { return nowCycle_; }
    bool inPast() const { return now_ < end_; }

    // ---- recording (the session's forward runs)

    // Before the machine runs on or takes an input: a present in the past
    // becomes the end (the recorded future after it is discarded).
    void beginForward();
    // The most instructions the next batch may run before a snapshot is due
    // (one when it is overdue: a present in the past far from the snapshot
    // before it, or a step that ran past the interval).
    uint64_t stepsUntilDue() const {
        const uint64_t since = now_ - lastKeptStep();
        return since < interval_ ? interval_ - since : 1;
    }
    // After `steps` instructions: moves the present on and keeps a snapshot
    // when one is due.
    void advance(const Machine& machine, uint64_t steps);
    // Applies the input and logs it at the present (a present in the past
    // becomes the end). An input refused changes nothing.
    Validation input(Machine& machine, const MachineInput& input);
    // Logs at the present an input the caller has applied.
    void logApplied(const Machine& machine, const MachineInput& input);

    // ---- visiting recorded moments

    // Whether the machine is where the timeline says (nothing ran it
    // outside the session since); the message says what differs.
    Validation checkPresent(const Machine& machine) const;
    // Puts the machine at `step` (at most end()): restores the snapshot
    // before it and replays. The machine's watchpoints are detached
    // meanwhile.
    Validation goTo(Machine& machine, uint64_t step);
    // The last step at or before which the cycle counter is at most `cycle`
    // (within the recorded history), found by replaying; the machine is
    // left somewhere on the timeline (goTo it afterwards).
    std::optional<uint64_t> stepAtCycle(Machine& machine, uint64_t cycle);
    // Replays each recorded segment before the present, the latest first,
    // with `stops` and the machine's attached watchpoints, and calls `hit`
    // for each moment before the present (or at it, with `present`) at
    // which the run stopped (in order within a segment), until a segment
    // gave one. The machine is left somewhere on the timeline. Returns
    // whether any hit came.
    using HitSink = std::function<void(uint64_t step, const RunResult& result)>;
    bool searchBackwards(Machine& machine, const StopConditions& stops, const HitSink& hit,
                         bool atPresent = false);
    // The same, with the caller deciding after each segment that gave hits
    // (its hits reported) whether the search ends there: `found` true ends
    // it. A segment without hits is not asked about: it cannot change the
    // answer. Segments are looked over ahead of the search on copies of the
    // machine, one thread per core (`stops` must stay valid meanwhile).
    bool searchBackwardsBySegment(Machine& machine, const StopConditions& stops,
                                  const HitSink& hit, const std::function<bool()>& found,
                                  bool atPresent = false);

    // What a search that goes back instruction by instruction sees of a
    // moment: its place on the timeline, the program counter, the depth of
    // the machine's call stack (0 without one) and the port lines' levels
    // (P0 in bits 0-7 ... P3 in bits 24-31).
    struct MomentFacts {
        uint64_t step = 0;
        uint64_t cycle = 0;
        uint16_t pc = 0;
        int depth = 0;
        uint32_t levels = 0;
    };
    using MomentVisitor = std::function<bool(const MomentFacts&)>;
    // Replays the segments before the present one instruction at a time,
    // the latest first, and shows `visit` each moment before the present,
    // latest first, until it returns true (then returns true). The
    // machine's watchpoints are detached meanwhile; the machine is left
    // somewhere on the timeline (goTo the moment found).
    bool visitBackwards(Machine& machine, const MomentVisitor& visit);

  private:
    // The byte form of a whole history (debug/recording_file.cpp).
    friend struct RecordingCodec;
    struct Empty {};
    explicit History(Empty) : interval_(kDefaultInterval), budget_(kDefaultBudget) {}
    // The byte counts from what the history holds.
    void recount();

    struct Kept {
        Moment at;
        size_t length = 0; // of the snapshot's byte form
    };
    struct Version {
        uint64_t step;
        std::array<uint8_t, kPageSize> bytes;
    };

    // A cancellable replay looks at its flag after this many instructions.
    static constexpr uint64_t kCancelBatch = uint64_t(1) << 16;
    class SegmentScan;

    uint64_t lastKeptStep() const { return kept_.back().at.step; }
    void keep(const Machine& machine);
    void thin();
    void removeKept(size_t index);
    void restore(size_t index, Machine& machine, MachineSnapshot& scratch) const;
    // The byte form of kept_[index], put together from its pages.
    std::vector<uint8_t> byteForm(size_t index) const;
    // Where a replay ended: its step and the logged inputs applied.
    struct Replayed {
        uint64_t step;
        size_t inputs;
    };
    // Reports a stop of a replay; true ends the replay there.
    using SegmentHit = std::function<bool(uint64_t step, const RunResult& result)>;
    // Replays from the state at kept_[index] up to `to` (the inputs logged
    // at `to` applied) on any machine configured as the recorded one,
    // leaving the timeline as it is; with `stops`, reports each stop. Ends
    // early once `cancel` is set.
    Replayed replaySegment(Machine& machine, size_t index, uint64_t to, const StopConditions* stops,
                           const SegmentHit& hit, MachineSnapshot& scratch,
                           const std::atomic<bool>* cancel = nullptr) const;
    // The same on the session's machine, which is then at `to` on the
    // timeline.
    void replay(Machine& machine, size_t index, uint64_t to, const StopConditions* stops,
                const HitSink& hit);
    size_t keptAtOrBefore(uint64_t step) const;

    uint64_t interval_;
    size_t budget_;
    uint64_t now_ = 0, end_ = 0, nowCycle_ = 0;
    size_t applied_ = 0; // the logged inputs the present has taken
    std::vector<Kept> kept_;
    // Each page of the byte form: its versions, by step.
    std::vector<std::vector<Version>> pages_;
    std::vector<LoggedInput> log_;
    size_t bytes_ = 0, inputBytes_ = 0;
    MachineSnapshot scratch_;
};

} // namespace quorvel
