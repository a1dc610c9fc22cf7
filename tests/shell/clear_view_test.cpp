// The Clear View switch as a user works it: the fixed tiles on a device with
// and without external data memory, the menu item and toolbar button that
// change face, the commands grayed meanwhile, and Normal View bringing back
// the windows where they were. With QUORVEL_SCREENSHOT_DIR set, the pictures
// of both layouts after a few steps of a demonstration program are saved
// there (views_normal.png, views_clear.png).
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell_test_support.h"

#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

bool inAnyMenu(Frame& frame, int command) {
    for (QMenu* menu : frame.findChildren<QMenu*>())
        if (menu->actions().contains(frame.menuAction(command))) return true;
    return false;
}

bool onToolbar(Frame& frame, int command) {
    return frame.findChild<QToolBar*>("toolbar")->actions().contains(frame.toolbarAction(command));
}

} // namespace

class ClearViewTest : public QObject {
    Q_OBJECT
private slots:
    void tilesWithoutExternalMemoryAndTheWayBack();
    void withExternalMemoryTheLaterBitWindowStays();
    void bothLayoutsAfterStepsOfADemoProgram();
};

void ClearViewTest::tilesWithoutExternalMemoryAndTheWayBack() {
    StartedFrame started("Atmel 89C2051");
    Frame& frame = started.frame;
    QVERIFY(!frame.machine().chip.hasXdata());
    frame.dispatch(id::ProgramWindow);
    frame.showNormal();
    windowOf(frame, id::ProgramWindow)->setGeometry(10, 20, 500, 300);
    QVERIFY(frame.menuAction(id::ClearView)->isEnabled());

    frame.dispatch(id::ClearView);
    QCOMPARE(frame.viewMode(), ViewMode::Clear);
    QVERIFY(frame.isMaximized());
    const QSize client = frame.mdiArea()->viewport()->size();
    // View, its tile (x, y, width, height; -1: to the client's edge).
    const struct {
        int command;
        QRect tile;
    } tiles[] = {
        {id::ProgramWindow, {0, 0, 353, 300}},
        {id::RegisterWindow, {353, 0, 223, 300}},
        {id::SfrBitWindow, {576, 0, client.width() - 576, 300}},
        {id::MemoryBitWindow, {353, 300, client.width() - 353, client.height() - 300}},
        {id::InternalMemoryWindow, {0, 300, 353, client.height() - 300}},
    };
    for (const auto& t : tiles) {
        QMdiSubWindow* tile = windowOf(frame, t.command);
        QVERIFY2(tile, qPrintable(QString::number(t.command)));
        QCOMPARE(tile->geometry(), t.tile);
        QVERIFY(tile->windowFlags() & Qt::FramelessWindowHint);
    }
    QVERIFY(!windowOf(frame, id::ExternalMemoryWindow));
    // The program tile is the active one and takes the keys.
    QCOMPARE(frame.mdiArea()->activeSubWindow(), windowOf(frame, id::ProgramWindow));
    QCOMPARE(frame.focusWidget(), static_cast<QWidget*>(frame.view(id::ProgramWindow)));
    // The switch changes face; arranging windows has no use meanwhile.
    QVERIFY(inAnyMenu(frame, id::NormalView) && !inAnyMenu(frame, id::ClearView));
    QVERIFY(onToolbar(frame, id::NormalView) && !onToolbar(frame, id::ClearView));
    for (int command : {id::CloseAll, id::Cascade, id::TileHorizontally})
        QVERIFY(!frame.menuAction(command)->isEnabled());
    QVERIFY(!frame.toolbarAction(id::CloseAll)->isEnabled());

    frame.dispatch(id::NormalView);
    QCOMPARE(frame.viewMode(), ViewMode::Normal);
    QVERIFY(!frame.isMaximized());
    QCoreApplication::processEvents();
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QCOMPARE(windowOf(frame, id::ProgramWindow)->geometry(), QRect(10, 20, 500, 300));
    QVERIFY(!(windowOf(frame, id::ProgramWindow)->windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(inAnyMenu(frame, id::ClearView) && !inAnyMenu(frame, id::NormalView));
    QVERIFY(onToolbar(frame, id::ClearView) && !onToolbar(frame, id::NormalView));
    QVERIFY(frame.menuAction(id::CloseAll)->isEnabled());
    QVERIFY(frame.menuAction(id::Cascade)->isEnabled());
    // Commands this build does not have stay grayed; the built ones do not.
    QVERIFY(!frame.menuAction(id::Find)->isEnabled());
    QVERIFY(frame.menuAction(id::LedSetting)->isEnabled());
}

void ClearViewTest::withExternalMemoryTheLaterBitWindowStays() {
    StartedFrame started("Atmel 89C52", 1);
    Frame& frame = started.frame;
    QVERIFY(frame.machine().chip.hasXdata());
    frame.dispatch(id::ClearView);
    const QSize client = frame.mdiArea()->viewport()->size();
    QCOMPARE(windowOf(frame, id::ExternalMemoryWindow)->geometry(),
             QRect(353, 300, client.width() - 353, client.height() - 300));
    QVERIFY(windowOf(frame, id::SfrBitWindow));
    QVERIFY(!windowOf(frame, id::MemoryBitWindow));

    // The memory bit status view opened later takes the place next time.
    frame.dispatch(id::MemoryBitWindow);
    QCOMPARE(windowOf(frame, id::MemoryBitWindow)->geometry(), QRect(576, 0, client.width() - 576, 300));
    frame.dispatch(id::NormalView);
    QCoreApplication::processEvents();
    QVERIFY(frame.mdiArea()->subWindowList().isEmpty());
    frame.dispatch(id::ClearView);
    QVERIFY(windowOf(frame, id::MemoryBitWindow));
    QVERIFY(!windowOf(frame, id::SfrBitWindow));
}

void ClearViewTest::bothLayoutsAfterStepsOfADemoProgram() {
    StartedFrame started("Atmel 89C52", 1);
    Frame& frame = started.frame;
    started.loadDemo("Demo1", false);
    frame.showNormal();
    frame.setGeometry(0, 0, 1000, 680);
    for (int command : {id::ProgramWindow, id::RegisterWindow, id::SfrBitWindow,
                        id::InternalMemoryWindow, id::ExternalMemoryWindow})
        frame.dispatch(command);
    frame.mdiArea()->tileSubWindows();
    for (int i = 0; i < 4; ++i) frame.dispatch(id::SingleStep);
    // START: MOV SP,#40H / SETB LED / FLASH: CPL LED / ACALL DELAY250, which
    // pushed its return address.
    QCOMPARE(frame.machine().chip.sfr(0x81), uint8_t(0x42));
    QVERIFY(frame.runControl().currentAddress() > 0x0007);
    const QString shots = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    QCoreApplication::processEvents();
    if (!shots.isEmpty()) QVERIFY(frame.grab().save(shots + "/views_normal.png"));

    frame.dispatch(id::ClearView);
    // The lower tiles reach the bottom of the MDI area (once they have
    // followed the frame's new size).
    QTRY_COMPARE(windowOf(frame, id::InternalMemoryWindow)->geometry().bottom(),
                 frame.mdiArea()->viewport()->height() - 1);
    for (int command : {id::ProgramWindow, id::RegisterWindow, id::SfrBitWindow,
                        id::InternalMemoryWindow, id::ExternalMemoryWindow})
        QVERIFY(windowOf(frame, command));
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 5);
    if (!shots.isEmpty()) QVERIFY(frame.grab().save(shots + "/views_clear.png"));
}

QTEST_MAIN(ClearViewTest)
#include "clear_view_test.moc"
