// Drives the application frame as a user would: start with a device, load a
// HEX file through the Load Program command, step, step over a call, run to a
// breakpoint set by double-click, stop a free run, edit instructions, and
// check how menus gray and un-gray and what the status bar says. Message
// boxes and file prompts are answered through the recording interface.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <functional>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// 0000: MOV A,#05       0002: LCALL 0010     0005: INC A        0006: MOV 30H,A
// 0008: SJMP 0008       0010: MOV R7,#09     0012: RET
constexpr const char* kProgramHex = ":10000000740512001004F53080FE000000000000AE\r\n"
                                    ":030010007F092243\r\n"
                                    ":00000001FF\r\n";

} // namespace

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startUpShowsDeviceAndStatus();
    void loadStepAndStepOver();
    void breakpointByDoubleClickAndFreeRun();
    void editInstructionRules();
    void loadErrorsAreReported();
    void fillCopySaveAndReload();
    void configurationSurvivesARestart();

private:
    void startFrame(const char* device = "Atmel 89C52");
    void loadProgram();

    QTemporaryDir dir_;
    std::unique_ptr<RecordedMessages> messages_;
    std::unique_ptr<Frame> frame_;
};

void FrameTest::init() {
    messages_ = std::make_unique<RecordedMessages>();
    frame_ = std::make_unique<Frame>(*messages_);
    frame_->show();
}

void FrameTest::cleanup() {
    frame_.reset();
    messages_.reset();
}

void FrameTest::startFrame(const char* device) {
    onNextModal([device](QDialog* dialog) {
        auto* combo = child<QComboBox>(dialog, "device");
        combo->setCurrentIndex(combo->findText(device));
        child<QPushButton>(dialog, "ok")->click();
    });
    QVERIFY(frame_->startUp());
}

void FrameTest::loadProgram() {
    QString path = dir_.filePath("prog.hex");
    std::ofstream(path.toStdString(), std::ios::binary) << kProgramHex;
    messages_->fileAnswers.push_back(path);
    QString details;
    ModalAnswerer answer([&](QDialog* d) {
        if (d->objectName() != "IDM_FILELOADINGDETAILS") return false;
        details = d->findChild<QPlainTextEdit*>("details")->toPlainText();
        d->accept();
        return true;
    });
    frame_->dispatch(id::LoadProgram);
    QCOMPARE(messages_->prompts.last(), QString("Load Program File"));
    QVERIFY(details.startsWith("0000H to 0012H"));
}

void FrameTest::startUpShowsDeviceAndStatus() {
    startFrame();
    QCOMPARE(frame_->windowTitle(), QString("Quorvel Simulator - Simulated Device: AT89C52"));
    QCOMPARE(frame_->statusText(0), QString("Ready"));
    QCOMPARE(frame_->statusText(1), QString("RB0"));
    QCOMPARE(frame_->statusText(2), QString("No Breakpoint Set"));
    QCOMPARE(frame_->statusText(3), QString("M/C:0"));
    QCOMPARE(frame_->menuBarKind(), MenuBarKind::Init);
    // Device-dependent and not-yet-available commands are grayed.
    QVERIFY(!frame_->menuAction(id::SpiWindow)->isEnabled());
    QVERIFY(!frame_->menuAction(id::LoadData)->isEnabled()); // no external data memory
    QVERIFY(!frame_->menuAction(id::StopExecution)->isEnabled());
    QVERIFY(frame_->menuAction(id::Go)->isEnabled());
    QCOMPARE(frame_->menuAction(id::Go)->statusTip(), QString("Execute program from current PC value"));
    QCOMPARE(frame_->toolbarAction(id::Go)->toolTip(), QString("Execute(PC)"));
    QVERIFY(!frame_->toolbarAction(id::CloseAll)->isEnabled());
}

