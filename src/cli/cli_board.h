// The board the Python module and the scenario files drive: one machine
// with its parts, set up by the command-line runner's own set-up code
// (device, clock, memories, module settings, input pins), a loaded program
// with its source map and C symbols, and the debug session that runs it.
// Every verb of the module and every step of a scenario is a call here; every wait (a serial text, a pin level, a source line, a C
// condition, a program counter) is a stop condition of the session's run,
// checked in its loop, and time is the chip's simulated time.
//
// Inputs (serial bytes, pin levels, keys) go to the machine through the
// session, so a recording holds them. Serial bytes written by the front end
// are handed to the chip one at a time, each when the host may send the
// next (serialHostReady): paced by the simulated UART at the chip's rate.
//
// Errors are thrown as BoardError with the simulator's message.
//
// Thread: the caller's (one board per thread).
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "machine/snapshot.h"
#include "machine/wave_recorder.h"

#include <cstdint>
#include <deque>
#include <span>
#include <tuple>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {

// Bad input: a wrong name, an address out of range, a file that does not
// load; the text is the simulator's message.
struct BoardError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// How the board is built (the command-line runner's options of the same
// names).
struct BoardConfig {
    std::string device = "AT89C52";
    uint64_t clockHz = 12000000;
    int xdataKB = 0;
    std::string codeMemory; // "internal", "external:KB", "both:KB"; empty: as the device
    std::string modules;    // a module settings file (.MST); empty: none
    std::map<std::string, std::string> pins; // "P1.0" -> "0", "1" or "nc"
    bool recordLines = false; // keep the port lines' changes for vcd()
    bool record = true;       // keep the session's history from the start (save())
};

// What a run asks for; the first condition that holds ends it.
struct RunRequest {
    std::optional<uint64_t> cycles;
    std::optional<double> timeoutMs;
    std::optional<uint16_t> untilPc;
    std::string untilLine;         // "main.c:42"
    std::string until;             // a C condition
    std::optional<std::string> uart; // bytes the serial line is to send
    bool uartRegex = false;
    std::optional<std::pair<std::string, int>> pin; // ("P1.0", 0)
};

// Why a run ended: the session's stop name ("uart", "pin", "break-line",
// "until-pc", "max-cycles", ...; "until" for a C condition), with the run's
// instructions and machine cycles and the program counter then.
struct RunStop {
    std::string reason;
    uint64_t cycles = 0;
    uint64_t steps = 0;
    uint16_t pc = 0;
    std::string matched; // a serial match: the bytes read up to its end
};

// A frame of the call stack.
struct Frame {
    std::string function;
    std::string file;
    int line = 0;
    uint16_t pc = 0;
};

// With no budget given a run ends after this many machine cycles.
constexpr uint64_t kDefaultRunCycles = 100000000;

class Board {
public:
    explicit Board(BoardConfig config);
    // The board the command line describes, with its program (and source
    // map) loaded; it records its history.
    Board(CliOptions options, bool recordLines);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // A program (HEX if .hex/.ihx, else binary) and its source map (.cdb,
    // .lst, or the program to use the one beside it); "" for none.
    void load(const std::string& path, const std::string& sourceMap);
    // Reset CPU, as the GUI's command: the parts keep their state.
    void reset();
    RunStop run(const RunRequest& request);

    // ---- serial line
    void uartWrite(const std::string& bytes);
    std::string uartRead();
    // Waits up to `withinMs` of simulated time for `pattern` (a regular
    // expression); returns the bytes read up to the end of the match, and
    // throws BoardError when they did not come.
    std::string uartExpect(const std::string& pattern, double withinMs);
    const std::string& uartTranscript() const { return session_->debug.uart.transcript(); }
    size_t uartPending() const { return pending_.size(); }

    // ---- port lines ("P1.0")
    int pinLevel(const std::string& name) const;
    void setPin(const std::string& name, int level);
    // Drives the line to `level` for `ms`, then back to the other level.
    void pulse(const std::string& name, int level, double ms);

    // ---- parts
    std::vector<std::string> lcdLines() const;
    std::map<std::string, int> leds() const; // point LEDs by line: lit 1
    std::string digits() const;
    void keyPress(const std::string& line, double holdMs);
    void keyHold(const std::string& line, bool held);
    void keyToggle(const std::string& line);
    void keypadPress(const std::string& key, double holdMs);
    void keypadHold(const std::string& key, bool held);
    // Runs for `ms` of simulated time with nothing to wait for.
    void idle(double ms);
    // "iic-eeprom", "rtc", "spi-eeprom": the part's memory.
    int partByte(const std::string& part, int64_t address) const;
    void setPartByte(const std::string& part, int64_t address, int value);
    size_t partSize(const std::string& part) const;
    // The clock's time ("the computer's time" the GUI gives it each second).
    void setRtc(int hour, int minute, int second);

    // ---- program state
    // A C variable's value: an integer, a float, or its formatted text for
    // a struct or array.
    CValue variable(const std::string& expression) const;
    std::string formatVariable(const CValue& value) const;
    int memoryByte(const std::string& space, int64_t address) const;
    void setMemoryByte(const std::string& space, int64_t address, int value);
    size_t memorySize(const std::string& space) const;
    std::map<std::string, int> registers() const;
    void setRegister(const std::string& name, const std::string& value);
    uint64_t cycles() const { return machine().chip.cycleCount(); }
    double timeMs() const;
    std::vector<Frame> stack() const;

    // ---- state
    MachineSnapshot snapshot() const;
    void restore(const MachineSnapshot& snapshot);
    // Recording of the session's history (time travel). It starts with the
    // board, and again at a load, a reset and a restored snapshot; every
    // other change from outside is logged.
    void setRecording(bool on);
    bool recording() const { return session_->debug.history() != nullptr; }
    // The history up to now as a recording file (.qrec), the file
    // `quorvel-cli --record` writes: `quorvel-cli --replay FILE` stops at
    // this moment, with the last run's stop. Throws when no history is kept.
    void save(const std::string& path) const;
    // The last instruction that wrote a place ("iram:30") or variable:
    // (cycle, pc, "file:line" or "").
    std::optional<std::tuple<uint64_t, uint16_t, std::string>> lastWrite(const std::string& place);
    // The recorded port lines as a value change dump.
    std::string vcdText() const;
    void profile(bool on);
    // Per executed address: (executions, cycles).
    std::map<uint16_t, std::pair<uint64_t, uint64_t>> profileCounts() const;
    double coverage() const;

    Machine& machine() { return session_->machine; }
    const Machine& machine() const { return session_->machine; }
    DebugSession& debug() { return session_->debug; }

private:
    // After a change no input kind describes: logs the whole machine.
    void logEdit();
    void build(const CliOptions& options, bool withProgram);
    int lineIndex(const std::string& name) const;
    void apply(const MachineInput& input);
    // Watches the variables of a C condition when it has no other operand
    // than plain variables and numbers; false (nothing watched) otherwise.
    bool watchOperands(const std::string& condition);
    uint64_t cyclesOf(double ms) const;
    // The part's memory as far as the configured device uses it.
    std::span<uint8_t> partMemory(const std::string& part) const;

    CliOptions options_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<UartRecorder> events_;
    std::unique_ptr<WaveRecorder> wave_;
    std::deque<uint8_t> pending_;
    uint32_t heldKeys_ = 0;
    bool record_ = true;
    DebugStop lastStop_ = DebugStop::CycleLimit; // the last run's
};

} // namespace quorvel::cli
