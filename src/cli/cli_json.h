// The one JSON writer of quorvel-cli's reports and profile: documents are
// built as ordered objects (members in the order they are added) and written
// compact on one line.
//
// Names (files, functions, C types) are UTF-8 as they are; a byte that is not
// UTF-8 becomes U+FFFD rather than making the document invalid. Bytes from the
// chip (UART text, LCD rows) are one character each, U+0000 to U+00FF, so a
// reader gets every byte back by its code point.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace quorvel::cli {

using Json = nlohmann::ordered_json;

// The JSON text of `document`, without a line end.
std::string jsonDocument(const Json& document);

// Bytes from the chip as a string of one character per byte (UTF-8 of
// U+0000..U+00FF).
std::string chipCharacters(std::string_view bytes);

} // namespace quorvel::cli
