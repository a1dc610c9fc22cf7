#include "tools/instruction_table.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace quorvel {

namespace {

struct RowSource {
    const char* mnemonic;
    const char* syntax; // operands as written, placeholders for values
};

// Opcode order. The syntax column uses the placeholder names of OperandKind.
constexpr std::array<RowSource, 256> kRows{{
        {"NOP", ""},                           // 00
        {"AJMP", "addr11"},                    // 01
        {"LJMP", "addr16"},                    // 02
        {"RR", "A"},                           // 03
        {"INC", "A"},                          // 04
        {"INC", "direct"},                     // 05
        {"INC", "@R0"},                        // 06
        {"INC", "@R1"},                        // 07
        {"INC", "R0"},                         // 08
        {"INC", "R1"},                         // 09
        {"INC", "R2"},                         // 0A
        {"INC", "R3"},                         // 0B
        {"INC", "R4"},                         // 0C
        {"INC", "R5"},                         // 0D
        {"INC", "R6"},                         // 0E
        {"INC", "R7"},                         // 0F
        {"JBC", "bit,rel"},                    // 10
        {"ACALL", "addr11"},                   // 11
        {"LCALL", "addr16"},                   // 12
        {"RRC", "A"},                          // 13
        {"DEC", "A"},                          // 14
        {"DEC", "direct"},                     // 15
        {"DEC", "@R0"},                        // 16
        {"DEC", "@R1"},                        // 17
        {"DEC", "R0"},                         // 18
        {"DEC", "R1"},                         // 19
        {"DEC", "R2"},                         // 1A
        {"DEC", "R3"},                         // 1B
        {"DEC", "R4"},                         // 1C
        {"DEC", "R5"},                         // 1D
        {"DEC", "R6"},                         // 1E
        {"DEC", "R7"},                         // 1F
        {"JB", "bit,rel"},                     // 20
        {"AJMP", "addr11"},                    // 21
        {"RET", ""},                           // 22
        {"RL", "A"},                           // 23
        {"ADD", "A,#data"},                    // 24
        {"ADD", "A,direct"},                   // 25
        {"ADD", "A,@R0"},                      // 26
        {"ADD", "A,@R1"},                      // 27
        {"ADD", "A,R0"},                       // 28
        {"ADD", "A,R1"},                       // 29
        {"ADD", "A,R2"},                       // 2A
        {"ADD", "A,R3"},                       // 2B
        {"ADD", "A,R4"},                       // 2C
        {"ADD", "A,R5"},                       // 2D
        {"ADD", "A,R6"},                       // 2E
        {"ADD", "A,R7"},                       // 2F
        {"JNB", "bit,rel"},                    // 30
        {"ACALL", "addr11"},                   // 31
        {"RETI", ""},                          // 32
        {"RLC", "A"},                          // 33
        {"ADDC", "A,#data"},                   // 34
        {"ADDC", "A,direct"},                  // 35
        {"ADDC", "A,@R0"},                     // 36
        {"ADDC", "A,@R1"},                     // 37
        {"ADDC", "A,R0"},                      // 38
        {"ADDC", "A,R1"},                      // 39
        {"ADDC", "A,R2"},                      // 3A
        {"ADDC", "A,R3"},                      // 3B
        {"ADDC", "A,R4"},                      // 3C
        {"ADDC", "A,R5"},                      // 3D
        {"ADDC", "A,R6"},                      // 3E
        {"ADDC", "A,R7"},                      // 3F
        {"JC", "rel"},                         // 40
        {"AJMP", "addr11"},                    // 41
        {"ORL", "direct,A"},                   // 42
        {"ORL", "direct,#data"},               // 43
        {"ORL", "A,#data"},                    // 44
        {"ORL", "A,direct"},                   // 45
        {"ORL", "A,@R0"},                      // 46
        {"ORL", "A,@R1"},                      // 47
        {"ORL", "A,R0"},                       // 48
        {"ORL", "A,R1"},                       // 49
        {"ORL", "A,R2"},                       // 4A
        {"ORL", "A,R3"},                       // 4B
        {"ORL", "A,R4"},                       // 4C
        {"ORL", "A,R5"},                       // 4D
        {"ORL", "A,R6"},                       // 4E
        {"ORL", "A,R7"},                       // 4F
        {"JNC", "rel"},                        // 50
        {"ACALL", "addr11"},                   // 51
        {"ANL", "direct,A"},                   // 52
        {"ANL", "direct,#data"},               // 53
        {"ANL", "A,#data"},                    // 54
        {"ANL", "A,direct"},                   // 55
        {"ANL", "A,@R0"},                      // 56
        {"ANL", "A,@R1"},                      // 57
        {"ANL", "A,R0"},                       // 58
        {"ANL", "A,R1"},                       // 59
        {"ANL", "A,R2"},                       // 5A
        {"ANL", "A,R3"},                       // 5B
        {"ANL", "A,R4"},                       // 5C
        {"ANL", "A,R5"},                       // 5D
        {"ANL", "A,R6"},                       // 5E
        {"ANL", "A,R7"},                       // 5F
        {"JZ", "rel"},                         // 60
        {"AJMP", "addr11"},                    // 61
        {"XRL", "direct,A"},                   // 62
        {"XRL", "direct,#data"},               // 63
        {"XRL", "A,#data"},                    // 64
        {"XRL", "A,direct"},                   // 65
        {"XRL", "A,@R0"},                      // 66
        {"XRL", "A,@R1"},                      // 67
        {"XRL", "A,R0"},                       // 68
        {"XRL", "A,R1"},                       // 69
        {"XRL", "A,R2"},                       // 6A
        {"XRL", "A,R3"},                       // 6B
        {"XRL", "A,R4"},                       // 6C
        {"XRL", "A,R5"},                       // 6D
        {"XRL", "A,R6"},                       // 6E
        {"XRL", "A,R7"},                       // 6F
        {"JNZ", "rel"},                        // 70
        {"ACALL", "addr11"},                   // 71
        {"ORL", "C,bit"},                      // 72
        {"JMP", "@A+DPTR"},                    // 73
        {"MOV", "A,#data"},                    // 74
        {"MOV", "direct,#data"},               // 75
        {"MOV", "@R0,#data"},                  // 76
        {"MOV", "@R1,#data"},                  // 77
        {"MOV", "R0,#data"},                   // 78
        {"MOV", "R1,#data"},                   // 79
        {"MOV", "R2,#data"},                   // 7A
        {"MOV", "R3,#data"},                   // 7B
        {"MOV", "R4,#data"},                   // 7C
        {"MOV", "R5,#data"},                   // 7D
        {"MOV", "R6,#data"},                   // 7E
        {"MOV", "R7,#data"},                   // 7F
        {"SJMP", "rel"},                       // 80
        {"AJMP", "addr11"},                    // 81
        {"ANL", "C,bit"},                      // 82
        {"MOVC", "A,@A+PC"},                   // 83
        {"DIV", "AB"},                         // 84
        {"MOV", "direct,direct"},              // 85
        {"MOV", "direct,@R0"},                 // 86
        {"MOV", "direct,@R1"},                 // 87
        {"MOV", "direct,R0"},                  // 88
        {"MOV", "direct,R1"},                  // 89
        {"MOV", "direct,R2"},                  // 8A
        {"MOV", "direct,R3"},                  // 8B
        {"MOV", "direct,R4"},                  // 8C
        {"MOV", "direct,R5"},                  // 8D
        {"MOV", "direct,R6"},                  // 8E
        {"MOV", "direct,R7"},                  // 8F
        {"MOV", "DPTR,#data16"},               // 90
        {"ACALL", "addr11"},                   // 91
        {"MOV", "bit,C"},                      // 92
        {"MOVC", "A,@A+DPTR"},                 // 93
        {"SUBB", "A,#data"},                   // 94
        {"SUBB", "A,direct"},                  // 95
        {"SUBB", "A,@R0"},                     // 96
        {"SUBB", "A,@R1"},                     // 97
        {"SUBB", "A,R0"},                      // 98
        {"SUBB", "A,R1"},                      // 99
        {"SUBB", "A,R2"},                      // 9A
        {"SUBB", "A,R3"},                      // 9B
        {"SUBB", "A,R4"},                      // 9C
        {"SUBB", "A,R5"},                      // 9D
        {"SUBB", "A,R6"},                      // 9E
        {"SUBB", "A,R7"},                      // 9F
        {"ORL", "C,/bit"},                     // A0
        {"AJMP", "addr11"},                    // A1
        {"MOV", "C,bit"},                      // A2
        {"INC", "DPTR"},                       // A3
        {"MUL", "AB"},                         // A4
        {"RESERVED", ""},                      // A5
        {"MOV", "@R0,direct"},                 // A6
        {"MOV", "@R1,direct"},                 // A7
        {"MOV", "R0,direct"},                  // A8
        {"MOV", "R1,direct"},                  // A9
        {"MOV", "R2,direct"},                  // AA
        {"MOV", "R3,direct"},                  // AB
        {"MOV", "R4,direct"},                  // AC
        {"MOV", "R5,direct"},                  // AD
        {"MOV", "R6,direct"},                  // AE
        {"MOV", "R7,direct"},                  // AF
        {"ANL", "C,/bit"},                     // B0
        {"ACALL", "addr11"},                   // B1
        {"CPL", "bit"},                        // B2
        {"CPL", "C"},                          // B3
        {"CJNE", "A,#data,rel"},               // B4
        {"CJNE", "A,direct,rel"},              // B5
        {"CJNE", "@R0,#data,rel"},             // B6
        {"CJNE", "@R1,#data,rel"},             // B7
        {"CJNE", "R0,#data,rel"},              // B8
        {"CJNE", "R1,#data,rel"},              // B9
        {"CJNE", "R2,#data,rel"},              // BA
        {"CJNE", "R3,#data,rel"},              // BB
        {"CJNE", "R4,#data,rel"},              // BC
        {"CJNE", "R5,#data,rel"},              // BD
        {"CJNE", "R6,#data,rel"},              // BE
        {"CJNE", "R7,#data,rel"},              // BF
        {"PUSH", "direct"},                    // C0
        {"AJMP", "addr11"},                    // C1
        {"CLR", "bit"},                        // C2
        {"CLR", "C"},                          // C3
        {"SWAP", "A"},                         // C4
        {"XCH", "A,direct"},                   // C5
        {"XCH", "A,@R0"},                      // C6
        {"XCH", "A,@R1"},                      // C7
        {"XCH", "A,R0"},                       // C8
        {"XCH", "A,R1"},                       // C9
        {"XCH", "A,R2"},                       // CA
        {"XCH", "A,R3"},                       // CB
        {"XCH", "A,R4"},                       // CC
        {"XCH", "A,R5"},                       // CD
        {"XCH", "A,R6"},                       // CE
        {"XCH", "A,R7"},                       // CF
        {"POP", "direct"},                     // D0
        {"ACALL", "addr11"},                   // D1
        {"SETB", "bit"},                       // D2
        {"SETB", "C"},                         // D3
        {"DA", "A"},                           // D4
        {"DJNZ", "direct,rel"},                // D5
        {"XCHD", "A,@R0"},                     // D6
        {"XCHD", "A,@R1"},                     // D7
        {"DJNZ", "R0,rel"},                    // D8
        {"DJNZ", "R1,rel"},                    // D9
        {"DJNZ", "R2,rel"},                    // DA
        {"DJNZ", "R3,rel"},                    // DB
        {"DJNZ", "R4,rel"},                    // DC
        {"DJNZ", "R5,rel"},                    // DD
        {"DJNZ", "R6,rel"},                    // DE
        {"DJNZ", "R7,rel"},                    // DF
        {"MOVX", "A,@DPTR"},                   // E0
        {"AJMP", "addr11"},                    // E1
        {"MOVX", "A,@R0"},                     // E2
        {"MOVX", "A,@R1"},                     // E3
        {"CLR", "A"},                          // E4
        {"MOV", "A,direct"},                   // E5
        {"MOV", "A,@R0"},                      // E6
        {"MOV", "A,@R1"},                      // E7
        {"MOV", "A,R0"},                       // E8
        {"MOV", "A,R1"},                       // E9
        {"MOV", "A,R2"},                       // EA
        {"MOV", "A,R3"},                       // EB
        {"MOV", "A,R4"},                       // EC
        {"MOV", "A,R5"},                       // ED
        {"MOV", "A,R6"},                       // EE
        {"MOV", "A,R7"},                       // EF
        {"MOVX", "@DPTR,A"},                   // F0
        {"ACALL", "addr11"},                   // F1
        {"MOVX", "@R0,A"},                     // F2
        {"MOVX", "@R1,A"},                     // F3
        {"CPL", "A"},                          // F4
        {"MOV", "direct,A"},                   // F5
        {"MOV", "@R0,A"},                      // F6
        {"MOV", "@R1,A"},                      // F7
        {"MOV", "R0,A"},                       // F8
        {"MOV", "R1,A"},                       // F9
        {"MOV", "R2,A"},                       // FA
        {"MOV", "R3,A"},                       // FB
        {"MOV", "R4,A"},                       // FC
        {"MOV", "R5,A"},                       // FD
        {"MOV", "R6,A"},                       // FE
        {"MOV", "R7,A"},                       // FF
}};

struct KindName {
    std::string_view text;
    OperandKind kind;
};

// Source text of the fixed operands and the placeholders of the valued ones.
constexpr std::array<KindName, 16> kKindNames{{
    {"A", OperandKind::A},
    {"#data", OperandKind::Data},
    {"#data16", OperandKind::Data16},
    {"direct", OperandKind::Direct},
    {"bit", OperandKind::Bit},
    {"/bit", OperandKind::NotBit},
    {"rel", OperandKind::Rel},
    {"addr11", OperandKind::Addr11},
    {"addr16", OperandKind::Addr16},
    {"C", OperandKind::C},
    {"DPTR", OperandKind::DPTR},
    {"@A+DPTR", OperandKind::AtAPlusDPTR},
    {"@A+PC", OperandKind::AtAPlusPC},
    {"AB", OperandKind::AB},
    {"@DPTR", OperandKind::AtDPTR},
    {"", OperandKind::Rn}, // Rn and @Ri are matched by shape below
}};

Operand parseOperand(std::string_view token) {
    if (token.size() == 2 && token[0] == 'R' && token[1] >= '0' && token[1] <= '7')
        return {OperandKind::Rn, uint8_t(token[1] - '0')};
    if (token == "@R0" || token == "@R1") return {OperandKind::AtRi, uint8_t(token[2] - '0')};
    for (const KindName& name : kKindNames)
        if (!name.text.empty() && name.text == token) return {name.kind, 0};
    throw std::logic_error("instruction table: unknown operand");
}

OperandForm deriveForm(const Instruction& ins) {
    using K = OperandKind;
    std::vector<K> valued;
    for (const Operand& op : ins.operandList())
        if (carriesValue(op.kind)) valued.push_back(op.kind == K::NotBit ? K::Bit : op.kind);
    const bool firstValued = ins.operandCount > 0 && carriesValue(ins.operands[0].kind);
    if (valued.empty()) return OperandForm::None;
    if (valued.size() == 1) {
        switch (valued[0]) {
        case K::Addr11: return OperandForm::PageAddress;
        case K::Addr16:
        case K::Data16: return OperandForm::Long;
        case K::Data: return OperandForm::Immediate;
        case K::Rel: return OperandForm::Relative;
        case K::Direct:
            return firstValued && ins.operandCount == 2 ? OperandForm::DirectRegister
                                                        : OperandForm::Direct;
        case K::Bit:
            return firstValued && ins.operandCount == 2 ? OperandForm::BitCarry : OperandForm::Bit;
        default: break;
        }
    } else if (valued.size() == 2) {
        if (valued[0] == K::Direct && valued[1] == K::Data) return OperandForm::DirectImmediate;
        if (valued[0] == K::Direct && valued[1] == K::Direct) return OperandForm::DirectDirect;
        if (valued[0] == K::Bit && valued[1] == K::Rel) return OperandForm::BitRelative;
        if (valued[0] == K::Data && valued[1] == K::Rel) return OperandForm::ImmediateRelative;
        if (valued[0] == K::Direct && valued[1] == K::Rel) return OperandForm::DirectRelative;
    }
    throw std::logic_error("instruction table: no operand form");
}

// Mnemonic padded to 7 characters, then the operand text up to the first
// value; a "#" or "/" in front of that value stays in the row.
std::string buildRow(const Instruction& ins) {
    if (ins.mnemonic == "NOP" || ins.reserved) return std::string(ins.mnemonic);
    std::string row(ins.mnemonic);
    row.resize(7, ' ');
    std::string_view rest = ins.syntax;
    std::string fixed;
    bool stopped = false;
    while (!rest.empty() && !stopped) {
        size_t comma = rest.find(',');
        std::string_view token = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (carriesValue(parseOperand(token).kind)) {
            if (token[0] == '#' || token[0] == '/') fixed += token[0];
            stopped = true;
        } else {
            fixed += token;
            if (!rest.empty()) fixed += ',';
        }
    }
    return row + fixed;
}

std::array<Instruction, 256> buildTable() {
    std::array<Instruction, 256> table;
    for (int op = 0; op < 256; ++op) {
        const RowSource& src = kRows[op];
        Instruction& ins = table[op];
        ins.mnemonic = src.mnemonic;
        ins.syntax = src.syntax;
        ins.reserved = op == 0xA5;
        std::string_view rest = ins.syntax;
        while (!rest.empty()) {
            size_t comma = rest.find(',');
            ins.operands[ins.operandCount++] = parseOperand(rest.substr(0, comma));
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        }
        ins.form = deriveForm(ins);
        ins.length = uint8_t(formLength(ins.form));
        ins.row = buildRow(ins);
    }
    return table;
}

constexpr std::array<std::string_view, 44> kMnemonics{
    "ACALL", "ADD",  "ADDC", "AJMP", "ANL",  "CJNE", "CLR",  "CPL",  "DA",   "DEC",  "DIV",
    "DJNZ",  "INC",  "JB",   "JBC",  "JC",   "JMP",  "JNB",  "JNC",  "JNZ",  "JZ",   "LCALL",
    "LJMP",  "MOV",  "MOVC", "MOVX", "MUL",  "NOP",  "ORL",  "POP",  "PUSH", "RET",  "RETI",
    "RL",    "RLC",  "RR",   "RRC",  "SETB", "SJMP", "SUBB", "SWAP", "XCH",  "XCHD", "XRL",
};

} // namespace

