// The File menu's screen and module settings files, and what simulator.dat
// brings back at the next start: layouts and wiring saved, changed and
// loaded back; bad files that change nothing and say so.
#include "settings/screen_settings_file.h"
#include "shell/modules/keyboard_window.h"
#include "shell/modules/key_painter.h"
#include "shell/modules/lcd_window.h"
#include "shell/program_view.h"
#include "shell/views/memory_view.h"
#include "shell_test_support.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// The open views and their windows' places.
std::map<int, QRect> arrangement(Frame& frame) {
    std::map<int, QRect> places;
    for (QMdiSubWindow* window : frame.mdiArea()->subWindowList())
        places[qobject_cast<View*>(window->widget())->viewCommand()] = window->geometry();
    return places;
}

void closeWindow(Frame& frame, int command) {
    windowOf(frame, command)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

const UserMessage kSstUnreadable = errorMessage("ERROR", "Unable to load setting file");
const UserMessage kMstUnreadable = errorMessage("ERROR", "Unable to Open Specified File.");

} // namespace

class SettingsFilesTest : public QObject {
    Q_OBJECT
private slots:
    void screenLayoutSavedAndLoadedBack();
    void clearViewFileReopensInClearView();
    void badScreenFilesChangeNothing_data();
    void badScreenFilesChangeNothing();
    void moduleSettingsSavedAndLoadedBack();
    void badModuleFilesChangeNothing();
    void simulatorDatBringsBackViewsAndPc();
};

void SettingsFilesTest::screenLayoutSavedAndLoadedBack() {
    StartedFrame s;
    Frame& f = s.frame;
    QTemporaryDir dir;
    const QString file = dir.filePath("layout.SST");

    // Until a file was loaded, Save Screen Setting asks every time.
    f.dispatch(id::SaveScreenSetting);
    QCOMPARE(s.messages.prompts.size(), qsizetype(1));

    const std::pair<int, QRect> placed[] = {{id::RegisterWindow, {10, 10, 300, 250}},
                                            {id::ProgramWindow, {320, 10, 420, 300}},
                                            {id::LedWindow, {500, 320, 260, 160}},
                                            {id::LcdWindow, {10, 280, 0, 0}}};
    for (const auto& [command, rect] : placed) {
        f.dispatch(command);
        if (rect.isEmpty())
            windowOf(f, command)->move(rect.topLeft());
        else
            windowOf(f, command)->setGeometry(rect);
    }
    const std::map<int, QRect> saved = arrangement(f);
    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::SaveScreenSettingAs);
    QCOMPARE(QFileInfo(file).size(), qint64(kScreenSettingsLength));

    // Everything changed: a window closed, one moved, one more opened.
    closeWindow(f, id::LcdWindow);
    windowOf(f, id::ProgramWindow)->setGeometry(40, 60, 380, 200);
    f.dispatch(id::IoWindow);
    QVERIFY(arrangement(f) != saved);

    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::LoadScreenSetting);
    QCOMPARE(arrangement(f), saved);
    QCOMPARE(f.viewMode(), ViewMode::Normal);

    // Now Save Screen Setting writes to that file without asking; the layout
    // Normal View returns to stays the loaded one.
    const ScreenSettings loaded = f.storedScreenSettings();
    windowOf(f, id::ProgramWindow)->move(200, 100);
    const qsizetype asked = s.messages.prompts.size();
    f.dispatch(id::SaveScreenSetting);
    QCOMPARE(s.messages.prompts.size(), asked);
    ScreenSettings written;
    QVERIFY(!ReadScreenSettings(file.toStdString(), written));
    QCOMPARE(QPoint(written.layout[2].x, written.layout[2].y), QPoint(200, 100));
    QCOMPARE(f.storedScreenSettings(), loaded);
    QVERIFY(s.messages.shown.empty());
}

