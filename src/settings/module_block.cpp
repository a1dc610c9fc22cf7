#include "settings/module_block.h"

#include <algorithm>

namespace quorvel {

namespace {

template <typename T>
std::span<uint8_t> asBytes(T& field) {
    static_assert(std::is_trivially_copyable_v<T>);
    return {reinterpret_cast<uint8_t*>(&field), sizeof field};
}

// Every field has single-byte elements (PinRef and the mask bytes), so the
// byte order inside the block is the array order.
#define QV_FIELD(offset, member) \
    ModuleBlockField{#member, offset, sizeof(ModuleSettings{}.member), [](ModuleSettings& s) { return asBytes(s.member); }}

constexpr uint8_t kLcdStart = 59, kIicStart = 73, kSpiStart = 80, kKeyStart = 86;

constexpr ModuleBlockField kFields[] = {
    // LED and seven-segment displays: 45 lines, then 14 single bytes.
    QV_FIELD(0, LedLines),
    QV_FIELD(45, LedOptions),
    QV_FIELD(46, LedSelectLevel),
    QV_FIELD(47, LedDigitCount),
    QV_FIELD(48, LedSevenSegment),
    QV_FIELD(49, LedConnected),
    QV_FIELD(53, LedConnectedSpare),
    QV_FIELD(54, LedActiveHigh),
    QV_FIELD(58, LedActiveHighSpare),
    // LCD: RS, R/W, E, D0-D7, two reserved bytes, the type byte.
    QV_FIELD(kLcdStart, LcdPins),
    QV_FIELD(70, LcdReserved),
    QV_FIELD(72, LcdOptions),
    // IIC bus: seven single bytes.
    QV_FIELD(kIicStart, iic.IicOptions),
    QV_FIELD(74, iic.RtcOptions),
    QV_FIELD(75, iic.RtcInterrupt),
    QV_FIELD(76, iic.EepromOptions),
    QV_FIELD(77, iic.EepromType),
    QV_FIELD(78, iic.IicScl),
    QV_FIELD(79, iic.IicSda),
    // SPI bus: options, SCK, SO, SI, EEPROM options, chip select.
    QV_FIELD(kSpiStart, spi.SpiOptions),
    QV_FIELD(81, spi.SpiLines),
    QV_FIELD(84, spi.SpiEepromOptions),
    QV_FIELD(85, spi.SpiEepromCs),
    // Keyboard: type, three per-port masks, the matrix line table.
    QV_FIELD(kKeyStart, KeypadType),
    QV_FIELD(87, KeyMomentary),
    QV_FIELD(91, KeyMomentaryLevel),
    QV_FIELD(95, KeyToggle),
    QV_FIELD(99, KeypadLines),
};

#undef QV_FIELD

// The table covers the block exactly: each field starts where the previous
// one ends and the last ends at 131.
constexpr bool tableIsContiguous() {
    size_t next = 0;
    for (const ModuleBlockField& f : kFields) {
        if (f.offset != next) return false;
        next += f.size;
    }
    return next == kModuleBlockSize;
}
static_assert(tableIsContiguous(), "module block table must cover 131 bytes without gaps");

} // namespace

std::array<uint8_t, kModuleBlockSize> encodeModuleBlock(const ModuleSettings& settings) {
    std::array<uint8_t, kModuleBlockSize> block{};
    ModuleSettings copy = settings; // the accessors hand out writable spans
    for (const ModuleBlockField& f : kFields) {
        auto field = f.bytes(copy);
        std::copy(field.begin(), field.end(), block.begin() + f.offset);
    }
    return block;
}

void decodeModuleBlock(std::span<const uint8_t, kModuleBlockSize> block, ModuleSettings& settings) {
    for (const ModuleBlockField& f : kFields) {
        auto field = f.bytes(settings);
        std::copy_n(block.begin() + f.offset, f.size, field.begin());
    }
}

size_t storedKeyNameCount(uint8_t keypadTypeByte) {
    return size_t(keypadKeyCount(keypadTypeByte & 3));
}

void writeKeyNames(ByteWriter& out, const ModuleSettings& settings) {
    const size_t count = storedKeyNameCount(settings.KeypadType);
    for (size_t k = 0; k < count; ++k) {
        std::array<uint8_t, kStoredKeyNameSize> stored{};
        const std::string_view name = keyName(settings, int(k));
        std::copy(name.begin(), name.end(), stored.begin());
        out.bytes(stored);
    }
}

bool readKeyNames(ByteReader& in, ModuleSettings& settings) {
    const size_t count = storedKeyNameCount(settings.KeypadType);
    if (!in.has(count * kStoredKeyNameSize)) {
        in.skip(count * kStoredKeyNameSize); // marks the reader as failed
        return false;
    }
    for (size_t k = 0; k < count; ++k) {
        auto stored = in.bytes(kStoredKeyNameSize);
        const auto end = std::find(stored.begin(), stored.end(), uint8_t(0));
        setKeyName(settings, int(k), std::string_view(reinterpret_cast<const char*>(stored.data()),
                                                      size_t(end - stored.begin())));
    }
    return true;
}

} // namespace quorvel
