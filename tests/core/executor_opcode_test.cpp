// One step of an instruction where the comparison with an independent model
// cannot look: port latches against pins, external data paged by P2 or
// reached through DPTR1, addresses and stacks that wrap, PSW written by the
// program, A5H, and results random operands rarely reach. A table: initial
// state, one step, expected state. Rows are written as "KEY=HEX" lists:
//   A B PSW SP DPTR DP1 PC      registers (DP1 = DP1H:DP1L)
//   R0..R7                      registers of the bank selected by PSW
//   I:xx D:xx X:xxxx            internal RAM, direct byte (the stored value,
//                               i.e. the latch for ports), external data
//   CY AC OV                    single flags
//   cyc                         machine cycles of the step (expectations)
// The code bytes go to PC (0100 unless the setup says otherwise). After
// every row P must equal the parity of A.
#include "core_test_support.h"

#include <sstream>

using namespace quorvel;
using namespace quorvel::test;

namespace {

struct Row {
    std::string name;
    std::vector<uint8_t> code;
    std::string setup;
    std::string expect;
};

struct Token {
    std::string key;
    unsigned value;
};

std::vector<Token> tokens(const std::string& text) {
    std::vector<Token> result;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        const size_t eq = word.find('=');
        result.push_back({word.substr(0, eq), unsigned(std::stoul(word.substr(eq + 1), nullptr, 16))});
    }
    return result;
}

unsigned address(const std::string& key) { return unsigned(std::stoul(key.substr(2), nullptr, 16)); }

constexpr uint8_t flagBit(const std::string& key) {
    return key == "CY" ? 0x80 : key == "AC" ? 0x40 : key == "OV" ? 0x04 : 0;
}

// The byte a key names; nullptr for DPTR, DP1, PC and the single flags.
uint8_t* byteOf(ChipState& c, const std::string& k) {
    if (k == "A") return &c.sfr(sfr::ACC);
    if (k == "B") return &c.sfr(sfr::B);
    if (k == "PSW") return &c.sfr(sfr::PSW);
    if (k == "SP") return &c.sfr(sfr::SP);
    if (k.size() == 2 && k[0] == 'R') return &c.reg(k[1] - '0');
    if (k.size() < 3 || k[1] != ':') return nullptr;
    const unsigned a = address(k);
    switch (k[0]) {
    case 'I': return &c.iram[a];
    case 'D': return a < 0x80 ? &c.iram[a] : &c.sfr(uint8_t(a)); // the stored value
    case 'X': return &c.xdata[a];
    }
    return nullptr;
}

// Applies one setup token.
void apply(ChipState& c, const Token& t) {
    const std::string& k = t.key;
    const uint8_t high = uint8_t(t.value >> 8), low = uint8_t(t.value);
    if (uint8_t* byte = byteOf(c, k)) *byte = low;
    else if (k == "DPTR") { c.sfr(sfr::DPH) = high; c.sfr(sfr::DPL) = low; }
    else if (k == "DP1") { c.sfr(sfr::DP1H) = high; c.sfr(sfr::DP1L) = low; }
    else if (k == "PC") c.pc = uint16_t(t.value);
    else if (flagBit(k)) c.sfr(sfr::PSW) = t.value ? uint8_t(c.psw() | flagBit(k)) : uint8_t(c.psw() & ~flagBit(k));
    else ADD_FAILURE() << "unknown setup key " << k;
}

// The value a token names, now.
unsigned actual(ChipState& c, const std::string& k) {
    if (const uint8_t* byte = byteOf(c, k)) return *byte;
    if (k == "DPTR") return c.dptr();
    if (k == "DP1") return c.dptr1();
    if (k == "PC") return c.pc;
    if (flagBit(k)) return (c.psw() & flagBit(k)) ? 1 : 0;
    ADD_FAILURE() << "unknown expectation key " << k;
    return 0;
}

