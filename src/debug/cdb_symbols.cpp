#include "debug/cdb_symbols.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <stdexcept>
#include <tuple>

namespace quorvel {

namespace {

// A broken record; caught per line and reported with its number.
struct RecordError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads a record left to right.
struct Cursor {
    std::string_view text;
    size_t at = 0;

    bool done() const { return at >= text.size(); }
    char peek() const { return done() ? '\0' : text[at]; }
    bool take(char c) {
        if (peek() != c) return false;
        ++at;
        return true;
    }
    void expect(char c) {
        if (!take(c)) {
            throw RecordError(done() ? std::string("record ends where '") + c + "' was expected"
                                     : std::string("expected '") + c + "' at column " +
                                           std::to_string(at + 1));
        }
    }
    // Characters up to (not including) the first of `stops`, or to the end.
    std::string_view until(std::string_view stops) {
        const size_t begin = at;
        while (!done() && stops.find(text[at]) == std::string_view::npos) ++at;
        return text.substr(begin, at - begin);
    }
    long number(int base = 10) {
        const bool negative = take('-');
        const std::string_view digits = until(",)]}$:_[({");
        long value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
            value > 0xFFFFFF)
            throw RecordError("'" + std::string(digits) + "' is not a number");
        return negative ? -value : value;
    }
};

long parseNumber(std::string_view digits, int base) {
    Cursor c{digits};
    const long value = c.number(base);
    if (!c.done()) throw RecordError("'" + std::string(digits) + "' is not a number");
    return value;
}

CAddressSpace spaceOf(char letter) {
    static constexpr std::string_view letters = "ABCDEFGHIJPRZ";
    static constexpr CAddressSpace spaces[] = {
        CAddressSpace::ExternalStack, CAddressSpace::InternalStack, CAddressSpace::Code,
        CAddressSpace::CodeStatic,    CAddressSpace::Data,          CAddressSpace::Xdata,
        CAddressSpace::Idata,         CAddressSpace::Bit,           CAddressSpace::Sfr,
        CAddressSpace::Sbit,          CAddressSpace::Pdata,         CAddressSpace::Register,
        CAddressSpace::None};
    const size_t i = letters.find(letter);
    if (i == std::string_view::npos) throw RecordError(std::string("unknown address space '") + letter + "'");
    return spaces[i];
}

// "G", "Fmodule", "Lmodule.function" (or "Lfunction"), "S" for a member.
void parseScope(std::string_view scope, CSymbol& s) {
    if (scope.empty()) throw RecordError("symbol without a scope");
    const std::string_view rest = scope.substr(1);
    switch (scope[0]) {
    case 'G': s.scope = CScope::Global; break;
    case 'F': s.scope = CScope::File; s.file = rest; break;
    case 'S': s.scope = CScope::Member; break;
    case 'L': {
        s.scope = CScope::Local;
        const size_t dot = rest.rfind('.');
        if (dot != std::string_view::npos) s.file = rest.substr(0, dot);
        s.function = rest.substr(dot == std::string_view::npos ? 0 : dot + 1);
        if (s.function.empty()) throw RecordError("local symbol without its function");
        break;
    }
    default: throw RecordError("unknown scope '" + std::string(scope) + "'");
    }
}

// "scope$name$level$block": the level is written "1_0" or "1".
void parseName(Cursor& c, CSymbol& s) {
    parseScope(c.until("$"), s);
    c.expect('$');
    s.name = c.until("$");
    if (s.name.empty()) throw RecordError("symbol without a name");
    c.expect('$');
    s.level = int(c.number());
    if (c.take('_')) c.number();
    c.expect('$');
    s.block = int(c.number());
}

// "({size}chain)"
void parseTypePart(Cursor& c, CSymbol& s) {
    c.expect('(');
    c.expect('{');
    s.declaredSize = uint32_t(c.number());
    c.expect('}');
    const std::string_view chain = c.until(")");
    c.expect(')');
    s.type = parseCTypeChain(chain);
    if (!s.type) throw RecordError("type chain '" + std::string(chain) + "' not understood");
}

// The body of an S: record from the scope on: name, type, space, on-stack
// flag, stack offset and, for register variables, the register list.
CSymbol parseSymbolBody(Cursor& c, bool withRegisters = true) {
    CSymbol s;
    parseName(c, s);
    parseTypePart(c, s);
    c.expect(',');
    const std::string_view space = c.until(",");
    if (space.size() != 1) throw RecordError("address space '" + std::string(space) + "' not understood");
    s.space = spaceOf(space[0]);
    c.expect(',');
    s.onStack = c.number() != 0;
    c.expect(',');
    s.stackOffset = int(c.number());
    if (withRegisters && c.take(',')) {
        c.expect('[');
        while (!c.take(']')) {
            const std::string_view reg = c.until(",]");
            if (reg.size() != 2 || (reg[0] != 'r' && reg[0] != 'R') || reg[1] < '0' || reg[1] > '7')
                throw RecordError("register '" + std::string(reg) + "' not understood");
            s.registers.push_back(uint8_t(reg[1] - '0'));
            c.take(',');
            if (c.done()) throw RecordError("register list not closed");
        }
    }
    return s;
}

CFunction parseFunction(Cursor& c) {
    CSymbol s = parseSymbolBody(c, false); // name, type and space as an S: record
    CFunction f;
    f.scope = s.scope;
    f.file = s.file;
    f.name = s.name;
    // After the stack offset: interrupt flag, interrupt number, register bank.
    c.expect(',');
    f.isInterrupt = c.number() != 0;
    c.expect(',');
    f.interruptNumber = int(c.number());
    c.expect(',');
    f.registerBank = int(c.number());
    if (f.registerBank < 0 || f.registerBank > 3) throw RecordError("register bank outside 0-3");
    return f;
}

// "Fmodule$name[({offset}S:S$member...)...]"
CStruct parseStruct(Cursor& c) {
    CSymbol owner;
    parseScope(c.until("$"), owner);
    c.expect('$');
    CStruct st;
    st.file = owner.file;
    st.name = c.until("[");
    if (st.name.empty()) throw RecordError("struct without a name");
    c.expect('[');
    while (!c.take(']')) {
        c.expect('(');
        c.expect('{');
        CMember m;
        m.offset = uint32_t(c.number());
        c.expect('}');
        c.expect('S');
        c.expect(':');
        CSymbol s = parseSymbolBody(c);
        c.expect(')');
        m.name = s.name;
        m.type = *s.type;
        st.members.push_back(std::move(m));
    }
    return st;
}

// A key that matches an L: record to its S: record.
using SymbolKey = std::tuple<CScope, std::string, std::string, std::string, int, int>;
SymbolKey keyOf(const CSymbol& s) {
    return {s.scope, s.scope == CScope::Local ? std::string() : s.file, s.function, s.name, s.level, s.block};
}

} // namespace

