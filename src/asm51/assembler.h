// The assembler proper: reads a source file (and what it includes), runs
// passes until every address has settled, and returns the code image, the
// listing lines, the messages and the symbols. It touches no file itself:
// files are read through the options' reader, so the whole assembly can run
// in memory (tests, fuzzing) and the program decides what to write.
//
// Passes: the first pass sees forward references as unknown; each further
// pass uses the values of the pass before. The first pass also fixes the size
// of every generic CALL/JMP (long when its target lies ahead), so the later
// passes lay out the same addresses; the first pass in which no symbol
// changes is the final one, and only its messages count.
#pragma once

#include "asm51/symbols.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::asm51 {

struct Message {
    std::string file;
    int line = 0; // 0: about the whole file
    std::string text;
    bool warning = false;
    bool inListing = false; // shown under a line of the listing
};

// "file(line): text", with "warning: " before warnings.
std::string formatMessage(const Message& message);

struct ListingLine {
    int depth = 0;      // 0 for the main file, 1.. for include levels
    int line = 0;       // line number in its own file
    std::string source; // the line as written
    enum class Column : uint8_t { None, Address, Value } column = Column::None;
    uint32_t number = 0;        // address of the line, or the value of EQU, ORG, ...
    std::vector<uint8_t> bytes; // code the line produced
    std::vector<std::string> messages;
};

// The code a program produced. The vectors reach up to the highest address
// written (unwritten bytes inside are 0FFH and not used), so a small program
// keeps a small image.
struct CodeImage {
    std::vector<uint8_t> bytes;
    std::vector<bool> used;
    // Writes one byte; false when the address held code already.
    bool put(uint16_t address, uint8_t byte);
    bool empty() const;
};

struct AssemblyResult {
    std::vector<Message> messages;
    int errors = 0;
    int warnings = 0;
    CodeImage image;
    std::vector<ListingLine> listing;
    std::vector<Symbol> symbols; // user symbols and the predefined ones used, by name
    int passes = 0;
};

// What a reader says of a file that is not there; an include looked for in
// two folders reports the other folder's reason instead when there is one.
inline constexpr std::string_view kNoSuchFile = "no such file";

struct AssemblyOptions {
    // Returns the text of a file, or nothing when it cannot be read; `why`
    // then says why ("no such file", "a folder", ...).
    std::function<std::optional<std::string>(const std::string& path, std::string& why)> readFile;
    // Where the definitions file is looked for when the source asks for it
    // ($MOD51, $MOD52), in order; the built-in copy is used when none is found.
    std::vector<std::string> definitionFiles;
    // Lines read in one pass, counting each included line every time it is
    // read; past it the pass ends with a message. A file that includes
    // itself several times would otherwise take very long.
    int maxLinesPerPass = 200'000;
};

// Assembles the file `path` (as the reader understands it; messages name it
// by its file name).
AssemblyResult assemble(const std::string& path, const AssemblyOptions& options);

// The text of the built-in definitions (the same text as the Mod51 file).
std::string_view builtinDefinitions();

} // namespace quorvel::asm51
