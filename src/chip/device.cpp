#include "chip/device.h"

#include "common/commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quorvel {

namespace {

using K = DeviceKind;

// clang-format off
//                 kind          combo text          caption      KB  RAM  EEPROM DPTR1  buttons extOnly  max Hz      pin mask    demos
const DeviceInfo kDevices[kDeviceCount] = {
    {K::AT89C2051, "Atmel 89C2051",   "AT89C2051",  2, 128, false, false, false, false, 24000000, 0xBF00FF00, 0x0F5F},
    {K::AT89C4051, "Atmel 89C4051",   "AT89C4051",  4, 128, false, false, false, false, 24000000, 0xBF00FF00, 0x0F5F},
    {K::AT89C51,   "Atmel 89C51",     "AT89C51",    4, 128, false, false, true,  false, 24000000, 0xFFFFFFFF, 0x7F7F},
    {K::AT89C52,   "Atmel 89C52",     "AT89C52",    8, 256, false, false, true,  false, 24000000, 0xFFFFFFFF, 0x7F7F},
    {K::AT89C55,   "Atmel 89C55",     "AT89C55",   20, 256, false, false, true,  false, 33000000, 0xFFFFFFFF, 0x7F7F},
    {K::AT89S53,   "Atmel 89S53",     "AT89S53",    8, 256, false, true,  true,  false, 24000000, 0xFFFFFFFF, 0x7FFF},
    {K::AT89S8252, "Atmel 89S8252",   "AT89S8252",  8, 256, true,  true,  true,  false, 24000000, 0xFFFFFFFF, 0x7FFF},
    {K::I8031,     "General 8031/51", "8031",       0, 128, false, false, true,  true,  24000000, 0xFF00FF00, 0x0F5F},
    {K::I8032,     "General 8032/52", "8032",       0, 256, false, false, true,  true,  24000000, 0xFF00FF00, 0x0F5F},
    {K::AT89C1051, "Atmel 89C1051",   "AT89C1051",  1,  64, false, false, false, false, 24000000, 0xBF00FF00, 0x0F1F},
};
// clang-format on

// One line per entry; joined with CR LF.
const char* const kFeatures[kDeviceCount][16] = {
    // AT89C2051
    {"Compatible with MCS-51 Products", "2K Bytes of Reprogrammable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "2.7V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Two-Level Program Memory Lock",
     "128 x 8-Bit Internal RAM", "15 Programmable I/O Lines", "Two 16-Bit Timers/Counters",
     "Six Interrupt Sources", "Programmable Serial UART Channel", "Direct LED Drive Outputs",
     "On-Chip Analog Comparator", "Low Power Idle and Power Down Modes", nullptr},
    // AT89C4051
    {"Compatible with MCS-51 Products", "4K Bytes of Reprogrammable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "2.7V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Two-Level Program Memory Lock",
     "128 x 8-Bit Internal RAM", "15 Programmable I/O Lines", "Two 16-Bit Timers/Counters",
     "Six Interrupt Sources", "Programmable Serial UART Channel", "Direct LED Drive Outputs",
     "On-Chip Analog Comparator", "Low Power Idle and Power Down Modes", nullptr},
    // AT89C51
    {"Compatible with MCS-51 Products", "4K Bytes of In-System Reprogrammable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "4.0V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Three-Level Program Memory Lock",
     "128 x 8-Bit Internal RAM", "32 Programmable I/O Lines", "Two 16-Bit Timers/Counters",
     "Six Interrupt Sources", "Programmable Serial Channel",
     "Low Power Idle and Power Down Modes", nullptr},
    // AT89C52
    {"Compatible with MCS-51 Products", "8K Bytes of In-System Reprogrammable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "4.0V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Three-Level Program Memory Lock",
     "256 x 8-Bit Internal RAM", "32 Programmable I/O Lines", "Three 16-Bit Timers/Counters",
     "Eight Interrupt Sources", "Programmable Serial Channel",
     "Low Power Idle and Power Down Modes", nullptr},
    // AT89C55
    {"Compatible with MCS-51 Products", "20K Bytes of In-System Reprogrammable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "4.0V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 33 MHz", "Three-Level Program Memory Lock",
     "256 x 8-Bit Internal RAM", "32 Programmable I/O Lines", "Three 16-Bit Timers/Counters",
     "Eight Interrupt Sources", "Programmable Serial Channel",
     "Low Power Idle and Power Down Modes", nullptr},
    // AT89S53
    {"Compatible with MCS-51 Products",
     "12K Bytes of In-System Reprogrammable Downloadable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "4.0V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Three-Level Program Memory Lock",
     "256 x 8-Bit Internal RAM", "32 Programmable I/O Lines", "Three 16-Bit Timers/Counters",
     "Nine Interrupt Sources", "Programmable UART Serial Channel", "SPI Serial Interface",
     "Programmable Watchdog Timer", "Dual Data Pointer", "Power Off Flag", nullptr},
    // AT89S8252
    {"Compatible with MCS-51 Products",
     "8K Bytes of In-System Reprogrammable Downloadable Flash Memory", "2K bytes EEPROM",
     "Endurance: 1,000 Write/Erase Cycles", "4.0V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Three-Level Program Memory Lock",
     "256 x 8-Bit Internal RAM", "32 Programmable I/O Lines", "Three 16-Bit Timers/Counters",
     "Nine Interrupt Sources", "Programmable UART Serial Channel", "SPI Serial Interface",
     "Programmable Watchdog Timer", "Dual Data Pointer", "Power Off Flag"},
    // 8031
    {"8 Bit CPU", "64K Address Space for External Data Memory",
     "64K Address Space for Program Memory", "128 x 8-Bit Internal RAM",
     "32 Programmable I/O Lines", "Two 16-Bit Timers/Counters", "Five Interrupt Sources",
     "Full Duplex Serial Port", "Boolean Processor", nullptr},
    // 8032
    {"8 Bit CPU", "64K Address Space for External Data Memory",
     "64K Address Space for Program Memory", "256 x 8-Bit Internal RAM",
     "32 Programmable I/O Lines", "Three 16-Bit Timers/Counters", "Six Interrupt Sources",
     "Full Duplex Serial Port", "Boolean Processor", nullptr},
    // AT89C1051
    {"Compatible with MCS-51 Products", "1K Bytes of Reprogrammable Flash Memory",
     "Endurance: 1,000 Write/Erase Cycles", "2.7V to 6V Operating Range",
     "Fully Static Operation: 0 Hz to 24 MHz", "Two-Level Program Memory Lock",
     "64 x 8-Bit Internal RAM", "15 Programmable I/O Lines", "One 16-Bit Timer/Counter",
     "Three Interrupt Sources", "Direct LED Drive Outputs", "On-Chip Analog Comparator",
     "Low Power Idle and Power Down Modes", nullptr},
};

bool isFixedCodeDevice(DeviceKind kind) {
    return kind == K::AT89C1051 || kind == K::AT89C2051 || kind == K::AT89C4051;
}

} // namespace

