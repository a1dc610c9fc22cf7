// Drives the application frame as a user would: start with a device, load a
// HEX file through the Load Program command, step, step over a call, run to a
// breakpoint set by double-click, stop a free run, edit instructions, fill,
// move, save and reload memory, and keep the configuration across a restart.
// Message boxes and file prompts are answered through the recording interface.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/views/text_grid_view.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// 0000: MOV A,#05       0002: LCALL 0010     0005: INC A        0006: MOV 30H,A
// 0008: SJMP 0008       0010: MOV R7,#09     0012: RET
constexpr const char* kProgramHex = ":10000000740512001004F53080FE000000000000AE\r\n"
                                    ":030010007F092243\r\n"
                                    ":00000001FF\r\n";

QString lastMessage(const StartedFrame& s) { return QString::fromStdString(s.messages.shown.back().text); }

// In the dialog `resource` while it lives: the fields named in `fields` get
// their texts, then `button` is clicked.
std::unique_ptr<ModalAnswerer> answerFields(const char* resource, std::vector<std::pair<const char*, QString>> fields,
                                            const char* button = "ok") {
    return std::make_unique<ModalAnswerer>([=](QDialog* d) {
        if (d->objectName() != resource) return false;
        for (const auto& [name, text] : fields)
            child<QLineEdit>(d, name)->setText(text);
        child<QPushButton>(d, button)->click();
        return true;
    });
}

} // namespace

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void loadStepAndStepOver();
    void breakpointByDoubleClickAndFreeRun();
    void editInstructionRules();
    void loadErrorsAreReported();
    void fillCopySaveAndReload();
    void configurationSurvivesARestart();
    void realTimeRunsStopKeyAndOneBreakpoint();

private:
    // Writes the program above and loads it through Load Program.
    void loadProgram(StartedFrame& s);

    QTemporaryDir dir_;
};

void FrameTest::loadProgram(StartedFrame& s) {
    const QString path = dir_.filePath("prog.hex");
    QVERIFY(writeFile(path, kProgramHex));
    s.messages.fileAnswers.push_back(path);
    QString details;
    ModalAnswerer answer([&](QDialog* d) {
        if (d->objectName() != "IDM_FILELOADINGDETAILS") return false;
        details = d->findChild<QPlainTextEdit*>("details")->toPlainText();
        d->accept();
        return true;
    });
    s.frame.dispatch(id::LoadProgram);
    QVERIFY(details.startsWith("0000H to 0012H"));
    s.frame.dispatch(id::ProgramWindow);
    QVERIFY(s.frame.programView());
}

void FrameTest::loadStepAndStepOver() {
    StartedFrame s;
    Frame& frame = s.frame;
    QCOMPARE(frame.windowTitle(), QString("Quorvel Simulator - Simulated Device: AT89C52"));
    QCOMPARE(frame.menuBarKind(), MenuBarKind::Init);
    // Device-dependent commands are grayed.
    QVERIFY(!frame.menuAction(id::SpiWindow)->isEnabled());
    QVERIFY(!frame.menuAction(id::LoadData)->isEnabled()); // no external data memory
    loadProgram(s);
    ProgramView* view = frame.programView();
    QCOMPARE(frame.menuBarKind(), MenuBarKind::Main);
    QVERIFY2(view->rowText(1).contains("74 05       MOV    A,#05"), qPrintable(view->rowText(1)));

    frame.dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(frame.machine().chip.acc(), 5);
    QCOMPARE(frame.runControl().currentAddress(), 2);
    QCOMPARE(frame.statusText(3), QString("M/C:1"));

    frame.dispatch(id::StepOver); // LCALL runs on the simulation thread
    QTRY_VERIFY(!frame.runControl().running());
    QCOMPARE(frame.runControl().currentAddress(), 5);
    QCOMPARE(frame.machine().chip.reg(7), 9);
    QCOMPARE(frame.statusText(0), QString("Ready"));

    // The picture of the frame for the documentation, on request.
    const QByteArray shot = qgetenv("QUORVEL_SCREENSHOT");
    if (!shot.isEmpty()) {
        frame.resize(1000, 640);
        frame.mdiArea()->activeSubWindow()->setGeometry(0, 0, 760, 430);
        QTest::qWait(50);
        QVERIFY(frame.grab().save(QString::fromLocal8Bit(shot)));
    }
}

