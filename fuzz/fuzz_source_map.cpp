// Fuzzes the source-map readers (asm51 listing, SDCC debug file with a linker
// listing) with arbitrary text. Checks: no crash or sanitizer report; every
// level's ranges are sorted, non-empty and do not overlap; the lines of a
// spread of marks resolve to addresses; each module's listing is asked for
// once however often the debug file names it. The seeds repeat module
// records and cut files short.
#include "tools/source_map_files.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

using namespace quorvel;

namespace {

void check(const SourceMap& map) {
    for (SourceLevel level : {SourceLevel::C, SourceLevel::Assembler}) {
        uint32_t end = 0;
        for (const SourceRange& r : map.ranges(level)) {
            if (r.start >= r.end || r.start < end || r.end > 0x10000) std::abort();
            end = r.end;
        }
        // Resolving a line scans every mark, so resolving each mark's line
        // is quadratic and took most of the run's time; a spread of at most
        // 64 marks, first and last included, samples the same property.
        const auto& marks = map.marks(level);
        auto resolves = [&map](const SourceMark& m) {
            const auto resolved = map.resolveLine(map.fileName(m.where.file), m.where.line);
            if (!resolved || resolved->addresses.empty()) std::abort();
        };
        const size_t stride = marks.size() / 64 + 1;
        for (size_t i = 0; i < marks.size(); i += stride) resolves(marks[i]);
        if (!marks.empty()) resolves(marks.back());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SourceMapReport report;
    SourceMap listing;
    if (!parseAsm51Listing("asm51 8051 assembler - listing of t.asm\n" + text, "t.lst", listing, &report))
        check(listing);
    SourceMap debug;
    // The same text serves as the debug file and as every module's listing.
    std::set<std::string> asked;
    auto rstOf = [&text, &asked](const std::string& module) {
        if (!asked.insert(module).second) std::abort();
        return text;
    };
    if (!parseSdccDebug(text, "t.cdb", debug, rstOf, &report)) check(debug);
    listedCodeMismatch(report, [](uint16_t address) { return uint8_t(address); }, 0x0FFF);
    return 0;
}