bool CType::isPointer() const {
    return !declarators.empty() && declarators[0].kind != CDeclarator::Array &&
           declarators[0].kind != CDeclarator::Function;
}

CType CType::inner() const {
    CType t = *this;
    if (!t.declarators.empty()) t.declarators.erase(t.declarators.begin());
    return t;
}

std::optional<CType> parseCTypeChain(std::string_view chain) {
    CType t;
    Cursor c{chain};
    try {
        while (c.peek() == 'D') {
            ++c.at;
            CType::Link link;
            switch (c.peek()) {
            case 'A': {
                ++c.at;
                const std::string_view n = c.until("d,");
                link.count = uint32_t(parseNumber(n, 10));
                c.take('d');
                break;
            }
            case 'F': ++c.at; link.kind = CDeclarator::Function; break;
            case 'G': ++c.at; link.kind = CDeclarator::GenericPointer; break;
            case 'C': ++c.at; link.kind = CDeclarator::CodePointer; break;
            case 'X': ++c.at; link.kind = CDeclarator::XdataPointer; break;
            case 'D': ++c.at; link.kind = CDeclarator::DataPointer; break;
            case 'I': ++c.at; link.kind = CDeclarator::IdataPointer; break;
            case 'P': ++c.at; link.kind = CDeclarator::PdataPointer; break;
            default: return std::nullopt;
            }
            t.declarators.push_back(link);
            if (!c.take(',')) return std::nullopt;
        }
        if (!c.take('S')) return std::nullopt;
        const char kind = c.peek();
        ++c.at;
        switch (kind) {
        case 'C': t.base = CBase::Char; break;
        case 'S': t.base = CBase::Short; break;
        case 'I': t.base = CBase::Int; break;
        case 'L': t.base = CBase::Long; break;
        case 'F': t.base = CBase::Float; break;
        case 'V': t.base = CBase::Void; break;
        case 'X': t.base = CBase::Sbit; break;
        case 'T':
            t.base = CBase::Struct;
            t.structName = c.until(":");
            if (t.structName.empty()) return std::nullopt;
            break;
        case 'B': {
            t.base = CBase::BitField;
            const long start = c.number();
            c.expect('$');
            const long length = c.number();
            if (start < 0 || length < 1 || start + length > 32) return std::nullopt;
            t.bitStart = uint8_t(start);
            t.bitLength = uint8_t(length);
            break;
        }
        default: return std::nullopt;
        }
        if (!c.take(':')) return std::nullopt;
        const char sign = c.peek();
        if (sign != 'S' && sign != 'U') return std::nullopt;
        t.isUnsigned = sign == 'U';
        ++c.at;
        if (!c.done()) return std::nullopt;
    } catch (const RecordError&) {
        return std::nullopt;
    }
    return t;
}

const CStruct* CdbSymbols::findStruct(const std::string& name, const std::string& file) const {
    const CStruct* any = nullptr;
    for (const CStruct& s : structs) {
        if (s.name != name) continue;
        if (s.file == file) return &s;
        if (!any) any = &s;
    }
    return any;
}

const CFunction* CdbSymbols::functionAt(uint32_t pc) const {
    for (const CFunction& f : functions)
        if (f.start && f.end && *f.start <= pc && pc <= *f.end) return &f;
    return nullptr;
}

