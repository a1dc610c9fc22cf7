// The SFR Bit Status and Memory Bit Status windows: opened by their commands,
// red marking after a step, edits by keys and mouse (also during a run),
// bits that cannot be edited, and the per-device layouts of both forms.
#include "shell/views/memory_bit_view.h"
#include "shell/views/sfr_bit_view.h"
#include "shell_test_support.h"

#include <QtTest>

#include <algorithm>
#include <cstring>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// The values of the given bits as shown, "*" after the ones marked changed.
QString bits(BitStatusView* view, std::initializer_list<std::pair<uint8_t, int>> which) {
    QStringList shown;
    for (auto [address, bit] : which) {
        const int cell = view->cellIndex(address, bit);
        shown << (cell < 0 ? "none" : view->cellText(cell) + (view->cellChanged(cell) ? "*" : ""));
    }
    return shown.join(' ');
}

// Whether `view`'s picture has red ink in the value character of `cell`.
bool redInk(BitStatusView* view, int cell) {
    const QSize size(view->charWidth(), view->lineHeight());
    return inkCount(view->grab().toImage(), view->cellCentre(cell), size) > 0;
}

} // namespace

class BitViewsTest : public QObject {
    Q_OBJECT
  private slots:
    void stepMarksChangedBitsRed();
    void keysEditSfrBits_data();
    void keysEditSfrBits();
    void editDuringARunPausesIt();
    void memoryBitsByKeysAndClicks();
    void sfrNormalView();
    void sfrLayouts();
    void memoryLayouts();
    void clearViewTiles();
};

void BitViewsTest::stepMarksChangedBitsRed() {
    StartedFrame s;
    // MOV A,#05; SETB 01H (RAM 20H bit 1); CPL P1.0; SJMP $
    s.writeCode(0, {0x74, 0x05, 0xD2, 0x01, 0xB2, 0x90, 0x80, 0xFE});
    auto* sfr = s.open<SfrBitView>(id::SfrBitWindow);
    auto* memory = s.open<MemoryBitView>(id::MemoryBitWindow);
    // ACC.0-2 and P1.0-1; RAM 20H bits 0-1.
    const auto shown = [&] {
        return bits(sfr,
                    {{sfr::ACC, 0}, {sfr::ACC, 1}, {sfr::ACC, 2}, {sfr::P1, 0}, {sfr::P1, 1}}) +
               " | " + bits(memory, {{0x20, 0}, {0x20, 1}});
    };
    const int acc1 = sfr->cellIndex(sfr::ACC, 1), acc2 = sfr->cellIndex(sfr::ACC, 2);
    QCOMPARE(shown(), QString("0 0 0 1 1 | 0 0"));
    s.frame.dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(shown(), QString("1* 0 1* 1 1 | 0 0"));
    QVERIFY(redInk(sfr, acc2) && !redInk(sfr, acc1));
    s.frame.dispatch(id::SingleStep); // SETB 01H: A keeps its value, so it is black again
    QCOMPARE(shown(), QString("1 0 1 1 1 | 0 1*"));
    QVERIFY(!redInk(sfr, acc2));
    QVERIFY(redInk(memory, memory->cellIndex(0x20, 1)) &&
            !redInk(memory, memory->cellIndex(0x20, 0)));
    s.frame.dispatch(id::SingleStep); // CPL P1.0: the latch
    QCOMPARE(shown(), QString("1 0 1 0* 1 | 0 1"));

    // The Clear View tile draws its rows below its title line just as well.
    s.frame.dispatch(id::ClearView);
    memory = qobject_cast<MemoryBitView*>(s.frame.view(id::MemoryBitWindow));
    QVERIFY(memory);
    s.chip().iram[0x20] |= 0x04; // as the program would
    memory->refreshView();
    QVERIFY(redInk(memory, memory->cellIndex(0x20, 2)) &&
            !redInk(memory, memory->cellIndex(0x20, 1)));
}

void BitViewsTest::keysEditSfrBits_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("shown");
    // clang-format off
    QTest::newRow("space sets CY") << int(sfr::PSW) << 7 << int(Qt::Key_Space) << 0x00 << 0x80 << "1";
    QTest::newRow("space clears CY") << int(sfr::PSW) << 7 << int(Qt::Key_Space) << 0x80 << 0x00 << "0";
    QTest::newRow("1 keeps a set F0") << int(sfr::PSW) << 5 << int(Qt::Key_1) << 0x20 << 0x20 << "1";
    QTest::newRow("0 clears OV") << int(sfr::PSW) << 2 << int(Qt::Key_0) << 0x04 << 0x00 << "0";
    QTest::newRow("PSW bit 1 refuses 1") << int(sfr::PSW) << 1 << int(Qt::Key_1) << 0x00 << 0x00 << "-";
    QTest::newRow("IE bit 6 refused") << int(sfr::IE) << 6 << int(Qt::Key_1) << 0x00 << 0x00 << "-";
    QTest::newRow("T2MOD bit 2 refused") << int(sfr::T2MOD) << 2 << int(Qt::Key_Space) << 0x00 << 0x00 << "-";
    QTest::newRow("port latch P1.3") << int(sfr::P1) << 3 << int(Qt::Key_0) << 0xFF << 0xF7 << "0";
    QTest::newRow("B keeps its other bits") << int(sfr::B) << 4 << int(Qt::Key_Space) << 0xA5 << 0xB5 << "1";
    // clang-format on
}

