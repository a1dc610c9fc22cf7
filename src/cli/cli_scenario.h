// Running a scenario file (cli_scenario_file.h) on a board: each step in
// turn, until one fails; then what a failing test leaves behind, as the
// pytest plugin leaves it: the serial transcript, a VCD of the port lines
// and the machine's state as a snapshot file.
#pragma once

#include "cli/cli_board.h"
#include "cli/cli_scenario_file.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {

struct ScenarioOutcome {
    std::optional<size_t> failedStep; // index into the steps; none: passed
    std::string message;              // why it failed
};

ScenarioOutcome runScenario(const Scenario& scenario, Board& board);

// Writes the artefacts of a failure into `folder` (made if missing):
// (what, path) of each, or the message of what could not be written.
std::vector<std::pair<std::string, std::string>> writeScenarioArtefacts(Board& board, const std::string& folder,
                                                                        std::string& error);

// quorvel-cli --scenario: reads the file, builds the board, runs the steps
// and reports on `out` ("passed" or the failing step with the artefacts'
// paths); messages go to `err`. Returns the exit status: 0 passed, 1 failed
// or could not start (a file that does not read, a board that cannot be
// built).
int scenarioCommand(const CliOptions& options, std::FILE* out, std::FILE* err);

} // namespace quorvel::cli