const DeviceInfo& deviceInfo(DeviceKind kind) { return kDevices[int(kind)]; }

DeviceKind deviceKindOfComboIndex(int index) {
    return index == 0 ? K::AT89C1051 : DeviceKind(index - 1);
}

int comboIndexOfDeviceKind(DeviceKind kind) {
    return kind == K::AT89C1051 ? 0 : int(kind) + 1;
}

std::string deviceFeatureText(DeviceKind kind) {
    std::string text;
    for (const char* line : kFeatures[int(kind)]) {
        if (!line) break;
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

bool parseDeviceName(std::string_view name, DeviceKind& kind) {
    std::string upper;
    for (char c : name) upper += char(std::toupper(static_cast<unsigned char>(c)));
    if (upper.rfind("AT", 0) == 0) upper.erase(0, 2);
    for (const DeviceInfo& d : kDevices) {
        std::string caption = d.captionName;
        if (caption.rfind("AT", 0) == 0) caption.erase(0, 2);
        if (upper == caption || (upper == "8051" && d.kind == K::I8031) ||
            (upper == "8052" && d.kind == K::I8032)) {
            kind = d.kind;
            return true;
        }
    }
    return false;
}

float machineCycleTimeUs(uint32_t frequencyHz) {
    return frequencyHz == 0 ? 0.0f : float(12000000.0 / double(frequencyHz));
}

uint16_t computeCodeLimit(DeviceKind kind, ProgramMemoryMode mode, int sizeChoice) {
    const int onChip = deviceInfo(kind).onChipKB;
    if (sizeChoice < 0 || sizeChoice > 5) sizeChoice = 0;
    const int sizeKB = kExternalProgramKB[size_t(sizeChoice)];
    switch (mode) {
    case ProgramMemoryMode::InternalOnly: return uint16_t(onChip * 1024 - 1);
    case ProgramMemoryMode::ExternalOnly: return uint16_t(sizeKB * 1024 - 1);
    case ProgramMemoryMode::Both:
        if (sizeChoice == 5) return 0xFFFF;
        return uint16_t(std::min(65536, (onChip + sizeKB) * 1024) - 1);
    }
    return uint16_t(onChip * 1024 - 1);
}

Validation acceptDeviceDialog(DeviceSelection& selection, std::string_view frequencyText,
                              int comboIndex) {
    // Surrounding blanks are forgiven; anything but digits is refused rather
    // than read as its leading digits ("12MHz" is not 12 Hz).
    while (!frequencyText.empty() && frequencyText.front() == ' ') frequencyText.remove_prefix(1);
    while (!frequencyText.empty() && frequencyText.back() == ' ') frequencyText.remove_suffix(1);
    if (frequencyText.empty()) return errorMessage("ERROR", "Enter Operating Frequency");

    uint64_t value = 0;
    for (char c : frequencyText) {
        if (c < '0' || c > '9' || value > 0xFFFFFFFFull) {
            value = 0;
            break;
        }
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > 0xFFFFFFFFull) value = 0;
    selection.frequency = uint32_t(value);
    if (value == 0) return errorMessage("ERROR", "Illegal Operating Frequency");
    selection.cycleTimeUs = machineCycleTimeUs(selection.frequency);

    if (comboIndex < 0 || comboIndex >= kDeviceCount)
        return errorMessage("ERROR", "No Device was Selected");
    selection.kind = deviceKindOfComboIndex(comboIndex);

    if (selection.frequency > selection.info().maxFrequency)
        return errorMessage("ERROR", "Exceeds Maximum Operating Frequency");

    selection.codeLimit =
        computeCodeLimit(selection.kind, selection.programMode, selection.externalSizeChoice);
    return std::nullopt;
}

bool deviceMemoryButtonsEnabled(DeviceKind kind) { return deviceInfo(kind).memoryButtons; }

bool internalModesEnabled(DeviceKind kind) { return !deviceInfo(kind).externalOnly; }

bool sizeButtonsEnabled(ProgramMemoryMode mode) {
    return mode != ProgramMemoryMode::InternalOnly;
}

std::string sixthSizeLabel(DeviceKind kind, ProgramMemoryMode mode) {
    int kb = mode == ProgramMemoryMode::Both ? 64 - deviceInfo(kind).onChipKB : 64;
    char text[16];
    std::snprintf(text, sizeof text, "%2dK", kb);
    return text;
}

int initialSizeChoice(DeviceKind kind, ProgramMemoryMode mode, uint16_t codeLimit) {
    int kb = (int(codeLimit) + 1) / 1024;
    if (mode == ProgramMemoryMode::Both) kb -= deviceInfo(kind).onChipKB;
    for (int i = 0; i < 6; ++i)
        if (kExternalProgramKB[size_t(i)] == kb) return i;
    // "Both" with the sixth choice fills the whole 64K address space.
    if (mode == ProgramMemoryMode::Both && codeLimit == 0xFFFF) return 5;
    return 0;
}

int dataMemoryChoiceOf(uint16_t xdataLimit) {
    if (xdataLimit == 0) return 0;
    int kb = (int(xdataLimit) + 1) / 1024;
    for (int i = 1; i < 7; ++i)
        if (kExternalDataKB[size_t(i)] == kb) return i;
    return 1;
}

uint16_t xdataLimitOfChoice(int choice) {
    if (choice <= 0 || choice > 6) return 0;
    return uint16_t(kExternalDataKB[size_t(choice)] * 1024 - 1);
}

uint32_t availablePinMask(const DeviceSelection& selection) {
    const DeviceInfo& info = selection.info();
    uint32_t mask = info.pinMask;
    if (info.has40Pins() &&
        (selection.programMode != ProgramMemoryMode::InternalOnly || selection.xdataLimit != 0))
        mask &= 0xFF00FF00u;
    return mask;
}

DeviceProfile applyDevice(DeviceSelection& selection) {
    const DeviceInfo& info = selection.info();
    DeviceProfile profile;
    profile.ramSize = info.ramSize;
    profile.eeprom = info.eeprom;
    profile.dualDptr = info.dualDptr;
    if (isFixedCodeDevice(selection.kind)) {
        selection.programMode = ProgramMemoryMode::InternalOnly;
        selection.codeLimit = uint16_t(info.onChipKB * 1024 - 1);
        selection.xdataLimit = 0;
    }
    profile.caption = std::string(kAppTitle) + " - Simulated Device: " + info.captionName;

    std::vector<int>& off = profile.disabledCommands;
    if (selection.xdataLimit == 0) {
        off.insert(off.end(), {cmd::ExternalMemoryFill, cmd::ExternalMemoryCopy,
                               cmd::ExternalDataMemoryWindow, cmd::LoadData});
    }
    if (!info.eeprom) off.push_back(cmd::EepromWindow);
    if (selection.kind != K::AT89S53 && selection.kind != K::AT89S8252)
        off.insert(off.end(), {cmd::SpiWindow, cmd::SaveSpiReceiver, cmd::SaveSpiTransmitter});
    if (selection.kind == K::AT89C1051)
        off.insert(off.end(),
                   {cmd::SerialPortWindow, cmd::SaveSerialReceiver, cmd::SaveSerialTransmitter});
    off.push_back(cmd::StopExecution);

    profile.availablePinMask = availablePinMask(selection);
    return profile;
}

} // namespace quorvel
