// The three memory windows: typing read back from the chip, red bytes after
// a step, go-to by address double-click, the caret keys and mouse, internal
// memory sizes, the EEPROM beyond its 2 KB, and the Clear View layouts.
#include "shell/views/memory_view.h"
#include "shell_test_support.h"

#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

constexpr QSize kWindow(1000, 520);

// Clicks text column `column` of data row `row`, on the widget there as the
// desktop does.
void click(MemoryView* view, int row, int column, bool twice = false) {
    const bool normal = view->form() == MemoryView::Form::Normal;
    const double x = (normal ? 0 : 0.5) + column - view->horizontalPosition();
    const QPoint at(int(x * view->charWidth() + view->charWidth() / 2),
                    (row + (normal ? 0 : 1)) * view->lineHeight() + view->lineHeight() / 2);
    QWidget* under = view->childAt(at);
    QWidget* target = under ? under : view;
    if (twice)
        QTest::mouseDClick(target, Qt::LeftButton, {}, target->mapFrom(view, at));
    else
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(view, at));
}

} // namespace

class MemoryViewsTest : public QObject {
    Q_OBJECT
  private slots:
    void externalTypingAndSteps();
    void addressDoubleClickGoesTo();
    void caretByMouseAndKeys();
    void internalMemory();
    void eepromBeyondItsStore();
    void clearViewLayouts();
};

// Hex digits replace the digit under the caret, other characters there are
// ignored; in the character area every character but backspace and tab
// stores its code. Each edit is read back from the chip and drawn black.
// The character column shows printable ASCII, "." for the rest. A byte the
// program wrote is red after the step and black after the next one; typing
// while the program runs pauses it for the edit.
void MemoryViewsTest::externalTypingAndSteps() {
    StartedFrame s("Atmel 89C52", 6);
    // MOV DPTR,#0015H; MOV A,#42H; MOVX @DPTR,A; NOP; SJMP $
    s.writeCode(0, {0x90, 0x00, 0x15, 0x74, 0x42, 0xF0, 0x00, 0x80, 0xFE});
    const uint8_t shown[] = {0x7F, 0x20, 0x1F, 0x21, 0x7E, 0x80, 0x00, 0xFF, 0x41};
    for (size_t i = 0; i < std::size(shown); ++i)
        s.chip().writeXdata(uint16_t(0x10 + i), shown[i]);
    auto* view = s.open<MemoryView>(id::ExternalMemoryWindow, kWindow);
    QCOMPARE(view->rowText(1).mid(74, 9), QString(". .!~...A"));

    const struct {
        const char* keys;
        uint16_t address;
        uint8_t value;
        int caretColumn; // afterwards
    } steps[] = {
        {"A5", 0x0000, 0xA5, 13},
        {"G", 0x0001, 0x00, 13}, // not a hex digit
        {"3", 0x0001, 0x30, 14}, // high digit
        {"f", 0x0001, 0x3F, 17}, // low digit, lower case
    };
    for (const auto& step : steps) {
        QTest::keyClicks(view, step.keys);
        QCOMPARE(s.chip().readXdata(step.address), step.value);
        QCOMPARE(view->caretColumn(), step.caretColumn);
    }
    QCOMPARE(s.frame.statusText(0), QString("Current editing address : 0002"));
    click(view, 0, 76); // character of byte 2
    QCOMPARE(view->caretArea(), MemoryView::Area::Char);
    QTest::keyClicks(view, "g");
    QCOMPARE(s.chip().readXdata(2), uint8_t(0x67));
    QCOMPARE(view->caretColumn(), 77);
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(s.chip().readXdata(3), uint8_t(0x00));
    QCOMPARE(view->caretColumn(), 77);
    QCOMPARE(view->rowText(0).mid(9, 12), QString("A5  3F  67  "));
    QCOMPARE(view->changedMask(0), 0u);

    for (int i = 0; i < 3; ++i)
        s.frame.dispatch(id::SingleStep);
    QCOMPARE(view->rowText(1).mid(9 + 4 * 5, 2), QString("42"));
    QCOMPARE(view->changedMask(1), 1u << 5);
    s.frame.dispatch(id::SingleStep); // NOP
    QCOMPARE(view->changedMask(1), 0u);

    click(view, 0, 9);
    s.frame.dispatch(id::Go);
    QVERIFY(s.frame.runControl().running());
    QTest::keyClicks(view, "5C7");
    s.frame.dispatch(id::StopExecution);
    QTRY_VERIFY(!s.frame.runControl().running());
    QCOMPARE(s.chip().readXdata(0), uint8_t(0x5C));
    QCOMPARE(s.chip().readXdata(1), uint8_t(0x7F));

    // The snapshot holds exactly the bytes the window shows, and follows it.
    const ChangeSnapshot& snapshot = s.frame.runControl().snapshot();
    QCOMPARE(snapshot.xdataStart, uint16_t(0));
    QCOMPARE(snapshot.xdata.size(), size_t(view->rows()) * 16);
    view->pageDown();
    s.frame.dispatch(id::SingleStep);
    QCOMPARE(snapshot.xdataStart, uint16_t(view->rows() * 16));
}

