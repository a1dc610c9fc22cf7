#include "machine/run_pacer.h"

#include <algorithm>

namespace quorvel {

namespace {
const RunSpeed kSpeeds[] = {
    {10, "1/10 Speed"}, {25, "1/4 Speed"}, {50, "1/2 Speed"}, {kRealTimePercent, "Real Time"},
    {200, "2 x Speed"}, {1000, "10 x Speed"}, {0, "Full Speed"},
};
} // namespace

std::span<const RunSpeed> runSpeeds() { return kSpeeds; }

const RunSpeed* findRunSpeed(uint16_t percent) {
    for (const RunSpeed& speed : kSpeeds)
        if (speed.percent == percent) return &speed;
    return nullptr;
}

void RunPacer::begin(uint16_t percent, float cycleTimeUs, uint64_t cycles, Clock::time_point now) {
    percent_ = percent;
    wallUsPerCycle_ = percent == 0 ? 0.0 : double(cycleTimeUs) * 100.0 / percent;
    startCycles_ = cycles;
    start_ = now;
}

uint32_t RunPacer::batchSteps(uint32_t fullBatch) const {
    if (!paced() || wallUsPerCycle_ <= 0) return fullBatch;
    // A step takes one machine cycle at least: a millisecond's cycles bound it.
    const double cyclesPerMs = 1000.0 / wallUsPerCycle_;
    return uint32_t(std::clamp(cyclesPerMs, 1.0, double(fullBatch)));
}

RunPacer::Due RunPacer::due(uint64_t cycles, Clock::time_point now) {
    if (!paced()) return {now};
    // The counter went back (Reset CPU during the run): pace from here.
    if (cycles < startCycles_) {
        startCycles_ = cycles;
        start_ = now;
        return {now};
    }
    const auto simulated = std::chrono::duration<double, std::micro>(
        double(cycles - startCycles_) * wallUsPerCycle_);
    const Clock::time_point at = start_ + std::chrono::duration_cast<Clock::duration>(simulated);
    if (now - at > kMaxLag) {
        startCycles_ = cycles;
        start_ = now;
        return {now, true};
    }
    return {at};
}

} // namespace quorvel
