// The simulator as a desktop program: a program named on the command line
// loads after the device start-up, a HEX file dropped on the frame loads,
// the File menu lists the recent programs (kept beside simulator.dat) and
// reports and drops one whose file is gone, and the toolbar and menus show
// icons from the icon theme or drawn to scale, with their tooltips kept.
// With QUORVEL_SCREENSHOT_DIR set, the toolbar and the File menu with its
// recent programs are saved there (toolbar.png, file_menu.png).
#include "shell/command_line.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/recent_programs.h"
#include "shell/toolbar_icons.h"
#include "shell_test_support.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <QtTest>

#include <chrono>
#include <future>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

QString demo(const char* name) { return QString(QUORVEL_DEMO_DIR) + "/" + name; }
// The tests run from the build tree, where the simulator sits too.
QString buildDir() { return QCoreApplication::applicationDirPath(); }

// The first bytes of a demonstration as loaded, to tell one program from
// another in program memory.
QByteArray codeStart(Frame& frame) {
    QByteArray bytes;
    for (uint16_t a = 0; a < 16; ++a) bytes.append(char(frame.machine().chip.readCode(a)));
    return bytes;
}

QMenu* fileMenu(Frame& frame) { return frame.menuBar()->actions().front()->menu(); }

// The recent entries of the File menu as it opens: their texts, in order.
QStringList recentEntries(Frame& frame) {
    QMenu* menu = fileMenu(frame);
    emit menu->aboutToShow();
    QStringList texts;
    for (QAction* a : menu->actions())
        if (a->property("recentProgram").isValid()) texts << a->text();
    return texts;
}

QAction* recentAction(Frame& frame, int n) {
    emit fileMenu(frame)->aboutToShow();
    return fileMenu(frame)->findChild<QAction*>(QString("recentProgram%1").arg(n));
}

bool dropAccepted(Frame& frame, const QString& path, bool drop) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    if (!enter.isAccepted() || !drop) return enter.isAccepted();
    QDropEvent dropped(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &dropped);
    return dropped.isAccepted();
}

int opaquePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 96;
    return n;
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void commandLineNamesResourcesAndProgram();
    void commandLineProgramLoadsAndIsRemembered();
    void droppedProgramLoadsButNotDuringARun();
    void recentListKeepsFourNewestAndDropsAMissingFile();
    void recentListLeavesASettingsFileThatIsNoFileAlone();
    void toolbarAndMenusShowScalableIcons();
};

void DesktopTest::commandLineNamesResourcesAndProgram() {
    QTemporaryDir start;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QUORVEL_DEMO_DIR);
    const LaunchOptions options =
        launchOptions({"quorvel", "--start-dir", start.path(), "Demo1.HEX"}, "/nowhere/bin", "/nowhere/config");
    const LaunchOptions plain = launchOptions({"quorvel", "./Demo2.HEX"}, buildDir(), "/cfg");
    QDir::setCurrent(cwd);
    QVERIFY(options.error.isEmpty());
    QCOMPARE(options.program, QFileInfo(demo("Demo1.HEX")).absoluteFilePath());
    QCOMPARE(options.resourceDir, QDir(start.path()).absolutePath());
    QCOMPARE(options.configFile, QDir(start.path()).filePath("simulator.dat"));
    // Without --start-dir: the build tree's own folder, the user's config.
    QCOMPARE(QDir(plain.resourceDir).canonicalPath(), QDir(buildDir()).canonicalPath());
    QCOMPARE(plain.configFile, QString("/cfg/simulator.dat"));
    QCOMPARE(plain.program, QFileInfo(demo("Demo2.HEX")).absoluteFilePath());
    QVERIFY(options.warning.isEmpty() && plain.warning.isEmpty());
    // A start folder that is not there: said, and the installation's data
    // and the user's settings are used.
    const LaunchOptions missing =
        launchOptions({"quorvel", "--start-dir", start.filePath("gone")}, buildDir(), "/cfg");
    QVERIFY(missing.error.isEmpty());
    QVERIFY2(missing.warning.contains(start.filePath("gone") + ": no such folder"), qPrintable(missing.warning));
    QCOMPARE(missing.resourceDir, plain.resourceDir);
    QCOMPARE(missing.configFile, plain.configFile);

    const struct {
        QStringList arguments;
        bool error, help;
    } rows[] = {
        {{"quorvel", "a.hex", "b.hex"}, true, false},
        {{"quorvel", "--frobnicate"}, true, false},
        {{"quorvel", "--help"}, false, true},
        {{"quorvel"}, false, false},
        {{"quorvel", "a.hex", "--to-cycle", "5"}, true, false},
        {{"quorvel", "run.qrec", "--to-cycle", "5x"}, true, false},
        {{"quorvel", "run.qrec", "--to-cycle", "5"}, false, false},
    };
    for (const auto& row : rows) {
        const LaunchOptions o = launchOptions(row.arguments, buildDir(), "/cfg");
        QCOMPARE(!o.error.isEmpty(), row.error);
        QCOMPARE(o.help, row.help);
        if (row.help) QVERIFY(o.helpText.contains("--start-dir"));
        if (!row.error && !row.help) QVERIFY(o.program.isEmpty());
        if (!row.error && !row.help && row.arguments.size() > 1)
            QVERIFY(o.recording.endsWith("/run.qrec") && o.toCycle == uint64_t(5));
    }
}

