// What the debugger, the stepping commands and the stop conditions ask of an
// opcode without running it: its length, whether it calls (ACALL, LCALL),
// returns (RET, RETI) or jumps unconditionally (SJMP, AJMP, LJMP), and
// whether the instruction at an address is a jump to itself. Constant tables
// the execution loop may index per instruction; the lengths agree with the
// instruction table's rows.
#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

enum OpcodeFact : uint8_t {
    kOpCall = 1,              // ACALL, LCALL: pushes the address of the next instruction
    kOpReturn = 2,            // RET
    kOpReturnFromInterrupt = 4, // RETI
    kOpUnconditionalJump = 8, // SJMP, AJMP, LJMP
};

namespace detail {

constexpr uint8_t kThreeByteOpcodes[] = {
    0x02, 0x10, 0x12, 0x20, 0x30, 0x43, 0x53, 0x63, 0x75, 0x85, 0x90, 0xB4,
    0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xD5,
};
// Besides the eight AJMPs and eight ACALLs (xxx00001, xxx10001).
constexpr uint8_t kTwoByteOpcodes[] = {
    0x05, 0x15, 0x24, 0x25, 0x34, 0x35, 0x40, 0x42, 0x44, 0x45, 0x50, 0x52, 0x54, 0x55,
    0x60, 0x62, 0x64, 0x65, 0x70, 0x72, 0x74, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C,
    0x7D, 0x7E, 0x7F, 0x80, 0x82, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E,
    0x8F, 0x92, 0x94, 0x95, 0xA0, 0xA2, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD,
    0xAE, 0xAF, 0xB0, 0xB2, 0xC0, 0xC2, 0xC5, 0xD0, 0xD2, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC,
    0xDD, 0xDE, 0xDF, 0xE5, 0xF5,
};

constexpr bool isAjmp(unsigned op) { return (op & 0x1F) == 0x01; }
constexpr bool isAcall(unsigned op) { return (op & 0x1F) == 0x11; }

constexpr std::array<uint8_t, 256> makeLengthTable() {
    std::array<uint8_t, 256> table{};
    for (unsigned op = 0; op < 256; ++op) table[op] = isAjmp(op) || isAcall(op) ? 2 : 1;
    for (uint8_t op : kTwoByteOpcodes) table[op] = 2;
    for (uint8_t op : kThreeByteOpcodes) table[op] = 3;
    return table;
}

constexpr std::array<uint8_t, 256> makeFactTable() {
    constexpr uint8_t kLcall = 0x12, kRet = 0x22, kReti = 0x32, kSjmp = 0x80, kLjmp = 0x02;
    std::array<uint8_t, 256> table{};
    for (unsigned op = 0; op < 256; ++op) {
        if (op == kLcall || isAcall(op)) table[op] = kOpCall;
        if (op == kSjmp || op == kLjmp || isAjmp(op)) table[op] = kOpUnconditionalJump;
    }
    table[kRet] = kOpReturn;
    table[kReti] = kOpReturnFromInterrupt;
    return table;
}

// Where an opcode may write data memory besides A, B, PSW, DPTR and SP
// (which are SFRs: an instruction can write any SFR through its direct
// address anyway).
enum class DataWrite : uint8_t {
    None,
    Direct,        // the direct address in b1 (internal RAM below 80H or an SFR)
    SecondDirect,  // the direct address in b2 (MOV direct,direct)
    Bit,           // the bit address in b1
    Indirect,      // internal RAM at @R0/@R1 (opcode bit 0)
    Register,      // Rn of the selected bank (opcode bits 2-0)
    Stack,         // internal RAM at SP and SP - 1 after the instruction (PUSH, ACALL, LCALL)
    ExternalData,  // MOVX @DPTR,A / MOVX @Ri,A
};

constexpr std::array<DataWrite, 256> makeWriteTable() {
    std::array<DataWrite, 256> table{};
    const struct {
        uint8_t first;
        uint8_t count;
        DataWrite write;
    } rows[] = {
        {0x05, 1, DataWrite::Direct},   {0x15, 1, DataWrite::Direct},   {0x42, 2, DataWrite::Direct},
        {0x52, 2, DataWrite::Direct},   {0x62, 2, DataWrite::Direct},   {0x75, 1, DataWrite::Direct},
        {0x86, 10, DataWrite::Direct},  {0xC5, 1, DataWrite::Direct},   {0xD5, 1, DataWrite::Direct},
        {0xD0, 1, DataWrite::Direct},   {0xF5, 1, DataWrite::Direct},
        {0x85, 1, DataWrite::SecondDirect},
        {0x10, 1, DataWrite::Bit},      {0x92, 1, DataWrite::Bit},      {0xB2, 1, DataWrite::Bit},
        {0xC2, 1, DataWrite::Bit},      {0xD2, 1, DataWrite::Bit},
        {0x06, 2, DataWrite::Indirect}, {0x16, 2, DataWrite::Indirect}, {0x76, 2, DataWrite::Indirect},
        {0xA6, 2, DataWrite::Indirect}, {0xC6, 2, DataWrite::Indirect}, {0xD6, 2, DataWrite::Indirect},
        {0xF6, 2, DataWrite::Indirect},
        {0x08, 8, DataWrite::Register}, {0x18, 8, DataWrite::Register}, {0x78, 8, DataWrite::Register},
        {0xA8, 8, DataWrite::Register}, {0xC8, 8, DataWrite::Register}, {0xD8, 8, DataWrite::Register},
        {0xF8, 8, DataWrite::Register},
        {0xC0, 1, DataWrite::Stack},    {0x12, 1, DataWrite::Stack},
        {0xF0, 1, DataWrite::ExternalData}, {0xF2, 2, DataWrite::ExternalData},
    };
    for (const auto& row : rows)
        for (unsigned i = 0; i < row.count; ++i) table[row.first + i] = row.write;
    for (unsigned op = 0x11; op < 256; op += 0x20) table[op] = DataWrite::Stack; // ACALL
    return table;
}

} // namespace detail

