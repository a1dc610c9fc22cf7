#include "modules/module_settings.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace quorvel {

namespace {

std::string format(const char* pattern, int value) {
    char text[48];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

// How many digits the 45-entry line table can describe for a wiring, whatever
// the stored count says.
int ledTableDigits(LedWiring wiring) {
    switch (wiring) {
    case LedWiring::DirectSegment: return kLedLineCount / 8;
    case LedWiring::DirectBcd: return kLedLineCount / 5;
    default: return kLedMaxDigits;
    }
}

constexpr std::array<const char*, 8> kSegmentLetters{"a", "b", "c", "d", "e", "f", "g", "dp"};
constexpr std::array<const char*, 5> kBcdNames{"BCD I/P A", "BCD I/P B", "BCD I/P C", "BCD I/P D",
                                               "Dot Point"};
constexpr std::array<const char*, 8> kDirectSegmentNames{" Seg a ", " Seg b ", " Seg c ",
                                                         " Seg d ", " Seg e ", " Seg f ",
                                                         " Seg g ", " Seg dp"};
// Per-digit BCD names as listed ("Digit%1d A") and as summarised ("Digit%1d A  ").
constexpr std::array<const char*, 5> kDirectBcdNames{" A", " B", " C", " D", " dp"};
constexpr std::array<const char*, 5> kDirectBcdSummary{" A  ", " B  ", " C  ", " D  ", " dp "};

} // namespace

std::array<KeyName, kKeyNameCount> defaultKeyNames() {
    std::array<KeyName, kKeyNameCount> names{};
    for (int k = 0; k < kKeyNameCount; ++k)
        std::snprintf(names[size_t(k)].data(), names[size_t(k)].size(), "Key%d", k);
    return names;
}

std::vector<PinRef> portLineChoices(uint32_t availableMask, bool withFixedLevels) {
    std::vector<PinRef> lines;
    for (int i = 0; i < 32; ++i)
        if ((availableMask >> i) & 1u) lines.push_back(pinRefFromIndex(i));
    if (withFixedLevels) {
        lines.push_back(kPinPlus5V);
        lines.push_back(kPinGnd);
    }
    return lines;
}

void replaceUnavailableLines(ModuleSettings& s, uint32_t availableMask) {
    auto unavailable = [availableMask](PinRef ref) {
        return !((availableMask >> pinIndex(ref)) & 1u);
    };
    for (PinRef& ref : s.LedLines)
        if (isPortLine(ref) && unavailable(ref)) ref = 0x10;
    for (PinRef& ref : s.LcdPins)
        if (isPortLine(ref) && unavailable(ref)) ref = 0x10;
    // Keypad lines have no fixed levels: anything that is not an available
    // port line becomes P1.0.
    for (int i = 0; i < kKeypadLineCount; ++i) {
        PinRef& ref = s.KeypadLines[size_t(i)];
        if (!isPortLine(ref) || unavailable(ref)) ref = 0x10;
    }
    replaceUnavailableIicLines(s.iic, availableMask);
    replaceUnavailableSpiLines(s.spi, availableMask);
}

// ================================================================ LED

LedWiring ledWiring(uint8_t options) {
    bool bcd = options & kLedBcd;
    if (options & kLedNonMultiplexed) return bcd ? LedWiring::DirectBcd : LedWiring::DirectSegment;
    if (options & kLedExternalMux)
        return bcd ? LedWiring::MultiplexedBcdDecoder : LedWiring::MultiplexedSegmentDecoder;
    return bcd ? LedWiring::MultiplexedBcd : LedWiring::MultiplexedSegment;
}

int ledDecoder(uint8_t options) {
    int decoder = (options & kLedDecoderMask) >> kLedDecoderShift;
    return decoder == 3 ? 0 : decoder;
}

int ledDecoderInputs(uint8_t options) { return 2 + ledDecoder(options); }

int ledUsableDigits(const ModuleSettings& s) {
    return std::min<int>(s.LedDigitCount, ledTableDigits(ledWiring(s.LedOptions)));
}

int ledMaxDigits(uint8_t options, uint32_t availableMask) {
    const int lines = std::popcount(availableMask);
    const LedWiring wiring = ledWiring(options);
    int most = 0;
    switch (wiring) {
    case LedWiring::DirectSegment: most = lines / 8; break;
    case LedWiring::DirectBcd: most = lines / 4; break;
    case LedWiring::MultiplexedSegment:
    case LedWiring::MultiplexedBcd: most = lines < 16 ? 7 : lines == 16 ? 8 : 16; break;
    case LedWiring::MultiplexedSegmentDecoder:
    case LedWiring::MultiplexedBcdDecoder: most = 4 << ledDecoder(options); break;
    }
    return std::min(most, ledTableDigits(wiring));
}

void clampLedDigitCount(ModuleSettings& s, uint32_t availableMask) {
    int most = ledMaxDigits(s.LedOptions, availableMask);
    if (s.LedDigitCount > most) s.LedDigitCount = uint8_t(most);
}

void cleanLedSettings(ModuleSettings& s, uint32_t availableMask) {
    for (PinRef& ref : s.LedLines) ref = cleanFixedLevelPinRef(ref);
    if (s.LedDigitCount > kLedMaxDigits) s.LedDigitCount = 4;
    if ((s.LedOptions & kLedDecoderMask) == kLedDecoderMask) s.LedOptions &= ~kLedDecoderMask;
    clampLedDigitCount(s, availableMask);
}

LedDialogEnabling ledDialogEnabling(const ModuleSettings& s) {
    const bool present = s.LedSevenSegment & 1;
    const bool multiplexed = present && !(s.LedOptions & kLedNonMultiplexed);
    const bool external = s.LedOptions & kLedExternalMux;
    return {present, multiplexed, multiplexed && external, multiplexed && !external};
}

void cancelLedDialog(ModuleSettings& live, const ModuleSettings& opened, uint32_t availableMask) {
    live.LedOptions = opened.LedOptions;
    live.LedConnected = opened.LedConnected;
    live.LedConnectedSpare = opened.LedConnectedSpare;
    live.LedActiveHigh = opened.LedActiveHigh;
    live.LedActiveHighSpare = opened.LedActiveHighSpare;
    clampLedDigitCount(live, availableMask);
}

std::vector<std::string> ledControlLines(const ModuleSettings& s) {
    std::vector<std::string> lines;
    const int digits = ledUsableDigits(s);
    const LedWiring wiring = ledWiring(s.LedOptions);
    const bool decoder = wiring == LedWiring::MultiplexedSegmentDecoder ||
                         wiring == LedWiring::MultiplexedBcdDecoder;
    switch (wiring) {
    case LedWiring::MultiplexedSegment:
    case LedWiring::MultiplexedSegmentDecoder:
        for (const char* letter : kSegmentLetters) lines.push_back(std::string("Segment ") + letter);
        break;
    case LedWiring::MultiplexedBcd:
    case LedWiring::MultiplexedBcdDecoder:
        for (const char* name : kBcdNames) lines.push_back(name);
        break;
    case LedWiring::DirectSegment:
        for (int d = 1; d <= digits; ++d)
            for (const char* name : kDirectSegmentNames) lines.push_back(format("Digit%1d", d) + name);
        return lines;
    case LedWiring::DirectBcd:
        for (int d = 1; d <= digits; ++d)
            for (const char* name : kDirectBcdNames) lines.push_back(format("Digit%1d", d) + name);
        return lines;
    }
    if (decoder) {
        for (int j = 0; j < ledDecoderInputs(s.LedOptions); ++j)
            lines.push_back(format("Multiplexer I/P %c", 'A' + j));
    } else {
        for (int d = 1; d <= digits; ++d) lines.push_back(format("Digit%1d Select", d));
    }
    return lines;
}

std::vector<std::string> ledSummaryLines(const ModuleSettings& s) {
    std::vector<std::string> lines;
    const int digits = ledUsableDigits(s);
    auto line = [&](const std::string& name, size_t width, int index) {
        lines.push_back(padded(name, width) + "- " + pinRefName(s.LedLines[size_t(index)]));
    };
    auto decoderInputs = [&](int first) {
        for (int j = 0; j < ledDecoderInputs(s.LedOptions); ++j)
            line(format("Multiplexer I/P %c", 'A' + j), 18, first + j);
    };
    switch (ledWiring(s.LedOptions)) {
    case LedWiring::MultiplexedSegment:
        for (int k = 0; k < 8; ++k) line(std::string("Segment ") + kSegmentLetters[size_t(k)], 15, k);
        for (int d = 0; d < digits; ++d) line(format("Digit%2d Select", d + 1), 15, 8 + d);
        break;
    case LedWiring::MultiplexedSegmentDecoder:
        for (int k = 0; k < 8; ++k) line(std::string("Segment ") + kSegmentLetters[size_t(k)], 18, k);
        decoderInputs(8);
        break;
    case LedWiring::MultiplexedBcd:
        for (int k = 0; k < 5; ++k) line(kBcdNames[size_t(k)], 14, k);
        for (int d = 0; d < digits; ++d) line(format("Digit%1d Select", d + 1), 14, 5 + d);
        break;
    case LedWiring::MultiplexedBcdDecoder:
        for (int k = 0; k < 5; ++k) line(kBcdNames[size_t(k)], 18, k);
        decoderInputs(5);
        break;
    case LedWiring::DirectSegment:
        for (int d = 0; d < digits; ++d)
            for (int k = 0; k < 8; ++k)
                line(format("Digit%1d", d + 1) + kDirectSegmentNames[size_t(k)] + " ", 0, 8 * d + k);
        break;
    case LedWiring::DirectBcd:
        for (int d = 0; d < digits; ++d)
            for (int k = 0; k < 5; ++k)
                line(format("Digit%1d", d + 1) + kDirectBcdSummary[size_t(k)], 0, 5 * d + k);
        break;
    }
    return lines;
}

// ================================================================ LCD

const std::array<const char*, 4> kLcdSizeNames{"1 Line X 16 Characters", "2 Lines X 16 Characters",
                                               "4 Lines X 16 Characters", "4 Lines X 20 Characters"};

void cleanLcdSettings(ModuleSettings& s) {
    for (PinRef& ref : s.LcdPins) ref = cleanFixedLevelPinRef(ref);
    if ((s.LcdOptions & 0x60) == 0x60) s.LcdOptions &= uint8_t(~0x60);
}

namespace {
constexpr std::array<const char*, kLcdPinCount> kLcdLineNames{
    "RS ", "R/W", "E  ", "D0 ", "D1 ", "D2 ", "D3 ", "D4 ", "D5 ", "D6 ", "D7 "};
}

int lcdPinOfControlLine(uint8_t options, int entry) {
    const int entries = lcdFourBit(options) ? 7 : kLcdPinCount;
    if (entry < 0 || entry >= entries) return -1;
    return (entry < kLcdD0 || !lcdFourBit(options)) ? entry : entry + 4;
}

std::vector<std::string> lcdControlLines(uint8_t options) {
    std::vector<std::string> lines;
    for (int entry = 0; lcdPinOfControlLine(options, entry) >= 0; ++entry)
        lines.push_back(kLcdLineNames[size_t(lcdPinOfControlLine(options, entry))]);
    return lines;
}

std::vector<std::string> lcdSummaryLines(const ModuleSettings& s) {
    std::vector<std::string> lines;
    for (int entry = 0; lcdPinOfControlLine(s.LcdOptions, entry) >= 0; ++entry) {
        int pin = lcdPinOfControlLine(s.LcdOptions, entry);
        lines.push_back(std::string(kLcdLineNames[size_t(pin)]) + " - " +
                        pinRefName(s.LcdPins[size_t(pin)]));
    }
    return lines;
}

// ================================================================ keys

int keypadColumns(int type) {
    constexpr std::array<int, 4> columns{3, 4, 8, 0};
    return columns[size_t(type & 3)];
}

int keypadKeyCount(int type) { return kKeypadRows * keypadColumns(type); }

void cleanKeyboardSettings(ModuleSettings& s) {
    for (int i = 0; i < kKeypadLineCount; ++i)
        s.KeypadLines[size_t(i)] = cleanPinRef(s.KeypadLines[size_t(i)]);
}

bool keyboardWindowNeedsRebuild(const ModuleSettings& before, const ModuleSettings& after) {
    return before.KeyMomentary != after.KeyMomentary ||
           before.KeyMomentaryLevel != after.KeyMomentaryLevel ||
           before.KeyToggle != after.KeyToggle || before.KeypadType != after.KeypadType;
}

std::string_view keyName(const ModuleSettings& s, int key) {
    if (key < 0 || key >= kKeyNameCount) return {};
    const KeyName& name = s.KeyNames[size_t(key)];
    size_t length = 0;
    while (length < size_t(kKeyNameLength) && name[length] != '\0') ++length;
    return {name.data(), length};
}

void setKeyName(ModuleSettings& s, int key, std::string_view text) {
    if (key < 0 || key >= kKeyNameCount) return;
    KeyName& name = s.KeyNames[size_t(key)];
    name.fill('\0');
    std::copy_n(text.begin(), std::min(text.size(), size_t(kKeyNameLength)), name.begin());
}

std::vector<std::string> keypadControlLines(int type) {
    std::vector<std::string> lines;
    if (keypadColumns(type) == 0) return lines;
    for (int r = 1; r <= kKeypadRows; ++r) lines.push_back(format("Row%d   ", r));
    for (int c = 1; c <= keypadColumns(type); ++c) lines.push_back(format("Column%d", c));
    return lines;
}

std::vector<std::string> keypadSummaryLines(const ModuleSettings& s) {
    std::vector<std::string> lines = keypadControlLines(keypadType(s));
    for (size_t i = 0; i < lines.size(); ++i) lines[i] += " - " + pinRefName(s.KeypadLines[i]);
    return lines;
}

std::vector<std::string> keyNameChoices(int type) {
    std::vector<std::string> keys;
    for (int k = 0; k < keypadKeyCount(type); ++k) keys.push_back(format("Key %d", k));
    return keys;
}

} // namespace quorvel
