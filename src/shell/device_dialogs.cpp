#include "shell/device_dialogs.h"

#include "shell/messages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace quorvel::shell {

// ------------------------------------------------------------ Select Device

DeviceDialog::DeviceDialog(const DeviceSelection& selection, Messages& messages, QWidget* parent)
    : QDialog(parent), selection_(selection), messages_(messages) {
    setObjectName("IDM_SELECTDEVICE");
    setWindowTitle("Quorvel Simulator - Select Device");

    device_ = new QComboBox;
    device_->setObjectName("device");
    for (int i = 0; i < kDeviceCount; ++i)
        device_->addItem(deviceInfo(deviceKindOfComboIndex(i)).comboText);

    frequency_ = new QLineEdit;
    frequency_->setObjectName("frequency");
    frequency_->setMaxLength(8);

    programMemory_ = new QPushButton("Program Memory");
    programMemory_->setObjectName("programMemory");
    dataMemory_ = new QPushButton("Data Memory");
    dataMemory_->setObjectName("dataMemory");
    auto* memoryGroup = new QGroupBox("External Memory Setting");
    auto* memoryLayout = new QHBoxLayout(memoryGroup);
    memoryLayout->addWidget(programMemory_);
    memoryLayout->addWidget(dataMemory_);

    features_ = new QPlainTextEdit;
    features_->setObjectName("features");
    features_->setReadOnly(true);
    features_->setMinimumSize(320, 180);

    auto* okButton = new QPushButton("OK");
    okButton->setObjectName("ok");
    okButton->setDefault(true);
    auto* exitButton = new QPushButton("&Exit");
    exitButton->setObjectName("exit");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Select Device:"), 0, 0);
    grid->addWidget(device_, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Operating Frequency:"), 1, 0);
    grid->addWidget(frequency_, 1, 1);
    grid->addWidget(new QLabel("HZ"), 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(exitButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(memoryGroup);
    layout->addWidget(new QLabel("Device Features:"));
    layout->addWidget(features_);
    layout->addLayout(buttons);

    device_->setCurrentIndex(comboIndexOfDeviceKind(selection_.kind));
    frequency_->setText(QString::number(selection_.frequency));
    selectionChanged(device_->currentIndex());

    connect(device_, &QComboBox::currentIndexChanged, this, &DeviceDialog::selectionChanged);
    connect(programMemory_, &QPushButton::clicked, this, &DeviceDialog::openProgramMemory);
    connect(dataMemory_, &QPushButton::clicked, this, &DeviceDialog::openDataMemory);
    connect(okButton, &QPushButton::clicked, this, &DeviceDialog::ok);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void DeviceDialog::selectionChanged(int comboIndex) {
    if (comboIndex < 0) return;
    DeviceKind kind = deviceKindOfComboIndex(comboIndex);
    features_->setPlainText(QString::fromStdString(deviceFeatureText(kind)));
    bool enabled = deviceMemoryButtonsEnabled(kind);
    programMemory_->setEnabled(enabled);
    dataMemory_->setEnabled(enabled);
}

void DeviceDialog::openProgramMemory() {
    ProgramMemoryDialog dialog(selection_, deviceKindOfComboIndex(device_->currentIndex()), this);
    if (dialog.exec() == QDialog::Accepted) selection_ = dialog.selection();
}

void DeviceDialog::openDataMemory() {
    DataMemoryDialog dialog(selection_, this);
    if (dialog.exec() == QDialog::Accepted) selection_ = dialog.selection();
}

void DeviceDialog::ok() {
    if (auto message =
            acceptDeviceDialog(selection_, frequency_->text().toStdString(), device_->currentIndex())) {
        messages_.show(this, *message);
        return;
    }
    accept();
}

// ---------------------------------------------------- Program Memory Setting

ProgramMemoryDialog::ProgramMemoryDialog(const DeviceSelection& selection, DeviceKind kind,
                                         QWidget* parent)
    : QDialog(parent), selection_(selection), kind_(kind) {
    setObjectName("IDM_SELECTDEVICEMEMORY");
    setWindowTitle("Program Memory Setting");

    auto* modeGroup = new QGroupBox("Selection");
    auto* modeLayout = new QVBoxLayout(modeGroup);
    modes_ = new QButtonGroup(this);
    const char* modeTexts[] = {"Internal Only", "External Only", "Both"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(modeTexts[i]);
        button->setObjectName(QString("mode%1").arg(i));
        modes_->addButton(button, i);
        modeLayout->addWidget(button);
    }

    auto* sizeGroup = new QGroupBox("External Program Memory Size");
    auto* sizeLayout = new QGridLayout(sizeGroup);
    sizes_ = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        auto* button = new QRadioButton(QString("%1K").arg(kExternalProgramKB[size_t(i)]));
        button->setObjectName(QString("size%1").arg(i));
        sizes_->addButton(button, i);
        sizeLayout->addWidget(button, i / 3, i % 3);
    }

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(modeGroup);
    layout->addWidget(sizeGroup);
    layout->addWidget(box);

    if (!internalModesEnabled(kind_)) {
        selection_.programMode = ProgramMemoryMode::ExternalOnly;
        modes_->button(0)->setEnabled(false);
        modes_->button(2)->setEnabled(false);
    }
    modes_->button(int(selection_.programMode))->setChecked(true);
    sizes_->button(initialSizeChoice(kind_, selection_.programMode, selection_.codeLimit))
        ->setChecked(true);
    modeChanged();

    connect(modes_, &QButtonGroup::idClicked, this, [this](int) { modeChanged(); });
    connect(box, &QDialogButtonBox::accepted, this, &ProgramMemoryDialog::ok);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ProgramMemoryDialog::modeChanged() {
    auto mode = ProgramMemoryMode(modes_->checkedId());
    for (QAbstractButton* button : sizes_->buttons()) button->setEnabled(sizeButtonsEnabled(mode));
    sizes_->button(5)->setText(QString::fromStdString(sixthSizeLabel(kind_, mode)));
}

void ProgramMemoryDialog::ok() {
    selection_.programMode = ProgramMemoryMode(modes_->checkedId());
    selection_.externalSizeChoice = uint8_t(sizes_->checkedId());
    selection_.codeLimit = computeCodeLimit(kind_, selection_.programMode, sizes_->checkedId());
    accept();
}

// ------------------------------------------------------- Data Memory Setting

DataMemoryDialog::DataMemoryDialog(const DeviceSelection& selection, QWidget* parent)
    : QDialog(parent), selection_(selection) {
    setObjectName("IDM_SELECTDEVICEMEMORY1");
    setWindowTitle("Data Memory Setting");

    auto* group = new QGroupBox("Size");
    auto* groupLayout = new QVBoxLayout(group);
    sizes_ = new QButtonGroup(this);
    for (int i = 0; i < 7; ++i) {
        QString text = i == 0 ? QString("No External Data Memory")
                              : QString("%1K").arg(kExternalDataKB[size_t(i)]);
        auto* button = new QRadioButton(text);
        button->setObjectName(QString("size%1").arg(i));
        sizes_->addButton(button, i);
        groupLayout->addWidget(button);
    }
    sizes_->button(dataMemoryChoiceOf(selection_.xdataLimit))->setChecked(true);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, [this] {
        selection_.xdataLimit = xdataLimitOfChoice(sizes_->checkedId());
        accept();
    });
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

} // namespace quorvel::shell
