#include "cli/cli_options.h"

#include "cli/cli_variables.h"
#include "debug/c_variables.h"
#include "machine/watchpoints.h"

#include "common/hex_field.h"
#include "chip/port_pins.h"
#include "modules/serial_host.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace quorvel::cli {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A hex value as the address fields take it (1 to 4 digits), also written
// with a "0x" prefix or an "H" suffix as 8051 programmers do.
std::string_view withoutHexAffixes(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H'))
        text.remove_suffix(1);
    return text;
}

std::optional<uint16_t> parseHex(std::string_view text) {
    return parseHexField(withoutHexAffixes(text));
}

std::optional<uint64_t> parseCount(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int> parseKB(std::string_view text) {
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) text.remove_suffix(1);
    auto value = parseCount(text);
    if (!value || *value > 64) return std::nullopt;
    return int(*value);
}

// "P1.0" (any case) to a pin index.
std::optional<int> parsePinName(std::string_view text) {
    if (text.size() != 4 || (text[0] != 'P' && text[0] != 'p') || text[2] != '.') return std::nullopt;
    if (text[1] < '0' || text[1] > '3' || text[3] < '0' || text[3] > '7') return std::nullopt;
    return (text[1] - '0') * 8 + (text[3] - '0');
}

// "P1" (any case) to its first pin index.
std::optional<int> parsePortName(std::string_view text) {
    if (text.size() != 2 || (text[0] != 'P' && text[0] != 'p') || text[1] < '0' || text[1] > '3')
        return std::nullopt;
    return (text[1] - '0') * 8;
}

using Handler = std::string (*)(CliOptions&, std::string_view);

std::string setDevice(CliOptions& o, std::string_view v) {
    if (!parseDeviceName(v, o.device)) return "unknown device '" + std::string(v) + "'";
    return {};
}

std::string setClock(CliOptions& o, std::string_view v) {
    o.clock = std::string(v);
    return {};
}

std::string setCodeMemory(CliOptions& o, std::string_view v) {
    const std::string text = lower(v);
    if (text == "internal") {
        o.codeMemory = CodeMemory::Internal;
        return {};
    }
    const size_t colon = text.find(':');
    const std::string mode = text.substr(0, colon);
    auto kb = colon == std::string::npos ? std::nullopt
                                          : parseKB(std::string_view(text).substr(colon + 1));
    if ((mode == "external" || mode == "both") && kb) {
        o.codeMemory = mode == "external" ? CodeMemory::External : CodeMemory::Both;
        o.codeKB = *kb;
        return {};
    }
    return "--code-memory takes internal, external:KB or both:KB, not '" + std::string(v) + "'";
}

std::string setXdata(CliOptions& o, std::string_view v) {
    auto kb = parseKB(v);
    if (!kb || std::find(kExternalDataKB.begin(), kExternalDataKB.end(), *kb) == kExternalDataKB.end())
        return "--xdata takes 0, 2, 4, 8, 16, 32 or 64, not '" + std::string(v) + "'";
    o.xdataKB = *kb;
    return {};
}

std::string hexInto(uint16_t& target, const char* option, std::string_view v) {
    auto value = parseHex(v);
    if (!value) return std::string(option) + " takes a hex address, not '" + std::string(v) + "'";
    target = *value;
    return {};
}

std::string setLoadAddress(CliOptions& o, std::string_view v) {
    return hexInto(o.loadAddress, "--load-address", v);
}
std::string setDataAddress(CliOptions& o, std::string_view v) {
    return hexInto(o.dataAddress, "--data-address", v);
}
std::string setStartAddress(CliOptions& o, std::string_view v) {
    o.startAddress.emplace();
    return hexInto(*o.startAddress, "--start-address", v);
}
std::string setUntilPc(CliOptions& o, std::string_view v) {
    o.untilPc.emplace();
    return hexInto(*o.untilPc, "--until-pc", v);
}

