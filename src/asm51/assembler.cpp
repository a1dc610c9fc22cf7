#include "asm51/assembler.h"

#include "asm51/encoder.h"
#include "asm51/expression.h"
#include "asm51/lexer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <map>

namespace quorvel::asm51 {

namespace {

constexpr int kMaxPasses = 20;
constexpr int kMaxIncludeDepth = 16;

// The built-in definitions are the Mod51 file compiled in (see CMakeLists).
constexpr std::string_view kBuiltinDefinitions =
#include "mod51_text.inc"
    ;

enum class SegmentKind : uint8_t { Code, Data, IData, XData, Bit };

struct SegmentInfo {
    std::string_view directive;
    ValueType labelType; // the type of labels defined in it
    int64_t end;         // one past the highest address
};
constexpr std::array<SegmentInfo, 5> kSegments{{
    {"CSEG", ValueType::Code, 0x10000},
    {"DSEG", ValueType::Data, 0x80},
    {"ISEG", ValueType::IData, 0x100},
    {"XSEG", ValueType::XData, 0x10000},
    {"BSEG", ValueType::Bit, 0x80},
}};

struct DefinitionWord {
    std::string_view word;
    ValueType type;    // the symbol's type; Number keeps the expression's type
    int64_t low, high; // accepted values
    bool redefinable;
};
constexpr std::array<DefinitionWord, 7> kDefinitionWords{{
    {"EQU", ValueType::Number, -0x80000000ll, 0xFFFFFFFFll, false},
    {"SET", ValueType::Number, -0x80000000ll, 0xFFFFFFFFll, true},
    {"BIT", ValueType::Bit, 0, 0xFF, false},
    {"DATA", ValueType::Data, 0, 0xFF, false},
    {"IDATA", ValueType::IData, 0, 0xFF, false},
    {"XDATA", ValueType::XData, 0, 0xFFFF, false},
    {"CODE", ValueType::Code, 0, 0xFFFF, false},
}};

const DefinitionWord* definitionWord(std::string_view word) {
    for (const auto& d : kDefinitionWords)
        if (d.word == word) return &d;
    return nullptr;
}

// Listing controls that change only the look of a printed listing; they are
// accepted and have no effect here.
constexpr std::array<std::string_view, 24> kIgnoredControls{
    "LIST",    "NOLIST", "PAGING",  "NOPAGING", "PAGELENGTH", "PL",      "PAGEWIDTH", "PW",
    "TITLE",   "TT",     "SYMBOLS", "SB",       "NOSYMBOLS",  "NOSB",    "DEBUG",     "DB",
    "NODEBUG", "NODB",   "OBJECT",  "NOOBJECT", "PRINT",      "NOPRINT", "EJECT",     "DATE",
};

// The lines of a file, without the UTF-8 mark some editors put first.
std::vector<std::string> splitLines(std::string_view text) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) text.remove_prefix(kUtf8Mark.size());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

// Token ranges between top-level commas; each part ends with an End token.
std::vector<std::vector<Token>> splitAtCommas(std::span<const Token> tokens) {
    std::vector<std::vector<Token>> parts;
    if (tokens[0].kind == TokenKind::End) return parts;
    std::vector<Token> part;
    int depth = 0;
    for (const Token& t : tokens) {
        if (t.kind == TokenKind::LParen) ++depth;
        if (t.kind == TokenKind::RParen) --depth;
        if ((t.kind == TokenKind::Comma && depth <= 0) || t.kind == TokenKind::End) {
            if (part.empty()) throw AsmError{"missing value between commas"};
            Token end;
            end.kind = TokenKind::End;
            part.push_back(end);
            parts.push_back(std::move(part));
            part.clear();
            if (t.kind == TokenKind::End) break;
        } else {
            part.push_back(t);
        }
    }
    return parts;
}

struct Conditional {
    bool parentActive = true;
    bool value = true;
    bool inElse = false;
    size_t listingIndex = 0;
    SourcePlace place;
};

// Where the line being assembled comes from.
struct LinePlace {
    std::string file; // as named in messages
    std::string path; // as given to the reader
    int line = 0;
    int depth = 0;
};

class Engine {
public:
    explicit Engine(const AssemblyOptions& options) : options_(options) {}

