// The register window: each device's registers and their Clear View grid,
// red values after a step, typing into values and what an edit moves along,
// the caret's moves, and the short labels of a narrow window.
#include "chip/chip_events.h"
#include "shell/program_view.h"
#include "shell/views/register_view.h"
#include "shell_test_support.h"

#include <QScrollBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

Q_DECLARE_METATYPE(quorvel::DeviceKind)

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
    void layoutsPerDevice_data();
    void layoutsPerDevice();
    void gridPlacesAndNeighbours();
    void stepShowsChangesInRed();
    void typingAndCaretMoves();
    void shortLabelsBelow48Characters();
};

void RegisterViewTest::layoutsPerDevice_data() {
    QTest::addColumn<DeviceKind>("kind");
    QTest::addColumn<QString>("registers");
    const QString a = "ACC PC B PSW SP DPTR ", b = "IP IE TMOD TCON ", t = "TH0 TL0 TH1 TL1 ";
    const QString c20 = a + "P1 P3 " + b + t + "SCON PCON";
    const QString c52 = a + "P0 P1 P2 P3 " + b + "T2CON T2MOD " + t + "TH2 TL2 RCAP2 SCON PCON";
    const QString s = "ACC PC B PSW SP DPTR0 DPTR1 P0 P1 P2 P3 " + b + "T2CON T2MOD " + t +
                      "TH2 TL2 RCAP2 SCON PCON SPCR SPDR SPSR WMCON";
    QTest::newRow("AT89C1051") << DeviceKind::AT89C1051 << a + "P1 P3 " + b + "TH0 TL0 PCON";
    QTest::newRow("AT89C2051") << DeviceKind::AT89C2051 << c20;
    QTest::newRow("AT89C4051") << DeviceKind::AT89C4051 << c20;
    QTest::newRow("8031") << DeviceKind::I8031 << c20;
    QTest::newRow("AT89C51") << DeviceKind::AT89C51 << a + "P0 P1 P2 P3 " + b + t + "SCON PCON";
    QTest::newRow("AT89C52") << DeviceKind::AT89C52 << c52;
    QTest::newRow("AT89C55") << DeviceKind::AT89C55 << c52;
    QTest::newRow("8032") << DeviceKind::I8032
                          << a + "P1 P3 " + b + "T2CON " + t + "TH2 TL2 RCAP2 SCON PCON";
    QTest::newRow("AT89S53") << DeviceKind::AT89S53 << s;
    QTest::newRow("AT89S8252") << DeviceKind::AT89S8252 << s;
}

// The list: the device's SFRs in order, then the four banks; long and short
// labels name the same registers, each long value label 43 characters and
// each short one 6, so the values line up. The grid holds the same registers
// (R0-R7 for the banks), no two overlapping on a row, all within the tile's
// 27 columns and the rows below the title.
void RegisterViewTest::layoutsPerDevice() {
    QFETCH(DeviceKind, kind);
    QFETCH(QString, registers);
    const auto shortList = registerLayout(kind, RegisterLayout::ShortList);
    const auto longList = registerLayout(kind, RegisterLayout::LongList);
    QCOMPARE(shortList.size(), longList.size());
    QStringList sfrs;
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
            QCOMPARE(int(s.reg.address), ramAddress++); // banks 0-3 in address order
        } else {
            QCOMPARE(ramAddress, 0); // no SFR after the banks
            sfrs << nameOf(s);
        }
    }
    QCOMPARE(sfrs.join(' '), registers);
    QCOMPARE(ramAddress, 32);

    const auto grid = registerLayout(kind, RegisterLayout::Grid);
    QStringList gridNames, listNames = sfrs + QString("R0 R1 R2 R3 R4 R5 R6 R7").split(' ');
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

