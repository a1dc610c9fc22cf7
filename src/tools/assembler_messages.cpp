#include "tools/assembler_messages.h"

#include <cctype>

namespace quorvel {

std::optional<MessageLocation> messageLocation(std::string_view text) {
    if (text.starts_with("*** ")) text.remove_prefix(4);
    const size_t close = text.find("): ");
    if (close == std::string_view::npos) return std::nullopt;
    const size_t open = text.rfind('(', close);
    if (open == std::string_view::npos || open == 0 || open + 1 == close) return std::nullopt;
    int line = 0;
    for (size_t i = open + 1; i < close; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || line > 10'000'000) return std::nullopt;
        line = line * 10 + (text[i] - '0');
    }
    if (line < 1) return std::nullopt;
    return MessageLocation{std::string(text.substr(0, open)), line};
}

bool writtenDuringRun(std::optional<int64_t> before, std::optional<int64_t> after,
                      int64_t runStart) {
    if (!after) return false;
    if (!before || *before != *after) return true;
    return *after >= runStart - runStart % 1000;
}

} // namespace quorvel
