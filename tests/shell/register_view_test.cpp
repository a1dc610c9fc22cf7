// The register window: the devices' long, short and grid layouts agree,
// red values after a step, typing into values and what an edit moves along,
// the caret's moves, and the short labels of a narrow window.
#include "chip/chip_events.h"
#include "shell/modules/chip_notices.h"
#include "shell/program_view.h"
#include "shell/source_debug.h"
#include "shell/program_debug.h"
#include "shell/view_context.h"
#include "shell/views/memory_view.h"
#include "shell/views/register_view.h"
#include "shell/views/view_table.h"
#include "shell/wave_capture.h"
#include "shell_test_support.h"

#include <QScrollBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// The register a label names, as the short list and the grid call it.
QString nameOf(const RegisterEntry& e) {
    QString label = QString::fromLatin1(e.label);
    return label.left(label.indexOf(':')).trimmed();
}

// The grid entry labelled `label`.
int gridIndex(const std::vector<RegisterEntry>& grid, const QString& label) {
    for (size_t i = 0; i < grid.size(); ++i)
        if (label == grid[i].label) return int(i);
    return -1;
}

// Counts the SCON notices an edit sends.
struct SconRecorder : ChipEvents {
    int scon = 0;
    void sconWritten() override { ++scon; }
};

// What the views ask of the window around them, recorded: no frame.
struct RecordedHost : ViewHost {
    QString status;
    int refreshes = 0;
    std::vector<BreakpointCondition> breakpoints;
    void setStatusText(int part, const QString& text) override {
        if (part == 0) status = text;
    }
    void refreshViews() override { ++refreshes; }
    void programCodeChanged() override {}
    void setBreakpoint(const BreakpointCondition& condition) override { breakpoints.push_back(condition); }
    void runCommand(int) override {}
    bool isActiveView(const QWidget*) const override { return false; }
    void showCodeAddress(uint16_t) override {}
    ViewMode viewMode() const override { return ViewMode::Normal; }
    QWidget* messageParent() override { return nullptr; }
};

struct NoRunEvents : RunEvents {
    void runEnded(uint64_t, StopReason) override {}
    void stepOverContinues(uint64_t) override {}
};

// The register window's size: wide enough for the long labels.
constexpr QSize kWide(460, 560);

// Clicks digit `digit` of entry `entry` and types `keys`.
void type(RegisterView* view, int entry, int digit, const QString& keys) {
    QVERIFY(entry >= 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->digitPoint(entry, digit));
    QCOMPARE(view->caretEntry(), entry);
    QCOMPARE(view->caretDigit(), digit);
    QTest::keyClicks(view, keys);
}

} // namespace

class RegisterViewTest : public QObject {
    Q_OBJECT
  private slots:
    void layoutsAgreeOnEveryDevice();
    void gridNeighbours();
    void stepShowsChangesInRed();
    void typingAndCaretMoves();
    void shortLabelsBelow48Characters();
    void viewsWithoutFrame();
};

// For each device: the long and short lists name the same registers row for
// row, each long value label 43 characters and each short one 6, so the
// values line up; the SFRs come first, then the four banks in address order.
// The grid holds the same registers (R0-R7 for the banks), no two
// overlapping on a row, all within the tile's 27 columns below the title.
void RegisterViewTest::layoutsAgreeOnEveryDevice() {
    for (int k = 0; k < kDeviceCount; ++k) {
        const DeviceKind kind = DeviceKind(k);
        const auto shortList = registerLayout(kind, RegisterLayout::ShortList);
        const auto longList = registerLayout(kind, RegisterLayout::LongList);
        QCOMPARE(shortList.size(), longList.size());
        QStringList listNames;
        int ramAddress = 0;
        for (size_t i = 0; i < shortList.size(); ++i) {
            const RegisterEntry &s = shortList[i], &l = longList[i];
            QCOMPARE(s.row, int(i));
            QCOMPARE(s.heading, l.heading);
            QCOMPARE(s.reg, l.reg);
            if (s.heading) continue;
            QCOMPARE(int(strlen(l.label)), 43);
            QCOMPARE(int(strlen(s.label)), 6);
            QVERIFY2(QString(l.label).contains("(" + nameOf(s) + ")"), l.label);
            if (s.reg.kind == RegisterKind::Ram) {
                QCOMPARE(int(s.reg.address), ramAddress++);
            } else {
                QCOMPARE(ramAddress, 0); // no SFR after the banks
                listNames << nameOf(s);
            }
        }
        QCOMPARE(ramAddress, 32);

        const auto grid = registerLayout(kind, RegisterLayout::Grid);
        QStringList gridNames;
        listNames += QString("R0 R1 R2 R3 R4 R5 R6 R7").split(' ');
        for (const RegisterEntry& e : grid)
            gridNames << nameOf(e);
        gridNames.sort();
        listNames.sort();
        QCOMPARE(gridNames, listNames);
        const auto end = [](const RegisterEntry& e) {
            return e.column + 1 + int(strlen(e.label)) + e.reg.digits();
        };
        for (size_t i = 0; i < grid.size(); ++i) {
            const RegisterEntry& a = grid[i];
            QVERIFY2(a.row >= 1 && a.row <= 13 && end(a) <= 27, a.label);
            if (nameOf(a).startsWith('R') && nameOf(a).size() == 2)
                QCOMPARE(a.reg, bankRegister(uint8_t(nameOf(a)[1].digitValue())));
            for (size_t j = i + 1; j < grid.size(); ++j) {
                const RegisterEntry& b = grid[j];
                QVERIFY2(a.row != b.row || end(a) <= b.column + 1 || end(b) <= a.column + 1,
                         qPrintable(QString("%1 overlaps %2").arg(a.label, b.label)));
            }
        }
    }
}

