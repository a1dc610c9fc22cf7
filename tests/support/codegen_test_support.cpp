#include "codegen_test_support.h"

#include "asm51/assembler.h"

#include <algorithm>
#include <cctype>

using namespace quorvel;

namespace codegentest {

Program assembleInto(Machine& machine, const std::string& main, const std::string& generated) {
    const std::string source = main + generated + "\r\n        END\r\n";
    asm51::AssemblyOptions options;
    options.readFile = [&](const std::string& path, std::string&) -> std::optional<std::string> {
        if (path == "main.asm") return source;
        return std::nullopt;
    };
    const asm51::AssemblyResult result = asm51::assemble("main.asm", options);
    Program program;
    for (const asm51::Message& m : result.messages) program.messages += asm51::formatMessage(m) + "\n";
    program.ok = result.errors == 0 && result.warnings == 0;
    for (const asm51::Symbol& s : result.symbols) {
        if (s.predefined) continue;
        std::string name = s.name;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        program.labels[name] = uint16_t(s.value.value);
    }
    const size_t size = std::min(machine.chip.code.size(), result.image.bytes.size());
    for (size_t i = 0; i < size; ++i)
        if (result.image.used[i]) machine.chip.code[i] = result.image.bytes[i];
    return program;
}

testing::AssertionResult assembles(const std::string& generated) {
    Machine machine = makeMachine(DeviceKind::AT89C52, 12000000);
    const Program program = assembleInto(machine, "        ORG     0100H\r\n", generated);
    if (program.ok) return testing::AssertionSuccess();
    return testing::AssertionFailure() << program.messages << "in:\n" << generated;
}

testing::AssertionResult containsAll(const std::string& text, std::initializer_list<std::string> parts) {
    const auto squeezed = [](const std::string& in) {
        std::string out;
        for (const char c : in) {
            const bool blank = c == ' ' || c == '\t';
            if (blank && !out.empty() && out.back() == ' ') continue;
            out += blank ? ' ' : c;
        }
        return out;
    };
    const std::string haystack = squeezed(text);
    for (const std::string& part : parts)
        if (haystack.find(squeezed(part)) == std::string::npos)
            return testing::AssertionFailure() << "missing \"" << part << "\" in:\n" << text;
    return testing::AssertionSuccess();
}

Machine makeMachine(DeviceKind kind, uint32_t frequencyHz) {
    Machine machine = quorvel::support::makeMachine(kind, frequencyHz);
    for (int i = 0; i < 32; ++i) machine.chip.pins.setSetting(i, kInputNC);
    machine.chip.pins.applySettings(machine.chip.portLatches());
    return machine;
}

std::vector<PinRef> range(PinRef first, int count) {
    std::vector<PinRef> v;
    for (int i = 0; i < count; ++i) v.push_back(PinRef(first + i));
    return v;
}

std::vector<PinRef> operator+(std::vector<PinRef> a, const std::vector<PinRef>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace codegentest
