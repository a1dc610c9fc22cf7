// The execution profile and the coverage as quorvel-cli writes them.
//
// --profile FILE: one JSON object - the totals, the coverage, and one row
// per executed address (address, executions, cycles, the instruction); with
// a source map, also per function and per source line. Addresses are plain
// numbers as in the run report.
// --coverage: "coverage: N of M instructions executed (P %)" and one line
// per run of never-executed instructions, "never executed: AAAAH-BBBBH"; or
// a "coverage" member of the JSON report.
#pragma once

#include "cli/cli_json.h"
#include "machine/code_coverage.h"
#include "machine/code_profile.h"

#include <string>

namespace quorvel {
struct ChipState;
}

namespace quorvel::cli {

// `lookup` may be empty: the rows per function and line are then left out.
std::string profileJson(const CodeProfile& profile, const Coverage& coverage, const ChipState& chip,
                        const SourceLookup& lookup = {});

std::string coverageText(const Coverage& coverage);
// {"instructions":M,"executed":N,"percent":P,"never_executed":[{"first":A,"last":B},...]}
Json coverageJson(const Coverage& coverage);

} // namespace quorvel::cli