    AssemblyResult run(const std::string& path) {
        AssemblyResult last;
        for (int pass = 1; pass <= kMaxPasses; ++pass) {
            runPass(pass, path);
            result_.passes = pass;
            if (!changed_) return finish();
            last = std::move(result_);
        }
        result_ = std::move(last);
        attachTo_ = kNoLine;
        place_.line = 0;
        addMessage("addresses did not settle after " + std::to_string(kMaxPasses) + " passes",
                   false);
        return finish();
    }

private:
    AssemblyResult finish() {
        for (const auto& [name, symbol] : symbols_.all())
            if (!symbol.predefined || symbol.used) result_.symbols.push_back(symbol);
        return std::move(result_);
    }

    // ------------------------------------------------------------- passes

    void runPass(int pass, const std::string& path) {
        pass_ = pass;
        result_ = AssemblyResult{};
        counters_ = {};
        segment_ = SegmentKind::Code;
        conditionals_.clear();
        ended_ = false;
        changed_ = false;
        genericIndex_ = 0;
        linesRead_ = 0;
        place_ = LinePlace{std::filesystem::path(path).filename().string(), path, 0, 0};
        loadDefinitions(Definitions::Builtin);

        auto text = readCached(path);
        if (!text) {
            addMessage("cannot open " + place_.file + ": " + unreadable_[path], false);
            return;
        }
        processFile(*text);
        place_ = LinePlace{std::filesystem::path(path).filename().string(), path, 0, 0};
        for (const Conditional& c : conditionals_) {
            place_.line = c.place.line;
            place_.file = c.place.file;
            attachTo_ = c.listingIndex;
            addMessage("IF without ENDIF", false);
        }
        if (!ended_) {
            attachTo_ = result_.listing.empty() ? kNoLine : result_.listing.size() - 1;
            place_.line = 0;
            addMessage("missing END", true);
        }
    }

    // Each file is read once; why one could not be is kept in `unreadable_`.
    std::optional<std::string> readCached(const std::string& path) {
        auto it = files_.find(path);
        if (it == files_.end()) {
            std::string why;
            it = files_.emplace(path, options_.readFile(path, why)).first;
            if (!it->second) unreadable_[path] = why.empty() ? "cannot be read" : why;
        }
        return it->second;
    }

    void processFile(std::string_view text) {
        int number = 0;
        for (const std::string& line : splitLines(text)) {
            if (ended_) return;
            place_.line = ++number;
            if (++linesRead_ > options_.maxLinesPerPass) {
                addMessage("more than " + std::to_string(options_.maxLinesPerPass) +
                               " lines to assemble (does a file include itself?)",
                           false);
                ended_ = true;
                return;
            }
            processLine(line);
        }
    }

    // ------------------------------------------------------------- messages

    static constexpr size_t kNoLine = size_t(-1);

    void addMessage(std::string text, bool warning) {
        Message m{place_.file, place_.line, std::move(text), warning};
        if (attachTo_ != kNoLine && attachTo_ < result_.listing.size()) {
            result_.listing[attachTo_].messages.push_back(formatMessage(m));
            m.inListing = true;
        }
        (warning ? result_.warnings : result_.errors)++;
        result_.messages.push_back(std::move(m));
    }

    ListingLine& listingLine() { return result_.listing[attachTo_]; }

    // ------------------------------------------------------------- lines

    bool active() const {
        return conditionals_.empty() ||
               (conditionals_.back().parentActive &&
                (conditionals_.back().inElse ? !conditionals_.back().value
                                             : conditionals_.back().value));
    }

    void processLine(const std::string& text) {
        ListingLine entry;
        entry.depth = place_.depth;
        entry.line = place_.line;
        entry.source = text;
        result_.listing.push_back(std::move(entry));
        attachTo_ = result_.listing.size() - 1;

        EvalContext context;
        context.symbols = &symbols_;
        context.pass = pass_;
        context.locationCounter = counters_[size_t(segment_)];
        context.locationType = kSegments[size_t(segment_)].labelType;
        context_ = &context;
        try {
            if (active())
                activeLine(text);
            else
                inactiveLine(text);
            if (!context.undefinedName.empty())
                addMessage("undefined symbol " + context.undefinedName, false);
            else if (!context.unknownName.empty())
                addMessage("value of " + context.unknownName +
                               " is not known (it depends on itself or on an undefined symbol)",
                           false);
        } catch (const AsmError& e) {
            addMessage(e.message, false);
        }
        context_ = nullptr;
    }

