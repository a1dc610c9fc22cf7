// The three memory windows as a user works them: typing hex digits and
// characters into external data memory and reading them back from the chip,
// red bytes after a step that changed them, the go-to dialog by address
// double-click, the caret keys and mouse, the internal memory sizes of the
// devices, the EEPROM beyond its 2 KB, and the Clear View layouts.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/views/memory_view.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

class MemoryViewsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void externalTyping();
    void externalEditDuringARun();
    void programChangesAreRedUntilTheNextRefresh();
    void characterColumn();
    void addressDoubleClickGoesTo_data();
    void addressDoubleClickGoesTo();
    void caretKeys();
    void mousePlacesTheCaret();
    void internalMemory_data();
    void internalMemory();
    void eepromBeyondItsStore();
    void clearViewLayouts();

private:
    // Starts with `device` and external data memory size button `dataSize`
    // (0 none, 1 = 2K ... 6 = 64K).
    void startFrame(const char* device, int dataSize = 0);
    MemoryView* open(int command);
    // Clicks text column `column` of data row `row`.
    void click(MemoryView* view, int row, int column, bool twice = false);
    void typeInto(MemoryView* view, const char* keys) { QTest::keyClicks(view, keys); }
    // Saves a picture of `view` as `name`.png in $QUORVEL_SCREENSHOT_DIR, when set.
    void picture(MemoryView* view, const char* name) {
        const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
        if (!dir.isEmpty()) QVERIFY(view->grab().save(dir + "/" + name + ".png"));
    }

    std::unique_ptr<RecordedMessages> messages_;
    std::unique_ptr<Frame> frame_;
};

void MemoryViewsTest::init() {
    messages_ = std::make_unique<RecordedMessages>();
    frame_ = std::make_unique<Frame>(*messages_);
    frame_->show();
}

void MemoryViewsTest::cleanup() {
    frame_.reset();
    messages_.reset();
}

void MemoryViewsTest::startFrame(const char* device, int dataSize) {
    ModalAnswerer answer([&](QDialog* dialog) {
        if (dialog->objectName() == "IDM_SELECTDEVICEMEMORY1") {
            child<QRadioButton>(dialog, QString("size%1").arg(dataSize).toLatin1())->setChecked(true);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return true;
        }
        if (dialog->objectName() != "IDM_SELECTDEVICE") return false;
        auto* combo = child<QComboBox>(dialog, "device");
        combo->setCurrentIndex(combo->findText(device));
        // The data memory dialog opens from a timer of its own, so that this
        // answerer (whose timer does not fire inside its own handler) sees it.
        QTimer::singleShot(0, dialog, [dialog, dataSize] {
            if (dataSize) child<QPushButton>(dialog, "dataMemory")->click();
            child<QPushButton>(dialog, "ok")->click();
        });
        return true;
    });
    QVERIFY(frame_->startUp());
    QCOMPARE(frame_->machine().chip.hasXdata(), dataSize != 0);
}

MemoryView* MemoryViewsTest::open(int command) {
    frame_->dispatch(command);
    auto* view = qobject_cast<MemoryView*>(frame_->view(command));
    if (!view) qFatal("view %d did not open", command);
    view->parentWidget()->resize(1000, 520);
    view->setFocus();
    QCoreApplication::processEvents();
    return view;
}

void MemoryViewsTest::click(MemoryView* view, int row, int column, bool twice) {
    const bool normal = view->form() == MemoryView::Form::Normal;
    const double origin = normal ? 0 : 0.5;
    const int line = row + (normal ? 0 : 1);
    const QPoint at(int((origin + column - view->horizontalPosition()) * view->charWidth() +
                        view->charWidth() / 2),
                    line * view->lineHeight() + view->lineHeight() / 2);
    if (twice)
        QTest::mouseDClick(view, Qt::LeftButton, {}, at);
    else
        QTest::mouseClick(view, Qt::LeftButton, {}, at);
}

