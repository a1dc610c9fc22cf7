#include "codegen/keyboard_codegen.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

namespace {

constexpr std::array<const char*, 3> kTypeNames{"4X3", "4X4", "4X8"};
constexpr std::array<int, 3> kColumns{3, 4, 8};

// Scan sections by type: the scan, then its column-read and column-input
// sections for irregular, regular high-nibble and regular low-nibble lines
// (4 x 8 columns are never regular; its "regular" pair serves a full port).
struct ScanSections {
    int scan;
    std::array<int, 3> read;  // irregular, high, low
    std::array<int, 3> input; // irregular, high, low
    int columnLines;          // the irregular column-line section
};
constexpr std::array<ScanSections, 3> kScan{{
    {8, {12, 13, 14}, {15, 16, 17}, 3},
    {19, {20, 21, 22}, {23, 24, 25}, 4},
    {26, {27, 28, 28}, {29, 30, 30}, 5},
}};

// Lines on one port, in one nibble, line k on bit k of it.
bool regular(const PinRef* lines, int count) {
    for (int k = 0; k < count; ++k) {
        const PinRef ref = lines[k];
        if (ref >= kPinPlus5V || (ref & 0x30) != (lines[0] & 0x30) || (ref & 4) != (lines[0] & 4) ||
            (ref & 7 & ~4) != k)
            return false;
    }
    return true;
}

} // namespace

KeypadWiring keypadWiringInUse(const KeyboardCodeGenSettings& record, const ModuleSettings& module) {
    KeypadWiring w;
    if (record.type & kKeyGenSameAsSimulation) {
        w.type = keypadType(module);
        for (size_t i = 0; i < w.lines.size(); ++i) w.lines[i] = module.KeypadLines[i];
    } else {
        w.type = record.type & kKeyGenTypeMask;
        w.lines = record.lines;
    }
    return w;
}

ModuleSettings keyboardPortLineCopy(const KeyboardCodeGenSettings& record, const ModuleSettings& module) {
    ModuleSettings copy = module;
    copy.KeypadType = uint8_t((module.KeypadType & ~3) | (record.type & kKeyGenTypeMask));
    std::copy(record.lines.begin(), record.lines.end(), copy.KeypadLines.begin());
    return copy;
}

void acceptKeyboardPortLines(KeyboardCodeGenSettings& record, const ModuleSettings& edited) {
    std::copy(edited.KeypadLines.begin(), edited.KeypadLines.begin() + long(record.lines.size()),
              record.lines.begin());
}

std::string keyboardCodeGenSummary(const KeyboardCodeGenSettings& record, const ModuleSettings& module) {
    const KeypadWiring w = keypadWiringInUse(record, module);
    if (w.type > 2) return "No Keyboard";
    std::string text = std::string("TYPE : ") + kTypeNames[size_t(w.type)] + " Matrix\r\n";
    text += "\r\nControl Lines  Port Lines\r\n";
    char line[96];
    for (int i = 0; i < 4 + kColumns[size_t(w.type)]; ++i) {
        char name[24];
        if (i < 4)
            std::snprintf(name, sizeof name, "Row%d   ", i + 1);
        else
            std::snprintf(name, sizeof name, "Column%d", i - 3);
        const PinRef ref = w.lines[size_t(i)];
        std::snprintf(line, sizeof line, "%s        P%1d.%1d\r\n", name, (ref >> 4) & 0x0F, ref & 7);
        text += line;
    }
    return text;
}

Validation acceptKeyBufferAddress(KeyboardCodeGenSettings& record, std::string_view text) {
    unsigned value = 0;
    bool ok = !text.empty() && text.size() <= 2;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) ok = false;
        value = value * 16 + unsigned(digit < 0 ? 0 : digit);
    }
    if (!ok) return errorMessage("ERROR", "Illegal Internal Memory Address");
    record.keyBuffer = uint8_t(value);
    return std::nullopt;
}

GeneratedCode generateKeyboardCode(const KeyboardCodeGenSettings& record,
                                   const ModuleSettings& module, double cycleUs) {
    GeneratedCode out;
    const KeypadWiring w = keypadWiringInUse(record, module);
    if (!(record.type & kKeyGenRead) || w.type > 2) return out;
    const std::string_view t = codeTemplate(TemplateId::Keyboard);
    const int columns = kColumns[size_t(w.type)];
    const PinRef* rows = w.lines.data();
    const PinRef* cols = w.lines.data() + 4;

    const bool rowsRegular = regular(rows, 4);
    if (rowsRegular)
        appendSection(out, t, 2, {SlotFill::port(rows[0]), SlotFill::hexPair(record.keyBuffer)});
    else
        appendSection(out, t, 1,
                      {SlotFill::portLine(rows[0]), SlotFill::portLine(rows[1]), SlotFill::portLine(rows[2]),
                       SlotFill::portLine(rows[3]), SlotFill::hexPair(record.keyBuffer)});
    const ScanSections& scan = kScan[size_t(w.type)];
    const bool colsRegular = regular(cols, columns);
    if (colsRegular) {
        appendSection(out, t, 6, {SlotFill::port(cols[0])});
    } else {
        std::vector<SlotFill> fills;
        for (int k = 0; k < columns; ++k) fills.push_back(SlotFill::portLine(cols[k]));
        appendSection(out, t, scan.columnLines, fills);
    }
    appendSection(out, t, 7);
    const int colForm = !colsRegular ? 0 : (cols[0] & 4) ? 1 : 2;
    appendSection(out, t, scan.scan);
    appendSection(out, t, scan.read[size_t(colForm)]);
    appendSection(out, t, scan.input[size_t(colForm)]);
    appendSection(out, t, !rowsRegular ? 9 : (rows[0] & 4) ? 10 : 11);
    const DelayConstants d = delayConstants(9985, cycleUs);
    appendSection(out, t, 18, {SlotFill::constant(d.high), SlotFill::constant(d.low)});
    return out;
}

} // namespace quorvel
