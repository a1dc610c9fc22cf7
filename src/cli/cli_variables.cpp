#include "cli/cli_variables.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel::cli {

namespace {

// Reads the grammar of the evaluator without looking a name up, so that a
// typing mistake is found before the program runs.
class SyntaxCheck {
public:
    explicit SyntaxCheck(std::string_view text) : text_(text) {}

    std::optional<std::string> error() {
        skipSpaces();
        if (at_ >= text_.size()) return "empty expression";
        if (!unary()) return failure_;
        skipSpaces();
        if (at_ < text_.size()) return "unexpected '" + std::string(1, text_[at_]) + "' at column " + std::to_string(at_ + 1);
        return std::nullopt;
    }

private:
    std::string_view text_;
    size_t at_ = 0;
    std::string failure_;

    void skipSpaces() {
        while (at_ < text_.size() && std::isspace(uint8_t(text_[at_]))) ++at_;
    }
    bool take(std::string_view token) {
        skipSpaces();
        if (text_.substr(at_, token.size()) != token) return false;
        at_ += token.size();
        return true;
    }
    bool fail(const std::string& what) {
        failure_ = "expected " + what + " " +
                   (at_ >= text_.size() ? "at the end" : "at column " + std::to_string(at_ + 1));
        return false;
    }
    // Letters, digits and '_' from here; false when none.
    bool word(bool identifier) {
        skipSpaces();
        const size_t begin = at_;
        while (at_ < text_.size() && (std::isalnum(uint8_t(text_[at_])) || (identifier && text_[at_] == '_'))) ++at_;
        if (at_ == begin || (identifier && std::isdigit(uint8_t(text_[begin])))) {
            at_ = begin;
            return false;
        }
        return true;
    }
    bool index() {
        skipSpaces();
        const size_t begin = at_;
        if (!word(false)) return fail("an index");
        std::string_view digits = text_.substr(begin, at_ - begin);
        const bool isHex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
        if (isHex) digits.remove_prefix(2);
        for (char c : digits) {
            if (!(isHex ? std::isxdigit(uint8_t(c)) : std::isdigit(uint8_t(c)))) {
                at_ = begin;
                return fail("an index");
            }
        }
        return true;
    }
    bool unary() {
        if (take("*")) return unary();
        return postfix();
    }
    bool postfix() {
        if (take("(")) {
            if (!unary()) return false;
            if (!take(")")) return fail("')'");
        } else if (!word(true)) {
            return fail("a variable name");
        }
        for (;;) {
            if (take("->")) {
                if (!word(true)) return fail("a member name after '->'");
            } else if (take(".")) {
                if (!word(true)) return fail("a member name after '.'");
            } else if (take("[")) {
                if (!index()) return false;
                if (!take("]")) return fail("']'");
            } else {
                return true;
            }
        }
    }
};

// A symbol without a type record has the default, typeless one.
bool typeKnown(const CValue& v) { return !v.type.declarators.empty() || v.type.base != CBase::Void; }

Json valueJson(const CVariables& variables, const Machine& machine, const CValue& v) {
    if (!v.place) return nullptr;
    if (v.type.isStruct()) {
        Json members = Json::object();
        for (const CValue& part : variables.children(machine, v))
            members[part.expression.substr(v.expression.size() + 1)] = valueJson(variables, machine, part);
        return members;
    }
    if (v.type.isArray()) {
        Json elements = Json::array();
        for (const CValue& part : variables.children(machine, v)) elements.push_back(valueJson(variables, machine, part));
        return elements;
    }
    if (v.type.declarators.empty() && v.type.base == CBase::Float) return realOf(v);
    return integerOf(v);
}

std::optional<std::string> readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

} // namespace

std::optional<std::string> variableSyntaxError(std::string_view expression) {
    return SyntaxCheck(expression).error();
}

std::optional<CVariables> loadVariables(SourceMapReport& report, std::vector<std::string>& warnings) {
    namespace fs = std::filesystem;
    if (report.filesRead.empty()) return std::nullopt;
    const fs::path cdb = report.filesRead.front();
    std::string extension = cdb.extension().string();
    for (char& c : extension) c = char(std::tolower(uint8_t(c)));
    if (extension != ".cdb") return std::nullopt;
    const std::optional<std::string> text = readText(cdb);
    if (!text) return std::nullopt;
    CdbSymbols symbols = readCdbSymbols(*text);
    for (const std::string& problem : symbols.problems) warnings.push_back(cdb.string() + ": " + problem);
    std::optional<uint8_t> framePointer;
    const fs::path map = fs::path(cdb).replace_extension(".map");
    std::error_code ec;
    if (fs::exists(map, ec)) {
        if (const std::optional<std::string> mapText = readText(map)) {
            report.filesRead.push_back(map);
            framePointer = framePointerFromMap(*mapText);
        }
    }
    return CVariables(std::move(symbols), framePointer);
}

std::string variablesText(const CVariables& variables, const Machine& machine,
                          const std::vector<std::string>& expressions) {
    std::string out = "[variables]\n";
    for (const std::string& expression : expressions) {
        const CEvaluation e = variables.evaluate(machine, machine.chip.pc, expression);
        out += expression + ": ";
        if (!e.value) {
            out += "error: " + e.error + "\n";
            continue;
        }
        const CValue& v = *e.value;
        out += (typeKnown(v) ? typeName(v.type) : "?") + " = " + variables.format(machine, v);
        if (v.place) out += " [" + v.place->where + "]";
        out += "\n";
    }
    return out;
}

Json variablesJson(const CVariables& variables, const Machine& machine,
                   const std::vector<std::string>& expressions) {
    Json list = Json::array();
    for (const std::string& expression : expressions) {
        const CEvaluation e = variables.evaluate(machine, machine.chip.pc, expression);
        Json row = {{"name", expression}, {"type", nullptr}, {"value", nullptr}, {"location", nullptr}};
        if (!e.value) {
            row["error"] = e.error;
        } else {
            const CValue& v = *e.value;
            if (typeKnown(v)) row["type"] = typeName(v.type);
            row["value"] = valueJson(variables, machine, v);
            if (v.place) row["location"] = v.place->where;
            else row["reason"] = v.unavailable;
        }
        list.push_back(std::move(row));
    }
    return list;
}

} // namespace quorvel::cli