// Hex digits replace the digit under the caret, other characters there are
// ignored; in the character area every character but backspace and tab
// stores its code. Each edit is read back from the chip and drawn black.
void MemoryViewsTest::externalTyping() {
    startFrame("Atmel 89C52", 6);
    MemoryView* view = open(id::ExternalMemoryWindow);
    QCOMPARE(view->objectName(), QString("MdiExternalMemoryChild"));
    QCOMPARE(view->windowTitle(), QString("External Data Memory"));
    QCOMPARE(view->rowText(0).left(21), QString(" 0000    00  00  00  "));
    const ChipState& chip = frame_->machine().chip;

    const struct {
        const char* keys;
        uint16_t address;
        uint8_t value;
        int caretColumn; // afterwards
        const char* status;
    } steps[] = {
        {"A5", 0x0000, 0xA5, 13, "Current editing address : 0001"},
        {"G", 0x0001, 0x00, 13, "Current editing address : 0001"}, // not a hex digit
        {"3", 0x0001, 0x30, 14, "Current editing address : 0001"}, // high digit
        {"f", 0x0001, 0x3F, 17, "Current editing address : 0002"}, // low digit, lower case
    };
    for (const auto& s : steps) {
        typeInto(view, s.keys);
        QCOMPARE(chip.readXdata(s.address), s.value);
        QCOMPARE(view->caretColumn(), s.caretColumn);
        QCOMPARE(frame_->statusText(0), QString(s.status));
    }
    click(view, 0, 76); // character of byte 2
    QCOMPARE(view->caretArea(), MemoryView::Area::Char);
    typeInto(view, "g");
    QCOMPARE(chip.readXdata(2), uint8_t(0x67));
    QCOMPARE(view->caretColumn(), 77);
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(chip.readXdata(3), uint8_t(0x00));
    QCOMPARE(view->caretColumn(), 77);

    QCOMPARE(view->rowText(0).mid(9, 12), QString("A5  3F  67  "));
    QCOMPARE(view->rowText(0).mid(74, 4), QString(".?g."));
    QCOMPARE(view->changedMask(0), 0u);

    // Single steps snapshot exactly the bytes the window shows.
    frame_->dispatch(id::SingleStep);
    const ChangeSnapshot& snapshot = frame_->runControl().snapshot();
    QCOMPARE(snapshot.xdataStart, uint16_t(0));
    QCOMPARE(snapshot.xdata.size(), size_t(view->rows()) * 16);
    view->pageDown();
    frame_->dispatch(id::SingleStep);
    QCOMPARE(snapshot.xdataStart, uint16_t(view->rows() * 16));
}

// Typing while a program runs pauses it for the edit.
void MemoryViewsTest::externalEditDuringARun() {
    startFrame("Atmel 89C52", 6);
    {
        auto& code = frame_->machine().chip.code;
        code[0] = 0x80; // SJMP $
        code[1] = 0xFE;
    }
    MemoryView* view = open(id::ExternalMemoryWindow);
    frame_->dispatch(id::Go);
    QVERIFY(frame_->runControl().running());
    typeInto(view, "5C7");
    frame_->dispatch(id::StopExecution);
    QTRY_VERIFY(!frame_->runControl().running());
    QCOMPARE(frame_->machine().chip.readXdata(0), uint8_t(0x5C));
    QCOMPARE(frame_->machine().chip.readXdata(1), uint8_t(0x70));
}

// A byte the program wrote is red after the refresh that follows the step
// and black again after the next one.
void MemoryViewsTest::programChangesAreRedUntilTheNextRefresh() {
    startFrame("Atmel 89C52", 6);
    const uint8_t program[] = {0x90, 0x00, 0x15, // MOV DPTR,#0015H
                               0x74, 0x42,       // MOV A,#42H
                               0xF0,             // MOVX @DPTR,A
                               0x00};            // NOP
    std::copy(std::begin(program), std::end(program), frame_->machine().chip.code.begin());
    MemoryView* view = open(id::ExternalMemoryWindow);
    for (int i = 0; i < 3; ++i) frame_->dispatch(id::SingleStep);
    QCOMPARE(view->rowText(1).mid(9 + 4 * 5, 2), QString("42"));
    QCOMPARE(view->changedMask(1), 1u << 5);
    QCOMPARE(view->changedMask(0), 0u);
    picture(view, "external_memory");
    frame_->dispatch(id::SingleStep);
    QCOMPARE(view->changedMask(1), 0u);
    QCOMPARE(view->rowText(1).mid(9 + 4 * 5, 2), QString("42"));
}

