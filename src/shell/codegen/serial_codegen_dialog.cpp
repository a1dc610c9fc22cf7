#include "shell/codegen/serial_codegen_dialog.h"

#include "shell/codegen/codegen_dialog_parts.h"
#include "shell/codegen/codegen_records.h"
#include "shell/codegen/generated_code_sink.h"
#include "shell/frame.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvel::shell {

SerialCodeGenDialog::SerialCodeGenDialog(Frame& frame, const SerialCodeGenSettings& record, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame), settings_(record) {
    setObjectName("IDD_CODEGENERATION_SERIALPORT");
    setWindowTitle("Internal Module Code Generation - Serial Port");
    const DeviceSelection& selection = frame_.machine().selection;
    applySerialDevice(settings_, selection.kind);
    computeBaudTable(settings_, selection.frequency);

    auto* routines = new QGroupBox("Routines");
    init_ = namedCheckBox("Initialization", "init");
    receive_ = namedCheckBox("Receive", "receive");
    transmit_ = namedCheckBox("Transmit", "transmit");
    auto* routineRow = new QHBoxLayout(routines);
    for (QCheckBox* box : {init_, receive_, transmit_}) routineRow->addWidget(box);

    auto* modeBox = new QGroupBox("Mode");
    auto* modeRow = new QHBoxLayout(modeBox);
    for (int m = 0; m < 4; ++m) {
        modes_[size_t(m)] = namedRadio(QString("Mode %1").arg(m).toLatin1(), QString("mode%1").arg(m).toLatin1());
        modeRow->addWidget(modes_[size_t(m)]);
        connect(modes_[size_t(m)], &QRadioButton::clicked, this, [this, m] {
            settings_.options = uint8_t((settings_.options & ~kSerialGenModeMask) | (m << kSerialGenModeShift));
            computeBaudTable(settings_, frame_.machine().selection.frequency);
            update();
        });
    }
    sm2_ = namedCheckBox("SM2", "sm2");
    const RadioPair generator = radioPair("Baudrate Generator", "Timer 1", "timer1", "Timer 2", "timer2");
    timer1_ = generator.first;
    timer2_ = generator.second;
    const RadioPair smod = radioPair("SMOD", "0", "smod0", "1", "smod1");
    smod0_ = smod.first;
    smod1_ = smod.second;

    auto* baudBox = new QGroupBox("Baudrate");
    auto* baudGrid = new QGridLayout(baudBox);
    auto* baudGroup = new QButtonGroup(this);
    for (int i = 0; i < kBaudRateCount; ++i) {
        auto* radio = namedRadio(QString::number(kBaudRates[size_t(i)]).toLatin1(),
                                 QString("baud%1").arg(kBaudRates[size_t(i)]).toLatin1());
        bauds_[size_t(i)] = radio;
        baudGroup->addButton(radio, i);
        baudGrid->addWidget(radio, i % 5, i / 5);
        connect(radio, &QRadioButton::clicked, this, [this, i] {
            settings_.baudIndex = i;
            update();
        });
    }
    description_ = new QLabel;
    description_->setObjectName("description");
    description_->setWordWrap(true);

    auto* options = new QHBoxLayout;
    options->addWidget(generator.box);
    options->addWidget(smod.box);
    options->addWidget(sm2_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(routines);
    layout->addWidget(modeBox);
    layout->addLayout(options);
    layout->addWidget(baudBox);
    layout->addWidget(description_);
    generate_ = addGenerateRow(*this, layout);

    connect(init_, &QCheckBox::clicked, this, [this](bool on) { change(kSerialGenInit, on, false); });
    connect(receive_, &QCheckBox::clicked, this, [this](bool on) { change(kSerialGenReceive, on, false); });
    connect(transmit_, &QCheckBox::clicked, this, [this](bool on) { change(kSerialGenTransmit, on, false); });
    connect(sm2_, &QCheckBox::clicked, this, [this](bool on) { change(kSerialGenSm2, on, false); });
    connect(timer1_, &QRadioButton::clicked, this, [this] { change(kSerialGenTimer2, false, true); });
    connect(timer2_, &QRadioButton::clicked, this, [this] { change(kSerialGenTimer2, true, true); });
    // SMOD doubles the timer 1 rates, so the table follows it too.
    connect(smod0_, &QRadioButton::clicked, this, [this] { change(kSerialGenSmod, false, true); });
    connect(smod1_, &QRadioButton::clicked, this, [this] { change(kSerialGenSmod, true, true); });
    update();
}

void SerialCodeGenDialog::change(uint8_t bit, bool on, bool recompute) {
    setBit(settings_.options, bit, on);
    if (recompute) computeBaudTable(settings_, frame_.machine().selection.frequency);
    update();
}

void SerialCodeGenDialog::update() {
    const uint8_t o = settings_.options;
    const SerialDialogEnabling e = serialDialogEnabling(settings_, frame_.machine().selection.kind);
    init_->setChecked(o & kSerialGenInit);
    receive_->setChecked(o & kSerialGenReceive);
    transmit_->setChecked(o & kSerialGenTransmit);
    sm2_->setChecked(o & kSerialGenSm2);
    modes_[size_t(serialGenMode(o))]->setChecked(true);
    (o & kSerialGenTimer2 ? timer2_ : timer1_)->setChecked(true);
    (o & kSerialGenSmod ? smod1_ : smod0_)->setChecked(true);
    for (QRadioButton* r : modes_) r->setEnabled(e.modeRadios);
    sm2_->setEnabled(e.sm2);
    timer1_->setEnabled(e.generator);
    timer2_->setEnabled(e.timer2);
    smod0_->setEnabled(e.smod);
    smod1_->setEnabled(e.smod);
    // An exclusive group cannot show "none selected" without this.
    auto* group = bauds_[0]->group();
    group->setExclusive(false);
    for (int i = 0; i < kBaudRateCount; ++i) {
        bauds_[size_t(i)]->setEnabled(e.baudRadios && settings_.available[size_t(i)]);
        bauds_[size_t(i)]->setChecked(i == settings_.baudIndex);
    }
    group->setExclusive(true);
    description_->setText(QString::fromStdString(serialModeDescription(o)));
    generate_->setEnabled(e.generate);
}

void SerialCodeGenDialog::accept() {
    SerialGeneration g = generateSerialCode(settings_);
    if (g.message) {
        frame_.showMessage(*g.message);
        return;
    }
    code_ = std::move(g.code);
    QDialog::accept();
}

void generateSerialCodeCommand(Frame& frame) {
    SerialCodeGenSettings& record = codeGenRecords(frame).serial;
    SerialCodeGenDialog dialog(frame, record);
    if (dialog.exec() != QDialog::Accepted) return;
    record = dialog.settings();
    insertGeneratedCode(frame, dialog.code());
}

} // namespace quorvel::shell