    // In a skipped IF or ELSE branch only the nesting is followed.
    void inactiveLine(const std::string& text) {
        size_t i = text.find_first_not_of(" \t");
        if (i == std::string::npos) return;
        size_t j = i;
        while (j < text.size() && (std::isalnum(uint8_t(text[j])) || text[j] == '_'))
            ++j;
        std::string word = upperCase(text.substr(i, j - i));
        if (word == "IF") {
            conditionals_.push_back({false, false, false, attachTo_, {place_.file, place_.line}});
        } else if (word == "ELSE" || word == "ENDIF") {
            std::vector<Token> none{Token{}};
            conditional(word, none);
        }
    }

    void activeLine(const std::string& text) {
        size_t first = text.find_first_not_of(" \t");
        if (first != std::string::npos && text[first] == '$') {
            controls(std::string_view(text).substr(first + 1));
            return;
        }
        std::vector<Token> tokens = tokenize(text);
        std::span<const Token> rest(tokens);
        std::string label;
        if (rest[0].kind == TokenKind::Name && rest[1].kind == TokenKind::Colon) {
            label = rest[0].text;
            rest = rest.subspan(2);
        }
        if (rest[0].kind == TokenKind::End) {
            if (!label.empty()) {
                defineLabel(label);
                showAddress();
            }
            return;
        }
        if (rest[0].kind != TokenKind::Name)
            throw AsmError{"expected an instruction or directive, found " + rest[0].text};
        if (rest[1].kind == TokenKind::Name && !isMnemonic(rest[0].text)) {
            if (const DefinitionWord* d = definitionWord(rest[1].text)) {
                if (!label.empty())
                    throw AsmError{"a label cannot stand before " + std::string(d->word)};
                defineSymbol(rest[0].text, *d, rest.subspan(2));
                return;
            }
        }
        const std::string word = rest[0].text;
        auto operands = rest.subspan(1);
        if (word == "IF" || word == "ELSE" || word == "ENDIF") {
            if (!label.empty()) throw AsmError{"a label cannot stand before " + word};
            conditional(word, operands);
            return;
        }
        if (directive(word, label, operands)) return;
        if (isMnemonic(word)) {
            if (!label.empty()) defineLabel(label);
            instruction(word, operands);
            return;
        }
        if (definitionWord(word))
            throw AsmError{word + " needs a symbol name before it (without ':')"};
        if (rest[1].kind == TokenKind::Name && isMnemonic(rest[1].text))
            throw AsmError{"unknown instruction " + word + " (a label ends with ':')"};
        throw AsmError{"unknown instruction or directive " + word};
    }

    // ------------------------------------------------------------- symbols

    void reportDefine(SymbolTable::DefineResult result, const std::string& name) {
        using R = SymbolTable::DefineResult;
        switch (result) {
        case R::Ok: break;
        case R::Changed: changed_ = true; break;
        case R::Duplicate: throw AsmError{"duplicate symbol " + name};
        case R::Reserved: throw AsmError{name + " is a reserved word and cannot be a symbol"};
        case R::ChangedKind:
            throw AsmError{name + " is defined with both SET and another directive"};
        }
    }

    // A bad label is reported and the rest of the line still assembled, so
    // the addresses that follow stay right.
    void defineLabel(const std::string& name) {
        Value v{counter(), kSegments[size_t(segment_)].labelType, true};
        try {
            reportDefine(symbols_.define(name, v, false, pass_, {place_.file, place_.line}), name);
        } catch (const AsmError& e) {
            addMessage(e.message, false);
        }
    }

    void defineSymbol(const std::string& name, const DefinitionWord& d,
                      std::span<const Token> operands) {
        Value v = symbolValue(d, operands);
        listingLine().column = ListingLine::Column::Value;
        listingLine().number = uint32_t(v.value & 0xFFFF);
        reportDefine(symbols_.define(name, v, d.redefinable, pass_, {place_.file, place_.line}),
                     name);
    }