void FrameTest::breakpointByDoubleClickAndFreeRun() {
    StartedFrame s;
    Frame& frame = s.frame;
    loadProgram(s);
    ProgramView* view = frame.programView();
    // Row 4 holds 0006 (MOV 30H,A): double-click its BP column.
    QCOMPARE(view->rowAddress(3), 6u);
    QFontMetrics fm(view->font());
    const QPoint bpColumn(11 * textCellWidth(view->font()) + 2, 4 * (fm.height() + fm.leading() + 8) + 3);
    QTest::mouseDClick(view, Qt::LeftButton, {}, bpColumn);
    QCOMPARE(frame.statusText(2), QString("Break if PC = 0006H"));

    frame.dispatch(id::BreakpointExecution);
    QTRY_VERIFY(!frame.runControl().running());
    QCOMPARE(frame.runControl().currentAddress(), 6);
    QCOMPARE(frame.machine().chip.acc(), 6);

    // Double-clicking the same BP column removes the breakpoint.
    QTest::mouseDClick(view, Qt::LeftButton, {}, bpColumn);
    QCOMPARE(frame.statusText(2), QString("No Breakpoint Set"));

    // A wheel notch over the rows scrolls by whole instructions.
    const uint32_t below = view->rowAddress(QApplication::wheelScrollLines());
    turnWheel(view, bpColumn, -1);
    QCOMPARE(uint32_t(view->top()), below);
    turnWheel(view, bpColumn, 1);
    QCOMPARE(view->top(), 0);

    // A free run grays the run-time commands and keeps the view buttons.
    frame.dispatch(id::Go);
    QVERIFY(frame.runControl().running());
    QVERIFY2(frame.statusText(0).startsWith("Executing from 0006H"), qPrintable(frame.statusText(0)));
    QVERIFY(!frame.menuAction(id::LoadProgram)->isEnabled());
    QVERIFY(!frame.menuAction(id::SingleStep)->isEnabled());
    QVERIFY(frame.toolbarAction(id::StopExecution)->isEnabled());
    QVERIFY(frame.toolbarAction(id::ProgramWindow)->isEnabled());

    // Let the run get going, looking at the machine only under the pause guard.
    QTRY_VERIFY([&] {
        auto guard = frame.runControl().pause();
        return frame.machine().chip.pc == 8;
    }());
    frame.dispatch(id::StopExecution);
    QVERIFY(!frame.runControl().running());
    QCOMPARE(frame.runControl().currentAddress(), 8); // the SJMP $ loop
    QVERIFY(frame.menuAction(id::SingleStep)->isEnabled());
    QVERIFY(!frame.menuAction(id::SpiWindow)->isEnabled()); // stays grayed
}

// Row 1 (MOV A,#05, two bytes): a three-byte instruction is refused, then a
// one-byte one is stored with a NOP after it.
void FrameTest::editInstructionRules() {
    StartedFrame s;
    loadProgram(s);
    QStringList typed = {"LJMP 1234", "INC A"}, labels;
    ModalAnswerer answer([&](QDialog* d) {
        if (d->objectName() != "IDM_GETMNEMONIC" || typed.isEmpty()) return false;
        labels << d->findChild<QLabel*>("addressLabel")->text();
        d->findChild<QLineEdit*>("line")->setText(typed.takeFirst());
        d->findChild<QPushButton*>("store")->click();
        return true;
    });
    s.frame.programView()->editInstruction(1);
    QCOMPARE(labels, QStringList({"0000:", "0000:"}));
    QCOMPARE(s.messages.shown.size(), size_t(2));
    QCOMPARE(QString::fromStdString(s.messages.shown[0].text),
             QString("1/2 byte instruction cannot be changed to 3 byte instruction"));
    QCOMPARE(s.chip().readCode(0), 0x04);
    QCOMPARE(s.chip().readCode(1), 0x00);
    QCOMPARE(s.chip().readCode(2), 0x12); // the LCALL after it is untouched
}

