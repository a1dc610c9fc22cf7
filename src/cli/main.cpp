// quorvel-cli: runs an 8051 program on the simulator's core without a window
// and reports what it did (see cli_options.cpp for the command line).
#include "cli/cli_options.h"
#include "cli/cli_outputs.h"
#include "cli/cli_profile.h"
#include "cli/cli_report.h"
#include "cli/cli_run.h"
#include "cli/cli_scenario.h"
#include "cli/cli_session.h"
#include "cli/cli_wave.h"
#include "chip/serial_line.h"
#include "dap/dap_stdio.h"
#include "debug/recording_file.h"
#include "debug/run_controller.h"
#include "machine/snapshot.h"
#include "modules/module_settings.h"
#include "modules/uart_pty.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace quorvel;
using namespace quorvel::cli;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExitUsage = 2;
constexpr int kExitSetup = 1;

// Set by SIGINT, SIGTERM and SIGHUP during a --uart-pty run: the only state a signal
// handler may touch, read by the run loop between slices.
volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

// A --uart-pty session normally ends by a signal (SIGHUP when its terminal
// or ssh session closes): it ends the run cleanly, with the stop report and
// the outputs written, instead of killing the process.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    // A blocking write to a slow pipe (--trace -) goes on rather than
    // failing as an output error.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "SIGTERM";
    }
}

void fail(const std::string& message) { std::fprintf(stderr, "quorvel-cli: %s\n", message.c_str()); }

// An output that is one of the run's input files would be emptied before it
// is read. `alsoRead` are the files the source map was read from (a program
// given to --source-map reads its .cdb or .lst, a .cdb each module's .rst).
// Links are followed: two names of one file are the same input.
std::optional<std::string> outputIsAnInput(const CliOptions& o, const std::vector<std::filesystem::path>& alsoRead,
                                           const std::string& output) {
    if (output.empty() || output == "-") return std::nullopt;
    std::vector<std::filesystem::path> inputs(alsoRead);
    for (const std::string* input : {&o.program, &o.dataFile, &o.modulesFile, &o.uartIn, &o.sourceMap})
        if (!input->empty() && *input != "-") inputs.emplace_back(*input);
    for (const std::filesystem::path& input : inputs) {
        std::error_code ec;
        if (std::filesystem::equivalent(input, output, ec))
            return output + ": an output cannot be one of the run's input files";
    }
    return std::nullopt;
}

// Flushes and closes an output (a save is renamed into place); a write or
// close error is said and makes the run fail.
bool finishOutput(Output& output) {
    const auto failure = output.finish();
    if (failure) fail(*failure);
    return !failure;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void printStats(const DebugRun& run, const ChipState& chip, Clock::duration startup,
                Clock::duration host) {
    const double simulated = double(run.cycles) * double(chip.cycleTimeUs) * 1e-6;
    const double hostSeconds = seconds(host);
    std::fprintf(stderr,
                 "instructions:   %llu\n"
                 "machine cycles: %llu\n"
                 "simulated time: %.6f s\n"
                 "host time:      %.6f s (start-up and loading %.3f ms)\n"
                 "speed:          %.1f million instructions per second (%.1f x real time)\n",
                 (unsigned long long)run.steps, (unsigned long long)run.cycles, simulated,
                 hostSeconds, seconds(startup) * 1e3,
                 hostSeconds > 0 ? double(run.steps) / hostSeconds / 1e6 : 0.0,
                 hostSeconds > 0 ? simulated / hostSeconds : 0.0);
}

// A standard stream the caller closed (`>&-`) is held open on /dev/null for
// reading: no file the run opens takes its number (the report would go into
// it), and a write to it still fails, as an output error.
void holdClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF && ::open("/dev/null", O_RDONLY) != fd) return;
}

// ---- the outputs

// The files the run writes, each opened before the run as the output rules
// say. The trace's buffer outlives the outputs that may still close
// through it (members end in reverse order).
struct RunOutputs {
    std::vector<char> traceBuffer;
    Output uartOut, trace, profile, vcd;
};

// One row per output: its option, where its name is, and whether it is a
// save (written whole after the run) rather than written as the run goes.
struct OutputRow {
    const char* option;
    std::string CliOptions::*name;
    Output RunOutputs::*output;
    bool save;
};

