// "Serial Port Transfer Mode Setting": how the simulated host sends, a byte
// typed in the serial port window ("Manual Byte") or a whole file ("From
// File", with its name and "&Browse"), and the host's baud rate (empty: as
// the chip). Works on a copy; OK hands it back.
#pragma once

#include "modules/serial_host_settings.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class Messages;

class SerialModeDialog : public QDialog {
    Q_OBJECT
public:
    SerialModeDialog(Messages& messages, const SerialHostSettings& settings, QWidget* parent = nullptr);

    SerialHostSettings settings() const;

    void accept() override;

private:
    void modeChosen();
    void browse();

    Messages& messages_;
    QRadioButton* manual_;
    QRadioButton* fromFile_;
    QLineEdit* fileName_;
    QPushButton* browse_;
    QLineEdit* hostBaud_;
};

} // namespace quorvel::shell
