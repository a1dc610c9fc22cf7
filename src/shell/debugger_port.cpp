#include "shell/debugger_port.h"

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/history_commands.h"
#include "shell/messages.h"
#include "shell/modules/chip_notices.h"
#include "shell/source_debug.h"

#include <QAction>
#include <QFileInfo>
#include <QHostAddress>
#include <QInputDialog>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace quorvel::shell {

DebuggerPort::DebuggerPort(Frame& frame)
    : frame_(frame), server_(new QTcpServer(this)), output_(new QTimer(this)) {
    connect(server_, &QTcpServer::newConnection, this, &DebuggerPort::accept);
    output_->setInterval(100);
    connect(output_, &QTimer::timeout, this, [this] {
        if (dap_) dap_->hostOutput();
    });
}

DebuggerPort::~DebuggerPort() {
    close();
}

std::optional<QString> DebuggerPort::listen(quint16 port) {
    close();
    if (server_->listen(QHostAddress::LocalHost, port)) {
        lastPort = server_->serverPort();
        frame_.setStatusText(0, QString("A debugger may attach on 127.0.0.1:%1").arg(lastPort));
        syncCommand();
        return std::nullopt;
    }
    syncCommand();
    const QString why = server_->serverError() == QAbstractSocket::AddressInUseError
                            ? "the port is in use by another program: choose another one"
                            : server_->errorString();
    return QString("A debugger cannot attach on 127.0.0.1:%1: %2.").arg(port).arg(why);
}

void DebuggerPort::close() {
    dropClient();
    if (!server_->isListening()) return;
    server_->close();
    frame_.setStatusText(0, "No debugger may attach");
    syncCommand();
}

void DebuggerPort::syncCommand() {
    if (QAction* allow = frame_.menuAction(id::AllowDebugger)) {
        allow->setCheckable(true);
        allow->setChecked(listening());
    }
}

DeviceSelection debuggerStartDevice() {
    Machine machine;
    if (auto failure = cli::setUpBoard(cli::CliOptions{}, machine))
        qFatal("the command line's default board: %s", failure->c_str());
    return machine.selection;
}

void allowDebuggerCommand(Frame& frame) {
    DebuggerPort& port = frame.debuggerPort();
    if (port.listening()) return port.close();
    bool ok = false;
    const int chosen = QInputDialog::getInt(
        &frame, "Allow Debugger to Attach",
        "Port on 127.0.0.1 (the editor's attach configuration names it):", port.lastPort, 1, 65535,
        1, &ok);
    if (ok) {
        if (auto refused = port.listen(quint16(chosen)))
            frame.showMessage(errorMessage("Error", refused->toStdString()));
    }
    port.syncCommand();
}

bool DebuggerPort::listening() const {
    return server_->isListening();
}

quint16 DebuggerPort::port() const {
    return server_->serverPort();
}

void DebuggerPort::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (client_) {
            // One client at a time: the newcomer hears why and is let go.
            const nlohmann::json event{
                {"seq", 1},
                {"type", "event"},
                {"event", "output"},
                {"body",
                 {{"category", "important"},
                  {"output", "another debugger is attached to the simulator\n"}}}};
            socket->write(QByteArray::fromStdString(dap::frameMessage(event.dump())));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        client_ = socket;
        dap_ = std::make_unique<dap::DapServer>(
            [this](std::string_view framed) {
                if (!client_ || client_->state() != QAbstractSocket::ConnectedState) return false;
                return client_->write(framed.data(), qint64(framed.size())) ==
                       qint64(framed.size());
            },
            static_cast<dap::DapHost&>(*this));
        frame_.chipNotices().collectTransmitted(true);
        output_->start();
        connect(socket, &QTcpSocket::readyRead, this, &DebuggerPort::readClient);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client_ == socket) dropClient();
        });
        frame_.setStatusText(0, QString("A debugger is attached on 127.0.0.1:%1").arg(port()));
    }
}