void MemoryViewsTest::characterColumn() {
    startFrame("Atmel 89C52", 6);
    const struct {
        uint8_t byte;
        char shown;
    } cases[] = {{0x7F, '.'}, {0x20, ' '}, {0x1F, '.'}, {0x21, '!'}, {0x7E, '~'},
                 {0x80, '.'}, {0x00, '.'}, {0xFF, '.'}, {0x41, 'A'}};
    for (size_t i = 0; i < std::size(cases); ++i)
        frame_->machine().chip.writeXdata(uint16_t(i), cases[i].byte);
    MemoryView* view = open(id::ExternalMemoryWindow);
    const QString row = view->rowText(0);
    for (size_t i = 0; i < std::size(cases); ++i)
        QCOMPARE(row[74 + int(i)], QLatin1Char(cases[i].shown));
}

void MemoryViewsTest::addressDoubleClickGoesTo_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("startTop");
    QTest::addColumn<QString>("prefill");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("firstRow");
    QTest::newRow("external 64K") << "Atmel 89C52" << 6 << int(id::ExternalMemoryWindow) << 0
                                  << "0020" << "1234" << " 1230    ";
    // A row beyond the memory pre-fills the last row's address.
    QTest::newRow("external 2K beyond") << "Atmel 89C52" << 1 << int(id::ExternalMemoryWindow)
                                        << 0x1000 << "07F0" << "7ff" << " 07F0    ";
    QTest::newRow("EEPROM beyond") << "Atmel 89S8252" << 0 << int(id::EepromWindow) << 0x1000
                                   << "1020" << "0100" << " 0100    ";
}

void MemoryViewsTest::addressDoubleClickGoesTo() {
    QFETCH(QString, device);
    QFETCH(int, dataSize);
    QFETCH(int, command);
    QFETCH(int, startTop);
    QFETCH(QString, prefill);
    QFETCH(QString, entered);
    QFETCH(QString, firstRow);
    startFrame(device.toLatin1(), dataSize);
    MemoryView* view = open(command);
    if (startTop) view->goToAddress(uint16_t(startTop));
    QString seen;
    onNextModal([&](QDialog* dialog) {
        QCOMPARE(dialog->objectName(), QString("IDM_GETADDRESS"));
        auto* edit = child<QLineEdit>(dialog, "address");
        seen = edit->text();
        edit->setText(entered);
        child<QPushButton>(dialog, "ok")->click();
    });
    click(view, 2, 2, true);
    QCOMPARE(seen, prefill);
    const uint16_t address = uint16_t(entered.toUInt(nullptr, 16));
    QCOMPARE(view->top(), uint32_t(address & 0xFFF0));
    QCOMPARE(view->rowText(0).left(9), firstRow);
    QCOMPARE(frame_->lastAddress, address);
    QCOMPARE(view->findChild<QScrollBar*>("vscroll")->value(),
             std::min(address >> 4, view->findChild<QScrollBar*>("vscroll")->maximum()));
}

