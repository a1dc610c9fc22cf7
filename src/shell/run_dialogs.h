// The dialogs of the Run, BreakPoint and SingleStep menus: "Execute Program"
// (Go To), "BreakPoint Setting", "SingleStep Setting", "Execution Setting"
// and "Execution Time Calculation". Each validates through the core and shows
// the core's message; the caller reads the result after acceptance.
#pragma once

#include "machine/breakpoint.h"
#include "debug/execution_time.h"
#include "debug/run_controller.h"
#include "machine/run_pacer.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quorvel::shell {

class HexEdit;
class Messages;

// "Execute Program": one address; an empty or non-hexadecimal entry keeps the
// dialog open without a message.
class GoToDialog : public QDialog {
    Q_OBJECT
public:
    GoToDialog(uint16_t address, QWidget* parent = nullptr);
    uint16_t address() const { return address_; }

private:
    HexEdit* edit_;
    uint16_t address_;
};

class BreakpointDialog : public QDialog {
    Q_OBJECT
public:
    BreakpointDialog(const BreakpointCondition& condition, DeviceKind kind, bool hasExternalData,
                     Messages& messages, QWidget* parent = nullptr);
    const BreakpointCondition& condition() const { return condition_; }

private:
    void typeChanged(int type);
    void ok();

    BreakpointCondition condition_;
    DeviceKind kind_;
    Messages& messages_;
    QButtonGroup* types_;
    QLabel* listLabel_;
    QComboBox* list_;
    HexEdit* address_;
    HexEdit* data_;
};

class SingleStepDialog : public QDialog {
    Q_OBJECT
public:
    SingleStepDialog(uint16_t steps, Messages& messages, QWidget* parent = nullptr);
    uint16_t steps() const { return steps_; }

private:
    uint16_t steps_;
};

class ExecutionSettingDialog : public QDialog {
    Q_OBJECT
public:
    // With the run speed (percent of real time, 0 for full speed).
    ExecutionSettingDialog(const ExecutionSettings& settings, uint16_t speedPercent,
                           Messages& messages, QWidget* parent = nullptr);
    const ExecutionSettings& settings() const { return settings_; }
    uint16_t speed() const { return speedPercent_; }

private:
    ExecutionSettings settings_;
    uint16_t speedPercent_;
};

// A list of the run speeds (each item's data is its percent) showing
// `percent`; named "runSpeed".
QComboBox* runSpeedCombo(uint16_t percent);

class ExecutionTimeDialog : public QDialog {
    Q_OBJECT
public:
    ExecutionTimeDialog(RunController& controller, Messages& messages, QWidget* parent = nullptr);

protected:
    void reject() override;

private:
    void calculate();
    void tick();

    ExecutionTimeMeasurement measurement_;
    Messages& messages_;
    HexEdit* start_;
    HexEdit* end_;
    QLabel* status_;
    QLabel* progress_;
    QPushButton* calculate_;
    QTimer* timer_;
};

} // namespace quorvel::shell
