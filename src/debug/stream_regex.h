// A regular expression looked for in bytes as they arrive, one at a time:
// the serial wait's matcher (debug/output_match.h). Each byte costs time in
// proportion to the pattern's compiled size, never to the bytes before it,
// so a wait after a long transcript stays linear in the text.
//
// The question it answers is the wait's: has a match ended yet, and where.
// The first match found is the one that ends first (the one that completes
// with the fewest bytes); among those ending together it does not matter
// which, since the wait hands over the bytes up to its end. That is where a
// search of the text so far ends its match too, save one case: a \b or \B
// that only the newest byte decides ends the match before that byte, where
// a search would go on with the longer match the byte also allows.
//
// The pattern reads as ECMAScript's, on bytes: characters, '.', classes
// [..] and [^..] with ranges, the escapes \d \D \w \W \s \S \f \n \r \t \v
// \0 \xHH \uHHHH (up to 00FF) \cX and escaped syntax characters, groups
// (..) and (?:..), alternatives |, the repetitions * + ? {n} {n,} {n,m}
// with or without a lazy '?', and the assertions ^ (the start of the
// text), $ (its end so far), \b and \B. Back references and lookahead
// groups cannot be decided byte by byte with a bounded state and are
// refused with a message, as is a pattern whose repetitions compile to more
// than kMaxInstructions instructions.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class StreamRegex {
public:
    static constexpr size_t kMaxInstructions = 20000;

    // Nothing when `pattern` reads (it is then the one looked for), else
    // what is wrong with it.
    std::optional<std::string> compile(std::string_view pattern);
    // The text starts here: no byte before the next.
    void restart();
    // The next byte of the text. True when a match ends just before it (an
    // assertion such as \B that the byte decides); false otherwise, and the
    // byte is then taken into the text.
    bool push(uint8_t byte);
    // Whether a match ends at the end of the text so far ($ and \b hold at
    // the end as in a search of this text alone).
    bool matchesAtEnd();

private:
    enum class Op : uint8_t { Byte, Split, Jump, Assert, Match };
    enum class Assertion : uint8_t { TextStart, TextEnd, WordBoundary, NotWordBoundary };
    struct Instruction {
        Op op = Op::Match;
        Assertion assertion = Assertion::TextStart;
        uint32_t set = 0; // Byte: index into sets_
        uint32_t x = 0, y = 0; // Split: both; Jump: x
    };
    struct Parser;

    // The threads' instructions reached from `threads` (and a thread
    // starting here) without a byte, between `prev` and `next` (-1: none);
    // the Byte instructions among them go to closure_. True when Match is
    // among them.
    bool close(int prev, int next);

    std::vector<Instruction> program_;
    std::vector<std::bitset<256>> sets_;
    std::vector<uint32_t> threads_; // instructions waiting for the next byte
    std::vector<uint32_t> closure_, stack_, next_;
    std::vector<uint32_t> seen_;
    uint32_t generation_ = 0;
    int prev_ = -1; // the last byte of the text, -1 before the first
};

} // namespace quorvel
