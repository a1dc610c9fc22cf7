#include "codegen/bus_codegen.h"

#include "modules/module_settings.h"

#include <cstdio>

namespace quorvel {

namespace {

std::string lineText(const char* format, PinRef ref) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, (ref >> 4) & 3, ref & 7);
    return buffer;
}

constexpr std::array<const char*, 5> kIicEepromNames{"AT24C01", "AT24C02", "AT24C04", "AT24C08",
                                                     "AT24C16"};
// Address-level bits (A2 bit 3, A1 bit 2, A0 bit 1) each type compares, and
// its read and write sections.
struct IicEepromRule {
    uint8_t levelMask;
    int readSection;
    int writeSection;
};
constexpr std::array<IicEepromRule, 5> kIicEepromRules{{
    {0x0E, 3, 4}, // AT24C01
    {0x0E, 3, 4}, // AT24C02
    {0x0C, 5, 6}, // AT24C04
    {0x08, 7, 8}, // AT24C08
    {0x00, 9, 10}, // AT24C16
}};

int iicType(uint8_t type) { return type > 4 ? 0 : type; }

} // namespace

// ---------------------------------------------------------------- IIC

IicCodeGenSettings iicSettingsInUse(const IicCodeGenSettings& record, const IicSettings& module) {
    IicCodeGenSettings s = record;
    if (!(record.rtc & kIicGenSameAsSimulation)) return s;
    s.lines[0] = module.IicSda;
    s.lines[1] = module.IicScl;
    s.rtc = uint8_t((s.rtc & ~kIicGenRtcA0) | (module.RtcOptions & kRtcA0 ? kIicGenRtcA0 : 0));
    s.eepromLevels = module.EepromOptions & (kEepromA2 | kEepromA1 | kEepromA0);
    s.eepromType = uint8_t(iicEepromType(module));
    return s;
}

IicSettings iicPortLineCopy(const IicCodeGenSettings& record, const IicSettings& module) {
    IicSettings copy = module;
    copy.IicSda = record.lines[0];
    copy.IicScl = record.lines[1];
    return copy;
}

void acceptIicPortLines(IicCodeGenSettings& record, const IicSettings& edited) {
    record.lines[0] = edited.IicSda;
    record.lines[1] = edited.IicScl;
}

uint8_t iicRtcDeviceByte(const IicCodeGenSettings& s) {
    return uint8_t(0xA1 + (s.rtc & kIicGenRtcA0 ? 0x02 : 0));
}

uint8_t iicEepromDeviceByte(const IicCodeGenSettings& s) {
    return uint8_t(0xA1 + (s.eepromLevels & kIicEepromRules[size_t(iicType(s.eepromType))].levelMask));
}

Validation checkIicCodeGen(const IicCodeGenSettings& record, const IicSettings& module) {
    const IicCodeGenSettings s = iicSettingsInUse(record, module);
    const bool same = record.rtc & kIicGenSameAsSimulation;
    if (same && !(module.IicOptions & kIicEnableBus) &&
        !(module.RtcOptions & kRtcConnected) && !(module.EepromOptions & kEepromConnected))
        return errorMessage("Code Generation",
                            "No IIC part is wired in the simulation, so it has no SDA and SCL lines. "
                            "Turn off \"Use Same Setting as in Simulation\" and choose them under "
                            "\"Port Line Selection\".");
    if (!isPortLine(s.lines[0]) || !isPortLine(s.lines[1]) || s.lines[0] == s.lines[1])
        return errorMessage("Code Generation", "SDA (" + pinRefName(s.lines[0]) + ") and SCL (" +
                                                   pinRefName(s.lines[1]) +
                                                   ") must be two different port lines.");
    return std::nullopt;
}

std::string iicSummary(const IicCodeGenSettings& record, const IicSettings& module) {
    const IicCodeGenSettings s = iicSettingsInUse(record, module);
    std::string text = "IIC Bus Setting:\r\n\r\nControl Lines  Port Lines\r\n";
    text += lineText("SDA            P%1d.%1d\r\n", s.lines[0]);
    text += lineText("SCL            P%1d.%1d\r\n", s.lines[1]);
    text += "\r\n";
    if (s.routines & (kIicGenRtcRead | kIicGenRtcWrite)) {
        text += "RTC Setting:\r\nDevice : PCF 8583\r\n";
        text += s.rtc & kIicGenRtcA0 ? "A0 - 1\r\n\r\n" : "A0 - 0\r\n\r\n";
    }
    if (s.routines & (kIicGenEepromRead | kIicGenEepromWrite)) {
        const int type = iicType(s.eepromType);
        text += "EEPROM Setting:\r\n";
        text += std::string("Device : ") + kIicEepromNames[size_t(type)] + "\r\n";
        const uint8_t mask = kIicEepromRules[size_t(type)].levelMask;
        const std::array<std::pair<uint8_t, const char*>, 3> levels{
            {{0x02, "A0 - "}, {0x04, "A1 - "}, {0x08, "A2 - "}}};
        for (const auto& [bit, name] : levels)
            if (mask & bit) text += std::string(name) + (s.eepromLevels & bit ? "1" : "0") + "\r\n";
    }
    return text;
}

