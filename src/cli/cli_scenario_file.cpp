#include "cli/cli_scenario_file.h"

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quorvel::cli {

namespace {

// What a verb takes: a text, a text or a map with a timeout, a pin and a
// level, a time, ...
enum class Takes : uint8_t { Text, TextWait, Key, PinLevel, PinWait, Lcd, Variable, Time, LineWait };

struct VerbRow {
    ScenarioVerb verb;
    std::string_view name;
    Takes takes;
};

constexpr std::array<VerbRow, 11> kVerbs{{
    {ScenarioVerb::WaitSerial, "wait-serial", Takes::TextWait},
    {ScenarioVerb::WriteSerial, "write-serial", Takes::Text},
    {ScenarioVerb::Press, "press", Takes::Key},
    {ScenarioVerb::Release, "release", Takes::Key},
    {ScenarioVerb::SetPin, "set-pin", Takes::PinLevel},
    {ScenarioVerb::ExpectPin, "expect-pin", Takes::PinLevel},
    {ScenarioVerb::WaitPin, "wait-pin", Takes::PinWait},
    {ScenarioVerb::ExpectLcd, "expect-lcd", Takes::Lcd},
    {ScenarioVerb::ExpectVar, "expect-var", Takes::Variable},
    {ScenarioVerb::Delay, "delay", Takes::Time},
    {ScenarioVerb::RunUntilLine, "run-until-line", Takes::LineWait},
}};
// Indexed by the verb: a row for every verb, in the enumeration's order.
static_assert([] {
    for (size_t i = 0; i < kVerbs.size(); ++i)
        if (size_t(kVerbs[i].verb) != i) return false;
    return size_t(ScenarioVerb::RunUntilLine) + 1 == kVerbs.size();
}());

// A message at a node: "LINE:COLUMN: text".
struct Refusal {
    std::string text;
};

[[noreturn]] void refuse(const YAML::Node& at, const std::string& text) {
    const YAML::Mark mark = at.Mark();
    throw Refusal{std::to_string(mark.line + 1) + ":" + std::to_string(mark.column + 1) + ": " + text};
}

std::string scalar(const YAML::Node& node, const std::string& what) {
    if (!node.IsScalar()) refuse(node, what + " takes a text");
    return node.Scalar();
}

// "30ms", "2s", "500us", "1.5" (milliseconds).
double milliseconds(const YAML::Node& node, const std::string& what) {
    const std::string text = scalar(node, what);
    struct Unit {
        std::string_view suffix;
        double ms;
    };
    constexpr Unit kUnits[] = {{"us", 0.001}, {"ms", 1}, {"s", 1000}, {"", 1}};
    for (const Unit& unit : kUnits) {
        if (!text.ends_with(unit.suffix)) continue;
        const std::string_view number(text.data(), text.size() - unit.suffix.size());
        double value = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (!number.empty() && ec == std::errc() && end == number.data() + number.size() && std::isfinite(value) &&
            value >= 0 && value * unit.ms <= 3.6e6)
            return value * unit.ms;
        break;
    }
    refuse(node, what + " takes a time up to an hour, such as 20ms, 1.5s or 500us, not '" + text + "'");
}

int level(const YAML::Node& node) {
    const std::string text = scalar(node, "value");
    if (text != "0" && text != "1") refuse(node, "a pin's value is 0 or 1, not '" + text + "'");
    return text == "1";
}

// A decimal number (a fraction allowed) or a hexadecimal one (0x1F).
double number(const YAML::Node& node, const std::string& what) {
    const std::string text = scalar(node, what);
    const char* const last = text.data() + text.size();
    if (text.starts_with("0x") || text.starts_with("0X")) {
        int64_t value = 0;
        const auto [end, ec] = std::from_chars(text.data() + 2, last, value, 16);
        if (text.size() > 2 && ec == std::errc() && end == last) return double(value);
    } else {
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), last, value);
        if (!text.empty() && ec == std::errc() && end == last && std::isfinite(value)) return value;
    }
    refuse(node, what + " takes a number, not '" + text + "'");
}

// A map's keys must be among `keys`; the required ones present.
void checkKeys(const YAML::Node& map, std::initializer_list<std::string_view> keys,
               std::initializer_list<std::string_view> required) {
    for (const auto& entry : map) {
        const std::string key = entry.first.IsScalar() ? entry.first.Scalar() : std::string();
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            std::string known;
            for (std::string_view k : keys) known += std::string(known.empty() ? "" : ", ") + std::string(k);
            refuse(entry.first, "unknown key '" + key + "' (this step takes " + known + ")");
        }
    }
    for (std::string_view k : required)
        if (!map[std::string(k)]) refuse(map, "this step needs '" + std::string(k) + "'");
}

