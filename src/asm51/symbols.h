// Values, symbols and the symbol table of the assembler.
//
// Every value carries a type: a plain number, an address in one of the
// memory spaces (code, internal data, indirect data, external data, bit) or a
// working register. The type lets the encoder refuse a bit where a byte
// address belongs (and the reverse) instead of assembling the wrong thing.
//
// The table lives across the passes of one assembly: a symbol defined in an
// earlier pass is known (with that pass's value) before its definition is
// reached again, which is how forward references are resolved.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::asm51 {

enum class ValueType : uint8_t { Number, Code, Data, IData, XData, Bit, Register };

std::string_view typeName(ValueType type); // "NUMB", "CODE", "DATA", ...

struct Value {
    int64_t value = 0;
    ValueType type = ValueType::Number;
    bool known = true; // false while it depends on a symbol not defined yet
};

struct SourcePlace {
    std::string file;
    int line = 0;
};

struct Symbol {
    std::string name;
    Value value;
    bool redefinable = false; // SET
    bool predefined = false;  // built in or from Mod51
    bool used = false;
    int definedInPass = 0; // 0: not defined in any pass yet
    Value firstValue;      // SET: the value of its first definition in the pass
    SourcePlace place;
};

class SymbolTable {
public:
    // The symbol if it exists here or in the shared table; marks it used.
    Symbol* find(std::string_view name);
    // The symbols of this table: the shared table's only once used.
    const std::map<std::string, Symbol, std::less<>>& all() const { return symbols_; }

    enum class DefineResult { Ok, Duplicate, Reserved, ChangedKind, Changed };
    // Defines or redefines a symbol in the given pass. Duplicate: defined in
    // this pass already (and not both SET). Reserved: a register, operator,
    // mnemonic or directive name. ChangedKind: SET over EQU or the reverse.
    // Changed: accepted, but new or different from the earlier pass (the
    // caller then runs another pass).
    DefineResult define(std::string_view name, Value value, bool redefinable, int pass,
                        SourcePlace place);
    // Adds a predefined symbol; replaces an earlier predefined one of the
    // same name and never overrides the user's own definition.
    void predefine(std::string_view name, Value value);
    // Drops every predefined symbol that the user has not redefined, and the
    // shared table beneath.
    void clearPredefined();
    // Puts a shared table of predefined symbols beneath this one. Its names
    // count as predefined here; a name is copied up when it is first used,
    // so the shared table never changes and costs nothing until then.
    void setBase(const SymbolTable* base) { base_ = base; }

private:
    std::map<std::string, Symbol, std::less<>> symbols_;
    const SymbolTable* base_ = nullptr;
};

// Registers, operators, mnemonics and directives, which cannot name a symbol.
bool isReservedWord(std::string_view upperName);

} // namespace quorvel::asm51
