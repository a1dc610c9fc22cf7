#include "cli/cli_scenario.h"


#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace quorvel::cli {

namespace {

std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// A step's check, or why it failed (empty: it held).
std::string runStep(const ScenarioStep& step, double timeoutMs, Board& board) {
    const double within = step.timeoutMs.value_or(timeoutMs);
    const std::string withinText = " within " + std::to_string(std::lround(within)) + " ms";
    RunRequest q;
    q.timeoutMs = within;
    switch (step.verb) {
    case ScenarioVerb::WaitSerial:
        q.uart = step.text;
        if (board.run(q).reason == "uart") return {};
        return "the serial line did not send it" + withinText + "; unread: \"" + board.uartRead() + "\"";
    case ScenarioVerb::WriteSerial: board.uartWrite(step.text); return {};
    case ScenarioVerb::Press:
    case ScenarioVerb::Release: {
        const bool held = step.verb == ScenarioVerb::Press;
        // A port line names a momentary key; anything else a keypad key.
        if (parseLineList(step.text) && parseLineList(step.text)->size() == 1) board.keyHold(step.text, held);
        else board.keypadHold(step.text, held);
        return {};
    }
    case ScenarioVerb::SetPin: board.setPin(step.pin, step.level); return {};
    case ScenarioVerb::ExpectPin:
        if (board.pinLevel(step.pin) == step.level) return {};
        return step.pin + " is at " + std::to_string(1 - step.level);
    case ScenarioVerb::WaitPin:
        q.pin = std::make_pair(step.pin, step.level);
        if (board.run(q).reason == "pin") return {};
        return step.pin + " did not come to " + std::to_string(step.level) + withinText;
    case ScenarioVerb::ExpectLcd: {
        const std::vector<std::string> lines = board.lcdLines();
        std::string shown;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string line = trimmedRight(lines[i]);
            if (line == step.text && (step.lcdLine == 0 || size_t(step.lcdLine) == i + 1)) return {};
            shown += "\n  " + std::to_string(i + 1) + ": \"" + line + "\"";
        }
        if (step.lcdLine > int(lines.size()))
            return "the LCD has " + std::to_string(lines.size()) + " lines, not " + std::to_string(step.lcdLine);
        return "the LCD shows:" + (shown.empty() ? std::string(" nothing (no LCD in the module settings)") : shown);
    }
    case ScenarioVerb::ExpectVar: {
        const double value = realOf(board.variable(step.text));
        if (value == step.value) return {};
        char text[48];
        std::snprintf(text, sizeof text, "%g", value);
        return step.text + " is " + text;
    }
    case ScenarioVerb::Delay: board.idle(step.ms); return {};
    case ScenarioVerb::RunUntilLine:
        q.untilLine = step.text;
        if (board.run(q).reason == "break-line") return {};
        return "the program did not reach it" + withinText;
    }
    return {};
}

} // namespace

ScenarioOutcome runScenario(const Scenario& scenario, Board& board) {
    ScenarioOutcome outcome;
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
        std::string failure;
        try {
            failure = runStep(scenario.steps[i], scenario.timeoutMs, board);
        } catch (const BoardError& e) {
            failure = e.what();
        }
        if (!failure.empty()) {
            outcome.failedStep = i;
            outcome.message = failure;
            return outcome;
        }
    }
    return outcome;
}

std::vector<std::pair<std::string, std::string>> writeScenarioArtefacts(Board& board, const std::string& folder,
                                                                        std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = folder + ": cannot make the folder: " + ec.message();
        return {};
    }
    const std::vector<std::pair<std::string, std::string>> paths{
        {"uart transcript", (fs::path(folder) / "uart.txt").string()},
        {"port lines (VCD)", (fs::path(folder) / "lines.vcd").string()},
        {"recording (quorvel-cli --replay)", (fs::path(folder) / "run.qrec").string()},
    };
    auto write = [&](const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
        if (!out.flush() && error.empty()) error = path + ": cannot write the file";
    };
    write(paths[0].second, board.uartTranscript());
    write(paths[1].second, board.vcdText());
    try {
        board.save(paths[2].second);
    } catch (const BoardError& e) {
        if (error.empty()) error = e.what();
    }
    return paths;
}

namespace {

std::string artefactFolder(const std::string& name) {
    std::string folder;
    for (char c : name) folder += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
    return "quorvel-artifacts/" + (folder.empty() ? std::string("scenario") : folder);
}

} // namespace

int scenarioCommand(const CliOptions& options, std::FILE* out, std::FILE* err) {
    auto fail = [err](const std::string& message) {
        std::fprintf(err, "quorvel-cli: %s\n", message.c_str());
        return 1;
    };
    std::ifstream in(options.scenario, std::ios::binary);
    if (!in) return fail(options.scenario + ": cannot open the file");
    std::string text(kMaxScenarioSize + 1, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    Scenario scenario;
    if (auto problem = parseScenario(text, scenario)) return fail(options.scenario + ":" + *problem);
    std::optional<Board> board;
    try {
        board.emplace(options, true);
    } catch (const BoardError& e) {
        return fail(e.what());
    }
    const ScenarioOutcome outcome = runScenario(scenario, *board);
    std::fprintf(out, "scenario: %s\n", scenario.name.c_str());
    if (!outcome.failedStep) {
        std::fprintf(out, "passed: %zu steps, %.3f ms simulated\n", scenario.steps.size(), board->timeMs());
        return 0;
    }
    const ScenarioStep& step = scenario.steps[*outcome.failedStep];
    const std::string where = options.scenario + ":" + std::to_string(step.line) + ": step " +
                              std::to_string(*outcome.failedStep + 1) + " (" + scenarioStepText(step) + ")";
    std::fprintf(out, "failed: %s: %s\nat: %.3f ms simulated, PC %04XH\n", where.c_str(), outcome.message.c_str(),
                 board->timeMs(), unsigned(board->machine().chip.pc));
    std::string error;
    for (const auto& [what, path] : writeScenarioArtefacts(*board, artefactFolder(scenario.name), error))
        std::fprintf(out, "%s: %s\n", what.c_str(), path.c_str());
    if (!error.empty()) fail(error);
    fail(where + ": " + outcome.message);
    return 1;
}

} // namespace quorvel::cli
