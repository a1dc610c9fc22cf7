// The command line of quorvel-cli: what a test script or CI job asks for,
// parsed into one plain struct. Parsing checks only the form of each argument
// (numbers, hex fields, names of dumps and conditions); whatever depends on
// the device (frequency limit, memory sizes, register names, breakpoint
// values) is checked when the machine is set up, by the same core functions
// the GUI's dialogs use.
#pragma once

#include "machine/breakpoint.h"
#include "chip/device.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

// --code-memory: "internal", "external:KB" or "both:KB"; Default lets the
// device decide (internal, or external 64K on the 8031/8032).
enum class CodeMemory : uint8_t { Default, Internal, External, Both };

// --pin P1.0=0|1|nc
struct PinOption {
    int index = 0;       // port * 8 + bit
    uint8_t setting = 0; // PinInputSetting: 0, 1 or NC
};

// --break kind:...=value, kept as the breakpoint dialog's fields; resolved
// against the device's register list when the machine is set up.
struct BreakOption {
    BreakpointType type = BreakpointType::None;
    std::string name;    // register name (reg:) or flag name (flag:)
    std::string address; // iram:, xdata:, bit:
    std::string data;
    std::string text;    // as given, for messages
};

// --break-line FILE:LINE, resolved against the --source-map when the
// machine is set up.
struct BreakLineOption {
    std::string file;
    uint32_t line = 0;
    std::string text; // as given, for messages
};

enum class DumpKind : uint8_t {
    Regs, Sfr, Iram, Xdata, Code, Eeprom, Lcd, Leds, IicEeprom, Rtc, SpiEeprom, Uart,
};

struct DumpOption {
    DumpKind kind = DumpKind::Regs;
    uint16_t first = 0; // xdata: and code: ranges, inclusive
    uint16_t last = 0;
    bool whole = false; // "xdata" or "code" without a range: the whole memory
};

// The name a dump has on the command line and in the JSON object.
std::string_view dumpName(DumpKind kind);

struct CliOptions {
    std::string program;
    DeviceKind device = DeviceKind::AT89C52;
    std::string clock = "12000000"; // checked by the device dialog's rules
    CodeMemory codeMemory = CodeMemory::Default;
    int codeKB = 0;
    int xdataKB = 0;
    uint16_t loadAddress = 0;
    std::string dataFile;
    uint16_t dataAddress = 0;
    std::string modulesFile;
    std::string scenario; // --scenario FILE: its steps instead of a run
    std::vector<PinOption> pins;
    std::string uartIn;  // file, "-" for standard input, empty for none
    std::string uartOut; // file, "-" for standard output, empty for none
    bool uartPty = false; // the serial line on a pseudo-terminal
    uint32_t uartBaud = 0; // the host's own baud rate; 0: as the chip
    std::optional<uint64_t> maxCycles;
    std::optional<uint64_t> maxSteps;
    std::optional<uint16_t> untilPc;
    std::optional<uint16_t> startAddress;
    std::vector<BreakOption> breaks;
    std::vector<BreakLineOption> breakLines;
    bool haltOnSelfJump = false;
    std::string sourceMap; // .lst, .cdb, or a program with one of them beside it
    std::vector<DumpOption> dumps;
    std::vector<std::string> variables; // --var expressions, in the order given
    std::vector<std::string> watches;   // --watch SPACE:ADDRESS or C variable expressions
    // A --watch of a C variable (not SPACE:ADDRESS) needs the debug file.
    bool watchesVariables() const;
    bool json = false;
    std::string trace; // file, "-" for standard output
    std::string vcd;   // waveform file, "-" for standard output, empty for none
    std::vector<int> vcdLines; // pin indexes in the order given; empty: the device's
    std::optional<uint64_t> vcdCapacity; // line changes the recorder keeps
    bool stats = false;
    std::string profile; // file, "-" for standard output, empty for none
    bool coverage = false;
    // --record FILE.qrec: the run's history saved; --replay FILE.qrec: one
    // replayed (to its end, or to --to-cycle N); --last-write SPACE:ADDR or
    // VAR: the last write before the stop, reported.
    std::string record;
    std::string replay;
    std::optional<uint64_t> toCycle;
    std::string lastWrite;
    bool help = false;
    bool version = false;

    bool hasStopCondition() const {
        return maxCycles || maxSteps || untilPc || !breaks.empty() || !breakLines.empty() ||
               haltOnSelfJump || !watches.empty();
    }
    bool wants(DumpKind kind) const;
};

// A --vcd-lines list: "P1.0,P3.0-P3.7,P2" (a range by pin index, a whole
// port by its name), any case, duplicates dropped; nothing on a bad list.
std::optional<std::vector<int>> parseLineList(std::string_view text);

// The most line changes --vcd-capacity may ask the recorder to keep (16
// bytes each).
constexpr uint64_t kMaxVcdCapacity = uint64_t(1) << 24;
constexpr uint64_t kDefaultVcdCapacity = uint64_t(1) << 20;

// Applied when no stop condition at all is given, except with --uart-pty:
// that run goes on until a signal ends it.
constexpr uint64_t kDefaultMaxCycles = 100000000;

struct ParseResult {
    CliOptions options;
    std::string error; // not empty: a usage error (exit status 2)
};

// `args` excludes the program name.
ParseResult parseCommandLine(std::span<const std::string_view> args);

// The --help text.
std::string usageText();
// The --version text: the program's name and the project's version.
std::string versionText();

} // namespace quorvel::cli
