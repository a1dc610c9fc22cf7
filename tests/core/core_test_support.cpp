#include "core_test_support.h"

#include <sstream>

namespace quorvel::test {

Machine makeMachine(DeviceKind kind, uint32_t frequency, uint16_t codeLimit,
                    uint16_t xdataLimit) {
    return support::makeMachine(kind, frequency, codeLimit, xdataLimit);
}

std::vector<uint8_t> assemble(const std::string& source) { return support::as31Image(source); }

std::vector<uint8_t> compileC(const std::string& source, const std::string& extraFlags) {
    support::TempDir dir;
    std::vector<std::string> flags;
    std::istringstream words(extraFlags);
    for (std::string word; words >> word;) flags.push_back(word);
    const testing::AssertionResult compiled = support::compileC(dir.path, "program", source, flags);
    if (!compiled) {
        ADD_FAILURE() << compiled.message();
        return {};
    }
    return support::readBytes(dir / "program.bin");
}

void attach(Machine& machine, EventRecorder& recorder) {
    recorder.chip = &machine.chip;
    machine.chip.events = &recorder;
}

uint64_t runUntil(Machine& machine, const std::function<bool(const Machine&)>& done,
                  uint64_t maxSteps) {
    for (uint64_t i = 0; i < maxSteps; ++i) {
        if (step(machine)) {
            ADD_FAILURE() << "program counter out of range at "
                          << machine.chip.side.instructionAddress;
            return i + 1;
        }
        if (done(machine)) return i + 1;
    }
    return maxSteps;
}

void stepN(Machine& machine, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        if (step(machine)) {
            ADD_FAILURE() << "program counter out of range at "
                          << machine.chip.side.instructionAddress;
            return;
        }
    }
}

} // namespace quorvel::test
