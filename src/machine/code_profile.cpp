#include "machine/code_profile.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace quorvel {

void CodeProfile::clear() {
    std::fill(counts.begin(), counts.end(), AddressCounts{});
    vectoringCycles = 0;
}

namespace {

void add(AddressCounts& sum, const AddressCounts& more) {
    sum.executions += more.executions;
    sum.cycles += more.cycles;
}

} // namespace

AddressCounts CodeProfile::total() const {
    AddressCounts sum;
    for (const AddressCounts& entry : counts) add(sum, entry);
    return sum;
}

SourceProfile profileBySource(const CodeProfile& profile, const SourceLookup& lookup) {
    std::map<std::string, AddressCounts> functions;
    std::map<std::tuple<std::string, int>, SourceCounts> lines;
    for (uint32_t address = 0; address < profile.counts.size(); ++address) {
        const AddressCounts& entry = profile.counts[address];
        if (entry.executions == 0) continue;
        const std::optional<SourcePlace> place = lookup(uint16_t(address));
        if (!place) continue;
        if (!place->function.empty()) add(functions[place->function], entry);
        SourceCounts& line = lines[{place->file, place->line}];
        if (line.file.empty()) {
            line.file = place->file;
            line.line = place->line;
            line.function = place->function;
        }
        add(line.counts, entry);
    }
    SourceProfile result;
    for (const auto& [name, counts] : functions) result.functions.push_back({name, {}, 0, counts});
    for (auto& [key, row] : lines) result.lines.push_back(std::move(row));
    return result;
}

} // namespace quorvel