bool carriesValue(OperandKind kind) {
    switch (kind) {
    case OperandKind::Data:
    case OperandKind::Data16:
    case OperandKind::Direct:
    case OperandKind::Bit:
    case OperandKind::NotBit:
    case OperandKind::Rel:
    case OperandKind::Addr11:
    case OperandKind::Addr16: return true;
    default: return false;
    }
}

std::string operandText(Operand operand) {
    if (operand.kind == OperandKind::Rn) return "R" + std::to_string(operand.reg);
    if (operand.kind == OperandKind::AtRi) return "@R" + std::to_string(operand.reg);
    for (const KindName& name : kKindNames)
        if (name.kind == operand.kind) return std::string(name.text);
    return {};
}

int formLength(OperandForm form) {
    switch (form) {
    case OperandForm::None: return 1;
    case OperandForm::Long:
    case OperandForm::DirectImmediate:
    case OperandForm::DirectDirect:
    case OperandForm::BitRelative:
    case OperandForm::ImmediateRelative:
    case OperandForm::DirectRelative: return 3;
    default: return 2;
    }
}

const std::array<Instruction, 256>& instructionTable() {
    static const std::array<Instruction, 256> table = buildTable();
    return table;
}

const Instruction& instructionOf(uint8_t opcode) { return instructionTable()[opcode]; }