constexpr OutputRow kOutputRows[] = {
    {"--uart-out", &CliOptions::uartOut, &RunOutputs::uartOut, false},
    {"--trace", &CliOptions::trace, &RunOutputs::trace, false},
    {"--profile", &CliOptions::profile, &RunOutputs::profile, true},
    {"--vcd", &CliOptions::vcd, &RunOutputs::vcd, true},
};

// Outputs that would empty one of the run's inputs, or share a file with
// another output, are refused before anything is opened.
std::optional<std::string> refusedOutput(const CliOptions& options, const Session& session) {
    std::vector<std::pair<std::string, std::string>> named;
    for (const OutputRow& row : kOutputRows) {
        const std::string& name = options.*row.name;
        if (auto refused = outputIsAnInput(options, session.sourceMapReport.filesRead, name)) return refused;
        named.emplace_back(row.option, name);
    }
    if (auto refused = outputIsAnInput(options, session.sourceMapReport.filesRead, options.record)) return refused;
    named.emplace_back("--record", options.record);
    return outputsSharingAFile(named);
}

// The pseudo-terminal of --uart-pty, whose path is said once.
struct PtyLink {
    std::unique_ptr<UartPty> pty;
    bool said = false;
    std::string error; // the first failure serving it

    void sayPath() {
        if (!pty || said) return;
        std::fprintf(stderr, "uart-pty: %s\n", pty->path().c_str());
        std::fflush(stderr);
        said = true;
    }
};

// Outputs named by the process's streams first, while every descriptor
// above 2 is one the caller handed over; then the pseudo-terminal, whose
// path is said once the run is sure to start, or before an output waits for
// a FIFO's reader, so that a client can connect meanwhile; then the other
// outputs. Files written as the run goes are emptied only once all opened.
std::optional<std::string> openOutputs(const CliOptions& options, RunOutputs& outputs, PtyLink& link) {
    for (const bool streams : {true, false}) {
        if (!streams && options.uartPty) {
            link.pty = std::make_unique<UartPty>();
            if (auto failure = link.pty->open()) return "--uart-pty: " + *failure;
        }
        for (const OutputRow& row : kOutputRows) {
            const std::string& name = options.*row.name;
            if (name.empty() || streamDescriptor(name).has_value() != streams) continue;
            if (auto failure = (outputs.*row.output).open(name, row.save, [&link] { link.sayPath(); }))
                return failure;
        }
    }
    for (const OutputRow& row : kOutputRows) {
        if (!(outputs.*row.output).start())
            return options.*row.name + ": cannot empty the file: " + std::strerror(errno);
    }
    if (outputs.trace && !outputs.trace.isStandardOutput()) {
        outputs.traceBuffer.resize(1u << 20);
        std::setvbuf(outputs.trace.file(), outputs.traceBuffer.data(), _IOFBF, outputs.traceBuffer.size());
    }
    return std::nullopt;
}

// Finishes the outputs written as the run went (saves: false) or the saves.
bool finishOutputs(RunOutputs& outputs, bool saves) {
    bool written = true;
    for (const OutputRow& row : kOutputRows)
        if (row.save == saves) written = finishOutput(outputs.*row.output) && written;
    return written;
}

// ---- the run

RunLimits runLimits(const CliOptions& options, Session& session, const RunOutputs& outputs,
                    UartRecorder& uart, PtyLink& link, std::optional<RealTimePacer>& pacer) {
    Machine& machine = session.machine;
    RunLimits limits;
    limits.maxCycles = options.maxCycles;
    limits.maxSteps = options.maxSteps;
    if (!options.hasStopCondition() && !options.uartPty) limits.maxCycles = kDefaultMaxCycles;
    if (outputs.trace) traceRun(limits, outputs.trace.file(), machine.chip, session.debug.sourceMap());
    limits.afterBatch = [&uart] { uart.flush(); };
    if (link.pty) {
        limits.batchSteps = kPtyBatchSteps;
        // Recorded, the terminal's bytes are inputs the history logs.
        const bool logged = !options.record.empty();
        link.pty->handOverBytes(!logged);
        limits.carryOn = [&machine, &link, &pacer, &session, logged] {
            if (auto failure = link.pty->poll(machine.modules.serialHost, machine.chip)) link.error = *failure;
            if (logged)
                if (const std::optional<uint8_t> byte = link.pty->takeReady(machine.chip))
                    session.debug.input({.kind = MachineInput::Kind::SerialByte, .bytes = {}, .value = *byte});
            // Ahead of the wall clock: wait for the terminal (a byte or a
            // signal ends the wait early) instead of running on.
            const auto wait = pacer->wait(machine.chip, Clock::now());
            if (wait.count() > 0 && stopSignal == 0 && link.error.empty()) link.pty->waitForInput(wait);
            return stopSignal == 0;
        };
    }
    limits.outputFailed = [&outputs, &link] {
        return (outputs.uartOut && std::ferror(outputs.uartOut.file())) ||
               (outputs.trace && std::ferror(outputs.trace.file())) || !link.error.empty();
    };
    return limits;
}