// The go-to dialog pre-fills the clicked row's address (the last row's when
// it lies beyond the memory) and shows the entered address's row first.
void MemoryViewsTest::addressDoubleClickGoesTo() {
    const struct {
        const char* device;
        int dataSize, command;
        uint16_t startTop;
        const char *prefill, *entered, *firstRow;
    } cases[] = {
        {"Atmel 89C52", 6, id::ExternalMemoryWindow, 0, "0020", "1234", " 1230    "},
        {"Atmel 89C52", 1, id::ExternalMemoryWindow, 0x1000, "07F0", "7ff", " 07F0    "},
        {"Atmel 89S8252", 0, id::EepromWindow, 0x1000, "1020", "0100", " 0100    "},
    };
    for (const auto& c : cases) {
        StartedFrame s(c.device, c.dataSize);
        auto* view = s.open<MemoryView>(c.command, kWindow);
        if (c.startTop) view->goToAddress(c.startTop);
        QString seen;
        onNextModal([&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QString("IDM_GETADDRESS"));
            auto* edit = child<QLineEdit>(dialog, "address");
            seen = edit->text();
            edit->setText(c.entered);
            child<QPushButton>(dialog, "ok")->click();
        });
        click(view, 2, 2, true);
        QCOMPARE(seen, QString(c.prefill));
        const uint16_t address = uint16_t(QString(c.entered).toUInt(nullptr, 16));
        QCOMPARE(view->top(), uint32_t(address & 0xFFF0));
        QCOMPARE(view->rowText(0).left(9), QString(c.firstRow));
        QCOMPARE(s.frame.viewContext().lastAddress, address);
    }
}