// The grid entry Up and Down go to from a digit.
void RegisterViewTest::gridNeighbours() {
    const struct {
        DeviceKind kind;
        const char* from;
        int digit, direction;
        const char* to; // empty: nowhere to go
    } moves[] = {
        {DeviceKind::AT89C52, "ACC:", 0, 1, "PSW:"},
        {DeviceKind::AT89C52, "B:", 0, -1, ""},
        {DeviceKind::AT89C52, "SP:", 0, 1, "TL2:"},
        {DeviceKind::AT89C52, "R7:", 0, 1, ""},
        {DeviceKind::AT89S8252, "PC:", 3, -1, "R6:"},
        {DeviceKind::AT89S8252, "DPTR1:", 2, -1, "DPTR0:"},
        {DeviceKind::AT89C1051, "IP :", 0, -1, "TL0:"},
    };
    for (const auto& m : moves) {
        const auto grid = registerLayout(m.kind, RegisterLayout::Grid);
        const int from = gridIndex(grid, m.from);
        QVERIFY2(from >= 0, m.from);
        const int to =
            gridNeighbour(grid, from, gridValueColumn(grid[from]) + m.digit, m.direction);
        QCOMPARE(QString(to < 0 ? "" : grid[size_t(to)].label), QString(m.to));
    }
}

void RegisterViewTest::stepShowsChangesInRed() {
    StartedFrame s;
    s.writeCode(0, {0x74, 0x05, 0x12, 0x00, 0x10}); // MOV A,#05; LCALL 0010
    RegisterView* view = s.open<RegisterView>(id::RegisterWindow, kWide);
    QCOMPARE(view->clearViewGeometry(QSize(1000, 600)), QRect(353, 0, 223, 300));
    const int acc = view->entryIndex(u"Accumulator"), pc = view->entryIndex(u"Program Counter"),
              sp = view->entryIndex(u"Stack Pointer");
    // ACC, SP and PC as shown, "*" after the ones marked changed.
    const auto values = [&] {
        QStringList shown;
        for (int e : {acc, sp, pc})
            shown << view->valueText(e) + (view->valueChanged(e) ? "*" : "");
        return shown.join(' ');
    };
    s.frame.dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(values(), QString("05* 07 0002*"));
    s.frame.dispatch(id::SingleStep); // LCALL 0010: ACC stays, SP grows by 2
    QCOMPARE(values(), QString("05 09* 0010*"));

    // As painted: red in SP's value cell, black in ACC's; the caret inverts
    // the digit under it.
    s.frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.frame));
    QTest::mouseClick(view, Qt::LeftButton, {}, view->digitPoint(sp, 1));
    const QImage image = view->grab().toImage();
    const QSize cell(view->charWidth(), view->lineHeight());
    QVERIFY(inkCount(image, view->digitPoint(sp, 0), cell) > 0);
    QCOMPARE(inkCount(image, view->digitPoint(acc, 0), cell), 0);
    QVERIFY(inkCount(image, view->digitPoint(acc, 0), cell, true) > 0);
    QVERIFY(inkCount(image, view->digitPoint(sp, 1), cell) > cell.width() * cell.height() / 2);
}

