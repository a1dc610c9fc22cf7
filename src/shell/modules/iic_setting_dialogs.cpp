#include "modules/iic_settings.h"
#include "shell/command_table.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/modules/bus_setting_dialogs.h"
#include "shell/modules/device_dump_view.h"
#include "shell/modules/port_line_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

void setBit(uint8_t& byte, uint8_t bit, bool on) { byte = on ? uint8_t(byte | bit) : uint8_t(byte & ~bit); }

// An address pin's group: "0" and "1" radio buttons named `<name>_0`, `<name>_1`.
struct LevelGroup {
    QGroupBox* box;
    QRadioButton* one;
};
LevelGroup levelGroup(const char* title, const QString& name, bool high) {
    auto* box = new QGroupBox(title);
    box->setObjectName(name);
    auto* zero = new QRadioButton("0");
    zero->setObjectName(name + "_0");
    auto* one = new QRadioButton("1");
    one->setObjectName(name + "_1");
    (high ? one : zero)->setChecked(true);
    auto* row = new QHBoxLayout(box);
    row->addWidget(zero);
    row->addWidget(one);
    return {box, one};
}

QCheckBox* checkBox(const char* text, const char* objectName, bool checked) {
    auto* box = new QCheckBox(text);
    box->setObjectName(objectName);
    box->setChecked(checked);
    return box;
}

// OK and Cancel at the bottom of `layout`.
void addOkCancel(QDialog& dialog, QVBoxLayout* layout) {
    addAcceptRow(dialog, layout);
}

// "IIC RTC Setting": "Connect Device to Bus" enables the rest.
void runRtcDialog(Frame& frame, QWidget* parent) {
    IicSettings& live = frame.machine().modules.settings.iic;
    QDialog dialog(parent);
    dialog.setObjectName("IDM_IICRTCSETTING");
    dialog.setWindowTitle("IIC RTC Setting");
    auto* connected = checkBox("Connect Device to Bus", "connect", live.RtcOptions & kRtcConnected);
    const LevelGroup a0 = levelGroup("A0", "a0", live.RtcOptions & kRtcA0);
    auto* systemTime = checkBox("Use System RTC Time", "systemTime", live.RtcOptions & kRtcSystemTime);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(connected);
    layout->addWidget(a0.box);
    layout->addWidget(systemTime);
    addOkCancel(dialog, layout);
    auto enable = [&] {
        a0.box->setEnabled(connected->isChecked());
        systemTime->setEnabled(connected->isChecked());
    };
    QObject::connect(connected, &QCheckBox::toggled, &dialog, enable);
    enable();
    if (dialog.exec() != QDialog::Accepted) return;
    frame.runControl().edit([&] {
        setBit(live.RtcOptions, kRtcConnected, connected->isChecked());
        setBit(live.RtcOptions, kRtcA0, a0.one->isChecked());
        setBit(live.RtcOptions, kRtcSystemTime, systemTime->isChecked());
    });
}

