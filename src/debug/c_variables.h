// C variables of a running program: an expression (`name`, `s.field`,
// `a[3]`, `*p`, `p->x`, nested and parenthesised) is looked up in the debug
// file's symbols for the function at a program counter, placed in the
// machine's memories (registers of the right bank, a reentrant function's
// stack frame, data, idata, xdata, pdata, code, bit space, SFRs), read
// (little-endian, float as IEEE-754 single) and written back where it lives.
//
// A variable whose place is unknown at this program counter (an empty
// register list, an overlaid local without its type record, a local of
// another function) is reported as not available with the reason, never
// with a made-up value.
#pragma once

#include "debug/cdb_symbols.h"
#include "machine/machine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The memory a byte of a variable is in.
enum class CSpace { Iram, Sfr, Xdata, Code, Bit };

// The bytes of a value, least significant first (a register variable's
// bytes need not be adjacent). A bit-field takes bitLength bits from
// bitStart of those bytes; a bit variable is one address of bit space.
struct CPlace {
    CSpace space = CSpace::Iram;
    std::vector<uint16_t> bytes;
    uint8_t bitStart = 0;
    uint8_t bitLength = 0; // 0: whole bytes
    std::string where;     // "R6,R7 bank 0", "xdata 0x0012", ...
};

struct CValue {
    std::string expression;
    CType type;
    std::string structFile;     // module whose struct layouts apply
    std::optional<CPlace> place; // none: not available
    std::string unavailable;     // why not, when no place
    std::vector<uint8_t> bytes;  // the value read, least significant first
};

struct CEvaluation {
    std::optional<CValue> value; // none when the expression is wrong
    std::string error;           // what is wrong with it
};

class CVariables {
public:
    // `framePointer` is the internal RAM address of _bp (from the linker map)
    // that reentrant functions' frames hang from; without it their stack
    // variables are not available.
    explicit CVariables(CdbSymbols symbols, std::optional<uint8_t> framePointer = std::nullopt);

    const CdbSymbols& symbols() const { return symbols_; }

    // Evaluates `expression` for the function that holds `pc`. For a frame
    // further out than the running function (`innermost` false) its
    // register and stack-frame locals are not available: a called function
    // uses those registers and that frame now.
    CEvaluation evaluate(const Machine& machine, uint16_t pc, std::string_view expression,
                         bool innermost = true) const;

    // What is wrong with the grammar of `expression` (a name, then
    // `.member`, `->member`, `[index]`, under any `*` and parentheses),
    // before any name is looked up; nothing when it reads.
    static std::optional<std::string> syntaxError(std::string_view expression);

    // The members of a struct or union, or the elements of an array, each
    // named by its expression (`s.x`, `a[2]`); empty for anything else.
    std::vector<CValue> children(const Machine& machine, const CValue& value) const;
    // formatValue, with structs and arrays shown member by member:
    // "{x = -3, y = 777}", "{7, 8, 9}"; parts deeper than kDeepestParts
    // levels (a broken file's struct that holds itself) as "{...}".
    static constexpr int kDeepestParts = 16;
    std::string format(const Machine& machine, const CValue& value, int depth = 0) const;

    // Writes `text` (a number; a decimal fraction for float) into the
    // variable's place. Returns an error message, empty on success.
    std::string write(Machine& machine, const CValue& value, std::string_view text) const;

private:
    CdbSymbols symbols_;
    std::optional<uint8_t> framePointer_;
};

// Scalar contents: integers widened by their signedness, bit-fields
// extracted, pointers as their raw bytes; float as its value.
int64_t integerOf(const CValue& value);
double realOf(const CValue& value);
// A value as a debugger shows it: decimal, float with 7 significant digits,
// a pointer as its space and address, a struct or an array as its bytes;
// "not available (...)" without a place.
std::string formatValue(const CValue& value);
// The C spelling of a type ("unsigned int", "struct pt *", "char [4]").
std::string typeName(const CType& type);

} // namespace quorvel
