#include "asm51/symbols.h"

#include "asm51/encoder.h"
#include "asm51/expression.h"

#include <array>
#include <vector>

namespace quorvel::asm51 {

namespace {

constexpr std::array<std::string_view, 7> kTypeNames{"NUMB",  "CODE", "DATA", "IDATA",
                                                     "XDATA", "BIT",  "REG"};

// Register names and the directives; mnemonics and operator words are asked
// of their own tables.
constexpr std::array<std::string_view, 37> kReserved{
    "A",    "AB",   "C",  "DPTR", "PC",   "R0",    "R1",    "R2",    "R3",    "R4",
    "R5",   "R6",   "R7", "EQU",  "SET",  "BIT",   "DATA",  "IDATA", "XDATA", "CODE",
    "DB",   "DW",   "DS", "DBIT", "ORG",  "END",   "USING", "CSEG",  "DSEG",  "BSEG",
    "ISEG", "XSEG", "AT", "IF",   "ELSE", "ENDIF", "CALL"};

} // namespace

std::string_view typeName(ValueType type) {
    return kTypeNames[size_t(type)];
}

bool isReservedWord(std::string_view upperName) {
    for (auto word : kReserved)
        if (word == upperName) return true;
    return isOperatorWord(upperName) || isMnemonic(upperName);
}

Symbol* SymbolTable::find(std::string_view name) {
    auto it = symbols_.find(name);
    if (it == symbols_.end()) {
        if (!base_) return nullptr;
        auto shared = base_->symbols_.find(name);
        if (shared == base_->symbols_.end()) return nullptr;
        it = symbols_.emplace(shared->first, shared->second).first;
    }
    it->second.used = true;
    return &it->second;
}

SymbolTable::DefineResult SymbolTable::define(std::string_view name, Value value, bool redefinable,
                                              int pass, SourcePlace place) {
    if (isReservedWord(name)) return DefineResult::Reserved;
    auto it = symbols_.find(name);
    if (it == symbols_.end() || it->second.predefined) {
        Symbol s;
        s.name = std::string(name);
        s.value = value;
        s.redefinable = redefinable;
        s.firstValue = value;
        s.definedInPass = pass;
        s.place = std::move(place);
        if (it != symbols_.end()) s.used = it->second.used;
        symbols_[std::string(name)] = std::move(s);
        return DefineResult::Changed; // new to the table: not stable yet
    }
    Symbol& s = it->second;
    if (s.definedInPass == pass && !(redefinable && s.redefinable))
        return (redefinable || s.redefinable) ? DefineResult::ChangedKind : DefineResult::Duplicate;
    // A SET symbol takes several values within one pass; its first
    // definition is compared with the first one of the previous pass.
    const bool firstInPass = s.definedInPass != pass;
    const Value& before = redefinable ? s.firstValue : s.value;
    const bool changed = s.definedInPass == 0 || before.value != value.value ||
                         before.type != value.type || before.known != value.known ||
                         s.redefinable != redefinable;
    s.value = value;
    if (firstInPass) s.firstValue = value;
    s.redefinable = redefinable;
    s.definedInPass = pass;
    s.place = std::move(place);
    if (!firstInPass) return DefineResult::Ok;
    return changed ? DefineResult::Changed : DefineResult::Ok;
}

void SymbolTable::predefine(std::string_view name, Value value) {
    auto it = symbols_.find(name);
    if (it != symbols_.end() && !it->second.predefined) return;
    Symbol s;
    s.name = std::string(name);
    s.value = value;
    s.predefined = true;
    if (it != symbols_.end()) s.used = it->second.used;
    symbols_[std::string(name)] = std::move(s);
}

void SymbolTable::clearPredefined() {
    std::erase_if(symbols_, [](const auto& entry) { return entry.second.predefined; });
    base_ = nullptr;
}

} // namespace quorvel::asm51
