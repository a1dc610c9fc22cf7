// The Demo menu: which entries each device offers, and every offered entry
// loading its program, module settings and windows and showing its effect.
#include "shell/demo_menu.h"
#include "shell/modules/io_window.h"
#include "shell/modules/keyboard_window.h"
#include "shell/modules/key_painter.h"
#include "shell/modules/lcd_window.h"
#include "shell/modules/led_window.h"
#include "shell/modules/serial_window.h"
#include "shell_test_support.h"

#include "chip/sfr.h"

#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

constexpr int kDemo11 = id::DemoFirst + 10;

int demo(int k) { return id::DemoFirst + k - 1; }
int project(int k) { return id::ProjectFirst + k - 1; }

uint8_t latch(Frame& frame, uint8_t address) {
    auto guard = frame.runControl().pause();
    return frame.machine().chip.sfr(address);
}

std::string lcdRow(Frame& frame, int row, int columns) {
    auto* lcd = qobject_cast<LcdWindow*>(frame.view(id::LcdWindow));
    if (!lcd) return {};
    const auto& cells = lcd->picture().cells[size_t(row)];
    return std::string(cells.begin(), cells.begin() + columns);
}

LedView* leds(Frame& frame) { return qobject_cast<LedView*>(frame.view(id::LedWindow)); }
KeyboardView* keys(Frame& frame) { return qobject_cast<KeyboardView*>(frame.view(id::KeyboardWindow)); }

// Presses a pulse button of the I/O window; the demonstration set its line
// to "Pulse" (the button works on no other setting).
bool pulse(Frame& frame, const char* pin, const char* button) {
    auto* io = qobject_cast<IoWindow*>(frame.view(id::IoWindow));
    auto* push = child<QPushButton>(io, button);
    if (child<QComboBox>(io, (QString("input") + pin).toLatin1())->currentText() != "Pulse" ||
        !push->isEnabled())
        return false;
    push->click();
    return true;
}

// Waits (the simulation running) until `condition` holds; false when it
// never does.
template <typename F> bool waitFor(F condition) { return QTest::qWaitFor(condition, 10000); }

// What an entry shows in its windows once it runs, through the window the
// part is worked in; false when the effect did not come. What each program
// does in detail is the demonstration suite's business.
using Effect = bool (*)(Frame& frame);

bool countsOnTwoDigits(Frame& f) {
    // 00, then 01: the units digit shows "0" and then "1".
    return waitFor([&] { return leds(f)->picture().shown.digits[1] == 0x3F; }) &&
           waitFor([&] { return leds(f)->picture().shown.digits[1] == 0x06; });
}
bool writesTheMessage(Frame& f) {
    return waitFor([&] { return lcdRow(f, 3, 20) == "LCD Module Message  "; }) &&
           lcdRow(f, 0, 20) == "  Quorvel Simulator ";
}
bool showsTheKey(Frame& f) {
    KeyButton* five = keys(f)->keypadButton(4);
    QTest::mousePress(five, Qt::LeftButton);
    const bool shown = waitFor([&] { return leds(f)->picture().shown.digits[0] == 0x6D; });
    QTest::mouseRelease(five, Qt::LeftButton);
    return shown;
}
bool greets(Frame& f) {
    auto* serial = qobject_cast<SerialWindow*>(f.view(id::SerialWindow));
    return waitFor([&] { return serial->controllerTransmitList()->toPlainText().endsWith("0D(.)\n0A(.)"); }) &&
           serial->controllerTransmitList()->toPlainText().startsWith("51(Q)");
}
bool sendsOverSpi(Frame& f) {
    // After its greeting it sends a count: the last two bytes sent follow
    // each other.
    auto* list = child<QListWidget>(f.view(id::SpiWindow), "chipTransmit");
    const auto byte = [list](int row) { return list->item(row)->text().left(2).toInt(nullptr, 16); };
    return waitFor([&] {
        const int n = list->count();
        return n >= 20 && byte(n - 1) == (byte(n - 2) + 1) % 256;
    });
}
bool countsInt0Pulses(Frame& f) {
    if (!waitFor([&] { return (latch(f, sfr::IE) & sfr::bits::EA) != 0; })) return false;
    return pulse(f, "P3.2", "pulseINT0") && waitFor([&] { return latch(f, sfr::P1) == 0xFE; });
}
bool countsT0Events(Frame& f) {
    if (!waitFor([&] { return (latch(f, sfr::TCON) & sfr::bits::TR0) != 0; })) return false;
    return pulse(f, "P3.4", "pulseT0") && waitFor([&] { return latch(f, sfr::P1) == 0xFE; });
}
// Lines nothing drives are not connected: no key reads as pressed, and the
// keypad demonstration shows nothing until one is.
bool showsNoKeyUntilPressed(Frame& f) {
    QTest::qWait(300);
    const bool blank = leds(f)->picture().shown.digits[0] != 0x5B; // not "2"
    return blank && showsTheKey(f);
}

