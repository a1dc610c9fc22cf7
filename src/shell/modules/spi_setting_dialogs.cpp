#include "modules/module_settings.h"
#include "modules/spi_settings.h"
#include "shell/command_table.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/modules/bus_setting_dialogs.h"
#include "shell/modules/device_dump_view.h"
#include "shell/modules/port_line_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel::shell {

namespace {

void setBit(uint8_t& byte, uint8_t bit, bool on) { byte = on ? uint8_t(byte | bit) : uint8_t(byte & ~bit); }

QCheckBox* checkBox(const char* text, const char* objectName, bool checked) {
    auto* box = new QCheckBox(text);
    box->setObjectName(objectName);
    box->setChecked(checked);
    return box;
}

// "SPI EEPROM Setting": "Connect Device to Bus" enables the rest.
void runEepromDialog(Frame& frame, QWidget* parent) {
    SpiSettings& live = frame.machine().modules.settings.spi;
    QDialog dialog(parent);
    dialog.setObjectName("IDM_SPIEEPROMSETTING");
    dialog.setWindowTitle("SPI EEPROM Setting");
    auto* connected = checkBox("Connect Device to Bus", "connect", live.SpiEepromOptions & kSpiEepromConnected);
    auto* device = new QComboBox;
    device->setObjectName("device");
    for (int type = 0; type < kSpiEepromTypeCount; ++type) device->addItem(spiEepromTypeName(type));
    device->setCurrentIndex(spiEepromType(live));
    auto* protect = checkBox("Write Protection", "writeProtection",
                             live.SpiEepromOptions & kSpiEepromWriteProtect);
    auto* chipEnable = new QComboBox;
    chipEnable->setObjectName("chipEnable");
    const std::vector<PinRef> choices = portLineChoices(frame.machine().profile.availablePinMask, false);
    for (PinRef line : choices) chipEnable->addItem(QString::fromStdString(pinRefName(line)));
    const auto current = std::find(choices.begin(), choices.end(), live.SpiEepromCs);
    chipEnable->setCurrentIndex(current == choices.end() ? -1 : int(current - choices.begin()));

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(connected);
    layout->addWidget(fieldLabel("Select Device:", device));
    layout->addWidget(device);
    layout->addWidget(protect);
    layout->addWidget(fieldLabel("Select Chip Enable Line:", chipEnable));
    layout->addWidget(chipEnable);
    addAcceptRow(dialog, layout);
    auto enable = [&] {
        for (QWidget* w : std::initializer_list<QWidget*>{device, protect, chipEnable})
            w->setEnabled(connected->isChecked());
    };
    QObject::connect(connected, &QCheckBox::toggled, &dialog, enable);
    enable();
    if (dialog.exec() != QDialog::Accepted) return;
    frame.runControl().edit([&] {
        setBit(live.SpiEepromOptions, kSpiEepromConnected, connected->isChecked());
        setBit(live.SpiEepromOptions, kSpiEepromWriteProtect, protect->isChecked());
        live.SpiEepromOptions = uint8_t((live.SpiEepromOptions & ~kSpiEepromTypeMask) |
                                        device->currentIndex() << kSpiEepromTypeShift);
        if (chipEnable->currentIndex() >= 0) live.SpiEepromCs = choices[size_t(chipEnable->currentIndex())];
    });
    if (auto* window = qobject_cast<DeviceDumpView*>(frame.view(id::SpiEepromWindow)))
        window->reopenDevice();
}

} // namespace

void runSpiSettingDialog(Frame& frame) {
    SpiSettings& live = frame.machine().modules.settings.spi;
    frame.runControl().edit([&] { cleanSpiSettings(live); });
    const SpiSettings opened = live;
    PortLineDialog::Wiring wiring{
        .controlLines = [&live] { return spiControlLines(live); },
        .line = [&live](int entry) { return live.SpiLines[size_t(entry)]; },
        .assign = [&live](int entry, PinRef line) { live.SpiLines[size_t(entry)] = line; },
        .summary = [&live] { return spiSummaryLines(live); },
        .restore = [&live, opened] { cancelSpiBusDialog(live, opened); },
    };
    PortLineDialog dialog(frame, "IDM_SPIBUSSETTING", "SPI Bus Setting", std::move(wiring));
    auto* enableBus = checkBox("Enable SPI Bus", "enableBus", live.SpiOptions & kSpiEnableBus);
    auto* selection = new QGroupBox("Bus Selection");
    selection->setObjectName("busSelection");
    auto* threeWire = new QRadioButton("3 Wire");
    threeWire->setObjectName("threeWire");
    auto* fourWire = new QRadioButton("4 Wire");
    fourWire->setObjectName("fourWire");
    (spiFourWire(live) ? fourWire : threeWire)->setChecked(true);
    auto* wires = new QHBoxLayout(selection);
    wires->addWidget(threeWire);
    wires->addWidget(fourWire);
    auto* eeprom = namedButton("EEPROM Setting", "eepromSetting");
    auto* row = new QHBoxLayout;
    row->addWidget(enableBus);
    row->addStretch();
    row->addWidget(eeprom);
    dialog.extraRows()->addLayout(row);
    dialog.extraRows()->addWidget(selection);
    auto enable = [&] {
        const bool on = enableBus->isChecked();
        for (QWidget* w : std::initializer_list<QWidget*>{selection, dialog.controlLineList(),
                                                          dialog.portLineList(), dialog.summary(), eeprom})
            w->setEnabled(on);
    };
    QObject::connect(enableBus, &QCheckBox::toggled, &dialog, [&](bool on) {
        frame.runControl().edit([&] { setBit(live.SpiOptions, kSpiEnableBus, on); });
        enable();
    });
    QObject::connect(fourWire, &QRadioButton::toggled, &dialog, [&](bool on) {
        frame.runControl().edit([&] { setBit(live.SpiOptions, kSpiFourWire, on); });
        dialog.reload(); // two or three control lines
    });
    QObject::connect(eeprom, &QPushButton::clicked, &dialog, [&] { runEepromDialog(frame, &dialog); });
    enable();
    dialog.exec();
}

} // namespace quorvel::shell