// A bad file is reported (the loader's messages are the file suite's
// business), a cancelled prompt ignored; nothing is loaded.
void FrameTest::loadErrorsAreReported() {
    StartedFrame s;
    const QString path = dir_.filePath("bad.hex");
    QVERIFY(writeFile(path, "this is not hex\r\n"));
    s.messages.fileAnswers.push_back(path);
    s.frame.dispatch(id::LoadProgram);
    QVERIFY(s.messages.shown.size() >= 2);
    QVERIFY(QString::fromStdString(s.messages.shown[0].text).startsWith("Invalid HEX file, line 1:"));
    QCOMPARE(lastMessage(s), QString("File Loading Stopped"));

    s.messages.shown.clear();
    s.frame.dispatch(id::LoadProgram);
    QVERIFY(s.messages.shown.empty());
    QCOMPARE(s.chip().readCode(0), 0xFF);
}

void FrameTest::fillCopySaveAndReload() {
    StartedFrame s;
    ChipState& chip = s.chip();
    // Program Memory Fill 0100-010F with 5A, then Move 0100-010F to 0108.
    {
        auto a = answerFields("IDM_PROGRAMMEMORYFILL", {{"start", "0100"}, {"end", "010F"}, {"fill", "5A"}});
        s.frame.dispatch(id::ProgramFill);
    }
    QCOMPARE(lastMessage(s), QString("Fill Operation Completed Successfully."));
    QCOMPARE(chip.readCode(0x010F), 0x5A);
    QCOMPARE(chip.readCode(0x0110), 0xFF);
    chip.writeCode(0x0100, 0x01);
    {
        auto a = answerFields("IDM_PROGRAMMEMORYMOVE", {{"start", "0100"}, {"end", "010F"}, {"destination", "0108"}});
        s.frame.dispatch(id::ProgramCopy);
    }
    QCOMPARE(chip.readCode(0x0108), 0x01); // overlap-safe: the first byte moved intact
    QCOMPARE(chip.readCode(0x0117), 0x5A);

    // Save 0100-0117 as HEX, clear program memory, load the file back.
    const QString path = dir_.filePath("saved.hex");
    s.messages.fileAnswers.push_back(path);
    {
        auto a = answerFields("IDM_SAVEMEMORY", {{"start", "0100"}, {"end", "0117"}}, "save");
        s.frame.dispatch(id::SaveMemory);
    }
    QVERIFY(readFile(path).startsWith(":10010000"));
    QCOMPARE(s.messages.suffixes.last(), QString("hex")); // a bare name gets ".hex"
    s.frame.dispatch(id::ProgramClear);
    QCOMPARE(chip.readCode(0x0108), 0xFF);
    s.loadProgram(path);
    QCOMPARE(chip.readCode(0x0108), 0x01);
    QCOMPARE(chip.readCode(0x0117), 0x5A);
    QCOMPARE(chip.readCode(0x0118), 0xFF);
}

