#include "asm51/encoder.h"

#include "tools/instruction_table.h"

#include <algorithm>
#include <array>
#include <optional>

namespace quorvel::asm51 {

namespace {

using K = OperandKind;

// An operand as written in the source, before it is matched with a row of the
// instruction table.
struct SourceOperand {
    enum class Shape : uint8_t { Fixed, Immediate, NotBit, Expression };
    Shape shape = Shape::Expression;
    Operand fixed{K::A, 0}; // Shape::Fixed
    Value value;            // the other shapes
    std::string text;       // as written (after "#" or "/"), for messages
};

struct FixedName {
    std::string_view name;
    Operand operand;
};
// Operands fixed by the opcode that are written as one word.
constexpr std::array<FixedName, 12> kFixedNames{{
    {"A", {K::A, 0}},
    {"C", {K::C, 0}},
    {"AB", {K::AB, 0}},
    {"DPTR", {K::DPTR, 0}},
    {"R0", {K::Rn, 0}},
    {"R1", {K::Rn, 1}},
    {"R2", {K::Rn, 2}},
    {"R3", {K::Rn, 3}},
    {"R4", {K::Rn, 4}},
    {"R5", {K::Rn, 5}},
    {"R6", {K::Rn, 6}},
    {"R7", {K::Rn, 7}},
}};

std::optional<Operand> fixedName(std::string_view name) {
    for (const auto& f : kFixedNames)
        if (f.name == name) return f.operand;
    return std::nullopt;
}

std::string tokenText(std::span<const Token> tokens) {
    std::string text;
    for (const Token& t : tokens) {
        if (t.kind == TokenKind::End) break;
        if (t.kind == TokenKind::String)
            text += "'" + t.text + "'";
        else
            text += t.text;
    }
    return text;
}

// A register symbol (NAME EQU R5) standing alone, as Rn.
std::optional<Operand> registerSymbol(const Token& t, EvalContext& context) {
    if (t.kind != TokenKind::Name) return std::nullopt;
    Symbol* s = context.symbols->find(t.text);
    if (!s || s->value.type != ValueType::Register) return std::nullopt;
    return Operand{K::Rn, uint8_t(s->value.value)};
}

Value evaluateAll(std::span<const Token> tokens, EvalContext& context) {
    size_t pos = 0;
    Value v = evaluate(tokens, pos, context);
    if (tokens[pos].kind != TokenKind::End) throw AsmError{"unexpected " + tokens[pos].text};
    return v;
}

// tokens ends with an End token.
SourceOperand parseOperand(std::span<const Token> tokens, EvalContext& context) {
    SourceOperand op;
    op.text = tokenText(tokens);
    const Token& first = tokens[0];
    const bool single = tokens.size() == 2;
    if (first.kind == TokenKind::End) throw AsmError{"missing operand"};
    if (first.kind == TokenKind::Hash) {
        op.shape = SourceOperand::Shape::Immediate;
        op.text = tokenText(tokens.subspan(1));
        op.value = evaluateAll(tokens.subspan(1), context);
        return op;
    }
    if (first.kind == TokenKind::Slash) {
        op.shape = SourceOperand::Shape::NotBit;
        op.text = tokenText(tokens.subspan(1));
        op.value = evaluateAll(tokens.subspan(1), context);
        return op;
    }
    op.shape = SourceOperand::Shape::Fixed;
    if (first.kind == TokenKind::At) {
        auto rest = tokens.subspan(1);
        auto nameIs = [&](size_t i, std::string_view name) {
            return i < rest.size() && rest[i].kind == TokenKind::Name && rest[i].text == name;
        };
        if (rest.size() == 2 && (nameIs(0, "R0") || nameIs(0, "R1"))) {
            op.fixed = {K::AtRi, uint8_t(rest[0].text[1] - '0')};
        } else if (rest.size() == 2 && nameIs(0, "DPTR")) {
            op.fixed = {K::AtDPTR, 0};
        } else if (rest.size() == 4 && nameIs(0, "A") && rest[1].kind == TokenKind::Plus &&
                   (nameIs(2, "DPTR") || nameIs(2, "PC"))) {
            op.fixed = {rest[2].text == "PC" ? K::AtAPlusPC : K::AtAPlusDPTR, 0};
        } else if (auto reg = rest.size() == 2 ? registerSymbol(rest[0], context) : std::nullopt;
                   reg && reg->reg <= 1) {
            op.fixed = {K::AtRi, reg->reg};
        } else {
            throw AsmError{"invalid indirect operand " + op.text +
                           " (use @R0, @R1, @DPTR, @A+DPTR or @A+PC)"};
        }
        return op;
    }
    if (single && first.kind == TokenKind::Name) {
        if (auto fixed = fixedName(first.text)) {
            op.fixed = *fixed;
            return op;
        }
        if (auto reg = registerSymbol(first, context)) {
            op.fixed = *reg;
            return op;
        }
    }
    op.shape = SourceOperand::Shape::Expression;
    op.value = evaluateAll(tokens, context);
    return op;
}

std::vector<SourceOperand> parseOperands(std::span<const Token> tokens, EvalContext& context) {
    std::vector<SourceOperand> operands;
    if (tokens[0].kind == TokenKind::End) return operands;
    size_t start = 0;
    int depth = 0;
    std::vector<Token> part;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == TokenKind::LParen) ++depth;
        if (t.kind == TokenKind::RParen) --depth;
        if ((t.kind == TokenKind::Comma && depth <= 0) || t.kind == TokenKind::End) {
            part.assign(tokens.begin() + ptrdiff_t(start), tokens.begin() + ptrdiff_t(i));
            Token end;
            end.kind = TokenKind::End;
            part.push_back(end);
            if (part.size() == 1) throw AsmError{"missing operand"};
            operands.push_back(parseOperand(part, context));
            start = i + 1;
        }
    }
    return operands;
}

