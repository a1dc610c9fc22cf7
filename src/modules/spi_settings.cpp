#include "modules/spi_settings.h"

namespace quorvel {

namespace {
constexpr std::array<const char*, kSpiEepromTypeCount> kTypeNames{"AT25C010", "AT25C020",
                                                                  "AT25C040"};
constexpr std::array<int, kSpiEepromTypeCount> kTypeSizes{128, 256, 512};
} // namespace

int spiEepromSize(int type) { return kTypeSizes[size_t(type >= 0 && type < 3 ? type : 0)]; }

const char* spiEepromTypeName(int type) {
    return kTypeNames[size_t(type >= 0 && type < 3 ? type : 0)];
}

std::string spiEepromWindowTitle(const SpiSettings& s) {
    return std::string("SPI EEPROM - ") + spiEepromTypeName(spiEepromType(s));
}

void cleanSpiSettings(SpiSettings& s) {
    for (PinRef& ref : s.SpiLines) ref = cleanPinRef(ref);
    s.SpiEepromCs = cleanPinRef(s.SpiEepromCs);
    if ((s.SpiEepromOptions & kSpiEepromTypeMask) == kSpiEepromTypeMask)
        s.SpiEepromOptions &= uint8_t(~kSpiEepromTypeMask);
}

void replaceUnavailableSpiLines(SpiSettings& s, uint32_t availableMask) {
    for (PinRef* ref : {&s.SpiLines[0], &s.SpiLines[1], &s.SpiLines[2], &s.SpiEepromCs})
        if (!((availableMask >> pinIndex(*ref)) & 1u)) *ref = 0x10;
}

std::vector<std::string> spiControlLines(const SpiSettings& s) {
    if (spiFourWire(s)) return {"SCK", "SO ", "SI "};
    return {"SCK", "SO&SI"};
}

std::vector<std::string> spiSummaryLines(const SpiSettings& s) {
    const std::string sck = pinRefName(s.SpiLines[kSpiSck]);
    const std::string so = pinRefName(s.SpiLines[kSpiSo]);
    if (spiFourWire(s))
        return {"SCK - " + sck, "SO   - " + so, "SI     - " + pinRefName(s.SpiLines[kSpiSi])};
    return {"SCK    - " + sck, "SO&SI - " + so};
}

void cancelSpiBusDialog(SpiSettings& live, const SpiSettings& opened) {
    live.SpiOptions = opened.SpiOptions;
    live.SpiLines = opened.SpiLines;
}

} // namespace quorvel
