// quorvel-cli run as a process on programs made at test time: an SDCC C
// program printing over the UART, an LCD program and an IIC EEPROM program
// wired by a module-settings file, a key-reading program fed with --pin, and
// an echo program fed with --uart-in. Checks output, dumps, JSON and exit
// status.
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

TEST_F(CliProgram, SdccProgramPrintsOverTheUartAndHalts) {
    ASSERT_TRUE(compileC(dir.path, "sum", R"(
#include <8052.h>
#include <stdio.h>
int putchar(int c) { SBUF = c; while (!TI); TI = 0; return c; }
void main(void) {
    unsigned int sum = 0;
    unsigned char i;
    SCON = 0x50; TMOD = 0x20; TH1 = 0xFD; TR1 = 1;
    for (i = 1; i <= 10; i++) sum += i * i;
    printf_tiny("sum=%u\n", sum);
    while (1);
}
)"));
    ProcessResult r = runCli({"--halt-on-self-jump", "--uart-out", "-", "sum.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sum=385\n");

    // The same run into a file, with the JSON report on standard output.
    r = runCli({"--halt-on-self-jump", "--uart-out", "uart.txt", "--json", "--dump", "uart", "sum.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("uart.txt"), "sum=385\n");
    EXPECT_NE(r.out.find(R"("stop":{"reason":"halt","exit_status":0)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("text":"sum=385\u000A")"), std::string::npos) << r.out;
}

TEST_F(CliProgram, StopConditionsGiveTheirExitStatusAndTheSameMachine) {
    ASSERT_TRUE(as31Hex(dir.path, "hello", kHello));
    // Halting waits for the last byte to leave the transmitter.
    ProcessResult halt = runCli({"--halt-on-self-jump", "--uart-out", "-", "--dump", "iram", "hello.hex"});
    EXPECT_EQ(halt.status, 0);
    EXPECT_EQ(halt.out.substr(0, 10), "Hello, CI\n");
    EXPECT_NE(halt.out.find("[iram]\n0000:"), std::string::npos);
    EXPECT_NE(halt.out.find("0030: 42 00"), std::string::npos) << halt.out;

    // A breakpoint on the marker byte, then the same as run-to-address.
    ProcessResult brk = runCli({"--break", "iram:30=42", "--json", "--dump", "regs", "hello.hex"});
    EXPECT_EQ(brk.status, 0);
    EXPECT_NE(brk.out.find(R"("reason":"breakpoint")"), std::string::npos) << brk.out;
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
    EXPECT_NE(batch.out.find(R"("reason":"max-steps","exit_status":3)"), std::string::npos);
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

TEST_F(CliProgram, TraceHasOneLinePerInstruction) {
    ASSERT_TRUE(as31Hex(dir.path, "hello", kHello));
    ProcessResult r = runCli({"--max-steps", "6", "--trace", "trace.txt", "hello.hex"});
    EXPECT_EQ(r.status, 3);
    const std::string trace = dir.read("trace.txt");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 6);
    // cycles before, PC, bytes, disassembly, registers after
    EXPECT_EQ(trace.substr(0, trace.find('\n')),
              "         0  0000  75 98 50  MOV    SCON,#50         A=00 PSW=00 SP=07 DPTR=0000");
    EXPECT_NE(trace.find("   7  000B  90 00 21  MOV    DPTR,#0021       A=00 PSW=00 SP=07 DPTR=0021"),
              std::string::npos)
        << trace;
}

TEST_F(CliProgram, PinSettingsFeedAKeyReadingProgram) {
    // Keys on P1 pull their line low; the program stores the number of the
    // lowest pressed key (0xFF for none) at 30H and sends it as a digit.
    ASSERT_TRUE(as31Hex(dir.path, "keys", kUartSetup + R"(
        mov a, p1
        mov r2, #0
scan:   rrc a
        jnc found
        inc r2
        cjne r2, #8, scan
        mov r2, #0xFF
        sjmp report
found:  mov a, r2
        add a, #0x30
        mov sbuf, a
report: mov 0x30, r2
wait:   jnb ti, wait
park:   sjmp park
)"));
    // Every line reads 0 unless set otherwise: with all of them at 1 but
    // P1.5 the program finds key 5.
    std::vector<std::string> args{"--halt-on-self-jump", "--uart-out", "-", "--dump", "uart"};
    for (int bit = 0; bit < 8; ++bit)
        args.insert(args.begin(), {"--pin", "P1." + std::to_string(bit) + (bit == 5 ? "=0" : "=1")});
    args.push_back("keys.hex");
    ProcessResult r = runCli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "5[uart]\ntransmitted: 1 bytes \"5\"\nreceived: 0 bytes \"\"\n");

    // "nc" lines read their own latch (1 after reset): no key at all.
    r = runCli({"--max-steps", "200", "--pin", "p1.0=nc", "--pin", "P1.1=NC", "--pin", "P1.2=nc",
                     "--pin", "P1.3=nc", "--pin", "P1.4=nc", "--pin", "P1.5=nc", "--pin", "P1.6=nc",
                     "--pin", "P1.7=nc", "--break", "iram:30=FF", "keys.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
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
    ProcessResult r = runCli({"--halt-on-self-jump", "--uart-in", "in.bin", "--uart-out", "-", "echo.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "IBM");
    // From standard input, in the batch loop (only a step limit).
    r = runCli({"--max-steps", "20000", "--uart-in", "-", "--uart-out", "-", "echo.hex"}, "abc");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "bcd");
}

TEST_F(CliProgram, LcdProgramWiredByAModuleSettingsFile) {
    // RS P2.0, R/W P2.1, E P2.2, D0-D7 on P1; 2 lines x 16, 8-bit bus.
    ModuleSettings settings;
    settings.LcdPins = {0x20, 0x21, 0x22, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    settings.LcdOptions = 1;
    ASSERT_FALSE(WriteModuleSettings(dir.path / "lcd.mst", settings));
    ASSERT_TRUE(as31Hex(dir.path, "lcd", R"(
        mov r0, #0x38
        acall cmd
        mov r0, #0x0C
        acall cmd
        mov r0, #0x06
        acall cmd
        mov r0, #0x80
        acall cmd
        mov dptr, #line1
        acall text
        mov r0, #0xC0
        acall cmd
        mov dptr, #line2
        acall text
park:   sjmp park
cmd:    clr p2.0
        sjmp write
dat:    setb p2.0
write:  clr p2.1
        mov p1, r0
        setb p2.2
        clr p2.2
        mov r6, #40
busy:   djnz r6, busy
        ret
text:   clr a
        movc a, @a+dptr
        jz tdone
        mov r0, a
        acall dat
        inc dptr
        sjmp text
tdone:  ret
line1:  .db "Quorvel LCD", 0
line2:  .db "line two", 0
)"));
    ProcessResult r = runCli({"--modules", "lcd.mst", "--halt-on-self-jump", "--dump", "lcd", "lcd.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[lcd]\nQuorvel LCD     \nline two        \n");
    r = runCli({"--modules", "lcd.mst", "--halt-on-self-jump", "--json", "--dump", "lcd", "lcd.hex"});
    EXPECT_NE(r.out.find(R"("lcd":["Quorvel LCD     ","line two        "])"), std::string::npos) << r.out;
}

TEST_F(CliProgram, IicProgramWritesTheSerialEeprom) {
    ModuleSettings settings;
    settings.iic = {kIicEnableBus, 0, 0, kEepromConnected, uint8_t(IicEepromType::AT24C02), 0x16, 0x17};
    ASSERT_FALSE(WriteModuleSettings(dir.path / "iic.mst", settings));
    // Start, device A0, word address 10H, data 5AH and C3H, stop; then
    // parks. SCL P1.6, SDA P1.7.
    ASSERT_TRUE(as31Hex(dir.path, "iic", R"(
        .equ SCL, 0x96
        .equ SDA, 0x97
        setb SDA
        setb SCL
        clr SDA
        clr SCL
        mov a, #0xA0
        acall wbyte
        mov a, #0x10
        acall wbyte
        mov a, #0x5A
        acall wbyte
        mov a, #0xC3
        acall wbyte
        clr SDA
        setb SCL
        setb SDA
park:   sjmp park
wbyte:  mov r7, #8
wby1:   rlc a
        mov SDA, c
        setb SCL
        clr SCL
        djnz r7, wby1
        setb SDA
        setb SCL
        mov c, SDA
        clr SCL
        jnc acked
        inc 0x31
acked:  ret
)"));
    ProcessResult r = runCli({"--modules", "iic.mst", "--halt-on-self-jump", "--json", "--dump",
                             "iic-eeprom", "--dump", "iram", "iic.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    // 16 erased bytes, then the two written ones.
    EXPECT_NE(r.out.find(R"("iic-eeprom":{"type":"AT24C02","start":0,"bytes":[255,)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("255,255,90,195,255"), std::string::npos) << r.out;
    ProcessResult text = runCli({"--modules", "iic.mst", "--halt-on-self-jump", "--dump", "iic-eeprom", "iic.hex"});
    EXPECT_NE(text.out.find("[iic-eeprom AT24C02]\n0000: FF"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("0010: 5A C3 FF"), std::string::npos) << text.out;
}

TEST_F(CliProgram, PointLedsShowThePortLatches) {
    // LEDs on P1.0-P1.3, lit at level 0.
    ModuleSettings settings;
    settings.LedConnected = {0x00, 0x0F, 0x00, 0x00};
    ASSERT_FALSE(WriteModuleSettings(dir.path / "leds.mst", settings));
    ASSERT_TRUE(as31Hex(dir.path, "leds", "        mov p1, #0xFA\npark:   sjmp park\n"));
    ProcessResult r = runCli({"--modules", "leds.mst", "--halt-on-self-jump", "--dump", "leds", "leds.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[leds]\npoints: P1.0=1 P1.1=0 P1.2=1 P1.3=0\ndigits: \"\"\nsegments:\n");
}

} // namespace
