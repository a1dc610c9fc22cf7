// Fuzzes the line assembler with arbitrary text at an arbitrary address.
// Checks: no crash or sanitizer report, and every accepted line survives a
// round trip: its bytes, disassembled and assembled again at the same
// address, give the same bytes.
#include "tools/disassembler.h"
#include "tools/line_assembler.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint16_t address = uint16_t(data[0] << 8 | data[1]);
    const std::string_view line(reinterpret_cast<const char*>(data + 2), size - 2);

    AssembledInstruction first = assembleLine(line, address);
    const bool success = first.result == AssembleResult::Success;
    if (success != (first.length >= 1 && first.length <= 3)) __builtin_trap();
    if (!success) {
        if (first.result != AssembleResult::Empty && !assembleError(first.result)) __builtin_trap();
        return 0;
    }
    DisassembledLine shown = disassemble(address, first.bytes[0], first.bytes[1], first.bytes[2], ViewMode::Normal);
    if (shown.length != first.length) __builtin_trap();
    AssembledInstruction again = assembleLine(mnemonicPart(shown.text), address);
    if (again.result != AssembleResult::Success || again.length != first.length) __builtin_trap();
    for (int i = 0; i < first.length; ++i)
        if (again.bytes[i] != first.bytes[i]) __builtin_trap();
    return 0;
}