bool shapeMatches(const SourceOperand& op, Operand row) {
    switch (op.shape) {
    case SourceOperand::Shape::Fixed: return op.fixed == row;
    case SourceOperand::Shape::Immediate: return row.kind == K::Data || row.kind == K::Data16;
    case SourceOperand::Shape::NotBit: return row.kind == K::NotBit;
    case SourceOperand::Shape::Expression:
        return row.kind == K::Direct || row.kind == K::Bit || row.kind == K::Rel ||
               row.kind == K::Addr11 || row.kind == K::Addr16;
    }
    return false;
}

std::string shapeText(const SourceOperand& op) {
    switch (op.shape) {
    case SourceOperand::Shape::Fixed: return operandText(op.fixed);
    case SourceOperand::Shape::Immediate: return "#data";
    case SourceOperand::Shape::NotBit: return "/bit";
    case SourceOperand::Shape::Expression: return "address";
    }
    return {};
}

bool accepts(std::initializer_list<ValueType> types, ValueType type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

// Checks an operand's value against what the row's operand kind can hold and
// returns it as the 16 bits the table's encoder takes.
uint16_t checkedValue(const SourceOperand& op, K kind) {
    const Value& v = op.value;
    using T = ValueType;
    if (v.type == T::Register) {
        // Name the symbol, not the "#" that asked for its value.
        std::string_view name = op.text;
        if (!name.empty() && name.front() == '#') name.remove_prefix(1);
        throw AsmError{std::string(name) + " is a register, not a value"};
    }
    if (!v.known) return 0;
    auto typeError = [&](std::string_view wanted) {
        return AsmError{op.text + " is " +
                        (v.type == T::Bit ? "a bit address"
                                          : "a " + std::string(typeName(v.type)) + " address") +
                        ", not " + std::string(wanted)};
    };
    switch (kind) {
    case K::Data: // a negative byte is stored as its low byte: #-1 is 0FFH
        if (v.value < kByteLow || v.value > kByteHigh)
            throw AsmError{"value " + formatHex(v.value) + " does not fit in a byte"};
        break;
    case K::Data16:
        if (v.value < -32768 || v.value > 0xFFFF)
            throw AsmError{"value " + formatHex(v.value) + " does not fit in 16 bits"};
        break;
    case K::Direct:
        if (!accepts({T::Number, T::Data, T::IData}, v.type)) throw typeError("a data address");
        if (v.value < 0 || v.value > 0xFF)
            throw AsmError{"data address " + formatHex(v.value) + " is not 00H to 0FFH"};
        break;
    case K::Bit:
    case K::NotBit:
        if (!accepts({T::Number, T::Bit}, v.type)) throw typeError("a bit address");
        if (v.value < 0 || v.value > 0xFF)
            throw AsmError{"bit address " + formatHex(v.value) + " is not 00H to 0FFH"};
        break;
    case K::Rel:
    case K::Addr11:
    case K::Addr16:
        if (!accepts({T::Number, T::Code}, v.type)) throw typeError("a code address");
        if (v.value < 0 || v.value > 0xFFFF)
            throw AsmError{"code address " + formatHex(v.value) + " is not 0000H to 0FFFFH"};
        break;
    default: break;
    }
    return uint16_t(v.value & 0xFFFF);
}

std::vector<uint8_t> encodeValues(uint8_t opcode, const std::vector<SourceOperand>& operands,
                                  int64_t address);

std::vector<uint8_t> encodeRow(uint8_t opcode, const std::vector<SourceOperand>& operands,
                               int64_t address) {
    const Instruction& ins = instructionOf(opcode);
    try {
        return encodeValues(opcode, operands, address);
    } catch (AsmError& e) {
        e.length = ins.length;
        throw;
    }
}

std::vector<uint8_t> encodeValues(uint8_t opcode, const std::vector<SourceOperand>& operands,
                                  int64_t address) {
    const Instruction& ins = instructionOf(opcode);
    std::vector<uint16_t> values;
    bool allKnown = true;
    for (size_t i = 0; i < operands.size(); ++i) {
        K kind = ins.operands[i].kind;
        if (!carriesValue(kind)) continue;
        values.push_back(checkedValue(operands[i], kind));
        allKnown = allKnown && operands[i].value.known;
    }
    Encoded e = encodeInstruction(opcode, values, uint16_t(address));
    if (allKnown && e.status == EncodeStatus::RelativeTooFar) {
        uint16_t target = values.back();
        int offset = relativeOffset(uint16_t(address), ins.length, target);
        throw AsmError{"relative jump out of range: target " + formatHex(target, 4) + " is " +
                       std::to_string(offset) + " bytes away (-128 to +127)"};
    }
    if (allKnown && e.status == EncodeStatus::TargetOutsidePage) {
        const int64_t page = (address + 2) & 0xF800;
        throw AsmError{std::string(ins.mnemonic) + " target " + formatHex(values[0], 4) +
                       " is outside the 2 KB page " + formatHex(page, 4) + "-" +
                       formatHex(page + 0x7FF, 4) + " of the next instruction"};
    }
    return {e.bytes.begin(), e.bytes.begin() + e.length};
}

// SJMP/AJMP/LJMP for JMP, ACALL/LCALL for CALL. The first pass fixes the
// size: a target it does not know yet (defined further on) takes the long
// form; a known one the shortest form that reaches it. Should a later pass
// find a short form out of reach (only when an earlier line changed size, as
// one naming a register symbol defined further on does), the line grows to
// the long form rather than assemble a wrong jump.
std::vector<uint8_t> encodeGeneric(bool call, const SourceOperand& target, int64_t address,
                                   GenericJump& generic) {
    uint16_t value = 0;
    try {
        value = checkedValue(target, K::Addr16);
    } catch (AsmError& e) {
        if (generic.size == 0) generic.size = target.value.known ? 2 : 3;
        e.length = generic.size;
        throw;
    }
    const uint16_t next = uint16_t(address + 2);
    const bool samePage = (value & 0xF800) == (next & 0xF800);
    const int offset = relativeOffset(uint16_t(address), 2, value);
    const bool shortReach = !call && offset >= -128 && offset <= 127;
    const bool shortFits = target.value.known && (shortReach || samePage);
    if (generic.size == 0)
        generic.size = shortFits ? 2 : 3;
    else if (target.value.known && !shortFits)
        generic.size = 3;
    uint8_t opcode;
    if (generic.size == 3)
        opcode = call ? 0x12 : 0x02; // LCALL, LJMP
    else if (shortReach || !target.value.known)
        opcode = call ? 0x11 : 0x80; // ACALL, SJMP
    else
        opcode = call ? 0x11 : 0x01; // ACALL, AJMP
    Encoded e = encodeInstruction(opcode, std::array<uint16_t, 1>{value}, uint16_t(address));
    return {e.bytes.begin(), e.bytes.begin() + e.length};
}

} // namespace