using detail::DataWrite;
inline constexpr std::array<DataWrite, 256> kOpcodeWrites = detail::makeWriteTable();

inline constexpr std::array<uint8_t, 256> kOpcodeLength = detail::makeLengthTable();
inline constexpr std::array<uint8_t, 256> kOpcodeFacts = detail::makeFactTable();

constexpr int opcodeLength(uint8_t opcode) { return kOpcodeLength[opcode]; }
constexpr bool isCallOpcode(uint8_t opcode) { return kOpcodeFacts[opcode] & kOpCall; }
constexpr bool isReturnOpcode(uint8_t opcode) {
    return kOpcodeFacts[opcode] & (kOpReturn | kOpReturnFromInterrupt);
}
constexpr bool isUnconditionalJump(uint8_t opcode) {
    return kOpcodeFacts[opcode] & kOpUnconditionalJump;
}

// The target of an unconditional jump whose bytes `b1`, `b2` follow its
// opcode at `address` (SJMP: relative to the next instruction; AJMP: within
// the 2 KB page of the next instruction; LJMP: absolute).
constexpr uint16_t unconditionalJumpTarget(uint8_t opcode, uint8_t b1, uint8_t b2, uint16_t address) {
    if (opcode == 0x80) return uint16_t(address + 2 + int8_t(b1));
    if (opcode == 0x02) return uint16_t(b1 << 8 | b2);
    return uint16_t(((address + 2) & 0xF800) | (opcode >> 5) << 8 | b1);
}

// SJMP $, AJMP $ or LJMP $ at `address`.
constexpr bool isJumpToItself(uint8_t opcode, uint8_t b1, uint8_t b2, uint16_t address) {
    return isUnconditionalJump(opcode) && unconditionalJumpTarget(opcode, b1, b2, address) == address;
}

} // namespace quorvel
