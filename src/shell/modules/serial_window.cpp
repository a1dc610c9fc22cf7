#include "shell/modules/serial_window.h"

#include "chip/serial_line.h"
#include "chip/sfr.h"
#include "modules/uart_pty.h"
#include "shell/clear_view_tiles.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/modules/chip_notices.h"
#include "shell/modules/serial_mode_dialog.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <cctype>

namespace quorvel::shell {

namespace {

// How often the bridge is polled while no program runs (a running program's
// is polled on every module tick).
constexpr int kIdlePtyPollMs = 20;

// The bridge's reason ("cannot open a pseudo-terminal: ...") as a sentence.
UserMessage ptyError(std::string reason) {
    if (!reason.empty()) reason[0] = char(std::toupper(static_cast<unsigned char>(reason[0])));
    return errorMessage("ERROR", std::move(reason));
}

QPlainTextEdit* transferList(const char* name) {
    auto* list = new QPlainTextEdit;
    list->setObjectName(name);
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setFont(listFont());
    // Room for an entry such as "41(A)" beside the scroll bar, and 3 lines.
    const QFontMetrics metrics(list->font());
    list->setMinimumSize(metrics.horizontalAdvance(QString(8, QLatin1Char('0'))) + 24,
                         3 * metrics.lineSpacing() + 8);
    return list;
}

// Replaces a list's text when it changed and shows its end.
void showList(QPlainTextEdit* list, const std::string& text) {
    // The lists separate their lines with "\r\n", as the saved files do.
    QString lines = QString::fromLatin1(text.data(), qsizetype(text.size()));
    lines.remove(QLatin1Char('\r'));
    if (list->toPlainText() != lines) list->setPlainText(lines);
    list->moveCursor(QTextCursor::End);
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
}

QLabel* named(QLabel* label, const char* name) {
    label->setObjectName(name);
    return label;
}

} // namespace

SerialWindow::SerialWindow(ViewContext& context, ChipNotices& notices)
    : PartWindow(context, kSerialWindowClearViewTitle, 10), notices_(notices) {
    setObjectName("MdiSerialportChild");
    setWindowTitle(QString::fromLatin1(kSerialWindowTitle));

    auto* controller = new QGroupBox("Simulated Controller");
    controller->setObjectName("controller");
    chipTransmit_ = transferList("controllerTransmit");
    chipReceive_ = transferList("controllerReceive");
    auto* lists = new QVBoxLayout(controller);
    lists->setSpacing(2);
    lists->addWidget(new QLabel("SBUF(Tr):"));
    lists->addWidget(chipTransmit_, 1);
    lists->addWidget(new QLabel("SBUF(Rr):"));
    lists->addWidget(chipReceive_, 1);

    auto* host = new QGroupBox("Simulated Host");
    host->setObjectName("host");
    hostTransmit_ = new QLineEdit;
    hostTransmit_->setObjectName("hostTransmit");
    hostTransmit_->setMaxLength(2);
    // Two hex digits: anything else is refused as it is typed.
    hostTransmit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,2}"), hostTransmit_));
    const int byteFieldWidth = hostTransmit_->fontMetrics().horizontalAdvance("WWWW");
    hostTransmit_->setFixedWidth(byteFieldWidth);
    send_ = new QPushButton("Send");
    send_->setObjectName("send");
    hostText_ = new QLineEdit;
    hostText_->setObjectName("hostText");
    hostText_->setPlaceholderText("Text");
    hostText_->setToolTip("Characters to send as bytes, one after another");
    sendText_ = new QPushButton("Send Text");
    sendText_->setObjectName("sendText");
    hostReceive_ = new QLineEdit;
    hostReceive_->setObjectName("hostReceive");
    hostReceive_->setReadOnly(true);
    hostReceive_->setFixedWidth(byteFieldWidth);
    ninth_[0] = new QRadioButton("0");
    ninth_[0]->setObjectName("tb8Zero");
    ninth_[1] = new QRadioButton("1");
    ninth_[1]->setObjectName("tb8One");
    setting_ = new QPushButton("Setting");
    setting_->setObjectName("setting");
    fileStatus_ = named(new QLabel, "fileStatus");
    totalBytes_ = named(new QLabel, "totalBytes");
    bytesTransmitted_ = named(new QLabel, "bytesTransmitted");
    pty_ = new QCheckBox("PTY");
    pty_->setObjectName("pty");
    pty_->setToolTip("Connect the serial line to a pseudo-terminal");
    // The terminal's path: read-only, but selectable to be copied.
    ptyPath_ = new QLineEdit;
    ptyPath_->setObjectName("ptyPath");
    ptyPath_->setReadOnly(true);
    ptyPath_->setFont(listFont());
    ptyTimer_ = new QTimer(this);
    ptyTimer_->setInterval(kIdlePtyPollMs);

