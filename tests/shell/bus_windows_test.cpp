// The IIC and SPI windows and their dialogs as a user works them: a byte
// typed into the IIC EEPROM window that a program then reads over the bus,
// write protection, the external master's "Send" and the captions that follow
// the program's SPCR writes, and the bus dialogs' Cancel and OK. With
// QUORVEL_SCREENSHOT_DIR set, iic_eeprom_window.png and spi_window.png are
// saved there.
#include "modules/iic_bus.h"
#include "shell/modules/device_dump_view.h"
#include "shell/modules/chip_notices.h"
#include "shell_test_support.h"
#include "tools/line_assembler.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// Assembles `lines` into program memory from `address`; returns the address
// after the last instruction.
uint16_t assemble(StartedFrame& s, const std::vector<std::string>& lines, uint16_t address = 0) {
    for (const std::string& line : lines) {
        const AssembledInstruction code = assembleLine(line, address);
        if (code.result != AssembleResult::Success) qFatal("cannot assemble %s", line.c_str());
        for (int i = 0; i < code.length; ++i) s.chip().writeCode(address++, code.bytes[size_t(i)]);
    }
    return address;
}

// Runs the program until it reaches `end`, then stops it.
void runTo(StartedFrame& s, uint16_t end) {
    s.frame.dispatch(id::Go);
    QTRY_VERIFY([&] {
        auto guard = s.frame.runControl().pause();
        return s.chip().pc == end;
    }());
    s.frame.dispatch(id::StopExecution);
}

// A random read of the IIC EEPROM's byte 0x10 into internal RAM 30H, bit by
// bit on SCL = P1.0 and SDA = P1.1.
std::vector<std::string> iicReadProgram() {
    std::vector<std::string> p{"MOV P1,#FF", "CLR P1.1", "CLR P1.0"}; // start
    auto sendByte = [&p](const char* value) {
        p.push_back(std::string("MOV A,#") + value);
        for (int bit = 0; bit < 8; ++bit)
            p.insert(p.end(), {"RLC A", "MOV P1.1,C", "SETB P1.0", "CLR P1.0"});
        p.insert(p.end(), {"SETB P1.1", "SETB P1.0", "CLR P1.0"}); // acknowledge clock
    };
    sendByte("A0");
    sendByte("10");
    p.insert(p.end(), {"SETB P1.0", "CLR P1.1", "CLR P1.0"}); // repeated start
    sendByte("A1");
    for (int bit = 0; bit < 8; ++bit) p.insert(p.end(), {"SETB P1.0", "MOV C,P1.1", "RLC A", "CLR P1.0"});
    p.insert(p.end(), {"SETB P1.0", "CLR P1.0"});              // no acknowledge
    p.insert(p.end(), {"CLR P1.1", "SETB P1.0", "SETB P1.1"}); // stop
    p.push_back("MOV 30,A");
    return p;
}

QPoint cellCentre(const DeviceDumpView* view, int column, int row) {
    return {column * view->charWidth() + view->charWidth() / 2, row * view->lineHeight() + view->lineHeight() / 2};
}

} // namespace

class BusWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void iicEepromByteTypedIsReadByTheProgram();
    void spiExternalMasterSendsAndCaptionsFollowSpcr();
    void busDialogsCancelRestoresAndOkRetitles();
    void clockWindowTakesTheTimeAtEachTick();
    void spiWindowClearViewTile();
};

void BusWindowsTest::iicEepromByteTypedIsReadByTheProgram() {
    StartedFrame s;
    IicSettings& iic = s.frame.machine().modules.settings.iic;
    iic = {.IicOptions = kIicEnableBus, .EepromOptions = kEepromConnected, .EepromType = 1,
           .IicScl = 0x10, .IicSda = 0x11};
    auto* view = s.open<DeviceDumpView>(id::IicEepromWindow, QSize(760, 420));
    QVERIFY(view->rowText(16).isEmpty()); // 256 bytes

    // Hex digits at byte 0x10, then a character in the character area.
    QTest::mouseClick(view, Qt::LeftButton, {}, cellCentre(view, DeviceDumpView::kHexColumn, 1));
    QCOMPARE(s.frame.statusText(0), QString("Current editing address : 10"));
    QTest::keyClicks(view, "5a");
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClicks(view, "Q");
    const auto& memory = s.frame.machine().modules.iic.eeprom.EepromMemory;
    QCOMPARE(int(memory[0x10]), 0x5A);
    QCOMPARE(int(memory[0x11]), int('Q'));
    QVERIFY(!view->changedByProgram(0x10));
    QVERIFY(view->rowText(1).startsWith("  10    5A  51  FF"));

    // Write protection on an AT24C02 refuses typing.
    iic.EepromOptions |= kEepromWriteProtect;
    QTest::keyClicks(view, "7");
    QCOMPARE(int(memory[0x12]), 0xFF);
    iic.EepromOptions &= uint8_t(~kEepromWriteProtect);

    const uint16_t end = assemble(s, iicReadProgram());
    assemble(s, {"SJMP " + QString::number(end, 16).toStdString()}, end);
    runTo(s, end);
    QCOMPARE(int(s.chip().iram[0x30]), 0x5A);

    // A byte the program stores is drawn red until the window is reopened.
    {
        auto guard = s.frame.runControl().pause();
        s.frame.machine().modules.iic.eeprom.EepromMemory[0x13] = 0x42;
    }
    s.frame.refreshViews();
    QVERIFY(view->changedByProgram(0x13));
    QVERIFY(!view->changedByProgram(0x12));
    QCoreApplication::processEvents();
    const QImage image = view->grab().toImage();
    const QSize cell(view->charWidth(), view->lineHeight() - 8);
    QVERIFY(inkCount(image, cellCentre(view, DeviceDumpView::kHexColumn + 3 * 4, 1), cell) > 3);
    QCOMPARE(inkCount(image, cellCentre(view, DeviceDumpView::kHexColumn + 2 * 4, 1), cell), 0);
    QVERIFY(saveScreenshot(view->parentWidget(), "iic_eeprom_window.png"));
}