std::string setData(CliOptions& o, std::string_view v) {
    o.dataFile = std::string(v);
    return {};
}
std::string setModules(CliOptions& o, std::string_view v) {
    o.modulesFile = std::string(v);
    return {};
}
std::string setUartIn(CliOptions& o, std::string_view v) {
    o.uartIn = std::string(v);
    return {};
}
std::string setUartOut(CliOptions& o, std::string_view v) {
    o.uartOut = std::string(v);
    return {};
}
std::string setUartPty(CliOptions& o, std::string_view) {
    o.uartPty = true;
    return {};
}
std::string setUartBaud(CliOptions& o, std::string_view v) {
    const std::optional<uint32_t> baud = v.empty() ? std::nullopt : parseHostBaud(v);
    if (!baud || *baud == 0)
        return "--uart-baud takes a rate of " + std::to_string(kMinHostBaud) + " to " +
               std::to_string(kMaxHostBaud) + " bits per second, not '" + std::string(v) + "'";
    o.uartBaud = *baud;
    return {};
}
std::string setTrace(CliOptions& o, std::string_view v) {
    o.trace = std::string(v);
    return {};
}

std::string setProfile(CliOptions& o, std::string_view v) {
    o.profile = std::string(v);
    return {};
}
std::string setCoverage(CliOptions& o, std::string_view) {
    o.coverage = true;
    return {};
}

std::string setPin(CliOptions& o, std::string_view v) {
    const size_t eq = v.find('=');
    const auto pin = parsePinName(v.substr(0, eq));
    const std::string level = eq == std::string_view::npos ? "" : lower(v.substr(eq + 1));
    static constexpr std::array<std::pair<std::string_view, uint8_t>, 3> kLevels{
        {{"0", kInput0}, {"1", kInput1}, {"nc", kInputNC}}};
    for (const auto& [name, setting] : kLevels) {
        if (pin && level == name) {
            o.pins.push_back({*pin, setting});
            return {};
        }
    }
    return "--pin takes Pp.b=0, Pp.b=1 or Pp.b=nc (p 0-3, b 0-7), not '" + std::string(v) + "'";
}

std::string countInto(std::optional<uint64_t>& target, const char* option, std::string_view v) {
    target = parseCount(v);
    if (!target || *target == 0) return std::string(option) + " takes a positive number, not '" + std::string(v) + "'";
    return {};
}
std::string setMaxCycles(CliOptions& o, std::string_view v) {
    return countInto(o.maxCycles, "--max-cycles", v);
}
std::string setMaxSteps(CliOptions& o, std::string_view v) {
    return countInto(o.maxSteps, "--max-steps", v);
}

std::string setVcd(CliOptions& o, std::string_view v) {
    o.vcd = std::string(v);
    return {};
}
std::string setVcdLines(CliOptions& o, std::string_view v) {
    auto lines = parseLineList(v);
    if (!lines)
        return "--vcd-lines takes port lines such as P1.0,P3.0-P3.7,P2 (Pp.b with p 0-3, b 0-7; "
               "a range from the lower line), not '" + std::string(v) + "'";
    o.vcdLines = std::move(*lines);
    return {};
}
std::string setVcdCapacity(CliOptions& o, std::string_view v) {
    auto error = countInto(o.vcdCapacity, "--vcd-capacity", v);
    if (error.empty() && *o.vcdCapacity > kMaxVcdCapacity)
        error = "--vcd-capacity takes at most " + std::to_string(kMaxVcdCapacity) + ", not '" + std::string(v) + "'";
    return error;
}