const Row kRows[] = {
    {"A5 does nothing and stays", {0xA5}, "A=12", "A=12 PC=0100 cyc=1"},

    // ---- addresses that wrap or cross a page
    {"AJMP uses the page of the next instruction", {0x01, 0x10}, "PC=07FE", "PC=0810 cyc=2"},
    {"ACALL pushes and jumps in the next page", {0xF1, 0x10}, "PC=07FE",
        "PC=0F10 SP=09 I:08=00 I:09=08 cyc=2"},
    {"SJMP wraps past FFFF", {0x80, 0x7F}, "PC=FFF0", "PC=0071 cyc=2"},
    {"JMP @A+DPTR wraps", {0x73}, "A=FF DPTR=FF10", "PC=000F cyc=2"},
    {"INC DPTR wraps", {0xA3}, "DPTR=FFFF", "DPTR=0000 PC=0101 cyc=2"},
    {"RET with the stack wrapping", {0x22}, "SP=00 I:FF=34 I:00=12", "PC=1234 SP=FE cyc=2"},
    {"LCALL with the stack wrapping", {0x12, 0x12, 0x34}, "SP=FF",
        "PC=1234 SP=01 I:00=03 I:01=01 cyc=2"},
    {"PUSH with the stack wrapping", {0xC0, 0x30}, "SP=FF D:30=AB", "SP=00 I:00=AB PC=0102 cyc=2"},
    {"POP with the stack wrapping", {0xD0, 0x30}, "SP=00 I:00=CD", "D:30=CD SP=FF PC=0102 cyc=2"},

    // ---- results the random comparison rarely reaches
    {"MUL AB without overflow", {0xA4}, "A=05 B=04 OV=1", "A=14 B=00 OV=0 CY=0 PC=0101 cyc=4"},
    {"DIV AB by zero", {0x84}, "A=12 B=00 CY=1", "A=12 B=00 OV=1 CY=0 PC=0101 cyc=4"},
    {"DA A keeps CY", {0xD4}, "A=12 CY=1", "A=72 CY=1 PC=0101 cyc=1"},

    // ---- ports: read-modify-write uses the latch, other reads the pins
    {"INC P1 reads the latch", {0x05, 0x90}, "", "D:90=00 PC=0102 cyc=1"},
    {"DJNZ on a port uses the latch", {0xD5, 0x90, 0xF0}, "", "D:90=FE PC=00F3 cyc=2"},
    {"ANL P1,#data uses the latch", {0x53, 0x90, 0xF0}, "", "D:90=F0 PC=0103 cyc=2"},
    {"ORL P1,A uses the latch", {0x42, 0x90}, "D:90=0F A=30", "D:90=3F PC=0102 cyc=1"},
    {"XRL P3,#data uses the latch", {0x63, 0xB0, 0xFF}, "", "D:B0=00 PC=0103 cyc=2"},
    {"CPL P1.0 uses the latch", {0xB2, 0x90}, "", "D:90=FE PC=0102 cyc=1"},
    {"JBC on a port uses the latch", {0x10, 0x90, 0x10}, "", "D:90=FE PC=0113 cyc=2"},
    {"POP to a port latch", {0xD0, 0x90}, "SP=09 I:09=3C", "D:90=3C SP=08 PC=0102 cyc=2"},
    {"MOV A,P1 reads the pins", {0xE5, 0x90}, "D:90=FF", "A=00 PC=0102 cyc=1"},
    {"MOV C,P1.0 reads the pin", {0xA2, 0x90}, "CY=1", "CY=0 PC=0102 cyc=1"},
    {"JB on a port reads the pin", {0x20, 0x90, 0x10}, "", "D:90=FF PC=0103 cyc=2"},

    // ---- external data: P2 gives the high byte of @Ri, DPS selects DPTR1
    {"MOVX A,@R0 with P2", {0xE2}, "D:A0=12 R0=34 X:1234=66", "A=66 PC=0101 cyc=2"},
    {"MOVX @R1,A with P2", {0xF3}, "A=97 D:A0=01 R1=02", "X:0102=97 PC=0101 cyc=2"},
    {"MOVX uses DPTR1 with DPS", {0xE0}, "D:96=04 DPTR=1234 DP1=0456 X:0456=77 X:1234=11",
        "A=77 PC=0101 cyc=2"},

    // ---- PSW: parity follows A whatever the program wrote
    {"MOV PSW,#01 with A=00", {0x75, 0xD0, 0x01}, "A=00", "PSW=00 PC=0103 cyc=2"},
    {"MOV PSW,#00 with A=01", {0x75, 0xD0, 0x00}, "A=01", "PSW=01 PC=0103 cyc=2"},
};

} // namespace

TEST(OpcodeTable, EveryRowHoldsAfterOneStep) {
    Machine base = makeMachine(DeviceKind::AT89S8252);
    // P1 driven low from outside, so pin reads and latch reads differ.
    for (int line = 8; line < 16; ++line) base.chip.pins.drivePin(line, false);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Machine machine = base;
        ChipState& c = machine.chip;
        c.pc = 0x0100;
        const std::vector<Token> setup = tokens(row.setup);
        for (const Token& t : setup)
            if (t.key == "PC" || t.key == "PSW") apply(c, t);
        loadCode(machine, row.code, c.pc);
        for (const Token& t : setup)
            if (t.key != "PC" && t.key != "PSW") apply(c, t);
        c.sfr(sfr::PSW) = uint8_t((c.psw() & 0xFE) | __builtin_parity(c.acc()));
        const uint32_t before = c.cycles;

        EXPECT_FALSE(step(machine));

        bool sawPc = false, sawCycles = false;
        for (const Token& t : tokens(row.expect)) {
            if (t.key == "cyc") {
                sawCycles = true;
                EXPECT_EQ(c.cycles - before, t.value) << "cycles";
                continue;
            }
            sawPc |= t.key == "PC";
            EXPECT_EQ(actual(c, t.key), t.value) << t.key;
        }
        EXPECT_TRUE(sawPc && sawCycles) << "row must state PC and cyc";
        EXPECT_EQ(c.psw() & 1u, unsigned(__builtin_parity(c.acc()))) << "parity";
    }
}

// Bit writes to RS0 and RS1 switch the register bank for the very next
// instruction of a free run.
TEST(RegisterBank, BitWritesSwitchTheBankWithinAFreeRun) {
    Machine m = makeMachine();
    // SETB RS0; MOV A,R0; CLR RS0; CPL RS1; MOV B,R0
    loadCode(m, {0xD2, 0xD3, 0xE8, 0xC2, 0xD3, 0xB2, 0xD4, 0x88, 0xF0});
    m.chip.iram[0x08] = 0x5A;
    m.chip.iram[0x10] = 0xA5;
    runSteps(m, 5);
    EXPECT_EQ(m.chip.acc(), 0x5A);
    EXPECT_EQ(m.chip.sfr(sfr::B), 0xA5);
}
