// Fuzzes the scenario file reader (quorvel-cli --scenario) with arbitrary
// file contents. Checks: no crash, hang or sanitizer report; a refused file
// has a message that starts with its line and column; an accepted one has
// a name and at least one step, each with a line in the file and a text
// for messages.
#include "cli/cli_scenario_file.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Scenario scenario;
    if (const auto problem = parseScenario(text, scenario)) {
        if (problem->empty() || !std::isdigit(static_cast<unsigned char>(problem->front()))) std::abort();
        return 0;
    }
    if (scenario.steps.empty()) std::abort();
    for (const ScenarioStep& step : scenario.steps)
        if (step.line < 1 || scenarioStepText(step).empty()) std::abort();
    return 0;
}
