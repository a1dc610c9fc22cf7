// The execution profile: how often the instruction at each program-memory
// address ran and how many machine cycles it took there.
//
// The execution loop counts while the profile is on (runSteps picks a loop
// built with the counting in it, so the plain loop is untouched): each
// instruction adds one execution and its own cycles (1, 2 or 4) to the
// entry of its address. The two cycles of vectoring an interrupt belong to
// no instruction: they are summed apart in `vectoringCycles`, so that the
// cycles of all addresses plus `vectoringCycles` are the cycles the machine
// ran while profiling. Counters are 64 bits wide and never wrap in practice
// (2^64 cycles are some 584 000 years at 1 MHz).
//
// The profile is a plain value inside Machine: copying or comparing it is
// copying or comparing the counters. Off, it holds no storage (a machine
// copy costs nothing extra); on, one entry per address of the 64 K space.
// Thread: the simulation thread while a run is active; any thread otherwise
// (the user interface under the pause guard).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct AddressCounts {
    uint64_t executions = 0;
    uint64_t cycles = 0;

    bool operator==(const AddressCounts&) const = default;
};

// Entries of the 64 K program-memory space.
inline constexpr uint32_t kCodeSpace = 0x10000;

struct CodeProfile {
    // Empty while the profile is off; kCodeSpace entries while on.
    std::vector<AddressCounts> counts;
    uint64_t vectoringCycles = 0; // cycles of vectoring interrupts

    bool enabled() const { return !counts.empty(); }
    // Switching on keeps nothing from before; switching off frees the
    // counters.
    void enable() { counts.assign(kCodeSpace, AddressCounts{}); vectoringCycles = 0; }
    void disable() { counts = {}; vectoringCycles = 0; }
    // Zeroes every counter; stays on or off.
    void clear();

    // The counts of one address (zero while the profile is off).
    AddressCounts at(uint16_t address) const { return enabled() ? counts[address] : AddressCounts{}; }
    // Sums over all addresses.
    AddressCounts total() const;

    bool operator==(const CodeProfile&) const = default;
};

// ---- per source line and function (with a source map)

// Where an instruction came from: the function holding it (empty when not
// known) and the source file and line.
struct SourcePlace {
    std::string function;
    std::string file;
    int line = 0;
};

// The source map as the profile sees it: the place of the instruction at an
// address, if the map has one.
using SourceLookup = std::function<std::optional<SourcePlace>(uint16_t address)>;

// Counts summed over the instructions of one source line or function:
// `executions` counts executed instructions, not passes over the line.
struct SourceCounts {
    std::string function; // the function (per-function rows; per-line rows when known)
    std::string file;     // per-line rows
    int line = 0;         // per-line rows
    AddressCounts counts;
};

struct SourceProfile {
    std::vector<SourceCounts> functions; // by function name
    std::vector<SourceCounts> lines;     // by file, then line
};

// Sums the executed addresses the lookup places; addresses it does not know
// are left out. Functions of an empty name are left out of `functions`.
SourceProfile profileBySource(const CodeProfile& profile, const SourceLookup& lookup);

} // namespace quorvel