// A click puts the caret on the bit; the key writes it, or not for a bit that
// cannot be edited. The user's own change is not marked: the snapshot holds
// the new bit.
void BitViewsTest::keysEditSfrBits() {
    QFETCH(int, address);
    QFETCH(int, bit);
    QFETCH(int, key);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(QString, shown);
    StartedFrame s;
    uint8_t& saved = s.frame.runControl().snapshot().sfrs[size_t(address - 0x80)];
    s.chip().sfr(uint8_t(address)) = saved = uint8_t(before);
    auto* view = s.open<SfrBitView>(id::SfrBitWindow);
    view->refreshView();
    const int cell = view->cellIndex(uint8_t(address), bit);
    QVERIFY(cell >= 0);
    view->setCaret(cell == 0 ? 1 : 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->cellCentre(cell));
    QCOMPARE(view->caret(), cell);
    QTest::keyClick(view, Qt::Key(key));
    QCOMPARE(int(s.chip().sfr(uint8_t(address))), after);
    QCOMPARE(view->cellText(cell), shown);
    QVERIFY(!view->cellChanged(cell));
    QCOMPARE(int(saved), after);
    QCOMPARE(view->caret(), cell); // digits do not move the caret here
}

void BitViewsTest::editDuringARunPausesIt() {
    StartedFrame s;
    s.writeCode(0, {0x80, 0xFE}); // SJMP $
    auto* view = s.open<SfrBitView>(id::SfrBitWindow);
    view->setCaret(view->cellIndex(sfr::ACC, 3));
    s.frame.dispatch(id::Go);
    QVERIFY(s.frame.runControl().running());
    QTest::keyClick(view, Qt::Key_1);
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Space); // ACC.2
    s.frame.dispatch(id::StopExecution);
    QVERIFY(!s.frame.runControl().running());
    QCOMPARE(int(s.chip().acc()), 0x0C);
    QCOMPARE(view->cellText(view->cellIndex(sfr::ACC, 3)), QString("1"));
}

void BitViewsTest::memoryBitsByKeysAndClicks() {
    StartedFrame s;
    auto* view = s.open<MemoryBitView>(id::MemoryBitWindow);
    const auto caretOn = [view](uint8_t address, int bit) {
        return view->caret() == view->cellIndex(address, bit);
    };
    QTest::mouseClick(view, Qt::LeftButton, {}, view->cellCentre(view->cellIndex(0x20, 1)));
    QVERIFY(caretOn(0x20, 1));
    // "1" and "0" move on to the next bit; space stays.
    QTest::keyClicks(view, "110");
    QVERIFY(caretOn(0x20, 4));
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(caretOn(0x20, 4));
    QCOMPARE(int(s.chip().iram[0x20]), 0x16);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(int(s.chip().iram[0x20]), 0x06);
    QCOMPARE(int(s.frame.runControl().snapshot().iram[0x20]), 0x06);
    QVERIFY(!view->cellChanged(view->cellIndex(0x20, 1)));

    // The next bit after 07 is 08, bit 0 of 21H; the last bit keeps the caret.
    view->setCaret(view->cellIndex(0x20, 7));
    QTest::keyClick(view, Qt::Key_1);
    QVERIFY(caretOn(0x21, 0));
    QTest::keyClick(view, Qt::Key_End);
    QTest::keyClick(view, Qt::Key_1);
    QVERIFY(caretOn(0x2F, 7));
    QCOMPARE(int(s.chip().iram[0x20]), 0x86);
    QCOMPARE(int(s.chip().iram[0x2F]), 0x80);
    // Up and Down go by byte in the table; Home to bit 00.
    QTest::keyClick(view, Qt::Key_Up);
    QVERIFY(caretOn(0x2E, 7));
    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClick(view, Qt::Key_Down);
    QVERIFY(caretOn(0x21, 0));
}