// Places of the grid entries that differ most between the devices, and the
// entry Up and Down go to from a digit.
void RegisterViewTest::gridPlacesAndNeighbours() {
    const struct {
        DeviceKind kind;
        const char* places; // label:column,row ...
    } devices[] = {
        {DeviceKind::AT89C52, "B:1,1 ACC:7,1 TMOD:18,1 P0:0,2 P3:0,5 T2CON:17,5 R0:0,6 SP:20,7 "
                              "IP:8,9 PC:8,11 DPTR:8,12 R7:0,13 RCAP2:7,13"},
        {DeviceKind::AT89S8252, "ACC:7,1 SPCR:18,7 SPDR:18,8 SPSR:18,9 WMCON:17,10 SP:8,11 "
                                "RCAP2:15,11 R6:0,12 R7:8,12 DPTR0:15,12 PC:0,13 DPTR1:15,13"},
        {DeviceKind::AT89C1051, "PCON:18,3 IP :8,5 IE :8,6 SP:9,7 PC:9,8 DPTR:8,9 R7:0,11"},
        {DeviceKind::I8032, "T2CON:17,5 SP:20,6 TH2:8,7 PC:9,11 R7:0,11 DPTR:0,12 RCAP2:0,13"},
    };
    // Labels may hold a space ("IP :"): match the places, not the words.
    static const QRegularExpression place("([A-Z0-9]+ ?:)(\\d+),(\\d+)");
    for (const auto& d : devices) {
        const auto grid = registerLayout(d.kind, RegisterLayout::Grid);
        QStringList found, wanted;
        for (auto it = place.globalMatch(d.places); it.hasNext();) {
            const auto m = it.next();
            wanted << m.captured(0);
            if (const int i = gridIndex(grid, m.captured(1)); i >= 0)
                found << QString("%1%2,%3").arg(grid[i].label).arg(grid[i].column).arg(grid[i].row);
        }
        QCOMPARE(found, wanted);
    }

    const struct {
        DeviceKind kind;
        const char* from;
        int digit, direction;
        const char* to; // empty: nowhere to go
    } moves[] = {
        {DeviceKind::AT89C52, "ACC:", 0, 1, "PSW:"},
        {DeviceKind::AT89C52, "TMOD:", 1, 1, "TCON:"},
        {DeviceKind::AT89C52, "B:", 0, -1, ""},
        {DeviceKind::AT89C52, "SP:", 0, 1, "TL2:"},
        {DeviceKind::AT89C52, "R7:", 0, 1, ""},
        {DeviceKind::AT89S8252, "PC:", 3, -1, "R6:"},
        {DeviceKind::I8031, "R7:", 0, -1, "R6:"},
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
    QCOMPARE(view->windowTitle(), QString("Registers"));
    QCOMPARE(view->layout(), RegisterLayout::LongList);
    QCOMPARE(view->clearViewGeometry(QSize(1000, 600)), QRect(353, 0, 223, 300));
    const int acc = view->entryIndex(u"Accumulator"), pc = view->entryIndex(u"Program Counter"),
              sp = view->entryIndex(u"Stack Pointer"), b = view->entryIndex(u"B Register");
    // ACC, SP, PC and B as shown, "*" after the ones marked changed.
    const auto values = [&] {
        QStringList shown;
        for (int e : {acc, sp, pc, b})
            shown << view->valueText(e) + (view->valueChanged(e) ? "*" : "");
        return shown.join(' ');
    };
    QCOMPARE(values(), QString("00 07 0000 00"));
    s.frame.dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(values(), QString("05* 07 0002* 00"));
    s.frame.dispatch(id::SingleStep); // LCALL 0010: ACC stays, SP grows by 2
    QCOMPARE(values(), QString("05 09* 0010* 00"));

    // As painted: red in SP's value cell, black in ACC's; the caret inverts
    // the digit under it.
    s.frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.frame));
    QTest::mouseClick(view, Qt::LeftButton, {}, view->digitPoint(sp, 1));
    QVERIFY(view->hasFocus());
    const QImage image = view->grab().toImage();
    const QSize cell(view->charWidth(), view->lineHeight());
    QVERIFY(inkCount(image, view->digitPoint(sp, 0), cell) > 0);
    QCOMPARE(inkCount(image, view->digitPoint(acc, 0), cell), 0);
    QVERIFY(inkCount(image, view->digitPoint(acc, 0), cell, true) > 0);
    QVERIFY(inkCount(image, view->digitPoint(sp, 1), cell) > cell.width() * cell.height() / 2);
}

