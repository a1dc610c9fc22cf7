// Every instruction, with random operands, registers and flags, run one step
// on this core and on uCsim's s51 (an independent 8051 model, driven in batch
// mode from a command file): both must leave the same A, B, PSW, SP, DPTR,
// program counter, internal RAM and external data byte, in the same machine
// cycles. The cases follow one another on the same memory, as a program's
// instructions do; each sets the registers and its own operands, and every
// 16th case compares all of internal RAM, so a stray write shows too.
//
// Left out, where s51 departs from the data book: P after a write to PSW
// (s51 keeps the written bit), bit writes to RS0/RS1 (s51 does not switch
// the register bank), a stack that wraps past FFH or below 00H (s51 stops),
// and A5H, which is no instruction.
#include "core_test_support.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const std::string kS51 = QUORVEL_S51;

// The SFRs an operand may name: those whose meaning is the CPU's alone.
constexpr uint8_t kAcc = 0xE0, kB = 0xF0, kPsw = 0xD0, kSp = 0x81, kDpl = 0x82, kDph = 0x83;
constexpr uint8_t kCpuSfrs[] = {kAcc, kB, kPsw, kSp, kDpl, kDph};
constexpr uint8_t kRs0Bit = 0xD3, kRs1Bit = 0xD4;
constexpr int kCasesPerOpcode = 16;
constexpr int kRamCheckEvery = 16;

// Opcodes whose first operand byte (or both, MOV direct,direct) is a direct
// address, or a bit address; which write a bit; which push and pop how many.
constexpr uint8_t kDirectFirst[] = {0x05, 0x15, 0x25, 0x35, 0x42, 0x43, 0x45, 0x52, 0x53, 0x55,
                                    0x62, 0x63, 0x65, 0x75, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A,
                                    0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x95, 0xA6, 0xA7, 0xA8, 0xA9,
                                    0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB5, 0xC0, 0xC5, 0xD0,
                                    0xD5, 0xE5, 0xF5};
constexpr uint8_t kBitOperand[] = {0x10, 0x20, 0x30, 0x72, 0x82, 0x92, 0xA0, 0xA2, 0xB0, 0xB2, 0xC2, 0xD2};
constexpr uint8_t kBitWrite[] = {0x10, 0x92, 0xB2, 0xC2, 0xD2};

template <size_t N>
bool among(const uint8_t (&set)[N], uint8_t op) {
    return std::find(std::begin(set), std::end(set), op) != std::end(set);
}

// Stack bytes an opcode pushes (positive) or pops (negative).
int stackUse(uint8_t op) {
    if ((op & 0x1F) == 0x11 || op == 0x12) return 2; // ACALL, LCALL
    if (op == 0xC0) return 1;
    if (op == 0xD0) return -1;
    if (op == 0x22 || op == 0x32) return -2; // RET, RETI
    return 0;
}

struct Rng { // xorshift64: the same cases on every run and library
    uint64_t s = 0x8051C0DE5EEDULL;
    uint8_t byte() { s ^= s << 13; s ^= s >> 7; s ^= s << 17; return uint8_t(s >> 24); }
    uint16_t word() { return uint16_t(byte() << 8 | byte()); }
};

struct Case {
    uint8_t code[3], a, b, psw, sp, dpl, dph, regs[8];
    uint16_t pc;
    std::optional<std::pair<uint16_t, uint8_t>> movcByte, xdataByte; // set before the step
    bool maskParity = false;                                        // the instruction writes PSW
    // This core's results.
    uint8_t endA = 0, endB = 0, endPsw = 0, endSp = 0, endDpl = 0, endDph = 0, endXdata = 0;
    uint16_t endPc = 0;
    uint32_t cycles = 0;
    std::vector<uint8_t> ramChecked; // internal RAM bytes compared after the step
    std::array<uint8_t, 256> ram{};  // all of it
};

// A direct address: internal RAM below 80H, else one of the CPU's SFRs.
uint8_t directOperand(Rng& r) {
    const uint8_t d = r.byte();
    return d < 0x80 ? d : kCpuSfrs[d % std::size(kCpuSfrs)];
}
uint8_t bitOperand(Rng& r) {
    const uint8_t bit = r.byte();
    return bit < 0x80 ? bit : uint8_t(kCpuSfrs[bit % 3] | (bit & 7)); // A, B or PSW
}

