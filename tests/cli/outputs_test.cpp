// The runner's outputs (--trace, --uart-out): a write that fails - here past
// a file-size limit - ends the run at once (long before its limit) with a
// message and exit status 1, never a good status; any writable target works,
// /dev/null among them; an output that is one of the run's inputs is
// refused before anything is touched.
#include "test_support.h"

using namespace quorvel::support;

TEST(CliOutputs, WriteFailuresTargetsAndInputsNamedAsOutputs) {
    TempDir dir;
    // LOOP: MOV A,#1; SJMP LOOP
    dir.write("spin.hex", ":04000000740180FC0B\n:00000001FF\n");
    // The UART in mode 1 at 31250 baud from timer 1, sending forever.
    dir.write("send.hex", ":14000000759840758920758DFFD28EF5993099FDC29980F7FA\n:00000001FF\n");
    const std::string cli = cliProgram().string();
    const struct {
        const char* what;
        std::string command;
        int status;
        const char* message; // on standard error (every text contains "")
        const char* stop = ""; // the reason in the report
    } cases[] = {
        {"trace past a 512-byte limit",
         "ulimit -f 1; exec " + cli + " --json --trace t.txt --max-steps 1000000000 spin.hex", 1,
         "t.txt: cannot write", "output-error"},
        {"UART output past a 512-byte limit",
         "ulimit -f 1; exec " + cli + " --json --uart-out u.bin --max-cycles 4000000000 send.hex", 1,
         "u.bin: cannot write", "output-error"},
        {"trace to /dev/null", "exec " + cli + " --trace /dev/null --max-steps 1000 spin.hex", 3, ""},
        {"trace to standard error", "exec " + cli + " --trace /dev/stderr --max-steps 5 spin.hex", 3, "SJMP"},
        {"the program named as the trace", "exec " + cli + " --trace spin.hex --max-steps 10 spin.hex", 1,
         "cannot be one of the run's input files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runProcess(dir.path, "sh", {"-c", c.command});
        EXPECT_EQ(r.status, c.status) << r.output();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.stop), std::string::npos) << r.out;
    }
    EXPECT_EQ(dir.read("spin.hex"), ":04000000740180FC0B\n:00000001FF\n");
}
