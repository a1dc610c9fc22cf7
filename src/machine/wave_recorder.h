// The waveform recorder: what the 32 port lines did over time, as a bounded
// ring of line changes (see chip/line_change.h) that the execution loop fills
// while a run goes on.
//
// The ring is allocated when the recorder is made (or its capacity set) and
// never on the step path: a full ring drops its oldest entry for each new
// one. Every entry has a sequence number (0 for the first one recorded since
// the last clear); `firstSequence` is where the kept window starts, so a
// reader knows what was lost. A change is the level of the lines as the
// outside world and the parts see them (latch AND outside drive), taken at
// the end of the instruction that wrote a latch, or when the loop sees a
// line the serial port, the SPI unit, a timer's clock-out or a part moved.
// A run's first entry is the levels when it starts, so changes made between
// runs (edits, hand-set inputs) show. Levels equal to the last entry's are
// not recorded.
//
// The machine points at a recorder (Machine::wave) while recording; the loop
// is then the recording variant of itself. The cycle times go back only when
// the user sets the counter back (Reset CPU, the execution-time
// measurement); entries stay in the order they were recorded.
//
// Threads: `record` is called by the thread that runs the machine. Reading
// (a logic-analyser view copying what is new since its last look with
// `copySince`) happens while no run is active or under the run's pause
// guard; the copy costs only the new entries.
#pragma once

#include "chip/line_change.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

class WaveRecorder {
public:
    // About 16 MB of entries; a program toggling a line every 10 machine
    // cycles fills it in 10 s of simulated time at 12 MHz.
    static constexpr size_t kDefaultCapacity = size_t(1) << 20;

    explicit WaveRecorder(size_t capacity = kDefaultCapacity) { setCapacity(capacity); }

    // Allocates room for exactly `capacity` entries (at least 1) and clears
    // the recording.
    void setCapacity(size_t capacity);
    size_t capacity() const { return ring_.size(); }
    // Forgets every entry; the next record starts again at sequence 0.
    void clear() {
        written_ = 0;
        slot_ = 0;
        last_ = kNoLevels;
    }

    // Keeps `levels` at `cycle` unless they are the last entry's levels.
    void record(uint64_t cycle, uint32_t levels) {
        if (levels == last_) return;
        ring_[slot_] = LineChange{cycle, levels};
        if (++slot_ == ring_.size()) slot_ = 0;
        ++written_;
        last_ = levels;
    }

    // Sequence number of the oldest entry kept, and one past the newest.
    uint64_t firstSequence() const { return written_ > ring_.size() ? written_ - ring_.size() : 0; }
    uint64_t nextSequence() const { return written_; }
    // Entries dropped because the ring was full.
    uint64_t dropped() const { return firstSequence(); }
    size_t size() const { return size_t(written_ - firstSequence()); }
    bool empty() const { return written_ == 0; }
    // The entry of a kept sequence number (firstSequence() <= s < nextSequence()).
    const LineChange& at(uint64_t sequence) const { return ring_[size_t(sequence % ring_.size())]; }

    // Appends the kept entries from `sequence` on (from the window start if
    // that entry was dropped) to `out`; returns the sequence number of the
    // first appended entry, which is above `sequence` when some were lost.
    uint64_t copySince(uint64_t sequence, std::vector<LineChange>& out) const;
    // All kept entries, oldest first.
    std::vector<LineChange> entries() const;

private:
    // Above any 32-bit level word: the first record always keeps its levels.
    static constexpr uint64_t kNoLevels = uint64_t(1) << 32;

    std::vector<LineChange> ring_;
    uint64_t written_ = 0; // entries recorded since the last clear
    size_t slot_ = 0;      // where the next entry goes: written_ % capacity
    uint64_t last_ = kNoLevels;
};

} // namespace quorvel
