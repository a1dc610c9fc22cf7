// Fuzzes the screen-settings reader with arbitrary text. Checks: no crash or
// sanitizer report; a text that parses formats back to 854 characters that
// parse to the same settings.
#include "settings/screen_settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = parseScreenSettings(text);
    if (!parsed) return 0;
    const std::string formatted = formatScreenSettings(*parsed);
    if (formatted.size() != kScreenSettingsLength) std::abort();
    if (parseScreenSettings(formatted) != parsed) std::abort();
    return 0;
}