    Value symbolValue(const DefinitionWord& d, std::span<const Token> operands) {
        if (operands[0].kind == TokenKind::End)
            throw AsmError{std::string(d.word) + " needs a value"};
        // NAME EQU R5 makes a register symbol.
        if ((d.word == "EQU" || d.word == "SET") && operands[0].kind == TokenKind::Name &&
            operands[1].kind == TokenKind::End && operands[0].text.size() == 2 &&
            operands[0].text[0] == 'R' && operands[0].text[1] >= '0' && operands[0].text[1] <= '7')
            return {operands[0].text[1] - '0', ValueType::Register, true};
        Value v = evaluateAll(operands);
        if (d.word == "BIT" && v.type != ValueType::Number && v.type != ValueType::Bit)
            throw AsmError{"BIT needs a bit address, not a " + std::string(typeName(v.type)) +
                           " address"};
        if (v.known && (v.value < d.low || v.value > d.high))
            throw AsmError{"value " + formatHex(v.value) + " is out of range for " +
                           std::string(d.word)};
        if (d.type != ValueType::Number) v.type = d.type;
        return v;
    }

    Value evaluateAll(std::span<const Token> tokens) {
        size_t pos = 0;
        Value v = evaluate(tokens, pos, *context_);
        if (tokens[pos].kind != TokenKind::End) throw AsmError{"unexpected " + tokens[pos].text};
        return v;
    }

    // A value that must be known where it is written: ORG, DS, DBIT, USING,
    // IF and the AT of a segment cannot refer forward.
    int64_t knownValue(std::span<const Token> tokens, std::string_view what) {
        if (tokens[0].kind == TokenKind::End) throw AsmError{std::string(what) + " needs a value"};
        EvalContext& c = *context_;
        Value v = evaluateAll(tokens);
        if (!c.undefinedName.empty()) throw AsmError{"undefined symbol " + c.undefinedName};
        if (!c.forwardName.empty())
            throw AsmError{c.forwardName + " is used in " + std::string(what) +
                           " before it is defined"};
        if (!v.known) throw AsmError{"the value of " + std::string(what) + " is not known here"};
        return v.value;
    }

    // ------------------------------------------------------------- predefined

    enum class Definitions { Builtin, File, None };

    // Replaces the predefined names: by the built-in copy, by the first
    // definitions file found ($MOD51; the built-in copy when there is none),
    // or by nothing ($NOMOD). AR0-AR7 are always there.
    void loadDefinitions(Definitions which) {
        symbols_.clearPredefined();
        bool fromFile = false;
        if (which == Definitions::File) {
            for (const std::string& path : options_.definitionFiles) {
                if (auto content = readCached(path)) {
                    readDefinitions(std::filesystem::path(path).filename().string(), *content);
                    fromFile = true;
                    break;
                }
            }
        }
        if (which != Definitions::None && !fromFile) symbols_.setBase(&builtinTable());
        using_(0);
    }

    // The built-in names are plain numbers that refer to no other symbol, so
    // they are read once into a table every assembly shares.
    static const SymbolTable& builtinTable() {
        static const SymbolTable table = [] {
            const AssemblyOptions none;
            Engine reader(none);
            reader.readDefinitions("Mod51 (built in)", std::string(kBuiltinDefinitions));
            return reader.symbols_;
        }();
        return table;
    }

    void readDefinitions(const std::string& name, const std::string& text) {
        LinePlace saved = place_;
        EvalContext* savedContext = context_;
        place_ = LinePlace{name, name, 0, 0};
        int number = 0;
        for (const std::string& line : splitLines(text)) {
            place_.line = ++number;
            EvalContext context;
            context.symbols = &symbols_;
            context.pass = pass_;
            context_ = &context;
            try {
                std::vector<Token> tokens = tokenize(line);
                if (tokens[0].kind == TokenKind::End) continue;
                const DefinitionWord* d =
                    tokens[1].kind == TokenKind::Name ? definitionWord(tokens[1].text) : nullptr;
                if (tokens[0].kind != TokenKind::Name || !d)
                    throw AsmError{"expected NAME EQU, BIT, DATA, IDATA, XDATA or CODE value"};
                Value v = symbolValue(*d, std::span<const Token>(tokens).subspan(2));
                if (!context.undefinedName.empty())
                    throw AsmError{"undefined symbol " + context.undefinedName};
                if (isReservedWord(tokens[0].text))
                    throw AsmError{tokens[0].text + " is a reserved word and cannot be a symbol"};
                symbols_.predefine(tokens[0].text, v);
            } catch (const AsmError& e) {
                size_t attach = attachTo_;
                attachTo_ = kNoLine;
                addMessage(e.message, false);
                attachTo_ = attach;
            }
        }
        place_ = saved;
        context_ = savedContext;
    }

