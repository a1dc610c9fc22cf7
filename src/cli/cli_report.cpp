#include "cli/cli_report.h"

#include "cli/cli_json.h"
#include "cli/cli_profile.h"
#include "cli/cli_variables.h"
#include "common/hex_text.h"
#include "modules/iic_settings.h"
#include "modules/lcd_controller.h"
#include "modules/led_display.h"
#include "modules/spi_settings.h"
#include "tools/symbol_names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <utility>

namespace quorvel::cli {

namespace {

// ---- the things dumps show, gathered once for both formats

struct Block {
    uint16_t start = 0;
    std::vector<uint8_t> bytes;
};

struct NamedValue {
    std::string name;
    unsigned value;
    int digits;
};

std::vector<NamedValue> registers(const ChipState& chip) {
    std::vector<NamedValue> out{
        {"PC", chip.pc, 4},           {"A", chip.acc(), 2},
        {"B", chip.sfr(sfr::B), 2},   {"PSW", chip.psw(), 2},
        {"SP", chip.sfr(sfr::SP), 2}, {"DPTR", chip.dptr(), 4},
    };
    if (chip.dualDptr) out.push_back({"DPTR1", chip.dptr1(), 4});
    for (int r = 0; r < 8; ++r) out.push_back({"R" + std::to_string(r), chip.iram[size_t(chip.bankBase() + r)], 2});
    return out;
}

// Every SFR address that has a name, in address order.
std::vector<NamedValue> namedSfrs(const ChipState& chip) {
    std::vector<NamedValue> out;
    for (unsigned address = 0x80; address <= 0xFF; ++address) {
        const std::string name = directDisplayName(uint8_t(address));
        if (name == hexText(address, 2)) continue; // shown as its number: no name
        out.push_back({name, chip.sfr(uint8_t(address)), 2});
    }
    return out;
}

Block block(std::span<const uint8_t> memory, uint16_t first, uint32_t count) {
    Block b;
    b.start = first;
    const size_t end = std::min(memory.size(), size_t(first) + count);
    if (first < end) b.bytes.assign(memory.begin() + first, memory.begin() + long(end));
    return b;
}

std::vector<std::string> lcdRows(const Machine& m) {
    const uint8_t options = m.modules.settings.LcdOptions;
    std::vector<std::string> rows;
    for (int row = 0; row < lcdGeometry(options).rows; ++row)
        rows.push_back(lcdRowText(m.modules.lcd, options, row));
    return rows;
}

LedEvaluation leds(const Machine& m) {
    LedDigitMemory memory = m.modules.ledDigitMemory;
    return evaluateLeds(m.modules.settings, m.chip.portLatches(), memory, true);
}

std::string digitsText(const LedEvaluation& e) {
    std::string text;
    for (int d = 0; d < e.digitCount; ++d) text += segmentText(e.digits[size_t(d)]);
    return text;
}

const char* iicEepromName(const Machine& m) {
    return iicEepromTypeInfo(iicEepromType(m.modules.settings.iic)).name;
}

Block iicEepromBlock(const Machine& m) {
    const uint16_t size = iicEepromTypeInfo(iicEepromType(m.modules.settings.iic)).size;
    return block(m.modules.iic.eeprom.EepromMemory, 0, size);
}

Block spiEepromBlock(const Machine& m) {
    return block(m.modules.spiEeprom.memory, 0, uint32_t(spiEepromSize(spiEepromType(m.modules.settings.spi))));
}

Block memoryBlock(const Machine& m, const DumpOption& d) {
    const ChipState& chip = m.chip;
    const uint32_t count = uint32_t(d.last) - d.first + 1;
    switch (d.kind) {
    case DumpKind::Iram: return block(chip.iram, 0, uint32_t(m.profile.ramSize));
    case DumpKind::Xdata: return block(chip.xdata, d.first, count);
    case DumpKind::Code: return block(chip.code, d.first, count);
    case DumpKind::Eeprom: return block(chip.eeprom, 0, uint32_t(chip.eeprom.size()));
    case DumpKind::IicEeprom: return iicEepromBlock(m);
    case DumpKind::Rtc: return block(m.modules.iic.rtc.RtcMemory, 0, kRtcMemorySize);
    case DumpKind::SpiEeprom: return spiEepromBlock(m);
    default: return {};
    }
}

// ---- text

void textWords(std::string& out, const std::vector<NamedValue>& values, size_t perLine) {
    for (size_t i = 0; i < values.size(); ++i) {
        out += values[i].name + "=" + hexText(values[i].value, values[i].digits);
        out += (i + 1) % perLine == 0 || i + 1 == values.size() ? "\n" : " ";
    }
}

void textBlock(std::string& out, const Block& b) {
    for (size_t i = 0; i < b.bytes.size(); ++i) {
        if (i % 16 == 0) out += hexText(unsigned(b.start + i), 4) + ":";
        out += " " + hexText(b.bytes[i], 2);
        if (i % 16 == 15 || i + 1 == b.bytes.size()) out += "\n";
    }
}

// A C-style quoted text of bytes (\n, \r, \t, \\, \", \xHH).
std::string quotedText(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c < 0x20 || c >= 0x7F)
                out += "\\x" + hexText(c, 2);
            else
                out += char(c);
        }
    }
    return out + "\"";
}

