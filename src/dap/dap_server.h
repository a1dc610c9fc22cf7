// A Debug Adapter Protocol server on the debug session: it reads the
// client's requests, turns each into calls of the session quorvel-cli sets
// up (launch takes the command line's options by their protocol names),
// and answers with responses and events. It decides nothing about running:
// runs, steps, breakpoints, the call stack and C values are the session's.
//
// Requests: initialize, launch, setBreakpoints (source lines),
// setFunctionBreakpoints (C functions, assembler labels),
// setInstructionBreakpoints (code addresses), each with conditions, hit
// conditions and log messages the session checks,
// dataBreakpointInfo and setDataBreakpoints (the session's watchpoints, on
// variables, registers, SFRs and "xdata:0100"), configurationDone, threads,
// stackTrace, scopes (Locals, Globals, Registers with PSW's flags, SFRs
// with their named bits), variables, setVariable, setExpression, continue,
// next, stepIn, stepOut (by line, or by instruction), pause, evaluate,
// disassemble (with each instruction's source line), gotoTargets and goto
// (the program counter set to a line's code), readMemory, writeMemory
// (memory references in the session's address form), stepBack and
// reverseContinue (the session's history), restart, setExceptionBreakpoints
// and exceptionInfo (the session's exception stops), terminate and
// disconnect, and the custom request uartInput (text the host sends to
// the chip's UART). The scopes add Board (the board's parts). Any
// other command, a request that comes before launch, or arguments of the
// wrong form get a response with success false and a message; so does a
// frame that cannot be read (request_seq 0).
//
// The server serves one of two kinds of session. Its own, which launch
// sets up from the command line's options (quorvel-cli --dap): a run goes
// on until something stops it, and between slices of it the server asks
// `poll` for the client's bytes, so a pause (or a disconnect) ends it. Or
// a session a front end owns (the desktop simulator's "Allow Debugger to
// Attach"), which the client takes up with attach: runs and steps go
// through the front end (a DapHost) on its machine, which tells the server
// when a run starts and ends, whoever started it.
//
// How the bytes come and go (standard streams, a socket) is the caller's:
// it hands the server what the client sent and writes what the server
// gives its writer.
#pragma once

#include "dap/dap_framing.h"
#include "debug/debug_session.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {
struct Session;
class UartRecorder;
} // namespace quorvel::cli

namespace quorvel::dap {

using Json = nlohmann::json;

// Instructions between two looks at the client's input during a run.
inline constexpr uint64_t kRunSliceSteps = 1u << 15;

// A front end that owns the machine and debug session a client attaches
// to. Every call comes on the thread that calls the server, with the
// machine held still (no run of the front end's thread touches it).
class DapHost {
public:
    virtual ~DapHost() = default;
    virtual Machine& machine() = 0;
    virtual DebugSession& debug() = 0;
    // The folder the source map's relative file names are read against
    // ("" when there is no source map).
    virtual std::string sourceFolder() = 0;
    virtual bool running() = 0;
    // Starts a run from the program counter on the front end's thread,
    // stopping at the session's stop conditions; the front end calls
    // DapServer::hostRunStarted and hostRunEnded as for any run of its
    // own. The message says why the run cannot start.
    virtual std::optional<std::string> startRun() = 0;
    // After a run stopped at a code breakpoint none of whose conditions
    // holds: the same run again from the program counter (the front end's
    // own kind of run, with what else it stops at).
    virtual std::optional<std::string> resumeRun() = 0;
    // Asks the run under way to end; hostRunEnded follows.
    virtual void stopRun() = 0;
    // The client changed the session's breakpoints or exception stops: a
    // run under way takes them from now on.
    virtual void stopConditionsChanged() = 0;
    // One step of the session, kept in the front end's history and shown
    // in its windows; the session's lastRun() says how it ended.
    virtual void step(SourceStep kind, DebugSession::StepUnit unit) = 0;
    // An input to the machine (the UART's text), logged as the front
    // end's own inputs are.
    virtual Validation input(const MachineInput& input) = 0;
    // A move along the session's recorded history (step back, run
    // backwards), made as the front end's own history commands make one,
    // its windows and history following.
    virtual Validation travel(const std::function<Validation(DebugSession&)>& move) = 0;
    // The bytes the chip's UART sent since last asked (the client's output).
    virtual std::string takeTransmitted() = 0;
};

class DapServer {
public:
    // Writes a framed message; false when it could not be written (the
    // session then ends).
    using Writer = std::function<bool(std::string_view framed)>;
    // The client's bytes available now without waiting ("" when none),
    // nothing once its input has ended.
    using Poll = std::function<std::optional<std::string>()>;