// Clicks, then the caret keys one after another, with where the caret and
// the window stand after each; the caret's column is always scrolled into
// view.
void MemoryViewsTest::caretByMouseAndKeys() {
    StartedFrame s("Atmel 89C52", 6);
    auto* view = s.open<MemoryView>(id::ExternalMemoryWindow, kWindow);
    const struct {
        int row, column;
        int caretRow, caretColumn; // afterwards
        bool low;
    } clicks[] = {
        // A click on either digit of a byte starts at its high digit.
        {2, 10, 2, 9, false},  {2, 11, 2, 9, false}, // space: no move
        {0, 13, 0, 13, false}, {3, 70, 3, 69, false}, {1, 89, 1, 89, false},
        {2, 90, 1, 89, false}, {4, 2, 1, 89, false}, // beyond the bytes, the address
    };
    for (int i = 0; i < int(std::size(clicks)); ++i) {
        const auto& c = clicks[i];
        click(view, c.row, c.column);
        QCOMPARE(QList<int>({i, view->caretRow(), view->caretColumn(), view->lowDigit()}),
                 QList<int>({i, c.caretRow, c.caretColumn, c.low}));
    }
    click(view, 0, 9);
    view->parentWidget()->resize(60 * view->charWidth(), 400); // narrower than a row
    QCoreApplication::processEvents();

    const int rows = view->rows(), last = rows - 1;
    QVERIFY(rows > 4);
    const uint32_t page = uint32_t(rows) * 16;
    const struct {
        Qt::Key key;
        int row, column;
        uint32_t top;
    } steps[] = {
        // At address 0 Left stays and Up does nothing; Right goes to the
        // second digit, then the next byte.
        {Qt::Key_Left, 0, 9, 0},
        {Qt::Key_Up, 0, 9, 0},
        {Qt::Key_Right, 0, 10, 0},
        {Qt::Key_Right, 0, 13, 0},
        // End: the last byte's second digit; Right wraps, scrolling one line.
        {Qt::Key_End, last, 70, 0},
        {Qt::Key_Right, last, 9, 16},
        {Qt::Key_Left, last - 1, 70, 16},
        {Qt::Key_Down, last, 70, 16},
        {Qt::Key_Home, 0, 9, 16},
        {Qt::Key_Left, 0, 70, 0}, // scrolls up one line
        {Qt::Key_PageDown, 0, 70, page},
        {Qt::Key_PageUp, 0, 70, 0},
    };
    const int visible =
        (view->width() - view->findChild<QScrollBar*>("vscroll")->width()) / view->charWidth();
    for (int i = 0; i < int(std::size(steps)); ++i) {
        QTest::keyClick(view, steps[i].key);
        const int column = view->caretColumn(), hpos = view->horizontalPosition();
        QCOMPARE(QList<qint64>({i, view->caretRow(), column, view->top()}),
                 QList<qint64>({i, steps[i].row, steps[i].column, steps[i].top}));
        QVERIFY2(column >= hpos && column < hpos + visible, qPrintable(QString::number(i)));
    }
    QVERIFY(view->horizontalPosition() > 0);
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(view->horizontalPosition(), 0); // scrolled fully left

    // The character area wraps from its last column to the next row's first.
    click(view, 0, 89);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->caretRow(), 1);
    QCOMPARE(view->caretColumn(), 74);

    // Page Down stops with the last page ending at FFFF; the caret does not
    // pass the highest byte.
    for (int n = 0; n < 0x1000 / rows + 2; ++n)
        QTest::keyClick(view, Qt::Key_PageDown);
    QCOMPARE(view->top(), 0x10000 - page);
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caretAddress(), 0xFFFFu);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->caretAddress(), 0xFFFFu);
    QCOMPARE(view->top(), 0x10000 - page);
    QCOMPARE(s.frame.statusText(0), QString("Current editing address : FFFF"));

    // A wheel notch over the rows scrolls up by the desktop's wheel lines.
    turnWheel(view, QPoint(20, 2 * view->lineHeight()), 1);
    QCOMPARE(view->top(), 0x10000 - page - 16 * uint32_t(QApplication::wheelScrollLines()));
}

// The rows end at the device's highest internal address; typing stores
// straight into internal RAM and draws black, a change by the program red.
void MemoryViewsTest::internalMemory() {
    const struct {
        const char* device;
        int usedRows, highest;
    } devices[] = {
        {"Atmel 89C1051", 4, 0x3F}, {"Atmel 89C2051", 8, 0x7F}, {"Atmel 89C52", 16, 0xFF}};
    for (const auto& d : devices) {
        StartedFrame s(d.device);
        auto* view = s.open<MemoryView>(id::InternalMemoryWindow, kWindow);
        view->parentWidget()->resize(700, 20 * view->lineHeight() + 80);
        QCoreApplication::processEvents();
        QCOMPARE(view->usedRows(), d.usedRows);
        QCOMPARE(view->rowText(d.usedRows - 1).left(9),
                 QString::asprintf("   %02X    ", unsigned(d.highest & 0xF0)));
        QVERIFY(view->rowText(d.usedRows).isEmpty());

        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->caretAddress(), uint32_t(d.highest));
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Right);
        click(view, d.usedRows, 9); // below the last row: no move
        QCOMPARE(view->caretAddress(), uint32_t(d.highest));

        click(view, 3, 9);
        QCOMPARE(s.frame.statusText(0), QString("Current editing address : 30"));
        QTest::keyClicks(view, "5a");
        QCOMPARE(s.chip().iram[0x30], uint8_t(0x5A));
        QCOMPARE(view->rowText(3).mid(9, 2), QString("5A"));
        click(view, 2, 10); // the low digit of 20H: typing still fills whole bytes
        QTest::keyClicks(view, "ABCD");
        QCOMPARE(QList<int>({s.chip().iram[0x20], s.chip().iram[0x21]}), QList<int>({0xAB, 0xCD}));
        s.chip().iram[0x32] = 0x77; // as the program would
        QCOMPARE(view->changedMask(3), 1u << 2);
        s.frame.dispatch(id::SingleStep); // brings the RAM copy up to date
        QCOMPARE(view->changedMask(3), 0u);
    }
}

