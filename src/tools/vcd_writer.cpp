#include "tools/vcd_writer.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorvel {

namespace {

// Femtoseconds per second over twelve oscillator periods per machine cycle.
constexpr uint64_t kFsPerCycleTimesHz = 12'000'000'000'000'000ull;

struct Unit {
    std::string_view name;
    uint64_t femtoseconds;
};
// Coarsest first. A machine cycle is at least 1/366 us (a 4.4 GHz clock), so
// exact units finer than 1 us are looked for; the coarser ones serve a run
// too long for its times to fit in 64 bits.
constexpr std::array<Unit, 18> kUnits{{
    {"100 s", 100'000'000'000'000'000}, {"10 s", 10'000'000'000'000'000},
    {"1 s", 1'000'000'000'000'000}, {"100 ms", 100'000'000'000'000}, {"10 ms", 10'000'000'000'000},
    {"1 ms", 1'000'000'000'000}, {"100 us", 100'000'000'000}, {"10 us", 10'000'000'000},
    {"1 us", 1'000'000'000}, {"100 ns", 100'000'000}, {"10 ns", 10'000'000},
    {"1 ns", 1'000'000}, {"100 ps", 100'000}, {"10 ps", 10'000}, {"1 ps", 1'000},
    {"100 fs", 100}, {"10 fs", 10}, {"1 fs", 1},
}};
constexpr size_t kFirstExactUnit = 8;  // 1 us
constexpr size_t kFinestRoundedUnit = 14; // 1 ps

__extension__ typedef unsigned __int128 Wide;

// The time of `cycle` in the timescale's units, exactly or rounded to the
// nearest unit (the product cannot overflow 128 bits).
Wide wideUnitsAt(const VcdTimescale& scale, uint32_t frequencyHz, uint64_t cycle) {
    if (scale.exact) return Wide(cycle) * scale.unitsPerCycle;
    const Wide divisor = Wide(frequencyHz) * scale.unitFemtoseconds;
    return (Wide(cycle) * kFsPerCycleTimesHz + divisor / 2) / divisor;
}

uint64_t unitsAt(const VcdTimescale& scale, uint32_t frequencyHz, uint64_t cycle) {
    return uint64_t(wideUnitsAt(scale, frequencyHz, cycle));
}

// The identifier of the n-th wire: one printable character from '!' on.
char wireId(size_t n) { return char('!' + n); }

} // namespace

VcdTimescale vcdTimescale(uint32_t frequencyHz, uint64_t lastCycle) {
    auto fits = [&](const VcdTimescale& scale) {
        return wideUnitsAt(scale, frequencyHz, lastCycle) <= Wide(UINT64_MAX);
    };
    if (kFsPerCycleTimesHz % frequencyHz == 0) {
        const uint64_t fs = kFsPerCycleTimesHz / frequencyHz;
        for (size_t i = kFirstExactUnit; i < kUnits.size(); ++i) {
            const Unit& unit = kUnits[i];
            if (fs % unit.femtoseconds != 0) continue;
            const VcdTimescale exact{std::string(unit.name), fs / unit.femtoseconds, true, unit.femtoseconds};
            if (fits(exact)) return exact;
            break;
        }
    }
    // Rounded: the finest unit from 1 ps up in which the whole run fits (a
    // 100 s unit always does: a machine cycle is at most 12 s).
    for (size_t i = kFinestRoundedUnit + 1; i-- > 0;) {
        const VcdTimescale rounded{std::string(kUnits[i].name), 0, false, kUnits[i].femtoseconds};
        if (i == 0 || fits(rounded)) return rounded;
    }
    return {};
}

std::string vcdWireName(int pin) {
    return "P" + std::to_string(pin / 8) + "_" + std::to_string(pin % 8);
}

std::string vcdText(const VcdOptions& o, std::span<const LineChange> changes) {
    uint64_t lastCycle = o.endCycle;
    for (const LineChange& change : changes) lastCycle = std::max(lastCycle, change.cycle);
    const VcdTimescale scale = vcdTimescale(o.frequencyHz, lastCycle);
    std::string out;
    out.reserve(512 + changes.size() * 16);
    out += "$date\n   " + o.date + "\n$end\n";
    out += "$version\n   " + o.version + "\n$end\n";
    out += "$comment\n   one machine cycle = 12 clock periods at " + std::to_string(o.frequencyHz) +
           " Hz = ";
    out += scale.exact ? std::to_string(scale.unitsPerCycle) + " x " + scale.unit
                       : std::to_string(kFsPerCycleTimesHz / o.frequencyHz) + " fs (times rounded to " +
                             scale.unit + ")";
    out += "\n$end\n$timescale " + scale.unit + " $end\n";
    out += "$scope module " + o.scope + " $end\n";
    for (size_t n = 0; n < o.lines.size(); ++n)
        out += "$var wire 1 " + std::string(1, wireId(n)) + " " + vcdWireName(o.lines[n]) + " $end\n";
    out += "$upscope $end\n$enddefinitions $end\n";
    if (changes.empty()) return out;

    auto levelText = [&](size_t n, uint32_t levels) {
        out += char('0' + ((levels >> o.lines[n]) & 1u));
        out += wireId(n);
        out += '\n';
    };
    uint64_t time = unitsAt(scale, o.frequencyHz, changes.front().cycle);
    uint32_t levels = changes.front().levels;
    out += "#" + std::to_string(time) + "\n$dumpvars\n";
    for (size_t n = 0; n < o.lines.size(); ++n) levelText(n, levels);
    out += "$end\n";

    uint32_t chosen = 0;
    for (int pin : o.lines) chosen |= 1u << pin;
    for (const LineChange& change : changes.subspan(1)) {
        const uint32_t moved = (change.levels ^ levels) & chosen;
        levels = change.levels;
        if (!moved) continue;
        const uint64_t at = unitsAt(scale, o.frequencyHz, change.cycle);
        if (at > time) {
            time = at;
            out += "#" + std::to_string(time) + "\n";
        }
        for (size_t n = 0; n < o.lines.size(); ++n)
            if ((moved >> o.lines[n]) & 1u) levelText(n, levels);
    }
    const uint64_t end = unitsAt(scale, o.frequencyHz, o.endCycle);
    if (end > time) out += "#" + std::to_string(end) + "\n";
    return out;
}

} // namespace quorvel
