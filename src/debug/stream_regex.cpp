#include "debug/stream_regex.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace quorvel {

namespace {

using ByteSet = std::bitset<256>;

// -1 (no byte: before the text or after it) is not a word byte.
bool isWordByte(int byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           byte == '_';
}

ByteSet rangeSet(int from, int to) {
    ByteSet set;
    for (int b = from; b <= to; ++b) set.set(size_t(b));
    return set;
}

ByteSet digitSet() { return rangeSet('0', '9'); }
ByteSet wordSet() { return rangeSet('0', '9') | rangeSet('A', 'Z') | rangeSet('a', 'z') | rangeSet('_', '_'); }
ByteSet spaceSet() { return rangeSet('\t', '\r') | rangeSet(' ', ' '); }

// The pattern as a tree, before it is compiled.
struct Node {
    enum class Kind : uint8_t { Bytes, Assert, Concat, Alternatives, Repeat } kind = Kind::Concat;
    ByteSet set;
    uint8_t assertion = 0;
    int min = 0, max = -1; // Repeat: max -1 without a bound
    std::vector<Node> parts;
};

constexpr int kMaxRepeatBound = 1000;
constexpr int kMaxNesting = 200;

} // namespace

// Recursive descent over ECMAScript's grammar (disjunction, alternative,
// term, atom, class); the message names what does not read and where.
struct StreamRegex::Parser {
    std::string_view text;
    size_t at = 0;
    int depth = 0;
    std::string error;

    bool more() const { return at < text.size(); }
    char peek() const { return text[at]; }
    bool fail(const std::string& why) {
        if (error.empty()) error = why + " at offset " + std::to_string(at);
        return false;
    }

    bool disjunction(Node& out) {
        if (++depth > kMaxNesting) return fail("groups nested too deep");
        Node alternatives;
        alternatives.kind = Node::Kind::Alternatives;
        do {
            Node sequence;
        sequence.kind = Node::Kind::Concat;
            if (!alternative(sequence)) return false;
            alternatives.parts.push_back(std::move(sequence));
        } while (more() && peek() == '|' && ++at);
        --depth;
        out = alternatives.parts.size() == 1 ? std::move(alternatives.parts.front()) : std::move(alternatives);
        return true;
    }

    bool alternative(Node& sequence) {
        while (more() && peek() != '|' && peek() != ')') {
            Node term;
            bool quantifiable = true;
            if (!atom(term, quantifiable)) return false;
            if (!quantifier(term, quantifiable)) return false;
            sequence.parts.push_back(std::move(term));
        }
        return true;
    }