// The store is 2 KB: bytes beyond 07FF read FF and typing there changes
// nothing; the window edits the store whatever the EEPROM enable bits say.
void MemoryViewsTest::eepromBeyondItsStore() {
    StartedFrame s("Atmel 89S8252");
    auto* view = s.open<MemoryView>(id::EepromWindow, kWindow);
    auto& chip = s.chip();
    QTest::keyClicks(view, "12");
    QCOMPARE(chip.eeprom[0], uint8_t(0x12));

    chip.eeprom[0x7FF] = 0x5C;
    view->goToAddress(0x07F0);
    QCOMPARE(view->rowText(0).mid(9 + 4 * 15, 2), QString("5C"));
    click(view, 1, 9);
    QTest::keyClicks(view, "34");
    QCOMPARE(view->caretColumn(), 9); // ignored: the caret stays
    QCOMPARE(view->rowText(1).mid(9, 2), QString("FF"));

    view->goToAddress(0x1000);
    QCOMPARE(view->rowText(0).left(13), QString(" 1000    FF  "));
    click(view, 0, 80);
    QTest::keyClicks(view, "x");
    QCOMPARE(view->rowText(0)[80], QLatin1Char('.'));
    QCOMPARE(chip.eeprom.size(), size_t(2048));
}

// The Clear View forms: title line, rows from line 1, the 16-byte hex and
// 32-character layouts (8 bytes for internal memory), the popup menu, and
// the byte under the caret kept across a switch.
void MemoryViewsTest::clearViewLayouts() {
    StartedFrame s("Atmel 89C52", 6);
    auto& chip = s.chip();
    for (int i = 0; i < 0x40; ++i)
        chip.writeXdata(uint16_t(i), uint8_t(0x41 + i % 26));
    for (int i = 0; i < 0x40; ++i)
        chip.iram[size_t(i)] = uint8_t(0x61 + i % 26);

    auto* external = s.open<MemoryView>(id::ExternalMemoryWindow, kWindow);
    QCOMPARE(external->clearViewGeometry({1000, 700}), QRect(353, 300, 647, 400));
    click(external, 2, 9 + 4 * 5); // address 0025
    external->forceClearViewForm(true);
    QCOMPARE(external->caretAddress(), 0x25u);
    QCOMPARE(external->rowText(2).mid(5 + 3 * 5, 2), QString("4C"));
    QCOMPARE(external->caretColumn(), 5 + 3 * 5);
    QTest::keyClicks(external, "9");
    QCOMPARE(chip.readXdata(0x25), uint8_t(0x9C));

    std::unique_ptr<QMenu> menu(external->createPopupMenu(nullptr));
    QCOMPARE(menu->actions().size(), 3);
    menu->actions()[2]->trigger(); // ASCII Editing
    QCOMPARE(external->caretRow(), 1);
    QCOMPARE(external->caretColumn(), 9 + 5);
    QCOMPARE(external->rowText(0), QString(" 0000    ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF"));
    QTest::keyClicks(external, "z");
    QCOMPARE(chip.readXdata(0x25), uint8_t('z'));
    // The scroll bar counts 32-byte rows.
    QCOMPARE(external->findChild<QScrollBar*>("vscroll")->maximum(),
             0xFFFF / 32 - (external->rows() - 1));
    external->command(MemoryView::kHexEditing);
    QCOMPARE(external->form(), MemoryView::Form::ClearHex);
    QCOMPARE(external->caretAddress(), 0x26u);

    auto* internal = s.open<MemoryView>(id::InternalMemoryWindow, kWindow);
    QCOMPARE(internal->clearViewGeometry({1000, 700}), QRect(0, 300, 353, 400));
    internal->forceClearViewForm(true);
    QCOMPARE(internal->rowText(1), QString(" 08    ") + "69  6A  6B  6C  6D  6E  6F  70  ");
    internal->command(MemoryView::kAsciiEditing);
    QCOMPARE(internal->rowText(0), QString(" 00    abcdefghijklmnopqrstuvwxyzabcdef"));
    click(internal, 1, 7 + 3);
    QTest::keyClicks(internal, "Q");
    QCOMPARE(chip.iram[0x23], uint8_t('Q'));
    // Typed: black; the others were changed behind the RAM copy: red.
    QCOMPARE(internal->changedMask(1) & (1u << 3), 0u);
    QVERIFY(internal->changedMask(1) & (1u << 4));
}

QTEST_MAIN(MemoryViewsTest)
#include "memory_views_test.moc"