    auto* hostRows = new QGridLayout(host);
    hostRows->setVerticalSpacing(4);
    hostRows->addWidget(new QLabel("SBUF(Tr):"), 0, 0);
    hostRows->addWidget(hostTransmit_, 0, 1);
    hostRows->addWidget(send_, 0, 2);
    hostRows->addWidget(new QLabel("Text:"), 1, 0);
    hostRows->addWidget(hostText_, 1, 1);
    hostRows->addWidget(sendText_, 1, 2);
    hostRows->addWidget(new QLabel("SBUF(Rr):"), 2, 0);
    hostRows->addWidget(hostReceive_, 2, 1);
    auto* ninthRow = new QHBoxLayout;
    ninthRow->addWidget(new QLabel("TB8"));
    ninthRow->addWidget(ninth_[0]);
    ninthRow->addWidget(ninth_[1]);
    ninthRow->addStretch();
    hostRows->addLayout(ninthRow, 3, 0, 1, 2);
    hostRows->addWidget(setting_, 3, 2);
    hostRows->addWidget(pty_, 4, 0);
    hostRows->addWidget(ptyPath_, 4, 1, 1, 2);
    auto* file = new QGroupBox("File Transmission");
    auto* fileRows = new QGridLayout(file);
    fileRows->addWidget(fileStatus_, 0, 0, 1, 2);
    fileRows->addWidget(new QLabel("Total Bytes      :"), 1, 0);
    fileRows->addWidget(totalBytes_, 1, 1);
    fileRows->addWidget(new QLabel("Bytes Transmitted:"), 2, 0);
    fileRows->addWidget(bytesTransmitted_, 2, 1);
    fileRows->setColumnStretch(1, 1);
    hostRows->addWidget(file, 5, 0, 1, 3);
    hostRows->setRowStretch(6, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, topMargin(kTopMargin), 6, 6);
    layout->addWidget(controller, 1);
    layout->addWidget(host);

    connect(send_, &QPushButton::clicked, this, &SerialWindow::send);
    connect(hostTransmit_, &QLineEdit::returnPressed, this, &SerialWindow::send);
    connect(sendText_, &QPushButton::clicked, this, &SerialWindow::sendText);
    connect(hostText_, &QLineEdit::returnPressed, this, &SerialWindow::sendText);
    for (uint8_t bit : {0, 1})
        connect(ninth_[bit], &QRadioButton::clicked, this, [this, bit] { chooseNinthBit(bit); });
    connect(setting_, &QPushButton::clicked, this, &SerialWindow::openSetting);
    connect(&notices_, &ChipNotices::sconChanged, this, &SerialWindow::sconChanged);
    connect(pty_, &QCheckBox::toggled, this, &SerialWindow::switchPty);
    connect(ptyTimer_, &QTimer::timeout, this, [this] {
        // A running program's module ticks poll it already.
        if (context_.runControl().running()) return;
        auto guard = context_.runControl().pause();
        moduleTick();
    });
}

SerialWindow::~SerialWindow() {
    if (!bridge_) return;
    auto guard = context_.runControl().pause();
    closePty();
}

int SerialWindow::viewCommand() const { return id::SerialWindow; }

QRect SerialWindow::clearViewGeometry(const QSize& client) const {
    return clearViewTile(ClearViewTile::TopLeft, client);
}

