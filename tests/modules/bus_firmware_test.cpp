// Firmware against the bus models: 8051 programs (assembled at test time
// with Debian's as31) bit-bang the IIC bus to the AT24C EEPROMs and the
// PCF8583 clock and the SPI bus to an AT25C040, and echo the serial host's
// bytes; the tests check the device memories, what the programs read back
// and the transfer lists.
#include "machine/executor.h"
#include "machine/machine.h"
#include "modules/serial_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

// Assembles `source` with as31 in a fresh temporary folder. Empty when as31
// is missing or fails (the failure text goes to `log`).
std::vector<uint8_t> assemble(const std::string& source, std::string& log) {
    const fs::path dir = fs::temp_directory_path() /
                         ("quorvel-bus-" + std::to_string(::getpid()) + "-" +
                          testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "prog.asm") << source;
    const std::string command =
        "cd '" + dir.string() + "' && as31 -Fbin prog.asm > as31.log 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream logFile(dir / "as31.log");
    std::ostringstream text;
    text << logFile.rdbuf();
    log = text.str();
    std::vector<uint8_t> code;
    if (status == 0) {
        std::ifstream bin(dir / "prog.bin", std::ios::binary);
        code.assign(std::istreambuf_iterator<char>(bin), std::istreambuf_iterator<char>());
    }
    fs::remove_all(dir);
    return code;
}

bool haveAs31() { return std::system("command -v as31 > /dev/null 2>&1") == 0; }

// Forwards the UART's notices to the serial host, as the application does.
struct HostEvents : ChipEvents {
    Machine* machine = nullptr;
    void byteReceived(uint16_t) override {
        serialHostByteReceived(machine->modules.serialHost, machine->chip);
    }
    void byteTransmitted(uint16_t entry) override {
        serialHostByteTransmitted(machine->modules.serialHost, entry);
    }
};

struct Firmware : testing::Test {
    Machine machine;
    HostEvents events;

    void SetUp() override {
        if (!haveAs31()) GTEST_SKIP() << "as31 is not installed";
        fresh();
    }
    void fresh() {
        machine = Machine{};
        DeviceSelection selection; // AT89C2051 at 12 MHz: 1 us per machine cycle
        configureMachine(machine, selection);
        events.machine = &machine;
        machine.chip.events = &events;
    }
    void load(const std::string& source) {
        std::string log;
        const std::vector<uint8_t> code = assemble(source, log);
        ASSERT_FALSE(code.empty()) << log;
        ASSERT_LE(code.size(), machine.chip.code.size());
        std::copy(code.begin(), code.end(), machine.chip.code.begin());
    }
    // Runs until the program counter reaches `label`'s address (the program
    // puts it in `done`), or fails after `budget` instructions.
    void runTo(uint16_t address, long budget) {
        for (long i = 0; i < budget; ++i) {
            if (machine.chip.pc == address) return;
            ASSERT_FALSE(step(machine)) << "program counter left program memory";
        }
        FAIL() << "did not reach " << std::hex << address << ", PC " << machine.chip.pc;
    }
    std::vector<uint8_t> iram(int first, int count) const {
        return {machine.chip.iram.begin() + first, machine.chip.iram.begin() + first + count};
    }
};

// Bit-banged IIC master on P1.6 (SCL) and P1.7 (SDA). The main program is
// at 0; the parking loops sit at fixed addresses so tests can run to them.
const char* const kIicLibrary = R"(
        .equ SCL, 0x96
        .equ SDA, 0x97
        .equ ACKLVL, 0xD5         ; PSW.5: the acknowledge level to send

; start condition
start:  setb SDA
        setb SCL
        clr SDA
        clr SCL
        ret
; stop condition
stop:   clr SDA
        setb SCL
        setb SDA
        ret
; sends A, most significant bit first; C = 1 when not acknowledged
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
        ret
; reads a byte into A; sends C as the acknowledge level (0 = acknowledge)
rbyte:  mov ACKLVL, c
        setb SDA
        mov r7, #8
rby1:   setb SCL
        mov c, SDA
        rlc a
        clr SCL
        djnz r7, rby1
        mov c, ACKLVL
        mov SDA, c
        setb SCL
        clr SCL
        setb SDA
        ret
