// Fuzzes asm51's assembler in memory. The input holds up to three texts
// separated by NUL bytes: the source, the file every INCLUDE names and the
// Mod51 definitions file; a missing text is a file that cannot be opened.
// Keeping them apart lets each be small, so the source is not read again as
// definitions on every $MOD51 line.
// Checks: no crash or sanitizer report; the error and warning counts match
// the messages; a run without errors writes a HEX file that ends with the
// end record.
#include "asm51/assembler.h"
#include "asm51/output.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using namespace quorvel::asm51;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::array<std::optional<std::string>, 3> texts; // source, included file, Mod51
    for (auto& text : texts) {
        const size_t end = rest.find('\0');
        text = std::string(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    AssemblyOptions options;
    options.readFile = [&](const std::string& path, std::string&) -> std::optional<std::string> {
        if (path == "fuzz.asm") return texts[0];
        return path == "Mod51" ? texts[2] : texts[1];
    };
    options.definitionFiles = {"Mod51"};
    // Every INCLUDE reads the same text, so a few bytes that include
    // themselves reach the limit. A small limit keeps such inputs as quick
    // as the others under the sanitizers (the corpus fills up with them and
    // the fuzzer would otherwise spend its time there); lines past it take
    // the same paths as the lines before, and the limit's own error is
    // reached all the same.
    options.maxLinesPerPass = 64;
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