// After the run: what the chip sent in the last slice still reaches the
// terminal; bytes nobody read are said. False when serving it failed.
bool finishPty(PtyLink& link, Machine& machine) {
    if (!link.pty) return true;
    if (link.error.empty())
        if (auto failure = link.pty->poll(machine.modules.serialHost, machine.chip)) link.error = *failure;
    if (!link.error.empty()) fail("--uart-pty: " + link.error);
    if (link.pty->droppedBytes())
        fail("warning: --uart-pty: " + std::to_string(link.pty->droppedBytes()) +
             " transmitted bytes were lost: nobody read the pseudo-terminal");
    return link.error.empty();
}

void sayFramingErrors(const ChipState& chip) {
    const uint32_t chipFraming = chip.periph.serial.framingErrors;
    const uint32_t hostFraming = chip.periph.line.framingErrors;
    if (chipFraming + hostFraming)
        fail("uart: " + std::to_string(chipFraming + hostFraming) + " framing errors (" +
             std::to_string(chipFraming) + " received by the chip, " + std::to_string(hostFraming) +
             " read by the host)");
}

// With a source map the profile's counts are summed per function and line too.
SourceLookup sourceLookup(const SourceMap* sourceMap) {
    if (!sourceMap) return {};
    return [sourceMap](uint16_t address) -> std::optional<SourcePlace> {
        const std::optional<SourceLocation> where = sourceMap->locationAt(address);
        if (!where) return std::nullopt;
        const SourceFunction* function = sourceMap->functionAt(address);
        return SourcePlace{function ? function->name : std::string(), sourceMap->files()[where->file],
                           int(where->line)};
    };
}

// Writes the saves (profile, waveform) and finishes them.
bool writeSaves(const CliOptions& options, RunOutputs& outputs, Machine& machine, const Coverage* coverage,
                const WaveRecorder* wave, const SourceMap* sourceMap) {
    if (outputs.profile) {
        const std::string json = profileJson(machine.codeProfile, *coverage, machine.chip, sourceLookup(sourceMap));
        std::fwrite(json.data(), 1, json.size(), outputs.profile.file());
    }
    if (wave) {
        if (auto overflow = waveformOverflowText(*wave)) fail(*overflow);
        const std::string text = waveformText(options, machine, *wave, waveformDate());
        std::fwrite(text.data(), 1, text.size(), outputs.vcd.file());
    }
    return finishOutputs(outputs, true);
}

// The stops that are not what was asked for are said on standard error.
void sayStop(const DebugRun& run, const ChipState& chip) {
    switch (run.stop) {
    case DebugStop::PcOutOfRange: {
        char where[48];
        std::snprintf(where, sizeof where, " (instruction at %04XH)", chip.pc);
        fail(pcExceedsMessage().text + where);
        break;
    }
    case DebugStop::CycleLimit: fail("cycle limit reached (" + std::to_string(run.cycles) + " machine cycles)"); break;
    case DebugStop::StepLimit: fail("step limit reached (" + std::to_string(run.steps) + " instructions)"); break;
    case DebugStop::Interrupted:
        fail(std::string("interrupted by ") + signalName(stopSignal) + " (" + std::to_string(run.cycles) +
             " machine cycles)");
        break;
    default: break;
    }
}

// ---- the report

// Prints the report (text or JSON) on standard output; the exit status,
// which a failed write of it makes 1.
int printReport(const CliOptions& options, const ReportInput& report, int status) {
    const std::string text = options.json ? jsonReport(report) : textReport(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        // Said once: a trace or UART output on standard output has said it.
        if (status != kExitSetup) fail(std::string("standard output: cannot write: ") + std::strerror(errno));
        return kExitSetup;
    }
    return status;
}

