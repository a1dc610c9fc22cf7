#include "shell/codegen/keyboard_codegen_dialog.h"

#include "shell/codegen/codegen_dialog_parts.h"
#include "shell/codegen/codegen_port_lines.h"
#include "shell/codegen/codegen_records.h"
#include "shell/codegen/generated_code_sink.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quorvel::shell {

KeyboardCodeGenDialog::KeyboardCodeGenDialog(Frame& frame, KeyboardCodeGenSettings& record, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame), record_(record) {
    setObjectName("IDM_CODEGENERATION_KEYBOARD");
    setWindowTitle("Code Generation - Keyboard Routines");

    auto* typeBox = new QGroupBox("Keypad");
    auto* typeRow = new QHBoxLayout(typeBox);
    const std::array<const char*, 3> names{"4 X 3", "4 X 4", "4 X 8"};
    for (int t = 0; t < 3; ++t) {
        types_[size_t(t)] = namedRadio(names[size_t(t)], QString("type%1").arg(t).toLatin1());
        typeRow->addWidget(types_[size_t(t)]);
        connect(types_[size_t(t)], &QRadioButton::clicked, this, [this, t] {
            record_.type = uint8_t((record_.type & ~kKeyGenTypeMask) | t);
            update();
        });
    }
    read_ = namedCheckBox("Read", "read");
    same_ = namedCheckBox("Use Same Setting as in Simulation", "sameSetting");
    address_ = new QLineEdit(QString::asprintf("%02X", record_.keyBuffer));
    address_->setObjectName("address");
    address_->setMaxLength(2);
    portLines_ = namedButton("Port Line Selection", "portLineSelection");
    summary_ = summaryBox();

    auto* form = new QFormLayout;
    form->addRow(fieldLabel("Internal Data Memory Address:", address_), address_);
    auto* left = new QVBoxLayout;
    left->addWidget(read_);
    left->addWidget(typeBox);
    left->addLayout(form);
    left->addWidget(same_);
    left->addWidget(portLines_);
    left->addStretch();
    generate_ = layOutWithSummary(*this, {left}, summary_);

    connect(read_, &QCheckBox::clicked, this, [this](bool on) {
        setBit(record_.type, kKeyGenRead, on);
        update();
    });
    connect(same_, &QCheckBox::clicked, this, [this](bool on) {
        setBit(record_.type, kKeyGenSameAsSimulation, on);
        update();
    });
    connect(portLines_, &QPushButton::clicked, this, [this] {
        keyboardCodeGenPortLines(frame_, this, record_);
        update();
    });
    update();
}

void KeyboardCodeGenDialog::update() {
    const bool own = !(record_.type & kKeyGenSameAsSimulation);
    // The keypad in use: the simulation's with "Use Same Setting as in
    // Simulation" (the record's type when the simulation has none).
    const int shown = keypadWiringInUse(record_, frame_.machine().modules.settings).type;
    types_[size_t(std::min(shown < 3 ? shown : record_.type & kKeyGenTypeMask, 2))]->setChecked(true);
    for (QRadioButton* r : types_) r->setEnabled(own);
    portLines_->setEnabled(own);
    read_->setChecked(record_.type & kKeyGenRead);
    same_->setChecked(!own);
    // Nothing to generate for "No Keyboard" (the simulation's, in use).
    generate_->setEnabled((record_.type & kKeyGenRead) && shown < 3);
    showSummary(summary_, keyboardCodeGenSummary(record_, frame_.machine().modules.settings));
}

void KeyboardCodeGenDialog::accept() {
    if (const Validation message = acceptKeyBufferAddress(record_, address_->text().toStdString())) {
        frame_.showMessage(*message);
        address_->setFocus();
        return;
    }
    QDialog::accept();
}

void generateKeyboardCodeCommand(Frame& frame) {
    KeyboardCodeGenSettings& record = codeGenRecords(frame).keyboard;
    KeyboardCodeGenDialog dialog(frame, record);
    if (dialog.exec() != QDialog::Accepted) return;
    insertGeneratedCode(frame, generateKeyboardCode(record, frame.machine().modules.settings,
                                                    frame.machine().selection.cycleTimeUs));
}

} // namespace quorvel::shell
