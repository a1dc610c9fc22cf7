// Where each instruction of a program came from: the source file and line of
// the code at each address, the way back from a file and line to the
// addresses of its code, and the functions' address ranges.
//
// A program can carry two source levels at once: a C compiler's output has
// C lines and, below them, the assembler lines the compiler wrote; a program
// written in assembler has assembler lines only. The primary level is the
// one the user reads (C when there is one); the other stays available.
//
// Each level is a list of address ranges sorted by address, one per stretch
// of code that belongs to one line; ranges do not overlap. Besides the
// ranges the map keeps every line mark the input gave (a line may start
// several ranges, and several lines may start at one address when the
// earlier ones produced no code of their own), so a breakpoint on any line
// finds its addresses.
//
// The map is a plain value: readers build it (source_map_files.h), the
// program window, run control and the command-line runner only read it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel {

enum class SourceLevel : uint8_t { C = 0, Assembler = 1 };
inline constexpr int kSourceLevels = 2;

struct SourceLocation {
    uint32_t file = 0; // index into SourceMap::files()
    uint32_t line = 0; // 1-based
    bool operator==(const SourceLocation&) const = default;
};

// Code of one line: the addresses [start, end).
struct SourceRange {
    uint32_t start = 0;
    uint32_t end = 0;
    SourceLocation where;
};

// A line mark: the code of `where` begins at `address`.
struct SourceMark {
    SourceLocation where;
    uint16_t address = 0;
};

struct SourceFunction {
    std::string name;
    uint16_t start = 0;
    uint16_t last = 0; // address of its last instruction
    bool contains(uint16_t address) const { return address >= start && address <= last; }
};

// A breakpoint's line resolved to code: the line that has it (the asked-for
// line, or the next line of the file with code) and the addresses its code
// starts at.
struct ResolvedLine {
    SourceLevel level = SourceLevel::C;
    SourceLocation where;
    std::vector<uint16_t> addresses;
};

class SourceMap {
public:
    // ---- building (readers)

    // The index of a file name, added when new.
    uint32_t fileIndex(std::string_view name);
    // A line mark; the ranges are made from the marks by `finish`.
    void addMark(SourceLevel level, SourceLocation where, uint16_t address);
    // A range of known extent (a listing says how many bytes each line has).
    void addRange(SourceLevel level, SourceLocation where, uint32_t start, uint32_t end);
    void addFunction(SourceFunction function);
    // Sorts everything and gives each mark without an explicit range one that
    // reaches to the next mark of its level, no further than the end of its
    // function (or `maxMarkExtent` bytes when it lies in none). Of several
    // marks at one address the last one added owns the range.
    void finish(uint32_t maxMarkExtent);

    // ---- reading

    bool empty() const { return ranges_[0].empty() && ranges_[1].empty(); }
    const std::vector<std::string>& files() const { return files_; }
    const std::string& fileName(uint32_t index) const { return files_.at(index); }
    // C when the map has C lines, else assembler.
    SourceLevel primaryLevel() const;
    bool hasLevel(SourceLevel level) const { return !ranges_[int(level)].empty(); }

    std::span<const SourceRange> ranges(SourceLevel level) const { return ranges_[int(level)]; }
    std::span<const SourceMark> marks(SourceLevel level) const { return marks_[int(level)]; }
    std::span<const SourceFunction> functions() const { return functions_; }

    // The range holding `address`, if any.
    const SourceRange* rangeAt(uint16_t address, SourceLevel level) const;
    std::optional<SourceLocation> locationAt(uint16_t address, SourceLevel level) const;
    // The primary level's location of `address`.
    std::optional<SourceLocation> locationAt(uint16_t address) const {
        return locationAt(address, primaryLevel());
    }
    // True when a range of `level` starts exactly at `address`.
    bool startsRange(uint16_t address, SourceLevel level) const;
    const SourceFunction* functionAt(uint16_t address) const;

    // "main.c:12"
    std::string text(const SourceLocation& where) const;

    // The code of `file`:`line`. The file is matched by its whole name, else
    // by its base name ("src/main.c" and "main.c" both find "main.c"). A line
    // without code resolves to the next line of the file that has code, as
    // debuggers do; the primary level is searched first, then the other. On
    // failure returns the message to show.
    std::optional<ResolvedLine> resolveLine(std::string_view file, uint32_t line,
                                            std::string* error = nullptr) const;

private:
    // Hashes std::string and std::string_view alike, so that a name is
    // looked up without a copy.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };

    std::vector<std::string> files_;
    std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> fileIndices_;
    std::vector<SourceMark> marks_[kSourceLevels];
    std::vector<SourceRange> ranges_[kSourceLevels];
    std::vector<SourceRange> explicit_[kSourceLevels]; // from addRange, merged by finish
    std::vector<SourceFunction> functions_;
};

} // namespace quorvel