bool isMnemonic(std::string_view upperName) {
    if (upperName == "CALL") return true;
    auto names = mnemonicNames();
    return std::find(names.begin(), names.end(), upperName) != names.end();
}

bool isGenericJump(std::string_view mnemonic, std::span<const Token> operandTokens) {
    if (mnemonic == "CALL") return true;
    return mnemonic == "JMP" && operandTokens[0].kind != TokenKind::At;
}

std::vector<uint8_t> encodeLine(std::string_view mnemonic, std::span<const Token> operandTokens,
                                int64_t address, EvalContext& context, GenericJump& generic) {
    std::vector<SourceOperand> operands = parseOperands(operandTokens, context);
    if (isGenericJump(mnemonic, operandTokens)) {
        if (operands.size() != 1 || operands[0].shape != SourceOperand::Shape::Expression)
            throw AsmError{std::string(mnemonic) + " takes one code address"};
        return encodeGeneric(mnemonic == "CALL", operands[0], address, generic);
    }
    std::vector<uint8_t> candidates = opcodesOf(mnemonic);
    bool countFits = false;
    for (uint8_t opcode : candidates) {
        const Instruction& ins = instructionOf(opcode);
        if (ins.operandCount != operands.size()) continue;
        countFits = true;
        bool match = true;
        for (size_t i = 0; i < operands.size() && match; ++i)
            match = shapeMatches(operands[i], ins.operands[i]);
        if (match) return encodeRow(opcode, operands, address);
    }
    if (!countFits) {
        std::vector<int> counts;
        for (uint8_t opcode : candidates)
            counts.push_back(instructionOf(opcode).operandCount);
        std::sort(counts.begin(), counts.end());
        counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
        std::string wanted;
        for (size_t i = 0; i < counts.size(); ++i)
            wanted += (i == 0                   ? ""
                       : i + 1 == counts.size() ? " or "
                                                : ", ") +
                      std::to_string(counts[i]);
        if (wanted == "0") throw AsmError{std::string(mnemonic) + " takes no operands"};
        throw AsmError{std::string(mnemonic) + " takes " + wanted + " operand" +
                       (counts.size() == 1 && counts[0] == 1 ? "" : "s") + ", not " +
                       std::to_string(operands.size())};
    }
    std::string shape;
    for (size_t i = 0; i < operands.size(); ++i) {
        if (i) shape += ',';
        shape += shapeText(operands[i]);
    }
    throw AsmError{"invalid operand combination: " + std::string(mnemonic) + " " + shape};
}

} // namespace quorvel::asm51