struct DemoCase {
    int command;
    std::vector<int> windows; // the windows it opens
    Effect effect; // null: it only has to be running (Demo 11: stopped)
};

const std::vector<DemoCase>& demoCases() {
    static const std::vector<DemoCase> cases = {
        {demo(1), {id::ProgramWindow, id::LedWindow, id::RegisterWindow}, nullptr},
        {demo(2), {id::ProgramWindow, id::LedWindow, id::RegisterWindow}, countsOnTwoDigits},
        {demo(3), {id::ProgramWindow, id::LcdWindow}, writesTheMessage},
        {demo(4), {id::ProgramWindow, id::RegisterWindow, id::KeyboardWindow, id::LedWindow}, nullptr},
        {demo(5), {id::ProgramWindow, id::RegisterWindow, id::KeyboardWindow, id::LedWindow}, showsNoKeyUntilPressed},
        {demo(6), {id::ProgramWindow, id::LedWindow, id::RtcWindow}, nullptr},
        {demo(7), {id::ProgramWindow, id::SerialWindow}, greets},
        {demo(8), {id::ProgramWindow, id::SpiWindow, id::LedWindow}, sendsOverSpi},
        {demo(9), {id::ProgramWindow, id::IoWindow, id::LedWindow}, countsInt0Pulses},
        {demo(10), {id::ProgramWindow, id::IoWindow, id::LedWindow}, countsT0Events},
        {kDemo11, {id::ProgramWindow, id::RegisterWindow, id::InternalMemoryWindow}, nullptr},
        {project(1), {id::ProgramWindow, id::LedWindow, id::RegisterWindow}, nullptr},
        {project(2), {id::ProgramWindow, id::RegisterWindow, id::LedWindow, id::LcdWindow}, nullptr},
        {project(3), {id::ProgramWindow, id::KeyboardWindow, id::LedWindow, id::LcdWindow}, nullptr},
    };
    return cases;
}

// A started frame that finds the demonstrations where the build put them.
struct DemoFrame : StartedFrame {
    explicit DemoFrame(const char* device, int dataSize = 0, const QString& config = {})
        : StartedFrame(device, dataSize, config) {
        frame.setResourceDir(QString(QUORVEL_DEMO_DIR) + "/..");
    }
    // Chooses the entry, accepting the loading details box.
    void choose(int command) {
        LoadDetailsAnswerer details;
        frame.dispatch(command);
    }
    void stop() {
        if (frame.runControl().running()) frame.dispatch(id::StopExecution);
        QTRY_VERIFY(!frame.runControl().running());
    }
};

} // namespace

class DemoMenuTest : public QObject {
    Q_OBJECT
private slots:
    void entriesEachDeviceOffers_data();
    void entriesEachDeviceOffers();
    void demo11PutsExternalMemoryAwayForItsOwnTime();
    void screenshotOfARunningDemo();
    void grayEntriesSayWhyAndShippedFilesAreNotOffered();
};

