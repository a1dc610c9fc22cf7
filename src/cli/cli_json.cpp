#include "cli/cli_json.h"

namespace quorvel::cli {

std::string jsonDocument(const Json& document) {
    return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string chipCharacters(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace quorvel::cli