void FrameTest::loadStepAndStepOver() {
    startFrame();
    loadProgram();
    frame_->dispatch(id::ProgramWindow);
    ProgramView* view = frame_->programView();
    QVERIFY(view);
    QCOMPARE(frame_->menuBarKind(), MenuBarKind::Main);
    QVERIFY(view->rowText(1).startsWith("  0000"));
    QVERIFY2(view->rowText(1).contains("74 05       MOV    A,#05"), qPrintable(view->rowText(1)));

    frame_->dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(frame_->machine().chip.acc(), 5);
    QCOMPARE(frame_->runControl().currentAddress(), 2);
    QCOMPARE(frame_->statusText(3), QString("M/C:1"));

    frame_->dispatch(id::StepOver); // LCALL runs on the simulation thread
    QTRY_VERIFY(!frame_->runControl().running());
    QCOMPARE(frame_->runControl().currentAddress(), 5);
    QCOMPARE(frame_->machine().chip.reg(7), 9);
    QCOMPARE(frame_->statusText(0), QString("Ready"));
    QVERIFY(frame_->menuAction(id::Go)->isEnabled());

    // The picture of the frame for the documentation, on request.
    const QByteArray shot = qgetenv("QUORVEL_SCREENSHOT");
    if (!shot.isEmpty()) {
        frame_->resize(1000, 640);
        frame_->mdiArea()->activeSubWindow()->setGeometry(0, 0, 760, 430);
        QTest::qWait(50);
        QVERIFY(frame_->grab().save(QString::fromLocal8Bit(shot)));
    }
}

void FrameTest::breakpointByDoubleClickAndFreeRun() {
    startFrame();
    loadProgram();
    frame_->dispatch(id::ProgramWindow);
    ProgramView* view = frame_->programView();
    // Row 4 holds 0006 (MOV 30H,A): double-click its BP column.
    QCOMPARE(view->rowAddress(3), 6u);
    QFontMetrics fm(view->font());
    const int lineHeight = fm.height() + fm.leading() + 8;
    const int charWidth = fm.horizontalAdvance('M');
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(11 * charWidth + 2, 4 * lineHeight + 3));
    QCOMPARE(frame_->statusText(2), QString("Break if PC = 0006H"));

    const bool loadWasEnabled = frame_->menuAction(id::LoadProgram)->isEnabled();
    frame_->dispatch(id::BreakpointExecution);
    QTRY_VERIFY(!frame_->runControl().running());
    QCOMPARE(frame_->runControl().currentAddress(), 6);
    QCOMPARE(frame_->machine().chip.acc(), 6);

    // Double-clicking the same BP column removes the breakpoint.
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(11 * charWidth + 2, 4 * lineHeight + 3));
    QCOMPARE(frame_->statusText(2), QString("No Breakpoint Set"));
    QCOMPARE(frame_->runControl().currentAddress(), 6);

    // A free run grays the run-time commands and keeps the view buttons.
    frame_->dispatch(id::Go);
    QVERIFY(frame_->runControl().running());
    QVERIFY2(frame_->statusText(0).startsWith("Executing from 0006H"), qPrintable(frame_->statusText(0)));
    QVERIFY(!frame_->menuAction(id::LoadProgram)->isEnabled());
    QVERIFY(!frame_->menuAction(id::SingleStep)->isEnabled());
    QVERIFY(!frame_->menuAction(id::Exit)->isEnabled());
    QVERIFY(frame_->menuAction(id::StopExecution)->isEnabled());
    QVERIFY(frame_->toolbarAction(id::StopExecution)->isEnabled());
    QVERIFY(frame_->toolbarAction(id::ProgramWindow)->isEnabled());
    QVERIFY(!frame_->toolbarAction(id::Go)->isEnabled());

    // Let the run get going, looking at the machine only under the pause guard.
    QTRY_VERIFY([this] {
        auto guard = frame_->runControl().pause();
        return frame_->machine().chip.pc == 8;
    }());
    QElapsedTimer clock;
    clock.start();
    frame_->dispatch(id::StopExecution);
    QVERIFY(clock.elapsed() < 500); // control comes back at once
    QVERIFY(!frame_->runControl().running());
    QCOMPARE(frame_->runControl().currentAddress(), 8); // the SJMP $ loop
    QCOMPARE(frame_->menuAction(id::LoadProgram)->isEnabled(), loadWasEnabled);
    QVERIFY(frame_->menuAction(id::SingleStep)->isEnabled());
    QVERIFY(!frame_->menuAction(id::StopExecution)->isEnabled());
    QVERIFY(!frame_->menuAction(id::SpiWindow)->isEnabled()); // stays grayed
    QCOMPARE(frame_->statusText(0), QString("Ready"));
}