// --last-write: the last write to the place before the present moment of
// the session's history; false (said) when the place cannot be looked at.
bool findLastWrite(const CliOptions& options, Session& session, std::optional<LastWrite>& found) {
    if (options.lastWrite.empty()) return true;
    if (Validation refused = session.debug.lastWrite(options.lastWrite, found)) {
        fail(refused->text + " (--last-write " + options.lastWrite + ")");
        return false;
    }
    return true;
}

// ---- recording and replay

// --replay: the recording's run replayed to its end, which must reach the
// state the recording ends with, or back to --to-cycle; then the report of
// that moment. A replay has nothing of the run's own outputs; its UART dump
// holds what the chip's logs keep (the newest 256 bytes each way).
int replay(const CliOptions& options) {
    Recording recording;
    if (auto failure = loadRecordingFile(options.replay, recording)) {
        fail(*failure);
        return kExitSetup;
    }
    auto session = std::make_unique<Session>();
    const DebugStop recordedStop = recording.end.stop;
    if (auto failure = setUpReplaySession(options, *session, std::move(recording))) {
        fail(options.replay + ": " + *failure);
        return kExitSetup;
    }
    Machine& machine = session->machine;
    for (const std::string& warning : session->warnings) fail("warning: " + warning);
    DebugRun run;
    run.stop = recordedStop;
    int status = exitStatus(run.stop);
    if (options.toCycle) {
        if (Validation refused = session->debug.goToCycle(*options.toCycle)) {
            fail(refused->text + " (--to-cycle " + std::to_string(*options.toCycle) + ")");
            return kExitSetup;
        }
        run.stop = DebugStop::CycleLimit;
        status = 0;
    }
    const History& history = *session->debug.history();
    run.steps = history.now() - history.moments().front().step;
    // The machine's cycle counter, as --to-cycle takes it: a history that
    // started after cycle 0 (a board's, started again after a change from
    // outside) reports the time the board had there.
    run.cycles = machine.chip.cycleCount();
    std::optional<LastWrite> lastWrite;
    if (!findLastWrite(options, *session, lastWrite)) return kExitSetup;

    std::string transmitted;
    std::vector<uint8_t> received;
    const SerialState& serial = machine.chip.periph.serial;
    for (int i = 0; i < serial.txLog.size(); ++i) transmitted.push_back(char(serial.txLog.at(i) & 0xFF));
    for (int i = 0; i < serial.rxLog.size(); ++i) received.push_back(uint8_t(serial.rxLog.at(i) & 0xFF));
    ReportInput report{machine, session->dumps, run, status, transmitted, received, {}};
    report.sourceMap = session->debug.sourceMap();
    report.stack = session->debug.stack();
    if (!options.variables.empty()) {
        report.variables = session->debug.variables();
        report.variableExpressions = options.variables;
    }
    report.stateHash = machineHash(machine);
    report.lastWritePlace = options.lastWrite;
    report.lastWrite = lastWrite;
    return printReport(options, report, status);
}

// --record: the last write asked for, then the history saved. False (said)
// when either fails.
bool saveRecording(const CliOptions& options, Session& session, const DebugRun& run,
                   std::optional<LastWrite>& lastWrite) {
    if (options.record.empty()) return true;
    const bool found = findLastWrite(options, session, lastWrite);
    if (auto failure = saveSessionRecording(options.record, session.debug, run.stop)) {
        fail(*failure);
        return false;
    }
    return found;
}

// ---- the whole run

// The command line: nothing when the run goes on, else the exit status.
std::optional<int> answeredCommandLine(const ParseResult& parsed) {
    if (parsed.options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        fail(parsed.error);
        std::fputs("Try 'quorvel-cli --help' for the options.\n", stderr);
        return kExitUsage;
    }
    return std::nullopt;
}