// The caret keys, one after another, with where the caret and the window
// stand after each.
void MemoryViewsTest::caretKeys() {
    startFrame("Atmel 89C52", 6);
    MemoryView* view = open(id::ExternalMemoryWindow);
    view->parentWidget()->resize(500, 400); // narrower than a row
    QCoreApplication::processEvents();
    const int rows = view->rows();
    QVERIFY(rows > 4);
    const int last = rows - 1;
    const uint32_t page = uint32_t(rows) * 16;
    const struct {
        Qt::Key key;
        int row, column;
        uint32_t top;
    } steps[] = {
        {Qt::Key_Left, 0, 9, 0},         // address 0: stays
        {Qt::Key_Up, 0, 9, 0},           // top 0: nothing
        {Qt::Key_Right, 0, 10, 0},       // second digit
        {Qt::Key_Right, 0, 13, 0},       // next byte
        {Qt::Key_Left, 0, 10, 0},        // back to the second digit of byte 0
        {Qt::Key_End, last, 70, 0},      // second digit of the last byte
        {Qt::Key_Right, last, 9, 16},    // wraps, scrolling one line
        {Qt::Key_Left, last - 1, 70, 16}, // back to the end of the row above
        {Qt::Key_Down, last, 70, 16},
        {Qt::Key_Down, last, 70, 32},    // scrolls at the last row
        {Qt::Key_Home, 0, 9, 32},
        {Qt::Key_Left, 0, 70, 16},       // scrolls up one line
        {Qt::Key_Up, 0, 70, 0},
        {Qt::Key_PageDown, 0, 70, page},
        {Qt::Key_PageUp, 0, 70, 0},
    };
    int i = 0;
    for (const auto& s : steps) {
        QTest::keyClick(view, s.key);
        const QString where = QString("step %1").arg(i++);
        QVERIFY2(view->caretRow() == s.row, qPrintable(where));
        QVERIFY2(view->caretColumn() == s.column, qPrintable(where));
        QVERIFY2(view->top() == s.top, qPrintable(where));
        // The caret's column is always scrolled into view.
        const int visible = (view->width() - view->findChild<QScrollBar*>("vscroll")->width()) /
                            view->charWidth();
        QVERIFY2(view->caretColumn() >= view->horizontalPosition() &&
                     view->caretColumn() < view->horizontalPosition() + visible,
                 qPrintable(where));
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
    for (int n = 0; n < 0x1000 / rows + 2; ++n) QTest::keyClick(view, Qt::Key_PageDown);
    QCOMPARE(view->top(), 0x10000 - page);
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caretAddress(), 0xFFFFu);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->caretAddress(), 0xFFFFu);
    QCOMPARE(view->top(), 0x10000 - page);
    QCOMPARE(frame_->statusText(0), QString("Current editing address : FFFF"));
}

void MemoryViewsTest::mousePlacesTheCaret() {
    startFrame("Atmel 89C52", 6);
    MemoryView* view = open(id::ExternalMemoryWindow);
    const struct {
        int row, column;
        int caretRow, caretColumn; // afterwards
        bool low;
    } clicks[] = {
        {1, 9, 1, 9, false},  {2, 10, 2, 10, true}, {2, 11, 2, 10, true}, // space: no move
        {0, 12, 2, 10, true}, {0, 13, 0, 13, false}, {3, 70, 3, 70, true},
        {3, 71, 3, 70, true},  {1, 74, 1, 74, false}, {1, 89, 1, 89, false},
        {2, 90, 1, 89, false}, {4, 2, 1, 89, false},  // beyond the bytes, the address
    };
    int i = 0;
    for (const auto& c : clicks) {
        click(view, c.row, c.column);
        const QString where = QString("click %1").arg(i++);
        QVERIFY2(view->caretRow() == c.caretRow, qPrintable(where));
        QVERIFY2(view->caretColumn() == c.caretColumn, qPrintable(where));
        QVERIFY2(view->lowDigit() == c.low, qPrintable(where));
    }
}

void MemoryViewsTest::internalMemory_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("usedRows");
    QTest::addColumn<int>("highest");
    QTest::newRow("AT89C1051") << "Atmel 89C1051" << 4 << 0x3F;
    QTest::newRow("AT89C2051") << "Atmel 89C2051" << 8 << 0x7F;
    QTest::newRow("AT89C52") << "Atmel 89C52" << 16 << 0xFF;
}