void FrameTest::editInstructionRules() {
    startFrame();
    loadProgram();
    frame_->dispatch(id::ProgramWindow);
    ProgramView* view = frame_->programView();
    ChipState& chip = frame_->machine().chip;

    // Row 1 (MOV A,#05, two bytes): a three-byte instruction is refused,
    // then a one-byte one is stored with a NOP after it.
    QStringList typed = {"LJMP 1234", "INC A"};
    QStringList labels;
    ModalAnswerer answer([&](QDialog* d) {
        if (d->objectName() != "IDM_GETMNEMONIC" || typed.isEmpty()) return false;
        labels << d->findChild<QLabel*>("addressLabel")->text();
        auto* line = d->findChild<QLineEdit*>("line");
        line->setText(typed.takeFirst());
        d->findChild<QPushButton*>("store")->click();
        return true;
    });
    view->editInstruction(1);
    QCOMPARE(labels, QStringList({"0000:", "0000:"}));
    QCOMPARE(messages_->shown.size(), size_t(2));
    QCOMPARE(QString::fromStdString(messages_->shown[0].text),
             QString("1/2 byte instruction cannot be changed to 3 byte instruction"));
    QCOMPARE(QString::fromStdString(messages_->shown[1].text), QString("NOP instruction(s) is added"));
    QCOMPARE(QString::fromStdString(messages_->shown[1].title), QString("Warning"));
    QCOMPARE(chip.readCode(0), 0x04);
    QCOMPARE(chip.readCode(1), 0x00);
    QCOMPARE(chip.readCode(2), 0x12); // the LCALL after it is untouched
}

void FrameTest::loadErrorsAreReported() {
    startFrame();
    QString path = dir_.filePath("bad.hex");
    std::ofstream(path.toStdString(), std::ios::binary) << "this is not hex\r\n";
    messages_->fileAnswers.push_back(path);
    frame_->dispatch(id::LoadProgram);
    QVERIFY(messages_->shown.size() >= 2);
    QCOMPARE(QString::fromStdString(messages_->shown[0].text), QString("Invalid HEX file"));
    QCOMPARE(QString::fromStdString(messages_->shown.back().text), QString("File Loading Stopped"));

    messages_->shown.clear();
    messages_->fileAnswers.push_back(dir_.filePath("missing.hex"));
    frame_->dispatch(id::LoadProgram);
    QCOMPARE(messages_->shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(messages_->shown[0].text),
             QString("Unable to open the selected file"));

    // Cancel of the file dialog changes nothing.
    messages_->shown.clear();
    frame_->dispatch(id::LoadProgram);
    QVERIFY(messages_->shown.empty());
}