// reg:NAME=HEX, iram:AA=DD, xdata:AAAA=DD, flag:NAME=0|1, bit:BB=0|1
std::string setBreak(CliOptions& o, std::string_view v) {
    struct Kind {
        std::string_view prefix;
        BreakpointType type;
        bool named; // the part before '=' is a name, not an address
    };
    static constexpr std::array<Kind, 5> kKinds{{
        {"reg", BreakpointType::Register, true},
        {"iram", BreakpointType::InternalMemory, false},
        {"xdata", BreakpointType::ExternalMemory, false},
        {"flag", BreakpointType::Flag, true},
        {"bit", BreakpointType::MemoryBit, false},
    }};
    const size_t colon = v.find(':');
    const size_t eq = v.find('=');
    if (colon != std::string_view::npos && eq != std::string_view::npos && colon < eq) {
        const std::string prefix = lower(v.substr(0, colon));
        for (const Kind& kind : kKinds) {
            if (prefix != kind.prefix) continue;
            BreakOption b;
            b.type = kind.type;
            b.text = std::string(v);
            // The dialog's fields take bare hex digits; the prefix and suffix
            // the other options allow are taken off first.
            const std::string_view target = v.substr(colon + 1, eq - colon - 1);
            if (kind.named)
                b.name = std::string(target);
            else
                b.address = std::string(withoutHexAffixes(target));
            b.data = std::string(withoutHexAffixes(v.substr(eq + 1)));
            o.breaks.push_back(std::move(b));
            return {};
        }
    }
    return "--break takes reg:NAME=HEX, iram:AA=DD, xdata:AAAA=DD, flag:CY|AC|F0|OV|P=0|1 or "
           "bit:BB=0|1, not '" + std::string(v) + "'";
}

// FILE:LINE; the file may itself hold colons (a drive, a folder name).
std::string setBreakLine(CliOptions& o, std::string_view v) {
    const size_t colon = v.rfind(':');
    const auto line = colon == std::string_view::npos ? std::nullopt : parseCount(v.substr(colon + 1));
    if (!line || *line == 0 || *line > UINT32_MAX || colon == 0)
        return "--break-line takes FILE:LINE (a line number from 1), not '" + std::string(v) + "'";
    o.breakLines.push_back({std::string(v.substr(0, colon)), uint32_t(*line), std::string(v)});
    return {};
}

std::string setScenario(CliOptions& o, std::string_view v) {
    o.scenario = std::string(v);
    return {};
}

std::string setSourceMap(CliOptions& o, std::string_view v) {
    o.sourceMap = std::string(v);
    return {};
}

std::string setDump(CliOptions& o, std::string_view v) {
    static constexpr std::array<DumpKind, 12> kAll{
        DumpKind::Regs, DumpKind::Sfr,  DumpKind::Iram,      DumpKind::Xdata,
        DumpKind::Code, DumpKind::Eeprom, DumpKind::Lcd,     DumpKind::Leds,
        DumpKind::IicEeprom, DumpKind::Rtc, DumpKind::SpiEeprom, DumpKind::Uart};
    const size_t colon = v.find(':');
    const std::string name = lower(v.substr(0, colon));
    for (DumpKind kind : kAll) {
        if (name != dumpName(kind)) continue;
        DumpOption d;
        d.kind = kind;
        const bool ranged = kind == DumpKind::Xdata || kind == DumpKind::Code;
        if (colon == std::string_view::npos) {
            d.whole = ranged;
            o.dumps.push_back(d);
            return {};
        }
        const std::string_view range = v.substr(colon + 1);
        const size_t dash = range.find('-');
        auto first = parseHex(range.substr(0, dash));
        auto last = dash == std::string_view::npos ? first : parseHex(range.substr(dash + 1));
        if (!ranged || !first || !last || *last < *first) break;
        d.first = *first;
        d.last = *last;
        o.dumps.push_back(d);
        return {};
    }
    return "--dump takes regs, sfr, iram, xdata:AAAA-BBBB, code:AAAA-BBBB, eeprom, lcd, leds, "
           "iic-eeprom, rtc, spi-eeprom or uart, not '" + std::string(v) + "'";
}

