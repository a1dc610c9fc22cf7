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

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

class ClearViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tilesWithoutExternalMemoryAndTheWayBack();
    void withExternalMemoryTheLaterBitWindowStays();
    void bothLayoutsAfterStepsOfADemoProgram();

private:
    // Starts with `device`; `dataSize` picks the external data memory size
    // button (0: none).
    void startFrame(const char* device, int dataSize);
    QMdiSubWindow* window(int command) const {
        View* view = frame_->view(command);
        return view ? qobject_cast<QMdiSubWindow*>(view->parentWidget()) : nullptr;
    }
    bool inAnyMenu(int command) const {
        for (QMenu* menu : frame_->findChildren<QMenu*>())
            if (menu->actions().contains(frame_->menuAction(command))) return true;
        return false;
    }
    bool onToolbar(int command) const {
        return frame_->findChild<QToolBar*>("toolbar")->actions().contains(frame_->toolbarAction(command));
    }

    std::unique_ptr<RecordedMessages> messages_;
    std::unique_ptr<Frame> frame_;
};

void ClearViewTest::init() {
    messages_ = std::make_unique<RecordedMessages>();
    frame_ = std::make_unique<Frame>(*messages_);
    frame_->show();
}

void ClearViewTest::cleanup() {
    frame_.reset();
    messages_.reset();
}

void ClearViewTest::startFrame(const char* device, int dataSize) {
    // The data memory dialog opens from the device dialog; the device
    // dialog's OK follows once it is answered.
    QPointer<QDialog> deviceDialog;
    ModalAnswerer answer([&](QDialog* dialog) {
        if (dialog->objectName() == "IDM_SELECTDEVICEMEMORY1") {
            child<QRadioButton>(dialog, QString("size%1").arg(dataSize).toLatin1())->setChecked(true);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            QTimer::singleShot(0, [&] { child<QPushButton>(deviceDialog, "ok")->click(); });
            return true;
        }
        if (dialog->objectName() != "IDM_SELECTDEVICE") return false;
        deviceDialog = dialog;
        auto* combo = child<QComboBox>(dialog, "device");
        combo->setCurrentIndex(combo->findText(device));
        const char* button = dataSize ? "dataMemory" : "ok";
        QTimer::singleShot(0, [dialog, button] { child<QPushButton>(dialog, button)->click(); });
        return true;
    });
    QVERIFY(frame_->startUp());
}