void DesktopTest::commandLineProgramLoadsAndIsRemembered() {
    QTemporaryDir start;
    const LaunchOptions options =
        launchOptions({"quorvel", "--start-dir", start.path(), demo("Demo3.HEX")}, buildDir(), "/cfg");
    QByteArray expected;
    {
        StartedFrame s("Atmel 89C52", 0, options.configFile, options.resourceDir);
        LoadDetailsAnswerer details;
        QVERIFY(s.frame.loadProgram(options.program));
        expected = codeStart(s.frame);
        QVERIFY(expected != QByteArray(16, char(0xFF)));
        QCOMPARE(s.frame.recentPrograms().paths(), QStringList{options.program});
        QVERIFY(s.messages.shown.empty());
        s.frame.close();
    }
    // The list is in the user's settings beside simulator.dat, not in it,
    // and the next start shows it.
    QVERIFY(QFile::exists(QDir(start.path()).filePath("quorvel.ini")));
    QVERIFY(QFile::exists(options.configFile));
    StartedFrame s("Atmel 89C52", 0, options.configFile, options.resourceDir);
    Frame& frame = s.frame;
    QCOMPARE(recentEntries(frame), QStringList{"&1 Demo3.HEX"});
    frame.dispatch(id::ProgramClear);
    LoadDetailsAnswerer details;
    recentAction(frame, 1)->trigger();
    QTRY_COMPARE(codeStart(frame), expected);
}

void DesktopTest::droppedProgramLoadsButNotDuringARun() {
    StartedFrame s;
    Frame& frame = s.frame;
    LoadDetailsAnswerer details;
    QTemporaryDir dir;
    const QString text = dir.filePath("notes.txt");
    QFile(text).open(QIODevice::WriteOnly);
    QVERIFY(!dropAccepted(frame, text, false));
    QVERIFY(!dropAccepted(frame, dir.filePath("gone.hex"), false));

    QVERIFY(dropAccepted(frame, demo("Demo1.HEX"), true));
    QTRY_VERIFY(codeStart(frame) != QByteArray(16, char(0xFF)));
    QCOMPARE(frame.recentPrograms().paths(), QStringList{demo("Demo1.HEX")});

    // While Demo 1 runs, a drop is refused like Load Program, and the recent
    // entries are grayed with it.
    frame.dispatch(id::Go);
    QVERIFY(frame.runControl().running());
    QVERIFY(!dropAccepted(frame, demo("Demo2.HEX"), false));
    QVERIFY(!recentAction(frame, 1)->isEnabled());
    frame.dispatch(id::StopExecution);
    QTRY_VERIFY(!frame.runControl().running());
    QVERIFY(recentAction(frame, 1)->isEnabled());
    QVERIFY(dropAccepted(frame, demo("Demo2.HEX"), false));
    QVERIFY(s.messages.shown.empty());
}