std::optional<uint8_t> findOpcode(std::string_view mnemonic, std::span<const Operand> operands) {
    for (const Instruction& ins : instructionTable()) {
        if (ins.reserved || ins.mnemonic != mnemonic) continue;
        if (std::ranges::equal(ins.operandList(), operands))
            return uint8_t(&ins - instructionTable().data());
    }
    return std::nullopt;
}

std::vector<uint8_t> opcodesOf(std::string_view mnemonic) {
    // Gathered once: the assemblers ask for every instruction line.
    static const auto byMnemonic = [] {
        std::map<std::string_view, std::vector<uint8_t>, std::less<>> index;
        for (int op = 0; op < 256; ++op)
            if (!instructionOf(uint8_t(op)).reserved)
                index[instructionOf(uint8_t(op)).mnemonic].push_back(uint8_t(op));
        return index;
    }();
    const auto found = byMnemonic.find(mnemonic);
    return found == byMnemonic.end() ? std::vector<uint8_t>{} : found->second;
}

std::span<const std::string_view> mnemonicNames() { return kMnemonics; }

int relativeOffset(uint16_t address, int length, uint16_t target) {
    const uint16_t next = uint16_t(address + length);
    return int16_t(uint16_t(target - next));
}

Encoded encodeInstruction(uint8_t opcode, std::span<const uint16_t> values, uint16_t address) {
    const Instruction& ins = instructionOf(opcode);
    auto value = [&](size_t i) -> uint16_t { return i < values.size() ? values[i] : 0; };
    Encoded out;
    out.length = ins.length;
    out.bytes[0] = opcode;
    auto rel = [&](uint16_t target, uint8_t& byte) {
        int offset = relativeOffset(address, ins.length, target);
        if (offset < -128 || offset > 127) out.status = EncodeStatus::RelativeTooFar;
        byte = uint8_t(offset);
    };
    switch (ins.form) {
    case OperandForm::None: break;
    case OperandForm::PageAddress: {
        const uint16_t next = uint16_t(address + 2);
        const uint16_t target = value(0);
        if ((target & 0xF800) != (next & 0xF800)) out.status = EncodeStatus::TargetOutsidePage;
        out.bytes[0] = uint8_t((opcode & 0x1F) | ((target >> 3) & 0xE0));
        out.bytes[1] = uint8_t(target);
        break;
    }
    case OperandForm::Long:
        out.bytes[1] = uint8_t(value(0) >> 8);
        out.bytes[2] = uint8_t(value(0));
        break;
    case OperandForm::Direct:
    case OperandForm::Immediate:
    case OperandForm::DirectRegister:
    case OperandForm::Bit:
    case OperandForm::BitCarry: out.bytes[1] = uint8_t(value(0)); break;
    case OperandForm::Relative: rel(value(0), out.bytes[1]); break;
    case OperandForm::DirectImmediate:
        out.bytes[1] = uint8_t(value(0));
        out.bytes[2] = uint8_t(value(1));
        break;
    case OperandForm::DirectDirect: // encoded source first
        out.bytes[1] = uint8_t(value(1));
        out.bytes[2] = uint8_t(value(0));
        break;
    case OperandForm::BitRelative:
    case OperandForm::ImmediateRelative:
    case OperandForm::DirectRelative:
        out.bytes[1] = uint8_t(value(0));
        rel(value(1), out.bytes[2]);
        break;
    }
    return out;
}

} // namespace quorvel