std::string textDump(const ReportInput& in, const DumpOption& d) {
    const Machine& m = in.machine;
    std::string out = "[" + std::string(dumpName(d.kind));
    if (d.kind == DumpKind::Xdata || d.kind == DumpKind::Code)
        out += ":" + hexText(d.first, 4) + "-" + hexText(d.last, 4);
    else if (d.kind == DumpKind::IicEeprom)
        out += std::string(" ") + iicEepromName(m);
    else if (d.kind == DumpKind::SpiEeprom)
        out += std::string(" ") + spiEepromTypeName(spiEepromType(m.modules.settings.spi));
    out += "]\n";
    switch (d.kind) {
    case DumpKind::Regs: textWords(out, registers(m.chip), 64); break;
    case DumpKind::Sfr: textWords(out, namedSfrs(m.chip), 8); break;
    case DumpKind::Lcd:
        for (const std::string& row : lcdRows(m)) out += row + "\n";
        break;
    case DumpKind::Leds: {
        const LedEvaluation e = leds(m);
        out += "points:";
        for (int pin = 0; pin < 32; ++pin)
            if ((e.pointConnected >> pin) & 1u)
                out += " " + pinRefName(pinRefFromIndex(pin)) + "=" + char('0' + ((e.pointLit >> pin) & 1u));
        out += "\ndigits: " + quotedText(digitsText(e)) + "\nsegments:";
        for (int digit = 0; digit < e.digitCount; ++digit) out += " " + hexText(e.digits[size_t(digit)], 2);
        out += "\n";
        break;
    }
    case DumpKind::Uart:
        out += "transmitted: " + std::to_string(in.uartTransmitted.size()) + " bytes " +
               quotedText(in.uartTransmitted) + "\n";
        out += "received: " + std::to_string(in.uartReceived.size()) + " bytes " +
               quotedText(std::string(in.uartReceived.begin(), in.uartReceived.end())) + "\n";
        break;
    default: textBlock(out, memoryBlock(m, d)); break;
    }
    return out;
}

// ---- JSON

Json jsonValues(const std::vector<NamedValue>& values) {
    Json out = Json::object();
    for (const NamedValue& v : values) out[v.name] = v.value;
    return out;
}

Json jsonBlock(const Block& b, const std::string& type = {}) {
    Json out = Json::object();
    if (!type.empty()) out["type"] = type;
    out["start"] = b.start;
    out["bytes"] = b.bytes;
    return out;
}

