#include "debug/c_variables.h"

#include "chip/sfr.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace quorvel {

namespace {

struct ExpressionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string hex(uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

const char* spaceName(CSpace space) {
    switch (space) {
    case CSpace::Iram: return "iram";
    case CSpace::Sfr: return "sfr";
    case CSpace::Xdata: return "xdata";
    case CSpace::Code: return "code";
    case CSpace::Bit: return "bit";
    }
    return "";
}

// No memory of the chip is bigger; a debug file that says otherwise is broken.
constexpr uint32_t kLargestValue = 0x10000;

// Consecutive bytes from `address` (internal RAM wraps at 256); a size
// beyond any memory is cut to one byte more than the largest, which
// placed() then refuses.
CPlace memoryPlace(CSpace space, uint32_t address, uint32_t size) {
    CPlace p;
    p.space = space;
    size = std::min(size, kLargestValue + 1);
    for (uint32_t i = 0; i < size; ++i) {
        const uint32_t a = address + i;
        const bool small = space == CSpace::Iram || space == CSpace::Sfr || space == CSpace::Bit;
        p.bytes.push_back(uint16_t(small ? a & 0xFF : a & 0xFFFF));
    }
    p.where = std::string(spaceName(space)) + " " + hex(address, space == CSpace::Iram || space == CSpace::Sfr || space == CSpace::Bit ? 2 : 4);
    return p;
}

// The pdata page: SDCC addresses paged external memory through P2's latch.
uint8_t pdataPage(const Machine& m) { return m.chip.sfr(sfr::P2); }

// Reads a place's bytes; nothing when a byte lies outside the memories.
std::optional<std::vector<uint8_t>> readPlace(const Machine& m, const CPlace& p) {
    std::vector<uint8_t> out;
    for (uint16_t a : p.bytes) {
        switch (p.space) {
        case CSpace::Iram: out.push_back(m.chip.iram[a & 0xFF]); break;
        case CSpace::Sfr: out.push_back(a >= 0x80 ? m.chip.sfr(uint8_t(a)) : m.chip.iram[a]); break;
        case CSpace::Xdata:
            if (!m.chip.hasXdata() || a > m.chip.xdataLimit) return std::nullopt;
            out.push_back(m.chip.xdata[a]);
            break;
        case CSpace::Code:
            if (a > m.chip.codeLimit) return std::nullopt;
            out.push_back(m.chip.code[a]);
            break;
        case CSpace::Bit: {
            const uint8_t byte = a < 0x80 ? m.chip.iram[0x20 + a / 8] : m.chip.sfr(uint8_t(a & 0xF8));
            out.push_back(uint8_t(byte >> (a & 7) & 1));
            break;
        }
        }
    }
    return out;
}

void writePlace(Machine& m, const CPlace& p, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < p.bytes.size() && i < bytes.size(); ++i) {
        const uint16_t a = p.bytes[i];
        switch (p.space) {
        case CSpace::Iram: m.chip.iram[a & 0xFF] = bytes[i]; break;
        // Plain storage: an edit by the debugger has no side effect (a
        // write to SBUF starts no transmission).
        case CSpace::Sfr:
            if (a >= 0x80) m.chip.setSfr(uint8_t(a), bytes[i]);
            else m.chip.iram[a] = bytes[i];
            break;
        case CSpace::Xdata: m.chip.xdata[a] = bytes[i]; break;
        case CSpace::Code: m.chip.writeCode(a, bytes[i]); break;
        case CSpace::Bit: {
            const auto withBit = [&](uint8_t byte) {
                return uint8_t((byte & ~(1u << (a & 7))) | (bytes[i] & 1u) << (a & 7));
            };
            if (a < 0x80) m.chip.iram[0x20 + a / 8] = withBit(m.chip.iram[0x20 + a / 8]);
            else m.chip.setSfr(uint8_t(a & 0xF8), withBit(m.chip.sfr(uint8_t(a & 0xF8))));
            break;
        }
        }
    }
}

bool isBitType(const CType& t) {
    return t.declarators.empty() && (t.base == CBase::Bit || t.base == CBase::Sbit);
}

// Walks an expression left to right, producing values.
class Evaluator {
public:
    Evaluator(const CdbSymbols& symbols, std::optional<uint8_t> framePointer, const Machine& m,
              uint16_t pc, std::string_view text, bool innermost = true)
        : s_(symbols), framePointer_(framePointer), m_(&m), text_(text),
          function_(symbols.functionAt(pc)), innermost_(innermost) {}
    // Reads the grammar alone: no name is looked up and no memory read, so
    // a typing mistake is found before there is a program to look at.
    Evaluator(const CdbSymbols& symbols, std::string_view text)
        : s_(symbols), m_(nullptr), text_(text), function_(nullptr) {}