// simulator.dat brings back the device, the frequency, the step count and
// the breakpoint (its register kept across a change of device), quorvel.ini
// the run speed and the last program. The first start shows where to begin
// with every input line unconnected; a restart over an empty program memory
// offers the last program or starts clean; a cancelled device dialog leaves
// the file as it was.
void FrameTest::configurationSurvivesARestart() {
    const QString config = dir_.filePath("cfg/simulator.dat");
    {
        StartedFrame first("Atmel 89C52", 0, config, dir_.path());
        Frame& frame = first.frame;
        QVERIFY(frame.programView());
        QVERIFY2(frame.statusText(0).contains("Load Program"), qPrintable(frame.statusText(0)));
        frame.resize(1100, 640);
        QVERIFY(saveScreenshot(&frame, "first_start.png"));
        QCOMPARE(frame.runSpeed(), kRealTimePercent);
        auto* io = first.open<View>(id::IoWindow);
        const auto lines = io->findChildren<QComboBox*>(QRegularExpression("^inputP"));
        QCOMPARE(lines.size(), 32);
        for (QComboBox* line : lines) QCOMPARE(line->currentText(), QString("NC"));
        loadProgram(first);
        frame.runControl().numberOfSteps = 7;
        frame.runControl().breakpoint = {BreakpointType::Register, 0, 0x0005, 13, 0}; // PC
        ModalAnswerer speed([](QDialog* d) {
            if (d->objectName() != "IDD_EXECUTE_SETTING") return false;
            auto* list = child<QComboBox>(d, "runSpeed");
            list->setCurrentIndex(list->findText("Full Speed"));
            child<QPushButton>(d, "ok")->click();
            return true;
        });
        frame.dispatch(id::RunSetting);
        QCOMPARE(frame.runSpeed(), uint16_t(0));
        QCOMPARE(frame.findChild<QComboBox*>("runSpeed")->currentText(), QString("Full Speed"));
        frame.close();
    }
    auto restart = [&](RecordedMessages& messages, Frame& frame) {
        LoadDetailsAnswerer details;
        onNextModal([](QDialog* dialog) {
            auto* combo = child<QComboBox>(dialog, "device");
            combo->setCurrentIndex(combo->findText("Atmel 89S8252"));
            child<QLineEdit>(dialog, "frequency")->setText("11059200");
            child<QPushButton>(dialog, "ok")->click();
        });
        return frame.startUp() && messages.shown.size() == 1 &&
               messages.shown.front().text.starts_with("Load the last program again?");
    };
    {
        RecordedMessages messages;
        messages.answers = {Messages::Answer::Yes};
        Frame second(messages, config, dir_.path());
        QVERIFY(restart(messages, second));
        QCOMPARE(second.machine().chip.readCode(0), uint8_t(0x74));
        QCOMPARE(second.runControl().numberOfSteps, uint16_t(7));
        QCOMPARE(second.statusText(2), QString("Break if PC = 0005H"));
        QCOMPARE(second.runSpeed(), uint16_t(0));
        second.close();
    }
    {
        RecordedMessages messages; // No: a clean start
        Frame third(messages, config, dir_.path());
        QVERIFY(restart(messages, third));
        QCOMPARE(third.machine().chip.readCode(0), uint8_t(0xFF));
        QCOMPARE(third.statusText(2), QString("No Breakpoint Set"));
        QCOMPARE(third.runControl().currentAddress(), uint16_t(0));
        third.close();
    }
    const QByteArray before = readFile(config);
    QVERIFY(!before.isEmpty());
    {
        RecordedMessages messages;
        Frame fourth(messages, config, dir_.path());
        onNextModal([](QDialog* dialog) { child<QPushButton>(dialog, "exit")->click(); });
        QVERIFY(!fourth.startUp());
        fourth.close();
    }
    QCOMPARE(readFile(config), before);
}

// Go runs in real time by default: simulated time never gets ahead of the
// wall clock, and the run shows it in the status bar. Esc stops it (the key
// is in the menu). A second breakpoint says it replaced the first; Reset CPU
// clears the machine cycles.
void FrameTest::realTimeRunsStopKeyAndOneBreakpoint() {
    StartedFrame s; // 12 MHz: one machine cycle per microsecond
    Frame& frame = s.frame;
    s.writeCode(0, {0x80, 0xFE}); // SJMP $
    QElapsedTimer wall;
    wall.start();
    frame.dispatch(id::Go);
    QTest::qWait(300);
    QVERIFY(frame.statusText(0).startsWith("Executing from 0000H"));
    QVERIFY(frame.menuAction(id::StopExecution)->text().endsWith("\tEsc"));
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_Escape);
    QVERIFY(!frame.runControl().running());
    const uint64_t cycles = s.chip().cycleCount();
    QVERIFY2(cycles > 0 && cycles <= uint64_t(wall.nsecsElapsed() / 1000) + 2048,
             qPrintable(QString::number(cycles)));
    frame.dispatch(id::ResetCpu);
    QCOMPARE(s.chip().cycleCount(), uint64_t(0));

    const auto setBreakpoint = [&](const char* address) {
        ModalAnswerer answer([address](QDialog* d) {
            if (d->objectName() != "IDM_BREAKPOINTSETTING") return false;
            child<QRadioButton>(d, "type1")->click();
            child<QLineEdit>(d, "address")->setText(address);
            child<QLineEdit>(d, "data")->setText("01");
            child<QPushButton>(d, "ok")->click();
            return true;
        });
        frame.dispatch(id::BreakpointSetting);
    };
    setBreakpoint("30");
    QVERIFY(!frame.statusText(0).contains("replaced"));
    setBreakpoint("31");
    QCOMPARE(frame.statusText(2), QString("Break if Int Mem (31H) = 01H"));
    QVERIFY2(frame.statusText(0).contains("replaced \"Break if Int Mem (30H) = 01H\""),
             qPrintable(frame.statusText(0)));
}

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
