// Time travel in the main window: steps, a memory edit and a run on the
// simulation thread are recorded; the reverse commands, the history bar and
// Last Write bring the machine and the windows to the moments asked for; a
// step from the past discards the future; History Setting turns recording
// off. What reaches the machine from a settings dialog, Load Data or the
// serial window's terminal is logged, not a new start of the history. A
// recording file opens at its end with its history; one that is damaged is
// refused and the session stays. With QUORVEL_SCREENSHOT_DIR set,
// time_travel.png is saved.
#include "debug/history.h"
#include "debug/recording_file.h"
#include "machine/executor.h"
#include "machine/snapshot.h"
#include "shell/views/logic_analyser_view.h"
#include "shell/modules/serial_window.h"
#include "shell/views/memory_view.h"
#include "shell/wave_capture.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

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
    void changesFromOutsideAreLoggedNotRestarted();
    void recordingOpensAtItsEndAndADamagedOneIsRefused();
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

// Each change is made at a step between others; the history keeps its
// start, logs the change at that step, and stepping back over it and to the
// end again gives the states (machine hashes) seen going forward.
void TimeTravelTest::changesFromOutsideAreLoggedNotRestarted() {
    QTemporaryDir dir;
    StartedFrame started("Atmel 89C52", 1);
    Frame& frame = started.frame;
    // MOV SCON,#50H (mode 1, receiver on); MOV A,#01; loop: INC A; MOV 30H,A; SJMP loop.
    started.writeCode(0, {0x75, 0x98, 0x50, 0x74, 0x01, 0x04, 0xF5, 0x30, 0x80, 0xFB});
    frame.dispatch(id::ResetCpu);
    // ABH into external data 0100H.
    const QString data = dir.filePath("data.hex");
    QVERIFY(writeFile(data, ":01010000AB53\n:00000001FF\n"));
    auto* serial = started.open<SerialWindow>(id::SerialWindow);
    serial->ptySwitch()->click();
    const int terminal = ::open(QFile::encodeName(serial->ptyPathField()->text()).constData(),
                                O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(terminal >= 0);

    auto hash = [&frame] { return machineHash(frame.machine()); };
    const struct {
        const char* change;
        std::function<void()> make;
        MachineInput::Kind logged;
    } rows[] = {
        {"LCD Module Setting: another size",
         [&] {
             onNextModal([](QDialog* dialog) {
                 auto* size = child<QComboBox>(dialog, "size");
                 size->setCurrentIndex((size->currentIndex() + 1) % size->count());
                 child<QPushButton>(dialog, "ok")->click();
             });
             frame.dispatch(id::LcdSetting);
         },
         MachineInput::Kind::ModuleSettings},
        {"Load Data",
         [&] {
             LoadDetailsAnswerer details;
             started.messages.fileAnswers.push_back(data);
             frame.dispatch(id::LoadData);
         },
         MachineInput::Kind::Machine},
        {"a byte typed at the terminal",
         [&] {
             const size_t before = history(frame).inputs().size();
             QCOMPARE(::write(terminal, "Z", 1), ssize_t(1));
             QTRY_VERIFY(history(frame).inputs().size() > before);
         },
         MachineInput::Kind::SerialByte},
    };
    for (const auto& row : rows) {
        frame.dispatch(id::SingleStep);
        const uint64_t beforeHash = hash();
        frame.dispatch(id::SingleStep);
        const uint64_t at = history(frame).now(), atHash = hash();
        row.make();
        const uint64_t changedHash = hash();
        QVERIFY2(changedHash != atHash, row.change);
        QVERIFY2(history(frame).moments().front().step == 0, row.change);
        const LoggedInput& logged = history(frame).inputs().back();
        QVERIFY2(logged.step == at && logged.input.kind == row.logged, row.change);
        frame.dispatch(id::SingleStep);
        frame.dispatch(id::SingleStep);
        const uint64_t endHash = hash();
        const uint64_t end = history(frame).end();
        for (int i = 0; i < 2; ++i) frame.dispatch(id::StepBack);
        QVERIFY2(history(frame).now() == at && hash() == changedHash, row.change);
        frame.dispatch(id::StepBack);
        QVERIFY2(history(frame).now() == at - 1 && hash() == beforeHash, row.change);
        auto* slider = child<QSlider>(&frame, "historySlider");
        slider->setValue(slider->maximum());
        QVERIFY2(history(frame).now() == end && hash() == endHash, row.change);
    }
    QCOMPARE(started.chip().readXdata(0x0100), uint8_t(0xAB));
    ::close(terminal);
}

void TimeTravelTest::recordingOpensAtItsEndAndADamagedOneIsRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("run.qrec");
    MachineSnapshot recorded;
    {
        // Recorded by the core as quorvel-cli --record records: 20
        // instructions on the board a frame starts with, 55H typed into 40H
        // after 10.
        StartedFrame board;
        writeCountingLoop(board);
        Machine m = takeSnapshot(board.frame.machine()).machine;
        DebugSession session(m);
        session.setRecording(true);
        RunLimits ten;
        ten.maxSteps = 10;
        session.run(ten);
        QVERIFY(!session.input({.place = {AddressSpace::InternalRam, 0x40}, .bytes = {0x55}}));
        session.run(ten);
        recorded = takeSnapshot(m);
        QVERIFY(!saveRecordingFile(path.toStdString(), *session.history(),
                                   {m.chip.cycleCount(), machineHash(m), DebugStop::StepLimit}));
    }
    // The machine as recorded; the current-instruction address is the
    // window's own (where the next step starts: the program counter).
    const auto asRecorded = [&](const Machine& m) {
        MachineSnapshot now = takeSnapshot(m);
        now.machine.chip.side.instructionAddress = recorded.machine.chip.side.instructionAddress;
        return snapshotDifference(now, recorded);
    };
    // Opened in another, on another program.
    StartedFrame started;
    Frame& frame = started.frame;
    started.writeCode(0, {0x80, 0xFE}); // SJMP $
    frame.waveCapture().setSwitchedOn(true); // a logic analyser trace of it
    frame.dispatch(id::SingleStep);
    const uint64_t traces = frame.waveCapture().clears();
    auto* memory = started.open<MemoryView>(id::InternalMemoryWindow);
    started.messages.fileAnswers.push_back(path);
    frame.dispatch(id::OpenRecording);
    QCOMPARE(asRecorded(frame.machine()), std::string());
    QVERIFY(frame.waveCapture().clears() > traces); // that trace is gone
    QCOMPARE(history(frame).end() - history(frame).moments().front().step, uint64_t(20));
    QCOMPARE(frame.runControl().currentAddress(), started.chip().pc);
    QCOMPARE(frame.statusText(3), QString("M/C:%1").arg(recorded.machine.chip.cycleCount()));
    const int hex = memory->layout().hexColumn;
    QCOMPARE(memory->rowText(4).mid(hex, 2), QString("55"));
    QVERIFY(frame.menuAction(id::StepBack)->isEnabled());
    for (int i = 0; i < 10; ++i) frame.dispatch(id::StepBack);
    QCOMPARE(started.chip().iram[0x40], uint8_t(0x55));
    frame.dispatch(id::StepBack);
    QCOMPARE(started.chip().iram[0x40], uint8_t(0x00));
    QCOMPARE(memory->rowText(4).mid(hex, 2), QString("00"));

    // At a cycle given: the last instruction boundary at or before it.
    QVERIFY(frame.openRecording(path, 5));
    QVERIFY(started.chip().cycleCount() <= 5 && history(frame).inPast());

    // Damaged: refused with the reason, and the session as it was.
    QByteArray bytes = readFile(path);
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x10);
    QVERIFY(writeFile(dir.filePath("bad.qrec"), bytes));
    QVERIFY(writeFile(dir.filePath("program.hex"), ":0100000000FF\n"));
    const uint64_t kept = machineHash(frame.machine()), now = history(frame).now();
    for (const char* name : {"bad.qrec", "program.hex", "missing.qrec"}) {
        started.messages.fileAnswers.push_back(dir.filePath(name));
        frame.dispatch(id::OpenRecording);
        const UserMessage& said = started.messages.shown.back();
        QVERIFY2(said.title == "Open Recording" && said.text.find(name) != std::string::npos, said.text.c_str());
        QVERIFY2(machineHash(frame.machine()) == kept && history(frame).now() == now, name);
    }
    QVERIFY2(started.messages.shown.back().text.find("cannot be read") != std::string::npos,
             started.messages.shown.back().text.c_str());
}

QTEST_MAIN(TimeTravelTest)
#include "time_travel_test.moc"