void DebuggerPort::readClient() {
    if (!client_ || !dap_ || serving_) return;
    const QByteArray bytes = client_->readAll();
    RunController& run = frame_.runControl();
    {
        // Every request is answered with the machine held still.
        auto guard = run.pause();
        const uint16_t pcBefore = frame_.machine().chip.pc;
        serving_ = true;
        dap_->receive(std::string_view(bytes.constData(), size_t(bytes.size())));
        serving_ = false;
        // A program counter the client set (goto, setVariable PC) is where
        // the window's next run or step starts.
        if (!run.running() && frame_.machine().chip.pc != pcBefore)
            run.setCurrentAddress(frame_.machine().chip.pc);
    }
    if (dap_->ended()) {
        client_->flush();
        dropClient();
    }
    // What the client changed (a variable, memory, the program counter).
    if (!run.running()) frame_.refreshViews();
}

void DebuggerPort::dropClient() {
    dap_.reset();
    output_->stop();
    frame_.chipNotices().collectTransmitted(false);
    if (QTcpSocket* socket = client_) {
        client_ = nullptr;
        socket->disconnect(this);
        socket->disconnectFromHost();
        socket->deleteLater();
        // The program window's line breakpoints hold again; the client's
        // exception stops, which the window offers none of, end.
        auto guard = frame_.runControl().pause();
        frame_.runControl().session().setLineBreaks(frame_.sourceDebug().lineBreakAddresses());
        frame_.runControl().session().setExceptionStops({});
        frame_.runControl().stopConditionsChanged();
        if (listening())
            frame_.setStatusText(
                0, QString("The debugger left; a debugger may attach on 127.0.0.1:%1").arg(port()));
    }
}

void DebuggerPort::runStarted() {
    if (!dap_) return;
    auto guard = frame_.runControl().pause();
    dap_->hostRunStarted();
}

void DebuggerPort::runEnded(StopReason reason) {
    if (!dap_) return;
    auto guard = frame_.runControl().pause();
    const bool nested = std::exchange(serving_, true);
    dap_->hostRunEnded(reason);
    serving_ = nested;
    if (dap_->ended() && !nested) dropClient();
}

void DebuggerPort::programMayHaveMoved() {
    if (!dap_ || serving_ || frame_.runControl().running()) return;
    auto guard = frame_.runControl().pause();
    dap_->hostMayHaveMoved();
}

// ---- the host

Validation DebuggerPort::travel(const std::function<Validation(DebugSession&)>& move) {
    return travelInHistory(frame_, move);
}

std::string DebuggerPort::takeTransmitted() {
    return frame_.chipNotices().takeTransmitted();
}

Machine& DebuggerPort::machine() {
    return frame_.machine();
}

DebugSession& DebuggerPort::debug() {
    return frame_.runControl().session();
}

std::string DebuggerPort::sourceFolder() {
    const QString map = frame_.sourceDebug().mapPath();
    return map.isEmpty() ? std::string() : QFileInfo(map).absolutePath().toStdString();
}

bool DebuggerPort::running() {
    return frame_.runControl().running();
}

std::optional<std::string> DebuggerPort::startRun() {
    // The client's runs and steps start where it sees the program: at the
    // program counter.
    frame_.runControl().setCurrentAddress(frame_.machine().chip.pc);
    return clientRunStarted(frame_.runControl().go());
}

std::optional<std::string> DebuggerPort::clientRunStarted(RunOutcome outcome) {
    if (!outcome.started && !frame_.runControl().running())
        return outcome.message ? outcome.message->text : std::string("the program cannot run");
    outcome.message.reset();
    frame_.applyRunOutcome(outcome);
    return std::nullopt;
}

std::optional<std::string> DebuggerPort::resumeRun() {
    frame_.runControl().setCurrentAddress(frame_.machine().chip.pc);
    return clientRunStarted(frame_.runControl().resume());
}

void DebuggerPort::stopRun() {
    frame_.dispatch(id::StopExecution);
}

void DebuggerPort::stopConditionsChanged() {
    frame_.runControl().stopConditionsChanged();
}

void DebuggerPort::step(SourceStep kind, DebugSession::StepUnit unit) {
    frame_.runControl().setCurrentAddress(frame_.machine().chip.pc);
    RunOutcome outcome = frame_.runControl().sourceLineStep(kind, unit);
    // The client hears how the step ended; no box waits for the user.
    outcome.message.reset();
    outcome.watchStop = false;
    frame_.applyRunOutcome(outcome);
}

Validation DebuggerPort::input(const MachineInput& input) {
    return frame_.runControl().input(input);
}

} // namespace quorvel::shell
