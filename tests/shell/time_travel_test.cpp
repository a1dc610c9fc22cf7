// Time travel in the main window: steps, a memory edit and a run on the
// simulation thread are recorded; the reverse commands, the history bar and
// Last Write bring the machine and the windows to the moments asked for; a
// step from the past discards the future; History Setting turns recording
// off. With QUORVEL_SCREENSHOT_DIR set, time_travel.png is saved.
#include "debug/history.h"
#include "machine/executor.h"
#include "machine/snapshot.h"
#include "shell/views/logic_analyser_view.h"
#include "shell/views/memory_view.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// MOV A,#01; loop: INC A; MOV 30H,A; SJMP loop.
void writeCountingLoop(StartedFrame& started) {
    started.writeCode(0, {0x74, 0x01, 0x04, 0xF5, 0x30, 0x80, 0xFB});
}

const History& history(Frame& frame) { return *frame.runControl().session().history(); }

} // namespace

class TimeTravelTest : public QObject {
    Q_OBJECT
private slots:
    void reverseCommandsShowRecordedMoments();
    void guiRunsRecordAndRecordingCanBeTurnedOff();
};

void TimeTravelTest::reverseCommandsShowRecordedMoments() {
    StartedFrame started;
    Frame& frame = started.frame;
    writeCountingLoop(started);
    frame.dispatch(id::ResetCpu);
    auto* memory = started.open<MemoryView>(id::InternalMemoryWindow);
    frame.dispatch(id::RegisterWindow);
    auto* analyser = started.open<LogicAnalyserView>(id::LogicAnalyserWindow);
    QVERIFY(!frame.toolbarAction(id::StepBack)->isEnabled());

    // Three steps, 55H typed into internal RAM 40H, three more steps.
    for (int i = 0; i < 3; ++i) frame.dispatch(id::SingleStep);
    memory->placeCaret(4, memory->layout().hexColumn);
    QTest::keyClicks(memory, "55");
    for (int i = 0; i < 3; ++i) frame.dispatch(id::SingleStep);
    QCOMPARE(history(frame).end(), uint64_t(6));
    QVERIFY(frame.menuAction(id::StepBack)->isEnabled());

    auto stepBack = [](Frame& f) { f.dispatch(id::StepBack); };
    auto toCycle0 = [](Frame& f) {
        onNextModal([](QDialog* dialog) {
            child<QLineEdit>(dialog, "cycle")->setText("0");
            child<QPushButton>(dialog, "ok")->click();
        });
        f.dispatch(id::GoToCycle);
    };
    auto sliderToEnd = [](Frame& f) {
        auto* slider = child<QSlider>(&f, "historySlider");
        slider->setValue(slider->maximum());
    };
    auto lastWrite30 = [memory, &started](Frame&) {
        memory->placeCaret(3, memory->layout().hexColumn);
        started.messages.answers.push_back(Messages::Answer::Yes);
        memory->command(MemoryView::kLastWrite);
    };
    auto backToWatch30 = [memory](Frame& f) {
        memory->placeCaret(3, memory->layout().hexColumn);
        memory->command(MemoryView::kBreakOnWrite);
        f.dispatch(id::RunBackwards);
    };
    struct Row {
        const char* move;
        std::function<void(Frame&)> act;
        uint64_t step;
        uint16_t pc;
        uint8_t a, ram30, ram40;
        const char* status;
    };
    const Row rows[] = {
        {"step back", stepBack, 5, 0x0003, 3, 2, 0x55, "discards the instruction recorded"},
        {"step back again", stepBack, 4, 0x0002, 2, 2, 0x55, "discards the 2 instructions"},
        {"cycle 0: before the edit", toCycle0, 0, 0x0000, 0, 0, 0x00, "discards the 6 instructions"},
        {"slider at the end", sliderToEnd, 6, 0x0005, 3, 3, 0x55, "At the end of the recorded history"},
        {"step back", stepBack, 5, 0x0003, 3, 2, 0x55, "discards the instruction recorded"},
        // The last write to 30H before step 5 is MOV 30H,A at 0003H in step
        // 3; the edit logged there belongs to that moment.
        {"last write to 30H", lastWrite30, 3, 0x0005, 2, 2, 0x55, "discards the 3 instructions"},
        {"slider at the end", sliderToEnd, 6, 0x0005, 3, 3, 0x55, "At the end of the recorded history"},
        {"run backwards to the watch on 30H", backToWatch30, 3, 0x0005, 2, 2, 0x55,
         "Ran backwards 3 instructions to a watchpoint at 0005H"},
    };
    for (const Row& row : rows) {
        row.act(frame);
        const ChipState& chip = started.chip();
        QVERIFY2(history(frame).now() == row.step, row.move);
        QVERIFY2(chip.pc == row.pc && frame.runControl().currentAddress() == row.pc, row.move);
        QVERIFY2(chip.sfr(sfr::ACC) == row.a && chip.iram[0x30] == row.ram30 && chip.iram[0x40] == row.ram40, row.move);
        // The windows show that moment: the memory window's rows, the cycles.
        const int hex = memory->layout().hexColumn;
        QVERIFY2(memory->rowText(3).mid(hex, 2) == QString::asprintf("%02X", row.ram30), row.move);
        QVERIFY2(memory->rowText(4).mid(hex, 2) == QString::asprintf("%02X", row.ram40), row.move);
        QCOMPARE(frame.statusText(3), QString("M/C:%1").arg(chip.cycleCount()));
        QCOMPARE(analyser->following(), row.step == 6);
        if (row.step < 6) QCOMPARE(analyser->cursorCycle(), std::optional<uint64_t>(chip.cycleCount()));
        QVERIFY2(frame.statusText(0).contains(row.status), qPrintable(frame.statusText(0)));
        if (row.step == 5 && row.pc == 3 && !qEnvironmentVariableIsEmpty("QUORVEL_SCREENSHOT_DIR")) {
            frame.showNormal();
            frame.resize(1280, 640);
            frame.dispatch(id::TileVertically);
            QVERIFY(saveScreenshot(&frame, "time_travel.png"));
        }
    }
    const UserMessage& said = started.messages.shown.back();
    QVERIFY2(QString::fromStdString(said.text).contains("PC 0003H, 00H -> 02H"), said.text.c_str());

    // A step from the past discards the recorded future.
    frame.dispatch(id::SingleStep);
    QCOMPARE(history(frame).end(), uint64_t(4));
    QVERIFY2(frame.statusText(0).contains("the recorded future after it was discarded"),
             qPrintable(frame.statusText(0)));
}