; writes r4 bytes from code at DPTR to device r2, word address r3, then
; polls the device until it acknowledges again (its write cycle is over);
; counts the polls in r5
wblock: acall start
        mov a, r2
        acall wbyte
        jc fail
        mov a, r3
        acall wbyte
        jc fail
wbl1:   clr a
        movc a, @a+dptr
        inc dptr
        acall wbyte
        jc fail
        djnz r4, wbl1
        acall stop
        mov r5, #0
poll:   inc r5
        acall start
        mov a, r2
        acall wbyte
        acall stop
        jc poll
        ret
; reads r4 bytes from device r2, word address r3, into internal RAM at r0
rblock: acall start
        mov a, r2
        acall wbyte
        jc fail
        mov a, r3
        acall wbyte
        jc fail
        acall start
        mov a, r2
        orl a, #1
        acall wbyte
        jc fail
rbl1:   mov a, r4
        cjne a, #1, rbl2        ; C = 0: acknowledge all but the last byte
        setb c
rbl2:   acall rbyte
        mov @r0, a
        inc r0
        djnz r4, rbl1
        acall stop
        ret
fail:   mov 0x7F, #0xEE         ; a byte was not acknowledged
        sjmp fail
)";

constexpr uint16_t kDone = 0x0300; // every program parks here: "done: sjmp done"
constexpr uint16_t kWait = 0x0310; // and waits here for the test where it must

std::string iicProgram(const std::string& main, const std::string& tables) {
    return "        .org 0\n        mov sp, #0x60\n" + main + "        ljmp done\n" + kIicLibrary +
           tables + "        .org 0x300\ndone:   sjmp done\n        .org 0x310\n"
                    "wait:   jnb 0x00, wait\n        ret\n";
}

} // namespace

TEST_F(Firmware, IicWritesAndReadsBackAnAt24c02) {
    IicSettings& iic = machine.modules.settings.iic;
    iic = {kIicEnableBus, 0, 0, kEepromConnected | kEepromA1, uint8_t(IicEepromType::AT24C02), 0x16,
           0x17};
    load(iicProgram(R"(
        mov r2, #0xA4
        mov r3, #0xFE
        mov r4, #2
        mov dptr, #data
        acall wblock
        mov 0x30, r5
        mov r2, #0xA4
        mov r3, #0xFE
        mov r4, #2
        mov r0, #0x40
        acall rblock
)",
                    "data:   .byte 0x5A, 0xC3\n"));
    runTo(kDone, 100000);
    EXPECT_EQ(machine.chip.iram[0x7F], 0x00) << "a byte was not acknowledged";
    EXPECT_EQ(machine.modules.iic.eeprom.EepromMemory[0xFE], 0x5A);
    EXPECT_EQ(machine.modules.iic.eeprom.EepromMemory[0xFF], 0xC3);
    EXPECT_EQ(iram(0x40, 2), (std::vector<uint8_t>{0x5A, 0xC3}));
    // Acknowledge polling saw the 10 ms write cycle (a poll takes well under 1 ms).
    EXPECT_GT(machine.chip.iram[0x30], 10);
}

TEST_F(Firmware, IicAt24c04BlockBitSelectsTheUpperHalf) {
    machine.modules.settings.iic = {kIicEnableBus, 0, 0, kEepromConnected,
                                    uint8_t(IicEepromType::AT24C04), 0x16, 0x17};
    load(iicProgram(R"(
        mov r2, #0xA0           ; block 0
        mov r3, #0x10
        mov r4, #1
        mov dptr, #low
        acall wblock
        mov r2, #0xA2           ; block 1
        mov r3, #0x10
        mov r4, #1
        mov dptr, #high
        acall wblock
        mov r2, #0xA0           ; read 0x0FE ... 0x101 across the block boundary
        mov r3, #0xFE
        mov r4, #4
        mov dptr, #edge
        acall wblock
        mov r2, #0xA0
        mov r3, #0x10
        mov r4, #1
        mov r0, #0x40
        acall rblock
        mov r2, #0xA2
        mov r3, #0x10
        mov r4, #1
        acall rblock
        mov r2, #0xA0
        mov r3, #0xFE
        mov r4, #4
        acall rblock
)",
                    "low:    .byte 0x11\nhigh:   .byte 0x22\nedge:   .byte 1, 2, 3, 4\n"));
    runTo(kDone, 300000);
    const auto& memory = machine.modules.iic.eeprom.EepromMemory;
    EXPECT_EQ(memory[0x010], 0x11);
    EXPECT_EQ(memory[0x110], 0x22);
    EXPECT_EQ(memory[0x100], 0x03);
    EXPECT_EQ(iram(0x40, 6), (std::vector<uint8_t>{0x11, 0x22, 1, 2, 3, 4}));
}

