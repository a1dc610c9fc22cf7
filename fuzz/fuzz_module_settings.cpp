// Fuzzes the module-settings reader with arbitrary file contents. Checks: no
// crash or sanitizer report; a file that parses writes a file of the same
// length that parses to the same settings; the load rule for unavailable
// lines can run on the result.
#include "settings/module_settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ModuleSettings current;
    auto parsed = parseModuleSettingsFile(std::span(data, size), current);
    if (!parsed) return 0;
    const auto written = encodeModuleSettingsFile(*parsed);
    if (written.size() != size) std::abort();
    if (parseModuleSettingsFile(written, current) != parsed) std::abort();
    replaceUnavailableLines(*parsed, 0xBF00FF00);
    return 0;
}
