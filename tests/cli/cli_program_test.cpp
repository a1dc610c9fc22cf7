// quorvel-cli run as a process on programs made at test time: a program
// printing over the UART, a port read fed with --pin, an echo program fed
// with --uart-in, and demonstrations and an IIC EEPROM wired by settings
// files. Checks output, dumps, JSON and exit status.
#include "test_support.h"

#include "modules/module_settings.h"
#include "settings/module_settings_file.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::support;

namespace {

struct CliProgram : testing::Test {
    TempDir dir;
    ProcessResult runCli(const std::vector<std::string>& args,
                         const std::optional<std::string>& input = std::nullopt) {
        return runProcess(dir.path, cliProgram(), args, input);
    }
};

// Mode 1 at 9600 baud (11.0592 MHz) or 10417 baud (12 MHz), timer 1 reloading FDH.
const std::string kUartSetup = R"(
        mov scon, #0x50
        mov tmod, #0x20
        mov th1, #0xFD
        setb tr1
)";

// Prints the text at `msg` over the UART in mode 1, then parks.
const std::string kHello = kUartSetup + R"(
        mov dptr, #msg
next:   clr a
        movc a, @a+dptr
        jz done
        mov sbuf, a
wait:   jnb ti, wait
        clr ti
        inc dptr
        sjmp next
done:   mov 0x30, #0x42
park:   sjmp park
msg:    .db "Hello, CI", 10, 0
)";

TEST_F(CliProgram, StopConditionsGiveTheirExitStatusAndTheSameMachine) {
    ASSERT_TRUE(as31Hex(dir.path, "hello", kHello));
    // Halting waits for the last byte to leave the transmitter.
    ProcessResult halt = runCli({"--halt-on-self-jump", "--uart-out", "uart.txt", "--json", "--dump", "uart",
                                 "hello.hex"});
    EXPECT_EQ(halt.status, 0);
    EXPECT_EQ(dir.read("uart.txt"), "Hello, CI\n");
    EXPECT_NE(halt.out.find(R"("stop":{"reason":"halt","exit_status":0)"), std::string::npos) << halt.out;
    EXPECT_NE(halt.out.find(R"("text":"Hello, CI\n")"), std::string::npos) << halt.out;

    // A breakpoint on the marker byte, then the same as run-to-address.
    ProcessResult brk = runCli({"--break", "iram:30=42", "--json", "--dump", "regs", "hello.hex"});
    EXPECT_EQ(brk.status, 0);
    EXPECT_NE(brk.out.find(R"("condition":"Break if Int Mem (30H) = 42H")"), std::string::npos) << brk.out;
    // park: is at 001FH.
    ProcessResult until = runCli({"--until-pc", "1F", "--max-cycles", "100000", "--json", "hello.hex"});
    EXPECT_EQ(until.status, 0);
    EXPECT_NE(until.out.find(R"("reason":"until-pc","exit_status":0,"pc":31)"), std::string::npos) << until.out;

    // Limits: exit status 3. The batch loop (limit only) and the step loop
    // (a breakpoint that never holds) leave the same machine behind.
    ProcessResult batch = runCli({"--max-steps", "150", "--json", "--dump", "regs", "--dump", "sfr", "hello.hex"});
    ProcessResult stepped = runCli({"--max-steps", "150", "--break", "reg:B=77", "--json", "--dump", "regs",
                                   "--dump", "sfr", "hello.hex"});
    EXPECT_EQ(batch.status, 3);
    EXPECT_EQ(stepped.status, 3);
    EXPECT_NE(batch.out.find(R"("instructions":150,)"), std::string::npos) << batch.out;
    EXPECT_EQ(batch.out, stepped.out);
    EXPECT_NE(batch.err.find("step limit reached"), std::string::npos);

    ProcessResult cycles = runCli({"--max-cycles", "101", "--json", "hello.hex"});
    EXPECT_EQ(cycles.status, 3);
    // The run ends at the first instruction boundary at or past the limit.
    const size_t at = cycles.out.find(R"("cycles":)");
    ASSERT_NE(at, std::string::npos);
    const int counted = std::stoi(cycles.out.substr(at + 9));
    EXPECT_GE(counted, 101);
    EXPECT_LE(counted, 104);
}

