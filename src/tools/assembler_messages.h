// What the simulator reads from an assembler run besides the files it
// writes: where a message line of the assembler points in the source, and
// whether an output file (listing, HEX) was written by this run rather than
// left from an earlier one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

struct MessageLocation {
    std::string file; // as the assembler names it, relative to its working folder
    int line = 0;     // from 1
};

// The file and line of a message line "file(line): text" (asm51's form,
// warnings and errors alike; a listing marks message lines with "*** "
// first). Nothing for a line of another form or a line number below 1.
std::optional<MessageLocation> messageLocation(std::string_view text);

// Modification times in milliseconds since the epoch; nothing when the file
// does not exist. An output was written by this run when it exists and
// either did not exist before it, changed its time during it, or carries a
// time not earlier than the run's start (taken to the whole second below, for
// file systems that keep coarse times).
bool writtenDuringRun(std::optional<int64_t> before, std::optional<int64_t> after,
                      int64_t runStart);

} // namespace quorvel