// Normal View: a six-line box per register, a value cell per bit; an edit
// of A brings P up to date; the last rows are reached by scrolling.
void BitViewsTest::sfrNormalView() {
    StartedFrame s("Atmel 89C2051");
    // Opened too narrow (as a stored layout may give it), it grows to show bit 0.
    auto* view = s.open<SfrBitView>(id::SfrBitWindow, QSize(200, 300));
    QVERIFY(view->width() >= (view->layout().columns + 1) * view->charWidth());
    s.chip().sfr(sfr::PSW) = 0x81;
    view->refreshView();
    // The PSW box: rows 12-17 (after the ACC and B boxes).
    QCOMPARE(view->rowText(12).trimmed(), QString("Program Status Word(PSW):-"));
    QCOMPARE(view->rowText(16), QString("│   1   │   0   │   0   │   0   │   0   │   0   │   -   │   1   │"));
    view->setCaret(view->cellIndex(sfr::ACC, 0));
    QTest::keyClick(view, Qt::Key_1);
    QCOMPARE(int(s.chip().acc()), 0x01);
    QCOMPARE(view->cellText(view->cellIndex(sfr::PSW, 0)), QString("1"));
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caret(), view->cellIndex(sfr::TCON, 0));
    QVERIFY(view->firstRow() > 0);
    const int caretRow = view->layout().cells[size_t(view->caret())].row;
    QVERIFY(caretRow < view->firstRow() + view->height() / view->lineHeight());
}

// Both forms on every device: the Normal View has a box of six rows per
// register and eight cells in each; in the Clear View the named bits stand
// three to a row, each value after its name and a colon, all editable, and
// a blank before the next name.
void BitViewsTest::sfrLayouts() {
    for (int k = 0; k < kDeviceCount; ++k) {
        const DeviceKind kind = DeviceKind(k);
        const size_t boxes = sfrBitGroups(kind).size();
        const BitGridLayout normal = sfrBitNormalLayout(kind);
        QCOMPARE(normal.rows, int(boxes) * 6 + 2);
        QCOMPARE(normal.cells.size(), boxes * 8);

        const auto entries = sfrClearViewEntries(kind);
        const BitGridLayout layout = sfrBitClearLayout(kind);
        QCOMPARE(layout.cells.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries[i].row, int(i / 3));
            QVERIFY(layout.texts[i].label && layout.cells[i].editable);
            QCOMPARE(layout.texts[i].text, QString(entries[i].entry.name) + ':');
            QCOMPARE(layout.cells[i].column, entries[i].column + int(layout.texts[i].text.size()));
            if (i % 3 != 2 && i + 1 < entries.size())
                QVERIFY2(layout.cells[i].column + 1 < entries[i + 1].column, entries[i].entry.name);
        }
    }
}

// The 128 bits of RAM 20H-2FH: in Normal View "BitNN" two rows above the
// value; in Clear View "NN:" before it, four to a row beside external data
// memory, eight without.
void BitViewsTest::memoryLayouts() {
    const BitGridLayout forms[] = {memoryBitNormalLayout(), memoryBitClearLayout(true),
                                   memoryBitClearLayout(false)};
    const int rows[] = {65, 32, 16};
    for (int f = 0; f < 3; ++f) {
        QCOMPARE(forms[f].rows, rows[f]);
        QCOMPARE(forms[f].cells.size(), size_t(128));
    }
    const struct {
        int form, bit, row, column;
    } spots[] = {{0, 0x0F, 7, 60}, {0, 0x7A, 63, 20}, {1, 0x25, 9, 9}, {2, 0x7F, 15, 45}};
    for (const auto& spot : spots) {
        const BitGridLayout& layout = forms[spot.form];
        const BitCell& cell = layout.cells[size_t(spot.bit)];
        QCOMPARE(QList<int>({cell.address, cell.bit, cell.row, cell.column}),
                 QList<int>({0x20 + spot.bit / 8, spot.bit % 8, spot.row, spot.column}));
        const bool normal = spot.form == 0;
        const QString name = QString::asprintf(normal ? "Bit%02X" : "%02X:", spot.bit);
        const int nameRow = normal ? spot.row - 2 : spot.row;
        const int nameColumn = spot.column - (normal ? 2 : 3);
        QVERIFY2(std::any_of(layout.texts.begin(), layout.texts.end(),
                             [&](const GridText& t) {
                                 return t.row == nameRow && t.column == nameColumn &&
                                        t.text == name && t.label;
                             }),
                 qPrintable(name));
    }
}

void BitViewsTest::clearViewTiles() {
    StartedFrame s;
    const QSize client(1000, 700);
    QCOMPARE(s.open<SfrBitView>(id::SfrBitWindow)->clearViewGeometry(client),
             QRect(576, 0, 424, 300));
    auto* memory = s.open<MemoryBitView>(id::MemoryBitWindow);
    QCOMPARE(memory->clearViewGeometry(client), QRect(353, 300, 647, 400));
    s.chip().allocate(s.chip().codeLimit, 0x7FF, false); // 2K of external data memory
    QCOMPARE(memory->clearViewGeometry(client), QRect(576, 0, 424, 300));
}

QTEST_MAIN(BitViewsTest)
#include "bit_views_test.moc"