TEST_F(Firmware, IicAt24c16WithWriteProtectedUpperHalf) {
    machine.modules.settings.iic = {kIicEnableBus, 0, 0, kEepromConnected | kEepromWriteProtect,
                                    uint8_t(IicEepromType::AT24C16), 0x16, 0x17};
    load(iicProgram(R"(
        mov r2, #0xA6           ; block 3: 0x3F0
        mov r3, #0xF0
        mov r4, #4
        mov dptr, #data
        acall wblock
        mov r2, #0xAE           ; block 7: protected, nothing is written
        mov r3, #0xF0
        mov r4, #4
        mov dptr, #data
        acall wblock
        mov 0x30, r5            ; polls after the ignored write
        mov r2, #0xA6
        mov r3, #0xF0
        mov r4, #4
        mov r0, #0x40
        acall rblock
        mov r2, #0xAE
        mov r3, #0xF0
        mov r4, #4
        acall rblock
)",
                    "data:   .byte 0xDE, 0xAD, 0xBE, 0xEF\n"));
    runTo(kDone, 300000);
    EXPECT_EQ(iram(0x40, 8),
              (std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(machine.chip.iram[0x30], 1); // no write cycle: answers the first poll
}

TEST_F(Firmware, IicSetsAndReadsTheClock) {
    machine.modules.settings.iic = {kIicEnableBus, kRtcConnected, 0, 0, 0, 0x16, 0x17};
    load(iicProgram(R"(
        mov r2, #0xA0
        mov r3, #0x00
        mov r4, #7
        mov dptr, #time
        acall wblock
        acall wait              ; the test ticks the clock here
        mov r2, #0xA0
        mov r3, #0x00
        mov r4, #7
        mov r0, #0x40
        acall rblock
)",
                    // 23:59:58 on Wednesday 28 February of year 1, mask flag set
                    "time:   .byte 0x08, 0x00, 0x58, 0x59, 0x23, 0x68, 0x62\n"));
    runTo(kWait, 100000);
    const IicSettings& settings = machine.modules.settings.iic;
    rtcTick(machine.modules.iic.rtc, settings, LocalTime{});
    rtcTick(machine.modules.iic.rtc, settings, LocalTime{});
    machine.chip.iram[0x20] = 0x01;
    runTo(kDone, 100000);
    // 00:00:00 on Thursday 1 March; with the mask flag the year and weekday
    // bits read as 0.
    EXPECT_EQ(iram(0x40, 7), (std::vector<uint8_t>{0x08, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03}));
    EXPECT_EQ(machine.modules.iic.rtc.RtcMemory[rtc::YearDate], 0x41);
    EXPECT_EQ(machine.modules.iic.rtc.RtcMemory[rtc::WeekdayMonth], 0x83);
}