    // A '{' that reads as {n}, {n,} or {n,m}: its bounds (max -1: none).
    bool braces(int& min, int& max) {
        size_t p = at + 1;
        auto number = [&](int& value) {
            const size_t start = p;
            value = 0;
            while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) {
                value = std::min(value * 10 + (text[p] - '0'), kMaxRepeatBound + 1);
                ++p;
            }
            return p > start;
        };
        if (!number(min)) return false;
        max = min;
        if (p < text.size() && text[p] == ',') {
            ++p;
            max = -1;
            if (p < text.size() && text[p] != '}' && !number(max)) return false;
        }
        if (p >= text.size() || text[p] != '}') return false;
        at = p + 1;
        return true;
    }

    bool quantifier(Node& term, bool quantifiable) {
        if (!more()) return true;
        int min = 0, max = -1;
        const char c = peek();
        if (c == '*') ++at;
        else if (c == '+') min = 1, ++at;
        else if (c == '?') max = 1, ++at;
        else if (c == '{') {
            if (!braces(min, max)) return fail("a '{' that is not a repetition {n}, {n,} or {n,m}");
            if (min > kMaxRepeatBound || max > kMaxRepeatBound)
                return fail("a repetition bound above " + std::to_string(kMaxRepeatBound));
            if (max >= 0 && max < min) return fail("a repetition {n,m} with m below n");
        } else {
            return true;
        }
        if (!quantifiable) return fail("nothing to repeat");
        if (more() && peek() == '?') ++at; // lazy: the same end
        Node repeat;
        repeat.kind = Node::Kind::Repeat;
        repeat.min = min, repeat.max = max;
        repeat.parts.push_back(std::move(term));
        term = std::move(repeat);
        return quantifier(term, false);
    }

    bool atom(Node& out, bool& quantifiable) {
        const char c = text[at++];
        out.kind = Node::Kind::Bytes;
        switch (c) {
        case '^':
        case '$':
            out.kind = Node::Kind::Assert;
            out.assertion = uint8_t(c == '^' ? Assertion::TextStart : Assertion::TextEnd);
            quantifiable = false;
            return true;
        case '.': out.set = ~(rangeSet('\n', '\n') | rangeSet('\r', '\r')); return true;
        case '*':
        case '+':
        case '?':
            --at;
            return fail("nothing to repeat");
        case '{': {
            int min = 0, max = 0;
            --at;
            if (braces(min, max)) return fail("nothing to repeat");
            ++at;
            out.set = rangeSet('{', '{');
            return true;
        }
        case '(': {
            if (more() && peek() == '?') {
                if (at + 1 < text.size() && text[at + 1] == ':') {
                    at += 2;
                } else {
                    return fail("a lookahead group (?= or (?! (not decidable as the bytes come)");
                }
            }
            if (!disjunction(out)) return false;
            if (!more() || peek() != ')') return fail("a '(' without its ')'");
            ++at;
            return true;
        }
        case ')': --at; return fail("a ')' without its '('");
        case '[': return byteClass(out.set);
        case '\\': return escape(out, quantifiable, false);
        default: out.set = rangeSet(uint8_t(c), uint8_t(c)); return true;
        }
    }

    bool hexDigits(int count, int& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (!more() || !std::isxdigit(static_cast<unsigned char>(peek()))) return false;
            const char h = text[at++];
            value = value * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : std::tolower(h) - 'a' + 10);
        }
        return true;
    }

    // After a backslash: a byte set, or (outside a class) an assertion.
    bool escape(Node& out, bool& quantifiable, bool inClass) {
        if (!more()) return fail("a '\\' at the end of the pattern");
        const char c = text[at++];
        out.kind = Node::Kind::Bytes;
        auto one = [&](int byte) {
            out.set = rangeSet(byte, byte);
            return true;
        };
        switch (c) {
        case 'd': out.set = digitSet(); return true;
        case 'D': out.set = ~digitSet(); return true;
        case 'w': out.set = wordSet(); return true;
        case 'W': out.set = ~wordSet(); return true;
        case 's': out.set = spaceSet(); return true;
        case 'S': out.set = ~spaceSet(); return true;
        case 'f': return one('\f');
        case 'n': return one('\n');
        case 'r': return one('\r');
        case 't': return one('\t');
        case 'v': return one('\v');
        case 'b':
        case 'B':
            if (inClass) return one(c == 'b' ? '\b' : 'B');
            out.kind = Node::Kind::Assert;
            out.assertion = uint8_t(c == 'b' ? Assertion::WordBoundary : Assertion::NotWordBoundary);
            quantifiable = false;
            return true;
        case 'x':
        case 'u': {
            int value = 0;
            if (!hexDigits(c == 'x' ? 2 : 4, value))
                return fail(c == 'x' ? "\\x without two hexadecimal digits" : "\\u without four hexadecimal digits");
            if (value > 0xFF) return fail("a character beyond a byte");
            return one(value);
        }
        case 'c':
            if (!more() || !std::isalpha(static_cast<unsigned char>(peek()))) return fail("\\c without a letter");
            return one(text[at++] % 32);
        case '0':
            if (more() && std::isdigit(static_cast<unsigned char>(peek()))) return fail("an octal escape");
            return one(0);
        default:
            if (c >= '1' && c <= '9') {
                if (inClass) return fail("a back reference in a class");
                return fail("a back reference (not decidable as the bytes come)");
            }
            if (std::isalnum(static_cast<unsigned char>(c))) return fail(std::string("an unknown escape \\") + c);
            return one(uint8_t(c));
        }
    }

    bool byteClass(ByteSet& set) {
        bool negated = false;
        if (more() && peek() == '^') negated = true, ++at;
        set.reset();
        // One member: a single byte (for a range) or a set.
        auto member = [&](ByteSet& got, int& single) {
            single = -1;
            const char c = text[at++];
            if (c != '\\') {
                got = rangeSet(uint8_t(c), uint8_t(c));
                single = uint8_t(c);
                return true;
            }
            Node node;
            bool quantifiable = true;
            const bool byteClass = more() && std::string_view("dDwWsS").find(peek()) != std::string_view::npos;
            if (!escape(node, quantifiable, true)) return false;
            got = node.set;
            if (!byteClass)
                for (int b = 0; b < 256; ++b)
                    if (got.test(size_t(b))) single = b;
            return true;
        };
        while (true) {
            if (!more()) return fail("a '[' without its ']'");
            if (peek() == ']') {
                ++at;
                break;
            }
            ByteSet first;
            int low = -1;
            if (!member(first, low)) return false;
            if (more() && peek() == '-' && at + 1 < text.size() && text[at + 1] != ']') {
                ++at;
                ByteSet second;
                int high = -1;
                if (!member(second, high)) return false;
                if (low < 0 || high < 0) return fail("a range with a class at one end");
                if (high < low) return fail("a range out of order");
                set |= rangeSet(low, high);
            } else {
                set |= first;
            }
        }
        if (negated) set = ~set;
        return true;
    }
};

