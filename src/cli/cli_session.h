// Setting up the machine quorvel-cli runs: the device selection through the
// device dialogs' rules, module settings, port-line inputs, the program and
// data files through the file loader, the breakpoint conditions through the
// breakpoint dialog's rules, and the dump ranges. Nothing here writes a file.
#pragma once

#include "cli/cli_options.h"
#include "chip/chip_events.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "modules/uart_pty.h"
#include "tools/source_map_files.h"

#include <cstdint>
#include <cstdio>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::cli {

// What the UART did, and the serial host that feeds it. Attached to the
// chip as its event receiver for the whole run.
class UartRecorder : public ChipEvents {
public:
    explicit UartRecorder(Machine& machine) : machine_(machine) {}
    // Every transmitted byte is also written here as it is transmitted
    // (flushed at each line end and by `flush`). Not owned; may be null.
    void setOutput(std::FILE* out) { out_ = out; }
    void flush() {
        if (out_) std::fflush(out_);
    }
    // The pseudo-terminal the serial line is also connected to. Not owned;
    // may be null.
    void setPty(UartPty* pty) { pty_ = pty; }

    void byteTransmitted(uint16_t entry) override;
    void byteReceived(uint16_t entry) override;

    const std::string& transmitted() const { return transmitted_; }
    const std::vector<uint8_t>& received() const { return received_; }

private:
    Machine& machine_;
    std::FILE* out_ = nullptr;
    UartPty* pty_ = nullptr;
    std::string transmitted_;
    std::vector<uint8_t> received_;
};

struct Session {
    Machine machine;
    std::vector<BreakpointCondition> breaks;
    std::optional<SourceMap> sourceMap; // --source-map
    CodeAddressSet lineBreaks;          // where the --break-line lines' code starts
    SourceMapReport sourceMapReport;    // the files the map was read from, its listed code
    std::vector<DumpOption> dumps;    // ranges resolved against the memories
    std::vector<uint8_t> uartInput;   // what the simulated host sends
    std::vector<std::string> warnings; // said on standard error; the run goes on
};

// Builds the machine the options describe. On failure returns the message
// for standard error (exit status 1); the session is then unusable.
// `standardInput` is read when --uart-in is "-".
std::optional<std::string> setUpSession(const CliOptions& options, Session& session,
                                        std::istream& standardInput);

// Start of the run: the LED digits' memory is cleared as at every run start,
// and the host starts sending (its first byte is handed over at once).
void startRun(Session& session);

} // namespace quorvel::cli
