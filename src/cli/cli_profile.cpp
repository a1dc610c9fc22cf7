#include "cli/cli_profile.h"

#include "cli/cli_report.h"
#include "common/view_mode.h"
#include "tools/disassembler.h"

#include <cmath>
#include <cstdio>

namespace quorvel::cli {

namespace {

std::string number(uint64_t value) { return std::to_string(value); }

std::string percentText(const Coverage& coverage) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", coverage.percent());
    return text;
}

void addCounts(Json& row, const AddressCounts& counts) {
    row["executions"] = counts.executions;
    row["cycles"] = counts.cycles;
}

Json sourceRows(const std::vector<SourceCounts>& rows, bool lines) {
    Json out = Json::array();
    for (const SourceCounts& row : rows) {
        Json item = {{"function", row.function}};
        if (lines) {
            item["file"] = row.file;
            item["line"] = row.line;
        }
        addCounts(item, row.counts);
        out.push_back(std::move(item));
    }
    return out;
}

} // namespace

std::string coverageText(const Coverage& coverage) {
    std::string out = "coverage: " + number(coverage.executed()) + " of " +
                      number(coverage.instructions.size()) + " instructions executed (" +
                      percentText(coverage) + " %)\n";
    char range[40];
    for (const CodeRange& r : coverage.missedRanges) {
        std::snprintf(range, sizeof range, "never executed: %04XH-%04XH\n", r.first, r.last);
        out += range;
    }
    return out;
}

Json coverageJson(const Coverage& coverage) {
    Json missed = Json::array();
    for (const CodeRange& r : coverage.missedRanges) missed.push_back({{"first", r.first}, {"last", r.last}});
    return {{"instructions", coverage.instructions.size()},
            {"executed", coverage.executed()},
            // The share as the text says it, to a tenth.
            {"percent", std::round(coverage.percent() * 10) / 10},
            {"never_executed", missed}};
}

std::string profileJson(const CodeProfile& profile, const Coverage& coverage, const ChipState& chip,
                        const SourceLookup& lookup) {
    Json out = Json::object();
    addCounts(out, profile.total());
    out["vectoring_cycles"] = profile.vectoringCycles;
    out["coverage"] = coverageJson(coverage);
    Json& addresses = out["addresses"] = Json::array();
    for (uint32_t address = 0; address < profile.counts.size(); ++address) {
        const AddressCounts& counts = profile.counts[address];
        if (counts.executions == 0) continue;
        const DisassembledLine line = disassembleAt(chip, uint16_t(address), ViewMode::Normal);
        Json row = {{"address", address}};
        addCounts(row, counts);
        row["instruction"] = mnemonicPart(line.text);
        addresses.push_back(std::move(row));
    }
    if (lookup) {
        const SourceProfile bySource = profileBySource(profile, lookup);
        out["functions"] = sourceRows(bySource.functions, false);
        out["lines"] = sourceRows(bySource.lines, true);
    }
    return jsonDocument(out) + "\n";
}

} // namespace quorvel::cli
