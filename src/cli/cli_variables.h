// --var: variables shown at the stop: the C variables of an SDCC --debug
// build, or the DATA, IDATA, XDATA and BIT symbols of an asm51 listing
// (program_symbols.h).
//
// An expression that cannot be read (`a[`, `*`, `s..x`) is a usage error
// when the command line is read; a name the debug file does not know, or a
// part the value does not have, is an error of that variable in the report;
// a variable without a known place at the stop is "not available" with the
// reason, never a made-up value.
#pragma once

#include "cli/cli_json.h"
#include "debug/c_variables.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

// "[variables]" and one line per expression: "NAME: TYPE = VALUE [PLACE]",
// "NAME: TYPE = not available (REASON)" or "NAME: error: MESSAGE".
std::string variablesText(const CVariables& variables, const Machine& machine,
                          const std::vector<std::string>& expressions);
// [{"name","type","value","location"}...]: value a number, a list (arrays),
// an object (structs and unions) or null; a variable not available also has
// "reason", a wrong one "error" (type and location null).
Json variablesJson(const CVariables& variables, const Machine& machine,
                   const std::vector<std::string>& expressions);

} // namespace quorvel::cli
