// quorvel-cli: runs an 8051 program on the simulator's core without a window
// and reports what it did (see cli_options.cpp for the command line).
#include "cli/cli_options.h"
#include "cli/cli_profile.h"
#include "cli/cli_report.h"
#include "cli/cli_run.h"
#include "cli/cli_session.h"
#include "cli/cli_wave.h"
#include "machine/run_controller.h"
#include "modules/module_settings.h"
#include "modules/uart_pty.h"

#include <sys/stat.h>

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
#include <unistd.h>
#include <vector>

using namespace quorvel;
using namespace quorvel::cli;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExitUsage = 2;
constexpr int kExitSetup = 1;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f && f != stdout) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Set by SIGINT and SIGTERM during a --uart-pty run: the only state a signal
// handler may touch, read by the run loop between slices.
volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

// A --uart-pty session normally ends by a signal: it ends the run cleanly,
// with the stop report, instead of killing the process.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    // A blocking write to a slow pipe (--trace -) goes on rather than
    // failing as an output error.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
}

void fail(const std::string& message) { std::fprintf(stderr, "quorvel-cli: %s\n", message.c_str()); }

// Opens an output without touching its contents; `truncate` empties it once
// every output could be opened, so a failing run start leaves files as they were.
File openOutput(const std::string& path, std::string& error) {
    if (path == "-") return File(stdout);
    File file(std::fopen(path.c_str(), "ab"));
    if (!file) error = path + ": " + std::strerror(errno);
    return file;
}

// Only a regular file is emptied: a pipe, FIFO or device (/dev/null,
// /dev/stderr) is written as it is.
bool truncate(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return true;
    return ::ftruncate(::fileno(file), 0) == 0;
}

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

