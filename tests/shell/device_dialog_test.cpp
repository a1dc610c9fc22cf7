// Drives the start-up device dialog and the two memory dialogs as a user
// would, recording message boxes instead of showing them.
#include "shell/device_dialogs.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell_test_support.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

class DeviceDialogTest : public QObject {
    Q_OBJECT
private slots:
    void frequencyAboveTheMaximumIsRefusedThenAccepted();
    void exitEndsStartUp();
    void memoryButtonsFollowTheDevice();
    void programMemoryDialogForcesExternalOn8031();
    void dataMemoryCancelKeepsTheLimit();
};

void DeviceDialogTest::frequencyAboveTheMaximumIsRefusedThenAccepted() {
    RecordedMessages messages;
    Frame frame(messages);
    frame.show();
    QCOMPARE(frame.windowTitle(), QString("Quorvel Simulator"));

    onNextModal([&](QDialog* dialog) {
        QCOMPARE(dialog->objectName(), QString("IDM_SELECTDEVICE"));
        QCOMPARE(dialog->windowTitle(), QString("Quorvel Simulator - Select Device"));
        auto* device = child<QComboBox>(dialog, "device");
        auto* frequency = child<QLineEdit>(dialog, "frequency");
        QCOMPARE(device->itemText(0), QString("Atmel 89C1051"));
        device->setCurrentIndex(device->findText("Atmel 89C52"));
        frequency->clear();
        QTest::keyClicks(frequency, "30000000");
        child<QPushButton>(dialog, "ok")->click();
        // Refused: the dialog stays open with the message shown.
        QCOMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(QString::fromStdString(messages.shown[0].text),
                 QString("Exceeds Maximum Operating Frequency"));
        QCOMPARE(QString::fromStdString(messages.shown[0].title), QString("ERROR"));
        QVERIFY(dialog->isVisible());

        device->setCurrentIndex(device->findText("Atmel 89C55"));
        QVERIFY(child<QPlainTextEdit>(dialog, "features")
                    ->toPlainText()
                    .contains("20K Bytes of In-System Reprogrammable Flash Memory"));
        child<QPushButton>(dialog, "ok")->click();
    });
    QVERIFY(frame.startUp());
    QCOMPARE(messages.shown.size(), size_t(1));
    QCOMPARE(frame.windowTitle(), QString("Quorvel Simulator - Simulated Device: AT89C55"));
    QCOMPARE(frame.machine().selection.frequency, 30000000u);
    QCOMPARE(int(frame.machine().chip.code.size()), 20 * 1024);
}

void DeviceDialogTest::exitEndsStartUp() {
    RecordedMessages messages;
    Frame frame(messages);
    onNextModal([](QDialog* dialog) { child<QPushButton>(dialog, "exit")->click(); });
    QVERIFY(!frame.startUp());
    QCOMPARE(frame.windowTitle(), QString("Quorvel Simulator"));
}

void DeviceDialogTest::memoryButtonsFollowTheDevice() {
    RecordedMessages messages;
    DeviceDialog dialog(DeviceSelection{}, messages);
    auto* device = child<QComboBox>(&dialog, "device");
    auto* program = child<QPushButton>(&dialog, "programMemory");
    QCOMPARE(device->currentText(), QString("Atmel 89C2051"));
    QVERIFY(!program->isEnabled());
    device->setCurrentIndex(device->findText("Atmel 89C51"));
    QVERIFY(program->isEnabled());
    QVERIFY(child<QPushButton>(&dialog, "dataMemory")->isEnabled());
    device->setCurrentIndex(device->findText("Atmel 89C1051"));
    QVERIFY(!program->isEnabled());
}

void DeviceDialogTest::programMemoryDialogForcesExternalOn8031() {
    DeviceSelection s;
    ProgramMemoryDialog dialog(s, DeviceKind::I8031);
    auto* internal = child<QRadioButton>(&dialog, "mode0");
    auto* external = child<QRadioButton>(&dialog, "mode1");
    auto* both = child<QRadioButton>(&dialog, "mode2");
    QVERIFY(!internal->isEnabled());
    QVERIFY(!both->isEnabled());
    QVERIFY(external->isChecked());
    QVERIFY(child<QRadioButton>(&dialog, "size0")->isEnabled());
    QCOMPARE(child<QRadioButton>(&dialog, "size5")->text(), QString("64K"));

    DeviceSelection c52;
    ProgramMemoryDialog d52(c52, DeviceKind::AT89C52);
    QVERIFY(!child<QRadioButton>(&d52, "size0")->isEnabled()); // Internal Only
    child<QRadioButton>(&d52, "mode2")->click();
    QCOMPARE(child<QRadioButton>(&d52, "size5")->text(), QString("56K"));
    child<QRadioButton>(&d52, "size3")->click();
    d52.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(d52.result(), int(QDialog::Accepted));
    QCOMPARE(d52.selection().codeLimit, uint16_t(24575));
}

void DeviceDialogTest::dataMemoryCancelKeepsTheLimit() {
    DeviceSelection s;
    s.xdataLimit = 8191;
    DataMemoryDialog dialog(s);
    QVERIFY(child<QRadioButton>(&dialog, "size3")->isChecked()); // opens on 8K
    child<QRadioButton>(&dialog, "size6")->click();
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    DataMemoryDialog again(s);
    child<QRadioButton>(&again, "size0")->click();
    again.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(again.selection().xdataLimit, uint16_t(0));
}

QTEST_MAIN(DeviceDialogTest)
#include "device_dialog_test.moc"
