// Helpers of the CPU-core tests on top of the suites' shared support:
// machines with external data memory, programs assembled with as31 or
// compiled with SDCC at test time, a recorder of the chip's events, and run
// helpers.
#pragma once

#include "machine/executor.h"
#include "machine/machine.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::test {

// A configured machine; 64K program memory and 64K external data memory
// unless the device fixes its memories (the 20-pin parts).
inline Machine makeMachine(DeviceKind kind = DeviceKind::AT89C52, uint32_t frequency = 12000000,
                           uint16_t codeLimit = 0xFFFF, uint16_t xdataLimit = 0xFFFF) {
    return support::makeMachine(kind, frequency, codeLimit, xdataLimit);
}

using support::loadCode;
using support::makeChip;
// 8051 source assembled with as31 into an image from address 0.
inline std::vector<uint8_t> assemble(const std::string& source) { return support::as31Image(source); }

// A machine (64K program and external data memory) with `source` assembled
// by as31 loaded from address 0; fails the test when it does not assemble.
Machine assembledMachine(const std::string& source, DeviceKind kind = DeviceKind::AT89C52,
                         uint32_t frequency = 12000000);

// Free-runs until the program sits on a jump to itself, as the CLI's halt
// does; fails the test when that takes more than `maxSteps`.
void runToHalt(Machine& machine, uint32_t maxSteps = 2'000'000);

// Records what the chip reports.
struct EventRecorder : ChipEvents {
    std::string transmitted;               // bytes sent by the UART
    std::vector<uint16_t> transmittedLog;  // their log entries
    std::vector<uint16_t> receivedLog;
    std::vector<uint32_t> transmittedAt;   // machine-cycle counter at each byte sent
    int sconWrites = 0;
    int spcrWrites = 0;
    const ChipState* chip = nullptr;
    std::function<void(uint16_t)> onReceived;

    void sconWritten() override { ++sconWrites; }
    void spcrWritten() override { ++spcrWrites; }
    void byteTransmitted(uint16_t entry) override {
        transmitted.push_back(char(entry & 0xFF));
        transmittedLog.push_back(entry);
        if (chip) transmittedAt.push_back(chip->cycles);
    }
    void byteReceived(uint16_t entry) override {
        receivedLog.push_back(entry);
        if (onReceived) onReceived(entry);
    }
};

// Attaches a recorder to the machine's chip.
void attach(Machine& machine, EventRecorder& recorder);

// Steps until `done` holds (checked after each step) or `maxSteps` pass.
// Returns the steps taken; fails the test if the program counter leaves
// program memory.
uint64_t runUntil(Machine& machine, const std::function<bool(const Machine&)>& done,
                  uint64_t maxSteps);

// Steps `count` times (fails the test on an out-of-range program counter).
void stepN(Machine& machine, uint64_t count);

// Internal RAM byte / SFR byte (stored value).
inline uint8_t ram(const Machine& machine, uint8_t address) { return machine.chip.iram[address]; }
inline uint8_t sfrValue(const Machine& machine, uint8_t address) {
    return machine.chip.sfr(address);
}

} // namespace quorvel::test
