#include "tools/disassembler.h"

#include "chip/chip_state.h"
#include "tools/instruction_table.h"
#include "tools/symbol_names.h"

#include <cctype>
#include <cstdio>

namespace quorvel {

namespace {

constexpr size_t kFilledWidth = 39;
constexpr size_t kTrailingSpaces = 18;

// Register names by the opcode's low digit for the direct,register form.
constexpr const char* kRegisterOfLowDigit[16] = {"",   "",   "A",  "",   "",   "A",  "@R0", "@R1",
                                                 "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7"};

std::string hex(const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Target of a relative jump: next + signed offset, wrapped at 16 bits.
std::string relTarget(uint32_t next, uint8_t offset) {
    return hex("%04x", uint16_t(next + uint32_t(int32_t(int8_t(offset)))));
}

} // namespace

std::string operandFormText(uint16_t address, uint8_t opcode, uint8_t b1, uint8_t b2) {
    const Instruction& ins = instructionOf(opcode);
    const uint32_t next = uint32_t(address) + ins.length;
    switch (ins.form) {
    case OperandForm::None: return {};
    case OperandForm::PageAddress:
        return hex("%04x", uint16_t((next & 0xF800) + ((opcode & 0xE0u) << 3) + b1));
    case OperandForm::Long: return hex("%02x", b1) + hex("%02x", b2);
    case OperandForm::Direct: return directDisplayName(b1);
    case OperandForm::Immediate: return hex("%02x", b1);
    case OperandForm::Relative: return relTarget(next, b1);
    case OperandForm::DirectRegister:
        return directDisplayName(b1) + "," + kRegisterOfLowDigit[opcode & 0x0F];
    case OperandForm::DirectImmediate: return directDisplayName(b1) + ",#" + hex("%02x", b2);
    case OperandForm::Bit: return bitDisplayName(b1);
    case OperandForm::DirectDirect: return directDisplayName(b2) + "," + directDisplayName(b1);
    case OperandForm::BitCarry: return bitDisplayName(b1) + ",C";
    case OperandForm::BitRelative: return bitDisplayName(b1) + "," + relTarget(next, b2);
    case OperandForm::ImmediateRelative: return hex("%02x,", b1) + relTarget(next, b2);
    case OperandForm::DirectRelative: return directDisplayName(b1) + "," + relTarget(next, b2);
    }
    return {};
}

DisassembledLine disassemble(uint16_t address, uint8_t opcode, uint8_t b1, uint8_t b2,
                             ViewMode mode) {
    const Instruction& ins = instructionOf(opcode);
    char prefix[48];
    const bool clear = mode == ViewMode::Clear;
    switch (ins.length) {
    case 1:
        std::snprintf(prefix, sizeof prefix,
                      clear ? " %04x      %02x        " : "  %04x         %02x          ",
                      unsigned(address), unsigned(opcode));
        break;
    case 2:
        std::snprintf(prefix, sizeof prefix,
                      clear ? " %04x      %02x %02x     " : "  %04x         %02x %02x       ",
                      unsigned(address), unsigned(opcode), unsigned(b1));
        break;
    default:
        std::snprintf(prefix, sizeof prefix,
                      clear ? " %04x      %02x %02x %02x  " : "  %04x         %02x %02x %02x    ",
                      unsigned(address), unsigned(opcode), unsigned(b1), unsigned(b2));
        break;
    }
    DisassembledLine line;
    line.length = ins.length;
    line.next = uint32_t(address) + ins.length;
    line.text = prefix + ins.row + operandFormText(address, opcode, b1, b2);
    if (line.text.size() < kFilledWidth) line.text.resize(kFilledWidth, ' ');
    for (char& c : line.text) c = char(std::toupper(static_cast<unsigned char>(c)));
    line.text.append(kTrailingSpaces, ' ');
    return line;
}

DisassembledLine disassembleAt(const ChipState& chip, uint16_t address, ViewMode mode) {
    auto byteAt = [&chip](uint32_t a) { return a > 0xFFFF ? uint8_t(0xFF) : chip.readCode(uint16_t(a)); };
    return disassemble(address, byteAt(address), byteAt(uint32_t(address) + 1),
                       byteAt(uint32_t(address) + 2), mode);
}

std::string mnemonicPart(std::string_view line) {
    if (line.size() <= kNormalMnemonicColumn) return {};
    std::string_view rest = line.substr(kNormalMnemonicColumn);
    size_t last = rest.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string() : std::string(rest.substr(0, last + 1));
}

} // namespace quorvel