std::string setVariable(CliOptions& o, std::string_view v) {
    if (auto error = CVariables::syntaxError(v)) return "--var '" + std::string(v) + "': " + *error;
    o.variables.emplace_back(v);
    return {};
}

std::string setWatch(CliOptions& o, std::string_view v) {
    std::string error;
    if (v.find(':') != std::string_view::npos) {
        if (!parseWatchAddress(v, error)) return "--watch '" + std::string(v) + "': " + error;
    } else if (auto wrong = CVariables::syntaxError(v)) {
        return "--watch '" + std::string(v) + "': " + *wrong;
    }
    o.watches.emplace_back(v);
    return {};
}

std::string setRecord(CliOptions& o, std::string_view v) {
    o.record = std::string(v);
    return {};
}
std::string setReplay(CliOptions& o, std::string_view v) {
    o.replay = std::string(v);
    return {};
}
std::string setToCycle(CliOptions& o, std::string_view v) {
    o.toCycle = parseCount(v);
    if (!o.toCycle) return "--to-cycle takes a machine cycle (a number from 0), not '" + std::string(v) + "'";
    return {};
}
std::string setLastWrite(CliOptions& o, std::string_view v) {
    std::string error;
    if (v.find(':') != std::string_view::npos) {
        if (!parseWatchAddress(v, error)) return "--last-write '" + std::string(v) + "': " + error;
    } else if (auto wrong = CVariables::syntaxError(v)) {
        return "--last-write '" + std::string(v) + "': " + *wrong;
    }
    o.lastWrite = std::string(v);
    return {};
}

std::string setSelfJump(CliOptions& o, std::string_view) {
    o.haltOnSelfJump = true;
    return {};
}
std::string setJson(CliOptions& o, std::string_view) {
    o.json = true;
    return {};
}
std::string setStats(CliOptions& o, std::string_view) {
    o.stats = true;
    return {};
}
std::string setHelp(CliOptions& o, std::string_view) {
    o.help = true;
    return {};
}
std::string setVersion(CliOptions& o, std::string_view) {
    o.version = true;
    return {};
}

// How an option takes its value: none (a switch), one value given once, a
// file name given once (never empty), or a value each time it is repeated.
enum class Takes : uint8_t { Nothing, Once, FileOnce, Repeated };

struct OptionRow {
    std::string_view name;
    Takes takes;
    Handler handler;
};

constexpr std::array<OptionRow, 40> kOptions{{
    {"--device", Takes::Once, setDevice},
    {"--clock", Takes::Once, setClock},
    {"--code-memory", Takes::Once, setCodeMemory},
    {"--xdata", Takes::Once, setXdata},
    {"--load-address", Takes::Once, setLoadAddress},
    {"--data", Takes::FileOnce, setData},
    {"--data-address", Takes::Once, setDataAddress},
    {"--modules", Takes::FileOnce, setModules},
    {"--scenario", Takes::FileOnce, setScenario},
    {"--pin", Takes::Repeated, setPin},
    {"--uart-in", Takes::FileOnce, setUartIn},
    {"--uart-out", Takes::FileOnce, setUartOut},
    {"--uart-pty", Takes::Nothing, setUartPty},
    {"--uart-baud", Takes::Once, setUartBaud},
    {"--max-cycles", Takes::Once, setMaxCycles},
    {"--max-steps", Takes::Once, setMaxSteps},
    {"--until-pc", Takes::Once, setUntilPc},
    {"--start-address", Takes::Once, setStartAddress},
    {"--break", Takes::Repeated, setBreak},
    {"--break-line", Takes::Repeated, setBreakLine},
    {"--source-map", Takes::FileOnce, setSourceMap},
    {"--halt-on-self-jump", Takes::Nothing, setSelfJump},
    {"--dump", Takes::Repeated, setDump},
    {"--json", Takes::Nothing, setJson},
    {"--var", Takes::Repeated, setVariable},
    {"--watch", Takes::Repeated, setWatch},
    {"--trace", Takes::FileOnce, setTrace},
    {"--vcd", Takes::FileOnce, setVcd},
    {"--vcd-lines", Takes::Once, setVcdLines},
    {"--vcd-capacity", Takes::Once, setVcdCapacity},
    {"--stats", Takes::Nothing, setStats},
    {"--profile", Takes::FileOnce, setProfile},
    {"--coverage", Takes::Nothing, setCoverage},
    {"--record", Takes::FileOnce, setRecord},
    {"--replay", Takes::FileOnce, setReplay},
    {"--to-cycle", Takes::Once, setToCycle},
    {"--last-write", Takes::Once, setLastWrite},
    {"--help", Takes::Nothing, setHelp},
    {"-h", Takes::Nothing, setHelp},
    {"--version", Takes::Nothing, setVersion},
}};

