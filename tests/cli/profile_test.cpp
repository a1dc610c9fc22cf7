// quorvel-cli --profile and --coverage: the counters per address in the
// JSON file, the coverage line and never-executed ranges in the text and
// JSON reports, and the output-file rules for the profile (an input named
// as the profile is refused untouched; a write that fails ends with status 1).
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel::support;

namespace {

// A counted loop, a JZ never taken, a byte table, and a timer 0 handler
// never enabled (the core test's program).
const std::string kBranchProgram = R"(
        .org 0
        ljmp main
        .org 0x0b
        ljmp t0isr
        .org 0x30
main:   mov r7, #3
loop:   djnz r7, loop
        mov a, #1
        jz zero
        inc r0
done:   sjmp done
zero:   mov r1, #5
        sjmp done
table:  .db 0x12, 0x34
t0isr:  cpl p1.0
        reti
)";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(CliProfile, ProfileFileAndCoverageReports) {
    TempDir dir;
    ASSERT_TRUE(as31Hex(dir.path, "branch", kBranchProgram));
    const std::string cli = cliProgram().string();

    ProcessResult r = runProcess(dir.path, cli, {"--profile", "p.json", "--coverage", "--max-steps", "12", "branch.hex"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "coverage: 7 of 12 instructions executed (58.3 %)\n"
                     "never executed: 000BH-000DH\n"
                     "never executed: 003BH-003EH\n"
                     "never executed: 0041H-0043H\n");
    const std::string profile = dir.read("p.json");
    for (const char* row : {R"({"executions":12,"cycles":21,"vectoring_cycles":0,)",
                            R"("coverage":{"instructions":12,"executed":7,"percent":58.3,)",
                            R"({"address":50,"executions":3,"cycles":6,"instruction":"DJNZ   R7,0032"})",
                            R"({"address":57,"executions":4,"cycles":8,"instruction":"SJMP   0039"}]})"})
        EXPECT_TRUE(contains(profile, row)) << row << "\n" << profile;
    EXPECT_FALSE(contains(profile, R"("address":59,)")) << profile;

    r = runProcess(dir.path, cli, {"--json", "--coverage", "--max-steps", "12", "branch.hex"});
    EXPECT_TRUE(contains(r.out, R"("coverage":{"instructions":12,"executed":7,"percent":58.3,)"
                                R"("never_executed":[{"first":11,"last":13},{"first":59,"last":62},)"
                                R"({"first":65,"last":67}]}})"))
        << r.out;
}

TEST(CliProfile, ProfileOutputFollowsTheOutputFileRules) {
    TempDir dir;
    ASSERT_TRUE(as31Hex(dir.path, "branch", kBranchProgram));
    const std::string hex = dir.read("branch.hex");
    const std::string cli = cliProgram().string();
    const struct {
        const char* what;
        std::string command;
        int status;
        const char* message;
    } cases[] = {
        {"the program named as the profile", cli + " --profile branch.hex --max-steps 10 branch.hex", 1,
         "cannot be one of the run's input files"},
        {"a profile in a missing folder", cli + " --profile no/p.json --max-steps 10 branch.hex", 1,
         "no/p.json: "},
        {"a profile past a 512-byte limit", "ulimit -f 1; exec " + cli + " --profile big.json --max-steps 10 branch.hex",
         1, "big.json: cannot write"},
        {"a profile to standard output", cli + " --profile - --max-steps 10 branch.hex", 3, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runProcess(dir.path, "sh", {"-c", c.command});
        EXPECT_EQ(r.status, c.status) << r.output();
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    }
    EXPECT_EQ(dir.read("branch.hex"), hex);
}
