#include "debug/output_match.h"

namespace quorvel {

std::optional<std::string> OutputMatch::expect(std::string_view pattern, bool regex) {
    clear();
    if (regex) {
        if (auto problem = pattern_.compile(pattern))
            return "regular expression '" + std::string(pattern) + "' does not read: " + *problem;
    } else {
        literal_.assign(pattern);
    }
    regex_ = regex;
    waiting_ = true;
    look(false);
    return std::nullopt;
}

void OutputMatch::clear() {
    waiting_ = matched_ = false;
    literal_.clear();
}

void OutputMatch::byteSent(uint8_t byte) {
    transcript_.push_back(char(byte));
    if (!waiting_ || matched_) return;
    if (!regex_) return look(true);
    // The byte may decide an assertion before it (\B), else it may end a
    // match.
    if (pattern_.push(byte)) return matchedAt(transcript_.size() - 1);
    if (pattern_.matchesAtEnd()) matchedAt(transcript_.size());
}

void OutputMatch::matchedAt(size_t end) {
    matchEnd_ = end;
    matched_ = true;
}

void OutputMatch::look(bool tail) {
    const std::string_view rest = unread();
    if (!regex_) {
        // After a byte only the last bytes can complete the pattern.
        const size_t from = tail && rest.size() > literal_.size() + 1 ? rest.size() - literal_.size() - 1 : 0;
        const size_t at = rest.find(literal_, from);
        if (at == std::string_view::npos) return;
        matchEnd_ = readFrom_ + at + literal_.size();
        matched_ = true;
        return;
    }
    // The unread bytes fed in order, as if they came now: the wait ends at
    // the first of them with which the bytes so far hold a match.
    pattern_.restart();
    if (pattern_.matchesAtEnd()) return matchedAt(readFrom_);
    for (size_t i = 0; i < rest.size(); ++i) {
        if (pattern_.push(uint8_t(rest[i]))) return matchedAt(readFrom_ + i);
        if (pattern_.matchesAtEnd()) return matchedAt(readFrom_ + i + 1);
    }
}

std::string OutputMatch::takeMatch() {
    if (!matched_) return {};
    std::string bytes = transcript_.substr(readFrom_, matchEnd_ - readFrom_);
    readFrom_ = matchEnd_;
    clear();
    return bytes;
}

std::string OutputMatch::takeUnread() {
    std::string bytes(unread());
    readFrom_ = transcript_.size();
    return bytes;
}

void OutputMatch::reset() {
    clear();
    transcript_.clear();
    readFrom_ = 0;
}

} // namespace quorvel