    CValue run() {
        skipSpaces();
        if (at_ >= text_.size()) throw ExpressionError("empty expression");
        CValue v = unary();
        skipSpaces();
        if (at_ < text_.size()) throw ExpressionError("unexpected '" + std::string(1, text_[at_]) + "' at column " + std::to_string(at_ + 1));
        v.expression = std::string(text_);
        return v;
    }

    // Parts of a value, also used to show structs and arrays.
    CValue member(const CValue& v, const std::string& name) const {
        if (!m_) return v;
        if (!v.type.isStruct()) throw ExpressionError("'" + name + "' asked of a value that is not a struct or union");
        const CStruct* st = s_.findStruct(v.type.structName, v.structFile);
        if (!st) throw ExpressionError("the layout of struct " + v.type.structName + " is not in the debug file");
        for (const CMember& m : st->members) {
            if (m.name != name) continue;
            CValue out = slice(v, m.offset, m.type);
            if (m.type.declarators.empty() && m.type.base == CBase::BitField && out.place) {
                out.place->bitStart = m.type.bitStart;
                out.place->bitLength = m.type.bitLength;
            }
            return out;
        }
        throw ExpressionError("struct " + v.type.structName + " has no member '" + name + "'");
    }

    CValue element(const CValue& v, long index) const {
        if (!m_) return v;
        if (v.type.isPointer()) return target(v, index);
        if (!v.type.isArray()) throw ExpressionError("indexing a value that is neither an array nor a pointer");
        const uint32_t count = v.type.declarators[0].count;
        if (index < 0 || uint32_t(index) >= count)
            throw ExpressionError("index " + std::to_string(index) + " outside the array of " + std::to_string(count));
        const CType inner = v.type.inner();
        const uint64_t offset = uint64_t(index) * s_.sizeOf(inner);
        if (offset > kLargestValue) throw ExpressionError("the debug file's layout does not fit the value");
        return slice(v, uint32_t(offset), inner);
    }

private:
    const CdbSymbols& s_;
    std::optional<uint8_t> framePointer_;
    const Machine* m_; // null: the grammar alone
    std::string_view text_;
    size_t at_ = 0;
    const CFunction* function_;
    static constexpr int kDeepestNesting = 64;
    int depth_ = 0; // of unary() calls
    // False for a frame further out than the running function: its
    // registers and stack frame now hold the callee's values.
    bool innermost_ = true;

    void skipSpaces() {
        while (at_ < text_.size() && std::isspace(uint8_t(text_[at_]))) ++at_;
    }
    bool take(std::string_view token) {
        skipSpaces();
        if (text_.substr(at_, token.size()) != token) return false;
        at_ += token.size();
        return true;
    }
    std::string column() const {
        return at_ >= text_.size() ? "at the end" : "at column " + std::to_string(at_ + 1);
    }
    std::string identifier(const char* what) {
        skipSpaces();
        const size_t begin = at_;
        while (at_ < text_.size() && (std::isalnum(uint8_t(text_[at_])) || text_[at_] == '_')) ++at_;
        if (begin == at_ || std::isdigit(uint8_t(text_[begin]))) {
            at_ = begin;
            throw ExpressionError(std::string("expected ") + what + " " + column());
        }
        return std::string(text_.substr(begin, at_ - begin));
    }

    CValue unary() {
        // Each '*' and '(' goes one call deeper: a bound keeps a hostile
        // expression from exhausting the stack.
        if (++depth_ > kDeepestNesting)
            throw ExpressionError("nested more than " + std::to_string(kDeepestNesting) + " levels deep " + column());
        CValue v = take("*") ? target(unary(), 0) : postfix();
        --depth_;
        return v;
    }