void SerialWindow::refreshView() {
    auto guard = context_.runControl().pause();
    showState();
}

void SerialWindow::moduleTick() {
    // The frame's tick holds the simulation paused.
    if (bridge_) pollPty();
    if (shownOnce_ && signature() == shown_) return;
    showState();
}

SerialWindow::Signature SerialWindow::signature() const {
    const Machine& machine = context_.machine();
    const SerialState& serial = machine.chip.periph.serial;
    const SerialHostState& host = machine.modules.serialHost;
    Signature s;
    s.txHead = serial.txLog.head;
    s.txCount = serial.txLog.count;
    s.rxHead = serial.rxLog.head;
    s.rxCount = serial.rxLog.count;
    s.transmitByte = host.transmitByte;
    s.receiveByte = host.receiveByte;
    s.ninthBit = host.ninthBit;
    s.scon7 = machine.chip.sfr(sfr::SCON) & sfr::bits::SM0;
    s.mode = machine.modules.settings.serialHost.SerialTransferMode;
    s.bytesSent = host.bytesSent;
    s.transmitting = host.transmitting;
    s.status = host.fileStatus;
    s.ptyOpen = bool(bridge_);
    return s;
}

void SerialWindow::showState() {
    const Machine& machine = context_.machine();
    const SerialWindowView view =
        serialWindowView(machine.modules.serialHost, machine.modules.settings.serialHost, machine.chip);
    shown_ = signature();
    shownOnce_ = true;

    showList(chipTransmit_, view.controllerTransmitList);
    showList(chipReceive_, view.controllerReceiveList);
    // The host's byte is rewritten only when it changed, so a refresh does
    // not take away what the user is typing.
    const QString hostByte = QString::fromStdString(view.hostTransmit);
    if (hostByte != shownHostTransmit_) {
        hostTransmit_->setText(hostByte);
        shownHostTransmit_ = hostByte;
    }
    // The terminal is the host while it is connected.
    hostTransmit_->setEnabled(view.hostFieldEnabled && !bridge_);
    send_->setEnabled(!bridge_);
    // Text goes as a run of bytes, like a file: not while one is under way.
    const bool textPossible =
        view.hostFieldEnabled && !bridge_ && !machine.modules.serialHost.transmitting;
    hostText_->setEnabled(textPossible);
    sendText_->setEnabled(textPossible);
    {
        const QSignalBlocker quiet(pty_);
        pty_->setChecked(bool(bridge_));
    }
    const QString path = bridge_ ? QString::fromStdString(bridge_->path()) : QString();
    if (ptyPath_->text() != path) ptyPath_->setText(path);
    ptyPath_->setEnabled(bool(bridge_));
    hostReceive_->setText(QString::fromStdString(view.hostReceive));
    for (int bit : {0, 1}) {
        ninth_[bit]->setEnabled(view.ninthBitEnabled);
        ninth_[bit]->setChecked(view.ninthBit == bit);
    }
    send_->setText(QString::fromLatin1(view.sendButton));
    fileStatus_->setText(QString::fromLatin1(view.fileStatus));
    totalBytes_->setText(QString::fromStdString(view.totalBytes));
    bytesTransmitted_->setText(QString::fromStdString(view.bytesTransmitted));
}

void SerialWindow::send() {
    Machine& machine = context_.machine();
    SerialHostState& host = machine.modules.serialHost;
    const SerialHostSettings& settings = machine.modules.settings.serialHost;
    Validation message;
    bool done = true;
    {
        // A manual byte, or "Cancel" of a file being sent.
        context_.runControl().edit([&] {
            if (!serialFromFile(settings) || host.transmitting)
                message = pressSerialSend(host, settings, machine.chip, hostTransmit_->text().toStdString());
            else
                done = false;
        });
    }
    if (!done) {
        // A new file transmission: the file is read with the simulation
        // running (only this thread starts transmissions).
        TransferFile file = readTransferFile(std::filesystem::path(
            QFile::encodeName(QString::fromStdString(settings.TransferFileName)).toStdString()));
        if (file.error) {
            message = file.error;
        } else {
            context_.runControl().edit(
                [&] { startFileTransmission(host, machine.chip, std::move(file.bytes)); });
        }
    }
    if (message) {
        context_.showMessage(*message);
        hostTransmit_->setFocus();
        hostTransmit_->selectAll();
    }
    auto guard = context_.runControl().pause();
    showState();
}

