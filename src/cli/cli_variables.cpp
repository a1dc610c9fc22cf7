#include "cli/cli_variables.h"


namespace quorvel::cli {

namespace {

// A symbol without a type record has the default, typeless one.
bool typeKnown(const CValue& v) { return !v.type.declarators.empty() || v.type.base != CBase::Void; }

Json valueJson(const CVariables& variables, const Machine& machine, const CValue& v, int depth = 0) {
    if (!v.place) return nullptr;
    if (!v.type.isScalar() && depth >= CVariables::kDeepestParts) return "{...}";
    if (v.type.isStruct()) {
        Json members = Json::object();
        for (const CValue& part : variables.children(machine, v))
            members[part.expression.substr(v.expression.size() + 1)] = valueJson(variables, machine, part, depth + 1);
        return members;
    }
    if (v.type.isArray()) {
        Json elements = Json::array();
        for (const CValue& part : variables.children(machine, v)) elements.push_back(valueJson(variables, machine, part, depth + 1));
        return elements;
    }
    if (v.type.declarators.empty() && v.type.base == CBase::Float) return realOf(v);
    return integerOf(v);
}

} // namespace

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