    CValue postfix() {
        CValue v;
        if (take("(")) {
            v = unary();
            if (!take(")")) throw ExpressionError("expected ')' " + column());
        } else {
            v = lookup(identifier("a variable name"));
        }
        for (;;) {
            if (take("->")) {
                v = member(target(v, 0), identifier("a member name after '->'"));
            } else if (take(".")) {
                v = member(v, identifier("a member name after '.'"));
            } else if (take("[")) {
                skipSpaces();
                const size_t begin = at_;
                while (at_ < text_.size() && std::isalnum(uint8_t(text_[at_]))) ++at_;
                const std::string_view digits = text_.substr(begin, at_ - begin);
                long index = 0;
                const bool isHex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
                const std::string_view number = isHex ? digits.substr(2) : digits;
                const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), index, isHex ? 16 : 10);
                if (digits.empty() || ec != std::errc() || end != number.data() + number.size()) {
                    at_ = begin;
                    throw ExpressionError("expected an index " + column());
                }
                if (!take("]")) throw ExpressionError("expected ']' " + column());
                v = element(v, index);
            } else {
                return v;
            }
        }
    }

    // The part of `v` at `offset` with `type`; not available when `v` is not.
    CValue slice(const CValue& v, uint32_t offset, const CType& type) const {
        CValue out;
        out.type = type;
        out.structFile = v.structFile;
        out.unavailable = v.unavailable;
        if (!v.place) return out;
        const uint32_t size = s_.sizeOf(type);
        if (uint64_t(offset) + size > v.place->bytes.size()) throw ExpressionError("the debug file's layout does not fit the value");
        CPlace p = *v.place;
        p.bytes.assign(v.place->bytes.begin() + offset, v.place->bytes.begin() + offset + size);
        if (offset != 0) p.where += " +" + std::to_string(offset);
        out.place = p;
        out.bytes.assign(v.bytes.begin() + offset, v.bytes.begin() + offset + size);
        return out;
    }

    // What pointer `v` points at, `index` elements on (an array: its element).
    CValue target(const CValue& v, long index) const {
        if (!m_) return v;
        if (v.type.isArray()) return element(v, index);
        if (!v.type.isPointer()) throw ExpressionError("dereferencing a value that is not a pointer");
        const CType inner = v.type.inner();
        if (!inner.declarators.empty() && inner.declarators[0].kind == CDeclarator::Function)
            throw ExpressionError("dereferencing a function pointer");
        if (inner.declarators.empty() && inner.base == CBase::Void)
            throw ExpressionError("dereferencing a void pointer");
        CValue out;
        out.type = inner;
        out.structFile = v.structFile;
        if (!v.place) {
            out.unavailable = v.unavailable;
            return out;
        }
        const uint32_t low = v.bytes.size() > 0 ? v.bytes[0] : 0;
        const uint32_t address = low | (v.bytes.size() > 1 ? uint32_t(v.bytes[1]) << 8 : 0);
        const uint32_t size = s_.sizeOf(inner);
        if (index < -0x10000 || index > 0x10000)
            throw ExpressionError("index " + std::to_string(index) + " reaches beyond every memory");
        const int64_t step = int64_t(index) * std::min(size, kLargestValue + 1);
        CSpace space = CSpace::Iram;
        uint32_t at = address;
        switch (v.type.declarators[0].kind) {
        case CDeclarator::GenericPointer: {
            // The tag byte: code from 0x80, idata/data 0x40-0x5F, pdata
            // 0x60-0x7F, xdata below 0x40.
            const uint8_t tag = v.bytes.size() > 2 ? v.bytes[2] : 0;
            if (tag >= 0x80) space = CSpace::Code;
            else if (tag >= 0x60) space = CSpace::Xdata, at = uint32_t(pdataPage(*m_)) << 8 | low;
            else if (tag >= 0x40) space = CSpace::Iram, at = low;
            else space = CSpace::Xdata;
            break;
        }
        case CDeclarator::CodePointer: space = CSpace::Code; break;
        case CDeclarator::XdataPointer: space = CSpace::Xdata; break;
        case CDeclarator::DataPointer:
        case CDeclarator::IdataPointer: space = CSpace::Iram; break;
        case CDeclarator::PdataPointer: space = CSpace::Xdata, at = uint32_t(pdataPage(*m_)) << 8 | low; break;
        default: break;
        }
        const bool paged = space == CSpace::Xdata && at >> 8 != address >> 8;
        uint32_t start = uint32_t(int64_t(at) + step);
        if (paged) start = (at & 0xFF00) | ((at + uint32_t(step)) & 0xFF); // pdata stays in its page
        return placed(std::move(out), memoryPlace(space, start, size));
    }

    CValue placed(CValue v, CPlace p) const {
        if (p.bytes.size() > kLargestValue) {
            v.unavailable = "larger than any memory of the chip";
            return v;
        }
        const auto bytes = readPlace(*m_, p);
        if (!bytes) {
            v.unavailable = p.where + " is outside the device's memories";
            return v;
        }
        v.bytes = *bytes;
        v.place = std::move(p);
        return v;
    }

    const CSymbol* find(CScope scope, const std::string& name, const std::string& function) const {
        for (const CSymbol& sym : s_.symbols)
            if (sym.scope == scope && sym.name == name && (scope != CScope::Local || sym.function == function))
                return &sym;
        return nullptr;
    }

    CValue lookup(const std::string& name) const {
        if (!m_) return {};
        const CSymbol* sym = function_ ? find(CScope::Local, name, function_->name) : nullptr;
        if (!sym) sym = find(CScope::File, name, "");
        if (!sym) sym = find(CScope::Global, name, "");
        if (!sym) {
            for (const CSymbol& other : s_.symbols) {
                if (other.scope == CScope::Local && other.name == name) {
                    CValue v;
                    if (other.type) v.type = *other.type;
                    v.structFile = other.file;
                    v.unavailable = "a local of " + other.function + ", which is not running here";
                    return v;
                }
            }
            throw ExpressionError("unknown name '" + name + "'");
        }
        return variable(*sym);
    }

    CValue variable(const CSymbol& sym) const {
        CValue v;
        v.structFile = sym.file;
        if (!sym.type) {
            v.unavailable = "its type is not in the debug file: an overlaid local, compile with --nooverlay";
            return v;
        }
        v.type = *sym.type;
        const uint32_t size = isBitType(v.type) ? 1 : s_.sizeOf(v.type);
        if (!innermost_ && sym.scope == CScope::Local &&
            (sym.space == CAddressSpace::Register || sym.space == CAddressSpace::InternalStack)) {
            v.unavailable = "in registers or a stack frame a called function uses now";
            return v;
        }
        switch (sym.space) {
        case CAddressSpace::Register: {
            if (sym.registers.empty()) {
                v.unavailable = "kept in registers the debug file does not name";
                return v;
            }
            if (sym.registers.size() < size) {
                v.unavailable = "fewer registers than bytes in the debug file";
                return v;
            }
            // An interrupt function's __using bank, else the bank PSW selects.
            const int bank = function_ && function_->registerBank != 0 ? function_->registerBank
                                                                       : (m_->chip.psw() >> 3) & 3;
            CPlace p;
            p.space = CSpace::Iram;
            for (size_t i = 0; i < size; ++i) {
                p.bytes.push_back(uint16_t(bank * 8 + sym.registers[i]));
                p.where += (i ? ",R" : "R") + std::to_string(sym.registers[i]);
            }
            p.where += " bank " + std::to_string(bank);
            return placed(std::move(v), std::move(p));
        }
        case CAddressSpace::InternalStack: {
            if (!framePointer_) {
                v.unavailable = "in a stack frame, and the frame pointer _bp is not known";
                return v;
            }
            const uint8_t bp = m_->chip.iram[*framePointer_];
            CPlace p = memoryPlace(CSpace::Iram, uint32_t(bp + sym.stackOffset) & 0xFF, size);
            p.where = "stack _bp" + std::string(sym.stackOffset < 0 ? "" : "+") + std::to_string(sym.stackOffset) + " (" + p.where + ")";
            return placed(std::move(v), std::move(p));
        }
        case CAddressSpace::ExternalStack:
            v.unavailable = "in an external stack frame, which is not read";
            return v;
        case CAddressSpace::None:
            v.unavailable = "it has no storage";
            return v;
        default: break;
        }
        if (!sym.address) {
            v.unavailable = "the debug file gives no address";
            return v;
        }
        const uint32_t a = *sym.address;
        switch (sym.space) {
        case CAddressSpace::Data:
        case CAddressSpace::Idata: return placed(std::move(v), memoryPlace(CSpace::Iram, a, size));
        case CAddressSpace::Xdata: return placed(std::move(v), memoryPlace(CSpace::Xdata, a, size));
        case CAddressSpace::Pdata:
            return placed(std::move(v), memoryPlace(CSpace::Xdata, uint32_t(pdataPage(*m_)) << 8 | (a & 0xFF), size));
        case CAddressSpace::Code:
        case CAddressSpace::CodeStatic: return placed(std::move(v), memoryPlace(CSpace::Code, a, size));
        case CAddressSpace::Sfr: return placed(std::move(v), memoryPlace(CSpace::Sfr, a, size));
        case CAddressSpace::Bit:
        case CAddressSpace::Sbit: {
            // A bit variable's type is a one-bit field (SB0$1); its place is
            // one address of bit space.
            v.type.base = CBase::Bit;
            v.type.bitLength = 0;
            return placed(std::move(v), memoryPlace(CSpace::Bit, a, 1));
        }
        default: break;
        }
        v.unavailable = "in an address space that is not read";
        return v;
    }
};