std::optional<std::string> StreamRegex::compile(std::string_view pattern) {
    Parser parser;
    parser.text = pattern;
    Node root;
    const bool read = parser.disjunction(root);
    if (read && parser.more()) parser.fail("a ')' without its '('");
    if (!parser.error.empty()) return parser.error;

    std::vector<Instruction> program;
    std::vector<ByteSet> sets;
    bool tooLarge = false;
    auto add = [&](Instruction i) {
        if (program.size() >= kMaxInstructions) {
            tooLarge = true;
            return uint32_t(program.size());
        }
        program.push_back(i);
        return uint32_t(program.size() - 1);
    };
    auto here = [&] { return uint32_t(program.size()); };
    // Emits a node; its end is the next instruction emitted after it.
    auto emit = [&](auto& self, const Node& node) -> void {
        if (tooLarge) return;
        switch (node.kind) {
        case Node::Kind::Bytes:
            sets.push_back(node.set);
            add({Op::Byte, Assertion::TextStart, uint32_t(sets.size() - 1)});
            return;
        case Node::Kind::Assert: add({Op::Assert, Assertion(node.assertion)}); return;
        case Node::Kind::Concat:
            for (const Node& part : node.parts) self(self, part);
            return;
        case Node::Kind::Alternatives: {
            std::vector<uint32_t> jumps;
            for (size_t i = 0; i < node.parts.size(); ++i) {
                uint32_t split = 0;
                if (i + 1 < node.parts.size()) split = add({Op::Split});
                if (tooLarge) return;
                if (i + 1 < node.parts.size()) program[split].x = here();
                self(self, node.parts[i]);
                if (i + 1 < node.parts.size()) {
                    jumps.push_back(add({Op::Jump}));
                    if (tooLarge) return;
                    program[split].y = here();
                }
            }
            for (uint32_t j : jumps) program[j].x = here();
            return;
        }
        case Node::Kind::Repeat: {
            const Node& part = node.parts.front();
            for (int i = 0; i < node.min; ++i) self(self, part);
            if (node.max < 0) {
                const uint32_t split = add({Op::Split});
                if (tooLarge) return;
                program[split].x = here();
                self(self, part);
                const uint32_t back = add({Op::Jump});
                if (tooLarge) return;
                program[back].x = split;
                program[split].y = here();
                return;
            }
            std::vector<uint32_t> splits;
            for (int i = node.min; i < node.max; ++i) {
                splits.push_back(add({Op::Split}));
                if (tooLarge) return;
                program[splits.back()].x = here();
                self(self, part);
            }
            for (uint32_t s : splits) program[s].y = here();
            return;
        }
        }
    };
    emit(emit, root);
    add({Op::Match});
    if (tooLarge)
        return "its repetitions compile to more than " + std::to_string(kMaxInstructions) + " instructions";
    program_ = std::move(program);
    sets_ = std::move(sets);
    seen_.assign(program_.size(), 0);
    generation_ = 0;
    restart();
    return std::nullopt;
}

void StreamRegex::restart() {
    threads_.clear();
    prev_ = -1;
}

bool StreamRegex::close(int prev, int next) {
    if (++generation_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        generation_ = 1;
    }
    closure_.clear();
    stack_.assign(threads_.rbegin(), threads_.rend());
    stack_.push_back(0); // a match may start here
    bool matched = false;
    while (!stack_.empty()) {
        const uint32_t pc = stack_.back();
        stack_.pop_back();
        if (seen_[pc] == generation_) continue;
        seen_[pc] = generation_;
        const Instruction& i = program_[pc];
        switch (i.op) {
        case Op::Byte: closure_.push_back(pc); break;
        case Op::Match: matched = true; break;
        case Op::Jump: stack_.push_back(i.x); break;
        case Op::Split:
            stack_.push_back(i.y);
            stack_.push_back(i.x);
            break;
        case Op::Assert: {
            bool holds = false;
            switch (i.assertion) {
            case Assertion::TextStart: holds = prev < 0; break;
            case Assertion::TextEnd: holds = next < 0; break;
            case Assertion::WordBoundary: holds = isWordByte(prev) != isWordByte(next); break;
            case Assertion::NotWordBoundary: holds = isWordByte(prev) == isWordByte(next); break;
            }
            if (holds) stack_.push_back(pc + 1);
            break;
        }
        }
    }
    return matched;
}

bool StreamRegex::push(uint8_t byte) {
    if (close(prev_, byte)) return true;
    next_.clear();
    for (uint32_t pc : closure_)
        if (sets_[program_[pc].set].test(byte)) next_.push_back(pc + 1);
    // Each Byte instruction is in the closure once, so no thread twice.
    threads_.swap(next_);
    prev_ = byte;
    return false;
}

bool StreamRegex::matchesAtEnd() { return close(prev_, -1); }

} // namespace quorvel