// An interrupt taken after an instruction: that line shows the registers the
// instruction left, the vectoring a line of its own. (The plain lines: the
// outputs' tests.)
TEST_F(CliProgram, TraceHasOneLinePerInstructionAndOnePerVectoring) {
    ASSERT_TRUE(as31Hex(dir.path, "tick", R"(
        ljmp start
        .org 0x0B
        inc r1
        reti
start:  mov tmod, #2
        mov th0, #0xFC
        mov tl0, #0xFC
        setb et0
        setb ea
        setb tr0
loop:   sjmp loop
)"));
    const ProcessResult r = runCli({"--max-steps", "11", "--trace", "-", "tick.hex"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "         0  0000  02 00 0D  LJMP   000D             A=00 PSW=00 SP=07 DPTR=0000\n");
    EXPECT_NE(r.out.find("        13  001C  80 FE     SJMP   001C             A=00 PSW=00 SP=07 DPTR=0000\n"
                         "        15  001C            interrupt to 000B       A=00 PSW=00 SP=09 DPTR=0000\n"
                         "        17  000B  09        INC    R1               A=00 PSW=00 SP=09 DPTR=0000\n"),
              std::string::npos)
        << r.out;
}

TEST_F(CliProgram, PinSettingsAreWhatThePortReads) {
    // MOV A,P1; SJMP $. Lines not set read their latch, 1.
    dir.write("keys.hex", ":04000000E59080FE09\n:00000001FF\n");
    const ProcessResult r = runCli({"--pin", "P1.5=0", "--pin", "P1.2=0", "--halt-on-self-jump", "--dump", "regs", "keys.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 20), "[regs]\nPC=0002 A=DB ") << r.out;
}

TEST_F(CliProgram, UartInputIsSentByteByByte) {
    // Echoes every byte received, plus one, until it receives a zero.
    ASSERT_TRUE(as31Hex(dir.path, "echo", kUartSetup + R"(
loop:   jnb ri, loop
        clr ri
        mov a, sbuf
        jz park
        inc a
        mov sbuf, a
wait:   jnb ti, wait
        clr ti
        sjmp loop
park:   sjmp park
)"));
    dir.write("in.bin", std::string("HAL\0", 4));
    ProcessResult r = runCli({"--halt-on-self-jump", "--uart-in", "in.bin", "--uart-out", "-", "--dump", "uart", "echo.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "IBM[uart]\ntransmitted: 3 bytes \"IBM\"\nreceived: 4 bytes \"HAL\\x00\"\n");
    // From standard input, in the batch loop (only a step limit).
    r = runCli({"--max-steps", "20000", "--uart-in", "-", "--uart-out", "-", "echo.hex"}, "abc");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "bcd");
}

// The demonstrations' settings files wire the parts that --dump shows.
TEST_F(CliProgram, DemoModuleSettingsWireTheDumpedParts) {
    const fs::path demos = fs::path(QUORVEL_BUILD_DIR) / "DemoPrograms";
    const struct {
        const char* demo;
        const char* dump;
        const char* cycles;
        std::string shown;
    } cases[] = {
        {"Demo3", "lcd", "120000",
         "[lcd]\n  Quorvel Simulator \n 8051 Family Demo 3 \n4 Lines X 20 Chars  \nLCD Module Message  \n"},
        {"Demo1", "leds", "1000", "[leds]\npoints: P1.0=1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.demo);
        const ProcessResult r = runCli({"--modules", (demos / (std::string(c.demo) + ".MST")).string(), "--max-cycles",
                                        c.cycles, "--dump", c.dump, (demos / (std::string(c.demo) + ".HEX")).string()});
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_EQ(r.out.substr(0, c.shown.size()), c.shown);
    }
}

// The serial EEPROM's dump takes its type and size from the settings file
// (the bus itself: the modules' tests).
TEST_F(CliProgram, IicEepromDumpFollowsTheSettingsFile) {
    ModuleSettings settings;
    settings.iic = {kIicEnableBus, 0, 0, kEepromConnected, uint8_t(IicEepromType::AT24C02), 0x16, 0x17};
    ASSERT_FALSE(WriteModuleSettings(dir.path / "iic.mst", settings));
    dir.write("park.hex", ":0200000080FE80\n:00000001FF\n");
    const ProcessResult r = runCli({"--modules", "iic.mst", "--halt-on-self-jump", "--json", "--dump", "iic-eeprom", "park.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string erased;
    for (int i = 0; i < 256; ++i) erased += i ? ",255" : "255";
    EXPECT_NE(r.out.find(R"("iic-eeprom":{"type":"AT24C02","start":0,"bytes":[)" + erased + "]"), std::string::npos) << r.out;
}

} // namespace
