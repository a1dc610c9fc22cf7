#include "shell/modules/serial_mode_dialog.h"

#include "modules/serial_host.h"
#include "shell/dialog_parts.h"
#include "shell/messages.h"
#include "shell/modules/transfer_list_commands.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel::shell {

SerialModeDialog::SerialModeDialog(Messages& messages, const SerialHostSettings& settings,
                                   QWidget* parent)
    : QDialog(parent), messages_(messages) {
    setObjectName("IDM_SERIALPORTSETTING");
    setWindowTitle("Serial Port Transfer Mode Setting");

    auto* transfer = new QGroupBox("Transfer");
    manual_ = new QRadioButton("Manual Byte");
    manual_->setObjectName("manualByte");
    fromFile_ = new QRadioButton("From File");
    fromFile_->setObjectName("fromFile");
    auto* modes = new QVBoxLayout(transfer);
    modes->addWidget(manual_);
    modes->addWidget(fromFile_);

    auto* file = new QGroupBox("File Transfer");
    fileName_ = new QLineEdit(QString::fromStdString(settings.TransferFileName));
    fileName_->setObjectName("fileName");
    fileName_->setMinimumWidth(260);
    browse_ = namedButton("&Browse", "browse");
    auto* fileRow = new QHBoxLayout(file);
    fileRow->addWidget(fieldLabel("Filename:", fileName_));
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(browse_);

    auto* line = new QGroupBox("Host");
    hostBaud_ = new QLineEdit(settings.HostBaud ? QString::number(settings.HostBaud) : QString());
    hostBaud_->setObjectName("hostBaud");
    hostBaud_->setPlaceholderText(QString::fromLatin1(kAsTheChip));
    auto* lineRow = new QHBoxLayout(line);
    lineRow->addWidget(fieldLabel("Baud rate:", hostBaud_));
    lineRow->addWidget(hostBaud_, 1);

    auto* ok = namedButton("OK", "ok");
    ok->setDefault(true);
    auto* cancel = namedButton("Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(transfer);
    layout->addWidget(file);
    layout->addWidget(line);
    layout->addLayout(buttonRow(ok, cancel));

    (serialFromFile(settings) ? fromFile_ : manual_)->setChecked(true);
    modeChosen();
    connect(manual_, &QRadioButton::toggled, this, &SerialModeDialog::modeChosen);
    connect(browse_, &QPushButton::clicked, this, &SerialModeDialog::browse);
    connect(ok, &QPushButton::clicked, this, &SerialModeDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SerialModeDialog::reject);
}

SerialHostSettings SerialModeDialog::settings() const {
    SerialHostSettings s;
    s.SerialTransferMode = fromFile_->isChecked() ? kSerialFromFile : 0;
    s.TransferFileName = fileName_->text().toStdString();
    s.HostBaud = parseHostBaud(hostBaud_->text().toStdString()).value_or(0);
    return s;
}

void SerialModeDialog::accept() {
    SerialHostSettings s = settings();
    if (Validation message = checkSerialHostSettings(s, hostBaud_->text().toStdString())) {
        messages_.show(this, *message);
        (parseHostBaud(hostBaud_->text().toStdString()) ? fileName_ : hostBaud_)->setFocus();
        return;
    }
    QDialog::accept();
}

void SerialModeDialog::modeChosen() {
    const bool file = fromFile_->isChecked();
    fileName_->setEnabled(file);
    browse_->setEnabled(file);
}

void SerialModeDialog::browse() {
    const QString path = messages_.openFileName(this, QString::fromLatin1(kSerialBrowseTitle),
                                                transferListNameFilters());
    if (!path.isEmpty()) fileName_->setText(path);
}

} // namespace quorvel::shell