// The cases, and how many were left out for each reason.
std::vector<Case> makeCases(std::map<std::string, int>& excluded) {
    Rng r;
    std::vector<Case> cases;
    for (int op = 0; op < 256; ++op) {
        if (op == 0xA5) {
            excluded["A5H, no instruction"] += kCasesPerOpcode;
            continue;
        }
        for (int n = 0; n < kCasesPerOpcode; ++n) {
            Case c{};
            c.code[0] = uint8_t(op);
            c.code[1] = r.byte();
            c.code[2] = r.byte();
            if (among(kDirectFirst, uint8_t(op))) c.code[1] = directOperand(r);
            if (op == 0x85) c.code[2] = directOperand(r);
            if (among(kBitOperand, uint8_t(op))) c.code[1] = bitOperand(r);
            c.a = r.byte(); c.b = r.byte(); c.sp = r.byte(); c.dpl = r.byte(); c.dph = r.byte();
            c.psw = uint8_t((r.byte() & 0xFE) | __builtin_parity(c.a));
            for (uint8_t& reg : c.regs) reg = r.byte();
            c.pc = uint16_t(0x0100 + r.word() % 0xEE00);
            if (among(kBitWrite, uint8_t(op)) && (c.code[1] == kRs0Bit || c.code[1] == kRs1Bit)) {
                excluded["bit write to RS0/RS1"]++;
                continue;
            }
            const int stack = stackUse(uint8_t(op));
            if (stack > 0 ? c.sp + stack > 0xFF : c.sp + stack < 0) {
                excluded["stack wrap"]++;
                continue;
            }
            const bool names = among(kDirectFirst, uint8_t(op)) || among(kBitOperand, uint8_t(op));
            c.maskParity = (names && (c.code[1] & 0xF8) == kPsw) || (op == 0x85 && c.code[2] == kPsw);
            const uint16_t dptr = uint16_t(c.dph << 8 | c.dpl);
            std::optional<uint16_t> movc;
            if (op == 0x93) movc = uint16_t(dptr + c.a);
            if (op == 0x83) movc = uint16_t(c.pc + 1 + c.a);
            if (movc && uint16_t(*movc - c.pc) >= 3) c.movcByte = {{*movc, r.byte()}};
            if (op == 0xE0 || op == 0xF0) c.xdataByte = {{dptr, r.byte()}};
            if ((op & 0xEE) == 0xE2) c.xdataByte = {{uint16_t(0xFF00 | c.regs[op & 1]), r.byte()}};
            cases.push_back(c);
        }
    }
    return cases;
}

// Runs every case on this core, one after another on the same memory.
void runOnCore(std::vector<Case>& cases, const std::array<uint8_t, 256>& startRam) {
    Machine m = makeMachine(DeviceKind::AT89C52, 12000000, 0xFFFF, 0xFFFF);
    ChipState& chip = m.chip;
    chip.iram = startRam;
    for (size_t i = 0; i < cases.size(); ++i) {
        Case& c = cases[i];
        chip.sfr(sfr::ACC) = c.a; chip.sfr(sfr::B) = c.b; chip.sfr(sfr::SP) = c.sp;
        chip.sfr(sfr::DPL) = c.dpl; chip.sfr(sfr::DPH) = c.dph; chip.sfr(sfr::PSW) = c.psw;
        const unsigned bank = c.psw & 0x18u;
        std::copy(std::begin(c.regs), std::end(c.regs), chip.iram.begin() + bank);
        std::copy(std::begin(c.code), std::end(c.code), chip.code.begin() + c.pc);
        if (c.movcByte) chip.code[c.movcByte->first] = c.movcByte->second;
        if (c.xdataByte) chip.xdata[c.xdataByte->first] = c.xdataByte->second;
        chip.pc = c.pc;
        const std::array<uint8_t, 256> before = chip.iram;
        const uint32_t startCycles = chip.cycles;
        step(m);
        c.cycles = chip.cycles - startCycles;
        c.endPc = chip.pc;
        c.endA = chip.acc(); c.endB = chip.sfr(sfr::B); c.endPsw = chip.psw();
        c.endSp = chip.sfr(sfr::SP); c.endDpl = chip.sfr(sfr::DPL); c.endDph = chip.sfr(sfr::DPH);
        if (c.xdataByte) c.endXdata = chip.xdata[c.xdataByte->first];
        // What changed, and what the instruction could have written.
        std::vector<uint8_t> watch = {uint8_t(c.sp + 1), uint8_t(c.sp + 2), c.sp,
                                      c.regs[0], c.regs[1], c.code[1], c.code[2]};
        for (unsigned a = 0; a < 256; ++a)
            if (chip.iram[a] != before[a]) watch.push_back(uint8_t(a));
        for (unsigned n = 0; n < 8; ++n) watch.push_back(uint8_t(bank + n));
        std::sort(watch.begin(), watch.end());
        watch.erase(std::unique(watch.begin(), watch.end()), watch.end());
        c.ramChecked = watch;
        c.ram = chip.iram;
    }
}