uint64_t rawOf(const CValue& v) {
    uint64_t raw = 0;
    for (size_t i = v.bytes.size(); i-- > 0;) raw = raw << 8 | v.bytes[i];
    return raw;
}

int widthOf(const CValue& v) {
    if (v.place && v.place->bitLength) return v.place->bitLength;
    if (isBitType(v.type)) return 1;
    return int(v.bytes.size() * 8);
}

std::string baseName(const CType& t) {
    const std::string sign = t.isUnsigned ? "unsigned " : "";
    switch (t.base) {
    case CBase::Char: return t.isUnsigned ? "unsigned char" : "signed char";
    case CBase::Short: return sign + "short";
    case CBase::Int: return sign + "int";
    case CBase::Long: return sign + "long";
    case CBase::Float: return "float";
    case CBase::Void: return "void";
    case CBase::Bit: return "bit";
    case CBase::Sbit: return "sbit";
    case CBase::BitField: return sign + "int : " + std::to_string(t.bitLength);
    case CBase::Struct: return "struct " + t.structName;
    }
    return "";
}

} // namespace

CVariables::CVariables(CdbSymbols symbols, std::optional<uint8_t> framePointer)
    : symbols_(std::move(symbols)), framePointer_(framePointer) {}

CEvaluation CVariables::evaluate(const Machine& machine, uint16_t pc, std::string_view expression,
                                 bool innermost) const {
    try {
        return {Evaluator(symbols_, framePointer_, machine, pc, expression, innermost).run(), ""};
    } catch (const ExpressionError& e) {
        return {std::nullopt, std::string(e.what()) + " in \"" + std::string(expression) + "\""};
    }
}

