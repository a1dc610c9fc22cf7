// Details of the frame a new user runs into: the start-up device dialog and
// the two memory dialogs, Alt keys of dialog labels, the help window inside
// the frame, the Window menu's tiling, the status line after a menu, the
// first right-click after a dialog, the listing at the top of program
// memory, a cancelled binary load, the maximised start, our icons, a
// cycle counter that does not wrap and the debugger's port switch (a port
// in use refused; a client hears of the window's runs).
#include "shell/debugger_port.h"
#include "shell/device_dialogs.h"
#include "shell/frame.h"
#include "shell/memory_dialogs.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/toolbar_icons.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <fstream>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

bool sameIcon(const QIcon& a, const QIcon& b) {
    return !a.isNull() && a.pixmap(16).toImage() == b.pixmap(16).toImage();
}

} // namespace

class FrameDetailsTest : public QObject {
    Q_OBJECT
private slots:
    void frequencyAboveTheMaximumIsRefusedThenAccepted();
    void exitEndsStartUp();
    void memoryButtonsFollowTheDevice();
    void programMemoryDialogForcesExternalOn8031();
    void dataMemoryCancelKeepsTheLimit();
    void dialogLabelsMoveTheFocusWithAlt();
    void startsMaximisedWithOurIcons();
    void helpAndViewsOpenInsideTheFrame();
    void windowMenuTilesAndLinesUpMinimisedWindows();
    void statusSaysReadyWhenAMenuCloses();
    void firstRightClickAfterADialogOpensTheMenu();
    void listingAtTheTopOfProgramMemoryFillsThePage();
    void cancelledBinaryLoadIsQuiet();
    void cycleCounterGoesPast32Bits();
    void allowDebuggerOpensAndClosesThePort();
};

void FrameDetailsTest::frequencyAboveTheMaximumIsRefusedThenAccepted() {
    RecordedMessages messages;
    Frame frame(messages);
    frame.show();
    onNextModal([&](QDialog* dialog) {
        auto* device = child<QComboBox>(dialog, "device");
        auto* frequency = child<QLineEdit>(dialog, "frequency");
        device->setCurrentIndex(device->findText("Atmel 89C52"));
        frequency->clear();
        QTest::keyClicks(frequency, "30000000");
        child<QPushButton>(dialog, "ok")->click();
        // Refused: the dialog stays open with the message shown.
        QCOMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(messages.shown[0].text, std::string("Exceeds Maximum Operating Frequency"));
        QVERIFY(dialog->isVisible());
        // The faster device takes it.
        device->setCurrentIndex(device->findText("Atmel 89C55"));
        child<QPushButton>(dialog, "ok")->click();
    });
    QVERIFY(frame.startUp());
    QCOMPARE(messages.shown.size(), size_t(1));
    QCOMPARE(frame.windowTitle(), QString("Quorvel Simulator - Simulated Device: AT89C55"));
    QCOMPARE(frame.machine().selection.frequency, 30000000u);
    QCOMPARE(int(frame.machine().chip.code.size()), 20 * 1024);
}

void FrameDetailsTest::exitEndsStartUp() {
    RecordedMessages messages;
    Frame frame(messages);
    onNextModal([](QDialog* dialog) { child<QPushButton>(dialog, "exit")->click(); });
    QVERIFY(!frame.startUp());
    QCOMPARE(frame.windowTitle(), QString("Quorvel Simulator"));
}