std::string hex(unsigned value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

// Sums that s51 prints as one hexadecimal number: up to four bytes.
std::vector<std::string> packed(const std::vector<std::string>& terms) {
    std::vector<std::string> out;
    for (size_t i = 0; i < terms.size(); i += 4) {
        std::string sum;
        for (size_t j = i; j < std::min(terms.size(), i + 4); ++j)
            sum += (sum.empty() ? "" : "+") + terms[j] + "*" + std::to_string(1u << (8 * (j - i)));
        out.push_back("expression /x " + sum);
    }
    return out;
}

std::vector<std::string> terms(const Case& c) {
    std::vector<std::string> t = {"sfr[0xe0]", "sfr[0xf0]", "sfr[0xd0]", "sfr[0x81]", "sfr[0x82]", "sfr[0x83]"};
    if (c.xdataByte) t.push_back("xram[" + hex(c.xdataByte->first) + "]");
    for (uint8_t a : c.ramChecked) t.push_back("iram[" + hex(a) + "]");
    return t;
}

std::string commands(const std::vector<Case>& cases, const std::array<uint8_t, 256>& startRam) {
    std::ostringstream out;
    auto setBytes = [&](const char* memory, unsigned at, const uint8_t* bytes, size_t n) {
        out << "set memory " << memory << ' ' << hex(at);
        for (size_t i = 0; i < n; ++i) out << ' ' << hex(bytes[i]);
        out << '\n';
    };
    setBytes("iram", 0, startRam.data(), startRam.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const uint8_t pointers[] = {c.sp, c.dpl, c.dph};
        setBytes("sfr", kAcc, &c.a, 1);
        setBytes("sfr", kB, &c.b, 1);
        setBytes("sfr", kSp, pointers, 3);
        setBytes("sfr", kPsw, &c.psw, 1);
        setBytes("iram", c.psw & 0x18u, c.regs, 8);
        setBytes("rom", c.pc, c.code, 3);
        if (c.movcByte) setBytes("rom", c.movcByte->first, &c.movcByte->second, 1);
        if (c.xdataByte) setBytes("xram", c.xdataByte->first, &c.xdataByte->second, 1);
        out << "pc " << hex(c.pc) << "\nstep\nexpression /x " << hex(0xCA5E0000u + i) << '\n';
        for (const std::string& e : packed(terms(c))) out << e << '\n';
        if (i % kRamCheckEvery == kRamCheckEvery - 1) out << "dump /h iram 0 0xff 16\n";
    }
    out << "kill\n";
    return out.str();
}

// A disassembly of the case for failure messages.
std::string describe(const Case& c) {
    std::ostringstream out;
    out << std::hex << "code " << unsigned(c.code[0]) << ' ' << unsigned(c.code[1]) << ' '
        << unsigned(c.code[2]) << " at " << c.pc << " A=" << unsigned(c.a) << " B=" << unsigned(c.b)
        << " PSW=" << unsigned(c.psw) << " SP=" << unsigned(c.sp)
        << " DPTR=" << unsigned(c.dph << 8 | c.dpl);
    return out.str();
}

} // namespace