void DemoMenuTest::entriesEachDeviceOffers_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<QList<int>>("offered");
    QTest::newRow("AT89C1051") << "Atmel 89C1051" << 0 << QList<int>{1, 2, 3, 4, 5, 9, 10, 11};
    QTest::newRow("AT89C2051") << "Atmel 89C2051" << 0 << QList<int>{1, 2, 3, 4, 5, 7, 9, 10, 11};
    QTest::newRow("AT89C52") << "Atmel 89C52" << 0 << QList<int>{1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14};
    // External data memory takes P0 and P2, where the parts of Demo 6 and 8
    // and the projects sit.
    QTest::newRow("AT89S8252 with data memory") << "Atmel 89S8252" << 1
                                                << QList<int>{1, 2, 3, 4, 5, 7, 9, 10, 11};
    QTest::newRow("AT89S8252") << "Atmel 89S8252" << 0
                               << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
}

// Entries 1 to 11 are the demo programs, 12 to 14 the projects. Each offered
// entry runs on the device; the others stay gray, also after a run.
void DemoMenuTest::entriesEachDeviceOffers() {
    QFETCH(QString, device);
    QFETCH(int, dataSize);
    QFETCH(QList<int>, offered);
    DemoFrame s(device.toLatin1().constData(), dataSize);
    const auto& cases = demoCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const DemoCase& c = cases[i];
        const bool offers = offered.contains(int(i) + 1);
        QCOMPARE(s.frame.menuAction(c.command)->isEnabled(), offers);
        if (!offers) continue;
        const size_t before = s.messages.shown.size();
        s.choose(c.command);
        const QString name = demoName(c.command);
        // No file is missing, and nothing but Demo 11's instruction is said.
        for (size_t m = before; m < s.messages.shown.size(); ++m)
            QVERIFY2(s.messages.shown[m].title == "Instruction", qPrintable(name + ": " +
                                                                            QString::fromStdString(s.messages.shown[m].text)));
        QList<int> open;
        for (QMdiSubWindow* window : s.frame.mdiArea()->subWindowList())
            open << qobject_cast<View*>(window->widget())->viewCommand();
        std::sort(open.begin(), open.end());
        QList<int> expected(c.windows.begin(), c.windows.end());
        std::sort(expected.begin(), expected.end());
        QVERIFY2(open == expected, qPrintable(name));
        QCOMPARE(s.frame.runControl().execution.screenUpdate, true);
        QCOMPARE(int(s.frame.runControl().execution.updateSeconds), 1);
        if (c.effect)
            QVERIFY2(c.effect(s.frame), qPrintable(name));
        else
            QCOMPARE(s.frame.runControl().running(), c.command != kDemo11);
        // While it runs, the whole Demo menu is gray.
        if (s.frame.runControl().running()) QVERIFY(!s.frame.menuAction(demo(1))->isEnabled());
        s.stop();
        QCOMPARE(s.frame.menuAction(c.command)->isEnabled(), true);
    }
    for (size_t i = 0; i < cases.size(); ++i)
        QCOMPARE(s.frame.menuAction(cases[i].command)->isEnabled(), offered.contains(int(i) + 1));
}

