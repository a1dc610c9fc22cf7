#include "tools/block_operations.h"

#include "chip/chip_state.h"
#include "common/hex_field.h"

#include <array>

namespace quorvel {

namespace {

UserMessage info(const char* title, const char* text) {
    return {title, text, UserMessage::Icon::Information};
}

std::optional<uint16_t> field(std::string_view text, size_t width) {
    if (text.size() > width) return std::nullopt;
    return parseHexField(text);
}

size_t addressWidth(MemorySpace space) { return space == MemorySpace::InternalData ? 2 : 4; }

// Start above end, then the end (and for a copy the last destination
// address) above the highest address.
Validation checkRange(const ChipState& chip, MemorySpace space, int ramSize, const BlockValues& v,
                      bool copy) {
    if (v.start > v.end)
        return errorMessage("Address Error", "Starting Address is Greater than Ending Address!");
    const int64_t highest = highestAddress(chip, space, ramSize);
    const int64_t lastDestination = int64_t(v.destination) + (v.end - v.start);
    if (v.end > highest || (copy && lastDestination > highest)) {
        if (space == MemorySpace::InternalData) return errorMessage("Address Error", "Address Range Exceeds!");
        return errorMessage("Error", "Address out of Range");
    }
    return std::nullopt;
}

uint8_t readByte(const ChipState& chip, MemorySpace space, uint32_t address) {
    switch (space) {
    case MemorySpace::Program: return chip.readCode(uint16_t(address));
    case MemorySpace::ExternalData: return chip.readXdata(uint16_t(address));
    case MemorySpace::InternalData: return chip.iram[address & 0xFF];
    }
    return 0xFF;
}

void writeByte(ChipState& chip, MemorySpace space, uint32_t address, uint8_t value) {
    switch (space) {
    case MemorySpace::Program: chip.writeCode(uint16_t(address), value); break;
    case MemorySpace::ExternalData: chip.writeXdata(uint16_t(address), value); break;
    case MemorySpace::InternalData: chip.iram[address & 0xFF] = value; break;
    }
}

} // namespace

int32_t highestAddress(const ChipState& chip, MemorySpace space, int internalRamSize) {
    switch (space) {
    case MemorySpace::Program: return chip.codeLimit;
    case MemorySpace::ExternalData: return chip.hasXdata() ? int32_t(chip.xdataLimit) : -1;
    case MemorySpace::InternalData: return internalRamSize - 1;
    }
    return -1;
}

Validation acceptFillFields(MemorySpace space, std::string_view startText, std::string_view endText,
                            std::string_view dataText, BlockValues& values) {
    const size_t width = addressWidth(space);
    auto start = field(startText, width);
    if (!start) return errorMessage("ERROR", "Illegal Start Address.");
    auto end = field(endText, width);
    if (!end) return errorMessage("ERROR", "Illegal End Address.");
    auto data = field(dataText, 2);
    if (!data) return errorMessage("ERROR", "Illegal Data.");
    values.start = *start;
    values.end = *end;
    values.fill = uint8_t(*data);
    return std::nullopt;
}

Validation acceptCopyFields(MemorySpace space, std::string_view startText, std::string_view endText,
                            std::string_view destinationText, BlockValues& values) {
    const size_t width = addressWidth(space);
    auto start = field(startText, width);
    if (!start) return errorMessage("ERROR", "Illegal Start Address.");
    auto end = field(endText, width);
    if (!end) return errorMessage("ERROR", "Illegal End Address.");
    auto destination = field(destinationText, width);
    if (!destination) return errorMessage("ERROR", "Illegal Destination Address.");
    values.start = *start;
    values.end = *end;
    values.destination = *destination;
    return std::nullopt;
}

BlockResult fillMemory(ChipState& chip, MemorySpace space, int ramSize, const BlockValues& v) {
    if (Validation error = checkRange(chip, space, ramSize, v, false)) return {false, *error, false};
    for (uint32_t a = v.start; a <= v.end; ++a) writeByte(chip, space, a, v.fill);
    return {true, info("Fill Memory", "Fill Operation Completed Successfully."), true};
}

BlockResult copyMemory(ChipState& chip, MemorySpace space, int ramSize, const BlockValues& v) {
    const bool internal = space == MemorySpace::InternalData;
    if (Validation error = checkRange(chip, space, ramSize, v, true))
        return {false, *error, internal}; // the internal views refresh even after an error
    const uint32_t count = uint32_t(v.end) - v.start + 1;
    if (internal) {
        const std::array<uint8_t, 256> snapshot = chip.iram;
        for (uint32_t i = 0; i < count; ++i) chip.iram[(v.destination + i) & 0xFF] = snapshot[(v.start + i) & 0xFF];
        return {true, info("Memory Copy", "Memory Copy Completed Successfully"), true};
    }
    const bool backwards = v.destination >= v.start && v.destination <= v.end;
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t i = backwards ? count - 1 - k : k;
        writeByte(chip, space, v.destination + i, readByte(chip, space, v.start + i));
    }
    if (space == MemorySpace::Program)
        return {true, info("Memory Move", "Memory Move Completed Successfully"), true};
    return {true, info("Memory Copy", "Memory Copy Completed Successfully"), true};
}

void clearProgramMemory(ChipState& chip) {
    for (uint32_t a = 0; a <= chip.codeLimit; ++a) chip.writeCode(uint16_t(a), 0xFF);
}

BlockValues BlockDialogStore::open(BlockCommand command) {
    switch (command) {
    case BlockCommand::FillExternal:
    case BlockCommand::FillProgram: return externalFill;
    case BlockCommand::CopyExternal: return externalCopy;
    case BlockCommand::FillInternal: return internalFill;
    case BlockCommand::CopyInternal: return internalCopy;
    case BlockCommand::MoveProgram: externalCopy = programMove; return programMove;
    }
    return {};
}

void BlockDialogStore::accepted(BlockCommand command, const BlockValues& entered, bool succeeded) {
    switch (command) {
    case BlockCommand::FillExternal: externalFill = entered; break;
    case BlockCommand::FillProgram: break; // the external fill values stay
    case BlockCommand::CopyExternal: externalCopy = entered; break;
    case BlockCommand::FillInternal: internalFill = entered; break;
    case BlockCommand::CopyInternal: internalCopy = entered; break;
    case BlockCommand::MoveProgram:
        externalCopy = entered; // the shared dialog keeps what was typed
        if (succeeded) programMove = entered;
        break;
    }
}

} // namespace quorvel