// The rows end at the device's highest internal address; typing stores
// straight into internal RAM and draws black, a change by the program red.
void MemoryViewsTest::internalMemory() {
    QFETCH(QString, device);
    QFETCH(int, usedRows);
    QFETCH(int, highest);
    startFrame(device.toLatin1());
    MemoryView* view = open(id::InternalMemoryWindow);
    view->parentWidget()->resize(700, 20 * view->lineHeight() + 80);
    QCoreApplication::processEvents();
    QCOMPARE(view->objectName(), QString("MdiInternalMemoryChild"));
    QCOMPARE(view->windowTitle(), QString("Internal Data Memory"));
    QCOMPARE(view->usedRows(), usedRows);
    QCOMPARE(view->rowText(usedRows - 1).left(9),
             QString::asprintf("   %02X    ", unsigned(highest & 0xF0)));
    QVERIFY(view->rowText(usedRows).isEmpty());

    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caretAddress(), uint32_t(highest));
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->caretAddress(), uint32_t(highest));
    click(view, usedRows, 9); // below the last row: no move
    QCOMPARE(view->caretAddress(), uint32_t(highest));

    click(view, 3, 9);
    QCOMPARE(frame_->statusText(0), QString("Current editing address : 30"));
    typeInto(view, "5a");
    ChipState& chip = frame_->machine().chip;
    QCOMPARE(chip.iram[0x30], uint8_t(0x5A));
    QCOMPARE(view->rowText(3).mid(9, 2), QString("5A"));
    chip.iram[0x32] = 0x77; // as the program would
    QCOMPARE(view->changedMask(3), 1u << 2);
    picture(view, QTest::currentDataTag());
    // A step brings the RAM copy up to date.
    frame_->dispatch(id::SingleStep);
    QCOMPARE(view->changedMask(3), 0u);
}

// The store is 2 KB: bytes beyond 07FF read FF and typing there changes
// nothing; the window edits the store whatever the EEPROM enable bits say.
void MemoryViewsTest::eepromBeyondItsStore() {
    startFrame("Atmel 89S8252");
    MemoryView* view = open(id::EepromWindow);
    QCOMPARE(view->objectName(), QString("MdiEEPROMChild"));
    QCOMPARE(view->windowTitle(), QString("On-Chip EEPROM"));
    ChipState& chip = frame_->machine().chip;
    QCOMPARE(chip.eeprom.size(), size_t(2048));
    typeInto(view, "12");
    QCOMPARE(chip.eeprom[0], uint8_t(0x12));

    chip.eeprom[0x7FF] = 0x5C;
    view->goToAddress(0x07F0);
    QCOMPARE(view->rowText(0).mid(9 + 4 * 15, 2), QString("5C"));
    QCOMPARE(view->rowText(1).left(13), QString(" 0800    FF  "));
    click(view, 1, 9);
    typeInto(view, "34");
    QCOMPARE(view->caretColumn(), 9); // ignored: the caret stays
    QCOMPARE(view->rowText(1).mid(9, 2), QString("FF"));

    view->goToAddress(0x1000);
    QCOMPARE(view->top(), 0x1000u);
    QCOMPARE(view->rowText(0), QString(" 1000    ") + QString("FF  ").repeated(16) + " " +
                                   QString(16, QLatin1Char('.')) + "  ");
    click(view, 0, 80);
    typeInto(view, "x");
    QCOMPARE(view->rowText(0)[80], QLatin1Char('.'));
    picture(view, "eeprom");
    QCOMPARE(chip.eeprom.size(), size_t(2048));
}