// Demo 11 takes the external data memory away while it is loaded: its
// commands are gray and the Clear View shows both bit windows. Loading
// another program brings it back with its contents, and simulator.dat keeps
// the configured size throughout.
void DemoMenuTest::demo11PutsExternalMemoryAwayForItsOwnTime() {
    QTemporaryDir dir;
    const QString config = dir.filePath("simulator.dat");
    {
        DemoFrame s("Atmel 89C52", 2, config); // 4K
        const uint16_t limit = s.chip().xdataLimit;
        QVERIFY(limit > 0);
        s.chip().writeXdata(0x0123, 0x5A);
        s.choose(kDemo11);
        QCOMPARE(s.messages.shown.back().title, std::string("Instruction"));
        QVERIFY(!s.frame.runControl().running());
        QVERIFY(!s.chip().hasXdata());
        for (int command : {id::ExternalFill, id::ExternalCopy, id::ExternalMemoryWindow, id::LoadData})
            QVERIFY(!s.frame.menuAction(command)->isEnabled());
        s.frame.dispatch(id::ClearView);
        QVERIFY(s.frame.view(id::SfrBitWindow) && s.frame.view(id::MemoryBitWindow));
        QVERIFY(!s.frame.view(id::ExternalMemoryWindow));
        s.frame.dispatch(id::NormalView);

        // Another demonstration: the memory is back, as it was.
        s.choose(demo(1));
        s.stop();
        QCOMPARE(s.chip().xdataLimit, limit);
        QCOMPARE(s.chip().readXdata(0x0123), uint8_t(0x5A));
        for (int command : {id::ExternalFill, id::ExternalCopy, id::ExternalMemoryWindow, id::LoadData})
            QVERIFY(s.frame.menuAction(command)->isEnabled());

        // Closing the program while Demo 11 is loaded stores the configured size.
        s.choose(kDemo11);
        QVERIFY(s.frame.close());
    }
    QCOMPARE(ReadDeviceConfig(config.toStdString()).xdataLimit, uint16_t(0x0FFF));
    const AppConfigRead read = ReadAppConfig(config.toStdString(), defaultAppConfig({}));
    QCOMPARE(read.missingFrom, AppConfigSection::Done);
    QCOMPARE(read.config.externalImage.at(0x0123), uint8_t(0x5A));
}

void DemoMenuTest::screenshotOfARunningDemo() {
    DemoFrame s("Atmel 89C52");
    s.choose(demo(5));
    QVERIFY(showsTheKey(s.frame));
    QTest::mousePress(keys(s.frame)->keypadButton(7), Qt::LeftButton); // "8"
    QTRY_COMPARE(int(leds(s.frame)->picture().shown.digits[0]), 0x7F);
    s.frame.refreshViews(); // the registers and the status bar as they are now
    QVERIFY(saveScreenshot(&s.frame, "demo_running.png"));
    QTest::mouseRelease(keys(s.frame)->keypadButton(7), Qt::LeftButton);
    s.stop();
}

// A gray entry says in the status bar why it is gray when it is highlighted
// in the menu; saving a demonstration's layout starts in the user's folder,
// never on the shipped file.
void DemoMenuTest::grayEntriesSayWhyAndShippedFilesAreNotOffered() {
    const auto highlight = [](Frame& frame, int command) {
        QMenu* menu = nullptr;
        for (QAction* top : frame.menuBar()->actions())
            if (top->text() == "&Demo") menu = top->menu();
        if (!menu) return QString();
        menu->popup(frame.mapToGlobal(QPoint(20, 20)));
        QTest::mouseMove(menu, menu->actionGeometry(frame.menuAction(command)).center());
        const QString text = frame.statusText(0);
        menu->hide();
        return text;
    };
    const struct {
        const char* device;
        int dataSize;
        int command;
        const char* says;
    } rows[] = {
        {"Atmel 89C2051", 0, demo(6), "Not on the AT89C2051"},
        {"Atmel 89S8252", 1, project(1), "Needs ports P0 and P2"},
        {"Atmel 89S8252", 1, demo(1), "Demo Program 1 : Flash a Point LED"},
    };
    for (const auto& row : rows) {
        DemoFrame s(row.device, row.dataSize);
        const QString said = highlight(s.frame, row.command);
        QVERIFY2(said.startsWith(row.says), qPrintable(said));
    }
    DemoFrame s("Atmel 89C52");
    s.choose(demo(1));
    s.stop();
    for (int command : {id::SaveScreenSetting, id::SaveScreenSettingAs}) {
        s.frame.dispatch(command); // cancelled
        QCOMPARE(s.messages.startFiles.back(), QDir::home().filePath("Demo1.SST"));
    }
}

QTEST_MAIN(DemoMenuTest)
#include "demo_menu_test.moc"
