#include "tools/line_assembler.h"

#include "tools/instruction_table.h"
#include "tools/symbol_names.h"

#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

namespace {

using R = AssembleResult;

// Tried in this order as prefixes of the line: a longer name comes before the
// shorter one it begins with (JB last, after JBC).
constexpr std::array<std::string_view, 44> kMnemonicOrder{
    "ACALL", "AJMP", "ADDC", "ADD",  "ANL",  "CJNE", "CLR",  "CPL",  "DA",   "DEC",  "DIV",
    "DJNZ",  "INC",  "JBC",  "JC",   "JMP",  "JNB",  "JNC",  "JNZ",  "JZ",   "LCALL", "LJMP",
    "MOVC",  "MOVX", "MOV",  "MUL",  "NOP",  "ORL",  "POP",  "PUSH", "RETI", "RET",  "RLC",
    "RL",    "RRC",  "RR",   "SETB", "SJMP", "SUBB", "SWAP", "XCHD", "XCH",  "XRL",  "JB",
};

constexpr std::array<std::string_view, 12> kMessages{
    "",
    "Illegal mnemonic",
    "Missing Operand",
    "Improper Hex value",
    "Exceeds 2K Memory",
    "Illegal Operand",
    "Illegal Data",
    "Illegal Data Address",
    "Illegal Code Address",
    "Relative jump too long",
    "Illegal Bit Address",
    "",
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Value of 1 to maxDigits upper-case hex digits, the whole text. The number
// may end in the suffix H as asm51 writes it ("55H", "0FFH"); with the suffix,
// leading zeros beyond maxDigits are allowed, since asm51 needs a number to
// start with a digit. Without it, the digits are hexadecimal all the same.
std::optional<uint16_t> hexNumber(std::string_view text, size_t maxDigits) {
    if (text.size() > 1 && text.back() == 'H') {
        text.remove_suffix(1);
        while (text.size() > maxDigits && text.front() == '0') text.remove_prefix(1);
    }
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (!isHexDigit(c)) return std::nullopt;
        value = value * 16 + unsigned(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    return uint16_t(value);
}

// A number written with the suffix H ("7H"): its digit count is explicit.
bool hasHexSuffix(std::string_view text) { return text.size() > 1 && text.back() == 'H'; }

// The operands a token names without a value ("A", "R3", "@R1", "DPTR", ...).
std::optional<Operand> fixedOperandOf(std::string_view t) {
    using K = OperandKind;
    if (t.size() == 2 && t[0] == 'R' && t[1] >= '0' && t[1] <= '7') return Operand{K::Rn, uint8_t(t[1] - '0')};
    if (t == "@R0" || t == "@R1") return Operand{K::AtRi, uint8_t(t[2] - '0')};
    static constexpr std::pair<std::string_view, K> kFixed[] = {
        {"A", K::A},         {"C", K::C},  {"AB", K::AB}, {"DPTR", K::DPTR}, {"@DPTR", K::AtDPTR},
        {"@A+DPTR", K::AtAPlusDPTR}, {"@A+PC", K::AtAPlusPC},
    };
    for (const auto& [text, kind] : kFixed)
        if (t == text) return Operand{kind, 0};
    return std::nullopt;
}

// Splits the operand field into tokens. A token ends at a space, tab, comma
// or the end; between tokens come optional blanks, a comma, optional blanks.
R splitOperands(std::string_view field, std::vector<std::string_view>& tokens) {
    size_t i = 0;
    for (;;) {
        size_t begin = i;
        while (i < field.size() && !isBlank(field[i]) && field[i] != ',') ++i;
        if (i == begin) return R::MissingOperand; // empty field or nothing after a comma
        tokens.push_back(field.substr(begin, i - begin));
        while (i < field.size() && isBlank(field[i])) ++i;
        if (i == field.size()) return R::Success;
        if (field[i] != ',') return R::IllegalOperand;
        ++i;
        while (i < field.size() && isBlank(field[i])) ++i;
    }
}

// Whether a token may stand in the place of an operand of the given kind, and
// whether it matches as a fixed operand (which ranks above a value reading).
enum class Fit { No, AsValue, Fixed };
Fit fitOf(std::string_view token, Operand operand) {
    using K = OperandKind;
    if (!carriesValue(operand.kind))
        return fixedOperandOf(token) == operand ? Fit::Fixed : Fit::No;
    const char first = token[0];
    switch (operand.kind) {
    case K::Data:
    case K::Data16: return first == '#' ? Fit::AsValue : Fit::No;
    case K::NotBit: return first == '/' ? Fit::AsValue : Fit::No;
    default: return first == '#' || first == '/' ? Fit::No : Fit::AsValue;
    }
}

struct Parsed {
    R result = R::Success;
    uint16_t value = 0;
};

Parsed parseValue(std::string_view token, OperandKind kind, std::string_view mnemonic) {
    using K = OperandKind;
    if (token[0] == '@') return {R::IllegalOperand};
    switch (kind) {
    case K::Data:
    case K::Data16: {
        auto v = hexNumber(token.substr(1), kind == K::Data16 ? 4 : 2);
        return v ? Parsed{R::Success, *v} : Parsed{R::IllegalData};
    }
    case K::Direct: {
        if (auto named = lookupDirectName(token)) return {R::Success, *named};
        if (auto v = hexNumber(token, 2)) return {R::Success, *v};
        // A source that starts like a register but is none is the wrong kind.
        return {token[0] == 'R' ? R::IllegalOperand : R::IllegalDataAddress};
    }
    case K::Bit:
    case K::NotBit: {
        std::string_view bit = kind == K::NotBit ? token.substr(1) : token;
        if (auto named = lookupBitName(bit)) return {R::Success, *named};
        // Without the suffix a bit address takes exactly two digits.
        if (bit.size() == 2 || hasHexSuffix(bit))
            if (auto v = hexNumber(bit, 2)) return {R::Success, *v};
        return {R::IllegalBitAddress};
    }
    case K::Rel:
    case K::Addr16:
    case K::Addr11: {
        if (token.size() > 4 && !hasHexSuffix(token)) return {R::IllegalCodeAddress};
        if (auto v = hexNumber(token, 4)) return {R::Success, *v};
        return {mnemonic == "AJMP" ? R::ImproperHexValue : R::IllegalCodeAddress};
    }
    default: return {R::IllegalOperand};
    }
}

// Picks the opcode of the mnemonic whose operands the tokens fit. Among full
// fits the one with fixed operands earliest wins, so "MOV A,C" is MOV
// A,direct and "MOV 30,C" is MOV bit,C, and a register beats a direct reading.
R chooseOpcode(std::string_view mnemonic, const std::vector<std::string_view>& tokens,
               uint8_t& chosen) {
    bool missing = false;
    int bestScore = -1;
    for (uint8_t op : opcodesOf(mnemonic)) {
        const Instruction& ins = instructionOf(op);
        if (ins.form == OperandForm::PageAddress && (op & 0xE0) != 0) continue;
        const size_t shared = std::min(tokens.size(), size_t(ins.operandCount));
        int score = 0;
        bool fits = true;
        for (size_t i = 0; i < shared && fits; ++i) {
            Fit fit = fitOf(tokens[i], ins.operands[i]);
            fits = fit != Fit::No;
            score = score * 2 + (fit == Fit::Fixed ? 1 : 0);
        }
        if (!fits) continue;
        if (tokens.size() < ins.operandCount) missing = true;
        if (tokens.size() != ins.operandCount) continue;
        if (score > bestScore) {
            bestScore = score;
            chosen = op;
        }
    }
    if (bestScore >= 0) return R::Success;
    return missing ? R::MissingOperand : R::IllegalOperand;
}

AssembledInstruction fail(R result) { return {result, {}, 0}; }

} // namespace

AssembledInstruction assembleLine(std::string_view input, uint16_t address) {
    std::string line(input);
    for (char& c : line) c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string_view rest = line;
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    if (rest.empty()) return fail(R::Empty);

    std::string_view mnemonic;
    for (std::string_view name : kMnemonicOrder)
        if (rest.starts_with(name)) {
            mnemonic = name;
            break;
        }
    if (mnemonic.empty()) return fail(R::IllegalMnemonic);
    rest.remove_prefix(mnemonic.size());

    const bool bare = mnemonic == "NOP" || mnemonic == "RET" || mnemonic == "RETI";
    if (bare) {
        for (char c : rest)
            if (!isBlank(c)) return fail(R::IllegalMnemonic);
        AssembledInstruction out{R::Success, {}, 1};
        out.bytes[0] = *findOpcode(mnemonic, {});
        return out;
    }
    if (!rest.empty() && !isBlank(rest.front())) return fail(R::IllegalMnemonic);
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);

    std::vector<std::string_view> tokens;
    if (R split = splitOperands(rest, tokens); split != R::Success) return fail(split);

    // MOVC reads only A,@A+DPTR and A,@A+PC; its first operand must be A.
    if (mnemonic == "MOVC" && tokens[0] != "A") return fail(R::IllegalData);

    uint8_t opcode = 0;
    if (R choice = chooseOpcode(mnemonic, tokens, opcode); choice != R::Success) return fail(choice);

    const Instruction& ins = instructionOf(opcode);
    std::array<uint16_t, 3> values{};
    size_t valueCount = 0;
    for (size_t i = 0; i < ins.operandCount; ++i) {
        if (!carriesValue(ins.operands[i].kind)) continue;
        Parsed parsed = parseValue(tokens[i], ins.operands[i].kind, mnemonic);
        if (parsed.result != R::Success) return fail(parsed.result);
        values[valueCount++] = parsed.value;
        // A jump into the instruction's own bytes cannot be meant.
        if (ins.operands[i].kind == OperandKind::Rel) {
            int offset = relativeOffset(address, ins.length, parsed.value);
            if (offset < 0 && offset > -int(ins.length)) return fail(R::IllegalCodeAddress);
        }
    }
    Encoded encoded = encodeInstruction(opcode, std::span(values.data(), valueCount), address);
    switch (encoded.status) {
    case EncodeStatus::TargetOutsidePage: return fail(R::Exceeds2K);
    case EncodeStatus::RelativeTooFar: return fail(R::RelativeJumpTooLong);
    case EncodeStatus::Ok: break;
    }
    return {R::Success, encoded.bytes, encoded.length};
}

std::string_view assembleMessageText(AssembleResult result) {
    return kMessages[std::min<size_t>(size_t(result), kMessages.size() - 1)];
}

Validation assembleError(AssembleResult result) {
    if (result == R::Empty || result == R::Success) return std::nullopt;
    return errorMessage("Error", std::string(assembleMessageText(result)));
}

} // namespace quorvel
