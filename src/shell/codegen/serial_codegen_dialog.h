// "Internal Module Code Generation - Serial Port": the routines, the mode,
// SM2, SMOD, the baud-rate generator and the baud rate, with the rates the
// clock cannot reach within 5 per cent disabled. The dialog works on a copy
// of the frame's serial record: "Generate  Code" keeps it, Cancel leaves the
// record as it was.
#pragma once

#include "codegen/serial_codegen.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quorvel::shell {

class Frame;

class SerialCodeGenDialog : public QDialog {
    Q_OBJECT
public:
    SerialCodeGenDialog(Frame& frame, const SerialCodeGenSettings& record, QWidget* parent = nullptr);

    const SerialCodeGenSettings& settings() const { return settings_; }
    // The sections for the settings, once the dialog ended with "Generate  Code".
    const GeneratedCode& code() const { return code_; }

protected:
    void accept() override;

private:
    void change(uint8_t bit, bool on, bool recompute);
    void update();

    Frame& frame_;
    SerialCodeGenSettings settings_;
    GeneratedCode code_;
    QCheckBox* init_;
    QCheckBox* receive_;
    QCheckBox* transmit_;
    QCheckBox* sm2_;
    QRadioButton* timer1_;
    QRadioButton* timer2_;
    QRadioButton* smod0_;
    QRadioButton* smod1_;
    std::array<QRadioButton*, 4> modes_{};
    std::array<QRadioButton*, kBaudRateCount> bauds_{};
    QLabel* description_;
    QPushButton* generate_;
};

void generateSerialCodeCommand(Frame& frame);

} // namespace quorvel::shell
