// Reading the assembler's output: where a message line points, and whether
// an output file was written by this run.
#include "tools/assembler_messages.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(AssemblerMessages, LocationOfMessageLines) {
    struct Case {
        const char* text;
        const char* file; // nullptr: no location
        int line;
    };
    const Case cases[] = {
        {"blink.asm(12): unknown mnemonic MOVE", "blink.asm", 12},
        {"blink.asm(3): warning: value truncated", "blink.asm", 3},
        {"*** my prog.asm(7): undefined symbol LOOP", "my prog.asm", 7},
        {"lib(v2).inc(40): missing operand", "lib(v2).inc", 40},
        {"blink.asm(0): cannot open", nullptr, 0},
        {"blink.asm(x1): text", nullptr, 0},
        {"(5): no file", nullptr, 0},
        {"blink.asm: 1 error, 0 warnings", nullptr, 0},
        {"0003 74 01    MOV A,#1", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto at = messageLocation(c.text);
        ASSERT_EQ(at.has_value(), c.file != nullptr);
        if (!at) continue;
        EXPECT_EQ(at->file, c.file);
        EXPECT_EQ(at->line, c.line);
    }
}

TEST(AssemblerMessages, OutputWrittenDuringRun) {
    const int64_t start = 1'700'000'000'500; // half a second into a second
    struct Case {
        std::optional<int64_t> before, after;
        bool fresh;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, false},         // never written
        {start - 60'000, std::nullopt, false},       // removed by the run
        {start - 60'000, start - 60'000, false},     // left from an earlier run
        {std::nullopt, start - 60'000, true},        // new, with an odd clock
        {start - 60'000, start + 20, true},          // rewritten
        {start - 400, start - 400, true},            // coarse time, same second
        {start - 600, start - 600, false},           // the second before
    };
    for (const Case& c : cases)
        EXPECT_EQ(writtenDuringRun(c.before, c.after, start), c.fresh)
            << (c.before ? *c.before - start : -1) << " " << (c.after ? *c.after - start : -1);
}

} // namespace
} // namespace quorvel
