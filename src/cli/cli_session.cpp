#include "cli/cli_session.h"

#include "cli/cli_variables.h"
#include "debug/program_symbols.h"

#include "chip/serial_line.h"
#include "common/hex_text.h"
#include "modules/serial_host.h"
#include "settings/module_settings_file.h"
#include "tools/file_loader.h"
#include "tools/source_map_files.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace quorvel::cli {

void UartRecorder::hostTakes(uint16_t entry) {
    const char byte = char(entry & 0xFF);
    if (keep_) transmitted_.push_back(byte);
    if (collect_) collect_->push_back(byte);
    if (match_) match_->byteSent(uint8_t(byte));
    serialHostByteTransmitted(machine_.modules.serialHost, entry);
    if (pty_) pty_->byteTransmitted(entry);
    if (out_) {
        std::fputc(static_cast<unsigned char>(byte), out_);
        if (byte == '\n') std::fflush(out_);
    }
}

void UartRecorder::byteTransmitted(uint16_t entry) {
    if (!serialLineInUse(machine_.chip)) hostTakes(entry);
}

void UartRecorder::hostByteRead(uint16_t entry, bool) { hostTakes(entry); }

void UartRecorder::byteReceived(uint16_t entry) {
    if (keep_) received_.push_back(uint8_t(entry & 0xFF));
    // The host hands over its next byte once the chip has this one.
    serialHostByteReceived(machine_.modules.serialHost, machine_.chip);
    if (pty_) pty_->byteReceived(machine_.modules.serialHost, machine_.chip);
}

void UartRecorder::hostFrameSent() {
    serialHostFrameSent(machine_.modules.serialHost, machine_.chip);
    if (pty_) pty_->frameSent(machine_.modules.serialHost, machine_.chip);
}

std::chrono::microseconds RealTimePacer::wait(const ChipState& chip, Clock::time_point now) const {
    const double simulatedUs = double(chip.cycleCount() - startCycles_) * double(chip.cycleTimeUs);
    const auto simulated = std::chrono::microseconds(int64_t(simulatedUs));
    const auto ahead = simulated - std::chrono::duration_cast<std::chrono::microseconds>(now - start_);
    return ahead > kLead ? ahead - kLead : std::chrono::microseconds(0);
}