Json jsonDump(const ReportInput& in, const DumpOption& d) {
    const Machine& m = in.machine;
    switch (d.kind) {
    case DumpKind::Regs: return jsonValues(registers(m.chip));
    case DumpKind::Sfr: return jsonValues(namedSfrs(m.chip));
    case DumpKind::Lcd: {
        Json rows = Json::array();
        for (const std::string& row : lcdRows(m)) rows.push_back(chipCharacters(row));
        return rows;
    }
    case DumpKind::Leds: {
        const LedEvaluation e = leds(m);
        Json points = Json::object();
        for (int pin = 0; pin < 32; ++pin)
            if ((e.pointConnected >> pin) & 1u) points[pinRefName(pinRefFromIndex(pin))] = bool((e.pointLit >> pin) & 1u);
        return {{"points", points},
                {"segments", std::vector<uint8_t>(e.digits.begin(), e.digits.begin() + e.digitCount)},
                {"text", chipCharacters(digitsText(e))}};
    }
    case DumpKind::Uart: {
        const std::string& sent = in.uartTransmitted;
        return {{"transmitted", std::vector<uint8_t>(sent.begin(), sent.end())},
                {"text", chipCharacters(sent)},
                {"received", in.uartReceived}};
    }
    case DumpKind::IicEeprom: return jsonBlock(memoryBlock(m, d), iicEepromName(m));
    case DumpKind::SpiEeprom:
        return jsonBlock(memoryBlock(m, d), spiEepromTypeName(spiEepromType(m.modules.settings.spi)));
    default: return jsonBlock(memoryBlock(m, d));
    }
}

} // namespace

std::string segmentText(uint8_t pattern) {
    static constexpr std::array<std::pair<uint8_t, char>, 22> kShapes{{
        {0x00, ' '}, {0x3F, '0'}, {0x06, '1'}, {0x5B, '2'}, {0x4F, '3'}, {0x66, '4'},
        {0x6D, '5'}, {0x7D, '6'}, {0x07, '7'}, {0x7F, '8'}, {0x6F, '9'}, {0x77, 'A'},
        {0x7C, 'b'}, {0x39, 'C'}, {0x5E, 'd'}, {0x79, 'E'}, {0x71, 'F'}, {0x40, '-'},
        {0x27, '7'}, {0x67, '9'}, {0x76, 'H'}, {0x38, 'L'},
    }};
    std::string text = "?";
    for (const auto& [shape, c] : kShapes)
        if ((pattern & 0x7F) == shape) text[0] = c;
    if (pattern & 0x80) text += '.';
    return text;
}

namespace {

// The stop's source line and function, when the map has them.
struct StopSource {
    std::string line;
    std::string function;
};

StopSource stopSource(const ReportInput& in) {
    StopSource s;
    if (!in.sourceMap) return s;
    const uint16_t pc = in.machine.chip.pc;
    if (const auto where = in.sourceMap->locationAt(pc)) s.line = in.sourceMap->text(*where);
    if (const SourceFunction* f = in.sourceMap->functionAt(pc)) s.function = f->name;
    return s;
}

// The watchpoint's stop: what was watched, the place, its values and the
// writing instruction.
struct WatchStop {
    std::string watched, place;
    unsigned oldValue = 0, newValue = 0, writer = 0;
};

std::optional<WatchStop> watchStop(const ReportInput& in) {
    if (in.run.stop != DebugStop::Watch || !in.run.watch) return std::nullopt;
    const WatchHit& hit = *in.run.watch;
    return WatchStop{in.run.watched, spaceAddressText(hit.place), hit.oldValue, hit.newValue, hit.writerPc};
}

std::string stackLine(const StackEntry& e, size_t depth) {
    std::string line = "#" + std::to_string(depth) + " " + hexText(e.pc, 4) + " " +
                       (e.function.empty() ? std::string("?") : e.function);
    if (e.line) line += " " + e.file + ":" + std::to_string(e.line);
    if (e.interrupt) line += " (interrupt)";
    if (!e.known) line += " (return address no longer on the stack)";
    return line + "\n";
}

Json stackJson(const std::vector<StackEntry>& stack) {
    Json out = Json::array();
    for (const StackEntry& e : stack) {
        Json frame = {{"function", e.function.empty() ? Json() : Json(e.function)},
                      {"file", e.line ? Json(e.file) : Json()},
                      {"line", e.line ? Json(e.line) : Json()},
                      {"pc", e.pc},
                      {"interrupt", e.interrupt},
                      {"known", e.known}};
        out.push_back(std::move(frame));
    }
    return out;
}

} // namespace

namespace {

// A 64-bit hash as 16 hex digits.
std::string hashText(uint64_t hash) {
    return hexText(uint32_t(hash >> 32), 8) + hexText(uint32_t(hash), 8);
}

} // namespace