int run(int argc, char** argv) {
    const Clock::time_point started = Clock::now();
    holdClosedStandardStreams();
    std::ios::sync_with_stdio(false);

    std::vector<std::string_view> args(argv + 1, argv + argc);
    // The debug adapter takes its program and options from the client.
    if (std::find(args.begin(), args.end(), "--dap") != args.end()) {
        if (args.size() > 1) {
            fail("--dap takes no other options: the client's launch request gives them");
            return kExitUsage;
        }
        return dap::serveStandardStreams();
    }
    const ParseResult parsed = parseCommandLine(args);
    if (auto status = answeredCommandLine(parsed)) return *status;
    const CliOptions& options = parsed.options;
    if (!options.replay.empty()) return replay(options);
    if (!options.scenario.empty()) return scenarioCommand(options, stdout, stderr);

    auto session = std::make_unique<Session>();
    if (auto failure = setUpSession(options, *session, std::cin)) {
        fail(*failure);
        return kExitSetup;
    }
    Machine& machine = session->machine;
    for (const std::string& warning : session->warnings) fail("warning: " + warning);
    if (!options.variables.empty() && !session->debug.variables()) {
        fail("--var needs the symbols of an SDCC debug file (.cdb) or an asm51 listing (.lst); " +
             options.sourceMap + " gives none");
        return kExitUsage;
    }

    // Outputs are opened (and emptied) only once everything else is ready.
    if (auto refused = refusedOutput(options, *session)) {
        fail(*refused);
        return kExitSetup;
    }
    // Past a file-size limit a write fails with an error to report rather
    // than ending the process; so does a write to a pipe whose reader has
    // gone (stop reason output-error).
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    RunOutputs outputs;
    PtyLink link;
    if (auto failure = openOutputs(options, outputs, link)) {
        fail(*failure);
        return kExitSetup;
    }
    link.sayPath();
    // From here on a signal ends the session with its report (while an
    // output waited for a reader it ended the process, nothing touched).
    if (link.pty) catchStopSignals();

    // The recorder's ring is allocated now, never during the run.
    std::optional<WaveRecorder> wave;
    if (outputs.vcd) {
        wave.emplace(options.vcdCapacity.value_or(kDefaultVcdCapacity));
        machine.wave = &*wave;
    }
    UartRecorder uart(machine, options.wants(DumpKind::Uart));
    setSerialLineBaud(machine.chip, options.uartBaud);
    uart.setOutput(outputs.uartOut.file());
    uart.setPty(link.pty.get());
    machine.chip.events = &uart;

    std::optional<RealTimePacer> pacer;
    const RunLimits limits = runLimits(options, *session, outputs, uart, link, pacer);
    if (outputs.profile || options.coverage) machine.codeProfile.enable();
    startRun(*session);
    // Recording starts with the run: its first snapshot holds the program,
    // the board and the host's first byte.
    if (!options.record.empty()) session->debug.setRecording(true);
    const Clock::time_point runStart = Clock::now();
    if (link.pty) pacer.emplace(machine.chip, runStart);
    const DebugRun run = session->debug.run(limits);
    const Clock::time_point runEnd = Clock::now();
    uart.flush();
    machine.chip.events = nullptr;
    const bool runOutputsWritten = finishOutputs(outputs, false);
    const bool ptyServed = finishPty(link, machine);
    sayFramingErrors(machine.chip);

    std::optional<Coverage> coverage;
    if (machine.codeProfile.enabled())
        coverage = codeCoverage(machine.codeProfile, machine.chip, options.startAddress.value_or(0));
    const SourceMap* sourceMap = session->debug.sourceMap();
    machine.wave = nullptr;
    const bool savesWritten = writeSaves(options, outputs, machine, coverage ? &*coverage : nullptr,
                                         wave ? &*wave : nullptr, sourceMap);

    // The replays that look for the last write see no outputs.
    std::optional<LastWrite> lastWrite;
    const bool recorded = saveRecording(options, *session, run, lastWrite);

    const bool written = runOutputsWritten && ptyServed && savesWritten && recorded;
    const int status = written ? exitStatus(run.stop) : kExitSetup;
    sayStop(run, machine.chip);

    ReportInput report{machine, session->dumps, run, status, uart.transmitted(), uart.received(), {}};
    if (options.coverage) report.coverage = &*coverage;
    report.sourceMap = sourceMap;
    report.stack = session->debug.stack();
    if (!options.variables.empty()) {
        report.variables = session->debug.variables();
        report.variableExpressions = options.variables;
    }
    if (run.stop == DebugStop::Breakpoint)
        report.condition =
            breakpointStatusText(session->debug.breakpoints[size_t(run.breakIndex)], machine.selection.kind);
    if (!options.record.empty()) report.stateHash = machineHash(machine);
    report.lastWritePlace = options.lastWrite;
    report.lastWrite = lastWrite;
    if (const int printed = printReport(options, report, status); printed != status) return printed;

    if (options.stats) printStats(run, machine.chip, runStart - started, runEnd - runStart);
    return status;
}

} // namespace

// Memory running out (a memory limit, huge serial input) is said, not an
// abort.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        fail("out of memory");
        return kExitSetup;
    }
}
