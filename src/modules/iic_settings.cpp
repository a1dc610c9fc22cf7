#include "modules/iic_settings.h"

namespace quorvel {

namespace {

// Address byte 1010 A2 A1 A0 R/W. The smaller types compare all three address
// pins; the larger ones use the pins' places for block bits instead.
constexpr std::array<IicEepromTypeInfo, kIicEepromTypeCount> kTypes{{
    //  name       size  match  block pins  writable under protection
    {"AT24C01", 128, 0xFE, 0x00, 0x0E, 0},
    {"AT24C02", 256, 0xFE, 0x00, 0x0E, 0},
    {"AT24C04", 512, 0xFC, 0x01, 0x0C, 0},
    {"AT24C08", 1024, 0xF8, 0x03, 0x08, 1024},
    {"AT24C16", 2048, 0xF0, 0x07, 0x00, 0x400},
}};

} // namespace

const char* const kRtcWindowTitle = "2 Wire Serial RTC with 256 Bytes RAM";

const IicEepromTypeInfo& iicEepromTypeInfo(int type) {
    return kTypes[size_t(type >= 0 && type < kIicEepromTypeCount ? type : 0)];
}

std::string iicEepromWindowTitle(const IicSettings& s) {
    return std::string("2 Wire Serial EEPROM - ") + iicEepromTypeInfo(iicEepromType(s)).name;
}

void cleanIicSettings(IicSettings& s) {
    s.IicScl = cleanPinRef(s.IicScl);
    s.IicSda = cleanPinRef(s.IicSda);
    s.RtcInterrupt = cleanPinRef(s.RtcInterrupt);
    s.EepromType = uint8_t(iicEepromType(s));
}

void replaceUnavailableIicLines(IicSettings& s, uint32_t availableMask) {
    for (PinRef* ref : {&s.IicScl, &s.IicSda, &s.RtcInterrupt})
        if (!((availableMask >> pinIndex(*ref)) & 1u)) *ref = 0x10;
}

std::vector<std::string> iicSummaryLines(const IicSettings& s) {
    return {"SCL - " + pinRefName(s.IicScl), "SDA - " + pinRefName(s.IicSda)};
}

IicAddressPinEnabling iicAddressPinEnabling(int type) {
    const uint8_t pins = iicEepromTypeInfo(type).pinMask;
    return {(pins & kEepromA2) != 0, (pins & kEepromA1) != 0, (pins & kEepromA0) != 0};
}

} // namespace quorvel
