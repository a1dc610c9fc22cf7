// Shared by the demonstration tests: a machine set up for one device at
// 12 MHz with a demonstration's module settings and program loaded from the
// build's DemoPrograms folder, the way the Demo menu loads them, and the
// devices whose Demo menu offers each entry.
#pragma once

#include "machine/machine.h"
#include "modules/led_display.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace demotest {

// Demo menu entries: 1-11 the demo programs, 12-14 Projects 1-3.
std::vector<quorvel::DeviceKind> devicesOffering(int entry);

// "Demo1" ... "Project3" loaded into a fresh machine of that kind. Fails the
// current test (and returns false) when a file is missing or does not load.
bool loadDemo(quorvel::Machine& machine, quorvel::DeviceKind kind, const std::string& name);

// Runs `check` on a machine of every device offering Demo menu entry `entry`
// with `name` loaded (each under a trace naming the device).
void forEachDevice(int entry, const std::string& name,
                   const std::function<void(quorvel::Machine&)>& check);

// Runs whole instructions until at least `cycles` machine cycles have passed;
// `each` (when given) is called after every instruction. False when the
// program left program memory.
bool runCycles(quorvel::Machine& machine, uint32_t cycles,
               const std::function<void()>& each = {});

// What the LED window would show now (during a free run).
quorvel::LedEvaluation leds(quorvel::Machine& machine, quorvel::LedDigitMemory& memory);
// The point LEDs lit on P1, as a byte (bit n = P1.n).
uint8_t litOnP1(quorvel::Machine& machine);
// The digit a seven-segment pattern shows (segments a-g lit as in
// `kBcdSegments`, the dot point ignored), or -1.
int digitOf(quorvel::SegmentPattern pattern);
// The digits as text ("12.34.56"): each digit, '?' for a pattern that is no
// digit, and '.' after one whose dot point is lit.
std::string digitsText(const quorvel::LedEvaluation& e);

const char* deviceName(quorvel::DeviceKind kind);

} // namespace demotest