TEST(ReferenceModel, EveryInstructionAgreesWithS51) {
    std::map<std::string, int> excluded;
    std::vector<Case> cases = makeCases(excluded);
    Rng r{0x1234};
    std::array<uint8_t, 256> startRam;
    for (uint8_t& byte : startRam) byte = r.byte();
    runOnCore(cases, startRam);

    support::TempDir dir;
    dir.write("cases.cmd", commands(cases, startRam));
    const support::ProcessResult s51 =
        support::runProcess(dir.path, kS51, {"-t", "8052", "-b", "-C", "cases.cmd"});
    ASSERT_FALSE(s51.out.empty()) << s51.err;

    // The output: each step's "Stop at <pc>: ... stepped <n> ticks", the
    // case's marker, its sums; every 16th case the RAM dump.
    const std::regex stopLine(R"(Stop at 0x([0-9a-f]+):.*stepped (\d+) ticks)");
    const std::regex number(R"(^([0-9a-f]+)\s*$)");
    const std::regex dumpLine(R"(^0x([0-9a-f]{2})((?: [0-9a-f]{2}){16}) )");
    std::istringstream lines(s51.out);
    std::string line;
    long current = -1;
    size_t sumsLeft = 0; // of the current case; the next number after them is a marker
    uint16_t stopPc = 0, casePc = 0; // the last step's, and the current case's
    unsigned ticks = 0, caseTicks = 0;
    std::vector<uint8_t> values; // the current case's bytes, sums unpacked
    std::vector<uint8_t> ram;
    int failures = 0, compared = 0, ramDumps = 0;
    auto finishCase = [&] {
        if (current < 0) return;
        const Case& c = cases[size_t(current)];
        ++compared;
        const uint8_t pMask = c.maskParity ? 0xFE : 0xFF;
        std::vector<uint8_t> mine = {c.endA, c.endB, uint8_t(c.endPsw & pMask), c.endSp, c.endDpl, c.endDph};
        if (values.size() > 2) values[2] &= pMask;
        if (c.xdataByte) mine.push_back(c.endXdata);
        for (uint8_t a : c.ramChecked) mine.push_back(c.ram[a]);
        values.resize(mine.size());
        const bool same = mine == values && casePc == c.endPc && caseTicks == 12 * c.cycles;
        if (!same && ++failures <= 20)
            ADD_FAILURE() << describe(c) << ": this core / s51: PC " << std::hex << c.endPc << " / "
                          << casePc << ", cycles " << std::dec << c.cycles << " / " << caseTicks / 12
                          << ", A B PSW SP DPL DPH [xdata] RAM(" << ::testing::PrintToString(c.ramChecked)
                          << ") " << ::testing::PrintToString(mine) << " / "
                          << ::testing::PrintToString(values);
        values.clear();
    };
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_search(line, m, stopLine)) {
            stopPc = uint16_t(std::stoul(m[1], nullptr, 16));
            ticks = unsigned(std::stoul(m[2]));
        } else if (std::regex_match(line, m, number)) {
            const uint64_t v = std::stoull(m[1], nullptr, 16) & 0xFFFFFFFFu;
            if (sumsLeft == 0) {
                finishCase();
                current = long(v - 0xCA5E0000u);
                casePc = stopPc;
                caseTicks = ticks;
                if (current < 0 || current >= long(cases.size())) break;
                sumsLeft = packed(terms(cases[size_t(current)])).size();
            } else {
                --sumsLeft;
                for (int k = 0; k < 4; ++k) values.push_back(uint8_t(v >> (8 * k)));
            }
        } else if (current >= 0 && std::regex_search(line, m, dumpLine)) {
            std::istringstream bytes(m[2]);
            unsigned byte;
            while (bytes >> std::hex >> byte) ram.push_back(uint8_t(byte));
            if (ram.size() == 256) {
                ++ramDumps;
                const Case& c = cases[size_t(current)];
                if (!std::equal(ram.begin(), ram.end(), c.ram.begin()) && ++failures <= 20)
                    ADD_FAILURE() << "internal RAM differs after the cases up to " << describe(c);
                ram.clear();
            }
        }
    }
    finishCase();
    EXPECT_EQ(compared, int(cases.size())) << s51.err;
    EXPECT_EQ(ramDumps, int(cases.size()) / kRamCheckEvery);
    std::string list;
    for (const auto& [why, count] : excluded) list += " " + why + ": " + std::to_string(count) + ";";
    std::cout << "compared " << compared << " cases with s51; left out:" << list << '\n';
}
