// C programs compiled with SDCC at test time (sources in
// tests/data/firmware) run on a machine and are judged by what they print
// over the UART: integer and floating-point arithmetic with printf, a timer
// interrupt in its own register bank, the large memory model, decimal
// arithmetic and serial timing as the real chip gives them. (Free runs
// against single steps: executor_paths_test.cpp.)
#include "core_test_support.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Compiles the program (SDCC, small model unless `flags` say otherwise) onto
// an AT89C52 at 11.0592 MHz.
Machine firmwareMachine(const std::string& name, const std::vector<std::string>& flags = {}) {
    const std::string source = support::readFile(std::string(QUORVEL_TEST_DATA) + "/firmware/" + name);
    EXPECT_FALSE(source.empty()) << name;
    support::TempDir dir;
    EXPECT_TRUE(support::compileC(dir.path, "program", source, flags));
    Machine m = makeMachine(DeviceKind::AT89C52, 11059200);
    loadCode(m, support::readBytes(dir / "program.bin"));
    return m;
}

// Free-runs (as run control does) until `text` has been printed or the
// step budget is spent.
std::string runUntilPrinted(Machine& m, EventRecorder& events, const std::string& text,
                            uint64_t maxSteps) {
    for (uint64_t done = 0; done < maxSteps; done += 1000) {
        const RunResult result = runSteps(m, 1000);
        EXPECT_FALSE(result.pcOutOfRange);
        if (result.pcOutOfRange || events.transmitted.find(text) != std::string::npos) break;
    }
    return events.transmitted;
}

} // namespace

TEST(Firmware, IntegerAndFloatArithmeticWithPrintf) {
    Machine m = firmwareMachine("arithmetic.c");
    EventRecorder events;
    attach(m, events);
    const std::string out = runUntilPrinted(m, events, "end\n", 5'000'000);
    EXPECT_EQ(out, "i16 -1157 -29482 -16 -2\n"
                   "u16 464 9285\n"
                   "i32 370370367 -1250 539\n"
                   "u8 144 28 1400\n"
                   "f -1.625 -5.500 +3.606 +0.479\n"
                   "hex BEEF 12345678 end\n");
}

TEST(Firmware, TimerInterruptInItsOwnRegisterBank) {
    Machine m = firmwareMachine("timer_ticks.c");
    EventRecorder events;
    attach(m, events);
    const std::string out = runUntilPrinted(m, events, "\n", 1'000'000);
    EXPECT_EQ(out, "sum 2001000 ticks 50 bank 1\n");
    // 50 ticks of 1000 cycles passed before the report.
    EXPECT_GT(m.chip.cycles, 50'000u);
}

TEST(Firmware, LargeModelRecursionAndLibrary) {
    Machine m = firmwareMachine("large_model.c", {"--model-large", "--stack-auto"});
    EventRecorder events;
    attach(m, events);
    const std::string out = runUntilPrinted(m, events, "len 10\n", 5'000'000);
    EXPECT_EQ(out, "-50 -3 0 8 17 17 40 99 \nfib12=144! len 10\n");
}

// Ten bytes back to back at 9600 baud take ten frames of 960 machine
// cycles on the chip (the data book's mode-1 timing).
TEST(Firmware, BcdArithmeticAndSerialTimingAsTheChipPrints) {
    Machine m = firmwareMachine("bcd_timing.c");
    EventRecorder events;
    attach(m, events);
    runToHalt(m);
    const std::string& printed = events.transmitted;
    EXPECT_EQ(printed.substr(0, printed.find("UUUUUUUUUU")),
              "99+64=163 61+99=160 45+55=100 09+01=010 50+49=099 38+27=065 ");
    EXPECT_NE(printed.find("UUUUUUUUUU\nframes 10\n"), std::string::npos) << printed;
}