void FrameTest::fillCopySaveAndReload() {
    startFrame();
    ChipState& chip = frame_->machine().chip;
    // Program Memory Fill 0100-010F with 5A, then Move 0100-010F to 0108.
    auto fill = [&](const char* resource, const char* start, const char* end, const char* third) {
        return std::make_unique<ModalAnswerer>([=](QDialog* d) {
            if (d->objectName() != resource) return false;
            d->findChild<QLineEdit*>("start")->setText(start);
            d->findChild<QLineEdit*>("end")->setText(end);
            QLineEdit* last = d->findChild<QLineEdit*>("fill");
            if (!last) last = d->findChild<QLineEdit*>("destination");
            last->setText(third);
            d->findChild<QPushButton*>("ok")->click();
            return true;
        });
    };
    {
        auto a = fill("IDM_PROGRAMMEMORYFILL", "0100", "010F", "5A");
        frame_->dispatch(id::ProgramFill);
    }
    QCOMPARE(QString::fromStdString(messages_->shown.back().text),
             QString("Fill Operation Completed Succesfully."));
    QCOMPARE(chip.readCode(0x0100), 0x5A);
    QCOMPARE(chip.readCode(0x010F), 0x5A);
    QCOMPARE(chip.readCode(0x0110), 0xFF);
    chip.writeCode(0x0100, 0x01);
    {
        auto a = fill("IDM_PROGRAMMEMORYMOVE", "0100", "010F", "0108");
        frame_->dispatch(id::ProgramCopy);
    }
    QCOMPARE(QString::fromStdString(messages_->shown.back().text),
             QString("Memory Move Completed Successfully"));
    QCOMPARE(chip.readCode(0x0108), 0x01); // overlap-safe: the first byte moved intact
    QCOMPARE(chip.readCode(0x0117), 0x5A);
    // Internal fill up to the top of the AT89C52 RAM (FFH) is accepted.
    {
        auto a = fill("IDM_INTERNALMEMORYFILL", "30", "FF", "00");
        frame_->dispatch(id::InternalFill);
    }
    QCOMPARE(QString::fromStdString(messages_->shown.back().text), QString("Fill Operation Completed Succesfully."));

    // Save 0100-0117 as HEX, clear program memory, load the file back.
    QString path = dir_.filePath("saved.hex");
    messages_->fileAnswers.push_back(path);
    {
        ModalAnswerer answer([](QDialog* d) {
            if (d->objectName() != "IDM_SAVEMEMORY") return false;
            d->findChild<QLineEdit*>("start")->setText("0100");
            d->findChild<QLineEdit*>("end")->setText("0117");
            d->findChild<QPushButton*>("save")->click();
            return true;
        });
        frame_->dispatch(id::SaveMemory);
    }
    QCOMPARE(QString::fromStdString(messages_->shown.back().text),
             QString("Operation Completed Succesfully."));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray text = saved.readAll();
    QVERIFY(text.startsWith(":10010000"));
    QVERIFY(text.endsWith(":00000001FF\n"));

    frame_->dispatch(id::ProgramClear);
    QCOMPARE(chip.readCode(0x0108), 0xFF);
    messages_->fileAnswers.push_back(path);
    {
        ModalAnswerer answer([](QDialog* d) {
            if (d->objectName() != "IDM_FILELOADINGDETAILS") return false;
            d->accept();
            return true;
        });
        frame_->dispatch(id::LoadProgram);
    }
    QCOMPARE(chip.readCode(0x0108), 0x01);
    QCOMPARE(chip.readCode(0x0117), 0x5A);
    QCOMPARE(chip.readCode(0x0118), 0xFF);
}

void FrameTest::configurationSurvivesARestart() {
    const QString config = dir_.filePath("cfg/simulator.dat");
    {
        Frame first(*messages_, config, dir_.path());
        onNextModal([](QDialog* dialog) {
            auto* combo = child<QComboBox>(dialog, "device");
            combo->setCurrentIndex(combo->findText("Atmel 89S8252"));
            auto* frequency = child<QLineEdit>(dialog, "frequency");
            frequency->setText("11059200");
            child<QPushButton>(dialog, "ok")->click();
        });
        QVERIFY(first.startUp());
        first.runControl().numberOfSteps = 7;
        first.runControl().breakpoint = {BreakpointType::InternalMemory, 0x30, 0x05, 0, 0};
        first.close();
    }
    QVERIFY(QFile::exists(config));
    {
        Frame second(*messages_, config, dir_.path());
        QString offered;
        onNextModal([&offered](QDialog* dialog) {
            offered = child<QComboBox>(dialog, "device")->currentText() + " " +
                      child<QLineEdit>(dialog, "frequency")->text();
            child<QPushButton>(dialog, "ok")->click();
        });
        QVERIFY(second.startUp());
        QCOMPARE(offered, QString("Atmel 89S8252 11059200"));
        QCOMPARE(second.runControl().numberOfSteps, uint16_t(7));
        QCOMPARE(second.statusText(2), QString("Break if Int Mem (30H) = 05H"));
    }
    // A cancelled device dialog leaves the file as it was.
    QFile file(config);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    {
        Frame third(*messages_, config, dir_.path());
        onNextModal([](QDialog* dialog) {
            child<QPushButton>(dialog, "exit")->click();
        });
        QVERIFY(!third.startUp());
        third.close();
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
