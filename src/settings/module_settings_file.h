// Module-settings files (.MST): the 131-byte module settings block followed
// by the key names its keypad type stores (12, 16, 32 or none, 10 bytes
// each). No header, no input sources, no memory.
//
// A file is checked whole before anything changes: one whose length does not
// match its keypad type changes nothing and gives the read message. A valid
// file replaces every block field and the stored key names at once; the
// serial-host settings (not in the block) and the names the file does not
// hold stay as they were.
#pragma once

#include "common/user_message.h"
#include "modules/module_settings.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace quorvel {

std::vector<uint8_t> encodeModuleSettingsFile(const ModuleSettings& settings);
// `current` with the file's fields put in, or nothing when the bytes are not
// a valid file.
std::optional<ModuleSettings> parseModuleSettingsFile(std::span<const uint8_t> data,
                                                      const ModuleSettings& current);

// "Unable Store Peripheral Setting" when the file cannot be written; the
// previous file then stays as it was.
Validation WriteModuleSettings(const std::filesystem::path& file, const ModuleSettings& settings);
// "Unable to Open Specified File." when the file cannot be read or is not a
// valid file; `settings` is then unchanged, and `why`, when given, says
// what is wrong ("291 bytes where its keypad type (byte 86) needs 451").
// After a valid read every line outside `availablePinMask` becomes P1.0, as
// at start-up.
Validation ReadModuleSettings(const std::filesystem::path& file, ModuleSettings& settings,
                              uint32_t availablePinMask, std::string* why = nullptr);

} // namespace quorvel
