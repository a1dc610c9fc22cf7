#include "cli/cli_profile.h"

#include "cli/cli_report.h"
#include "common/view_mode.h"
#include "tools/disassembler.h"

#include <cstdio>

namespace quorvel::cli {

namespace {

std::string number(uint64_t value) { return std::to_string(value); }

std::string percentText(const Coverage& coverage) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", coverage.percent());
    return text;
}

std::string countsJson(const AddressCounts& counts) {
    return "\"executions\":" + number(counts.executions) + ",\"cycles\":" + number(counts.cycles);
}

std::string sourceRows(const std::vector<SourceCounts>& rows, bool lines) {
    std::string out;
    for (const SourceCounts& row : rows) {
        out += out.empty() ? "\n  " : ",\n  ";
        out += "{\"function\":" + jsonText(row.function);
        if (lines) out += ",\"file\":" + jsonText(row.file) + ",\"line\":" + std::to_string(row.line);
        out += "," + countsJson(row.counts) + "}";
    }
    return "[" + out + "]";
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

std::string coverageJson(const Coverage& coverage) {
    std::string out = "{\"instructions\":" + number(coverage.instructions.size()) +
                      ",\"executed\":" + number(coverage.executed()) +
                      ",\"percent\":" + percentText(coverage) + ",\"never_executed\":[";
    for (size_t i = 0; i < coverage.missedRanges.size(); ++i) {
        const CodeRange& r = coverage.missedRanges[i];
        out += (i ? ",{\"first\":" : "{\"first\":") + number(r.first) + ",\"last\":" + number(r.last) + "}";
    }
    return out + "]}";
}

std::string profileJson(const CodeProfile& profile, const Coverage& coverage, const ChipState& chip,
                        const SourceLookup& lookup) {
    std::string out = "{" + countsJson(profile.total()) +
                      ",\"vectoring_cycles\":" + number(profile.vectoringCycles) +
                      ",\n\"coverage\":" + coverageJson(coverage) + ",\n\"addresses\":[";
    bool first = true;
    for (uint32_t address = 0; address < profile.counts.size(); ++address) {
        const AddressCounts& counts = profile.counts[address];
        if (counts.executions == 0) continue;
        const DisassembledLine line = disassembleAt(chip, uint16_t(address), ViewMode::Normal);
        out += first ? "\n  " : ",\n  ";
        out += "{\"address\":" + number(address) + "," + countsJson(counts) +
               ",\"instruction\":" + jsonText(mnemonicPart(line.text)) + "}";
        first = false;
    }
    out += "]";
    if (lookup) {
        const SourceProfile bySource = profileBySource(profile, lookup);
        out += ",\n\"functions\":" + sourceRows(bySource.functions, false) +
               ",\n\"lines\":" + sourceRows(bySource.lines, true);
    }
    return out + "}\n";
}

} // namespace quorvel::cli
