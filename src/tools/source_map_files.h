// Reading a source map (tools/source_map.h) from what the tools write:
//
//   asm51 listing (.lst): every line with its line number, include depth,
//     address and code bytes. Each line with bytes becomes an assembler
//     range of exactly those bytes; lines of an included file (depth 1, 2..)
//     belong to the file named by the $INCLUDE control on the line before
//     them. Labels are not taken as functions: nothing in a listing tells a
//     subroutine from a jump target or a table, so an assembler program has
//     no function ranges.
//   SDCC debug file (.cdb, from `--debug`): "L:C$file$line$level$block:ADDR"
//     C line marks, "L:A$module$line:ADDR" assembler line marks (lines of
//     module.asm), and for each function a start "L:G$name$..:ADDR" (or
//     "L:Fmodule$name$..") with its end "L:XG$name$..:ADDR" (address of the
//     function's last instruction). Other records are skipped. A C line's
//     code reaches to the next C mark, at most to the end of its function.
//     When the linker's listing module.rst lies beside the .cdb, its lines
//     (address, bytes, line of module.asm) give the assembler ranges of
//     that module their exact extent.
//
// Files are read whole, up to kMaxSourceMapFileSize; only regular files are
// read (a FIFO or a device is refused), each once. Errors are complete
// messages ("prog.cdb:12: bad address in 'L:C$prog.c$5$0_0$2:6X'").
//
// Besides the map, a load reports what a caller needs to trust it: every
// file it read (an output must never overwrite one), warnings about files
// that end early (their last line incomplete, or a listing without its
// symbol table), and the code bytes the listings show, to be compared with
// the program actually loaded: a listing of another build of the program
// would give wrong lines.
#pragma once

#include "tools/source_map.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

inline constexpr size_t kMaxSourceMapFileSize = 32u << 20;

// The code bytes one listing shows, by address.
struct ListedCode {
    std::string file;
    std::vector<std::pair<uint16_t, uint8_t>> bytes;
};

struct SourceMapReport {
    std::vector<std::filesystem::path> filesRead;
    std::vector<std::string> warnings;
    std::vector<ListedCode> listedCode;
};

// `name` is the file's name for messages. On failure the map is unfinished
// and the message is returned. `report`, when given, gets the warnings and
// the listed code.
std::optional<std::string> parseAsm51Listing(std::string_view text, std::string_view name,
                                             SourceMap& map, SourceMapReport* report = nullptr);

// `rstOf(module)` returns the text of module.rst when there is one; it is
// asked once per module however often the debug file names it.
std::optional<std::string> parseSdccDebug(
    std::string_view text, std::string_view name, SourceMap& map,
    const std::function<std::optional<std::string>(const std::string& module)>& rstOf = {},
    SourceMapReport* report = nullptr);

// A warning when the listed code differs from the program's (`codeAt`
// reads program memory, whose highest address is `codeLimit`): the listing
// is then of another build, and the lines it gives would be wrong.
std::optional<std::string> listedCodeMismatch(const SourceMapReport& report,
                                              const std::function<uint8_t(uint16_t)>& codeAt,
                                              uint32_t codeLimit);

// Reads a regular file of at most kMaxSourceMapFileSize bytes; on failure
// returns nothing and sets `error` ("prog.cdb: no such file").
std::optional<std::string> readSourceMapFile(const std::filesystem::path& path, std::string& error);

// Loads the map `path` names, picking the reader by its extension: .lst is
// an asm51 listing, .cdb an SDCC debug file; for a program (.hex, .ihx,
// .bin) the .cdb of the same name beside it is read, else the .lst.
std::optional<std::string> loadSourceMap(const std::filesystem::path& path, SourceMap& map,
                                         SourceMapReport* report = nullptr);

} // namespace quorvel
