// What quorvel-cli prints after a run: the dumps asked for, as text sections
// or as one JSON object that also holds the stop reason, the call stack and
// the counts. A watchpoint's stop says the place, its old and new value and
// the instruction that wrote it.
//
// Text: each dump is a "[name]" line followed by its lines; memories as
// "AAAA: DD DD ..." rows of 16 bytes; registers as NAME=HEX words.
// JSON (written as cli_json.h says): numbers are plain numbers (addresses
// and bytes too); memories are {"start": address, "bytes": [...]}; names
// (files, functions) are UTF-8 as they are; strings from the chip (UART
// text, LCD rows) are bytes, each one character U+0000..U+00FF.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "debug/c_variables.h"
#include "debug/debug_session.h"
#include "machine/code_coverage.h"
#include "machine/machine.h"
#include "tools/source_map.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel::cli {

struct ReportInput {
    const Machine& machine;
    const std::vector<DumpOption>& dumps;
    const DebugRun& run;
    int exitStatus; // the process's, which an output that failed makes 1
    const std::string& uartTransmitted;
    const std::vector<uint8_t>& uartReceived;
    std::string condition; // the breakpoint that held ("Break if ACC = 42"), if any
    const Coverage* coverage = nullptr; // --coverage: said after the dumps
    // With a source map, the report says where the program stopped: a
    // "[stop]" section first in text, "source" and "function" in JSON.
    const SourceMap* sourceMap = nullptr;
    // The call stack at the stop, innermost first: "[stack]" after "[stop]"
    // in text (with a source map), "stack" in JSON.
    std::vector<StackEntry> stack{};
    // --var: the expressions, shown after the stop ("[variables]" in text,
    // "variables" in JSON).
    const CVariables* variables = nullptr;
    std::vector<std::string> variableExpressions{};
    // --record, --replay: the hash of the machine's whole state.
    std::optional<uint64_t> stateHash{};
    // --last-write: the place asked for (empty: not asked) and the write
    // found (none: nothing wrote it).
    std::string lastWritePlace{};
    std::optional<LastWrite> lastWrite{};
};

std::string textReport(const ReportInput& input);
std::string jsonReport(const ReportInput& input);

// The text a seven-segment pattern shows: a digit or hex letter ('?' for
// other shapes, ' ' for a dark digit), followed by '.' when the point is lit.
std::string segmentText(uint8_t pattern);

} // namespace quorvel::cli
