// The memory dialogs of the File and Memory menus: "Save Memory "
// (IDM_SAVEMEMORY) with its progress dialog (IDM_FILESAVE), the fill and copy
// dialogs of the three memories, and "Memory Setting" (IDD_MEMORYSETTING).
#pragma once

#include "tools/block_operations.h"
#include "tools/memory_saver.h"
#include "tools/memory_setting.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QProgressBar;
class QRadioButton;
class QTimer;

namespace quorvel {
class RunController;
}

namespace quorvel::shell {

class HexEdit;
class Messages;

// Start and end address, format and memory. "&Save" takes the fields only
// when both are valid hexadecimal; otherwise it stays open silently.
class SaveMemoryDialog : public QDialog {
    Q_OBJECT
public:
    SaveMemoryDialog(const SaveSettings& settings, QWidget* parent = nullptr);
    const SaveSettings& settings() const { return settings_; }

private:
    SaveSettings settings_;
};

// Writes one block per timer tick; Cancel removes the unfinished file.
class SaveProgressDialog : public QDialog {
    Q_OBJECT
public:
    SaveProgressDialog(MemorySaver& saver, RunController& run, QWidget* parent = nullptr);

protected:
    void reject() override;

private:
    void stepOnce();
    MemorySaver& saver_;
    RunController& run_;
    QProgressBar* bar_;
    QTimer* timer_;
};

// One of the fill/copy/move dialogs, by command. Validates the fields in
// order with the core's messages; `values()` holds them after acceptance.
class BlockDialog : public QDialog {
    Q_OBJECT
public:
    BlockDialog(BlockCommand command, const BlockValues& values, Messages& messages,
                QWidget* parent = nullptr);
    const BlockValues& values() const { return values_; }

private:
    BlockCommand command_;
    BlockValues values_;
};

class MemorySettingDialog : public QDialog {
    Q_OBJECT
public:
    MemorySettingDialog(const MemorySetting& setting, const DeviceSelection& selection,
                        Messages& messages, QWidget* parent = nullptr);
    const MemorySetting& setting() const { return setting_; }

private:
    void updateControls();

    MemorySetting setting_;
    DeviceSelection selection_;
    bool hasXdata_;
    QRadioButton* overlapOff_;
    QRadioButton* overlapOn_;
    HexEdit* start_;
    HexEdit* end_;
    QRadioButton* clear_;
    QRadioButton* restore_;
    QCheckBox* clearBoxes_[3];
    QCheckBox* restoreBoxes_[3];
};

} // namespace quorvel::shell
