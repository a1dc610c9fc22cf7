// The C symbols of an SDCC debug file (.cdb): functions (F:), variables and
// parameters (S:), struct and union layouts (T:) and the link addresses of
// symbols and function ends (L:). The C-line and assembler-line address
// records are the source map's business and are skipped here.
//
// The reader is tolerant: the level of a symbol is accepted as `1_0` or `1`,
// unknown record kinds are skipped, and a broken record is reported with its
// line number while the rest of the file is still read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The declarators of a type chain, outermost first.
enum class CDeclarator {
    Array,           // DA<n>d
    Function,        // DF
    GenericPointer,  // DG: 3 bytes, address low, high, then the space tag
    CodePointer,     // DC: 2 bytes
    XdataPointer,    // DX: 2 bytes
    DataPointer,     // DD: 1 byte
    IdataPointer,    // DI: 1 byte
    PdataPointer,    // DP: 1 byte, the page comes from P2
};

// The specifier at the end of a type chain.
enum class CBase { Char, Short, Int, Long, Float, Void, Bit, Sbit, BitField, Struct };

struct CType {
    struct Link {
        CDeclarator kind = CDeclarator::Array;
        uint32_t count = 0; // elements of an array
    };
    std::vector<Link> declarators;
    CBase base = CBase::Void;
    bool isUnsigned = false;
    std::string structName; // for CBase::Struct
    uint8_t bitStart = 0;   // for CBase::BitField (and a bit variable, SB0$1)
    uint8_t bitLength = 0;

    bool isPointer() const;
    bool isArray() const { return !declarators.empty() && declarators[0].kind == CDeclarator::Array; }
    bool isStruct() const { return declarators.empty() && base == CBase::Struct; }
    bool isScalar() const { return !isArray() && !isStruct(); }
    // The type with its outermost declarator removed (an array's element, a
    // pointer's target).
    CType inner() const;
};

// Where the debug file says a symbol lives (its address-space letter).
enum class CAddressSpace {
    ExternalStack,  // A
    InternalStack,  // B
    Code,           // C
    CodeStatic,     // D
    Data,           // E: lower 128 bytes of internal RAM
    Xdata,          // F
    Idata,          // G
    Bit,            // H
    Sfr,            // I
    Sbit,           // J
    Pdata,          // P
    Register,       // R
    None,           // Z: function record, struct member
};

enum class CScope { Global, File, Local, Member };

struct CSymbol {
    CScope scope = CScope::Global;
    std::string file;     // file scope: the module; local scope: the module when written
    std::string function; // local scope: the function
    std::string name;
    int level = 0;
    int block = 0;
    std::optional<CType> type;       // none for a symbol that has only a link address
    uint32_t declaredSize = 0;       // the {size} of the record
    CAddressSpace space = CAddressSpace::None;
    bool onStack = false;
    int stackOffset = 0;             // relative to the frame pointer _bp
    std::vector<uint8_t> registers;  // R0..R7 numbers, least significant byte first
    std::optional<uint32_t> address; // from its L: record
    int line = 0;                    // of the S: (or L:) record
};

struct CFunction {
    CScope scope = CScope::Global;
    std::string file; // for file-static functions
    std::string name;
    bool isInterrupt = false;
    int interruptNumber = 0;
    int registerBank = 0; // __using
    std::optional<uint32_t> start; // L: record
    std::optional<uint32_t> end;   // L:X record (address of its last byte)
};

struct CMember {
    std::string name;
    uint32_t offset = 0;
    CType type;
};

struct CStruct {
    std::string file;
    std::string name;
    std::vector<CMember> members;
};

struct CdbSymbols {
    std::vector<CFunction> functions;
    std::vector<CSymbol> symbols; // globals, file statics, locals and parameters
    std::vector<CStruct> structs;
    std::vector<std::string> problems; // "line N: ..." for every record not understood

    const CStruct* findStruct(const std::string& name, const std::string& file) const;
    // The function whose code holds `pc`, if the link records say.
    const CFunction* functionAt(uint32_t pc) const;
    // Bytes a value of `type` takes (0 for a struct not described; a struct
    // nested deeper than 16 levels, which only a broken file has, counts 0).
    uint32_t sizeOf(const CType& type, int depth = 0) const;
};

// Reads the symbol records of a debug file's text.
CdbSymbols readCdbSymbols(std::string_view text);

// Parses one type chain such as "DA4d,SC:U" or "DG,STpt:S"; nothing when broken.
std::optional<CType> parseCTypeChain(std::string_view chain);

// The frame pointer's address in internal RAM from an SDCC linker map
// (the `_bp` line of the symbol list); nothing when the map has none.
std::optional<uint8_t> framePointerFromMap(std::string_view mapText);

} // namespace quorvel