// The typed characters go out as their Latin-1 codes, paced by the
// program's receptions as a file's bytes are; the field is emptied.
void SerialWindow::sendText() {
    const QByteArray bytes = hostText_->text().toLatin1();
    if (bytes.isEmpty()) return;
    auto guard = context_.runControl().pause();
    Machine& machine = context_.machine();
    if (machine.modules.serialHost.transmitting) return;
    context_.runControl().edit([&] {
        startFileTransmission(machine.modules.serialHost, machine.chip,
                              std::vector<uint8_t>(bytes.begin(), bytes.end()));
    });
    hostText_->clear();
    showState();
}

void SerialWindow::chooseNinthBit(uint8_t bit) {
    auto guard = context_.runControl().pause();
    context_.runControl().edit([&] { context_.machine().modules.serialHost.ninthBit = bit; });
    showState();
}

void SerialWindow::openSetting() {
    SerialHostSettings current;
    {
        auto guard = context_.runControl().pause();
        current = context_.machine().modules.settings.serialHost;
    }
    SerialModeDialog dialog(context_.messages(), current, this);
    if (dialog.exec() != QDialog::Accepted) return;
    auto guard = context_.runControl().pause();
    context_.runControl().edit([&] {
        context_.machine().modules.settings.serialHost = dialog.settings();
        setSerialLineBaud(context_.machine().chip, dialog.settings().HostBaud);
    });
    showState();
}

void SerialWindow::sconChanged() {
    auto guard = context_.runControl().pause();
    const bool enabled = serialNinthBitEnabled(context_.machine().chip.sfr(sfr::SCON));
    for (QRadioButton* radio : ninth_) radio->setEnabled(enabled);
}

void SerialWindow::switchPty(bool on) {
    if (on == bool(bridge_)) return;
    if (!on) {
        auto guard = context_.runControl().pause();
        closePty();
        showState();
        return;
    }
    auto bridge = std::make_unique<UartPty>();
    if (auto failure = bridge->open()) {
        {
            const QSignalBlocker quiet(pty_);
            pty_->setChecked(false);
        }
        context_.showMessage(ptyError(*failure));
        return;
    }
    auto guard = context_.runControl().pause();
    Machine& machine = context_.machine();
    // A file still being sent would feed the same receiver: it stops here.
    if (machine.modules.serialHost.transmitting) cancelFileTransmission(machine.modules.serialHost);
    // The terminal's bytes reach the chip as inputs the history logs (in
    // pollPty), not from the bridge itself.
    bridge->handOverBytes(false);
    bridge_ = std::move(bridge);
    notices_.setPty(bridge_.get());
    ptyTimer_->start();
    pollPty();
    showState();
}

void SerialWindow::pollPty() {
    Machine& machine = context_.machine();
    const auto failure = bridge_->poll(machine.modules.serialHost, machine.chip);
    if (!failure) {
        // One byte a tick, when the chip's receiver is ready for it.
        if (const std::optional<uint8_t> byte = bridge_->takeReady(machine.chip))
            context_.runControl().input({.kind = MachineInput::Kind::SerialByte, .bytes = {}, .value = *byte});
        return;
    }
    closePty();
    showState();
    // Said once the tick that found it has let the simulation go on.
    QMetaObject::invokeMethod(
        this, [this, message = ptyError(*failure)] { context_.showMessage(message); }, Qt::QueuedConnection);
}

void SerialWindow::closePty() {
    ptyTimer_->stop();
    notices_.setPty(nullptr);
    bridge_.reset();
}

View* createSerialWindow(const ViewSources& sources) { return new SerialWindow(sources.context, sources.chipNotices); }

} // namespace quorvel::shell