std::optional<std::string> CVariables::syntaxError(std::string_view expression) {
    static const CdbSymbols kNone;
    try {
        Evaluator(kNone, expression).run();
        return std::nullopt;
    } catch (const ExpressionError& e) {
        return std::string(e.what());
    }
}

std::vector<CValue> CVariables::children(const Machine& machine, const CValue& value) const {
    std::vector<CValue> out;
    Evaluator parts(symbols_, framePointer_, machine, 0, "");
    try {
        if (value.type.isStruct()) {
            const CStruct* st = symbols_.findStruct(value.type.structName, value.structFile);
            for (size_t i = 0; st && i < st->members.size(); ++i) {
                out.push_back(parts.member(value, st->members[i].name));
                out.back().expression = value.expression + "." + st->members[i].name;
            }
        } else if (value.type.isArray()) {
            for (uint32_t i = 0; i < value.type.declarators[0].count && i < kLargestValue; ++i) {
                out.push_back(parts.element(value, long(i)));
                out.back().expression = value.expression + "[" + std::to_string(i) + "]";
            }
        }
    } catch (const ExpressionError&) {
        // A layout that does not fit the value: the parts read so far stand.
    }
    return out;
}

std::string CVariables::format(const Machine& machine, const CValue& value, int depth) const {
    if (!value.place || value.type.isScalar()) return formatValue(value);
    // Deeper than any real program's nesting: only a broken debug file (a
    // struct that holds itself) gets here.
    if (depth >= kDeepestParts) return "{...}";
    std::string text;
    const bool named = value.type.isStruct();
    for (const CValue& part : children(machine, value)) {
        text += text.empty() ? "{" : ", ";
        if (named) text += part.expression.substr(value.expression.size() + 1) + " = ";
        text += format(machine, part, depth + 1);
    }
    return text.empty() ? "{}" : text + "}";
}