void TimeTravelTest::guiRunsRecordAndRecordingCanBeTurnedOff() {
    QTemporaryDir dir;
    StartedFrame started("Atmel 89C52", 0, dir.filePath("simulator.dat"));
    Frame& frame = started.frame;
    writeCountingLoop(started);
    frame.dispatch(id::ResetCpu);
    frame.setRunSpeed(0);
    const MachineSnapshot atStart = takeSnapshot(frame.machine());

    // Go runs on the simulation thread: its instructions are the history's.
    frame.dispatch(id::Go);
    QTest::qWait(30);
    frame.dispatch(id::StopExecution);
    const uint64_t ran = history(frame).now();
    QVERIFY(ran > 1000);
    frame.dispatch(id::StepBack);
    MachineSnapshot forward = atStart;
    runSteps(forward.machine, uint32_t(ran - 1));
    const ChipState& chip = started.chip();
    QCOMPARE(chip.cycleCount(), forward.machine.chip.cycleCount());
    QCOMPARE(chip.pc, forward.machine.chip.pc);

    // History Setting: off, and a budget that does not read is refused.
    bool refusedStaysOpen = false;
    ModalAnswerer answer([&](QDialog* dialog) {
        if (dialog->objectName() != "IDM_HISTORYSETTING") return false;
        child<QCheckBox>(dialog, "record")->setChecked(false);
        child<QLineEdit>(dialog, "budget")->setText("0");
        child<QPushButton>(dialog, "ok")->click();
        refusedStaysOpen = dialog->isVisible();
        child<QLineEdit>(dialog, "budget")->setText("16");
        child<QPushButton>(dialog, "ok")->click();
        return true;
    });
    frame.dispatch(id::HistorySetting);
    QVERIFY(refusedStaysOpen);
    QCOMPARE(started.messages.shown.back().text, std::string("The history budget is 1 to 4096 MB"));
    frame.dispatch(id::SingleStep);
    for (int command : {id::StepBack, id::RunBackwards, id::GoToCycle})
        QVERIFY(!frame.menuAction(command)->isEnabled());
    QVERIFY(!child<QSlider>(&frame, "historySlider")->isEnabled());
    const QSettings ini(frame.userSettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value("History/Record").toBool(), false);
    QCOMPARE(ini.value("History/BudgetMB").toInt(), 16);
}

QTEST_MAIN(TimeTravelTest)
#include "time_travel_test.moc"
