// Shared by the code-generation tests: the generated text joined with a
// small main routine, assembled in memory by asm51's own engine and loaded
// into a `Machine` whose port lines float (every line reads its latch until a
// part drives it).
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

// Assembles `source` (CR LF or LF lines) and copies the image into the
// machine's program memory; the second form assembles `main` followed by the
// `generated` routines and an END.
Program assembleInto(quorvel::Machine& machine, const std::string& source);
Program assembleInto(quorvel::Machine& machine, const std::string& main,
                     const std::string& generated);

// Whether `text` holds `part`, each run of blanks and tabs taken as one
// space on both sides (the templates align their columns with tabs).
bool contains(const std::string& text, const std::string& part);
// Whether `text` holds every one of `parts` (as `contains` matches them);
// a failure names the first part missing and shows the text.
testing::AssertionResult containsAll(const std::string& text,
                                     std::initializer_list<std::string> parts);

// A machine with `kind` at `frequencyHz`, every port line "NC".
quorvel::Machine makeMachine(quorvel::DeviceKind kind, uint32_t frequencyHz);

// runTo(machine, address, budget) fails the test with the reason; this form
// hands the reason back in `why` instead.
bool runTo(quorvel::Machine& machine, uint16_t address, long budget, std::string& why);

// `count` port lines from `first` on (PinRef values), and two lists of lines
// one after the other: the wirings the tests set up.
std::vector<quorvel::PinRef> range(quorvel::PinRef first, int count);
std::vector<quorvel::PinRef> operator+(std::vector<quorvel::PinRef> a,
                                       const std::vector<quorvel::PinRef>& b);

} // namespace codegentest
