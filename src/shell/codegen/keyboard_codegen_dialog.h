// "Code Generation - Keyboard Routines": the keypad type, the "Read"
// routine, the key buffer's internal RAM address and the row and column
// lines, on the frame's keyboard code-generation record.
#pragma once

#include "codegen/keyboard_codegen.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class Frame;

class KeyboardCodeGenDialog : public QDialog {
    Q_OBJECT
public:
    KeyboardCodeGenDialog(Frame& frame, KeyboardCodeGenSettings& record, QWidget* parent = nullptr);

protected:
    // "Generate  Code": the address field is read first.
    void accept() override;

private:
    void update();

    Frame& frame_;
    KeyboardCodeGenSettings& record_;
    std::array<QRadioButton*, 3> types_{};
    QCheckBox* read_;
    QCheckBox* same_;
    QLineEdit* address_;
    QPushButton* portLines_;
    QPlainTextEdit* summary_;
    QPushButton* generate_;
};

void generateKeyboardCodeCommand(Frame& frame);

} // namespace quorvel::shell