void ClearViewTest::tilesWithoutExternalMemoryAndTheWayBack() {
    startFrame("Atmel 89C2051", 0);
    QVERIFY(!frame_->machine().chip.hasXdata());
    frame_->dispatch(id::ProgramWindow);
    frame_->showNormal();
    window(id::ProgramWindow)->setGeometry(10, 20, 500, 300);
    QVERIFY(frame_->menuAction(id::ClearView)->isEnabled());

    frame_->dispatch(id::ClearView);
    QCOMPARE(frame_->viewMode(), ViewMode::Clear);
    QVERIFY(frame_->isMaximized());
    const QSize client = frame_->mdiArea()->viewport()->size();
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
        QMdiSubWindow* tile = window(t.command);
        QVERIFY2(tile, qPrintable(QString::number(t.command)));
        QCOMPARE(tile->geometry(), t.tile);
        QVERIFY(tile->windowFlags() & Qt::FramelessWindowHint);
    }
    QVERIFY(!window(id::ExternalMemoryWindow));
    // The program tile is the active one and takes the keys.
    QCOMPARE(frame_->mdiArea()->activeSubWindow(), window(id::ProgramWindow));
    QCOMPARE(frame_->focusWidget(), static_cast<QWidget*>(frame_->view(id::ProgramWindow)));
    // The switch changes face; arranging windows has no use meanwhile.
    QVERIFY(inAnyMenu(id::NormalView) && !inAnyMenu(id::ClearView));
    QVERIFY(onToolbar(id::NormalView) && !onToolbar(id::ClearView));
    for (int command : {id::CloseAll, id::Cascade, id::TileHorizontally})
        QVERIFY(!frame_->menuAction(command)->isEnabled());
    QVERIFY(!frame_->toolbarAction(id::CloseAll)->isEnabled());

    frame_->dispatch(id::NormalView);
    QCOMPARE(frame_->viewMode(), ViewMode::Normal);
    QVERIFY(!frame_->isMaximized());
    QCoreApplication::processEvents();
    QCOMPARE(frame_->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(window(id::ProgramWindow)->geometry(), QRect(10, 20, 500, 300));
    QVERIFY(!(window(id::ProgramWindow)->windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(inAnyMenu(id::ClearView) && !inAnyMenu(id::NormalView));
    QVERIFY(onToolbar(id::ClearView) && !onToolbar(id::NormalView));
    QVERIFY(frame_->menuAction(id::CloseAll)->isEnabled());
    QVERIFY(frame_->menuAction(id::Cascade)->isEnabled());
    // Commands this build does not have stay grayed.
    QVERIFY(!frame_->menuAction(id::LedSetting)->isEnabled());
}

void ClearViewTest::withExternalMemoryTheLaterBitWindowStays() {
    startFrame("Atmel 89C52", 1);
    QVERIFY(frame_->machine().chip.hasXdata());
    frame_->dispatch(id::ClearView);
    const QSize client = frame_->mdiArea()->viewport()->size();
    QCOMPARE(window(id::ExternalMemoryWindow)->geometry(),
             QRect(353, 300, client.width() - 353, client.height() - 300));
    QVERIFY(window(id::SfrBitWindow));
    QVERIFY(!window(id::MemoryBitWindow));

    // The memory bit status view opened later takes the place next time.
    frame_->dispatch(id::MemoryBitWindow);
    QCOMPARE(window(id::MemoryBitWindow)->geometry(), QRect(576, 0, client.width() - 576, 300));
    frame_->dispatch(id::NormalView);
    QCoreApplication::processEvents();
    QVERIFY(frame_->mdiArea()->subWindowList().isEmpty());
    frame_->dispatch(id::ClearView);
    QVERIFY(window(id::MemoryBitWindow));
    QVERIFY(!window(id::SfrBitWindow));
}

void ClearViewTest::bothLayoutsAfterStepsOfADemoProgram() {
    startFrame("Atmel 89C52", 1);
    ModalAnswerer details([](QDialog* dialog) {
        if (dialog->objectName() != "IDM_FILELOADINGDETAILS") return false;
        dialog->accept();
        return true;
    });
    messages_->fileAnswers.push_back(QUORVEL_DEMO_DIR "/Demo1.HEX");
    frame_->dispatch(id::LoadProgram);
    frame_->showNormal();
    frame_->setGeometry(0, 0, 1000, 680);
    for (int command : {id::ProgramWindow, id::RegisterWindow, id::SfrBitWindow,
                        id::InternalMemoryWindow, id::ExternalMemoryWindow})
        frame_->dispatch(command);
    frame_->mdiArea()->tileSubWindows();
    for (int i = 0; i < 4; ++i) frame_->dispatch(id::SingleStep);
    // START: MOV SP,#40H / SETB LED / FLASH: CPL LED / ACALL DELAY250, which
    // pushed its return address.
    QCOMPARE(frame_->machine().chip.sfr(0x81), uint8_t(0x42));
    QVERIFY(frame_->runControl().currentAddress() > 0x0007);
    const QString shots = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    QCoreApplication::processEvents();
    if (!shots.isEmpty()) QVERIFY(frame_->grab().save(shots + "/views_normal.png"));

    frame_->dispatch(id::ClearView);
    QTest::qWait(20);
    // The lower tiles reach the bottom of the MDI area.
    const QSize client = frame_->mdiArea()->viewport()->size();
    QCOMPARE(window(id::InternalMemoryWindow)->geometry().bottom(), client.height() - 1);
    for (int command : {id::ProgramWindow, id::RegisterWindow, id::SfrBitWindow,
                        id::InternalMemoryWindow, id::ExternalMemoryWindow})
        QVERIFY(window(command));
    QCOMPARE(frame_->mdiArea()->subWindowList().size(), 5);
    if (!shots.isEmpty()) QVERIFY(frame_->grab().save(shots + "/views_clear.png"));
}

QTEST_MAIN(ClearViewTest)
#include "clear_view_test.moc"
