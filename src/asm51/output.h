// The two files an assembly leaves behind: the listing text and the Intel
// HEX image.
#pragma once

#include "asm51/assembler.h"

#include <string>
#include <string_view>

namespace quorvel::asm51 {

// Every source line with its line number, address (or value) and bytes, the
// messages under the lines they belong to, the symbol table and the error
// count; LF line ends.
std::string listingText(const AssemblyResult& result, std::string_view sourceName);

// "1 error, 0 warnings"
std::string countText(int errors, int warnings);

// Data records of at most 16 bytes for each run of used addresses, upper-case
// digits, CR LF line ends, and the end record :00000001FF.
std::string intelHexText(const CodeImage& image);

} // namespace quorvel::asm51