// A digit replaces the nibble under the caret and is written at once; the
// edited value is not shown as changed. Then the caret's moves between the
// fields, and edits with effects beyond their value.
void RegisterViewTest::typingAndCaretMoves() {
    StartedFrame s;
    RegisterView* view = s.open<RegisterView>(id::RegisterWindow, kWide);
    const struct {
        const char* label; // the first entry whose label starts so
        int offset;        // entries after it
        int digit;         // where the caret is put
        const char* keys;
        const char* shown;
        uint8_t address; // RAM byte or SFR written
        uint8_t expected;
    } edits[] = {
        {"Accumulator", 0, 0, "g x5", "50", 0xE0, 0x50}, // other keys are ignored
        {"B Register", 0, 1, "c", "0C", 0xF0, 0x0C},     // the low nibble only
        {"Data Pointer", 0, 2, "a4", "00A4", 0x82, 0xA4},
        {"Bank 2:-", 4, 0, "3C", "3C", 0x13, 0x3C}, // R3 of bank 2, scrolled to
    };
    for (const auto& e : edits) {
        const int entry = view->entryIndex(QString(e.label)) + e.offset;
        type(view, entry, e.digit, e.keys);
        QCOMPARE(view->valueText(entry), QString(e.shown));
        QVERIFY(!view->valueChanged(entry));
        QCOMPARE(int(e.address < 0x80 ? s.chip().iram[e.address] : s.chip().sfr(e.address)),
                 int(e.expected));
    }
    // R0-R7 are the bank PSW selects; the snapshot keeps the edit.
    s.chip().sfr(sfr::PSW) = 0x10;
    writeRegister(s.chip(), s.frame.runControl().snapshot(), bankRegister(5), 0xA5);
    QCOMPARE(int(s.chip().iram[0x15]), 0xA5);
    QCOMPARE(int(s.frame.runControl().snapshot().iram[0x15]), 0xA5);
    QTest::keyClick(view, Qt::Key_Home); // back to the top

    const int pc = view->entryIndex(u"Program Counter"), b = view->entryIndex(u"B Register"),
              sp = view->entryIndex(u"Stack Pointer"), dptr = view->entryIndex(u"Data Pointer"),
              acc = view->entryIndex(u"Accumulator");
    // "7F" at the start of SP: SP is 7F and the caret is past the field.
    type(view, sp, 0, "7F");
    QCOMPARE(int(s.chip().sfr(sfr::SP)), 0x7F);
    QCOMPARE(view->caretEntry(), dptr);
    QCOMPARE(view->caretDigit(), 0);

    const struct {
        Qt::Key key;
        int entry, digit;
    } moves[] = {
        {Qt::Key_Left, sp, 1},  {Qt::Key_Right, dptr, 0}, {Qt::Key_Home, acc, 0},
        {Qt::Key_Left, acc, 0}, {Qt::Key_Down, pc, 0},    {Qt::Key_Right, pc, 1},
        {Qt::Key_Right, pc, 2}, {Qt::Key_Right, pc, 3},   {Qt::Key_Down, b, 1},
        {Qt::Key_Up, pc, 1},
    };
    for (const auto& move : moves) {
        QTest::keyClick(view, move.key);
        QCOMPARE(view->caretEntry(), move.entry);
        QCOMPARE(view->caretDigit(), move.digit);
    }
    // End: the last register, scrolled into view; nowhere further right.
    auto* vscroll = view->findChild<QScrollBar*>("vscroll");
    const int scrolled = vscroll->value();
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caretEntry(), view->entryCount() - 1);
    QVERIFY(vscroll->value() > scrolled);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->caretDigit(), 1);

    // Edits that reach further than their value: P follows A's parity, the
    // bank shows in the status bar, SCON notifies the serial port, and PC
    // moves the program window's mark and the next step.
    QTest::keyClick(view, Qt::Key_Home);
    SconRecorder recorder;
    s.chip().events = &recorder;
    s.writeCode(0x0100, {0xFF}); // MOV R7,A
    s.frame.dispatch(id::ProgramWindow);
    ProgramView* program = s.frame.programView();
    QVERIFY(program);
    const int psw = view->entryIndex(u"Program Status Word");

    // A typed P gives way to A's parity; the bank shows in the status bar.
    type(view, psw, 0, "19");
    QCOMPARE(int(s.chip().psw()), 0x18);
    QCOMPARE(s.frame.statusText(1), QString("RB3"));
    // Three bits set in A: odd parity sets P, so PSW is now changed.
    type(view, acc, 0, "07");
    QCOMPARE(int(s.chip().psw()), 0x19);
    QVERIFY(view->valueChanged(psw) && !view->valueChanged(acc));

    type(view, view->entryIndex(u"Timer/Counter Control"), 0, "5");
    QCOMPARE(recorder.scon, 0);
    type(view, view->entryIndex(u"Serial Control"), 0, "50");
    QCOMPARE(recorder.scon, 2); // one per digit
    s.chip().events = nullptr;

    type(view, pc, 0, "0100");
    QCOMPARE(s.frame.runControl().currentAddress(), 0x0100);
    QVERIFY(!view->valueChanged(pc));
    // The program window follows: 0100 is now on its first row.
    QCOMPARE(program->top(), 0x0100);
    s.frame.dispatch(id::SingleStep);
    QCOMPARE(s.frame.runControl().currentAddress(), 0x0101);
}

