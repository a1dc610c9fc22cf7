// Details of the frame a new user runs into: Alt keys of dialog labels, the
// keys shown in the menus, the help window inside the frame, the status line
// after a menu, the first right-click after a dialog, the listing at the top
// of program memory, a cancelled binary load, the maximised start, our icons
// and a cycle counter that does not wrap.
#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/memory_dialogs.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/toolbar_icons.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

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
    void init();
    void cleanup();
    void dialogLabelsMoveTheFocusWithAlt();
    void menusShowTheirKeys();
    void startsMaximisedWithOurIcons();
    void helpAndViewsOpenInsideTheFrame();
    void windowMenuTilesAndLinesUpMinimisedWindows();
    void statusSaysReadyWhenAMenuCloses();
    void firstRightClickAfterADialogOpensTheMenu();
    void listingAtTheTopOfProgramMemoryFillsThePage();
    void cancelledBinaryLoadIsQuiet();
    void cycleCounterGoesPast32Bits();

private:
    void startFrame(const char* device = "Atmel 89C52");

    QTemporaryDir dir_;
    std::unique_ptr<RecordedMessages> messages_;
    std::unique_ptr<Frame> frame_;
};

void FrameDetailsTest::init() {
    QDir(dir_.path()).mkpath("help");
    std::ofstream(QDir(dir_.path()).filePath("help/index.html").toStdString()) << "<p>Help</p>";
    messages_ = std::make_unique<RecordedMessages>();
    frame_ = std::make_unique<Frame>(*messages_, QString(), dir_.path());
    frame_->show();
}

void FrameDetailsTest::cleanup() {
    frame_.reset();
    messages_.reset();
}

void FrameDetailsTest::startFrame(const char* device) {
    onNextModal([device](QDialog* dialog) {
        auto* combo = child<QComboBox>(dialog, "device");
        combo->setCurrentIndex(combo->findText(device));
        child<QPushButton>(dialog, "ok")->click();
    });
    QVERIFY(frame_->startUp());
}