// What a replay takes besides the recording: where to stop and what to report.
constexpr std::array<std::string_view, 7> kReplayOptions{
    "--replay", "--to-cycle", "--last-write", "--dump", "--json", "--var", "--source-map"};

} // namespace

std::optional<std::vector<int>> parseLineList(std::string_view text) {
    std::vector<int> lines;
    for (;;) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const size_t dash = item.find('-');
        std::optional<int> first, last;
        if (auto port = parsePortName(item)) {
            first = *port;
            last = *port + 7;
        } else {
            first = parsePinName(item.substr(0, dash));
            last = dash == std::string_view::npos ? first : parsePinName(item.substr(dash + 1));
        }
        if (!first || !last || *last < *first) return std::nullopt;
        for (int pin = *first; pin <= *last; ++pin)
            if (std::find(lines.begin(), lines.end(), pin) == lines.end()) lines.push_back(pin);
        if (comma == std::string_view::npos) return lines;
        text.remove_prefix(comma + 1);
    }
}

std::string_view dumpName(DumpKind kind) {
    static constexpr std::array<std::string_view, 12> kNames{
        "regs", "sfr", "iram", "xdata", "code", "eeprom",
        "lcd", "leds", "iic-eeprom", "rtc", "spi-eeprom", "uart"};
    return kNames[size_t(kind)];
}

bool CliOptions::watchesVariables() const {
    return std::any_of(watches.begin(), watches.end(),
                       [](const std::string& w) { return w.find(':') == std::string::npos; });
}

bool CliOptions::wants(DumpKind kind) const {
    return std::any_of(dumps.begin(), dumps.end(), [kind](const DumpOption& d) { return d.kind == kind; });
}

