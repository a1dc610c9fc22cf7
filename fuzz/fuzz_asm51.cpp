// Fuzzes asm51's assembler with an arbitrary source file, in memory. The same
// text also serves as the file it includes and as its Mod51, so includes,
// self-inclusion and definitions files are reached too.
// Checks: no crash or sanitizer report; the error and warning counts match
// the messages; a run without errors writes a HEX file that ends with the
// end record.
#include "asm51/assembler.h"
#include "asm51/output.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace quorvel::asm51;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    AssemblyOptions options;
    options.readFile = [&](const std::string&) -> std::optional<std::string> { return text; };
    options.definitionFiles = {"Mod51"};
    AssemblyResult result = assemble("fuzz.asm", options);

    int errors = 0, warnings = 0;
    for (const Message& m : result.messages) (m.warning ? warnings : errors)++;
    if (errors != result.errors || warnings != result.warnings) __builtin_trap();
    (void)listingText(result, "fuzz.asm");
    if (result.errors == 0) {
        std::string hex = intelHexText(result.image);
        if (hex.size() < 13 || hex.compare(hex.size() - 13, 13, ":00000001FF\r\n") != 0)
            __builtin_trap();
    }
    return 0;
}
