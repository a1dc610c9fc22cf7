#include "codegen/lcd_codegen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorvel {

namespace {

constexpr std::array<const char*, 4> kSummaryTypeNames{
    "1 Line X 16 Characters", "2 Lines X 16 Characters", "4 Lines X 16 Characters",
    "4 Lines X 20 Characters"};
constexpr std::array<const char*, 11> kSummaryLineNames{"RS ", "R/W", "E  ", "D0 ", "D1 ", "D2 ",
                                                        "D3 ", "D4 ", "D5 ", "D6 ", "D7 "};
constexpr int kD0 = 3; // entry of D0; D4 is entry 7

constexpr int portOf(PinRef ref) { return (ref >> 4) & 3; }

// Data lines regular: on one port, Dk on bit k (8 bits), or D4-D7 in one
// nibble with D(4+k) on bit k of it (4 bits).
bool regularDataLines(const LcdWiring& w) {
    const int first = w.fourBit ? 4 : 0;
    const PinRef base = w.lines[size_t(kD0 + first)];
    for (int k = first; k < 8; ++k) {
        const PinRef ref = w.lines[size_t(kD0 + k)];
        if (ref >= kPinPlus5V || portOf(ref) != portOf(base)) return false;
        if (w.fourBit ? ((ref & 4) != (base & 4) || (ref & 3) != k - 4) : (ref & 7) != k)
            return false;
    }
    return true;
}

// Sections of the routines that differ by bus: [8-bit, 4-bit].
struct BusSections {
    int lines;          // data-line equates (irregular / regular share 4)
    int command;        // LCD_COMMAND and LCD_RESET_BUS
    int dataOutput;     // LCD_WRITE_DATA
};
constexpr std::array<BusSections, 2> kBusSections{{{2, 23, 26}, {3, 24, 27}}};

// LCD_PUT by [bus][wiring]: irregular, regular (8-bit) / regular low, regular high (4-bit).
constexpr int kPutIrregular8 = 28, kPutRegular8 = 29;
constexpr int kPutIrregular4 = 30, kPutLow4 = 31, kPutHigh4 = 32;
// Init sections by `LcdInitOptions` bits 1-0.
constexpr std::array<int, 4> kInitSections{19, 20, 22, 21};

} // namespace

LcdWiring lcdWiringInUse(const LcdCodeGenSettings& record, const ModuleSettings& module) {
    LcdWiring w;
    if (record.flags & kLcdGenSameAsSimulation) {
        w.type = lcdSize(module.LcdOptions);
        w.fourBit = lcdFourBit(module.LcdOptions);
        std::copy(module.LcdPins.begin(), module.LcdPins.end(), w.lines.begin());
        w.lines[11] = module.LcdReserved[0];
        w.lines[12] = module.LcdReserved[1];
    } else {
        w.type = record.flags & 3;
        w.fourBit = record.flags & kLcdGenFourBit;
        w.lines = record.lines;
    }
    return w;
}

ModuleSettings lcdPortLineCopy(const LcdCodeGenSettings& record, const ModuleSettings& module) {
    ModuleSettings copy = module;
    std::copy(record.lines.begin(), record.lines.begin() + kLcdPinCount, copy.LcdPins.begin());
    copy.LcdReserved = {record.lines[11], record.lines[12]};
    copy.LcdOptions = uint8_t((module.LcdOptions & ~(kLcdSizeMask | kLcdFourBit)) |
                              (record.flags & (kLcdGenTypeMask | kLcdGenFourBit)));
    return copy;
}

void acceptLcdPortLines(LcdCodeGenSettings& record, const ModuleSettings& edited) {
    std::copy(edited.LcdPins.begin(), edited.LcdPins.end(), record.lines.begin());
    record.lines[11] = edited.LcdReserved[0];
    record.lines[12] = edited.LcdReserved[1];
}

uint16_t lcdRoutineClicked(uint16_t routines, LcdRoutine box, bool checked) {
    if (checked) {
        routines |= box;
        if (box == kLcdGenFourDigits) routines |= kLcdGenTwoDigits;
        return routines;
    }
    if (box == kLcdGenTwoDigits && (routines & kLcdGenFourDigits)) return routines;
    return uint16_t(routines & ~box);
}

uint8_t lcdFunctionSet(bool fourBit, int type) {
    return uint8_t((fourBit ? 0x20 : 0x30) | (type != 0 ? 0x08 : 0));
}

uint8_t lcdDisplayControl(uint8_t o) {
    return uint8_t(0x08 | (o & kLcdInitDisplayOn ? 4 : 0) | (o & kLcdInitCursorOn ? 2 : 0) |
                   (o & kLcdInitBlinking ? 1 : 0));
}

uint8_t lcdEntryMode(uint8_t o) {
    return uint8_t(0x04 | (o & kLcdInitIncrement ? 2 : 0) | (o & kLcdInitShift ? 1 : 0));
}

uint8_t lcdShortDelayConstant(double cycleUs) {
    const uint32_t count = cycleUs > 0 ? uint32_t(std::trunc(32 / (2 * cycleUs))) : 0;
    return uint8_t((count & 0xFF) + 1);
}

