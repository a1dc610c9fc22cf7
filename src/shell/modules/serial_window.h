// The "Serial Port" window (MdiSerialportChild): both ends of the chip's
// serial line. Group "Simulated Controller" lists the bytes the chip has
// transmitted and received; group "Simulated Host" holds the byte the host
// sends next ("Send"), the last byte it received, its ninth bit ("TB8",
// enabled while SCON selects mode 2 or 3), the "Setting" button for the
// transfer mode and the progress of a file transmission.
//
// Everything it changes (Send, Cancel, TB8, the transfer mode) is written
// with the simulation paused. While a program runs the module timer's tick
// redraws the window, but only when the lists or the host's state changed.
#pragma once

#include "modules/serial_host.h"
#include "shell/modules/part_window.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class SerialWindow : public PartWindow {
    Q_OBJECT
public:
    explicit SerialWindow(Frame& frame);

    void refreshView() override;
    int viewCommand() const override;
    void moduleTick() override;
    QRect clearViewGeometry(const QSize& client) const override;

    // Controls, for tests.
    QPlainTextEdit* controllerTransmitList() const { return chipTransmit_; }
    QPlainTextEdit* controllerReceiveList() const { return chipReceive_; }
    QLineEdit* hostTransmitField() const { return hostTransmit_; }
    QPushButton* sendButton() const { return send_; }

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
        FileTransmissionStatus status = FileTransmissionStatus::None;
        bool operator==(const Signature&) const = default;
    };
    Signature signature() const;
    // Redraws from the machine; the simulation is paused by the caller.
    void showState();
    void send();
    void chooseNinthBit(uint8_t bit);
    void openSetting();
    void sconChanged();

    QPlainTextEdit* chipTransmit_;
    QPlainTextEdit* chipReceive_;
    QLineEdit* hostTransmit_;
    QPushButton* send_;
    QLineEdit* hostReceive_;
    QRadioButton* ninth_[2];
    QPushButton* setting_;
    QLabel* fileStatus_;
    QLabel* totalBytes_;
    QLabel* bytesTransmitted_;
    Signature shown_;
    bool shownOnce_ = false;
    QString shownHostTransmit_;
};

} // namespace quorvel::shell
