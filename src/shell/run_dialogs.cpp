#include "shell/run_dialogs.h"

#include "common/hex_field.h"
#include "shell/dialog_parts.h"
#include "shell/hex_edit.h"
#include "shell/messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel::shell {

namespace {

QString hex4(unsigned v) { return QString::asprintf("%04X", v); }



} // namespace

// ------------------------------------------------------------ Execute Program

GoToDialog::GoToDialog(uint16_t address, QWidget* parent) : QDialog(parent), address_(address) {
    setObjectName("IDM_GOTO");
    setWindowTitle("Execute Program");
    edit_ = new HexEdit(4);
    edit_->setObjectName("address");
    edit_->setText(hex4(address));
    edit_->selectAll();
    auto* execute = namedButton("&Execute", "execute");
    execute->setDefault(true);
    auto* cancel = namedButton("&Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Enter the Program Starting Address:-"));
    layout->addWidget(edit_);
    layout->addLayout(buttonRow(execute, cancel));
    connect(execute, &QPushButton::clicked, this, [this] {
        auto value = parseHexField(edit_->value());
        if (!value) return; // stays open without a message
        address_ = *value;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// ---------------------------------------------------------- BreakPoint Setting

BreakpointDialog::BreakpointDialog(const BreakpointCondition& condition, DeviceKind kind,
                                   bool hasExternalData, Messages& messages, QWidget* parent)
    : QDialog(parent), condition_(condition), kind_(kind), messages_(messages) {
    setObjectName("IDM_BREAKPOINTSETTING");
    setWindowTitle("BreakPoint Setting");

    auto* group = new QGroupBox("Breakpoint Selection");
    auto* groupLayout = new QVBoxLayout(group);
    types_ = new QButtonGroup(this);
    const char* texts[] = {"&Register", "&Internal Data Memory", "&External Data Memory",
                           "&Flags", "&Memory Bits"};
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(texts[i]);
        radio->setObjectName(QString("type%1").arg(i));
        types_->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    types_->button(2)->setEnabled(externalBreakpointAvailable(kind, hasExternalData));

    listLabel_ = new QLabel;
    list_ = new QComboBox;
    list_->setObjectName("list");
    address_ = new HexEdit(4);
    address_->setObjectName("address");
    data_ = new HexEdit(4);
    data_->setObjectName("data");

    auto* fields = new QGridLayout;
    fields->addWidget(listLabel_, 0, 0);
    fields->addWidget(list_, 0, 1);
    fields->addWidget(new QLabel("Address:"), 1, 0);
    fields->addWidget(address_, 1, 1);
    fields->addWidget(new QLabel("Data:"), 2, 0);
    fields->addWidget(data_, 2, 1);

    auto* ok = namedButton("&OK", "ok");
    ok->setDefault(true);
    auto* cancel = namedButton("&Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(group);
    top->addLayout(fields);
    layout->addLayout(top);
    layout->addLayout(buttonRow(ok, cancel));

    int type = condition_.isSet() ? int(condition_.type) : 0;
    if (!types_->button(type)->isEnabled()) type = 0;
    types_->button(type)->setChecked(true);
    typeChanged(type);
    if (condition_.isSet() && int(condition_.type) == type) {
        if (condition_.type == BreakpointType::Register) list_->setCurrentIndex(condition_.registerIndex);
        if (condition_.type == BreakpointType::Flag) list_->setCurrentIndex(condition_.flagIndex);
        // Fill the fields in the widths the type shows.
        typeChanged(type);
    }

    connect(types_, &QButtonGroup::idClicked, this, &BreakpointDialog::typeChanged);
    connect(list_, &QComboBox::currentIndexChanged, this, [this] {
        if (types_->checkedId() == 0) typeChanged(0);
    });
    connect(ok, &QPushButton::clicked, this, &BreakpointDialog::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// Sets the list, the enabled fields and their widths for a breakpoint type,
// and shows the current condition's values where it is of that type.
void BreakpointDialog::typeChanged(int type) {
    const bool same = condition_.isSet() && int(condition_.type) == type;
    const int keepIndex = list_->currentIndex();
    list_->blockSignals(true);
    list_->clear();
    list_->setEnabled(false);
    listLabel_->clear();
    address_->clear();
    data_->clear();
    switch (BreakpointType(type)) {
    case BreakpointType::Register: {
        listLabel_->setText("Select Register:-");
        for (const BreakpointRegister& r : breakpointRegisters(kind_)) list_->addItem(r.name);
        list_->setEnabled(true);
        list_->setCurrentIndex(keepIndex >= 0 ? keepIndex : (same ? condition_.registerIndex : -1));
        address_->setEnabled(false);
        data_->setEnabled(true);
        data_->setMaxLength(4);
        if (same) {
            bool wide = list_->currentIndex() >= 0 &&
                        breakpointRegisters(kind_)[size_t(list_->currentIndex())].wide();
            data_->setText(QString::asprintf(wide ? "%04X" : "%02X", unsigned(condition_.data)));
        }
        break;
    }
    case BreakpointType::InternalMemory:
    case BreakpointType::ExternalMemory: {
        bool internal = type == int(BreakpointType::InternalMemory);
        address_->setEnabled(true);
        address_->setMaxLength(internal ? 2 : 4);
        data_->setEnabled(true);
        data_->setMaxLength(2);
        if (same) {
            address_->setText(QString::asprintf(internal ? "%02X" : "%04X", unsigned(condition_.address)));
            data_->setText(QString::asprintf("%02X", unsigned(condition_.data)));
        }
        break;
    }
    case BreakpointType::Flag:
        listLabel_->setText("Select Flag:-    ");
        for (const BreakpointFlag& f : breakpointFlags()) list_->addItem(f.name);
        list_->setEnabled(true);
        list_->setCurrentIndex(same ? condition_.flagIndex : -1);
        address_->setEnabled(false);
        data_->setEnabled(true);
        data_->setMaxLength(1);
        if (same) data_->setText(QString::asprintf("%01X", unsigned(condition_.data)));
        break;
    case BreakpointType::MemoryBit:
        address_->setEnabled(true);
        address_->setMaxLength(2);
        data_->setEnabled(true);
        data_->setMaxLength(1);
        if (same) {
            address_->setText(QString::asprintf("%02X", unsigned(condition_.address)));
            data_->setText(QString::asprintf("%01X", unsigned(condition_.data)));
        }
        break;
    default: break;
    }
    list_->blockSignals(false);
}

void BreakpointDialog::ok() {
    BreakpointCondition result = condition_;
    if (auto message = acceptBreakpointDialog(BreakpointType(types_->checkedId()),
                                              list_->isEnabled() ? list_->currentIndex() : -1,
                                              address_->value(), data_->value(), kind_, result)) {
        messages_.show(this, *message);
        return;
    }
    condition_ = result;
    accept();
}

// ---------------------------------------------------------- SingleStep Setting

SingleStepDialog::SingleStepDialog(uint16_t steps, Messages& messages, QWidget* parent)
    : QDialog(parent), steps_(steps) {
    setObjectName("IDM_SINGLESTEPSETTING");
    setWindowTitle("SingleStep Setting");
    auto* edit = new QLineEdit(QString::number(steps));
    edit->setObjectName("steps");
    edit->setMaxLength(2);
    edit->selectAll();
    auto* ok = namedButton("OK", "ok");
    ok->setDefault(true);
    auto* cancel = namedButton("Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Number of Steps:"));
    row->addWidget(edit);
    layout->addLayout(row);
    layout->addLayout(buttonRow(ok, cancel));
    connect(ok, &QPushButton::clicked, this, [this, edit, &messages] {
        uint16_t value = steps_;
        if (auto message = acceptNumberOfSteps(edit->text().toStdString(), value)) {
            messages.show(this, *message);
            return;
        }
        steps_ = value;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// --------------------------------------------------------- Execution Setting

ExecutionSettingDialog::ExecutionSettingDialog(const ExecutionSettings& settings,
                                               uint16_t speedPercent, Messages& messages,
                                               QWidget* parent)
    : QDialog(parent), settings_(settings), speedPercent_(speedPercent) {
    setObjectName("IDD_EXECUTE_SETTING");
    setWindowTitle("Execution Setting");

    auto* options = new QGroupBox("Select Options");
    auto* fromPc = new QRadioButton("Execute from Current PC");
    fromPc->setObjectName("fromPc");
    auto* fromAddress = new QRadioButton("Execute from Given Address");
    fromAddress->setObjectName("fromAddress");
    auto* address = new HexEdit(4);
    address->setObjectName("address");
    address->setText(QString::asprintf("%04X", unsigned(settings.startAddress)));
    auto* optionsLayout = new QGridLayout(options);
    optionsLayout->addWidget(fromPc, 0, 0, 1, 2);
    optionsLayout->addWidget(fromAddress, 1, 0, 1, 2);
    optionsLayout->addWidget(new QLabel("Program Starting Address:"), 2, 0);
    optionsLayout->addWidget(address, 2, 1);

    auto* update = new QGroupBox("Screen Update");
    auto* enable = new QCheckBox("&Enable");
    enable->setObjectName("enable");
    auto* seconds = new QLineEdit(QString::asprintf("%2d", int(settings.updateSeconds)));
    seconds->setObjectName("seconds");
    seconds->setMaxLength(2);
    auto* updateLayout = new QGridLayout(update);
    updateLayout->addWidget(enable, 0, 0, 1, 2);
    updateLayout->addWidget(new QLabel("Time Between two Updates in Seconds:"), 1, 0);
    updateLayout->addWidget(seconds, 1, 1);

    // How fast Go and Breakpoint Execution run against the wall clock.
    auto* speedBox = new QGroupBox("Run Speed");
    auto* speed = runSpeedCombo(speedPercent);
    auto* speedLayout = new QHBoxLayout(speedBox);
    auto* speedLabel = new QLabel("Simulated &time runs at:");
    speedLabel->setBuddy(speed);
    speedLayout->addWidget(speedLabel);
    speedLayout->addWidget(speed, 1);

    (settings.fromGivenAddress ? fromAddress : fromPc)->setChecked(true);
    address->setEnabled(settings.fromGivenAddress);
    enable->setChecked(settings.screenUpdate);
    seconds->setEnabled(settings.screenUpdate);
    connect(fromAddress, &QRadioButton::toggled, address, &QWidget::setEnabled);
    connect(enable, &QCheckBox::toggled, seconds, &QWidget::setEnabled);

    auto* ok = namedButton("OK", "ok");
    ok->setDefault(true);
    auto* cancel = namedButton("Cancel", "cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addWidget(update);
    layout->addWidget(speedBox);
    layout->addLayout(buttonRow(ok, cancel));
    connect(ok, &QPushButton::clicked, this, [=, this, &messages] {
        ExecutionSettings result = settings_;
        if (auto message = acceptExecutionSettings(
                fromAddress->isChecked(), address->value(), enable->isChecked(),
                seconds->text().trimmed().toStdString(), result)) {
            messages.show(this, *message);
            // The field that was wrong gets the focus.
            QLineEdit* wrong = message->text == "Illegal Address" ? static_cast<QLineEdit*>(address) : seconds;
            wrong->setFocus();
            wrong->selectAll();
            return;
        }
        settings_ = result;
        speedPercent_ = uint16_t(speed->currentData().toUInt());
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox* runSpeedCombo(uint16_t percent) {
    auto* combo = new QComboBox;
    combo->setObjectName("runSpeed");
    for (const RunSpeed& speed : runSpeeds()) combo->addItem(speed.name, unsigned(speed.percent));
    combo->setCurrentIndex(std::max(0, combo->findData(unsigned(percent))));
    return combo;
}

// ---------------------------------------------------- Execution Time Calculation

ExecutionTimeDialog::ExecutionTimeDialog(RunController& controller, Messages& messages,
                                         QWidget* parent)
    : QDialog(parent), measurement_(controller), messages_(messages) {
    setObjectName("IDM_CALCULATEEXECUTIONTIME");
    setWindowTitle("Execution Time Calculation");
    start_ = new HexEdit(4);
    start_->setObjectName("start");
    start_->setText(hex4(measurement_.startAddress()));
    end_ = new HexEdit(4);
    end_->setObjectName("end");
    end_->setText(hex4(measurement_.endAddress()));
    status_ = new QLabel;
    status_->setObjectName("statusText");
    progress_ = new QLabel;
    progress_->setObjectName("progressText");
    progress_->setMinimumWidth(260);
    calculate_ = namedButton("&Calculate", "calculate");
    calculate_->setDefault(true);
    auto* cancel = namedButton("&Cancel", "cancel");
    timer_ = new QTimer(this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Program Starting Address:"), 0, 0);
    grid->addWidget(start_, 0, 1);
    grid->addWidget(new QLabel("Program Ending Address:"), 1, 0);
    grid->addWidget(end_, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(buttonRow(calculate_, cancel));
    start_->setFocus();
    start_->selectAll();

    connect(calculate_, &QPushButton::clicked, this, &ExecutionTimeDialog::calculate);
    connect(cancel, &QPushButton::clicked, this, &ExecutionTimeDialog::reject);
    connect(timer_, &QTimer::timeout, this, &ExecutionTimeDialog::tick);
}

void ExecutionTimeDialog::calculate() {
    if (auto message = measurement_.calculate(start_->value(), end_->value())) {
        messages_.show(this, *message);
        return;
    }
    status_->setText(ExecutionTimeMeasurement::kCalculating);
    progress_->setText(">");
    calculate_->setEnabled(false);
    timer_->start(50);
}

void ExecutionTimeDialog::tick() {
    auto tick = measurement_.tick();
    if (!tick.progress.empty()) progress_->setText(QString::fromStdString(tick.progress));
    if (!tick.finished) return;
    timer_->stop();
    if (tick.message) messages_.show(this, *tick.message);
    if (measurement_.state() == ExecutionTimeMeasurement::State::Succeeded)
        accept();
    else
        QDialog::reject();
}

void ExecutionTimeDialog::reject() {
    timer_->stop();
    measurement_.cancel();
    QDialog::reject();
}

} // namespace quorvel::shell