// "IIC EEPROM Setting": "Connect Device to Bus" enables the rest; the address
// pins a type uses for block bits are disabled.
void runEepromDialog(Frame& frame, QWidget* parent) {
    IicSettings& live = frame.machine().modules.settings.iic;
    QDialog dialog(parent);
    dialog.setObjectName("IDM_IICEEPROMSETTING");
    dialog.setWindowTitle("IIC EEPROM Setting");
    auto* connected = checkBox("Connect Device to Bus", "connect", live.EepromOptions & kEepromConnected);
    auto* levels = new QGroupBox("Select Address Levels");
    levels->setObjectName("addressLevels");
    const LevelGroup a2 = levelGroup("A2", "a2", live.EepromOptions & kEepromA2);
    const LevelGroup a1 = levelGroup("A1", "a1", live.EepromOptions & kEepromA1);
    const LevelGroup a0 = levelGroup("A0", "a0", live.EepromOptions & kEepromA0);
    auto* pins = new QHBoxLayout(levels);
    for (const LevelGroup& group : {a2, a1, a0}) pins->addWidget(group.box);
    auto* device = new QComboBox;
    device->setObjectName("device");
    for (int type = 0; type < kIicEepromTypeCount; ++type)
        device->addItem(iicEepromTypeInfo(type).name);
    device->setCurrentIndex(iicEepromType(live));
    auto* protect = checkBox("Write Protection", "writeProtection", live.EepromOptions & kEepromWriteProtect);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(connected);
    layout->addWidget(levels);
    layout->addWidget(fieldLabel("Select Device:", device));
    layout->addWidget(device);
    layout->addWidget(protect);
    addOkCancel(dialog, layout);
    auto enable = [&] {
        const bool on = connected->isChecked();
        const IicAddressPinEnabling usable = iicAddressPinEnabling(device->currentIndex());
        levels->setEnabled(on);
        a2.box->setEnabled(usable.a2);
        a1.box->setEnabled(usable.a1);
        a0.box->setEnabled(usable.a0);
        device->setEnabled(on);
        protect->setEnabled(on);
    };
    QObject::connect(connected, &QCheckBox::toggled, &dialog, enable);
    QObject::connect(device, &QComboBox::currentIndexChanged, &dialog, enable);
    enable();
    if (dialog.exec() != QDialog::Accepted) return;
    frame.runControl().edit([&] {
        setBit(live.EepromOptions, kEepromConnected, connected->isChecked());
        setBit(live.EepromOptions, kEepromA2, a2.one->isChecked());
        setBit(live.EepromOptions, kEepromA1, a1.one->isChecked());
        setBit(live.EepromOptions, kEepromA0, a0.one->isChecked());
        setBit(live.EepromOptions, kEepromWriteProtect, protect->isChecked());
        live.EepromType = uint8_t(device->currentIndex());
    });
    if (auto* window = qobject_cast<DeviceDumpView*>(frame.view(id::IicEepromWindow)))
        window->reopenDevice();
}

} // namespace

void runIicSettingDialog(Frame& frame) {
    IicSettings& live = frame.machine().modules.settings.iic;
    frame.runControl().edit([&] { cleanIicSettings(live); });
    const IicSettings opened = live;
    PortLineDialog::Wiring wiring{
        .controlLines = [] { return std::vector<std::string>{"SCL ", "SDA "}; },
        .line = [&live](int entry) { return entry == 0 ? live.IicScl : live.IicSda; },
        .assign = [&live](int entry, PinRef line) { (entry == 0 ? live.IicScl : live.IicSda) = line; },
        .summary = [&live] { return iicSummaryLines(live); },
        .restore =
            [&live, opened] {
                live.IicOptions = opened.IicOptions;
                live.IicScl = opened.IicScl;
                live.IicSda = opened.IicSda;
            },
    };
    PortLineDialog dialog(frame, "IDM_IICBUSSETTING", "IIC Bus Setting", std::move(wiring));
    auto* enableBus = checkBox("Enable Bus", "enableBus", live.IicOptions & kIicEnableBus);
    auto* rtc = namedButton("RTC Setting", "rtcSetting");
    auto* eeprom = namedButton("EEPROM Setting", "eepromSetting");
    auto* row = new QHBoxLayout;
    row->addWidget(enableBus);
    row->addStretch();
    row->addWidget(rtc);
    row->addWidget(eeprom);
    dialog.extraRows()->addLayout(row);
    auto enable = [&] {
        const bool on = enableBus->isChecked();
        for (QWidget* w : std::initializer_list<QWidget*>{dialog.controlLineList(), dialog.portLineList(),
                                                          dialog.summary(), rtc, eeprom})
            w->setEnabled(on);
    };
    QObject::connect(enableBus, &QCheckBox::toggled, &dialog, [&](bool on) {
        frame.runControl().edit([&] { setBit(live.IicOptions, kIicEnableBus, on); });
        enable();
    });
    QObject::connect(rtc, &QPushButton::clicked, &dialog, [&] { runRtcDialog(frame, &dialog); });
    QObject::connect(eeprom, &QPushButton::clicked, &dialog, [&] { runEepromDialog(frame, &dialog); });
    enable();
    dialog.exec();
}

} // namespace quorvel::shell