    // The absolute register addresses AR0-AR7 of the bank named by USING.
    void using_(int bank) {
        for (int r = 0; r < 8; ++r)
            symbols_.predefine("AR" + std::to_string(r), {bank * 8 + r, ValueType::Data, true});
    }

    // ------------------------------------------------------------- controls

    void controls(std::string_view text) {
        size_t i = 0;
        auto skipSpace = [&] {
            while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
                ++i;
        };
        for (;;) {
            skipSpace();
            if (i >= text.size() || text[i] == ';') return;
            if (text[i] == '$') { // several controls may each carry their own "$"
                ++i;
                continue;
            }
            size_t start = i;
            while (i < text.size() && std::isalnum(uint8_t(text[i])))
                ++i;
            std::string word = upperCase(text.substr(start, i - start));
            if (word.empty()) throw AsmError{"bad control line"};
            skipSpace();
            std::optional<std::string> argument;
            if (i < text.size() && text[i] == '(') {
                size_t close = text.find(')', i);
                if (close == std::string_view::npos) throw AsmError{"missing ) after $" + word};
                std::string_view arg = text.substr(i + 1, close - i - 1);
                size_t a = arg.find_first_not_of(" \t"), b = arg.find_last_not_of(" \t");
                argument = a == std::string_view::npos ? "" : std::string(arg.substr(a, b - a + 1));
                i = close + 1;
            }
            control(word, argument);
        }
    }

    void control(const std::string& word, const std::optional<std::string>& argument) {
        if (word == "MOD51" || word == "MOD52") {
            loadDefinitions(Definitions::File);
        } else if (word == "NOMOD" || word == "NOMOD51") {
            loadDefinitions(Definitions::None);
        } else if (word == "INCLUDE" || word == "IC") {
            if (!argument || argument->empty()) throw AsmError{"$INCLUDE needs (file name)"};
            include(*argument);
        } else if (std::find(kIgnoredControls.begin(), kIgnoredControls.end(), word) ==
                   kIgnoredControls.end()) {
            throw AsmError{"unknown control $" + word};
        }
    }

    void include(const std::string& name) {
        if (place_.depth >= kMaxIncludeDepth) throw AsmError{"includes nested too deeply"};
        namespace fs = std::filesystem;
        std::vector<std::string> candidates;
        fs::path given(name);
        if (!given.is_absolute()) {
            fs::path dir = fs::path(place_.path).parent_path();
            if (!dir.empty()) candidates.push_back((dir / given).string());
        }
        candidates.push_back(name);
        // Why the include failed: the reason of the first candidate that
        // exists in some form, else that of the last.
        std::string why;
        for (const std::string& path : candidates) {
            if (auto text = readCached(path)) {
                LinePlace saved = place_;
                size_t savedEntry = attachTo_;
                EvalContext* savedContext = context_;
                place_ = LinePlace{name, path, 0, saved.depth + 1};
                processFile(*text);
                place_ = saved;
                attachTo_ = savedEntry;
                context_ = savedContext;
                return;
            }
            const std::string& reason = unreadable_[path];
            if (why.empty() || why == kNoSuchFile) why = reason;
        }
        throw AsmError{"cannot open include file " + name + ": " + why};
    }

    // ------------------------------------------------------------- conditionals

    void conditional(const std::string& word, std::span<const Token> operands) {
        if (word == "IF") {
            int64_t v = knownValue(operands, "IF");
            conditionals_.push_back({true, v != 0, false, attachTo_, {place_.file, place_.line}});
            return;
        }
        if (operands[0].kind != TokenKind::End) throw AsmError{word + " takes no operand"};
        if (conditionals_.empty()) throw AsmError{word + " without IF"};
        if (word == "ELSE") {
            if (conditionals_.back().inElse) throw AsmError{"second ELSE for one IF"};
            conditionals_.back().inElse = true;
        } else {
            conditionals_.pop_back();
        }
    }

