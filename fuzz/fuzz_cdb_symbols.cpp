// Fuzzes the readers of program symbols - an SDCC debug file's records, or
// an asm51 listing's symbol table when the input has one - and the
// evaluation of C expressions over what they read. Checks: no crash, hang or sanitizer report;
// every problem names its line; an evaluation gives a value or a message,
// and a value with a place holds one byte per place byte.
#include "debug/c_variables.h"
#include "debug/listing_symbols.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quorvel;

namespace {

Machine makeFuzzMachine() {
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89C52;
    selection.codeLimit = 0xFFFF;
    selection.xdataLimit = 0xFFFF;
    Machine machine;
    configureMachine(machine, selection);
    // Memories full of varied bytes, so pointers lead anywhere.
    for (size_t i = 0; i < machine.chip.iram.size(); ++i) machine.chip.iram[i] = uint8_t(i * 37 + 11);
    for (size_t i = 0; i < machine.chip.xdata.size(); ++i) machine.chip.xdata[i] = uint8_t(i * 13);
    return machine;
}

void evaluate(const CVariables& variables, Machine& machine, uint16_t pc, const std::string& expression) {
    const CEvaluation e = variables.evaluate(machine, pc, expression);
    if (!e.value) {
        if (e.error.empty()) std::abort();
        return;
    }
    if (e.value->place && e.value->place->bytes.size() != e.value->bytes.size()) std::abort();
    formatValue(*e.value);
    variables.format(machine, *e.value);
    typeName(e.value->type);
    variables.write(machine, *e.value, "1");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Machine start = makeFuzzMachine();
    Machine machine = start; // writes stay within one input
    const std::string text(reinterpret_cast<const char*>(data), size);
    CdbSymbols symbols = text.find("SYMBOL TABLE") != std::string::npos ? readListingSymbols(text) : readCdbSymbols(text);
    for (const std::string& problem : symbols.problems)
        if (problem.rfind("line ", 0) != 0) std::abort();
    std::vector<std::string> expressions;
    for (const CSymbol& s : symbols.symbols) {
        expressions.push_back(s.name);
        expressions.push_back("*" + s.name);
        expressions.push_back(s.name + "[1]");
        for (const CStruct& st : symbols.structs)
            for (const CMember& m : st.members) {
                expressions.push_back(s.name + "." + m.name);
                expressions.push_back(s.name + "->" + m.name);
            }
        if (expressions.size() > 24) break;
    }
    // The input's first line as an expression of its own.
    expressions.push_back(text.substr(0, text.find('\n')));
    std::vector<uint16_t> pcs = {0};
    // Two functions' scopes are enough: every scope evaluates the same way,
    // and each one multiplies the expressions evaluated (the input's rate
    // falls with them, and rate finds more than breadth per input).
    for (const CFunction& f : symbols.functions)
        if (f.start && pcs.size() < 3) pcs.push_back(uint16_t(*f.start));
    const CVariables variables(std::move(symbols), uint8_t(size));
    for (uint16_t pc : pcs)
        for (const std::string& e : expressions) evaluate(variables, machine, pc, e);
    return 0;
}