void FrameDetailsTest::memoryButtonsFollowTheDevice() {
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

void FrameDetailsTest::programMemoryDialogForcesExternalOn8031() {
    DeviceSelection s;
    ProgramMemoryDialog dialog(s, DeviceKind::I8031);
    auto* internal = child<QRadioButton>(&dialog, "mode0");
    auto* external = child<QRadioButton>(&dialog, "mode1");
    auto* both = child<QRadioButton>(&dialog, "mode2");
    QVERIFY(!internal->isEnabled() && !both->isEnabled());
    QVERIFY(external->isChecked());
    QVERIFY(child<QRadioButton>(&dialog, "size0")->isEnabled());

    DeviceSelection c52;
    ProgramMemoryDialog d52(c52, DeviceKind::AT89C52);
    QVERIFY(!child<QRadioButton>(&d52, "size0")->isEnabled()); // Internal Only
    child<QRadioButton>(&d52, "mode2")->click();
    child<QRadioButton>(&d52, "size3")->click();
    d52.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(d52.result(), int(QDialog::Accepted));
    QCOMPARE(d52.selection().codeLimit, uint16_t(24575));
}

void FrameDetailsTest::dataMemoryCancelKeepsTheLimit() {
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

void FrameDetailsTest::dialogLabelsMoveTheFocusWithAlt() {
    RecordedMessages messages;
    SaveMemoryDialog save(SaveSettings{});
    BlockDialog copy(BlockCommand::CopyExternal, BlockValues{}, messages);
    BlockDialog move(BlockCommand::MoveProgram, BlockValues{}, messages);
    for (QDialog* dialog : {static_cast<QDialog*>(&save), static_cast<QDialog*>(&copy),
                            static_cast<QDialog*>(&move)}) {
        for (QLabel* label : dialog->findChildren<QLabel*>())
            if (label->text().contains('&'))
                QVERIFY2(label->buddy(), qPrintable(label->text()));
    }
    save.show();
    QVERIFY(QTest::qWaitForWindowActive(&save));
    QTest::keyClick(&save, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(save.focusWidget(), child<QLineEdit>(&save, "end"));
}

void FrameDetailsTest::startsMaximisedWithOurIcons() {
    StartedFrame s;
    QVERIFY(s.frame.isMaximized());
    QVERIFY(sameIcon(s.frame.windowIcon(), applicationIcon()));
    s.frame.dispatch(id::ProgramWindow);
    QVERIFY(sameIcon(s.frame.mdiArea()->subWindowList().first()->windowIcon(), applicationIcon()));
}

void FrameDetailsTest::helpAndViewsOpenInsideTheFrame() {
    StartedFrame s;
    s.frame.showNormal();
    s.frame.resize(520, 400);
    QCoreApplication::processEvents();
    const QRect area(QPoint(0, 0), s.frame.mdiArea()->viewport()->size());
    s.frame.dispatch(id::ProgramWindow);
    s.frame.dispatch(id::HelpTopics);
    QCOMPARE(s.frame.mdiArea()->subWindowList().size(), 2);
    for (QMdiSubWindow* window : s.frame.mdiArea()->subWindowList())
        QVERIFY2(area.contains(window->geometry()), qPrintable(window->windowTitle()));
}

// Tile Horizontally stacks the windows across the whole width, Tile
// Vertically puts them side by side over the whole height, both above the
// row of minimised windows; Arrange Icons lines the minimised ones up along
// the bottom.
void FrameDetailsTest::windowMenuTilesAndLinesUpMinimisedWindows() {
    StartedFrame s;
    s.frame.showNormal();
    s.frame.resize(900, 600);
    QCoreApplication::processEvents();
    for (int view : {id::ProgramWindow, id::RegisterWindow, id::InternalMemoryWindow, id::SfrBitWindow})
        s.frame.dispatch(view);
    QMdiArea* mdi = s.frame.mdiArea();
    QMdiSubWindow* minimised = mdi->subWindowList().back();
    minimised->showMinimized();
    minimised->move(200, 40);
    QCoreApplication::processEvents();
    const QSize area = mdi->viewport()->size();
    const int free = area.height() - minimised->height();
    QList<QMdiSubWindow*> shown = mdi->subWindowList();
    shown.removeOne(minimised);

    s.frame.dispatch(id::TileHorizontally);
    for (int i = 0; i < shown.size(); ++i) {
        const QRect g = shown[i]->geometry();
        QCOMPARE(g.left(), 0);
        QCOMPARE(g.width(), area.width());
        QCOMPARE(g.top(), free * i / 3);
        QVERIFY(g.bottom() < free);
    }
    s.frame.dispatch(id::TileVertically);
    for (int i = 0; i < shown.size(); ++i) {
        const QRect g = shown[i]->geometry();
        QCOMPARE(g.top(), 0);
        QCOMPARE(g.height(), free);
        QCOMPARE(g.left(), area.width() * i / 3);
    }
    s.frame.dispatch(id::ArrangeIcons);
    QCOMPARE(minimised->geometry().topLeft(), QPoint(0, area.height() - minimised->height()));
}

void FrameDetailsTest::statusSaysReadyWhenAMenuCloses() {
    StartedFrame s;
    QAction* save = s.frame.menuAction(id::SaveMemory);
    QMenu* file = nullptr;
    for (QMenu* menu : s.frame.findChildren<QMenu*>())
        if (menu->actions().contains(save)) file = menu;
    QVERIFY(file);
    file->popup(QPoint(10, 10));
    save->hover();
    QVERIFY(s.frame.statusText(0) != "Ready");
    file->hide();
    QCOMPARE(s.frame.statusText(0), QString("Ready"));
}

void FrameDetailsTest::firstRightClickAfterADialogOpensTheMenu() {
    StartedFrame s;
    s.frame.dispatch(id::ProgramWindow);
    ProgramView* view = s.frame.programView();
    // A dialog comes and goes; the frame is not active again yet when the
    // click comes.
    onNextModal([](QDialog* dialog) { dialog->reject(); });
    s.frame.dispatch(id::SingleStepSetting);
    s.frame.setFocus();
    QString opened;
    QTimer::singleShot(50, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            opened = popup->objectName();
            popup->close();
        }
    });
    const QPoint row(40, view->fontMetrics().height() * 2 + 20);
    QTest::mousePress(view, Qt::RightButton, {}, row);
    QTest::mouseRelease(view, Qt::RightButton, {}, row);
    QCOMPARE(opened, QString("PROGRAM"));
}

void FrameDetailsTest::listingAtTheTopOfProgramMemoryFillsThePage() {
    StartedFrame s("Atmel 89C2051"); // 2K: 0000H-07FFH, all NOP (00) but the top
    s.frame.dispatch(id::ProgramWindow);
    ProgramView* view = s.frame.programView();
    std::fill(s.frame.machine().chip.code.begin(), s.frame.machine().chip.code.end(), 0x00);
    s.frame.runControl().setCurrentAddress(0x07FE);
    s.frame.dispatch(id::SingleStep);
    s.frame.dispatch(id::SingleStep);
    QCOMPARE(s.messages.shown.back().text, std::string("PC Exceeds Maximum Program Memory"));
    // The last row shows the last instruction; none is blank.
    QCOMPARE(view->rowAddress(view->rows() - 2), 0x07FFu);
    QVERIFY(view->rows() > 4);
}

void FrameDetailsTest::cancelledBinaryLoadIsQuiet() {
    StartedFrame s;
    QTemporaryDir dir;
    const QString path = dir.filePath("prog.bin");
    std::ofstream(path.toStdString(), std::ios::binary) << std::string("\x80\xFE", 2);
    s.messages.fileAnswers.push_back(path);
    onNextModal([](QDialog* prompt) {
        QCOMPARE(prompt->objectName(), QString("IDM_GETADDRESS"));
        prompt->reject();
    });
    s.frame.dispatch(id::LoadProgram);
    QVERIFY(s.messages.shown.empty());
}

void FrameDetailsTest::cycleCounterGoesPast32Bits() {
    StartedFrame s;
    s.frame.machine().chip.setCycleCount(0xFFFFFFFEull);
    s.frame.dispatch(id::SingleStep); // NOP: one cycle
    s.frame.dispatch(id::SingleStep);
    s.frame.dispatch(id::SingleStep);
    QCOMPARE(s.frame.statusText(3), QString("M/C:4294967297"));
}

void FrameDetailsTest::allowDebuggerOpensAndClosesThePort() {
    StartedFrame s;
    QAction* allow = s.frame.menuAction(id::AllowDebugger);
    QVERIFY(allow && allow->isCheckable() && !allow->isChecked());
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    quint16 freePort;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        freePort = probe.serverPort();
    }
    struct Row {
        quint16 port;
        bool listens;
        QString said; // in the message shown, else in the status bar
    };
    for (const Row& row : {Row{taken.serverPort(), false, "the port is in use"},
                           Row{freePort, true, QString("127.0.0.1:%1").arg(freePort)}}) {
        s.messages.shown.clear();
        onNextModal([&row](QDialog* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            input->setIntValue(row.port);
            input->accept();
        });
        s.frame.dispatch(id::AllowDebugger);
        DebuggerPort& port = s.frame.debuggerPort();
        QCOMPARE(port.listening(), row.listens);
        QCOMPARE(allow->isChecked(), row.listens);
        const QString said = row.listens ? s.frame.statusText(0)
                                         : QString::fromStdString(s.messages.shown.at(0).text);
        QVERIFY2(said.contains(row.said), qPrintable(said));
    }
    // Listening on the loopback interface only; a client connects.
    QCOMPARE(s.frame.debuggerPort().port(), freePort);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, freePort);
    QVERIFY(client.waitForConnected(5000));
    QTRY_VERIFY(s.frame.debuggerPort().clientAttached());
    // The client hears of the window's runs: Go is a "continued", Stop
    // Execution a "stopped" by pause.
    s.chip().code[0] = 0x80; // SJMP $
    s.chip().code[1] = 0xFE;
    dap::FrameReader reader;
    // The reason of the next event `name` the client receives ("" when none
    // comes within 5 s).
    const auto next = [&](const std::string& name) -> std::string {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            while (const std::optional<dap::Frame> frame = reader.next()) {
                const nlohmann::json message = nlohmann::json::parse(frame->body, nullptr, false);
                if (message.value("event", std::string()) == name)
                    return message["body"].value("reason", std::string("none"));
            }
            QTest::qWait(10);
            reader.feed(client.readAll().toStdString());
        }
        return {};
    };
    int seq = 0;
    for (const char* command : {"initialize", "attach", "configurationDone"})
        client.write(QByteArray::fromStdString(
            dap::frameMessage(nlohmann::json{{"seq", ++seq}, {"type", "request"}, {"command", command}}.dump())));
    QCOMPARE(next("stopped"), std::string("entry"));
    s.frame.dispatch(id::Go);
    QCOMPARE(next("continued"), std::string("none"));
    s.frame.dispatch(id::StopExecution);
    QCOMPARE(next("stopped"), std::string("pause"));
    const auto request = [&](const char* command, nlohmann::json arguments) {
        client.write(QByteArray::fromStdString(dap::frameMessage(
            nlohmann::json{{"seq", ++seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}}
                .dump())));
    };
    // A step in the window moves the program under the client: a stop.
    // 0000: NOP; NOP; A5H (the undefined opcode)
    s.chip().code[0] = 0x00;
    s.chip().code[1] = 0x00;
    s.chip().code[2] = 0xA5;
    s.frame.runControl().setCurrentAddress(0);
    s.frame.dispatch(id::SingleStep);
    QCOMPARE(next("stopped"), std::string("step"));
    // The client's exception stops hold for the window's runs.
    request("setExceptionBreakpoints", {{"filters", {"undefined-opcode"}}});
    QTRY_VERIFY(!s.frame.runControl().session().exceptionStops().empty());
    s.frame.dispatch(id::Go);
    QCOMPARE(next("stopped"), std::string("exception"));
    QCOMPARE(s.chip().pc, uint16_t(2));
    // A run of the window's Breakpoint Execution that passes the client's
    // conditional breakpoint goes on with the window's breakpoint: it
    // stops where INC 30H makes 30H = 5, before A is 10.
    // 0000: INC 30H; MOV A,30H; SJMP 0000H
    for (uint8_t i = 0; i < 6; ++i) s.chip().code[i] = std::array<uint8_t, 6>{0x05, 0x30, 0xE5, 0x30, 0x80, 0xFA}[i];
    s.chip().iram[0x30] = 0;
    request("setExceptionBreakpoints", {{"filters", nlohmann::json::array()}});
    QTRY_VERIFY(s.frame.runControl().session().exceptionStops().empty());
    request("setInstructionBreakpoints", {{"breakpoints", {{{"instructionReference", "0x0000"}, {"condition", "A == 10"}}}}});
    QTRY_COMPARE(s.frame.runControl().session().codeBreaks().size(), size_t(1));
    s.frame.runControl().setCurrentAddress(0);
    s.frame.runControl().breakpoint = {BreakpointType::InternalMemory, 0x30, 5, 0, 0};
    s.frame.dispatch(id::BreakpointExecution);
    QCOMPARE(next("stopped"), std::string("step"));
    QCOMPARE(int(s.chip().iram[0x30]), 5);
    QCOMPARE(s.chip().pc, uint16_t(2));
    // A breakpoint the client sets during a window Go that began with none
    // stops it.
    request("setInstructionBreakpoints", {{"breakpoints", nlohmann::json::array()}});
    QTRY_VERIFY(s.frame.runControl().session().codeBreaks().empty());
    s.frame.dispatch(id::Go);
    QCOMPARE(next("continued"), std::string("none"));
    request("setInstructionBreakpoints", {{"breakpoints", {{{"instructionReference", "0x0004"}}}}});
    QVERIFY(!next("stopped").empty());
    QCOMPARE(s.chip().pc, uint16_t(4));
    // Off again: the port closes and the client is let go.
    s.frame.dispatch(id::AllowDebugger);
    QVERIFY(!s.frame.debuggerPort().listening() && !allow->isChecked());
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
}

QTEST_MAIN(FrameDetailsTest)
#include "frame_details_test.moc"
