// The Clear View switch as a user works it: the fixed tiles on a device with
// and without external data memory, the serial and I/O windows' tiles with
// their painted titles, the menu item and toolbar button that change face,
// the commands grayed meanwhile, and Normal View bringing back the windows
// where they were. With QUORVEL_SCREENSHOT_DIR set, the pictures of both
// layouts after a few steps of a demonstration program are saved there
// (views_normal.png, views_clear.png), and of the serial and I/O tiles.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/modules/io_window.h"
#include "shell/modules/serial_window.h"
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
    void serialAndIoWindowsTakeTheirTiles();
};

void ClearViewTest::tilesWithoutExternalMemoryAndTheWayBack() {
    StartedFrame started("Atmel 89C2051");
    Frame& frame = started.frame;
    frame.dispatch(id::ProgramWindow);
    frame.showNormal();
    windowOf(frame, id::ProgramWindow)->setGeometry(10, 20, 500, 300);

    frame.dispatch(id::ClearView);
    QVERIFY(frame.isMaximized());
    const QSize client = frame.mdiArea()->viewport()->size();
    // View, its tile.
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

    frame.dispatch(id::NormalView);
    QVERIFY(!frame.isMaximized());
    QCoreApplication::processEvents();
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QCOMPARE(windowOf(frame, id::ProgramWindow)->geometry(), QRect(10, 20, 500, 300));
    QVERIFY(!(windowOf(frame, id::ProgramWindow)->windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(inAnyMenu(frame, id::ClearView) && !inAnyMenu(frame, id::NormalView));
    QVERIFY(onToolbar(frame, id::ClearView) && !onToolbar(frame, id::NormalView));
    QVERIFY(frame.menuAction(id::CloseAll)->isEnabled());
}

void ClearViewTest::withExternalMemoryTheLaterBitWindowStays() {
    StartedFrame started("Atmel 89C52", 1);
    Frame& frame = started.frame;
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
    QVERIFY(saveScreenshot(&frame, "views_normal.png"));

    frame.dispatch(id::ClearView);
    // The lower tiles reach the bottom of the MDI area (once they have
    // followed the frame's new size).
    QTRY_COMPARE(windowOf(frame, id::InternalMemoryWindow)->geometry().bottom(),
                 frame.mdiArea()->viewport()->height() - 1);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 5);
    QVERIFY(saveScreenshot(&frame, "views_clear.png"));
}

// The serial window's tile is the program's, the I/O window's the rest of
// the top right; their contents sit 10 and 15 pixels lower under a painted
// title, navy while the tile is active, grey otherwise.
void ClearViewTest::serialAndIoWindowsTakeTheirTiles() {
    const struct {
        int command;
        const char* content;
        int shift;
        bool right;
        const char* screenshot;
    } cases[] = {
        {id::SerialWindow, "controller", 10, false, "serial_window_clear.png"},
        {id::IoWindow, "ioScroll", 15, true, "io_window_clear.png"},
    };
    for (const auto& c : cases) {
        StartedFrame started("Atmel 89C52");
        Frame& frame = started.frame;
        const int normalTop = child<QWidget>(started.open<View>(c.command), c.content)->y();
        frame.dispatch(id::ClearView);
        View* window = started.open<View>(c.command);
        auto* tile = qobject_cast<QMdiSubWindow*>(window->parentWidget());
        const QSize client = frame.mdiArea()->viewport()->size();
        QCOMPARE(tile->geometry(), c.right ? QRect(353, 0, client.width() - 353, client.height())
                                           : QRect(0, 0, 353, 300));
        QVERIFY(tile->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(child<QWidget>(window, c.content)->y(), normalTop + c.shift);
        frame.mdiArea()->setActiveSubWindow(tile);
        QImage image = window->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 3, 3), QColor(0, 0, 128));
        QVERIFY(saveScreenshot(tile, c.screenshot));
        frame.dispatch(id::RegisterWindow);
        image = window->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 3, 3), QColor(128, 128, 128));
    }
}

QTEST_MAIN(ClearViewTest)
#include "clear_view_test.moc"