// Below 48 columns the short labels take over; the caret keeps its
// register and digit through the switch. Whatever the monospace font, a run
// of text spans exactly its cells (a four-digit value keeps its last digit),
// and the scroll range reaches the end of the widest heading.
void RegisterViewTest::shortLabelsBelow48Characters() {
    StartedFrame s("Atmel 89S8252");
    RegisterView* view = s.open<RegisterView>(id::RegisterWindow, kWide);
    for (const QString& run : {QString("Special Function Registers(SFRs):"), QString("0000")})
        QVERIFY2(std::abs(QFontMetricsF(view->font()).horizontalAdvance(run) -
                          run.size() * view->charWidth()) < 0.5,
                 qPrintable(view->font().family()));
    auto* window = view->parentWidget();
    const int margin =
        view->findChild<QScrollBar*>("vscroll")->width() + window->width() - view->width();
    auto setClientColumns = [&](int columns) {
        window->resize(columns * view->charWidth() + margin, window->height());
        QTest::qWait(1);
    };
    setClientColumns(48);
    QCOMPARE(view->layout(), RegisterLayout::LongList);
    const int wmcon = view->entryIndex(u"Watchdog & Memory");
    type(view, wmcon, 1, "3");
    QTest::keyClick(view, Qt::Key_Left); // back onto WMCON's last digit

    setClientColumns(47);
    QCOMPARE(view->layout(), RegisterLayout::ShortList);
    QCOMPARE(view->entryIndex(u"WMCON:"), wmcon);
    QCOMPARE(view->valueText(wmcon), QString("03"));
    QCOMPARE(view->caretEntry(), wmcon);
    QCOMPARE(view->caretDigit(), 1);
    auto* hbar = view->findChild<QScrollBar*>("hscroll");
    QVERIFY(hbar->maximum() + hbar->pageStep() >=
            int(strlen("Special Function Registers: ")) * view->charWidth());

    setClientColumns(60);
    QCOMPARE(view->layout(), RegisterLayout::LongList);
}

// Every view of the view table is made on a context with no frame around it,
// shown, refreshed and ticked. Then driven: a register typed into reaches the
// machine and asks for the other views to follow, the memory window puts its
// caret's address on the status line and writes typed bytes, and a click in
// the program window's breakpoint column sets the breakpoint on its row.
void RegisterViewTest::viewsWithoutFrame() {
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89C52;
    selection.codeLimit = 0x1FFF;
    Machine machine;
    configureMachine(machine, selection);
    NoRunEvents events;
    DebugSession session(machine);
    RunController run(session, events);
    RecordedMessages messages;
    RecordedHost host;
    ViewContext context(machine, run, messages, host);
    SourceDebug source;
    WaveCapture wave(machine, run);
    ChipNotices notices(machine);
    ProgramDebug debug(machine);
    std::map<int, std::unique_ptr<View>> views;
    for (const ViewEntry& entry : viewTable()) {
        View* view = entry.create({context, source, wave, notices, debug});
        views[entry.command].reset(view);
        QCOMPARE(view->viewCommand(), entry.command);
        view->resize(kWide);
        view->show();
        view->refreshView();
        view->moduleTick();
    }
    QVERIFY(QTest::qWaitForWindowExposed(views[id::RegisterWindow].get()));

    auto* registers = qobject_cast<RegisterView*>(views[id::RegisterWindow].get());
    type(registers, registers->entryIndex(u"Accumulator"), 0, "3C");
    QCOMPARE(machine.chip.acc(), uint8_t(0x3C));
    QVERIFY(host.refreshes > 0);

    auto* memory = qobject_cast<MemoryView*>(views[id::InternalMemoryWindow].get());
    QTest::keyClick(memory, Qt::Key_End);
    QCOMPARE(host.status, QString("Current editing address : FF"));
    QTest::keyClick(memory, Qt::Key_Home);
    QTest::keyClicks(memory, "A5");
    QCOMPARE(machine.chip.iram[0x00], uint8_t(0xA5));
    QCOMPARE(host.status, QString("Current editing address : 01"));

    auto* program = qobject_cast<ProgramView*>(views[id::ProgramWindow].get());
    program->toggleBreakpoint(2);
    QCOMPARE(host.breakpoints.size(), size_t(1));
    QVERIFY(host.breakpoints[0].isSet());
    QCOMPARE(host.breakpoints[0].data, uint16_t(program->rowAddress(1)));
}

QTEST_MAIN(RegisterViewTest)
#include "register_view_test.moc"
