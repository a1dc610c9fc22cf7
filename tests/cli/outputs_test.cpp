// The runner's outputs (--trace, --uart-out, --profile, --vcd): a write that
// fails - past a file-size limit, into a pipe whose reader has gone - ends the
// run with a message and exit status 1, which the JSON report states too; an
// output named by one of the process's own streams is written through it, so
// what the shell opened keeps its content; a FIFO nobody reads yet is said
// before it is waited for (after the pseudo-terminal's path); an end-of-run
// save killed halfway leaves the previous file; an output that is one of the
// run's inputs, or that another output names too, is refused untouched.
#include "test_support.h"

using namespace quorvel::support;

TEST(CliOutputs, WriteFailuresStreamsFifosAndRefusedNames) {
    TempDir dir;
    // LOOP: MOV A,#1; SJMP LOOP
    dir.write("spin.hex", ":04000000740180FC0B\n:00000001FF\n");
    // The UART in mode 1 at 31250 baud from timer 1, sending forever.
    dir.write("send.hex", ":14000000759840758920758DFFD28EF5993099FDC29980F7FA\n:00000001FF\n");
    const std::string cli = cliProgram().string();
    // A reader for the FIFO f once the runner says it waits (at most 5 s);
    // the FIFO and the error file of an earlier row go first, or the reader
    // could find that row's message before this runner starts.
    const std::string lateReader =
        "rm -f f err; mkfifo f; (for i in $(seq 100); do grep -q waiting err && break; sleep 0.05; done; cat f) "
        ">/dev/null 2>&1 & ";
    const std::string sayErr = " 2>err; s=$?; cat err >&2; exit $s";
    const std::string twoLines = "         0  0000  74 01     MOV    A,#01            A=01 PSW=01 SP=07 DPTR=0000\n"
                                 "         1  0002  80 FC     SJMP   0000             A=01 PSW=01 SP=07 DPTR=0000\n";
    const struct {
        const char* what;
        std::string command; // run by bash in the folder
        int status;
        const char* message = ""; // on standard error
        const char* stop = "";    // in the report
        const char* file = nullptr;
        std::string content = {}; // what `file` holds afterwards
        const char* later = "";   // on standard error after `message`
    } cases[] = {
        {"trace past a 512-byte limit",
         "ulimit -f 1; exec " + cli + " --json --trace t.txt --max-steps 1000000000 spin.hex", 1,
         "t.txt: cannot write", R"("reason":"output-error","exit_status":1)"},
        {"UART output past a 512-byte limit",
         "ulimit -f 1; exec " + cli + " --json --uart-out u.bin --max-cycles 4000000000 send.hex", 1,
         "u.bin: cannot write", "output-error"},
        {"profile past a 0-byte limit", "ulimit -f 0; exec " + cli + " --json --profile p.json --max-steps 9 spin.hex",
         1, "p.json: cannot write", R"("reason":"max-steps","exit_status":1)"},
        {"trace into a pipe whose reader has gone", // SIGPIPE as a shell leaves it, not as the tests do
         "exec env --default-signal=PIPE " + cli + " --json --trace >(head -c 10 >/dev/null) --max-steps 1000000000 spin.hex", 1,
         "cannot write: Broken pipe", R"("reason":"output-error","exit_status":1)"},
        {"standard output closed", "exec " + cli + " --trace t2.txt --dump regs --max-steps 1 spin.hex >&-", 1,
         "standard output: cannot write: Bad file descriptor", "", "t2.txt", twoLines.substr(0, 80)},
        {"trace to /dev/null", "exec " + cli + " --trace /dev/null --max-steps 1000 spin.hex", 3},
        {"trace to /dev/stdout appended to a log",
         "echo old >log; " + cli + " --trace /dev/stdout --dump regs --max-steps 2 spin.hex >>log", 3, "", "",
         "log", "old\n" + twoLines + "[regs]\nPC=0000 A=01 B=00 PSW=01 SP=07 DPTR=0000 R0=00 R1=00 R2=00 R3=00 R4=00 R5=00 R6=00 R7=00\n"},
        {"trace to /proc/self/fd/1 redirected to a file",
         cli + " --trace /proc/self/fd/1 --max-steps 2 --coverage spin.hex >out", 3, "", "", "out",
         twoLines + "coverage: 2 of 2 instructions executed (100.0 %)\n"},
        {"trace to /dev/fd/2 appended to a log",
         "echo old >log2; " + cli + " --trace /dev/fd/2 --max-steps 2 spin.hex 2>>log2", 3, "", "", "log2",
         "old\n" + twoLines + "quorvel-cli: step limit reached (2 instructions)\n"},
        {"profile killed halfway",
         "echo old >p2.json; mkfifo t; " + cli + " --trace t --profile p2.json --max-steps 1000000000 spin.hex & "
         "exec 3<t; head -c 1 <&3 >/dev/null; kill -9 $!; wait $!; exit 0", 0, "", "", "p2.json", "old\n"},
        {"trace to a FIFO read late", lateReader + cli + " --trace f --max-steps 2 spin.hex" + sayErr, 3,
         "f: waiting for a reader of the FIFO"},
        {"a FIFO read late with a pseudo-terminal",
         lateReader + cli + " --uart-pty --trace f --max-steps 2 spin.hex" + sayErr, 3, "uart-pty: /dev/",
         "", nullptr, {}, "f: waiting for a reader"},
        {"the program named as the trace", "exec " + cli + " --trace spin.hex --max-steps 10 spin.hex", 1,
         "cannot be one of the run's input files"},
        {"the program named as the profile", "exec " + cli + " --profile spin.hex --max-steps 10 spin.hex", 1,
         "cannot be one of the run's input files"},
        {"two outputs naming one file",
         "echo old >both; exec " + cli + " --trace both --vcd ./both --max-steps 9 spin.hex", 1,
         "--trace and --vcd name the same file ('./both')", "", "both", "old\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runProcess(dir.path, "bash", {"-c", c.command});
        EXPECT_EQ(r.status, c.status) << r.output();
        const size_t said = r.err.find(c.message);
        EXPECT_NE(said, std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.later, said == std::string::npos ? 0 : said), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.stop), std::string::npos) << r.out;
        if (c.file) { EXPECT_EQ(dir.read(c.file), c.content); }
    }
    EXPECT_EQ(dir.read("spin.hex"), ":04000000740180FC0B\n:00000001FF\n");
}
