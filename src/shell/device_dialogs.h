// The three dialogs that choose the simulated device and its memories:
// "Quorvel Simulator - Select Device" (IDM_SELECTDEVICE), "Program Memory
// Setting" (IDM_SELECTDEVICEMEMORY) and "Data Memory Setting"
// (IDM_SELECTDEVICEMEMORY1). Each works on a copy of the selection; the
// caller takes `selection()` after the dialog was accepted.
#pragma once

#include "chip/device.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class Messages;

class DeviceDialog : public QDialog {
    Q_OBJECT
public:
    DeviceDialog(const DeviceSelection& selection, Messages& messages, QWidget* parent = nullptr);
    const DeviceSelection& selection() const { return selection_; }

private:
    void selectionChanged(int comboIndex);
    void openProgramMemory();
    void openDataMemory();
    void ok();

    DeviceSelection selection_;
    Messages& messages_;
    QComboBox* device_;
    QLineEdit* frequency_;
    QPlainTextEdit* features_;
    QPushButton* programMemory_;
    QPushButton* dataMemory_;
};

class ProgramMemoryDialog : public QDialog {
    Q_OBJECT
public:
    // `kind` is the device currently chosen in the device dialog.
    ProgramMemoryDialog(const DeviceSelection& selection, DeviceKind kind,
                        QWidget* parent = nullptr);
    const DeviceSelection& selection() const { return selection_; }

private:
    void modeChanged();
    void ok();

    DeviceSelection selection_;
    DeviceKind kind_;
    QButtonGroup* modes_;
    QButtonGroup* sizes_;
};

class DataMemoryDialog : public QDialog {
    Q_OBJECT
public:
    DataMemoryDialog(const DeviceSelection& selection, QWidget* parent = nullptr);
    const DeviceSelection& selection() const { return selection_; }

private:
    DeviceSelection selection_;
    QButtonGroup* sizes_;
};

} // namespace quorvel::shell
