#include "core_test_support.h"

namespace quorvel::test {

Machine assembledMachine(const std::string& source, DeviceKind kind, uint32_t frequency) {
    Machine machine = makeMachine(kind, frequency);
    const std::vector<uint8_t> code = assemble(source);
    EXPECT_FALSE(code.empty()) << "as31 refused the program";
    loadCode(machine, code);
    return machine;
}

void runToHalt(Machine& machine, uint32_t maxSteps) {
    StopConditions stops;
    stops.selfJump = true;
    const RunResult result = runSteps(machine, maxSteps, stops);
    EXPECT_EQ(result.cause, StopCause::SelfJump) << "steps " << result.steps;
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