void BusWindowsTest::spiExternalMasterSendsAndCaptionsFollowSpcr() {
    StartedFrame s("Atmel 89S8252");
    const uint16_t end = assemble(s, {"MOV SPCR,#50", "MOV SPCR,#40", "MOV SPDR,#41", "SJMP 9"});
    QCOMPARE(end, 11);
    View* view = s.open<View>(id::SpiWindow);
    auto* chipSide = child<QGroupBox>(view, "chipSide");
    auto* field = child<QLineEdit>(view, "externalTransmit");
    auto* button = child<QPushButton>(view, "setSend");

    // Captions by MSTR, as the program writes SPCR.
    const struct {
        const char *chip, *button;
    } captions[] = {{"Master", "Set"}, {"Slave", "Send"}};
    for (const auto& c : captions) {
        s.frame.dispatch(id::SingleStep);
        QTRY_COMPARE(chipSide->title(), QString(c.chip));
        QCOMPARE(button->text(), QString(c.button));
    }

    // A wrong entry is refused; a good one is sent while the program runs.
    field->setText("G1");
    button->click();
    QCOMPARE(s.messages.shown.size(), size_t(1));
    QCOMPARE(s.messages.shown.back(), errorMessage("ERROR", "Illegal Data"));
    runTo(s, 9); // SPDR holds 41H
    field->setText("3c");
    s.frame.dispatch(id::Go);
    button->click();
    QTRY_VERIFY([&] {
        auto guard = s.frame.runControl().pause();
        return (s.chip().sfr(sfr::SPSR) & 0x80) != 0;
    }());
    s.frame.dispatch(id::StopExecution);
    QCOMPARE(s.messages.shown.size(), size_t(1));
    auto* transmitted = child<QListWidget>(view, "chipTransmit");
    QCOMPARE(transmitted->count(), 1);
    QCOMPARE(transmitted->item(0)->text(), QString("41 (A)"));
    QCOMPARE(child<QListWidget>(view, "chipReceive")->item(0)->text(), QString("3C (<)"));
    QCOMPARE(child<QLabel>(view, "externalReceive")->text(), QString("41"));
    QVERIFY(saveScreenshot(view->parentWidget(), "spi_window.png"));

    // As an external slave, "Set" waits for the field to be edited again.
    {
        auto guard = s.frame.runControl().pause();
        s.chip().sfrs[sfr::SPCR - 0x80] = 0x50;
    }
    s.frame.refreshViews();
    QCOMPARE(button->text(), QString("Set"));
    button->click();
    QVERIFY(!button->isEnabled());
    QTest::keyClick(field, Qt::Key_Backspace);
    QVERIFY(button->isEnabled());
}