TEST_F(Firmware, SpiWritesAPageAndReadsItBackAboveAddress255) {
    SpiSettings& spi = machine.modules.settings.spi;
    spi.SpiOptions = kSpiEnableBus | kSpiFourWire;
    spi.SpiLines = {0x10, 0x11, 0x12}; // SCK P1.0, SO P1.1, SI P1.2
    spi.SpiEepromOptions = kSpiEepromConnected | 2 << kSpiEepromTypeShift; // AT25C040
    spi.SpiEepromCs = 0x13;
    load(R"(
        .equ SCK, 0x90
        .equ SO, 0x91
        .equ SI, 0x92
        .equ CS, 0x93
        .org 0
        mov sp, #0x60
        clr SCK
        clr CS                  ; WREN
        mov a, #0x06
        acall xfer
        setb CS
        clr CS                  ; WRITE 8 bytes at 0x1A8 (address bit 8 in the instruction)
        mov a, #0x0A
        acall xfer
        mov a, #0xA8
        acall xfer
        mov dptr, #page
        mov r4, #8
w1:     clr a
        movc a, @a+dptr
        inc dptr
        acall xfer
        djnz r4, w1
        setb CS
        mov r5, #0
poll:   inc r5                  ; RDSR until the write cycle is over
        clr CS
        mov a, #0x05
        acall xfer
        acall xfer
        setb CS
        jb 0xE0, poll           ; ACC.0: busy
        mov 0x30, r5
        clr CS                  ; READ 8 bytes from 0x1A8
        mov a, #0x0B
        acall xfer
        mov a, #0xA8
        acall xfer
        mov r0, #0x40
        mov r4, #8
rd1:    acall xfer
        mov @r0, a
        inc r0
        djnz r4, rd1
        setb CS
done:   sjmp done
; sends A on SI and reads SO into A, most significant bit first (mode 0)
xfer:   mov r7, #8
x1:     mov c, 0xE7             ; ACC.7
        mov SI, c
        setb SCK
        mov c, SO
        rlc a
        clr SCK
        djnz r7, x1
        ret
page:   .byte 0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87
)");
    // "done" follows the READ loop; find it by running until the PC stops moving.
    uint16_t last = 0xFFFF;
    for (long i = 0; i < 200000 && machine.chip.pc != last; ++i) {
        last = machine.chip.pc;
        ASSERT_FALSE(step(machine));
    }
    const std::vector<uint8_t> page{0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87};
    const auto& memory = machine.modules.spiEeprom.memory;
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + 0x1A8, memory.begin() + 0x1B0), page);
    EXPECT_EQ(memory[0x0A8], 0xFF);
    EXPECT_EQ(iram(0x40, 8), page);
    EXPECT_GT(machine.chip.iram[0x30], 1); // RDSR saw the write cycle
}

namespace {

// Echoes every received byte; in modes 2 and 3 with the ninth bit too.
const char* const kEchoProgram = R"(
        .org 0
        mov sp, #0x60
        mov tmod, #0x20         ; timer 1, mode 2: baud ticks
        mov th1, #0xFF
        mov tl1, #0xFF
        setb tr1
        mov scon, #SCONVALUE
loop:   jnb 0x98, loop          ; RI
        clr 0x98
        mov c, 0x9A             ; RB8
        mov 0x9B, c             ; TB8
        mov a, sbuf
        clr 0x99                ; TI
        mov sbuf, a
wt:     jnb 0x99, wt
        sjmp loop
)";

std::string echoProgram(int scon) {
    std::string source = kEchoProgram;
    const std::string key = "SCONVALUE";
    source.replace(source.find(key), key.size(), std::to_string(scon));
    return source;
}

} // namespace

TEST_F(Firmware, SerialEchoInModes1And3) {
    const fs::path file = fs::temp_directory_path() /
                          ("quorvel-echo-" + std::to_string(::getpid()) + ".dat");
    std::ofstream(file, std::ios::binary) << "Hi\r";
    struct Case {
        int scon;
        uint8_t ninthBit;
        const char* list;
    };
    for (const Case c : {Case{0x50, 1, "48(H)\r\n69(i)\r\n0D(.)"},
                         Case{0xD0, 1, "48(H) - 1\r\n69(i) - 1\r\n0D(.) - 1"}}) {
        SCOPED_TRACE(testing::Message() << "SCON " << std::hex << c.scon);
        fresh();
        load(echoProgram(c.scon));
        for (int i = 0; i < 20; ++i) step(machine); // the program sets the mode up
        SerialHostState& host = machine.modules.serialHost;
        SerialHostSettings& settings = machine.modules.settings.serialHost;
        host.ninthBit = c.ninthBit;
        settings = {kSerialFromFile, file.string()};
        ASSERT_FALSE(pressSerialSend(host, settings, machine.chip, "").has_value());
        for (long i = 0; i < 50000 && machine.chip.periph.serial.txLog.size() < 3; ++i)
            step(machine);
        EXPECT_EQ(snapshotTransferList(machine.chip, TransferList::SerialReceiver).text, c.list);
        EXPECT_EQ(snapshotTransferList(machine.chip, TransferList::SerialTransmitter).text, c.list);
        const SerialWindowView view = serialWindowView(host, settings, machine.chip);
        EXPECT_STREQ(view.fileStatus, "Transmitted Successfully");
        EXPECT_EQ(view.hostReceive, "0D");
    }
    fs::remove(file);
}
