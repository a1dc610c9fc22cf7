// Block operations on the memories: fill a range with one byte, copy a range
// to another place in the same memory, clear program memory; the checks of
// their dialogs in the order the user meets them, and which values the
// dialogs keep between uses.
//
// Program memory is written through the chip's code write, external data
// memory through its MOVX write (so a program/data overlap reaches program
// memory), internal data memory directly. A copy whose destination lies
// inside the source runs backwards, so overlapping copies give the same
// result as a copy through a separate buffer. Nothing changes unless every
// check has passed; range arithmetic is 32-bit, so nothing wraps round.
#pragma once

#include "common/user_message.h"

#include <cstdint>
#include <string_view>

namespace quorvel {

struct ChipState;

enum class MemorySpace : uint8_t { Program, ExternalData, InternalData };

// Highest valid address: the code limit, the external data limit, or the
// device's internal RAM size - 1. Negative when the memory is absent (no
// external data memory).
int32_t highestAddress(const ChipState& chip, MemorySpace space, int internalRamSize);

struct BlockValues {
    uint16_t start = 0;
    uint16_t end = 0;
    uint16_t destination = 0;
    uint8_t fill = 0;
};

// OK of a fill or copy dialog: each field must hold 1 to its width (4, or 2
// for internal memory and the fill byte) hexadecimal digits. The first bad
// field gives "Illegal Start Address.", "Illegal End Address.", "Illegal
// Data." or "Illegal Destination Address." (caption "ERROR"); the dialog
// stays open.
Validation acceptFillFields(MemorySpace space, std::string_view startText, std::string_view endText,
                            std::string_view dataText, BlockValues& values);
Validation acceptCopyFields(MemorySpace space, std::string_view startText, std::string_view endText,
                            std::string_view destinationText, BlockValues& values);

struct BlockResult {
    bool done = false;       // memory was changed
    UserMessage message;     // always shown: the error, or the success text
    bool refreshViews = false; // program/external: program and data views;
                               // internal: register, RAM and bit views
};

// Range checks, then the operation.
BlockResult fillMemory(ChipState& chip, MemorySpace space, int internalRamSize, const BlockValues& values);
// Copy External/Internal Memory, and Move Program Memory (which copies too:
// nothing is cleared at the source).
BlockResult copyMemory(ChipState& chip, MemorySpace space, int internalRamSize, const BlockValues& values);
// Every program address receives FF; no confirmation, no message.
void clearProgramMemory(ChipState& chip);

// The commands with a block dialog.
enum class BlockCommand : uint8_t { FillExternal, CopyExternal, FillInternal, CopyInternal, FillProgram, MoveProgram };

// The values the dialogs keep program-wide. Fill Program Memory opens with the
// external fill values and leaves them as they were. Move Program Memory
// shares the copy dialog, whose values are Copy External Memory's: it loads
// its own set into the dialog before showing it, and keeps the entered values
// as its own only after a successful move.
struct BlockDialogStore {
    BlockValues externalFill;
    BlockValues externalCopy;
    BlockValues internalFill;
    BlockValues internalCopy;
    BlockValues programMove;

    // The values the dialog opens with.
    BlockValues open(BlockCommand command);
    // After OK with valid fields, once the operation has run.
    void accepted(BlockCommand command, const BlockValues& entered, bool succeeded);
};

} // namespace quorvel