void DesktopTest::recentListKeepsFourNewestAndDropsAMissingFile() {
    QTemporaryDir dir;
    StartedFrame s("Atmel 89C52", 0, dir.filePath("simulator.dat"));
    Frame& frame = s.frame;
    auto& messages = s.messages;
    LoadDetailsAnswerer details;
    for (const char* name : {"Demo1.HEX", "Demo2.HEX", "Demo3.HEX", "Demo4.HEX", "Demo5.HEX", "Demo3.HEX"})
        QVERIFY(frame.loadProgram(demo(name)));
    QCOMPARE(recentEntries(frame),
             (QStringList{"&1 Demo3.HEX", "&2 Demo5.HEX", "&3 Demo4.HEX", "&4 Demo2.HEX"}));
    // A file that does not load is not listed.
    frame.loadProgram(dir.filePath("absent.hex"));
    QCOMPARE(frame.recentPrograms().paths().size(), 4);
    messages.shown.clear();

    // A listed program whose file went away: said, and dropped.
    const QString copy = dir.filePath("Copy.HEX");
    QVERIFY(QFile::copy(demo("Demo6.HEX"), copy));
    QVERIFY(frame.loadProgram(copy));
    QVERIFY(QFile::remove(copy));
    const QByteArray before = codeStart(frame);
    recentAction(frame, 1)->trigger();
    QTRY_COMPARE(int(messages.shown.size()), 1);
    QCOMPARE(messages.shown[0].title, std::string("Error"));
    QVERIFY(QString::fromStdString(messages.shown[0].text).contains(copy));
    QVERIFY(QString::fromStdString(messages.shown[0].text).contains("no longer exists"));
    QCOMPARE(recentEntries(frame), (QStringList{"&1 Demo3.HEX", "&2 Demo5.HEX", "&3 Demo4.HEX"}));
    QCOMPARE(codeStart(frame), before);
    // And it stays dropped in the saved list.
    QCOMPARE(RecentPrograms(dir.filePath("quorvel.ini")).paths(), frame.recentPrograms().paths());

    if (!qEnvironmentVariableIsEmpty("QUORVEL_SCREENSHOT_DIR")) {
        QMenu* menu = fileMenu(frame);
        menu->popup(frame.mapToGlobal(QPoint(0, 0)));
        QVERIFY(saveScreenshot(menu, "file_menu.png"));
        menu->hide();
    }
}

// A FIFO where the list is kept is neither read (that would wait for a
// writer for ever) nor replaced.
void DesktopTest::recentListLeavesASettingsFileThatIsNoFileAlone() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("quorvel.ini");
    QCOMPARE(::mkfifo(qPrintable(ini), 0600), 0);
    auto reading = std::async(std::launch::async, [ini] { return RecentPrograms(ini).paths().size(); });
    const bool done = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!done) ::close(::open(qPrintable(ini), O_WRONLY | O_NONBLOCK)); // lets the reader go
    QVERIFY2(done, "the settings file, a FIFO, was opened and waited on");
    QCOMPARE(reading.get(), 0);
    RecentPrograms recent(ini);
    recent.add(demo("Demo1.HEX"));
    QCOMPARE(recent.paths().size(), 1);
    QVERIFY(!QFileInfo(ini).isFile() && QFileInfo::exists(ini));
}

void DesktopTest::toolbarAndMenusShowScalableIcons() {
    StartedFrame s;
    Frame& frame = s.frame;
    std::set<QByteArray> drawn;
    for (const ToolbarSlot& slot : toolbarSlots()) {
        if (slot.id == 0) continue;
        QAction* action = frame.toolbarAction(slot.id);
        QVERIFY(action);
        const QIcon icon = action->icon();
        QVERIFY2(!icon.isNull(), qPrintable(QString("button %1 has no icon").arg(slot.id)));
        // Scalable, not a fixed small bitmap: full size at 22 and at twice
        // the pixel ratio.
        const QPixmap one = icon.pixmap(QSize(22, 22), 1.0);
        const QPixmap two = icon.pixmap(QSize(22, 22), 2.0);
        QCOMPARE(one.size(), QSize(22, 22));
        QCOMPARE(two.size(), QSize(44, 44));
        QVERIFY2(opaquePixels(one.toImage()) > 12, qPrintable(QString("button %1 is blank").arg(slot.id)));
        if (const char* name = toolbarIconName(slot.image)) {
            QCOMPARE(icon.name(), QString(name));
            QVERIFY2(QIcon::hasThemeIcon(name), name);
        } else {
            QByteArray bits(reinterpret_cast<const char*>(two.toImage().constBits()), two.toImage().sizeInBytes());
            QVERIFY2(drawn.insert(bits).second, qPrintable(QString("button %1 looks like another").arg(slot.id)));
        }
    }
    // The menus carry pictures too, also for items that have no button.
    QVERIFY(!frame.menuAction(id::FinishSubroutine)->icon().isNull());
    // The picture has every button: the frame as wide as the toolbar asks,
    // so none goes into its overflow menu.
    auto* toolbar = frame.findChild<QToolBar*>("toolbar");
    if (!qEnvironmentVariableIsEmpty("QUORVEL_SCREENSHOT_DIR")) {
        frame.showNormal();
        frame.resize(toolbar->sizeHint().width() + frame.width() - toolbar->width(), frame.height());
    }
    QVERIFY(saveScreenshot(toolbar, "toolbar.png"));

    // The program's icon is the installed SVG, drawn at any size.
    const QPixmap big = applicationIcon().pixmap(QSize(128, 128));
    QCOMPARE(big.size(), QSize(128, 128));
    QVERIFY(opaquePixels(big.toImage()) > 128 * 64);
}

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
