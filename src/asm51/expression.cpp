#include "asm51/expression.h"

#include <array>

namespace quorvel::asm51 {

namespace {

enum class Op : uint8_t {
    Or,
    Xor,
    And,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Add,
    Sub,
    Mul,
    Div,
    Mod,
    Shl,
    Shr,
};

struct OpWord {
    std::string_view word;
    Op op;
};
constexpr std::array<OpWord, 6> kRelationWords{{
    {"EQ", Op::Eq},
    {"NE", Op::Ne},
    {"LT", Op::Lt},
    {"LE", Op::Le},
    {"GT", Op::Gt},
    {"GE", Op::Ge},
}};
constexpr std::array<std::string_view, 15> kOperatorWords{"OR",  "XOR", "AND", "NOT",  "EQ",
                                                          "NE",  "LT",  "LE",  "GT",   "GE",
                                                          "MOD", "SHL", "SHR", "HIGH", "LOW"};

constexpr int kMaxDepth = 64;
constexpr int64_t kTrue = 0xFFFF;

class Parser {
public:
    Parser(std::span<const Token> tokens, size_t& pos, EvalContext& context)
        : tokens_(tokens), pos_(pos), context_(context) {}

    Value parse() { return orLevel(); }

private:
    const Token& peek() const { return tokens_[pos_]; }
    bool peekWord(std::string_view word) const {
        return peek().kind == TokenKind::Name && peek().text == word;
    }
    void advance() {
        if (peek().kind != TokenKind::End) ++pos_;
    }

    struct DepthGuard {
        explicit DepthGuard(int& depth) : depth_(depth) {
            if (++depth_ > kMaxDepth) throw AsmError{"expression nested too deeply"};
        }
        ~DepthGuard() { --depth_; }
        int& depth_;
    };

    Value orLevel() {
        Value left = andLevel();
        for (;;) {
            if (peekWord("OR")) {
                advance();
                left = combine(Op::Or, left, andLevel());
            } else if (peekWord("XOR")) {
                advance();
                left = combine(Op::Xor, left, andLevel());
            } else {
                return left;
            }
        }
    }

    Value andLevel() {
        Value left = notLevel();
        while (peekWord("AND")) {
            advance();
            left = combine(Op::And, left, notLevel());
        }
        return left;
    }

    Value notLevel() {
        DepthGuard guard(depth_);
        if (peekWord("NOT")) {
            advance();
            Value v = notLevel();
            requireArithmetic(v);
            return {~v.value, ValueType::Number, v.known};
        }
        return relationLevel();
    }

    std::optional<Op> relationOp() const {
        switch (peek().kind) {
        case TokenKind::Equal: return Op::Eq;
        case TokenKind::NotEqual: return Op::Ne;
        case TokenKind::Less: return Op::Lt;
        case TokenKind::LessEqual: return Op::Le;
        case TokenKind::Greater: return Op::Gt;
        case TokenKind::GreaterEqual: return Op::Ge;
        case TokenKind::Name:
            for (const auto& w : kRelationWords)
                if (peek().text == w.word) return w.op;
            return std::nullopt;
        default: return std::nullopt;
        }
    }

    Value relationLevel() {
        Value left = addLevel();
        if (auto op = relationOp()) {
            advance();
            left = combine(*op, left, addLevel());
        }
        return left;
    }

    Value addLevel() {
        Value left = mulLevel();
        for (;;) {
            if (peek().kind == TokenKind::Plus) {
                advance();
                left = combine(Op::Add, left, mulLevel());
            } else if (peek().kind == TokenKind::Minus) {
                advance();
                left = combine(Op::Sub, left, mulLevel());
            } else {
                return left;
            }
        }
    }

    Value mulLevel() {
        Value left = unaryLevel();
        for (;;) {
            Op op;
            if (peek().kind == TokenKind::Star)
                op = Op::Mul;
            else if (peek().kind == TokenKind::Slash)
                op = Op::Div;
            else if (peekWord("MOD"))
                op = Op::Mod;
            else if (peekWord("SHL"))
                op = Op::Shl;
            else if (peekWord("SHR"))
                op = Op::Shr;
            else
                return left;
            advance();
            left = combine(op, left, unaryLevel());
        }
    }

    Value unaryLevel() {
        DepthGuard guard(depth_);
        if (peek().kind == TokenKind::Minus) {
            advance();
            Value v = unaryLevel();
            requireArithmetic(v);
            return {-v.value, ValueType::Number, v.known};
        }
        if (peek().kind == TokenKind::Plus) {
            advance();
            return unaryLevel();
        }
        if (peekWord("HIGH")) {
            advance();
            Value v = unaryLevel();
            requireArithmetic(v);
            return {(v.value >> 8) & 0xFF, ValueType::Number, v.known};
        }
        if (peekWord("LOW")) {
            advance();
            Value v = unaryLevel();
            requireArithmetic(v);
            return {v.value & 0xFF, ValueType::Number, v.known};
        }
        return bitLevel();
    }

    // byte.bit binds tighter than every other operator.
    Value bitLevel() {
        Value byte = primary();
        if (peek().kind != TokenKind::Dot) return byte;
        advance();
        Value bit = primary();
        requireArithmetic(byte);
        requireArithmetic(bit);
        if (byte.type == ValueType::Bit) throw AsmError{"bit selector applied to a bit"};
        Value result{0, ValueType::Bit, byte.known && bit.known};
        if (result.known) result.value = bitAddressOf(byte.value, bit.value);
        return result;
    }