namespace {

using Message = std::optional<std::string>;

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

template <size_t N>
int indexOf(const std::array<int, N>& table, int value) {
    const auto it = std::find(table.begin(), table.end(), value);
    return it == table.end() ? -1 : int(it - table.begin());
}

// The program-memory and data-memory dialogs' choices from --code-memory and
// --xdata, under the rules that the device fixes: the 20-pin parts have fixed
// program memory and no external data memory, the 8031/8032 have no on-chip
// program memory.
Message chooseMemories(const CliOptions& o, DeviceSelection& selection) {
    const DeviceInfo& info = deviceInfo(o.device);
    const std::string device = info.captionName;
    if (!info.memoryButtons) {
        if (o.codeMemory != CodeMemory::Default && o.codeMemory != CodeMemory::Internal)
            return "the " + device + " has fixed program memory: --code-memory can only be internal";
        if (o.xdataKB != 0) return "the " + device + " has no external data memory";
    }
    CodeMemory mode = o.codeMemory;
    int kb = o.codeKB;
    if (info.externalOnly) {
        if (mode == CodeMemory::Default) {
            mode = CodeMemory::External;
            kb = 64;
        } else if (mode != CodeMemory::External) {
            return "the " + device + " has no on-chip program memory: use --code-memory external:KB";
        }
    }
    switch (mode) {
    case CodeMemory::Default:
    case CodeMemory::Internal: selection.programMode = ProgramMemoryMode::InternalOnly; break;
    case CodeMemory::External: {
        const int choice = indexOf(kExternalProgramKB, kb);
        if (choice < 0) return "--code-memory external takes 2, 4, 8, 16, 32 or 64 KB";
        selection.programMode = ProgramMemoryMode::ExternalOnly;
        selection.externalSizeChoice = uint8_t(choice);
        break;
    }
    case CodeMemory::Both: {
        // The sixth choice fills the 64K address space; the dialog labels it
        // with what it adds to the on-chip memory ("56K" on an AT89C52).
        const int sixth = 64 - info.onChipKB;
        int choice = (kb == sixth || kb == 64) ? 5 : indexOf(kExternalProgramKB, kb);
        if (choice < 0 || choice > 5)
            return "--code-memory both takes 2, 4, 8, 16, 32 or " + std::to_string(sixth) +
                   " KB on the " + device;
        selection.programMode = ProgramMemoryMode::Both;
        selection.externalSizeChoice = uint8_t(choice);
        break;
    }
    }
    selection.xdataLimit = xdataLimitOfChoice(indexOf(kExternalDataKB, o.xdataKB));
    return std::nullopt;
}

// The first error among a loader's messages ("File Loading Stopped" follows
// the reason and is left out).
std::string firstError(const std::vector<UserMessage>& messages) {
    for (const UserMessage& m : messages)
        if (m.icon == UserMessage::Icon::Error) return m.text;
    return "File Loading Stopped";
}

// A HEX file with wrong checksums still loads, as in the GUI; its count goes
// to `warnings` as the GUI's loading details show it.
Message loadFile(ChipState& chip, LoadTarget target, const std::string& path, uint16_t address,
                 std::vector<std::string>& warnings) {
    FileLoader loader(target);
    if (auto failure = loader.open(path)) return path + ": " + failure->text;
    if (loader.needsStartAddress()) loader.setStartAddress(address);
    while (loader.step(chip)) {
    }
    const LoadOutcome& outcome = loader.outcome();
    if (outcome.result != LoadResult::Loaded) return path + ": " + firstError(outcome.messages);
    if (outcome.badChecksums) warnings.push_back(path + ": " + outcome.checksumText());
    return std::nullopt;
}

// The 20-pin parts lack P0, P2 and P3.6: neither an input setting nor a
// waveform may name those lines.
Message portLineOfDevice(const DeviceInfo& info, int pin) {
    if (info.has40Pins() || ((info.pinMask >> pin) & 1u)) return std::nullopt;
    return pinRefName(pinRefFromIndex(pin)) + " is not a port line of the " + info.captionName;
}

Message setPins(const CliOptions& o, Machine& machine) {
    const DeviceInfo& info = machine.selection.info();
    for (const PinOption& pin : o.pins) {
        if (Message failure = portLineOfDevice(info, pin.index)) return failure;
        machine.chip.pins.setSetting(pin.index, pin.setting);
    }
    for (int line : o.vcdLines)
        if (Message failure = portLineOfDevice(info, line)) return *failure + " (--vcd-lines)";
    machine.chip.pins.applySettings(machine.chip.portLatches());
    return std::nullopt;
}

// Reads the source map and finds the code of each --break-line line; a line
// without code stands for the next line with code, which a warning names.
// A line whose code lies beyond the device's program memory can never be
// reached: refused, or named in a warning when only part of its code does.
Message readSourceMap(const CliOptions& o, Session& session) {
    SourceMap map;
    SourceMapReport& report = session.sourceMapReport;
    if (Message failure = loadSourceMap(o.sourceMap, map, &report)) return failure;
    session.warnings.insert(session.warnings.end(), report.warnings.begin(), report.warnings.end());
    const uint32_t codeLimit = session.machine.chip.codeLimit;
    const std::string device = session.machine.selection.info().captionName;
    CodeAddressSet lineBreaks;
    for (const BreakLineOption& b : o.breakLines) {
        std::string error;
        const auto resolved = map.resolveLine(b.file, b.line, &error);
        if (!resolved) return error + " (--break-line " + b.text + ")";
        if (resolved->where.line != b.line)
            session.warnings.push_back(b.text + " has no code; breaking at " + map.text(resolved->where));
        const std::vector<uint16_t>& code = resolved->addresses;
        const auto beyond = std::find_if(code.begin(), code.end(), [codeLimit](uint16_t a) { return a > codeLimit; });
        if (beyond != code.end()) {
            const std::string text = map.text(resolved->where) + " has code at " + hexText(*beyond, 4) +
                                     ", beyond the program memory of the " + device + " (highest address " +
                                     hexText(codeLimit, 4) + ")";
            if (beyond == code.begin()) return text + " (--break-line " + b.text + ")";
            session.warnings.push_back(text + ": the run cannot stop there");
        }
        for (uint16_t address : code)
            if (address <= codeLimit) lineBreaks.set(address);
    }
    if (!o.breakLines.empty()) session.debug.setLineBreaks(lineBreaks);
    // The symbols name the call stack's functions too.
    session.debug.setVariables(loadProgramSymbols(report, session.warnings));
    session.debug.setSourceMap(std::move(map));
    return std::nullopt;
}

// Resolves a --break option to a condition with the breakpoint dialog's
// rules (its list of registers and flags, its hex fields and messages).
Message resolveBreak(const BreakOption& b, const Machine& machine, BreakpointCondition& condition) {
    const DeviceKind kind = machine.selection.kind;
    const std::string context = " (--break " + b.text + ")";
    int listIndex = -1;
    if (b.type == BreakpointType::Register) {
        std::string name = upper(b.name);
        if (name == "A") name = "ACC";
        const auto list = breakpointRegisters(kind);
        std::string known;
        for (size_t i = 0; i < list.size(); ++i) {
            if (name == list[i].shortName) listIndex = int(i);
            known += std::string(" ") + list[i].shortName;
        }
        if (listIndex < 0)
            return "unknown register '" + b.name + "' for the " +
                   machine.selection.info().captionName + "; registers:" + known;
    } else if (b.type == BreakpointType::Flag) {
        std::string name = upper(b.name);
        if (name == "C") name = "CY";
        const auto flags = breakpointFlags();
        for (size_t i = 0; i < flags.size(); ++i)
            if ("FLAG " + name == upper(flags[i].shortName)) listIndex = int(i);
        if (listIndex < 0) return "unknown flag '" + b.name + "'; flags: CY AC F0 OV P";
    } else if (b.type == BreakpointType::ExternalMemory &&
               !externalBreakpointAvailable(kind, machine.chip.hasXdata())) {
        return "xdata breakpoints need external data memory (--xdata KB)" + context;
    }
    if (auto failure = acceptBreakpointDialog(b.type, listIndex, b.address, b.data, kind, condition))
        return failure->text + context;
    return std::nullopt;
}

Message resolveDump(DumpOption& d, const Machine& machine) {
    const ChipState& chip = machine.chip;
    const std::string device = machine.selection.info().captionName;
    auto range = [&d](uint16_t limit, const char* space) -> Message {
        if (d.whole) {
            d.first = 0;
            d.last = limit;
        } else if (d.last > limit) {
            return std::string("--dump ") + std::string(dumpName(d.kind)) + ":" + hexText(d.first, 4) +
                   "-" + hexText(d.last, 4) + " lies beyond " + space + " (highest address " +
                   hexText(limit, 4) + ")";
        }
        return std::nullopt;
    };
    switch (d.kind) {
    case DumpKind::Xdata:
        if (!chip.hasXdata()) return "--dump xdata needs external data memory (--xdata KB)";
        return range(chip.xdataLimit, "external data memory");
    case DumpKind::Code: return range(chip.codeLimit, "program memory");
    case DumpKind::Eeprom:
        if (!chip.hasEeprom()) return "the " + device + " has no on-chip EEPROM";
        return std::nullopt;
    default: return std::nullopt;
    }
}

Message readUartInput(const std::string& source, std::istream& standardInput,
                      std::vector<uint8_t>& bytes) {
    if (source == "-") {
        // Standard input has the cap a file has.
        bytes.clear();
        char buffer[65536];
        while (standardInput.read(buffer, sizeof buffer) || standardInput.gcount() > 0) {
            const size_t got = size_t(standardInput.gcount());
            if (bytes.size() + got > kMaxTransferFileSize)
                return "standard input: more than " + std::to_string(kMaxTransferFileSize >> 20) +
                       " MiB for the serial port";
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return std::nullopt;
    }
    TransferFile file = readTransferFile(source);
    if (file.error) return source + ": " + file.error->text;
    bytes = std::move(file.bytes);
    return std::nullopt;
}

// The module settings file, read as the GUI's "Load Module Setting" reads it;
// a line outside the device's available lines becomes P1.0. A file it
// refuses gives the GUI's message, and on the next line what is wrong.
Message readModules(const std::string& path, Machine& machine);

} // namespace

std::optional<std::string> setUpBoard(const CliOptions& o, Machine& machine) {
    DeviceSelection selection;
    selection.kind = o.device;
    if (Message failure = chooseMemories(o, selection)) return failure;
    if (auto failure = acceptDeviceDialog(selection, o.clock, comboIndexOfDeviceKind(o.device)))
        return failure->text + " (--clock " + o.clock + ")";
    configureMachine(machine, selection);

    if (!o.modulesFile.empty())
        if (Message failure = readModules(o.modulesFile, machine)) return failure;
    return setPins(o, machine);
}

std::optional<std::string> setUpSession(const CliOptions& o, Session& session,
                                        std::istream& standardInput) {
    Machine& machine = session.machine;
    if (Message failure = setUpBoard(o, machine)) return failure;

    for (const BreakOption& b : o.breaks) {
        BreakpointCondition condition;
        if (Message failure = resolveBreak(b, machine, condition)) return failure;
        session.debug.breakpoints.push_back(condition);
    }
    if (!o.sourceMap.empty())
        if (Message failure = readSourceMap(o, session)) return failure;
    session.dumps = o.dumps;
    for (DumpOption& d : session.dumps)
        if (Message failure = resolveDump(d, machine)) return failure;

    const bool noSerialPort = machine.selection.kind == DeviceKind::AT89C1051;
    if (noSerialPort && (!o.uartIn.empty() || !o.uartOut.empty() || o.uartPty))
        return "the AT89C1051 has no serial port";

    // Load Program resets the chip first, as in the GUI.
    machine.chip.reset();
    resetModulesOnCpuReset(machine.modules);
    if (Message failure = loadFile(machine.chip, LoadTarget::ProgramMemory, o.program, o.loadAddress,
                                     session.warnings))
        return failure;
    if (!o.dataFile.empty()) {
        if (!machine.chip.hasXdata()) return "--data needs external data memory (--xdata KB)";
        if (Message failure =
                loadFile(machine.chip, LoadTarget::ExternalDataMemory, o.dataFile, o.dataAddress,
                         session.warnings))
            return failure;
    }
    if (!o.uartIn.empty())
        if (Message failure = readUartInput(o.uartIn, standardInput, session.uartInput))
            return failure;
    const ChipState& chip = machine.chip;
    if (auto mismatch = listedCodeMismatch(session.sourceMapReport,
                                           [&chip](uint16_t address) { return chip.readCode(address); },
                                           chip.codeLimit))
        session.warnings.push_back(*mismatch);

    const uint16_t start = o.startAddress.value_or(0);
    if (start > machine.chip.codeLimit) return "PC Exceeds Maximum Program Memory";
    machine.chip.pc = start;
    machine.chip.side.instructionAddress = start;
    // Variables are placed as the program starts.
    for (const std::string& w : o.watches) {
        if (o.watchesVariables() && !session.debug.variables() && w.find(':') == std::string::npos)
            return "--watch " + w + " needs the symbols of an SDCC debug file (.cdb) or an asm51 listing (.lst); " +
                   o.sourceMap + " gives none";
        if (Validation refused = session.debug.watch(w)) return refused->text + " (--watch " + w + ")";
    }
    session.debug.untilPc = o.untilPc;
    session.debug.haltOnSelfJump = o.haltOnSelfJump;
    return std::nullopt;
}

std::optional<std::string> setUpReplaySession(const CliOptions& o, Session& session,
                                              Recording recording) {
    if (auto failure = openRecording(session.debug, std::move(recording))) return failure;
    if (!o.sourceMap.empty())
        if (Message failure = readSourceMap(o, session)) return failure;
    session.dumps = o.dumps;
    for (DumpOption& d : session.dumps)
        if (Message failure = resolveDump(d, session.machine)) return failure;
    return std::nullopt;
}

void startRun(Session& session) {
    resetModulesOnRunStart(session.machine.modules);
    if (!session.uartInput.empty())
        startFileTransmission(session.machine.modules.serialHost, session.machine.chip,
                              session.uartInput);
}

namespace {

Message readModules(const std::string& path, Machine& machine) {
    std::string why;
    if (auto failure = ReadModuleSettings(path, machine.modules.settings, machine.profile.availablePinMask, &why))
        return path + ": " + failure->text + "\n" + path + ": " + why;
    return std::nullopt;
}

} // namespace

} // namespace quorvel::cli