std::string CVariables::write(Machine& machine, const CValue& value, std::string_view text) const {
    if (!value.place) return value.expression + " is not available: " + value.unavailable;
    if (!value.type.isScalar()) return value.expression + " is not a single value";
    std::vector<uint8_t> bytes = value.bytes;
    const bool isFloat = value.type.declarators.empty() && value.type.base == CBase::Float;
    if (isFloat) {
        char* end = nullptr;
        const std::string copy(text);
        const float f = std::strtof(copy.c_str(), &end);
        if (copy.empty() || *end != '\0' || std::isspace(uint8_t(copy[0]))) return "'" + copy + "' is not a number";
        uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(bits >> (8 * i));
    } else {
        std::string_view digits = text;
        const bool negative = !digits.empty() && digits[0] == '-';
        if (negative) digits.remove_prefix(1);
        const bool isHex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
        if (isHex) digits.remove_prefix(2);
        uint64_t magnitude = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, isHex ? 16 : 10);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
            return "'" + std::string(text) + "' is not a number";
        const int width = widthOf(value);
        const bool isSigned = !value.type.isUnsigned && !value.type.isPointer() && !isBitType(value.type);
        const uint64_t mask = width >= 64 ? ~0ull : (1ull << width) - 1;
        const bool fits = negative ? isSigned && magnitude <= (mask >> 1) + 1
                                   : magnitude <= (isSigned ? mask >> 1 : mask);
        if (!fits) return "'" + std::string(text) + "' does not fit " + typeName(value.type);
        const uint64_t raw = (negative ? uint64_t(0) - magnitude : magnitude) & mask;
        if (value.place->bitLength) {
            uint64_t all = rawOf(value);
            const uint64_t field = mask << value.place->bitStart;
            all = (all & ~field) | raw << value.place->bitStart;
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(all >> (8 * i));
        } else {
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(raw >> (8 * i));
        }
    }
    if (value.place->space == CSpace::Xdata)
        for (uint16_t a : value.place->bytes)
            if (!machine.chip.hasXdata() || a > machine.chip.xdataLimit) return "outside external data memory";
    writePlace(machine, *value.place, bytes);
    return "";
}

int64_t integerOf(const CValue& value) {
    uint64_t raw = rawOf(value);
    const int width = widthOf(value);
    if (value.place && value.place->bitLength) raw >>= value.place->bitStart;
    if (width < 64) raw &= (1ull << width) - 1;
    const bool isSigned = !value.type.isUnsigned && !value.type.isPointer() && !isBitType(value.type);
    if (isSigned && width < 64 && width > 0 && (raw >> (width - 1) & 1)) raw |= ~0ull << width;
    return int64_t(raw);
}

double realOf(const CValue& value) {
    if (value.type.declarators.empty() && value.type.base == CBase::Float && value.bytes.size() == 4) {
        const uint32_t bits = uint32_t(rawOf(value));
        float f = 0;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    return double(integerOf(value));
}

std::string typeName(const CType& type) {
    std::string name = baseName(type);
    std::string arrays;
    for (size_t i = type.declarators.size(); i-- > 0;) {
        const CType::Link& d = type.declarators[i];
        switch (d.kind) {
        case CDeclarator::Array: arrays = "[" + std::to_string(d.count) + "]" + arrays; continue;
        case CDeclarator::Function: name += " ()"; continue;
        case CDeclarator::GenericPointer: name += " *"; break;
        case CDeclarator::CodePointer: name += " __code *"; break;
        case CDeclarator::XdataPointer: name += " __xdata *"; break;
        case CDeclarator::DataPointer: name += " __data *"; break;
        case CDeclarator::IdataPointer: name += " __idata *"; break;
        case CDeclarator::PdataPointer: name += " __pdata *"; break;
        }
    }
    return arrays.empty() ? name : name + " " + arrays;
}

std::string formatValue(const CValue& value) {
    if (!value.place) return "not available (" + value.unavailable + ")";
    if (value.type.isArray() || value.type.isStruct()) {
        std::string bytes;
        for (uint8_t b : value.bytes) bytes += (bytes.empty() ? "" : " ") + hex(b, 2).substr(2);
        return "{" + bytes + "}";
    }
    if (value.type.isPointer()) {
        const uint32_t address = uint32_t(rawOf(value) & 0xFFFF);
        if (value.type.declarators[0].kind == CDeclarator::GenericPointer && value.bytes.size() == 3) {
            const uint8_t tag = value.bytes[2];
            const char* space = tag >= 0x80 ? "code" : tag >= 0x60 ? "pdata" : tag >= 0x40 ? "data" : "xdata";
            return std::string(space) + ":" + hex(address, 4);
        }
        return hex(address, value.bytes.size() > 1 ? 4 : 2);
    }
    if (value.type.declarators.empty() && value.type.base == CBase::Float) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.7g", realOf(value));
        return buffer;
    }
    return std::to_string(integerOf(value));
}

} // namespace quorvel
