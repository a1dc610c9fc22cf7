// The symbols of a loaded program, found from the files its source map was
// read from: an SDCC debug file (.cdb) gives the C symbols, with the frame
// pointer of reentrant functions (_bp) from the linker map (.map) beside
// it; an asm51 listing (.lst) gives its labels and DATA, IDATA, XDATA and
// BIT symbols (listing_symbols.h). Every front end loads them this way.
#pragma once

#include "debug/c_variables.h"
#include "tools/source_map_files.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// Nothing when the map's first file is neither kind or cannot be read.
// Problems with its records are added to `warnings`; a linker map read is
// added to `report`'s files.
std::optional<CVariables> loadProgramSymbols(SourceMapReport& report, std::vector<std::string>& warnings);

} // namespace quorvel