uint32_t CdbSymbols::sizeOf(const CType& type, int depth) const {
    if (depth > 16) return 0;
    if (!type.declarators.empty()) {
        switch (type.declarators[0].kind) {
        case CDeclarator::Array: return type.declarators[0].count * sizeOf(type.inner(), depth + 1);
        case CDeclarator::Function: return 0;
        case CDeclarator::GenericPointer: return 3;
        case CDeclarator::CodePointer:
        case CDeclarator::XdataPointer: return 2;
        default: return 1;
        }
    }
    switch (type.base) {
    case CBase::Char:
    case CBase::Bit:
    case CBase::Sbit: return 1;
    case CBase::Short:
    case CBase::Int: return 2;
    case CBase::Long:
    case CBase::Float: return 4;
    case CBase::Void: return 0;
    case CBase::BitField: return uint32_t(type.bitStart + type.bitLength + 7) / 8;
    case CBase::Struct: {
        // Only the member list says how big a struct is.
        const CStruct* s = findStruct(type.structName, "");
        uint32_t size = 0;
        if (s)
            for (const CMember& m : s->members)
                size = std::max(size, m.offset + sizeOf(m.type, depth + 1));
        return size;
    }
    }
    return 0;
}

CdbSymbols readCdbSymbols(std::string_view text) {
    CdbSymbols out;
    std::map<SymbolKey, size_t> byKey;
    struct LinkRecord {
        CSymbol symbol;
        uint32_t address;
        bool functionEnd;
        int line;
    };
    std::vector<LinkRecord> links;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() < 2 || line[1] != ':') continue;
        Cursor c{line, 2};
        try {
            switch (line[0]) {
            case 'S': {
                CSymbol s = parseSymbolBody(c);
                if (!c.done()) throw RecordError("unexpected text after the record");
                if (s.scope == CScope::Member) throw RecordError("struct member outside a T: record");
                s.line = lineNumber;
                byKey[keyOf(s)] = out.symbols.size();
                out.symbols.push_back(std::move(s));
                break;
            }
            case 'F': {
                CFunction f = parseFunction(c);
                if (!c.done()) throw RecordError("unexpected text after the record");
                out.functions.push_back(std::move(f));
                break;
            }
            case 'T': {
                CStruct st = parseStruct(c);
                if (!c.done()) throw RecordError("unexpected text after the record");
                out.structs.push_back(std::move(st));
                break;
            }
            case 'L': {
                // C-line and assembler-line records belong to the source map.
                if (line.size() > 3 && (line[2] == 'A' || line[2] == 'C') && line[3] == '$') break;
                LinkRecord link{};
                link.functionEnd = c.take('X');
                parseName(c, link.symbol);
                c.expect(':');
                link.address = uint32_t(parseNumber(c.until(""), 16));
                link.line = lineNumber;
                links.push_back(std::move(link));
                break;
            }
            default: break; // M: module and anything newer
            }
        } catch (const RecordError& e) {
            out.problems.push_back("line " + std::to_string(lineNumber) + ": " + e.what() + " in \"" +
                                   std::string(line.substr(0, 80)) + (line.size() > 80 ? "...\"" : "\""));
        }
    }
    // Link addresses: a function's start and end, a variable's address. A
    // local that has only its address (an overlaid local) is kept without a
    // type, so that it is known as not available rather than unknown.
    for (const LinkRecord& link : links) {
        const CSymbol& s = link.symbol;
        bool function = false;
        for (CFunction& f : out.functions) {
            if (f.name != s.name || f.scope != s.scope || (s.scope == CScope::File && f.file != s.file)) continue;
            (link.functionEnd ? f.end : f.start) = link.address;
            function = true;
        }
        if (function || link.functionEnd) continue;
        const auto found = byKey.find(keyOf(s));
        if (found != byKey.end()) {
            out.symbols[found->second].address = link.address;
        } else if (s.scope == CScope::Local) {
            CSymbol untyped = s;
            untyped.address = link.address;
            untyped.line = link.line;
            byKey[keyOf(untyped)] = out.symbols.size();
            out.symbols.push_back(std::move(untyped));
        }
    }
    return out;
}

std::optional<uint8_t> framePointerFromMap(std::string_view mapText) {
    size_t pos = 0;
    while (pos < mapText.size()) {
        size_t end = mapText.find('\n', pos);
        if (end == std::string_view::npos) end = mapText.size();
        const std::string_view line = mapText.substr(pos, end - pos);
        pos = end + 1;
        // "     00000008  _bp      _bp.rel" style: an address, then the name.
        Cursor c{line};
        c.until("0123456789ABCDEFabcdef");
        const std::string_view address = c.until(" \t");
        while (c.take(' ') || c.take('\t')) {}
        const std::string_view name = c.until(" \t\r");
        if (name != "_bp" || address.empty()) continue;
        try {
            const long value = parseNumber(address, 16);
            if (value >= 0 && value < 0x100) return uint8_t(value);
        } catch (const RecordError&) {
        }
    }
    return std::nullopt;
}

} // namespace quorvel