ParseResult parseCommandLine(std::span<const std::string_view> args) {
    ParseResult result;
    CliOptions& o = result.options;
    bool optionsEnded = false;
    std::array<bool, kOptions.size()> given{};
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            if (!o.program.empty()) {
                result.error = "more than one PROGRAM given ('" + o.program + "', '" + std::string(arg) + "')";
                return result;
            }
            o.program = std::string(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // --name=value or --name value
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const size_t eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const auto row = std::find_if(kOptions.begin(), kOptions.end(),
                                      [name](const OptionRow& r) { return r.name == name; });
        if (row == kOptions.end()) {
            result.error = "unknown option '" + std::string(name) + "'";
            return result;
        }
        const bool takesValue = row->takes != Takes::Nothing;
        if (takesValue && !value) {
            if (i + 1 >= args.size()) {
                result.error = std::string(name) + " needs a value";
                return result;
            }
            value = args[++i];
        } else if (!takesValue && value) {
            result.error = std::string(name) + " takes no value";
            return result;
        }
        // A second value would silently replace the first.
        bool& seen = given[size_t(row - kOptions.begin())];
        if (seen && (row->takes == Takes::Once || row->takes == Takes::FileOnce)) {
            result.error = std::string(name) + " given more than once";
            return result;
        }
        seen = true;
        // An empty name would read as "not given" and the run would go on
        // without the file.
        if (row->takes == Takes::FileOnce && value->empty()) {
            result.error = std::string(name) + " needs a file name, not an empty value";
            return result;
        }
        result.error = row->handler(o, value.value_or(std::string_view{}));
        if (!result.error.empty()) return result;
    }
    if (!o.replay.empty()) {
        // The recording holds the program, the board and the run.
        for (size_t i = 0; i < kOptions.size(); ++i)
            if (given[i] && std::find(kReplayOptions.begin(), kReplayOptions.end(), kOptions[i].name) ==
                                kReplayOptions.end())
                result.error = std::string(kOptions[i].name) +
                               " cannot be given with --replay: the recording holds the program, the board and the run";
        if (result.error.empty() && !o.program.empty())
            result.error = "--replay takes no PROGRAM: the recording holds it ('" + o.program + "')";
        if (result.error.empty() && !o.variables.empty() && o.sourceMap.empty())
            result.error = "--var needs --source-map (an SDCC debug file or an asm51 listing)";
        if (result.error.empty() && !o.lastWrite.empty() && o.lastWrite.find(':') == std::string::npos &&
            o.sourceMap.empty())
            result.error = "--last-write of a variable needs --source-map (an SDCC debug file or an asm51 listing)";
        return result;
    }
    if (!o.help && !o.version && o.program.empty()) result.error = "no PROGRAM given";
    else if (o.toCycle) result.error = "--to-cycle needs --replay FILE.qrec";
    else if (!o.lastWrite.empty() && o.record.empty())
        result.error = "--last-write needs a history: --record FILE.qrec or --replay FILE.qrec";
    else if (!o.lastWrite.empty() && o.lastWrite.find(':') == std::string::npos && o.sourceMap.empty())
        result.error = "--last-write of a variable needs --source-map (an SDCC debug file or an asm51 listing)";
    // Both would feed the chip's receiver.
    else if (o.uartPty && !o.uartIn.empty()) result.error = "--uart-pty and --uart-in cannot be combined";
    else if (o.vcd.empty() && (!o.vcdLines.empty() || o.vcdCapacity))
        result.error = "--vcd-lines and --vcd-capacity need --vcd FILE";
    else if (!o.breakLines.empty() && o.sourceMap.empty())
        result.error = "--break-line needs --source-map";
    else if (!o.variables.empty() && o.sourceMap.empty())
        result.error = "--var needs --source-map (an SDCC debug file or an asm51 listing)";
    else if (o.watchesVariables() && o.sourceMap.empty())
        result.error = "--watch of a variable needs --source-map (an SDCC debug file or an asm51 listing)";
    else if (!o.scenario.empty() && (o.hasStopCondition() || o.uartPty || !o.uartIn.empty() || !o.uartOut.empty() ||
                                     !o.trace.empty() || !o.vcd.empty() || !o.profile.empty() || !o.dumps.empty() ||
                                     !o.variables.empty() || o.json || o.coverage || o.uartBaud))
        result.error = "--scenario takes only the device, memory, board and --source-map options: "
                       "its steps say what to run and check";
    return result;
}

