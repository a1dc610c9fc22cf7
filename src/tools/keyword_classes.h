// Which class an assembler word belongs to, for colouring source text and
// disassembly: instruction mnemonics and register operands, SFR names, bit
// names, assembler directives, or anything else. Matching ignores case.
#pragma once

#include <string_view>

namespace quorvel {

enum class KeywordClass { Other, Mnemonic, Register, Sfr, Bit, Directive };

KeywordClass classifyKeyword(std::string_view word);

} // namespace quorvel
