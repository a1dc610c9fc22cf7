#include "settings/module_settings_file.h"

#include "settings/module_block.h"
#include "settings/settings_io.h"

namespace quorvel {

namespace {

UserMessage storeFailed() { return errorMessage("ERROR", "Unable Store Peripheral Setting"); }
UserMessage openFailed() { return errorMessage("ERROR", "Unable to Open Specified File."); }

// Where the block keeps its keyboard type byte.
constexpr size_t kKeypadTypeOffset = 86;

// The largest valid file: the block and 32 names.
constexpr size_t kLargestFile = kModuleBlockSize + 32 * kStoredKeyNameSize;

} // namespace

std::vector<uint8_t> encodeModuleSettingsFile(const ModuleSettings& settings) {
    ByteWriter out;
    out.bytes(encodeModuleBlock(settings));
    writeKeyNames(out, settings);
    return out.take();
}

std::optional<ModuleSettings> parseModuleSettingsFile(std::span<const uint8_t> data,
                                                      const ModuleSettings& current) {
    if (data.size() < kModuleBlockSize) return std::nullopt;
    const uint8_t keypadType = data[kKeypadTypeOffset];
    if (data.size() != kModuleBlockSize + storedKeyNameCount(keypadType) * kStoredKeyNameSize)
        return std::nullopt;
    ModuleSettings settings = current;
    decodeModuleBlock(data.first<kModuleBlockSize>(), settings);
    ByteReader names(data.subspan(kModuleBlockSize));
    if (!readKeyNames(names, settings)) return std::nullopt;
    return settings;
}

Validation WriteModuleSettings(const std::filesystem::path& file, const ModuleSettings& settings) {
    if (!writeFileAtomically(file, encodeModuleSettingsFile(settings))) return storeFailed();
    return std::nullopt;
}

Validation ReadModuleSettings(const std::filesystem::path& file, ModuleSettings& settings,
                              uint32_t availablePinMask, std::string* why) {
    const auto data = readWholeFile(file, kLargestFile, why);
    if (!data) return openFailed();
    auto parsed = parseModuleSettingsFile(*data, settings);
    if (!parsed) {
        if (why) {
            const std::string size = std::to_string(data->size()) + " bytes";
            if (data->size() < kModuleBlockSize) {
                *why = size + ", shorter than the " + std::to_string(kModuleBlockSize) + "-byte settings block";
            } else {
                const uint8_t keypadType = (*data)[kKeypadTypeOffset];
                const size_t names = storedKeyNameCount(keypadType);
                *why = size + " where its keypad type " + std::to_string(keypadType) + " (byte " +
                       std::to_string(kKeypadTypeOffset) + ") needs " +
                       std::to_string(kModuleBlockSize + names * kStoredKeyNameSize) + ": the block and " +
                       std::to_string(names) + " key names of " + std::to_string(kStoredKeyNameSize) +
                       " bytes";
            }
        }
        return openFailed();
    }
    replaceUnavailableLines(*parsed, availablePinMask);
    settings = std::move(*parsed);
    return std::nullopt;
}

} // namespace quorvel