// A file in Clear View builds the Clear View arrangement with its bit-window
// choice; the windows open before it are what Normal View brings back.
void SettingsFilesTest::clearViewFileReopensInClearView() {
    StartedFrame s("Atmel 89C52", 1);
    Frame& f = s.frame;
    QTemporaryDir dir;
    const QString file = dir.filePath("clear.sst");
    ScreenSettings clear;
    clear.viewMode = ViewMode::Clear;
    clear.ClearViewBitWindow = 1;
    QVERIFY(!WriteScreenSettings(file.toStdString(), clear));

    f.dispatch(id::LedWindow);
    windowOf(f, id::LedWindow)->setGeometry(30, 40, 250, 150);
    const std::map<int, QRect> before = arrangement(f);
    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::LoadScreenSetting);
    QCOMPARE(f.viewMode(), ViewMode::Clear);
    QVERIFY(f.view(id::MemoryBitWindow) && !f.view(id::SfrBitWindow) && !f.view(id::LedWindow));
    QVERIFY(f.menuAction(id::NormalView)->isEnabled());

    f.dispatch(id::NormalView);
    QCOMPARE(f.viewMode(), ViewMode::Normal);
    QCOMPARE(arrangement(f), before);
}

void SettingsFilesTest::badScreenFilesChangeNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    ScreenSettings valid;
    valid.layout[2] = {50001, 1, 0, 0, 300, 200, 0};
    const QByteArray good = QByteArray::fromStdString(formatScreenSettings(valid));
    QTest::newRow("short") << good.left(good.size() - 1);
    QTest::newRow("not hexadecimal") << QByteArray(good).replace(20, 1, "g");
    QTest::newRow("window state 4") << QByteArray(good).replace(4 + 50 + 8, 2, "04");
    QTest::newRow("missing") << QByteArray("-");
}

void SettingsFilesTest::badScreenFilesChangeNothing() {
    QFETCH(QByteArray, bytes);
    StartedFrame s;
    Frame& f = s.frame;
    QTemporaryDir dir;
    const QString file = dir.filePath("bad.SST");
    if (bytes != "-") QVERIFY(writeFile(file, bytes));
    f.dispatch(id::RegisterWindow);
    windowOf(f, id::RegisterWindow)->setGeometry(15, 25, 320, 240);
    const std::map<int, QRect> before = arrangement(f);
    const ScreenSettings stored = f.storedScreenSettings();

    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::LoadScreenSetting);
    QCOMPARE(s.messages.shown, std::vector<UserMessage>{kSstUnreadable});
    QCOMPARE(arrangement(f), before);
    QCOMPARE(f.storedScreenSettings(), stored);
    QCOMPARE(f.viewMode(), ViewMode::Normal);
    // The bad file is no file to save to without asking.
    f.dispatch(id::SaveScreenSetting);
    QCOMPARE(s.messages.prompts.back(), QString("Save Settings"));
}

// Saved wiring comes back whole, and the open part windows follow it: the
// LCD window takes its size and title again, the keyboard its keys.
void SettingsFilesTest::moduleSettingsSavedAndLoadedBack() {
    StartedFrame s("Atmel 89C52");
    Frame& f = s.frame;
    ModuleSettings& live = f.machine().modules.settings;
    live.LcdOptions = 1; // 2 lines x 16
    live.KeypadType = 1; // 4 x 4
    live.LedConnected[2] = 0x0F;
    setKeyName(live, 15, "Enter");
    auto* lcd = s.open<LcdWindow>(id::LcdWindow);
    auto* keys = s.open<KeyboardView>(id::KeyboardWindow);
    const QString lcdTitle = lcd->parentWidget()->windowTitle();
    QCOMPARE(lcdTitle, QString("LCD - 2 Lines X 16 Characters"));
    QCOMPARE(keys->keypadButton(15)->text(), QString("Enter"));
    const ModuleSettings saved = live;

    QTemporaryDir dir;
    const QString file = dir.filePath("wiring.MST");
    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::SaveModuleSetting);
    QVERIFY(QFileInfo(file).size() > 131);

    live.LcdOptions = 3; // 4 lines x 20
    live.KeypadType = 0; // 4 x 3
    live.LedConnected[2] = 0;
    lcd->applySettings();
    keys->rebuild();
    QVERIFY(lcd->parentWidget()->windowTitle() != lcdTitle);
    QVERIFY(!keys->keypadButton(15));

    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::LoadModuleSetting);
    QVERIFY(s.messages.shown.empty());
    QCOMPARE(live, saved);
    QCOMPARE(lcd->parentWidget()->windowTitle(), lcdTitle);
    QCOMPARE(keys->keypadButton(15)->text(), QString("Enter"));
}

