// The "Serial Port" window (MdiSerialportChild): both ends of the chip's
// serial line. Group "Simulated Controller" lists the bytes the chip has
// transmitted and received; group "Simulated Host" holds the byte the host
// sends next ("Send"), the last byte it received, its ninth bit ("TB8",
// enabled while SCON selects mode 2 or 3), the "Setting" button for the
// transfer mode and the progress of a file transmission.
//
// The "PTY" switch puts a pseudo-terminal in the host's place: the chip's
// line is bridged to it (UartPty) and the window shows the terminal's path
// for a terminal program to open. The firmware's bytes still fill the
// transmit list; the terminal's bytes enter the receiver one character time
// apart, as a file transmission's do, and fill the receive list. The host's
// own Send and file transmission are off meanwhile, as they would feed the
// same receiver; switching it off closes the terminal.
//
// Everything it changes (Send, Cancel, TB8, the transfer mode, the bridge)
// is written with the simulation paused. While a program runs the module
// timer's tick polls the bridge and redraws the window, but only when the
// lists or the host's state changed; while none runs a slower timer of the
// window's own polls the bridge.
#pragma once

#include "modules/serial_host.h"
#include "shell/modules/part_window.h"

#include <QString>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quorvel {
class UartPty;
}

namespace quorvel::shell {

class ChipNotices;

class SerialWindow : public PartWindow {
    Q_OBJECT
public:
    // `notices` tells when the program writes SCON and carries the
    // pseudo-terminal bridge.
    SerialWindow(ViewContext& context, ChipNotices& notices);
    ~SerialWindow() override;

    void refreshView() override;
    int viewCommand() const override;
    void moduleTick() override;
    QRect clearViewGeometry(const QSize& client) const override;

    // Controls, for tests.
    QPlainTextEdit* controllerTransmitList() const { return chipTransmit_; }
    QPlainTextEdit* controllerReceiveList() const { return chipReceive_; }
    QLineEdit* hostTransmitField() const { return hostTransmit_; }
    QPushButton* sendButton() const { return send_; }
    // Characters typed as text, sent one byte after another.
    QLineEdit* hostTextField() const { return hostText_; }
    QPushButton* sendTextButton() const { return sendText_; }
    QCheckBox* ptySwitch() const { return pty_; }
    QLineEdit* ptyPathField() const { return ptyPath_; }

protected:
    int normalTopMargin() const override { return kTopMargin; }

private:
    static constexpr int kTopMargin = 8;

    // What decides whether a tick must redraw: the lists' positions and the
    // host's state.
    struct Signature {
        uint16_t txHead = 0, txCount = 0, rxHead = 0, rxCount = 0;
        uint8_t transmitByte = 0, receiveByte = 0, ninthBit = 0, scon7 = 0, mode = 0;
        uint32_t bytesSent = 0;
        bool transmitting = false;
        bool ptyOpen = false;
        FileTransmissionStatus status = FileTransmissionStatus::None;
        bool operator==(const Signature&) const = default;
    };
    Signature signature() const;
    // Redraws from the machine; the simulation is paused by the caller.
    void showState();
    void send();
    void sendText();
    void chooseNinthBit(uint8_t bit);
    void openSetting();
    void sconChanged();
    void switchPty(bool on);
    // Moves bytes between the terminal and the chip; the simulation is
    // paused by the caller. A terminal that broke is closed and said so.
    void pollPty();
    // Detaches and closes the bridge; the simulation is paused by the caller.
    void closePty();

    QPlainTextEdit* chipTransmit_;
    QPlainTextEdit* chipReceive_;
    QLineEdit* hostTransmit_;
    QPushButton* send_;
    QLineEdit* hostText_;
    QPushButton* sendText_;
    QLineEdit* hostReceive_;
    QRadioButton* ninth_[2];
    QPushButton* setting_;
    QLabel* fileStatus_;
    QLabel* totalBytes_;
    QLabel* bytesTransmitted_;
    QCheckBox* pty_;
    QLineEdit* ptyPath_;
    QTimer* ptyTimer_;
    ChipNotices& notices_;
    std::unique_ptr<UartPty> bridge_;
    Signature shown_;
    bool shownOnce_ = false;
    QString shownHostTransmit_;
};

} // namespace quorvel::shell
