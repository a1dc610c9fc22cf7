#include "shell/codegen/led_codegen_dialog.h"

#include "codegen/serial_codegen.h"
#include "shell/codegen/codegen_dialog_parts.h"
#include "shell/codegen/codegen_port_lines.h"
#include "shell/codegen/codegen_records.h"
#include "shell/codegen/generated_code_sink.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

constexpr std::array<const char*, 5> kRoutineNames{"Initialization", "Message Display", "1 Digit Display",
                                                   "2 Digits Display", "4 Digits Display"};

const char* settingTitle(uint8_t configuration) {
    const bool external = configuration & kLedExternalMux;
    if (configuration & kLedBcd)
        return external ? "Code Generation - External Multiplexed BCD Input"
                        : "Code Generation - Internal Multiplexed BCD Input";
    return external ? "Code Generation - External Multiplexed 7 Segment Input"
                    : "Code Generation - Internal Multiplexed 7 Segment Input";
}

} // namespace

LedCodeGenDialog::LedCodeGenDialog(Frame& frame, LedCodeGenSettings& record, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame), record_(record) {
    setObjectName("IDM_CODEGENERATION_LED");
    setWindowTitle("Code Generation - Seven Segment Display Routines");

    auto* routineBox = new QGroupBox("Routines");
    auto* routineLayout = new QVBoxLayout(routineBox);
    for (int bit = 0; bit < 5; ++bit) {
        auto* box = namedCheckBox(kRoutineNames[size_t(bit)], QString("routine%1").arg(bit).toLatin1());
        routines_[size_t(bit)] = box;
        routineLayout->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, bit](bool on) {
            record_.routines = ledRoutineClicked(record_.routines, LedRoutine(1u << bit), on);
            update();
        });
    }
    setting_ = namedButton("Setting", "setting");
    routineLayout->addWidget(setting_);

    const RadioPair interface = radioPair("Interface", "Multiplexed", "multiplexed", "Non-Multiplexed",
                                          "nonMultiplexed");
    const RadioPair input = radioPair("Input", "7 Segment", "sevenSegment", "BCD", "bcd");
    const RadioPair type = radioPair("Type", "Common Anode", "commonAnode", "Common Cathode", "commonCathode");
    const RadioPair level = radioPair("Activating Level - Internal Multiplexer", "0", "level0", "1", "level1");
    interface_ = {interface.first, interface.second};
    input_ = {input.first, input.second};
    type_ = {type.first, type.second};
    level_ = {level.first, level.second};
    bindConfiguration(interface.first, kLedNonMultiplexed, false);
    bindConfiguration(interface.second, kLedNonMultiplexed, true);
    bindConfiguration(input.first, kLedBcd, false);
    bindConfiguration(input.second, kLedBcd, true);
    bindConfiguration(type.first, kLedCommonCathode, false);
    bindConfiguration(type.second, kLedCommonCathode, true);
    connect(level.first, &QRadioButton::clicked, this, [this] {
        setBit(record_.options, kLedGenSelectLevel, false);
        update();
    });
    connect(level.second, &QRadioButton::clicked, this, [this] {
        setBit(record_.options, kLedGenSelectLevel, true);
        update();
    });
    externalMux_ = namedCheckBox("External Multiplexer", "externalMux");
    connect(externalMux_, &QCheckBox::clicked, this, [this](bool on) {
        setBit(record_.configuration, kLedExternalMux, on);
        update();
    });
    decoder_ = new QComboBox;
    decoder_->setObjectName("decoder");
    for (const char* name : {"2 to 4", "3 to 8", "4 to 16"}) decoder_->addItem(name);
    connect(decoder_, &QComboBox::activated, this, [this](int index) {
        record_.configuration =
            uint8_t((record_.configuration & ~kLedDecoderMask) | (index << kLedDecoderShift));
        update();
    });
    auto* mux = new QGroupBox("Multiplexer");
    auto* muxLayout = new QFormLayout(mux);
    muxLayout->addRow(externalMux_);
    muxLayout->addRow(fieldLabel("Select Multiplexer:", decoder_), decoder_);
    muxLayout->addRow(level.box);

    clock_ = new QLineEdit(QString::number(record_.clockHz));
    clock_->setObjectName("clock");
    clock_->setMaxLength(8);
    same_ = namedCheckBox("Use Same Setting as in Simulation", "sameSetting");
    connect(same_, &QCheckBox::clicked, this, [this](bool on) {
        setBit(record_.options, kLedGenSameAsSimulation, on);
        update();
    });
    portLines_ = namedButton("Selection of Port Lines and\nNumber  of Digits", "portLineSelection");
    connect(portLines_, &QPushButton::clicked, this, [this] {
        ledCodeGenPortLines(frame_, this, record_);
        update();
    });
    connect(setting_, &QPushButton::clicked, this, [this] {
        runLedCodeGenSettingDialog(frame_, this, record_);
    });
    summary_ = summaryBox();

    auto* clockForm = new QFormLayout;
    clockForm->addRow(fieldLabel("Clock Frequency:", clock_), clock_);
    auto* display = new QVBoxLayout;
    display->addWidget(interface.box);
    display->addWidget(input.box);
    display->addWidget(type.box);
    display->addWidget(mux);
    auto* left = new QVBoxLayout;
    left->addWidget(routineBox);
    left->addLayout(clockForm);
    left->addWidget(same_);
    left->addWidget(portLines_);
    left->addStretch();
    generate_ = layOutWithSummary(*this, {left, display}, summary_);
    update();
}

