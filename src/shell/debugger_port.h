// Run > "Allow Debugger to Attach" and `quorvel --dap-port N`: the window's
// own debug session served over the Debug Adapter Protocol to one client
// at a time, on a TCP port of 127.0.0.1 only (never another interface).
// Messages are framed as on quorvel-cli --dap's standard streams, and the
// same protocol code (dap/dap_server.h) answers them; this object is only
// its transport and its host.
//
// Rules while a client is attached:
// - Runs and steps go through the run controller, whoever asks: a run the
//   window starts (Go, Breakpoint Execution, ...) is a "continued" and its
//   end a "stopped" for the client; a run the client starts shows in the
//   window as its own runs do, and Stop Execution ends either. A step or a
//   move through the history made in the window is a "stopped" (step). The
//   client's conditional breakpoints and exception stops hold for the
//   window's runs too; a run that passes a breakpoint whose condition does
//   not hold goes on as the run it was (Breakpoint Execution keeps its
//   breakpoint). The exception stops end with the client.
// - Every request is answered with the run paused (the run controller's
//   pause guard), and the windows refresh after each batch of requests.
// - The breakpoints are the session's one set: the client's replace the
//   program window's line breakpoints, the last side to set them wins, and
//   the window's line breakpoints hold again when the client leaves.
// - launch is refused (the window has its program), as is restart (the
//   window's Reset CPU). Stepping back and running backwards move through
//   the window's history as its History commands do. disconnect leaves the
//   window as it is, a run going on.
// - What the UART sends goes to the Serial window and, as output events, to
//   the client (during a run every tenth of a second); the client's
//   uartInput feeds the same host.
#pragma once

#include "dap/dap_server.h"
#include "debug/run_controller.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>

#include <memory>
#include <optional>

class QTcpServer;
class QTimer;

namespace quorvel::shell {

class Frame;

// The port Allow Debugger to Attach offers first.
inline constexpr quint16 kDefaultDebuggerPort = 4711;

class DebuggerPort : public QObject, private dap::DapHost {
    Q_OBJECT
  public:
    explicit DebuggerPort(Frame& frame);
    ~DebuggerPort() override;

    // Listens on 127.0.0.1:`port` (0: a free port the system chooses).
    // The message says why it cannot (the port in use, ...).
    std::optional<QString> listen(quint16 port);
    // Stops listening; an attached client is let go.
    void close();
    bool listening() const;
    quint16 port() const;
    bool clientAttached() const { return client_ != nullptr; }
    // The port the menu offers: the last one listened on.
    quint16 lastPort = kDefaultDebuggerPort;

    // From the frame, for every run whoever started it.
    void runStarted();
    void runEnded(StopReason reason);
    // From the frame after its windows were refreshed: a step, a move
    // through the history or a changed program counter the client did not
    // ask for is a stop for it.
    void programMayHaveMoved();
    // The menu entry's check: whether the port is open.
    void syncCommand();

  private:
    void accept();
    void readClient();
    void dropClient();

    // dap::DapHost: the frame's machine and session, its run controller.
    Machine& machine() override;
    DebugSession& debug() override;
    std::string sourceFolder() override;
    bool running() override;
    std::optional<std::string> startRun() override;
    std::optional<std::string> resumeRun() override;
    // The outcome of a run the client asked for, shown as the window's own
    // runs are; the message says why it did not start.
    std::optional<std::string> clientRunStarted(RunOutcome outcome);
    void stopRun() override;
    void stopConditionsChanged() override;
    void step(SourceStep kind, DebugSession::StepUnit unit) override;
    Validation input(const MachineInput& input) override;
    Validation travel(const std::function<Validation(DebugSession&)>& move) override;
    std::string takeTransmitted() override;

    Frame& frame_;
    QTcpServer* server_;
    QTimer* output_; // passes on the UART's bytes while a run goes on
    QPointer<QTcpSocket> client_;
    std::unique_ptr<dap::DapServer> dap_;
    bool serving_ = false; // inside the server's handling of the client's bytes
};

// The device `quorvel --dap-port` starts on, unasked: quorvel-cli's
// default (AT89C52 at 12 MHz, no external data memory), so a program runs
// on the same chip under either adapter.
DeviceSelection debuggerStartDevice();

// Run > "Allow Debugger to Attach": on, after the port dialog (the last
// port offered); off, closing the port and letting a client go.
void allowDebuggerCommand(Frame& frame);

} // namespace quorvel::shell