    DapServer(Writer writer, Poll poll);
    // Serves the session `host` owns: the client attaches to it.
    DapServer(Writer writer, DapHost& host);
    ~DapServer();
    DapServer(const DapServer&) = delete;
    DapServer& operator=(const DapServer&) = delete;

    // Takes bytes from the client and answers every whole message in them.
    // False once the session has ended (disconnect, or output failed).
    bool receive(std::string_view bytes);
    // The client's input has ended: the session ends.
    void endOfInput();
    bool ended() const { return ended_; }
    // From the host: a run of its thread started (the client hears that the
    // program continues) or ended by `reason` (the client hears why it
    // stopped; at a code breakpoint whose conditions do not hold, the run
    // goes on).
    void hostRunStarted();
    void hostRunEnded(StopReason reason);
    // Passes on what the host's UART sent meanwhile (while a run goes on).
    void hostOutput() { flushUart(); }
    // Instructions a run of the server's own session goes between two looks
    // at the client's input (kRunSliceSteps); a harness whose client has
    // little to say looks sooner.
    void setRunSlice(uint64_t steps) { runSlice_ = std::max<uint64_t>(1, steps); }
    // From the host, with no run going on: the program may have moved
    // without the client (a step, a move through the history, the program
    // counter set in the front end's windows). When it is somewhere else
    // than at the client's last stop, the client hears a "stopped" (step).
    void hostMayHaveMoved();

private:
    struct Reply {
        Reply() = default;
        Reply(Json b) : body(std::move(b)) {}
        Reply(Json b, std::string e) : body(std::move(b)), error(std::move(e)) {}
        Json body = Json::object();
        std::string error; // not empty: success false with this message
    };
    using Handler = Reply (DapServer::*)(const Json& arguments);
    struct Command {
        std::string_view name;
        Handler handler;
        bool needsLaunch;
        bool whileRunning; // answered during a run
    };
    static const std::vector<Command>& commands();

    // A container the client expands by its variablesReference.
    enum class Container : uint8_t { Locals, Globals, Registers, Parts, Sfrs, Bits, Board, BoardPart };
    struct Reference {
        Container kind;
        size_t frame = 0;
        std::string expression; // Parts: the struct, union or array; BoardPart: the part
        uint8_t sfr = 0;        // Bits: the bit-addressable SFR
    };

    void handleFrame(const Frame& frame);
    void handleRequest(const Json& request);
    void respond(const Json& request, const Reply& reply);
    void sendEvent(std::string_view event, Json body = Json::object());
    void send(Json message);

    Reply initialize(const Json& arguments);
    Reply launch(const Json& arguments);
    Reply attach(const Json& arguments);
    Reply setBreakpoints(const Json& arguments);
    Reply setFunctionBreakpoints(const Json& arguments);
    Reply setInstructionBreakpoints(const Json& arguments);
    Reply dataBreakpointInfo(const Json& arguments);
    Reply setDataBreakpoints(const Json& arguments);
    Reply configurationDone(const Json& arguments);
    Reply threads(const Json& arguments);
    Reply stackTrace(const Json& arguments);
    Reply scopes(const Json& arguments);
    Reply variables(const Json& arguments);
    Reply continueRun(const Json& arguments);
    Reply next(const Json& arguments);
    Reply stepIn(const Json& arguments);
    Reply stepOut(const Json& arguments);
    Reply pause(const Json& arguments);
    Reply evaluate(const Json& arguments);
    Reply setVariable(const Json& arguments);
    Reply setExpression(const Json& arguments);
    Reply disassemble(const Json& arguments);
    Reply gotoTargets(const Json& arguments);
    Reply gotoLine(const Json& arguments);
    Reply readMemory(const Json& arguments);
    Reply writeMemory(const Json& arguments);
    Reply terminate(const Json& arguments);
    Reply disconnect(const Json& arguments);
    // "uartInput" {"text"}: the simulated host sends the text's bytes to the
    // chip's UART, paced by its receiver; also while the program runs.
    Reply uartInput(const Json& arguments);
    // Time travel on the session's history (recording is on from
    // configurationDone): back one line or instruction, back to the latest
    // breakpoint or data breakpoint.
    Reply stepBack(const Json& arguments);
    Reply reverseContinue(const Json& arguments);
    // Exception breakpoints: the session's exception stops, by their names
    // as filters; exceptionInfo says what the last one saw.
    Reply setExceptionBreakpoints(const Json& arguments);
    // The program loaded anew with the launch's arguments (the files read
    // again), every breakpoint set on it, and started as after
    // configurationDone.
    Reply restart(const Json& arguments);
    void relaunch();
    // Sets up the session from the command line's arguments; why not.
    std::optional<std::string> openSession(const std::vector<std::string>& args);
    // The run's start: recording on, then a stop on entry or a run.
    void startProgram();
    Reply exceptionInfo(const Json& arguments);

