// Setting up the machine quorvel-cli runs: the device selection through the
// device dialogs' rules, module settings, port-line inputs, the program and
// data files through the file loader, the breakpoint conditions through the
// breakpoint dialog's rules, and the dump ranges. Nothing here writes a file.
#pragma once

#include "cli/cli_options.h"
#include "chip/chip_events.h"
#include "debug/debug_session.h"
#include "debug/recording_file.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "modules/uart_pty.h"
#include "tools/source_map_files.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::cli {

// What the UART did, and the serial host that feeds it. Attached to the
// chip as its event receiver for the whole run. The bytes of the run are
// kept only when `keepBytes` (the report's UART dump needs them): a long
// session does not grow.
class UartRecorder : public ChipEvents {
public:
    UartRecorder(Machine& machine, bool keepBytes) : machine_(machine), keep_(keepBytes) {}
    // Every transmitted byte is also written here as it is transmitted
    // (flushed at each line end and by `flush`). Not owned; may be null.
    void setOutput(std::FILE* out) { out_ = out; }
    void flush() {
        if (out_) std::fflush(out_);
    }
    // Every transmitted byte is also appended here, for a front end that
    // passes the bytes on and clears the string. Not owned; may be null.
    void setCollector(std::string* bytes) { collect_ = bytes; }
    // The pseudo-terminal the serial line is also connected to. Not owned;
    // may be null.
    void setPty(UartPty* pty) { pty_ = pty; }
    // Every byte the host takes is also handed to this (the debug session's
    // wait for a text on the serial line). Not owned; may be null.
    void setMatch(OutputMatch* match) { match_ = match; }

    // The host takes the chip's bytes from byteTransmitted, or from the line
    // (hostByteRead) when it has a baud rate of its own.
    void byteTransmitted(uint16_t entry) override;
    void byteReceived(uint16_t entry) override;
    void hostFrameSent() override;
    void hostByteRead(uint16_t entry, bool framingError) override;

    const std::string& transmitted() const { return transmitted_; }
    const std::vector<uint8_t>& received() const { return received_; }

private:
    void hostTakes(uint16_t entry);

    Machine& machine_;
    const bool keep_;
    std::FILE* out_ = nullptr;
    std::string* collect_ = nullptr;
    UartPty* pty_ = nullptr;
    OutputMatch* match_ = nullptr;
    std::string transmitted_;
    std::vector<uint8_t> received_;
};

// The machine and the debug session that runs it: the --break
// conditions, the --source-map and its --break-line lines, the C symbols
// (--var, --watch VAR) and the --watch places.
struct Session {
    Machine machine;
    DebugSession debug{machine};
    SourceMapReport sourceMapReport;  // the files the map was read from, its listed code
    std::vector<DumpOption> dumps;    // ranges resolved against the memories
    std::vector<uint8_t> uartInput;   // what the simulated host sends
    std::vector<std::string> warnings; // said on standard error; the run goes on
};

// Builds the board the device, memory, clock, --modules and --pin options
// describe, without a program. On failure returns the message.
std::optional<std::string> setUpBoard(const CliOptions& options, Machine& machine);

// Builds the machine the options describe. On failure returns the message
// for standard error (exit status 1); the session is then unusable.
// `standardInput` is read when --uart-in is "-".
std::optional<std::string> setUpSession(const CliOptions& options, Session& session,
                                        std::istream& standardInput);

// Builds the session a --replay runs in: the recording opened (openRecording:
// the machine at the end of its run, checked), the --source-map read and the
// dump ranges resolved against the recorded machine. On failure returns the
// message for standard error (exit status 1).
std::optional<std::string> setUpReplaySession(const CliOptions& options, Session& session,
                                              Recording recording);

// Paces a --uart-pty session to real time: the simulated clock runs at most
// kLead ahead of the wall clock, so firmware that idles waiting for input
// waits as long as a board would (in the terminal's input check) instead of
// spinning through simulated seconds.
class RealTimePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kLead{10};

    RealTimePacer(const ChipState& chip, Clock::time_point start)
        : startCycles_(chip.cycleCount()), start_(start) {}
    // How long the run may wait now: how far the simulated time since the
    // start is ahead of the wall clock's, less kLead; zero when it is not.
    std::chrono::microseconds wait(const ChipState& chip, Clock::time_point now) const;

private:
    uint64_t startCycles_;
    Clock::time_point start_;
};

// Instructions between two checks of the pseudo-terminal: a few
// milliseconds of simulated time at the usual clocks.
constexpr uint64_t kPtyBatchSteps = 4096;

// Start of the run: the LED digits' memory is cleared as at every run start,
// and the host starts sending (its first byte is handed over at once).
void startRun(Session& session);

} // namespace quorvel::cli