void FrameDetailsTest::dialogLabelsMoveTheFocusWithAlt() {
    SaveMemoryDialog save(SaveSettings{});
    BlockDialog copy(BlockCommand::CopyExternal, BlockValues{}, *messages_);
    BlockDialog move(BlockCommand::MoveProgram, BlockValues{}, *messages_);
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

void FrameDetailsTest::menusShowTheirKeys() {
    int withKeys = 0;
    for (const CommandInfo& info : commandTable()) {
        const QString text = QString::fromLatin1(info.menuText);
        if (!text.contains('\t')) continue;
        ++withKeys;
        QCOMPARE(frame_->menuAction(info.id)->text().section('\t', 1), text.section('\t', 1));
    }
    QVERIFY(withKeys > 10);
}

void FrameDetailsTest::startsMaximisedWithOurIcons() {
    startFrame();
    QVERIFY(frame_->isMaximized());
    QVERIFY(sameIcon(frame_->windowIcon(), applicationIcon()));
    frame_->dispatch(id::ProgramWindow);
    QVERIFY(sameIcon(frame_->mdiArea()->subWindowList().first()->windowIcon(), applicationIcon()));
    bool aboutHasIcon = false;
    onNextModal([&](QDialog* about) {
        aboutHasIcon = sameIcon(about->windowIcon(), applicationIcon());
        about->reject();
    });
    frame_->dispatch(id::About);
    QVERIFY(aboutHasIcon);
}

void FrameDetailsTest::helpAndViewsOpenInsideTheFrame() {
    startFrame();
    frame_->showNormal();
    frame_->resize(520, 400);
    QCoreApplication::processEvents();
    const QRect area(QPoint(0, 0), frame_->mdiArea()->viewport()->size());
    frame_->dispatch(id::ProgramWindow);
    frame_->dispatch(id::HelpTopics);
    QCOMPARE(frame_->mdiArea()->subWindowList().size(), 2);
    for (QMdiSubWindow* window : frame_->mdiArea()->subWindowList())
        QVERIFY2(area.contains(window->geometry()), qPrintable(window->windowTitle()));
}

// Tile Horizontally stacks the windows across the whole width, Tile
// Vertically puts them side by side over the whole height, both above the
// row of minimised windows; Arrange Icons lines the minimised ones up along
// the bottom.
void FrameDetailsTest::windowMenuTilesAndLinesUpMinimisedWindows() {
    startFrame();
    frame_->showNormal();
    frame_->resize(900, 600);
    QCoreApplication::processEvents();
    for (int view : {id::ProgramWindow, id::RegisterWindow, id::InternalMemoryWindow, id::SfrBitWindow})
        frame_->dispatch(view);
    QMdiArea* mdi = frame_->mdiArea();
    QMdiSubWindow* minimised = mdi->subWindowList().back();
    minimised->showMinimized();
    minimised->move(200, 40);
    QCoreApplication::processEvents();
    const QSize area = mdi->viewport()->size();
    const int free = area.height() - minimised->height();
    QList<QMdiSubWindow*> shown = mdi->subWindowList();
    shown.removeOne(minimised);

    frame_->dispatch(id::TileHorizontally);
    for (int i = 0; i < shown.size(); ++i) {
        const QRect g = shown[i]->geometry();
        QCOMPARE(g.left(), 0);
        QCOMPARE(g.width(), area.width());
        QCOMPARE(g.top(), free * i / 3);
        QVERIFY(g.bottom() < free);
    }
    frame_->dispatch(id::TileVertically);
    for (int i = 0; i < shown.size(); ++i) {
        const QRect g = shown[i]->geometry();
        QCOMPARE(g.top(), 0);
        QCOMPARE(g.height(), free);
        QCOMPARE(g.left(), area.width() * i / 3);
    }
    frame_->dispatch(id::ArrangeIcons);
    QCOMPARE(minimised->geometry().topLeft(), QPoint(0, area.height() - minimised->height()));
}

void FrameDetailsTest::statusSaysReadyWhenAMenuCloses() {
    startFrame();
    QAction* save = frame_->menuAction(id::SaveMemory);
    QMenu* file = nullptr;
    for (QMenu* menu : frame_->findChildren<QMenu*>())
        if (menu->actions().contains(save)) file = menu;
    QVERIFY(file);
    file->popup(QPoint(10, 10));
    save->hover();
    QVERIFY(frame_->statusText(0) != "Ready");
    file->hide();
    QCOMPARE(frame_->statusText(0), QString("Ready"));
}

void FrameDetailsTest::firstRightClickAfterADialogOpensTheMenu() {
    startFrame();
    frame_->dispatch(id::ProgramWindow);
    ProgramView* view = frame_->programView();
    // A dialog comes and goes; the frame is not active again yet when the
    // click comes.
    onNextModal([](QDialog* dialog) { dialog->reject(); });
    frame_->dispatch(id::SingleStepSetting);
    frame_->setFocus();
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
    startFrame("Atmel 89C2051"); // 2K: 0000H-07FFH, all NOP (00) but the top
    frame_->dispatch(id::ProgramWindow);
    ProgramView* view = frame_->programView();
    std::fill(frame_->machine().chip.code.begin(), frame_->machine().chip.code.end(), 0x00);
    frame_->runControl().setCurrentAddress(0x07FE);
    frame_->dispatch(id::SingleStep);
    frame_->dispatch(id::SingleStep);
    QCOMPARE(messages_->shown.back().text, std::string("PC Exceeds Maximum Program Memory"));
    // The last row shows the last instruction; none is blank.
    QCOMPARE(view->rowAddress(view->rows() - 2), 0x07FFu);
    QVERIFY(view->rows() > 4);
}

void FrameDetailsTest::cancelledBinaryLoadIsQuiet() {
    startFrame();
    const QString path = dir_.filePath("prog.bin");
    std::ofstream(path.toStdString(), std::ios::binary) << std::string("\x80\xFE", 2);
    messages_->fileAnswers.push_back(path);
    onNextModal([](QDialog* prompt) {
        QCOMPARE(prompt->objectName(), QString("IDM_GETADDRESS"));
        prompt->reject();
    });
    frame_->dispatch(id::LoadProgram);
    QVERIFY(messages_->shown.empty());
}

void FrameDetailsTest::cycleCounterGoesPast32Bits() {
    startFrame();
    frame_->machine().chip.setCycleCount(0xFFFFFFFEull);
    frame_->dispatch(id::SingleStep); // NOP: one cycle
    frame_->dispatch(id::SingleStep);
    frame_->dispatch(id::SingleStep);
    QCOMPARE(frame_->statusText(3), QString("M/C:4294967297"));
}

QTEST_MAIN(FrameDetailsTest)
#include "frame_details_test.moc"
