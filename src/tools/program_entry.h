// Enter Program as core logic: instructions typed one after another are
// assembled and stored from a start address on. The program window drives the
// loop (it shows the prompt, offers the text, adds rows); this holds the
// address, the checks and the writes.
//
// Loop: checkAddress (a message ends entering) -> label() and offeredText()
// fill the prompt -> submit() the typed line -> on Stored the address has
// advanced, on Rejected show the message and offer the same address again,
// on Unchanged (empty line) offer the same address again without a new row.
//
// Addresses are 32-bit and never wrap: an instruction whose last byte would
// lie beyond program memory is refused as a whole, so nothing is written
// across the top of memory into the reset vector.
#pragma once

#include "common/user_message.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

struct ChipState;

class ProgramEntry {
public:
    explicit ProgramEntry(uint16_t start) : address_(start) {}

    uint32_t address() const { return address_; }

    // "Address Exceeds Maximum Capacity" (caption "Error") once the address
    // is above the highest program address; entering then stops.
    Validation checkAddress(const ChipState& chip) const;

    // The prompt label, "%04X:" of the address.
    std::string label() const;
    // The instruction now at the address as text to edit (Normal View
    // mnemonic part).
    std::string offeredText(const ChipState& chip) const;

    struct Outcome {
        enum class Kind { Stored, Rejected, Unchanged };
        Kind kind = Kind::Unchanged;
        Validation message;           // for Rejected
        int length = 0;               // bytes stored
        // Program memory overlaps external data memory: its window must
        // refresh too.
        bool refreshExternalMemory = false;
    };

    // Assembles the line at the address; on success writes it and advances.
    Outcome submit(ChipState& chip, std::string_view line);

private:
    uint32_t address_;
};

} // namespace quorvel