std::string textReport(const ReportInput& in) {
    std::string out;
    const std::optional<WatchStop> watch = watchStop(in);
    if (in.sourceMap || watch) {
        const StopSource s = stopSource(in);
        out += "[stop]\nreason=" + std::string(debugStopName(in.run.stop)) +
               " pc=" + hexText(in.machine.chip.pc, 4);
        if (!s.line.empty()) out += " source=" + s.line;
        if (!s.function.empty()) out += " function=" + s.function;
        if (watch)
            out += " watch=" + watch->watched + " place=" + watch->place + " old=" + hexText(watch->oldValue, 2) +
                   " new=" + hexText(watch->newValue, 2) + " writer=" + hexText(watch->writer, 4);
        out += "\n";
    }
    if (in.sourceMap) {
        out += "[stack]\n";
        for (size_t i = 0; i < in.stack.size(); ++i) out += stackLine(in.stack[i], i);
    }
    if (in.variables) out += variablesText(*in.variables, in.machine, in.variableExpressions);
    if (!in.lastWritePlace.empty()) {
        out += "[last-write]\nplace=" + in.lastWritePlace;
        if (const auto& w = in.lastWrite) {
            out += " cycle=" + std::to_string(w->cycle) + " pc=" + hexText(w->pc, 4);
            if (w->line) out += " source=" + w->file + ":" + std::to_string(w->line);
            out += " old=" + hexText(w->oldValue, 2) + " new=" + hexText(w->newValue, 2) + "\n";
        } else {
            out += " none\n";
        }
    }
    if (in.stateHash) out += "[state]\nhash=" + hashText(*in.stateHash) + "\n";
    for (const DumpOption& d : in.dumps) out += textDump(in, d);
    if (in.coverage) out += coverageText(*in.coverage);
    return out;
}

std::string jsonReport(const ReportInput& in) {
    const ChipState& chip = in.machine.chip;
    Json stop = {{"reason", std::string(debugStopName(in.run.stop))}, {"exit_status", in.exitStatus}, {"pc", chip.pc}};
    if (!in.condition.empty()) stop["condition"] = in.condition;
    if (const StopSource s = stopSource(in); !s.line.empty() || !s.function.empty()) {
        if (!s.line.empty()) stop["source"] = s.line;
        if (!s.function.empty()) stop["function"] = s.function;
    }
    if (in.run.stop == DebugStop::PcOutOfRange) stop["message"] = "PC Exceeds Maximum Program Memory";
    if (const std::optional<WatchStop> w = watchStop(in))
        stop["watch"] = {{"watched", w->watched}, {"place", w->place}, {"old", w->oldValue},
                         {"new", w->newValue}, {"writer_pc", w->writer}};
    Json out = {{"stop", stop},
                {"instructions", in.run.steps},
                {"cycles", in.run.cycles},
                // Microseconds to the nanosecond.
                {"simulated_us", std::round(double(in.run.cycles) * double(chip.cycleTimeUs) * 1e3) / 1e3}};
    out["stack"] = stackJson(in.stack);
    if (in.variables) out["variables"] = variablesJson(*in.variables, in.machine, in.variableExpressions);
    if (!in.lastWritePlace.empty()) {
        out["last_write"] = nullptr;
        if (const auto& w = in.lastWrite)
            out["last_write"] = {{"cycle", w->cycle},
                                 {"pc", w->pc},
                                 {"file", w->line ? Json(w->file) : Json()},
                                 {"line", w->line ? Json(w->line) : Json()},
                                 {"old", w->oldValue},
                                 {"new", w->newValue}};
    }
    if (in.stateHash) out["state_hash"] = hashText(*in.stateHash);

    // Ranged dumps may be asked for more than once: they are lists of blocks.
    for (DumpKind kind : {DumpKind::Xdata, DumpKind::Code}) {
        for (const DumpOption& d : in.dumps)
            if (d.kind == kind) out[std::string(dumpName(kind))].push_back(jsonDump(in, d));
    }
    for (const DumpOption& d : in.dumps) {
        if (d.kind == DumpKind::Xdata || d.kind == DumpKind::Code || out.contains(std::string(dumpName(d.kind)))) continue;
        out[std::string(dumpName(d.kind))] = jsonDump(in, d);
    }
    if (in.coverage) out["coverage"] = coverageJson(*in.coverage);
    return jsonDocument(out) + "\n";
}

} // namespace quorvel::cli
