#include "demo_support.h"

#include "machine/executor.h"
#include "settings/module_settings_file.h"
#include "tools/file_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel;

namespace demotest {

// The devices whose Demo menu offers entry `entry` (1-11 demos, 12-14
// projects). Demo k is bit k-1 of the mask; the three projects come and go
// together with bits 12-14 (bit 11 belongs to no entry).
std::vector<DeviceKind> devicesOffering(int entry) {
    const uint32_t bits = entry <= 11 ? 1u << (entry - 1) : 0x7000u;
    std::vector<DeviceKind> kinds;
    for (int k = 0; k < kDeviceCount; ++k) {
        const auto kind = DeviceKind(k);
        if (deviceInfo(kind).demoMask & bits) kinds.push_back(kind);
    }
    return kinds;
}

bool loadDemo(Machine& machine, DeviceKind kind, const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(QUORVEL_BUILD_DIR) / "DemoPrograms";
    DeviceSelection selection;
    selection.kind = kind;
    selection.frequency = 12000000;
    selection.cycleTimeUs = machineCycleTimeUs(selection.frequency);
    // The 8031 and 8032 run from external program memory (64 KB).
    selection.programMode = deviceInfo(kind).externalOnly ? ProgramMemoryMode::ExternalOnly
                                                          : ProgramMemoryMode::InternalOnly;
    selection.externalSizeChoice = 5;
    selection.codeLimit = computeCodeLimit(kind, selection.programMode, 5);
    configureMachine(machine, selection);

    if (const auto failure = ReadModuleSettings(folder / (name + ".MST"), machine.modules.settings,
                                                machine.profile.availablePinMask)) {
        ADD_FAILURE() << name << ".MST: " << failure->text;
        return false;
    }
    FileLoader loader(LoadTarget::ProgramMemory);
    if (const auto failure = loader.open(folder / (name + ".HEX"))) {
        ADD_FAILURE() << name << ".HEX: " << failure->text;
        return false;
    }
    while (loader.step(machine.chip)) {
    }
    if (loader.outcome().result != LoadResult::Loaded) {
        ADD_FAILURE() << name << ".HEX does not load on " << deviceName(kind);
        return false;
    }
    return true;
}

void forEachDevice(int entry, const std::string& name, const std::function<void(Machine&)>& check) {
    const std::vector<DeviceKind> kinds = devicesOffering(entry);
    EXPECT_FALSE(kinds.empty()) << "no device offers " << name;
    for (DeviceKind kind : kinds) {
        SCOPED_TRACE(deviceName(kind));
        Machine machine;
        if (loadDemo(machine, kind, name)) check(machine);
    }
}

bool runCycles(Machine& machine, uint32_t cycles, const std::function<void()>& each) {
    const uint32_t start = machine.chip.cycles;
    while (machine.chip.cycles - start < cycles) {
        if (step(machine)) return false;
        if (each) each();
    }
    return true;
}

LedEvaluation leds(Machine& machine, LedDigitMemory& memory) {
    return evaluateLeds(machine.modules.settings, machine.chip.portLatches(), memory, true);
}

uint8_t litOnP1(Machine& machine) {
    LedDigitMemory memory{};
    return uint8_t(leds(machine, memory).pointLit >> 8);
}

int digitOf(SegmentPattern pattern) {
    for (int d = 0; d < 10; ++d)
        if ((pattern & 0x7F) == kBcdSegments[size_t(d)]) return d;
    return -1;
}

std::string digitsText(const LedEvaluation& e) {
    std::string text;
    for (int d = 0; d < e.digitCount; ++d) {
        const int digit = digitOf(e.digits[size_t(d)]);
        text += digit < 0 ? '?' : char('0' + digit);
        if (e.digits[size_t(d)] & 0x80) text += '.';
    }
    return text;
}

const char* deviceName(DeviceKind kind) { return deviceInfo(kind).comboText; }

} // namespace demotest
