#include "tools/program_entry.h"

#include "chip/chip_state.h"
#include "tools/disassembler.h"
#include "tools/line_assembler.h"

#include <cstdio>

namespace quorvel {

namespace {
UserMessage capacityMessage() { return errorMessage("Error", "Address Exceeds Maximum Capacity"); }
} // namespace

Validation ProgramEntry::checkAddress(const ChipState& chip) const {
    if (address_ > chip.codeLimit) return capacityMessage();
    return std::nullopt;
}

std::string ProgramEntry::label() const {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:", unsigned(address_));
    return text;
}

std::string ProgramEntry::offeredText(const ChipState& chip) const {
    if (address_ > 0xFFFF) return {};
    return mnemonicPart(disassembleAt(chip, uint16_t(address_), ViewMode::Normal).text);
}

ProgramEntry::Outcome ProgramEntry::submit(ChipState& chip, std::string_view line) {
    Outcome out;
    if (address_ > chip.codeLimit) {
        out.kind = Outcome::Kind::Rejected;
        out.message = capacityMessage();
        return out;
    }
    AssembledInstruction a = assembleLine(line, uint16_t(address_));
    if (a.result == AssembleResult::Empty) return out;
    if (a.result != AssembleResult::Success) {
        out.kind = Outcome::Kind::Rejected;
        out.message = assembleError(a.result);
        return out;
    }
    if (address_ + a.length - 1 > chip.codeLimit) {
        out.kind = Outcome::Kind::Rejected;
        out.message = capacityMessage();
        return out;
    }
    for (int i = 0; i < a.length; ++i) chip.writeCode(uint16_t(address_ + i), a.bytes[i]);
    address_ += a.length;
    out.kind = Outcome::Kind::Stored;
    out.length = a.length;
    out.refreshExternalMemory = chip.overlapEnabled;
    return out;
}

} // namespace quorvel