    // ------------------------------------------------------------- directives

    int64_t& counter() { return counters_[size_t(segment_)]; }
    const SegmentInfo& segmentInfo() const { return kSegments[size_t(segment_)]; }

    void showAddress() {
        listingLine().column = ListingLine::Column::Address;
        listingLine().number = uint32_t(counter() & 0xFFFF);
    }

    void requireSegment(SegmentKind kind, std::string_view what) {
        if (segment_ != kind)
            throw AsmError{std::string(what) + " is not allowed in " +
                           std::string(segmentInfo().directive) + " (it belongs in " +
                           std::string(kSegments[size_t(kind)].directive) + ")"};
    }

    void noLabel(const std::string& label, std::string_view word) {
        if (!label.empty()) throw AsmError{"a label cannot stand before " + std::string(word)};
    }

    void noOperands(std::span<const Token> operands, std::string_view word) {
        if (operands[0].kind != TokenKind::End)
            throw AsmError{std::string(word) + " takes no operand"};
    }

    void setCounter(int64_t value) {
        if (value < 0 || value > segmentInfo().end)
            throw AsmError{"address " + formatHex(value) + " is outside " +
                           std::string(segmentInfo().directive)};
        counter() = value;
    }

    // Advances the counter over space reserved without code.
    void reserve(int64_t count) {
        if (count < 0) throw AsmError{"negative size " + formatHex(count)};
        if (counter() + count > segmentInfo().end)
            throw AsmError{std::string(segmentInfo().directive) +
                           " overflows: " + formatHex(counter() + count - 1) + " is past its end"};
        counter() += count;
    }

    void emit(const std::vector<uint8_t>& bytes) {
        listingLine().bytes.insert(listingLine().bytes.end(), bytes.begin(), bytes.end());
        bool overlapReported = false;
        for (uint8_t b : bytes) {
            int64_t address = counter();
            if (address > 0xFFFF) throw AsmError{"code runs past 0FFFFH"};
            if (!result_.image.put(uint16_t(address), b) && !overlapReported) {
                addMessage("code overlaps earlier code at " + formatHex(address, 4), false);
                overlapReported = true;
            }
            ++counter();
        }
    }

    // Returns false when the word is not a directive.
    bool directive(const std::string& word, const std::string& label,
                   std::span<const Token> operands) {
        for (size_t s = 0; s < kSegments.size(); ++s) {
            if (word != kSegments[s].directive) continue;
            noLabel(label, word);
            segment_ = SegmentKind(s);
            if (operands[0].kind == TokenKind::Name && operands[0].text == "AT")
                setCounter(knownValue(operands.subspan(1), "AT"));
            else
                noOperands(operands, word);
            showAddress();
            return true;
        }
        if (word == "ORG") {
            noLabel(label, word);
            setCounter(knownValue(operands, "ORG"));
            showAddress();
        } else if (word == "END") {
            noLabel(label, word);
            noOperands(operands, word);
            ended_ = true;
        } else if (word == "USING") {
            noLabel(label, word);
            int64_t bank = knownValue(operands, "USING");
            if (bank < 0 || bank > 3) throw AsmError{"USING needs a register bank 0 to 3"};
            using_(int(bank));
            listingLine().column = ListingLine::Column::Value;
            listingLine().number = uint32_t(bank);
        } else if (word == "DB" || word == "DW") {
            requireSegment(SegmentKind::Code, word);
            if (!label.empty()) defineLabel(label);
            showAddress();
            std::optional<AsmError> error;
            std::vector<uint8_t> bytes = data(word == "DW", operands, error);
            if (error) {
                reserve(int64_t(bytes.size()));
                throw *error;
            }
            emit(bytes);
        } else if (word == "DS") {
            if (segment_ == SegmentKind::Bit) throw AsmError{"use DBIT in BSEG"};
            if (!label.empty()) defineLabel(label);
            showAddress();
            reserve(knownValue(operands, "DS"));
        } else if (word == "DBIT") {
            requireSegment(SegmentKind::Bit, word);
            if (!label.empty()) defineLabel(label);
            showAddress();
            reserve(knownValue(operands, "DBIT"));
        } else {
            return false;
        }
        return true;
    }

