// Scenario files: a firmware test for people who do not write Python, run
// by `quorvel-cli --scenario FILE PROGRAM`. A YAML document with a `name`,
// an optional default `timeout` for the waits, and a list of `steps`, each a
// map of one key, the verb, to its argument:
//
//   name: echo
//   timeout: 500ms
//   steps:
//     - wait-serial: "Demo\r\n"
//     - write-serial: "A"
//     - wait-serial: { text: "A", timeout: 20ms }
//     - set-pin: { pin: P3.3, value: 0 }
//     - press: P3.2            # a momentary key's line, or a keypad key
//     - delay: 30ms
//     - release: P3.2
//     - expect-pin: { pin: P1.0, value: 1 }
//     - wait-pin: { pin: P1.0, value: 0 }
//     - expect-lcd: "Hello"      # a line of the LCD, trailing blanks aside
//     - expect-lcd: { line: 2, text: "World" }
//     - expect-var: { name: count, value: 3 }
//     - run-until-line: main.c:42
//
// Times are simulated: a number of milliseconds, or a number with us, ms or
// s. This file reads the document (with yaml-cpp) into plain steps and
// checks every argument's form; cli_scenario.h runs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

enum class ScenarioVerb : uint8_t {
    WaitSerial, WriteSerial, Press, Release, SetPin, ExpectPin, WaitPin, ExpectLcd, ExpectVar, Delay,
    RunUntilLine,
};

// "wait-serial", "write-serial", ...
std::string_view scenarioVerbName(ScenarioVerb verb);

struct ScenarioStep {
    ScenarioVerb verb = ScenarioVerb::Delay;
    int line = 0;         // in the file, from 1
    std::string text;     // serial text, key, LCD text, variable, FILE:LINE
    std::string pin;      // "P1.0"
    int level = 0;        // pin level, 0 or 1
    int lcdLine = 0;      // expect-lcd: 1-4, 0 for any line
    double value = 0;     // expect-var
    double ms = 0;        // delay
    std::optional<double> timeoutMs;
};

struct Scenario {
    std::string name;
    double timeoutMs = 1000; // of a wait without a timeout of its own
    std::vector<ScenarioStep> steps;
};

// The largest scenario file read.
constexpr size_t kMaxScenarioSize = 1u << 20;

// Reads a scenario; nothing when it reads, else "LINE:COLUMN: what is
// wrong" (LINE and COLUMN from 1).
std::optional<std::string> parseScenario(std::string_view text, Scenario& scenario);

// What a step says in a message: `wait-serial: "OK\r\n"`.
std::string scenarioStepText(const ScenarioStep& step);

} // namespace quorvel::cli