    Value primary() {
        const Token& t = peek();
        switch (t.kind) {
        case TokenKind::Number: advance(); return {t.value, ValueType::Number, true};
        case TokenKind::Dollar:
            advance();
            return {context_.locationCounter, context_.locationType, true};
        case TokenKind::String: {
            if (t.text.empty() || t.text.size() > 2)
                throw AsmError{"a character constant holds one or two characters"};
            int64_t v = 0;
            for (char c : t.text)
                v = (v << 8) | uint8_t(c);
            advance();
            return {v, ValueType::Number, true};
        }
        case TokenKind::LParen: {
            DepthGuard guard(depth_);
            advance();
            Value v = orLevel();
            if (peek().kind != TokenKind::RParen) throw AsmError{"missing )"};
            advance();
            return v;
        }
        case TokenKind::Name: return symbol();
        case TokenKind::End: throw AsmError{"missing operand"};
        default: throw AsmError{"unexpected " + t.text + " in expression"};
        }
    }

    Value symbol() {
        const Token& t = peek();
        if (isOperatorWord(t.text)) throw AsmError{"missing operand before " + t.text};
        if (isReservedWord(t.text)) throw AsmError{t.text + " cannot be used in an expression"};
        advance();
        Symbol* s = context_.symbols->find(t.text);
        if (!s || (!s->predefined && s->definedInPass == 0)) {
            if (context_.undefinedName.empty()) context_.undefinedName = t.text;
            return {0, ValueType::Number, false};
        }
        if (!s->predefined && s->definedInPass < context_.pass && context_.forwardName.empty())
            context_.forwardName = t.text;
        if (!s->value.known && context_.unknownName.empty()) context_.unknownName = t.text;
        return s->value;
    }

    static void requireArithmetic(const Value& v) {
        if (v.type == ValueType::Register)
            throw AsmError{"a register cannot be used in an expression"};
    }

    static ValueType resultType(Op op, const Value& a, const Value& b) {
        if (op == Op::Add) {
            if (a.type == ValueType::Number) return b.type;
            if (b.type == ValueType::Number) return a.type;
        }
        if (op == Op::Sub && b.type == ValueType::Number) return a.type;
        return ValueType::Number;
    }

    static Value combine(Op op, const Value& a, const Value& b) {
        requireArithmetic(a);
        requireArithmetic(b);
        Value r{0, resultType(op, a, b), a.known && b.known};
        int64_t x = a.value, y = b.value;
        auto truth = [](bool c) { return c ? kTrue : int64_t(0); };
        switch (op) {
        case Op::Or: r.value = x | y; break;
        case Op::Xor: r.value = x ^ y; break;
        case Op::And: r.value = x & y; break;
        case Op::Eq: r.value = truth(x == y); break;
        case Op::Ne: r.value = truth(x != y); break;
        case Op::Lt: r.value = truth(x < y); break;
        case Op::Le: r.value = truth(x <= y); break;
        case Op::Gt: r.value = truth(x > y); break;
        case Op::Ge: r.value = truth(x >= y); break;
        case Op::Add: r.value = x + y; break;
        case Op::Sub: r.value = x - y; break;
        case Op::Mul:
            if (__builtin_mul_overflow(x, y, &r.value))
                throw AsmError{"value out of range in expression"};
            break;
        case Op::Div:
        case Op::Mod:
            if (y == 0) {
                if (r.known) throw AsmError{"division by zero"};
                r.value = 0;
            } else {
                r.value = op == Op::Div ? x / y : x % y;
            }
            break;
        case Op::Shl: r.value = (y < 0 || y > 31) ? 0 : int64_t(uint64_t(x) << y); break;
        case Op::Shr: r.value = (y < 0 || y > 31) ? 0 : (x & 0xFFFF) >> y; break;
        }
        // Keep values in a range where further arithmetic cannot overflow; an
        // out-of-range value is refused where it is used.
        if (r.value > 0xFFFFFFFFll || r.value < -0xFFFFFFFFll)
            throw AsmError{"value out of range in expression"};
        return r;
    }

    std::span<const Token> tokens_;
    size_t& pos_;
    EvalContext& context_;
    int depth_ = 0;
};

} // namespace

bool isOperatorWord(std::string_view upperName) {
    for (auto word : kOperatorWords)
        if (word == upperName) return true;
    return false;
}

int64_t bitAddressOf(int64_t byteAddress, int64_t bit) {
    if (bit < 0 || bit > 7) throw AsmError{"bit number " + std::to_string(bit) + " is not 0 to 7"};
    if (byteAddress >= 0x20 && byteAddress <= 0x2F) return (byteAddress - 0x20) * 8 + bit;
    if (byteAddress >= 0x80 && byteAddress <= 0xFF && byteAddress % 8 == 0)
        return byteAddress + bit;
    throw AsmError{"address " + formatHex(byteAddress) + " is not bit-addressable"};
}

Value evaluate(std::span<const Token> tokens, size_t& pos, EvalContext& context) {
    Parser parser(tokens, pos, context);
    return parser.parse();
}

} // namespace quorvel::asm51
