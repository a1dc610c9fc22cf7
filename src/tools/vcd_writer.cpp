#include "tools/vcd_writer.h"

#include <array>
#include <string_view>

namespace quorvel {

namespace {

// Femtoseconds per second over twelve oscillator periods per machine cycle.
constexpr uint64_t kFsPerCycleTimesHz = 12'000'000'000'000'000ull;
constexpr uint64_t kPsPerCycleTimesHz = 12'000'000'000'000ull;

struct Unit {
    std::string_view name;
    uint64_t femtoseconds;
};
constexpr std::array<Unit, 10> kUnits{{
    {"1 us", 1'000'000'000}, {"100 ns", 100'000'000}, {"10 ns", 10'000'000},
    {"1 ns", 1'000'000}, {"100 ps", 100'000}, {"10 ps", 10'000}, {"1 ps", 1'000},
    {"100 fs", 100}, {"10 fs", 10}, {"1 fs", 1},
}};

__extension__ typedef unsigned __int128 Wide;

// The time of `cycle` in the timescale's units.
uint64_t unitsAt(const VcdTimescale& scale, uint32_t frequencyHz, uint64_t cycle) {
    if (scale.exact) return cycle * scale.unitsPerCycle;
    const Wide scaled = Wide(cycle) * kPsPerCycleTimesHz + frequencyHz / 2;
    return uint64_t(scaled / frequencyHz);
}

// The identifier of the n-th wire: one printable character from '!' on.
char wireId(size_t n) { return char('!' + n); }

} // namespace

VcdTimescale vcdTimescale(uint32_t frequencyHz) {
    if (kFsPerCycleTimesHz % frequencyHz == 0) {
        const uint64_t fs = kFsPerCycleTimesHz / frequencyHz;
        for (const Unit& unit : kUnits) {
            if (fs % unit.femtoseconds == 0)
                return {std::string(unit.name), fs / unit.femtoseconds, true};
        }
    }
    return {"1 ps", 0, false};
}

std::string vcdWireName(int pin) {
    return "P" + std::to_string(pin / 8) + "_" + std::to_string(pin % 8);
}

std::string vcdText(const VcdOptions& o, std::span<const LineChange> changes) {
    const VcdTimescale scale = vcdTimescale(o.frequencyHz);
    std::string out;
    out.reserve(512 + changes.size() * 16);
    out += "$date\n   " + o.date + "\n$end\n";
    out += "$version\n   " + o.version + "\n$end\n";
    out += "$comment\n   one machine cycle = 12 clock periods at " + std::to_string(o.frequencyHz) +
           " Hz = ";
    out += scale.exact ? std::to_string(scale.unitsPerCycle) + " x " + scale.unit
                       : std::to_string(kFsPerCycleTimesHz / o.frequencyHz) + " fs (rounded to 1 ps)";
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
