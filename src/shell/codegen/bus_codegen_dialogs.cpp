#include "shell/codegen/bus_codegen_dialogs.h"

#include "codegen/bus_codegen.h"
#include "shell/codegen/codegen_dialog_parts.h"
#include "shell/codegen/codegen_port_lines.h"
#include "shell/codegen/codegen_records.h"
#include "shell/codegen/generated_code_sink.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

// The dialog frame both share: the controls on the left, "Summary:" on the
// right, "Generate  Code" and "Cancel" below.
struct CodeGenDialogFrame {
    QVBoxLayout* left;
    QPlainTextEdit* summary;
    QPushButton* generate;
};

CodeGenDialogFrame buildDialogFrame(QDialog& dialog, const char* objectName, const char* title) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(title);
    CodeGenDialogFrame f{new QVBoxLayout, summaryBox(), nullptr};
    f.generate = layOutWithSummary(dialog, {f.left}, f.summary);
    return f;
}

QComboBox* typeList(const std::initializer_list<const char*>& names) {
    auto* list = new QComboBox;
    list->setObjectName("eepromType");
    for (const char* name : names) list->addItem(name);
    return list;
}

} // namespace

void generateIicCodeCommand(Frame& frame) {
    IicCodeGenSettings& record = codeGenRecords(frame).iic;
    const IicSettings& module = frame.machine().modules.settings.iic;
    QDialog dialog(&frame);
    const CodeGenDialogFrame f = buildDialogFrame(dialog, "IDM_CODEGENERATION_I2C", "Code Generation - IIC Routines");

    auto* rtcBox = new QGroupBox("RTC (PCF 8583)");
    auto* rtcRead = namedCheckBox("Read", "rtcRead");
    auto* rtcWrite = namedCheckBox("Write", "rtcWrite");
    const RadioPair rtcA0 = radioPair("A0", "0", "rtcA0Low", "1", "rtcA0High");
    auto* rtcLayout = new QVBoxLayout(rtcBox);
    rtcLayout->addWidget(rtcRead);
    rtcLayout->addWidget(rtcWrite);
    rtcLayout->addWidget(rtcA0.box);

    auto* eepromBox = new QGroupBox("EEPROM");
    auto* eepromRead = namedCheckBox("Read", "eepromRead");
    auto* eepromWrite = namedCheckBox("Write", "eepromWrite");
    auto* type = typeList({"AT24C01", "AT24C02", "AT24C04", "AT24C08", "AT24C16"});
    struct Level {
        RadioPair radios;
        uint8_t bit;
    };
    const std::array<Level, 3> levels{{
        {radioPair("A2", "0", "a2Low", "1", "a2High"), kEepromA2},
        {radioPair("A1", "0", "a1Low", "1", "a1High"), kEepromA1},
        {radioPair("A0", "0", "a0Low", "1", "a0High"), kEepromA0},
    }};
    auto* eepromLayout = new QVBoxLayout(eepromBox);
    eepromLayout->addWidget(eepromRead);
    eepromLayout->addWidget(eepromWrite);
    auto* typeForm = new QFormLayout;
    typeForm->addRow(fieldLabel("Device:", type), type);
    eepromLayout->addLayout(typeForm);
    auto* levelRow = new QHBoxLayout;
    for (const Level& l : levels) levelRow->addWidget(l.radios.box);
    eepromLayout->addLayout(levelRow);

    auto* same = namedCheckBox("Use Same Setting as in Simulation", "sameSetting");
    auto* portLines = namedButton("Port Line Selection", "portLineSelection");
    f.left->addWidget(rtcBox);
    f.left->addWidget(eepromBox);
    f.left->addWidget(same);
    f.left->addWidget(portLines);
    f.left->addStretch();

    // Every control from the record, or from the module where the record
    // takes the module's settings.
    auto update = [&] {
        const IicCodeGenSettings shown = iicSettingsInUse(record, module);
        const bool own = !(record.rtc & kIicGenSameAsSimulation);
        rtcRead->setChecked(record.routines & kIicGenRtcRead);
        rtcWrite->setChecked(record.routines & kIicGenRtcWrite);
        eepromRead->setChecked(record.routines & kIicGenEepromRead);
        eepromWrite->setChecked(record.routines & kIicGenEepromWrite);
        same->setChecked(!own);
        rtcA0.set(shown.rtc & kIicGenRtcA0);
        rtcA0.box->setEnabled(own);
        {
            QSignalBlocker block(type);
            type->setCurrentIndex(shown.eepromType > 4 ? 0 : shown.eepromType);
        }
        type->setEnabled(own);
        const IicAddressPinEnabling pins = iicAddressPinEnabling(type->currentIndex());
        const std::array<bool, 3> used{pins.a2, pins.a1, pins.a0};
        for (size_t i = 0; i < levels.size(); ++i) {
            levels[i].radios.set(shown.eepromLevels & levels[i].bit);
            levels[i].radios.box->setEnabled(own && used[i]);
        }
        portLines->setEnabled(own);
        f.generate->setEnabled(record.routines & 0x0F);
        showSummary(f.summary, iicSummary(record, module));
    };
    auto routine = [&](QCheckBox* box, uint8_t bit) {
        QObject::connect(box, &QCheckBox::clicked, &dialog, [&, bit](bool on) {
            setBit(record.routines, bit, on);
            update();
        });
    };
    routine(rtcRead, kIicGenRtcRead);
    routine(rtcWrite, kIicGenRtcWrite);
    routine(eepromRead, kIicGenEepromRead);
    routine(eepromWrite, kIicGenEepromWrite);
    QObject::connect(rtcA0.second, &QRadioButton::clicked, &dialog, [&] {
        record.rtc |= kIicGenRtcA0;
        update();
    });
    QObject::connect(rtcA0.first, &QRadioButton::clicked, &dialog, [&] {
        record.rtc &= uint8_t(~kIicGenRtcA0);
        update();
    });
    for (const Level& l : levels) {
        QObject::connect(l.radios.second, &QRadioButton::clicked, &dialog, [&, bit = l.bit] {
            record.eepromLevels |= bit;
            update();
        });
        QObject::connect(l.radios.first, &QRadioButton::clicked, &dialog, [&, bit = l.bit] {
            record.eepromLevels &= uint8_t(~bit);
            update();
        });
    }
    QObject::connect(type, &QComboBox::activated, &dialog, [&](int index) {
        record.eepromType = uint8_t(index);
        update();
    });
    QObject::connect(same, &QCheckBox::clicked, &dialog, [&](bool on) {
        setBit(record.rtc, kIicGenSameAsSimulation, on);
        update();
    });
    QObject::connect(portLines, &QPushButton::clicked, &dialog, [&] {
        iicCodeGenPortLines(frame, &dialog, record);
        update();
    });
    // Lines the routines cannot use are said, and the dialog stays open as
    // the user filled it.
    QObject::disconnect(f.generate, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(f.generate, &QPushButton::clicked, &dialog, [&] {
        if (const Validation message = checkIicCodeGen(record, module)) {
            frame.showMessage(*message);
            return;
        }
        dialog.accept();
    });
    update();
    if (dialog.exec() != QDialog::Accepted) return;
    insertGeneratedCode(frame, generateIicCode(record, frame.machine().modules.settings.iic));
}

void generateSpiCodeCommand(Frame& frame) {
    SpiCodeGenSettings& record = codeGenRecords(frame).spi;
    const SpiSettings& module = frame.machine().modules.settings.spi;
    QDialog dialog(&frame);
    const CodeGenDialogFrame f =
        buildDialogFrame(dialog, "IDM_CODEGENERATION_SPI", "Code Generation - SPI EEPROM Routines");

    auto* routines = new QGroupBox("Routines");
    auto* read = namedCheckBox("Read", "read");
    auto* write = namedCheckBox("Write", "write");
    auto* routineRow = new QHBoxLayout(routines);
    routineRow->addWidget(read);
    routineRow->addWidget(write);
    const RadioPair wires = radioPair("Bus Selection", "3 Wire", "threeWire", "4 Wire", "fourWire");
    auto* type = typeList({"AT25C010", "AT25C020", "AT25C040"});
    auto* typeForm = new QFormLayout;
    typeForm->addRow(fieldLabel("Device:", type), type);
    auto* same = namedCheckBox("Use Same Setting as in Simulation", "sameSetting");
    auto* portLines = namedButton("Port Line Selection", "portLineSelection");
    f.left->addWidget(routines);
    f.left->addWidget(wires.box);
    f.left->addLayout(typeForm);
    f.left->addWidget(same);
    f.left->addWidget(portLines);
    f.left->addStretch();

    auto update = [&] {
        const SpiCodeGenSettings shown = spiSettingsInUse(record, module);
        const bool own = !(record.bus & kSpiGenSameAsSimulation);
        read->setChecked(record.routines & kSpiGenRead);
        write->setChecked(record.routines & kSpiGenWrite);
        same->setChecked(!own);
        wires.set(shown.bus & kSpiGenFourWire);
        {
            QSignalBlocker block(type);
            type->setCurrentIndex(shown.eepromType > 2 ? 0 : shown.eepromType);
        }
        for (QWidget* w : std::initializer_list<QWidget*>{wires.box, type, portLines}) w->setEnabled(own);
        f.generate->setEnabled(record.routines & (kSpiGenRead | kSpiGenWrite));
        showSummary(f.summary, spiSummary(record, module));
    };
    QObject::connect(read, &QCheckBox::clicked, &dialog, [&](bool on) {
        setBit(record.routines, kSpiGenRead, on);
        update();
    });
    QObject::connect(write, &QCheckBox::clicked, &dialog, [&](bool on) {
        setBit(record.routines, kSpiGenWrite, on);
        update();
    });
    QObject::connect(wires.first, &QRadioButton::clicked, &dialog, [&] {
        record.bus &= uint8_t(~kSpiGenFourWire);
        update();
    });
    QObject::connect(wires.second, &QRadioButton::clicked, &dialog, [&] {
        record.bus |= kSpiGenFourWire;
        update();
    });
    QObject::connect(type, &QComboBox::activated, &dialog, [&](int index) {
        record.eepromType = uint8_t(index);
        update();
    });
    QObject::connect(same, &QCheckBox::clicked, &dialog, [&](bool on) {
        setBit(record.bus, kSpiGenSameAsSimulation, on);
        update();
    });
    QObject::connect(portLines, &QPushButton::clicked, &dialog, [&] {
        spiCodeGenPortLines(frame, &dialog, record);
        update();
    });
    update();
    if (dialog.exec() != QDialog::Accepted) return;
    insertGeneratedCode(frame, generateSpiCode(record, frame.machine().modules.settings.spi));
}

} // namespace quorvel::shell