ScenarioStep readStep(const YAML::Node& node) {
    if (!node.IsMap() || node.size() != 1) refuse(node, "a step is a map of one key, the verb (e.g. - delay: 10ms)");
    const auto entry = *node.begin();
    const std::string verb = entry.first.IsScalar() ? entry.first.Scalar() : std::string();
    const auto row = std::find_if(kVerbs.begin(), kVerbs.end(), [&](const VerbRow& r) { return r.name == verb; });
    if (row == kVerbs.end()) {
        std::string known;
        for (const VerbRow& r : kVerbs) known += std::string(known.empty() ? "" : ", ") + std::string(r.name);
        refuse(entry.first, "unknown step '" + verb + "'; steps: " + known);
    }
    ScenarioStep step;
    step.verb = row->verb;
    step.line = int(entry.first.Mark().line) + 1;
    const YAML::Node& arg = entry.second;
    const std::string what = verb;
    switch (row->takes) {
    case Takes::Text: step.text = scalar(arg, what); break;
    case Takes::Key: step.text = scalar(arg, what); break;
    case Takes::Time: step.ms = milliseconds(arg, what); break;
    case Takes::TextWait:
    case Takes::LineWait: {
        const char* key = row->takes == Takes::TextWait ? "text" : "line";
        if (arg.IsMap()) {
            checkKeys(arg, {key, "timeout"}, {key});
            step.text = scalar(arg[key], key);
            if (arg["timeout"]) step.timeoutMs = milliseconds(arg["timeout"], "timeout");
        } else {
            step.text = scalar(arg, what);
        }
        break;
    }
    case Takes::PinLevel:
    case Takes::PinWait:
        if (!arg.IsMap()) refuse(arg, what + " takes { pin: P1.0, value: 0 }");
        if (row->takes == Takes::PinWait) checkKeys(arg, {"pin", "value", "timeout"}, {"pin", "value"});
        else checkKeys(arg, {"pin", "value"}, {"pin", "value"});
        step.pin = scalar(arg["pin"], "pin");
        step.level = level(arg["value"]);
        if (arg["timeout"]) step.timeoutMs = milliseconds(arg["timeout"], "timeout");
        break;
    case Takes::Lcd:
        if (arg.IsMap()) {
            checkKeys(arg, {"line", "text"}, {"text"});
            step.text = scalar(arg["text"], "text");
            if (arg["line"]) {
                const double line = number(arg["line"], "line");
                if (line != 1 && line != 2 && line != 3 && line != 4) refuse(arg["line"], "an LCD line is 1 to 4");
                step.lcdLine = int(line);
            }
        } else {
            step.text = scalar(arg, what);
        }
        break;
    case Takes::Variable:
        if (!arg.IsMap()) refuse(arg, what + " takes { name: count, value: 3 }");
        checkKeys(arg, {"name", "value"}, {"name", "value"});
        step.text = scalar(arg["name"], "name");
        step.value = number(arg["value"], "value");
        break;
    }
    return step;
}

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

std::string_view scenarioVerbName(ScenarioVerb verb) { return kVerbs[size_t(verb)].name; }

std::optional<std::string> parseScenario(std::string_view text, Scenario& scenario) {
    if (text.size() > kMaxScenarioSize)
        return "1:1: more than " + std::to_string(kMaxScenarioSize >> 10) + " KB: not a scenario file";
    try {
        const YAML::Node root = YAML::Load(std::string(text));
        if (!root.IsMap()) refuse(root, "a scenario is a map with a name and a list of steps");
        checkKeys(root, {"name", "timeout", "steps"}, {"name", "steps"});
        Scenario read;
        read.name = scalar(root["name"], "name");
        if (root["timeout"]) read.timeoutMs = milliseconds(root["timeout"], "timeout");
        const YAML::Node steps = root["steps"];
        if (!steps.IsSequence() || steps.size() == 0) refuse(steps, "steps is a list of at least one step");
        for (const YAML::Node& step : steps) read.steps.push_back(readStep(step));
        scenario = std::move(read);
        return std::nullopt;
    } catch (const Refusal& refusal) {
        return refusal.text;
    } catch (const YAML::DeepRecursion& e) {
        return std::to_string(e.mark.line + 1) + ":" + std::to_string(e.mark.column + 1) +
               ": nested too deep for a scenario file";
    } catch (const YAML::Exception& e) {
        return std::to_string(e.mark.line + 1) + ":" + std::to_string(e.mark.column + 1) + ": " + e.msg;
    }
}

std::string scenarioStepText(const ScenarioStep& step) {
    std::string text(scenarioVerbName(step.verb));
    text += ": ";
    switch (step.verb) {
    case ScenarioVerb::SetPin:
    case ScenarioVerb::ExpectPin:
    case ScenarioVerb::WaitPin: return text + step.pin + " = " + std::to_string(step.level);
    case ScenarioVerb::ExpectVar: return text + step.text + " = " + shortNumber(step.value);
    case ScenarioVerb::Delay: return text + shortNumber(step.ms) + " ms";
    default: break;
    }
    std::string quoted = "\"";
    for (char c : step.text) {
        if (c == '\r') quoted += "\\r";
        else if (c == '\n') quoted += "\\n";
        else if (c == '"' || c == '\\') quoted += std::string("\\") + c;
        else quoted += c;
    }
    return text + quoted + "\"";
}

} // namespace quorvel::cli