// A digit replaces the nibble under the caret and is written at once; the
// edited value is not shown as changed. Bank registers go to the bank PSW
// selects. Then the caret's moves between the fields, and edits with
// effects beyond their value.
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
        {"Accumulator", 0, 0, "05", "05", 0xE0, 0x05},
        {"Accumulator", 0, 0, "g x5", "55", 0xE0, 0x55}, // other keys are ignored
        {"B Register", 0, 1, "c", "0C", 0xF0, 0x0C},     // the low nibble only
        {"Port 1", 0, 1, "0", "F0", 0x90, 0xF0},
        {"Data Pointer", 0, 0, "12", "1200", 0x83, 0x12},
        {"Data Pointer", 0, 2, "a4", "12A4", 0x82, 0xA4},
        {"Timer/Counter2 Capture", 0, 2, "7", "0070", 0xCA, 0x70},
        {"Timer/Counter0-High", 0, 0, "FF", "FF", 0x8C, 0xFF},
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
    // The grid's R0-R7 are the bank PSW selects; the snapshot keeps the edit.
    s.chip().sfr(sfr::PSW) = 0x10;
    writeRegister(s.chip(), s.frame.runControl().snapshot(), bankRegister(5), 0xA5);
    QCOMPARE(int(s.chip().iram[0x15]), 0xA5);
    QCOMPARE(int(s.frame.runControl().snapshot().iram[0x15]), 0xA5);
    QCOMPARE(int(s.chip().iram[0x05]), 0);
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
        {Qt::Key_Left, sp, 1},  {Qt::Key_Right, dptr, 0}, {Qt::Key_Right, dptr, 1},
        {Qt::Key_Up, sp, 1},    {Qt::Key_Home, acc, 0},   {Qt::Key_Left, acc, 0},
        {Qt::Key_Down, pc, 0},  {Qt::Key_Right, pc, 1},   {Qt::Key_Right, pc, 2},
        {Qt::Key_Right, pc, 3}, {Qt::Key_Down, b, 1},     {Qt::Key_Up, pc, 1},
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
    QVERIFY(view->rect().contains(view->digitPoint(view->caretEntry(), 0)));
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->caretEntry(), view->entryCount() - 1);
    QCOMPARE(view->caretDigit(), 1);
    // A click off the values leaves the caret.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(view->caretEntry(), view->entryCount() - 1);

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
    QCOMPARE(program->top(), 0);
    const int psw = view->entryIndex(u"Program Status Word");

    // A typed P gives way to A's parity; the bank shows in the status bar.
    type(view, psw, 0, "19");
    QCOMPARE(int(s.chip().psw()), 0x18);
    QCOMPARE(view->valueText(psw), QString("18"));
    QVERIFY(!view->valueChanged(psw));
    QCOMPARE(s.frame.statusText(1), QString("RB3"));
    // Three bits set in A: odd parity sets P, so PSW is now changed.
    type(view, acc, 0, "07");
    QCOMPARE(int(s.chip().acc()), 0x07);
    QCOMPARE(int(s.chip().psw()), 0x19);
    QCOMPARE(view->valueText(psw), QString("19"));
    QVERIFY(view->valueChanged(psw) && !view->valueChanged(acc));

    type(view, view->entryIndex(u"Timer/Counter Control"), 0, "5");
    QCOMPARE(recorder.scon, 0);
    type(view, view->entryIndex(u"Serial Control"), 0, "50");
    QCOMPARE(recorder.scon, 2); // one per digit
    QCOMPARE(int(s.chip().sfr(sfr::SCON)), 0x50);
    s.chip().events = nullptr;

    type(view, pc, 0, "0100");
    QCOMPARE(s.frame.runControl().currentAddress(), 0x0100);
    QCOMPARE(s.chip().pc, 0x0100);
    QCOMPARE(view->valueText(pc), QString("0100"));
    QVERIFY(!view->valueChanged(pc));
    // The program window follows: 0100 is now on its first row.
    QCOMPARE(program->top(), 0x0100);
    QVERIFY2(program->rowText(1).startsWith("  0100"), qPrintable(program->rowText(1)));
    s.frame.dispatch(id::SingleStep);
    QCOMPARE(s.frame.runControl().currentAddress(), 0x0101);
}

void RegisterViewTest::shortLabelsBelow48Characters() {
    StartedFrame s("Atmel 89S8252");
    RegisterView* view = s.open<RegisterView>(id::RegisterWindow, kWide);
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
    // The caret stays on its register and digit.
    QCOMPARE(view->caretEntry(), wmcon);
    QCOMPARE(view->caretDigit(), 1);
    QCOMPARE(view->entry(view->entryIndex(u"DPTR1:")).reg, sfrPair(sfr::DP1H, sfr::DP1L));

    setClientColumns(60);
    QCOMPARE(view->layout(), RegisterLayout::LongList);
}

QTEST_MAIN(RegisterViewTest)
#include "register_view_test.moc"
