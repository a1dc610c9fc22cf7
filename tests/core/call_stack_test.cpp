// The call stack the execution loop keeps: calls, returns and interrupts as
// the program makes them, also when it moves its return addresses itself.
#include "core_test_support.h"
#include "machine/call_stack.h"

#include <cstdio>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The frames innermost first: the entry address, "!" before an
// interrupt's vector, "?" after a frame whose return address is gone.
std::string framesText(const CallStack& calls, const ChipState& chip) {
    std::string text;
    for (const FrameView& v : calls.frames(chip)) {
        char one[16];
        std::snprintf(one, sizeof one, "%s%s%04X%s", text.empty() ? "" : " ",
                      v.frame.interrupt ? "!" : "", v.frame.entry, v.known ? "" : "?");
        text += one;
    }
    return text;
}

} // namespace

TEST(CallStack, FollowsCallsReturnsAndInterruptsAsTheProgramRuns) {
    const struct {
        const char* name;
        const char* source; // stops on its first jump to itself
        const char* frames;
        uint32_t resyncs;
    } cases[] = {
        {"nested calls, returned from, then another", R"(
        .org 0
        lcall f
        lcall h
        .org 0x100
f:      acall g
        ret
        .org 0x180
g:      ret
        .org 0x200
h:      acall k
        .org 0x280
k:      sjmp k
)", "0280 0200", 0},
        {"a recursive function four deep", R"(
        .org 0
        mov r7, #4
        lcall rec
        .org 0x100
rec:    djnz r7, deeper
        sjmp rec_base
deeper: acall rec
        ret
rec_base: sjmp rec_base
)", "0100 0100 0100 0100", 0},
        {"an interrupt taken inside a call", R"(
        .org 0
        ljmp main
        .org 0x0b
        ljmp isr
        .org 0x30
main:   mov tmod, #0x02
        mov th0, #0xf0
        mov tl0, #0xf0
        setb tr0
        mov ie, #0x82
        lcall f
        .org 0x100
f:      nop
        sjmp f
        .org 0x180
isr:    sjmp isr
)", "!000B 0100", 0},
        {"a function that pops its return address", R"(
        .org 0
        lcall f
        .org 0x100
f:      pop acc
        pop acc
here:   sjmp here
)", "0100?", 0},
        {"a popped return address, then a new call in its place", R"(
        .org 0
        lcall f
        .org 0x100
f:      pop acc
        pop acc
        lcall g
        .org 0x180
g:      sjmp g
)", "0180", 1},
        {"a return through a pushed address stays in its frame", R"(
        .org 0
        lcall f
        .org 0x100
f:      mov a, #0x10
        push acc
        mov a, #0x01
        push acc
        ret
        .org 0x110
        sjmp 0x110
)", "0100", 0},
        {"an interrupt handler that returns, then a return to the top", R"(
        .org 0
        ljmp main
        .org 0x0b
        reti
        .org 0x30
main:   mov tmod, #0x02
        mov th0, #0xf0
        mov tl0, #0xf0
        setb tr0
        mov ie, #0x82
        lcall f
top:    sjmp top
        .org 0x100
f:      mov r7, #100
wait:   djnz r7, wait
        ret
)", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m = assembledMachine(c.source);
        CallStack calls;
        m.callStack = &calls;
        runToHalt(m, 100000);
        EXPECT_EQ(framesText(calls, m.chip), c.frames);
        EXPECT_EQ(calls.resyncs(), c.resyncs);
    }
}