void LedCodeGenDialog::bindConfiguration(QRadioButton* radio, uint8_t bit, bool on) {
    connect(radio, &QRadioButton::clicked, this, [this, bit, on] {
        setBit(record_.configuration, bit, on);
        update();
    });
}

// Every control from the display in use (the module's with "Use Same
// Setting as in Simulation"), then the availability rules.
void LedCodeGenDialog::update() {
    const ModuleSettings& module = frame_.machine().modules.settings;
    const LedDisplayInUse d = ledDisplayInUse(record_, module);
    record_.routines = ledAllowedRoutines(d.configuration, record_.routines);
    const LedCodeGenEnabling e = ledCodeGenEnabling(record_, module);
    const uint8_t c = d.configuration;
    interface_[(c & kLedNonMultiplexed) ? 1 : 0]->setChecked(true);
    input_[(c & kLedBcd) ? 1 : 0]->setChecked(true);
    type_[(c & kLedCommonCathode) ? 1 : 0]->setChecked(true);
    level_[d.selectLevel ? 1 : 0]->setChecked(true);
    externalMux_->setChecked(c & kLedExternalMux);
    {
        QSignalBlocker block(decoder_);
        decoder_->setCurrentIndex(ledDecoder(c));
    }
    for (QRadioButton* r : {interface_[0], interface_[1], input_[0], input_[1]}) r->setEnabled(e.displayControls);
    for (QRadioButton* r : type_) r->setEnabled(e.anodeCathode);
    for (QRadioButton* r : level_) r->setEnabled(e.selectLevel);
    externalMux_->setEnabled(e.externalMux);
    decoder_->setEnabled(e.decoderList);
    clock_->setEnabled(e.displayControls);
    portLines_->setEnabled(e.displayControls);
    same_->setChecked(record_.options & kLedGenSameAsSimulation);
    for (int bit = 0; bit < 5; ++bit) routines_[size_t(bit)]->setChecked(record_.routines & (1u << bit));
    routines_[0]->setEnabled(e.init);
    routines_[1]->setEnabled(e.message);
    setting_->setEnabled(e.setting);
    generate_->setEnabled(e.generate);
    showSummary(summary_, ledCodeGenSummary(record_, module));
}

void LedCodeGenDialog::accept() {
    if (!(record_.options & kLedGenSameAsSimulation)) {
        if (const Validation message = acceptLedClock(record_, clock_->text().toStdString())) {
            frame_.showMessage(*message);
            clock_->setFocus();
            return;
        }
    }
    QDialog::accept();
}

bool runLedCodeGenSettingDialog(Frame& frame, QWidget* parent, LedCodeGenSettings& record) {
    const ModuleSettings& module = frame.machine().modules.settings;
    const LedCodeGenSettings opened = record;
    const int ramTop = frame.machine().selection.info().ramSize - 1;
    QDialog dialog(parent);
    dialog.setObjectName("IDM_CODEGENERATION_LED1");
    dialog.setWindowTitle(settingTitle(ledDisplayInUse(record, module).configuration));
    auto* timers = new QGroupBox("Interrupt Timer");
    auto* timerRow = new QHBoxLayout(timers);
    std::array<QRadioButton*, 3> timer{};
    for (int t = 0; t < 3; ++t) {
        timer[size_t(t)] = namedRadio(QString("Timer %1").arg(t).toLatin1(), QString("timer%1").arg(t).toLatin1());
        timerRow->addWidget(timer[size_t(t)]);
        QObject::connect(timer[size_t(t)], &QRadioButton::clicked, &dialog, [&record, t] {
            record.options = uint8_t((record.options & ~kLedGenTimerMask) | (t << kLedGenTimerShift));
        });
    }
    // Timer 2 only where the device has one.
    timer[2]->setEnabled(serialTimer2Offered(frame.machine().selection.kind));
    timer[size_t(std::min((record.options & kLedGenTimerMask) >> kLedGenTimerShift, 2))]->setChecked(true);
    auto* start = new QLineEdit(QString::asprintf("%02X", record.bufferStart));
    start->setObjectName("bufferStart");
    start->setMaxLength(2);
    auto* area = new QLabel(QString::fromStdString(ledMemoryAreaText(record, module, ramTop)).replace("\r\n", "\n"));
    area->setObjectName("memoryArea");
    QObject::connect(start, &QLineEdit::textEdited, &dialog, [&, area](const QString& text) {
        // Text that is not hexadecimal is ignored: the previous start stays.
        acceptLedBufferStart(record, text.toStdString());
        area->setText(QString::fromStdString(ledMemoryAreaText(record, module, ramTop)).replace("\r\n", "\n"));
    });
    auto* form = new QFormLayout;
    form->addRow(fieldLabel("Internal Starting Memory Address for Routine Use:", start), start);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(timers);
    layout->addLayout(form);
    layout->addWidget(area);
    addAcceptRow(dialog, layout);
    if (dialog.exec() == QDialog::Accepted) return true;
    record.bufferStart = opened.bufferStart;
    record.options = opened.options;
    return false;
}

void generateLedCodeCommand(Frame& frame) {
    CodeGenRecords& records = codeGenRecords(frame);
    LedCodeGenSettings& record = records.led;
    // Until the user enters a clock of their own, the device's is offered.
    if (!records.ledClockChosen) record.clockHz = frame.machine().selection.frequency;
    LedCodeGenDialog dialog(frame, record);
    if (dialog.exec() != QDialog::Accepted) return;
    records.ledClockChosen = record.clockHz != frame.machine().selection.frequency;
    insertGeneratedCode(frame, generateLedCode(record, frame.machine().modules.settings,
                                               ledCodeGenCycleUs(record, frame.machine().selection.cycleTimeUs)));
}

} // namespace quorvel::shell
