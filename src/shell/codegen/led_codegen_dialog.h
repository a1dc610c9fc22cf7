// "Code Generation - Seven Segment Display Routines" and its "Setting"
// dialog (interrupt timer and digit buffer of the multiplexed variants), on
// the frame's LED code-generation record.
#pragma once

#include "codegen/led_codegen.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class Frame;

class LedCodeGenDialog : public QDialog {
    Q_OBJECT
public:
    LedCodeGenDialog(Frame& frame, LedCodeGenSettings& record, QWidget* parent = nullptr);

protected:
    // "Generate  Code": the clock field is read first (unless the
    // simulation's settings are used).
    void accept() override;

private:
    void update();
    void bindConfiguration(QRadioButton* radio, uint8_t bit, bool on);

    Frame& frame_;
    LedCodeGenSettings& record_;
    std::array<QCheckBox*, 5> routines_{};
    std::array<QRadioButton*, 2> interface_{}; // "Multiplexed", "Non-Multiplexed"
    std::array<QRadioButton*, 2> input_{};     // "7 Segment", "BCD"
    std::array<QRadioButton*, 2> type_{};      // "Common Anode", "Common Cathode"
    std::array<QRadioButton*, 2> level_{};     // "0", "1"
    QCheckBox* externalMux_;
    QComboBox* decoder_;
    QLineEdit* clock_;
    QCheckBox* same_;
    QPushButton* portLines_;
    QPushButton* setting_;
    QPlainTextEdit* summary_;
    QPushButton* generate_;
};

// "Setting": the interrupt timer and the buffer start; Cancel puts both back.
bool runLedCodeGenSettingDialog(Frame& frame, QWidget* parent, LedCodeGenSettings& record);

void generateLedCodeCommand(Frame& frame);

} // namespace quorvel::shell
