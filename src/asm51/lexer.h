// Splits one source line of 8051 assembler into tokens: names, numbers,
// quoted strings and punctuation. Comments (from ";") are dropped. Names are
// case-insensitive and come back upper-cased; the two bit names written with a
// slash (C/T2 and CP/RL2) are read as one name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::asm51 {

enum class TokenKind : uint8_t {
    Name,   // text upper-cased
    Number, // value holds the number
    String, // text holds the characters between the quotes
    Dollar, // the location counter "$"
    Plus,
    Minus,
    Star,
    Slash,
    LParen,
    RParen,
    Comma,
    Colon,
    Hash,
    At,
    Dot,
    Equal,        // =
    NotEqual,     // <>
    Less,         // <
    LessEqual,    // <=
    Greater,      // >
    GreaterEqual, // >=
    End,          // end of the line (always the last token)
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // Name: upper-cased; String: contents; otherwise the source text
    int64_t value = 0; // Number
    size_t column = 0; // position in the line, for messages
};

// Thrown for a malformed line; the text is the message without file and line.
struct AsmError {
    std::string message;
    // The size the line would have had, when that is known in spite of the
    // error (a value out of range); the addresses that follow then stay right.
    int length = 0;
};

// Tokens of one line, ending with an End token. Throws AsmError for a bad
// number, an unterminated string or a character the language does not use.
std::vector<Token> tokenize(std::string_view line);

// Reads a number as written in source: 0FFH, 1010B, 17O, 17Q, 12D, 12.
// Throws AsmError when the digits do not fit the base or the value exceeds
// 32 bits.
int64_t parseNumber(std::string_view text);

std::string upperCase(std::string_view text);

// A value as this assembler writes it in messages: hexadecimal with an "H"
// and a leading 0 when it would start with a letter ("0A5H", "12H", "-3H").
std::string formatHex(int64_t value, int minDigits = 2);

} // namespace quorvel::asm51
