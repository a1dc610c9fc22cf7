// The symbols of an asm51 listing (.lst), read from the symbol table at its
// end, in the form the C symbols of an SDCC debug file take, so that the
// variables, watchpoints and the call stack of an assembler program work as
// a C program's do:
//
//   CODE labels        functions from the label to the byte before the next
//   DATA symbols       an unsigned char in internal RAM (below 80H) or an SFR
//   IDATA, XDATA       an unsigned char in internal RAM or external data
//   BIT symbols        a bit of the bit space
//
// An EQU number (NUMB) names no place: it reads as not available. The
// registers the assembler knows by itself (DEFINED "predefined") are left
// out: they are the SFRs the views show by name already.
#pragma once

#include "debug/cdb_symbols.h"

#include <string_view>

namespace quorvel {

// Problems are "line N: ..." for a symbol row that cannot be read; the
// other rows are still read. A listing without a symbol table gives none.
CdbSymbols readListingSymbols(std::string_view listing);

} // namespace quorvel
