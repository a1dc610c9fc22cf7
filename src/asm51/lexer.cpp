#include "asm51/lexer.h"

#include <array>

namespace quorvel::asm51 {

namespace {

bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '?';
}
bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// Bit names of the timer 2 control register that contain a slash. They are
// read as one name so that "SETB C/T2" means the bit, not a division.
constexpr std::array<std::string_view, 2> kSlashedNames{"C/T2", "CP/RL2"};

struct Punctuation {
    std::string_view text;
    TokenKind kind;
};
// Longer spellings first, so "<=" is not read as "<" then "=".
constexpr std::array<Punctuation, 18> kPunctuation{{
    {"<>", TokenKind::NotEqual},
    {"<=", TokenKind::LessEqual},
    {">=", TokenKind::GreaterEqual},
    {"$", TokenKind::Dollar},
    {"+", TokenKind::Plus},
    {"-", TokenKind::Minus},
    {"*", TokenKind::Star},
    {"/", TokenKind::Slash},
    {"(", TokenKind::LParen},
    {")", TokenKind::RParen},
    {",", TokenKind::Comma},
    {":", TokenKind::Colon},
    {"#", TokenKind::Hash},
    {"@", TokenKind::At},
    {".", TokenKind::Dot},
    {"=", TokenKind::Equal},
    {"<", TokenKind::Less},
    {">", TokenKind::Greater},
}};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(text[i]) != prefix[i]) return false;
    return true;
}

std::string printable(char c) {
    if (c >= 0x20 && c < 0x7F) return std::string("'") + c + "'";
    static constexpr char digits[] = "0123456789ABCDEF";
    auto b = uint8_t(c);
    return std::string("code ") + digits[b >> 4] + digits[b & 15] + "H";
}

} // namespace

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = upper(c);
    return out;
}

std::string formatHex(int64_t value, int minDigits) {
    static constexpr char digits[] = "0123456789ABCDEF";
    bool negative = value < 0;
    uint64_t v = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    std::string text;
    do {
        text.insert(text.begin(), digits[v & 15]);
        v >>= 4;
    } while (v != 0);
    while (int(text.size()) < minDigits)
        text.insert(text.begin(), '0');
    if (text[0] > '9') text.insert(text.begin(), '0');
    return (negative ? "-" : "") + text + "H";
}

int64_t parseNumber(std::string_view text) {
    std::string digits = upperCase(text);
    int base = 10;
    switch (digits.back()) {
    case 'H': base = 16; break;
    case 'B': base = 2; break;
    case 'O':
    case 'Q': base = 8; break;
    case 'D': base = 10; break;
    default: digits.push_back('D'); break;
    }
    digits.pop_back();
    if (digits.empty()) throw AsmError{"bad number " + std::string(text)};
    int64_t value = 0;
    for (char c : digits) {
        int digit = isDigit(c) ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
        if (digit >= base) throw AsmError{"bad number " + std::string(text)};
        value = value * base + digit;
        if (value > 0xFFFFFFFFll) throw AsmError{"number too large: " + std::string(text)};
    }
    return value;
}

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == ';') break;
        Token token;
        token.column = i;
        if (isNameStart(c)) {
            size_t start = i;
            bool slashed = false;
            for (auto name : kSlashedNames) {
                if (startsWithNoCase(line.substr(i), name) &&
                    (i + name.size() == line.size() || !isNameChar(line[i + name.size()]))) {
                    i += name.size();
                    slashed = true;
                    break;
                }
            }
            if (!slashed)
                while (i < line.size() && isNameChar(line[i]))
                    ++i;
            token.kind = TokenKind::Name;
            token.text = upperCase(line.substr(start, i - start));
        } else if (isDigit(c)) {
            size_t start = i;
            while (i < line.size() && isNameChar(line[i]))
                ++i;
            token.kind = TokenKind::Number;
            token.text = std::string(line.substr(start, i - start));
            token.value = parseNumber(token.text);
        } else if (c == '\'' || c == '"') {
            char quote = c;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == quote) {
                    if (i + 1 < line.size() && line[i + 1] == quote) { // doubled quote
                        token.text.push_back(quote);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token.text.push_back(line[i++]);
            }
            if (!closed) throw AsmError{"string not closed with " + std::string(1, quote)};
            token.kind = TokenKind::String;
        } else {
            bool found = false;
            for (const auto& p : kPunctuation) {
                if (line.substr(i, p.text.size()) == p.text) {
                    token.kind = p.kind;
                    token.text = std::string(p.text);
                    i += p.text.size();
                    found = true;
                    break;
                }
            }
            if (!found) throw AsmError{"unexpected character " + printable(c)};
        }
        tokens.push_back(std::move(token));
    }
    Token end;
    end.kind = TokenKind::End;
    end.column = line.size();
    tokens.push_back(end);
    return tokens;
}

} // namespace quorvel::asm51