// A bad file changes nothing; a good one on a smaller device wires the lines
// that device lacks to P1.0.
void SettingsFilesTest::badModuleFilesChangeNothing() {
    StartedFrame s("Atmel 89C2051");
    Frame& f = s.frame;
    ModuleSettings& live = f.machine().modules.settings;
    QTemporaryDir dir;
    ModuleSettings wired;
    wired.LcdPins[kLcdRs] = PinRef(0x07);  // P0.7: not on this device
    wired.LcdPins[kLcdE] = PinRef(0x35);   // P3.5
    wired.LcdPins[kLcdD0] = PinRef(0x26);  // P2.6: not on this device
    const std::vector<uint8_t> bytes = encodeModuleSettingsFile(wired);
    const QByteArray good(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));

    const ModuleSettings before = live;
    const QString shortFile = dir.filePath("short.MST");
    QVERIFY(writeFile(shortFile, good.left(good.size() - 1)));
    for (const QString& file : {shortFile, dir.filePath("missing.MST")}) {
        s.messages.fileAnswers.push_back(file);
        f.dispatch(id::LoadModuleSetting);
        QVERIFY2(s.messages.shown.back() == kMstUnreadable, qPrintable(file));
        QVERIFY2(live == before, qPrintable(file));
    }

    const QString file = dir.filePath("wired.MST");
    QVERIFY(writeFile(file, good));
    const size_t said = s.messages.shown.size();
    s.messages.fileAnswers.push_back(file);
    f.dispatch(id::LoadModuleSetting);
    QCOMPARE(s.messages.shown.size(), said);
    QCOMPARE(live.LcdPins[kLcdRs], PinRef(0x10));
    QCOMPARE(live.LcdPins[kLcdE], PinRef(0x35));
    QCOMPARE(live.LcdPins[kLcdD0], PinRef(0x10));
}

// simulator.dat and the window layout beside it bring back the windows, where
// each view started, the PC (with the program memory it belongs to) and the
// serial window's settings; a view closed during the run reopens where it was.
void SettingsFilesTest::simulatorDatBringsBackViewsAndPc() {
    QTemporaryDir dir;
    const QString config = dir.filePath("simulator.dat");
    {
        StartedFrame s("Atmel 89C52", 3, config); // 8K
        s.frame.memorySetting.startupAction = 2; // restore the program memory at start-up
        s.frame.memorySetting.startupSelection = startup::RestoreProgram;
        s.writeCode(0x0105, {0x00});
        s.frame.runControl().setCurrentAddress(0x0105);
        s.open<ProgramView>(id::ProgramWindow)->setTop(0x0100);
        s.open<MemoryView>(id::ExternalMemoryWindow)->goToAddress(0x0200);
        s.open<MemoryView>(id::InternalMemoryWindow)->goToAddress(0x40);
        s.frame.machine().modules.settings.serialHost = {1, "transfer.txt"};
        s.frame.dispatch(id::RegisterWindow);
        windowOf(s.frame, id::ProgramWindow)->setGeometry(30, 40, 400, 250);
        QVERIFY(s.frame.close());
    }
    StartedFrame s("Atmel 89C52", 3, config);
    // The windows come back where they were.
    QMdiSubWindow* program = windowOf(s.frame, id::ProgramWindow);
    QVERIFY(program);
    QCOMPARE(program->geometry(), QRect(30, 40, 400, 250));
    QVERIFY(windowOf(s.frame, id::RegisterWindow));
    QCOMPARE(s.frame.runControl().currentAddress(), uint16_t(0x0105));
    QCOMPARE(s.open<ProgramView>(id::ProgramWindow)->top(), uint16_t(0x0100));
    auto* external = s.open<MemoryView>(id::ExternalMemoryWindow);
    QCOMPARE(external->top(), 0x0200u);
    QCOMPARE(s.open<MemoryView>(id::InternalMemoryWindow)->top(), 0x40u);
    QCOMPARE(s.frame.machine().modules.settings.serialHost, (SerialHostSettings{1, "transfer.txt"}));

    external->goToAddress(0x0300);
    closeWindow(s.frame, id::ExternalMemoryWindow);
    QCOMPARE(s.open<MemoryView>(id::ExternalMemoryWindow)->top(), 0x0300u);
}

QTEST_MAIN(SettingsFilesTest)
#include "settings_files_test.moc"
