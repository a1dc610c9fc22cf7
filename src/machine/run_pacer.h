// Pacing of a run against the wall clock: simulated time (the machine-cycle
// counter times the machine-cycle time) is held to the wall-clock time since
// the run began, times the run speed. The pacer only computes; the simulation
// thread executes a batch of steps, asks when the next batch is due and sleeps
// until then. The machine-cycle counter stays the measure of program time:
// the wall clock only decides when to execute, never what the counter says.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

namespace quorvel {

// A run speed: simulated time per wall-clock time in percent; 0 runs at full
// speed (as fast as the host allows, nothing paced).
struct RunSpeed {
    uint16_t percent;
    const char* name; // as the Run menu's setting and the toolbar show it
};

constexpr uint16_t kRealTimePercent = 100;
// Slowest first; Full Speed last.
std::span<const RunSpeed> runSpeeds();
// The entry of `percent`, or null when it is not one of them.
const RunSpeed* findRunSpeed(uint16_t percent);

class RunPacer {
public:
    using Clock = std::chrono::steady_clock;
    // A run further behind than this gives up the lost time (it is not made
    // up in a burst) and counts as falling behind.
    static constexpr std::chrono::milliseconds kMaxLag{100};

    // Starts pacing at counter value `cycles` and wall-clock time `now`.
    void begin(uint16_t percent, float cycleTimeUs, uint64_t cycles, Clock::time_point now);
    bool paced() const { return percent_ != 0; }
    // Steps of the next batch: about a millisecond of simulated time at the
    // run speed, at least one and at most `fullBatch`.
    uint32_t batchSteps(uint32_t fullBatch) const;
    struct Due {
        Clock::time_point at;    // sleep until then (nothing when not after now)
        bool fellBehind = false; // the run was later than kMaxLag
    };
    // After a batch that left the counter at `cycles`: when the simulated time
    // reached is due on the wall clock. A run later than kMaxLag starts
    // pacing afresh from `now` and says it fell behind.
    Due due(uint64_t cycles, Clock::time_point now);

private:
    uint16_t percent_ = 0;
    double wallUsPerCycle_ = 0; // machine-cycle time divided by the speed
    uint64_t startCycles_ = 0;
    Clock::time_point start_{};
};

} // namespace quorvel