    // After the response: run until a stop (`resume`: from the stop, past
    // a breakpoint at the program counter), or take one step.
    void runProgram(bool resume);
    Reply startStep(const Json& arguments, int kind);
    // Says how a run or a step ended (stopped, or terminated and exited).
    void reportStop(int stop, bool paused);
    // The client changed the session's breakpoints or exception stops.
    void stopConditionsChanged();
    void flushUart();
    std::optional<std::string> notRunnable() const;
    Json stackFrame(size_t index) const;
    Json variable(const std::string& name, const std::string& expression, size_t frame);
    std::optional<Json> registerValue(std::string_view name) const;
    // The variables of a container, as the variables request lists them.
    Reply listVariables(Reference reference);
    // What the session takes for the variable `name` of the container
    // `variablesReference` (nothing when there is none): its C expression,
    // a register's name, or its place ("iram:08", "sfr:88", "bit:8C").
    std::optional<std::string> targetOf(const Json& variablesReference, const std::string& name,
                                        std::string& error);
    Json sfrBits(uint8_t address);
    // The Board scope: the board's parts (LCD lines, LEDs, seven-segment
    // digits, keys, the IIC and SPI EEPROMs and the clock's memory) as the
    // machine holds them, each opened to its lines, points, digits, keys or
    // rows of 16 bytes.
    Json boardParts();
    Json boardPart(const std::string& part);
    // A breakpoint's condition, hit condition and log message from its
    // request, or why they cannot be taken.
    static std::optional<std::string> readRule(const Json& wanted, CodeBreak& rule);
    // Hands every code breakpoint to the session.
    void applyCodeBreaks();
    int addReference(Reference reference);
    std::string sourcePath(const std::string& file) const;
    // The source path a client names, as the breakpoints keep it.
    static std::optional<std::string> clientSource(const Json& source);
    int clientLine(int line) const { return line - lineBase_; }

    // The session served: the host's, or the one launch set up.
    Machine& machine() const;
    DebugSession& debug() const;
    bool hasProgram() const { return host_ ? attached_ : bool(session_); }

    Writer writer_;
    Poll poll_;
    DapHost* host_ = nullptr;
    bool attached_ = false;
    FrameReader reader_;
    int64_t seq_ = 1;
    bool initialized_ = false;
    bool ended_ = false;
    bool running_ = false;
    uint64_t runSlice_ = kRunSliceSteps;
    bool pauseAsked_ = false;
    bool restartRun_ = false; // the breakpoints changed during a run
    bool configured_ = false;
    bool terminated_ = false;
    bool stopOnEntry_ = false;
    bool restartAsked_ = false; // during a run: restart once it has ended
    std::vector<std::string> launchArgs_; // the launch as command-line arguments
    int lineBase_ = 0; // 1 when the client counts lines from 0
    std::function<void()> afterResponse_;
    std::unique_ptr<cli::Session> session_;
    std::unique_ptr<cli::UartRecorder> uart_;
    std::string uartBytes_;
    std::string sourceFolder_; // where the source map's file names are relative to
    // A breakpoint on code: a line's, a function's or an instruction's.
    struct LineBreakpoint {
        int id;
        std::vector<uint16_t> addresses;
        CodeBreak rule; // its condition, hit condition and log message
    };
    std::map<std::string, std::vector<LineBreakpoint>> lineBreakpoints_; // by source path
    std::vector<LineBreakpoint> functionBreakpoints_, instructionBreakpoints_;
    std::vector<int> codeBreakIds_; // the breakpoint of each of the session's code breaks
    int nextBreakpointId_ = 1;
    struct DataBreakpoint {
        int id;
        size_t firstPlace, endPlace; // its places among the session's watchpoints
        std::string text;            // what it watches, as the session takes it
    };
    std::vector<DataBreakpoint> dataBreakpoints_;
    std::vector<Reference> references_; // variablesReference n is references_[n - 1]
    // Where the program was when the client last heard "stopped": machine
    // cycle and program counter.
    std::pair<uint64_t, uint16_t> stoppedAt_{};
};

} // namespace quorvel::dap