    // The bytes of DB or DW. A bad value is noted in `error` and counted as
    // 0, so the size of the line is still right.
    std::vector<uint8_t> data(bool words, std::span<const Token> operands,
                              std::optional<AsmError>& error) {
        auto items = splitAtCommas(operands);
        if (items.empty()) throw AsmError{std::string(words ? "DW" : "DB") + " needs values"};
        std::vector<uint8_t> bytes;
        for (const auto& item : items) {
            if (!words && item[0].kind == TokenKind::String && item[1].kind == TokenKind::End) {
                for (char c : item[0].text)
                    bytes.push_back(uint8_t(c));
                continue;
            }
            Value v{0, ValueType::Number, false};
            try {
                v = evaluateAll(item);
                if (v.type == ValueType::Register)
                    throw AsmError{"a register is not a value for " +
                                   std::string(words ? "DW" : "DB")};
                if (words && v.known && (v.value < -32768 || v.value > 0xFFFF))
                    throw AsmError{"value " + formatHex(v.value) + " does not fit in 16 bits"};
                if (!words && v.known && (v.value < kByteLow || v.value > kByteHigh))
                    throw AsmError{"value " + formatHex(v.value) + " does not fit in a byte"};
            } catch (const AsmError& e) {
                if (!error) error = e;
                v.value = 0;
            }
            if (!v.known) v.value = 0;
            if (words) bytes.push_back(uint8_t(v.value >> 8)); // high byte first
            bytes.push_back(uint8_t(v.value));
        }
        return bytes;
    }

    void instruction(const std::string& mnemonic, std::span<const Token> operands) {
        requireSegment(SegmentKind::Code, "an instruction");
        showAddress();
        GenericJump dummy;
        GenericJump* generic = &dummy;
        if (isGenericJump(mnemonic, operands)) {
            if (genericIndex_ == generics_.size()) generics_.push_back({});
            generic = &generics_[genericIndex_++];
        }
        int before = generic->size;
        std::vector<uint8_t> bytes;
        try {
            bytes = encodeLine(mnemonic, operands, counter(), *context_, *generic);
        } catch (const AsmError& e) {
            reserve(e.length);
            throw;
        }
        if (before != 0 && generic->size != before) changed_ = true;
        emit(bytes);
    }

    const AssemblyOptions& options_;
    SymbolTable symbols_;
    std::map<std::string, std::optional<std::string>> files_;
    std::map<std::string, std::string> unreadable_;
    std::vector<GenericJump> generics_;

    // State of one pass.
    int pass_ = 0;
    AssemblyResult result_;
    std::array<int64_t, 5> counters_{};
    SegmentKind segment_ = SegmentKind::Code;
    std::vector<Conditional> conditionals_;
    bool ended_ = false;
    bool changed_ = false;
    size_t genericIndex_ = 0;
    int linesRead_ = 0;
    LinePlace place_;
    size_t attachTo_ = kNoLine;
    EvalContext* context_ = nullptr;
};

} // namespace

std::string formatMessage(const Message& message) {
    std::string text = message.file;
    if (message.line > 0) text += "(" + std::to_string(message.line) + ")";
    text += ": ";
    if (message.warning) text += "warning: ";
    return text + message.text;
}

bool CodeImage::put(uint16_t address, uint8_t byte) {
    if (address >= bytes.size()) {
        bytes.resize(size_t(address) + 1, 0xFF);
        used.resize(size_t(address) + 1, false);
    }
    const bool wasFree = !used[address];
    used[address] = true;
    bytes[address] = byte;
    return wasFree;
}

bool CodeImage::empty() const {
    return std::find(used.begin(), used.end(), true) == used.end();
}

AssemblyResult assemble(const std::string& path, const AssemblyOptions& options) {
    Engine engine(options);
    return engine.run(path);
}

std::string_view builtinDefinitions() {
    return kBuiltinDefinitions;
}

} // namespace quorvel::asm51