void BusWindowsTest::busDialogsCancelRestoresAndOkRetitles() {
    StartedFrame s("Atmel 89S8252");
    ModuleSettings& settings = s.frame.machine().modules.settings;
    settings.iic.IicScl = 0x10;
    settings.iic.IicSda = 0x11;
    settings.spi.SpiLines = {0x12, 0x13, 0x14};
    const IicSettings iicBefore = settings.iic;
    const SpiSettings spiBefore = settings.spi;
    auto* spiWindow = s.open<DeviceDumpView>(id::SpiEepromWindow);
    QCOMPARE(spiWindow->parentWidget()->windowTitle(), QString("SPI EEPROM - AT25C010"));

    // IIC: the bus changes at once and Cancel puts it back; what the RTC
    // dialog's OK set stays.
    IicSettings duringDialog;
    ModalAnswerer answer([&](QDialog* d) {
        const QString name = d->objectName();
        if (name == "IDM_IICBUSSETTING") {
            QTimer::singleShot(0, d, [&, d] {
                child<QCheckBox>(d, "enableBus")->click();
                child<QComboBox>(d, "controlLine")->setCurrentIndex(1);
                auto* port = child<QComboBox>(d, "portLine");
                emit port->activated(port->findText("P1.5"));
                child<QPushButton>(d, "rtcSetting")->click(); // answered below
                duringDialog = settings.iic;
                child<QPushButton>(d, "cancel")->click();
            });
        } else if (name == "IDM_IICRTCSETTING") {
            QTimer::singleShot(0, d, [d] {
                child<QCheckBox>(d, "connect")->click();
                child<QRadioButton>(d, "a0_1")->click();
                child<QPushButton>(d, "ok")->click();
            });
        } else if (name == "IDM_SPIBUSSETTING") {
            QTimer::singleShot(0, d, [&, d] {
                child<QCheckBox>(d, "enableBus")->click();
                child<QRadioButton>(d, "fourWire")->click();
                child<QComboBox>(d, "controlLine")->setCurrentIndex(2);
                auto* port = child<QComboBox>(d, "portLine");
                emit port->activated(port->findText("P1.7"));
                QCOMPARE(settings.spi.SpiLines[2], PinRef(0x17));
                child<QPushButton>(d, "eepromSetting")->click(); // answered below
                child<QPushButton>(d, "cancel")->click();
            });
        } else if (name == "IDM_SPIEEPROMSETTING") {
            QTimer::singleShot(0, d, [d] {
                child<QCheckBox>(d, "connect")->click();
                child<QComboBox>(d, "device")->setCurrentIndex(2);
                child<QPushButton>(d, "ok")->click();
            });
        } else {
            return false;
        }
        return true;
    });
    s.frame.dispatch(id::IicSetting);
    QCOMPARE(int(duringDialog.IicOptions), int(kIicEnableBus));
    QCOMPARE(duringDialog.IicSda, PinRef(0x15));
    QCOMPARE(settings.iic.IicOptions, iicBefore.IicOptions);
    QCOMPARE(settings.iic.IicSda, iicBefore.IicSda);
    QCOMPARE(int(settings.iic.RtcOptions), int(kRtcConnected | kRtcA0));

    s.frame.dispatch(id::SpiSetting);
    QCOMPARE(settings.spi.SpiOptions, spiBefore.SpiOptions);
    QCOMPARE(settings.spi.SpiLines, spiBefore.SpiLines);
    QCOMPARE(spiEepromType(settings.spi), 2);
    QCOMPARE(spiWindow->parentWidget()->windowTitle(), QString("SPI EEPROM - AT25C040"));
    QCOMPARE(spiWindow->rowText(31).left(9), QString(" 1F0    F"));
}

void BusWindowsTest::clockWindowTakesTheTimeAtEachTick() {
    StartedFrame s;
    auto* view = s.open<DeviceDumpView>(id::RtcWindow);
    auto& memory = s.frame.machine().modules.iic.rtc.RtcMemory;
    {
        auto guard = s.frame.runControl().pause();
        memory[rtc::Seconds] = 0x17;  // the clock counted
        memory[rtc::WeekdayMonth] = 0x23;
        memory[7] = 0x99;             // the program wrote RAM
    }
    emit s.frame.chipNotices().rtcTicked();
    for (int address : {rtc::Seconds, rtc::WeekdayMonth}) QVERIFY(!view->changedByProgram(address));
    QVERIFY(view->changedByProgram(7));
    QVERIFY(view->rowText(0).startsWith("  00    00  00  17  00  00  00  23  99"));
}

void BusWindowsTest::spiWindowClearViewTile() {
    StartedFrame s("Atmel 89S8252");
    s.frame.dispatch(id::ClearView);
    View* view = s.open<View>(id::SpiWindow);
    const QSize client = s.frame.mdiArea()->viewport()->size();
    auto* tile = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    QCOMPARE(tile->geometry(), QRect(0, 300, 353, client.height() - 300));
    QVERIFY(tile->windowFlags() & Qt::FramelessWindowHint);
    // The painted title above the controls, which sit 10 pixels lower.
    QCoreApplication::processEvents();
    const QColor title = view->grab().toImage().pixelColor(2, 2);
    QVERIFY(title == QColor(0, 0, 128) || title == QColor(128, 128, 128));
    QVERIFY(child<QGroupBox>(view, "chipSide")->y() >= 10 + view->fontMetrics().height());
}

QTEST_MAIN(BusWindowsTest)
#include "bus_windows_test.moc"