GeneratedCode generateIicCode(const IicCodeGenSettings& record, const IicSettings& module) {
    const IicCodeGenSettings s = iicSettingsInUse(record, module);
    const std::string_view t = codeTemplate(TemplateId::Iic);
    GeneratedCode out;
    const uint8_t r = iicRtcDeviceByte(s);
    const uint8_t e = iicEepromDeviceByte(s);
    const IicEepromRule& rule = kIicEepromRules[size_t(iicType(s.eepromType))];
    if (s.routines & kIicGenRtcRead) appendSection(out, t, 1, {SlotFill::constant(r), SlotFill::constant(r)});
    if (s.routines & kIicGenRtcWrite) appendSection(out, t, 2, {SlotFill::constant(r & 0xFE)});
    if (s.routines & kIicGenEepromRead) appendSection(out, t, rule.readSection, {SlotFill::constant(e)});
    if (s.routines & kIicGenEepromWrite)
        appendSection(out, t, rule.writeSection, {SlotFill::constant(e & 0xFE)});
    if (s.routines & 0x0F)
        appendSection(out, t, 11, {SlotFill::portLine(s.lines[0]), SlotFill::portLine(s.lines[1])});
    if (s.routines & (kIicGenRtcRead | kIicGenEepromRead)) appendSection(out, t, 13);
    if (s.routines & (kIicGenRtcWrite | kIicGenEepromWrite)) appendSection(out, t, 12);
    return out;
}

// ---------------------------------------------------------------- SPI

SpiCodeGenSettings spiSettingsInUse(const SpiCodeGenSettings& record, const SpiSettings& module) {
    SpiCodeGenSettings s = record;
    if (!(record.bus & kSpiGenSameAsSimulation)) return s;
    s.bus = uint8_t((s.bus & ~kSpiGenFourWire) | (spiFourWire(module) ? kSpiGenFourWire : 0));
    s.lines = module.SpiLines;
    s.cs = module.SpiEepromCs;
    s.eepromType = uint8_t(spiEepromType(module));
    return s;
}

namespace {

SpiSettings spiBusOf(const SpiCodeGenSettings& record) {
    SpiSettings bus;
    bus.SpiOptions = record.bus & kSpiGenFourWire ? kSpiFourWire : 0;
    bus.SpiLines = record.lines;
    return bus;
}

int spiBusLineCount(const SpiCodeGenSettings& record) { return record.bus & kSpiGenFourWire ? 3 : 2; }

} // namespace

std::vector<std::string> spiCodeGenControlLines(const SpiCodeGenSettings& record) {
    std::vector<std::string> lines = spiControlLines(spiBusOf(record));
    lines.push_back("CS ");
    return lines;
}

PinRef spiCodeGenLine(const SpiCodeGenSettings& record, int entry) {
    return entry < spiBusLineCount(record) ? record.lines[size_t(entry)] : record.cs;
}

void setSpiCodeGenLine(SpiCodeGenSettings& record, int entry, PinRef line) {
    (entry < spiBusLineCount(record) ? record.lines[size_t(entry)] : record.cs) = line;
}

std::vector<std::string> spiCodeGenSummaryLines(const SpiCodeGenSettings& record) {
    std::vector<std::string> lines = spiSummaryLines(spiBusOf(record));
    lines.push_back("CS  - " + pinRefName(record.cs));
    return lines;
}

std::string spiSummary(const SpiCodeGenSettings& record, const SpiSettings& module) {
    const SpiCodeGenSettings s = spiSettingsInUse(record, module);
    const bool four = s.bus & kSpiGenFourWire;
    std::string text = four ? "SPI BUS Width: 4Wire\r\n" : "SPI BUS Width: 3Wire\r\n";
    text += std::string("Device       : ") + spiEepromTypeName(s.eepromType > 2 ? 0 : s.eepromType) +
            "\r\n";
    text += "\r\nControl Lines  Port Lines\r\n";
    text += lineText("SCK            P%1d.%1d\r\n", s.lines[0]);
    if (four) {
        text += lineText("SO             P%1d.%1d\r\n", s.lines[1]);
        text += lineText("SI             P%1d.%1d\r\n", s.lines[2]);
    } else {
        text += lineText("SO&SI          P%1d.%1d\r\n", s.lines[1]);
    }
    text += lineText("CS             P%1d.%1d\r\n", s.cs);
    return text;
}

GeneratedCode generateSpiCode(const SpiCodeGenSettings& record, const SpiSettings& module) {
    const SpiCodeGenSettings s = spiSettingsInUse(record, module);
    const std::string_view t = codeTemplate(TemplateId::Spi);
    GeneratedCode out;
    if (!(s.routines & (kSpiGenRead | kSpiGenWrite))) return out;
    const PinRef si = s.bus & kSpiGenFourWire ? s.lines[2] : s.lines[1];
    appendSection(out, t, 1,
                  {SlotFill::portLine(s.lines[0]), SlotFill::portLine(s.lines[1]),
                   SlotFill::portLine(si), SlotFill::portLine(s.cs)});
    if (s.routines & kSpiGenRead) appendSection(out, t, 2);
    if (s.routines & kSpiGenWrite) appendSection(out, t, 3);
    if (s.routines & kSpiGenRead) appendSection(out, t, 4);
    appendSection(out, t, 5);
    return out;
}

} // namespace quorvel
