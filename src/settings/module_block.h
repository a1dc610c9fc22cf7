// The 131-byte module settings block (the same bytes in the application
// configuration and at the start of a module-settings file) and the keyboard
// key names that follow it. One table maps every block offset to its
// `ModuleSettings` field; encoding and decoding both walk that table.
//
// The serial-host settings are not part of the block; decoding leaves them
// (and every key name the file does not hold) as they were.
#pragma once

#include "modules/module_settings.h"
#include "settings/settings_io.h"

#include <array>
#include <cstdint>
#include <span>

namespace quorvel {

constexpr size_t kModuleBlockSize = 131;
constexpr size_t kStoredKeyNameSize = 10; // zero-padded, need not end with a zero

// One field of the block: where it is and which `ModuleSettings` bytes it holds.
struct ModuleBlockField {
    const char* name;
    uint8_t offset;
    uint8_t size;
    std::span<uint8_t> (*bytes)(ModuleSettings&);
};

std::array<uint8_t, kModuleBlockSize> encodeModuleBlock(const ModuleSettings& settings);
// Overwrites every block field of `settings`; the key names and the serial
// host settings stay.
void decodeModuleBlock(std::span<const uint8_t, kModuleBlockSize> block, ModuleSettings& settings);

// How many key names follow the block: by the keypad type byte's low two
// bits, 12, 16, 32 or none.
size_t storedKeyNameCount(uint8_t keypadTypeByte);

// The stored key names: `storedKeyNameCount` names of 10 bytes each.
void writeKeyNames(ByteWriter& out, const ModuleSettings& settings);
// Reads the names the keypad type of `settings` asks for into `settings`.
// Returns false (and changes nothing) when the reader runs out of data.
bool readKeyNames(ByteReader& in, ModuleSettings& settings);

} // namespace quorvel