std::string usageText() {
    return R"(Usage: quorvel-cli [options] PROGRAM
       quorvel-cli --dap
Runs an 8051 program (Intel HEX if the name ends in .hex or .ihx, else
binary) on the simulator's core without a window and reports what it did.
Each option that takes a value is given once (a second --until-pc, --trace
... is refused), except --pin, --break, --break-line and --dump, which
repeat; a FILE is never empty.

Device and memory:
  --device NAME        AT89C1051 AT89C2051 AT89C4051 AT89C51 AT89C52 AT89C55
                       AT89S53 AT89S8252 8031 8032 (default AT89C52)
  --clock HZ           operating frequency (default 12000000)
  --code-memory M      internal | external:KB | both:KB
  --xdata KB           external data memory: 0 2 4 8 16 32 64 (default 0)
  --load-address HEX   where a binary PROGRAM is loaded (default 0)
  --data FILE          load FILE into external data memory
  --data-address HEX   where a binary --data FILE is loaded (default 0)
  --start-address HEX  start executing here instead of at 0
Outside world:
  --modules FILE.MST   module settings (LCD, LEDs, keys, IIC, SPI wiring)
  --pin P1.0=0|1|nc    input setting of a port line (repeatable)
  --uart-in FILE|-     bytes the simulated host sends, one after the other
  --uart-out FILE|-    every byte the chip transmits, as it is transmitted
  --uart-pty           connect the serial line to a new pseudo-terminal; its
                       path is printed as "uart-pty: PATH" on standard error
                       before the run starts. Bytes written there reach the
                       chip one character time apart, what it transmits can
                       be read there. Without a stop condition the run goes
                       on until SIGINT, SIGTERM or SIGHUP ends it (stop
                       "interrupted", exit status 0), paced to real time.
                       Not with --uart-in.
  --uart-baud N        the host's own baud rate (default: as the chip): it
                       sends and reads frames on RXD and TXD at N bits per
                       second, so a mismatch garbles bytes as on a wire;
                       framing errors are counted on standard error
Stopping:
  --max-cycles N       stop after N machine cycles (exit status 3)
  --max-steps N        stop after N instructions (exit status 3)
  --until-pc HEX       stop when the program counter reaches HEX
  --break COND         stop when COND holds after an instruction (repeatable):
                       reg:NAME=HEX iram:AA=DD xdata:AAAA=DD
                       flag:CY|AC|F0|OV|P=0|1 bit:BB=0|1
  --break-line F:N     stop when the code of line N of source file F is
                       reached (repeatable; needs --source-map; a line
                       without code stands for the next line with code)
  --halt-on-self-jump  stop at a jump to itself (SJMP $) once the UART
                       transmitter is idle
  --watch SPACE:HEX    stop after an instruction that writes the place
                       (repeatable; SPACE iram, sfr, bit, xdata or eeprom;
                       an SFR or bit may be named: sfr:P1, bit:TI); the
                       stop says the old and new value and the writing
                       instruction's address (reason watch, exit status 0)
  --watch VAR          the same for every byte of a variable (needs
                       --source-map, as --var does)
  Without any of these the run stops after 100000000 machine cycles
  (with --uart-pty it goes on until interrupted).
Reporting:
  --dump WHAT          regs sfr iram xdata[:AAAA-BBBB] code[:AAAA-BBBB] eeprom
                       lcd leds iic-eeprom rtc spi-eeprom uart (repeatable)
  --json               print the stop reason, the call stack, the --var
                       variables and the dumps as one JSON object
  --trace FILE|-       one line per instruction
  --source-map FILE    source lines for --trace (a trailing "; file:line"),
                       --break-line and the stop report: an asm51 listing
                       (.lst), an SDCC --debug file (.cdb, with the .rst
                       listings beside it), or the program's .hex/.ihx to use
                       the .cdb (else .lst) of the same name beside it
  --var EXPR           a variable shown at the stop with its type, value
                       and place (repeatable; needs --source-map): a C
                       variable of an SDCC debug file (.cdb) - a name,
                       s.field, a[3], *p, p->x - or a DATA, IDATA, XDATA or
                       BIT symbol of an asm51 listing (.lst). The frame
                       pointer of reentrant functions comes from the
                       linker's .map beside the .cdb. An expression that
                       cannot be read is a usage error; an unknown name is
                       an error of that variable in the report; a variable
                       without a place at the stop is "not available"
                       (JSON null). Build C with sdcc --debug; --nooverlay
                       also gives the locals of functions that call
                       nothing their types and places
  --stats              counts, simulated and host time on standard error
  --profile FILE|-     executions and machine cycles per instruction address,
                       with totals and the coverage, as JSON
  --coverage           the share of the program's instructions executed and
                       the never-executed address ranges (in the JSON object
                       with --json)
  --vcd FILE|-         the port lines' changes over the run as a value change
                       dump (VCD) for a waveform viewer such as GTKWave
  --vcd-lines LIST     the lines it shows, e.g. P1.0,P3.0-P3.7,P2 (default
                       every port line of the device: P0.0-P3.7 on the
                       40-pin parts); a line the device lacks is refused
  --vcd-capacity N     line changes kept (default 1048576); when more
                       happen, the oldest go and standard error says so
Recording and replay:
  --record FILE.qrec   save the run's history to FILE.qrec when it ends: the
                       program, the board, the inputs from outside and
                       snapshots of the machine every 1048576 instructions
                       (the file is replaced whole, never left half written).
                       With --uart-pty the terminal's bytes then reach the
                       chip one per 4096 instructions, each logged
  --replay FILE.qrec   replay a recording, bit for bit on any machine, to the
                       end of its run (its stop reason and exit status); give
                       no PROGRAM, and
                       besides --to-cycle and --last-write only --dump,
                       --json, --var and --source-map. A damaged or truncated
                       recording, or one of another version or build, is
                       refused (exit status 1)
  --to-cycle N         stop the replay at the last instruction boundary at or
                       before machine cycle N: the dumps and --var show that
                       moment (stop reason max-cycles, exit status 0)
  --last-write P       add the last write to P before the stop (P is
                       SPACE:HEX as --watch takes it, or a variable with
                       --source-map; needs --record or --replay): its cycle,
                       the writing instruction's address and source line, the
                       old and new value ("[last-write]"; JSON "last_write",
                       null when nothing wrote P)
  With either the report also gives the hash of the machine's whole state
  ("[state]"; JSON "state_hash").
Scenario:
  --scenario FILE      run the steps of a scenario file (YAML) against
                       PROGRAM on the board the device, memory, --modules and
                       --pin options describe (--source-map for
                       run-until-line and expect-var); prints "passed" or
                       the failing step, and on failure writes the serial
                       transcript, a VCD of the port lines and the machine's
                       state to quorvel-artifacts/NAME/ (exit status 0 or 1;
                       1 also for a scenario file that does not read, with
                       its line and column). A file:
                         name: echo
                         timeout: 500ms        # of each wait (default 1s)
                         steps:
                           - wait-serial: "Demo\r\n"
                           - write-serial: "A"
                           - wait-serial: { text: "A", timeout: 20ms }
                           - press: P3.2       # a key's line, or a keypad key
                           - delay: 30ms       # simulated time
                           - release: P3.2
                           - set-pin: { pin: P3.3, value: 0 }
                           - expect-pin: { pin: P1.0, value: 1 }
                           - wait-pin: { pin: P1.0, value: 0 }
                           - expect-lcd: "Hello"   # or { line: 2, text: ... }
                           - expect-var: { name: count, value: 3 }
                           - run-until-line: main.c:42
Other:
  --dap                serve the Debug Adapter Protocol on standard input
                       and output for an editor's debugger (alone: the
                       editor's launch configuration gives the program and
                       the options above)
  --help, -h           print this text and exit
  --version            print the version and exit

Outputs (--trace, --uart-out, --profile, --vcd) may be files, pipes, FIFOs
or devices; one naming the runner's own standard output or error
(/dev/stdout, /dev/fd/2, ...) is written through it, never emptied; two may
not name the same file. --profile and --vcd replace their file at the end.

Exit status: 0 stopped by a condition asked for, 3 cycle or step limit,
4 PC Exceeds Maximum Program Memory, 1 load or configuration error or an
output that could not be written (the run ends there), 2 usage error.
)";
}

std::string versionText() { return "quorvel-cli " QUORVEL_VERSION "\n"; }

} // namespace quorvel::cli