// The Clear View forms: title line, rows from line 1, the 16-byte hex and
// 32-character layouts (8 bytes for internal memory), the popup menu, and
// the byte under the caret kept across a switch.
void MemoryViewsTest::clearViewLayouts() {
    startFrame("Atmel 89C52", 6);
    ChipState& chip = frame_->machine().chip;
    for (int i = 0; i < 0x40; ++i) chip.writeXdata(uint16_t(i), uint8_t(0x41 + i % 26));
    for (int i = 0; i < 0x40; ++i) chip.iram[size_t(i)] = uint8_t(0x61 + i % 26);

    MemoryView* external = open(id::ExternalMemoryWindow);
    QCOMPARE(external->clearViewGeometry({1000, 700}), QRect(353, 300, 647, 400));
    click(external, 2, 9 + 4 * 5); // address 0025
    external->forceClearViewForm(true);
    QCOMPARE(external->form(), MemoryView::Form::ClearHex);
    QCOMPARE(external->caretAddress(), 0x25u);
    QCOMPARE(external->rowText(0).left(11), QString("0000 41 42 "));
    QCOMPARE(external->rowText(2).mid(5 + 3 * 5, 2), QString("4C"));
    QCOMPARE(external->caretColumn(), 5 + 3 * 5);
    typeInto(external, "9");
    QCOMPARE(chip.readXdata(0x25), uint8_t(0x9C));

    std::unique_ptr<QMenu> menu(external->createPopupMenu(nullptr));
    QCOMPARE(menu->objectName(), QString("EXTMEMORY"));
    QCOMPARE(menu->title(), QString("Settings"));
    QStringList items;
    for (QAction* action : menu->actions())
        items << QString("%1 %2").arg(action->text()).arg(action->data().toInt());
    QCOMPARE(items, QStringList({"Set Address 40084", "Hex Editing 40078", "ASCII Editing 40079"}));
    menu->actions()[2]->trigger(); // ASCII Editing
    QCOMPARE(external->form(), MemoryView::Form::ClearAscii);
    QCOMPARE(external->caretAddress(), 0x25u);
    QCOMPARE(external->caretRow(), 1);
    QCOMPARE(external->caretColumn(), 9 + 5);
    QCOMPARE(external->rowText(0), QString(" 0000    ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF"));
    picture(external, "external_clear_ascii");
    QCOMPARE(frame_->statusText(0), QString("Current editing address : 0025"));
    typeInto(external, "z");
    QCOMPARE(chip.readXdata(0x25), uint8_t('z'));
    // The scroll bar counts 32-byte rows.
    QCOMPARE(external->findChild<QScrollBar*>("vscroll")->maximum(),
             0xFFFF / 32 - (external->rows() - 1));
    external->command(MemoryView::kHexEditing);
    QCOMPARE(external->form(), MemoryView::Form::ClearHex);
    QCOMPARE(external->caretAddress(), 0x26u);

    MemoryView* internal = open(id::InternalMemoryWindow);
    QCOMPARE(internal->clearViewGeometry({1000, 700}), QRect(0, 300, 353, 400));
    internal->forceClearViewForm(true);
    QCOMPARE(internal->rowText(1), QString(" 08    ") + "69  6A  6B  6C  6D  6E  6F  70  ");
    QCOMPARE(internal->usedRows(), std::min(internal->rows(), 0x100 / 8));
    picture(internal, "internal_clear_hex");
    menu.reset(internal->createPopupMenu(nullptr));
    QCOMPARE(menu->title(), QString("Settings1"));
    QCOMPARE(menu->actions().size(), 2);
    internal->command(MemoryView::kAsciiEditing);
    QCOMPARE(internal->rowText(0), QString(" 00    abcdefghijklmnopqrstuvwxyzabcdef"));
    click(internal, 1, 7 + 3);
    QCOMPARE(frame_->statusText(0), QString("Current editing address : 23"));
    typeInto(internal, "Q");
    QCOMPARE(chip.iram[0x23], uint8_t('Q'));
    // Typed: black; the others were changed behind the RAM copy: red.
    QCOMPARE(internal->changedMask(1) & (1u << 3), 0u);
    QVERIFY(internal->changedMask(1) & (1u << 4));
}

QTEST_MAIN(MemoryViewsTest)
#include "memory_views_test.moc"
