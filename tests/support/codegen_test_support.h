// Shared by the code-generation tests: generated text joined with a small
// main routine, assembled in memory by asm51's engine into a `Machine` whose
// port lines float (each line reads its latch until a part drives it).
#pragma once

#include "test_support.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace codegentest {

using quorvel::support::runTo;

struct Program {
    bool ok = false;
    std::string messages;                   // every message of the assembly
    std::map<std::string, uint16_t> labels; // user symbols by upper-case name
};

// Assembles `main`, the `generated` routines and an END, and copies the
// image into the machine's program memory.
Program assembleInto(quorvel::Machine& machine, const std::string& main, const std::string& generated);

// Whether the generated routines assemble on their own, without an error or
// a warning: every routine they call is there, and none is there twice.
testing::AssertionResult assembles(const std::string& generated);

// Whether `text` holds every one of `parts`, each run of blanks and tabs
// taken as one space (the templates align their columns with tabs).
testing::AssertionResult containsAll(const std::string& text, std::initializer_list<std::string> parts);

// A machine with `kind` at `frequencyHz`, every port line "NC".
quorvel::Machine makeMachine(quorvel::DeviceKind kind, uint32_t frequencyHz);

// `count` port lines from `first` on, and two wirings one after the other.
std::vector<quorvel::PinRef> range(quorvel::PinRef first, int count);
std::vector<quorvel::PinRef> operator+(std::vector<quorvel::PinRef> a, const std::vector<quorvel::PinRef>& b);

} // namespace codegentest
