#include "tools/keyword_classes.h"

#include "tools/instruction_table.h"
#include "tools/symbol_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace quorvel {

namespace {

constexpr std::array<std::string_view, 16> kRegisters{
    "A", "AB", "C", "DPTR", "PC", "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
    "@R0", "@R1", "@DPTR"};

constexpr std::array<std::string_view, 31> kDirectives{
    "ORG",   "END",   "DB",    "DW",    "DS",    "DBIT",    "EQU",     "SET",
    "BIT",   "DATA",  "IDATA", "XDATA", "CODE",  "USING",   "CSEG",    "DSEG",
    "BSEG",  "ISEG",  "XSEG",  "AT",    "IF",    "ELSE",    "ENDIF",   "$MOD51",
    "$MOD52", "$NOMOD", "$INCLUDE", "HIGH", "LOW", "SEGMENT", "RSEG"};

// The bit table also holds plain two-digit addresses; those are numbers.
bool allHexDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

} // namespace

KeywordClass classifyKeyword(std::string_view word) {
    if (word.empty()) return KeywordClass::Other;
    std::string upper(word);
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    auto in = [&](const auto& list) {
        return std::find(list.begin(), list.end(), std::string_view(upper)) != list.end();
    };
    if (in(mnemonicNames())) return KeywordClass::Mnemonic;
    if (in(kRegisters) || upper == "@A+DPTR" || upper == "@A+PC") return KeywordClass::Register;
    if (in(kDirectives)) return KeywordClass::Directive;
    for (const SymbolName& s : directEntryNames())
        if (s.name == upper) return KeywordClass::Sfr;
    for (const SymbolName& s : bitEntryNames())
        if (s.name == upper && !allHexDigits(upper)) return KeywordClass::Bit;
    return KeywordClass::Other;
}

} // namespace quorvel