std::string lcdCodeGenSummary(const LcdCodeGenSettings& record, const ModuleSettings& module) {
    const LcdWiring w = lcdWiringInUse(record, module);
    std::string text = std::string("LCD       : ") + kSummaryTypeNames[size_t(w.type)] + "\r\n";
    text += w.fourBit ? "Interface : 4 Bits\r\n\r\n" : "Interface : 8 Bits\r\n\r\n";
    text += "Control Lines     Port Lines\r\n";
    for (int i = 0; i < 11; ++i) {
        if (w.fourBit && i >= kD0 && i < kD0 + 4) continue;
        // A line tied to a level shows as "GND" or "+5V", not as a port.
        text += std::string(kSummaryLineNames[size_t(i)]) + "               " +
                pinRefName(w.lines[size_t(i)]) + "\r\n";
    }
    return text;
}

Validation checkLcdCodeGen(const LcdCodeGenSettings& record, const ModuleSettings& module) {
    const LcdWiring w = lcdWiringInUse(record, module);
    for (int i = 0; i < 11; ++i) {
        if (w.fourBit && i >= kD0 && i < kD0 + 4) continue;
        const PinRef ref = w.lines[size_t(i)];
        if (isPortLine(ref)) continue;
        std::string name(kSummaryLineNames[size_t(i)]);
        while (name.back() == ' ') name.pop_back();
        return errorMessage(
            "Code Generation",
            "The LCD's " + name + " line is tied to " + pinRefName(ref) +
                (record.flags & kLcdGenSameAsSimulation ? " in the simulation" : "") +
                ", but the routines drive it from a port line. Choose a port line for it under "
                "\"Port Line Selection\" (with \"Use Same Setting as in Simulation\" off).");
    }
    return std::nullopt;
}

GeneratedCode generateLcdCode(const LcdCodeGenSettings& record, const ModuleSettings& module,
                              double cycleUs) {
    const LcdWiring w = lcdWiringInUse(record, module);
    const std::string_view t = codeTemplate(TemplateId::Lcd);
    const uint16_t r = record.routines;
    const uint8_t o = record.LcdInitOptions;
    const BusSections& bus = kBusSections[w.fourBit ? 1 : 0];
    GeneratedCode out;
    // A routine needed by two choices is inserted once (its labels would
    // otherwise be defined twice).
    auto add = [&](int n, const std::vector<SlotFill>& fills = {}) {
        if (std::find(out.sections.begin(), out.sections.end(), n) == out.sections.end())
            appendSection(out, t, n, fills);
    };
    if (!lcdGenerateEnabled(r)) return out;

    add(1, {SlotFill::portLine(w.lines[0]), SlotFill::portLine(w.lines[1]),
            SlotFill::portLine(w.lines[2])});
    const bool regular = regularDataLines(w);
    const bool highNibble = w.lines[size_t(kD0 + 4)] & 4;
    if (regular) {
        add(4, {SlotFill::port(w.lines[size_t(kD0 + (w.fourBit ? 4 : 0))])});
    } else {
        std::vector<SlotFill> lines;
        for (int k = w.fourBit ? 4 : 0; k < 8; ++k) lines.push_back(SlotFill::portLine(w.lines[size_t(kD0 + k)]));
        add(bus.lines, lines);
    }
    const uint8_t displayControl = lcdDisplayControl(o);
    if (r & kLcdGenInit)
        add(kInitSections[o & 3], {SlotFill::constant(lcdFunctionSet(w.fourBit, w.type)),
                                   SlotFill::constant(displayControl),
                                   SlotFill::constant(lcdEntryMode(o))});
    if (r & kLcdGenMessage) add(5);
    if (r & kLcdGenCharacter) add(6);
    if (r & (kLcdGenTwoDigits | kLcdGenFourDigits)) add(7);
    // "4 Digits Display" uses the two-digit routine's tail.
    if (r & (kLcdGenTwoDigits | kLcdGenFourDigits)) add(8);
    if (r & kLcdGenFourDigits) add(9);
    bool delayNeeded = false;
    if ((r & kLcdGenClear) || ((r & kLcdGenInit) && (o & kLcdInitClear))) {
        add(10);
        delayNeeded = true;
    }
    if ((r & kLcdGenInit) && (o & kLcdInitHome)) {
        add(11);
        delayNeeded = true;
    }
    if (delayNeeded) {
        const DelayConstants d = delayConstants(1585, cycleUs);
        add(12, {SlotFill::constant(d.high), SlotFill::constant(d.low)});
    }
    if (r & (kLcdGenLocate | kLcdGenMessage | kLcdGenTwoDigits | kLcdGenFourDigits |
             kLcdGenReadDdram | kLcdGenCharacter))
        add(w.type == 3 ? 17 : 18);
    if (r & kLcdGenCursorOnOff) add(14, {SlotFill::constant(displayControl)});
    if (r & kLcdGenDisplayOnOff) add(15, {SlotFill::constant(displayControl)});
    if (r & kLcdGenReadDdram) add(16);
    add(bus.command);
    if (w.fourBit)
        add(!regular ? kPutIrregular4 : highNibble ? kPutHigh4 : kPutLow4);
    else
        add(regular ? kPutRegular8 : kPutIrregular8);
    add(13, {SlotFill::constant(lcdShortDelayConstant(cycleUs))});
    if (r & (kLcdGenMessage | kLcdGenTwoDigits | kLcdGenFourDigits | kLcdGenCharacter))
        add(bus.dataOutput);
    if (r & kLcdGenReadDdram) {
        if (w.fourBit) {
            add(38);
            add(!regular ? 35 : highNibble ? 37 : 36);
        } else {
            add(26);
            add(regular ? 34 : 33);
        }
    }
    return out;
}

} // namespace quorvel