// Flushes (and closes) an output; a write or close error is said and makes
// the run fail.
bool finishOutput(File& file, const std::string& name) {
    if (!file) return true;
    bool ok = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    int error = ok ? 0 : errno;
    if (file.get() != stdout) {
        if (std::fclose(file.release()) != 0 && ok) {
            ok = false;
            error = errno;
        }
    }
    if (!ok) fail(name + ": cannot write: " + std::strerror(error ? error : EIO));
    return ok;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void printStats(const RunReport& run, const ChipState& chip, Clock::duration startup,
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

int run(int argc, char** argv) {
    const Clock::time_point started = Clock::now();
    std::ios::sync_with_stdio(false);

    std::vector<std::string_view> args(argv + 1, argv + argc);
    ParseResult parsed = parseCommandLine(args);
    const CliOptions& options = parsed.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        fail(parsed.error);
        std::fputs("Try 'quorvel-cli --help' for the options.\n", stderr);
        return kExitUsage;
    }

    auto session = std::make_unique<Session>();
    if (auto failure = setUpSession(options, *session, std::cin)) {
        fail(*failure);
        return kExitSetup;
    }
    Machine& machine = session->machine;
    for (const std::string& warning : session->warnings) fail("warning: " + warning);

    // Outputs are opened (and emptied) only once everything else is ready.
    for (const std::string* output : {&options.uartOut, &options.trace, &options.profile, &options.vcd}) {
        if (auto refused = outputIsAnInput(options, session->sourceMapReport.filesRead, *output)) {
            fail(*refused);
            return kExitSetup;
        }
    }
    // Past a file-size limit a write fails with an error to report rather
    // than ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    std::string error;
    File uartOut, trace, profile, vcd;
    if (!options.uartOut.empty() && !(uartOut = openOutput(options.uartOut, error))) {
        fail(error);
        return kExitSetup;
    }
    if (!options.trace.empty() && !(trace = openOutput(options.trace, error))) {
        fail(error);
        return kExitSetup;
    }
    // The pseudo-terminal, too, before any output is emptied; its path is
    // said once the run is sure to start.
    std::unique_ptr<UartPty> pty;
    if (options.uartPty) {
        pty = std::make_unique<UartPty>();
        if (auto failure = pty->open()) {
            fail("--uart-pty: " + *failure);
            return kExitSetup;
        }
    }
    if (!options.profile.empty() && !(profile = openOutput(options.profile, error))) {
        fail(error);
        return kExitSetup;
    }
    // The waveform is written after the run; its file is opened here, last,
    // so that a file it cannot create fails the start before the run.
    if (!options.vcd.empty() && !(vcd = openOutput(options.vcd, error))) {
        fail(error);
        return kExitSetup;
    }
    for (std::FILE* f : {uartOut.get(), trace.get(), profile.get(), vcd.get()}) {
        if (f && !truncate(f)) {
            fail(std::string("cannot empty an output file: ") + std::strerror(errno));
            return kExitSetup;
        }
    }
    if (pty) {
        catchStopSignals();
        std::fprintf(stderr, "uart-pty: %s\n", pty->path().c_str());
        std::fflush(stderr);
    }
    std::vector<char> traceBuffer;
    if (trace && trace.get() != stdout) {
        traceBuffer.resize(1u << 20);
        std::setvbuf(trace.get(), traceBuffer.data(), _IOFBF, traceBuffer.size());
    }

    // The recorder's ring is allocated now, never during the run.
    std::optional<WaveRecorder> wave;
    if (vcd) {
        wave.emplace(options.vcdCapacity.value_or(kDefaultVcdCapacity));
        machine.wave = &*wave;
    }

    UartRecorder uart(machine);
    uart.setOutput(uartOut.get());
    uart.setPty(pty.get());
    machine.chip.events = &uart;

    RunRequest request;
    request.maxCycles = options.maxCycles;
    request.maxSteps = options.maxSteps;
    if (!options.hasStopCondition() && !options.uartPty) request.maxCycles = kDefaultMaxCycles;
    request.untilPc = options.untilPc;
    request.breaks = session->breaks;
    const SourceMap* sourceMap = session->sourceMap ? &*session->sourceMap : nullptr;
    if (!options.breakLines.empty()) request.lineBreaks = &session->lineBreaks;
    request.sourceMap = sourceMap;
    request.haltOnSelfJump = options.haltOnSelfJump;
    request.trace = trace.get();
    const ModuleSettings& modules = machine.modules.settings;
    request.trackLeds = options.wants(DumpKind::Leds) && (modules.LedSevenSegment & 1) &&
                        !(modules.LedOptions & kLedNonMultiplexed);
    request.afterBatch = [&uart] { uart.flush(); };
    std::string ptyError;
    if (pty) {
        request.carryOn = [&] {
            if (auto failure = pty->poll(machine.modules.serialHost, machine.chip)) ptyError = *failure;
            return stopSignal == 0;
        };
    }
    request.outputFailed = [&uartOut, &trace, &ptyError] {
        return (uartOut && std::ferror(uartOut.get())) || (trace && std::ferror(trace.get())) ||
               !ptyError.empty();
    };

    if (profile || options.coverage) machine.codeProfile.enable();
    startRun(*session);
    const Clock::time_point runStart = Clock::now();
    const RunReport run = runMachine(machine, request);
    const Clock::time_point runEnd = Clock::now();
    uart.flush();
    machine.chip.events = nullptr;
    const bool uartWritten = finishOutput(uartOut, options.uartOut);
    const bool traceWritten = finishOutput(trace, options.trace);
    bool ptyServed = true;
    if (pty) {
        // What the chip sent in the last slice still reaches the terminal.
        if (ptyError.empty())
            if (auto failure = pty->poll(machine.modules.serialHost, machine.chip)) ptyError = *failure;
        ptyServed = ptyError.empty();
        if (!ptyServed) fail("--uart-pty: " + ptyError);
        if (pty->droppedBytes())
            fail("warning: --uart-pty: " + std::to_string(pty->droppedBytes()) +
                 " transmitted bytes were lost: nobody read the pseudo-terminal");
    }

    std::optional<Coverage> coverage;
    if (machine.codeProfile.enabled())
        coverage = codeCoverage(machine.codeProfile, machine.chip, options.startAddress.value_or(0));
    if (profile) {
        // With a source map the counts are summed per function and line too.
        SourceLookup lookup;
        if (sourceMap) {
            lookup = [sourceMap](uint16_t address) -> std::optional<SourcePlace> {
                const std::optional<SourceLocation> where = sourceMap->locationAt(address);
                if (!where) return std::nullopt;
                const SourceFunction* function = sourceMap->functionAt(address);
                return SourcePlace{function ? function->name : std::string(),
                                   sourceMap->files()[where->file], int(where->line)};
            };
        }
        const std::string json = profileJson(machine.codeProfile, *coverage, machine.chip, lookup);
        std::fwrite(json.data(), 1, json.size(), profile.get());
    }
    const bool profileWritten = finishOutput(profile, options.profile);

    machine.wave = nullptr;
    bool vcdWritten = true;
    if (wave) {
        if (auto overflow = waveformOverflowText(*wave)) fail(*overflow);
        const std::string text = waveformText(options, machine, *wave, waveformDate());
        std::fwrite(text.data(), 1, text.size(), vcd.get());
        vcdWritten = finishOutput(vcd, options.vcd);
    }

    const bool written = uartWritten && traceWritten && ptyServed && profileWritten && vcdWritten;
    const int status = written ? exitStatus(run.stop) : kExitSetup;
    if (run.stop == StopKind::PcOutOfRange) {
        char where[48];
        std::snprintf(where, sizeof where, " (instruction at %04XH)", machine.chip.pc);
        fail(pcExceedsMessage().text + where);
    } else if (run.stop == StopKind::CycleLimit) {
        fail("cycle limit reached (" + std::to_string(run.cycles) + " machine cycles)");
    } else if (run.stop == StopKind::StepLimit) {
        fail("step limit reached (" + std::to_string(run.steps) + " instructions)");
    } else if (run.stop == StopKind::Interrupted) {
        fail(std::string("interrupted by ") + (stopSignal == SIGINT ? "SIGINT" : "SIGTERM") + " (" +
             std::to_string(run.cycles) + " machine cycles)");
    }

    ReportInput report{machine, session->dumps, run, uart.transmitted(), uart.received(), {}};
    if (options.coverage) report.coverage = &*coverage;
    report.sourceMap = sourceMap;
    if (run.stop == StopKind::Breakpoint)
        report.condition = breakpointStatusText(session->breaks[size_t(run.breakIndex)], machine.selection.kind);
    const std::string text = options.json ? jsonReport(report) : textReport(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);

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
