#include "debug/output_match.h"

namespace quorvel {

std::optional<std::string> OutputMatch::expect(std::string_view pattern, bool regex) {
    clear();
    if (regex) {
        try {
            pattern_ = std::regex(pattern.begin(), pattern.end(), std::regex::ECMAScript);
        } catch (const std::regex_error& e) {
            return "regular expression '" + std::string(pattern) + "' does not read: " + e.what();
        }
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
    if (waiting_ && !matched_) look(true);
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
    std::match_results<std::string_view::const_iterator> found;
    if (!std::regex_search(rest.begin(), rest.end(), found, pattern_)) return;
    matchEnd_ = readFrom_ + size_t(found.position(0) + found.length(0));
    matched_ = true;
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
