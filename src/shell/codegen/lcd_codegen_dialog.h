// "Code Generation - LCD Routines" and its "LCD Code Generation -
// Initialization " options dialog. The dialog works on the frame's LCD
// code-generation record, which keeps what was chosen for the rest of the
// run; the command then generates the driver and inserts it at the editor's
// caret.
#pragma once

#include "codegen/lcd_codegen.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class Frame;

class LcdCodeGenDialog : public QDialog {
    Q_OBJECT
public:
    LcdCodeGenDialog(Frame& frame, LcdCodeGenSettings& record, QWidget* parent = nullptr);

    // "Generate  Code": only for lines the routines can drive.
    void accept() override;

private:
    void routineClicked(int bit, bool checked);
    void update();

    Frame& frame_;
    LcdCodeGenSettings& record_;
    std::array<QCheckBox*, 10> routines_{};
    QComboBox* type_;
    QRadioButton* eightBits_;
    QRadioButton* fourBits_;
    QCheckBox* same_;
    QPushButton* setting_;
    QPushButton* portLines_;
    QPlainTextEdit* summary_;
    QPushButton* generate_;
};

// "LCD Code Generation - Initialization": edits `options`; Cancel keeps
// the value it had.
bool runLcdInitOptionsDialog(QWidget* parent, uint8_t& options);

// The command: runs the dialog and inserts the generated driver.
void generateLcdCodeCommand(Frame& frame);

} // namespace quorvel::shell
