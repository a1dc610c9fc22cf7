// The SFR Bit Status and Memory Bit Status windows: opened by their commands,
// red marking after a step, edits by keys and mouse (also during a run),
// bits that cannot be edited, and the per-device layouts of both forms.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/views/memory_bit_view.h"
#include "shell/views/sfr_bit_view.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <initializer_list>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

Q_DECLARE_METATYPE(quorvel::DeviceKind)

namespace {

QString joinedHeadings(DeviceKind kind) {
    QStringList headings;
    for (const SfrBitGroup* group : sfrBitGroups(kind)) headings << group->heading;
    return headings.join('|');
}

QString joinedNames(const std::vector<PlacedSfrBit>& entries) {
    QStringList names;
    for (const PlacedSfrBit& placed : entries) names << placed.entry.name;
    return names.join(' ');
}

// Whether the painted picture has red ink in the character cell around `centre`.
bool redInk(const QImage& image, QPoint centre, int charWidth, int lineHeight) {
    for (int y = centre.y() - lineHeight / 2; y < centre.y() + lineHeight / 2; ++y)
        for (int x = centre.x() - charWidth / 2; x <= centre.x() + charWidth / 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90) return true;
        }
    return false;
}

const char* const k8052Order =
    "CY INT0 PT1 AC INT1 PT2 F0 SMOD EX0 OV EXF2 EX1 P TR0 ET0 TI TR1 ET1 RI TR2 ET2 T0 GF0 REN "
    "T1 GF1 TBE PS PX0 RDE ES PX1 IT0 EA PT0 IT1 GATE0 GATE1 T2OE DCEN";

} // namespace

class BitViewsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void stepMarksChangedBitsRed();
    void keysEditSfrBits_data();
    void keysEditSfrBits();
    void editDuringARunPausesIt();
    void memoryBitsByKeysAndClicks();
    void normalViewGroupsPerDevice_data();
    void normalViewGroupsPerDevice();
    void sfrNormalBoxes();
    void clearViewEntryLists_data();
    void clearViewEntryLists();
    void memoryLayouts_data();
    void memoryLayouts();
    void clearViewTiles();

private:
    void startFrame(const char* device = "Atmel 89C52");
    SfrBitView* sfrView();
    MemoryBitView* memoryView();
    void writeCode(uint16_t address, std::initializer_list<uint8_t> bytes);

    std::unique_ptr<RecordedMessages> messages_;
    std::unique_ptr<Frame> frame_;
};

void BitViewsTest::init() {
    messages_ = std::make_unique<RecordedMessages>();
    frame_ = std::make_unique<Frame>(*messages_);
    frame_->resize(1000, 700);
    frame_->show();
}

void BitViewsTest::cleanup() {
    frame_.reset();
    messages_.reset();
}

void BitViewsTest::startFrame(const char* device) {
    onNextModal([device](QDialog* dialog) {
        auto* combo = child<QComboBox>(dialog, "device");
        combo->setCurrentIndex(combo->findText(device));
        child<QPushButton>(dialog, "ok")->click();
    });
    QVERIFY(frame_->startUp());
}

SfrBitView* BitViewsTest::sfrView() {
    frame_->dispatch(id::SfrBitWindow);
    return qobject_cast<SfrBitView*>(frame_->view(id::SfrBitWindow));
}

MemoryBitView* BitViewsTest::memoryView() {
    frame_->dispatch(id::MemoryBitWindow);
    return qobject_cast<MemoryBitView*>(frame_->view(id::MemoryBitWindow));
}

void BitViewsTest::writeCode(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t byte : bytes) frame_->machine().chip.writeCode(address++, byte);
}

void BitViewsTest::stepMarksChangedBitsRed() {
    startFrame();
    // MOV A,#05; SETB 01H (RAM 20H bit 1); CPL P1.0; SJMP $
    writeCode(0, {0x74, 0x05, 0xD2, 0x01, 0xB2, 0x90, 0x80, 0xFE});
    SfrBitView* sfr = sfrView();
    MemoryBitView* memory = memoryView();
    QVERIFY(sfr && memory);
    QCOMPARE(sfr->objectName(), QString("MdiSfrBitStatusChild"));
    QCOMPARE(sfr->windowTitle(), QString("SFR Bit Status"));
    QCOMPARE(memory->objectName(), QString("MdiMemoryBitStatusChild"));
    QCOMPARE(memory->windowTitle(), QString("Memory Bit Status"));

    const int acc0 = sfr->cellIndex(sfr::ACC, 0), acc1 = sfr->cellIndex(sfr::ACC, 1),
              acc2 = sfr->cellIndex(sfr::ACC, 2), p10 = sfr->cellIndex(sfr::P1, 0);
    const int ram1 = memory->cellIndex(0x20, 1), ram0 = memory->cellIndex(0x20, 0);
    QVERIFY(acc0 >= 0 && acc1 >= 0 && acc2 >= 0 && p10 >= 0 && ram0 >= 0 && ram1 >= 0);
    QCOMPARE(sfr->cellText(acc0), QString("0"));
    QVERIFY(!sfr->cellChanged(acc0));

    frame_->dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(sfr->cellText(acc0), QString("1"));
    QCOMPARE(sfr->cellText(acc2), QString("1"));
    QCOMPARE(sfr->cellText(acc1), QString("0"));
    QVERIFY(sfr->cellChanged(acc0) && sfr->cellChanged(acc2));
    QVERIFY(!sfr->cellChanged(acc1));
    QVERIFY(!memory->cellChanged(ram1));
    const QImage picture = sfr->grab().toImage();
    QVERIFY(redInk(picture, sfr->cellCentre(acc2), sfr->charWidth(), sfr->lineHeight()));
    QVERIFY(!redInk(picture, sfr->cellCentre(acc1), sfr->charWidth(), sfr->lineHeight()));

    frame_->dispatch(id::SingleStep); // SETB 01H: A keeps its value, so it is black again
    QVERIFY(!sfr->cellChanged(acc0) && !sfr->cellChanged(acc2));
    QCOMPARE(sfr->cellText(acc0), QString("1"));
    QCOMPARE(memory->cellText(ram1), QString("1"));
    QVERIFY(memory->cellChanged(ram1));
    QVERIFY(!memory->cellChanged(ram0));

    // Painted red and black, as the accessors say.
    const int w = sfr->charWidth(), h = sfr->lineHeight();
    QVERIFY(!redInk(sfr->grab().toImage(), sfr->cellCentre(acc2), w, h));
    const QImage memoryPicture = memory->grab().toImage();
    QVERIFY(redInk(memoryPicture, memory->cellCentre(ram1), w, h));
    QVERIFY(!redInk(memoryPicture, memory->cellCentre(ram0), w, h));
    // Pictures of both windows on request.
    const QString shots = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QVERIFY(sfr->grab().save(shots + "/sfr_bits.png"));
        QVERIFY(memory->grab().save(shots + "/memory_bits.png"));
    }

    frame_->dispatch(id::SingleStep); // CPL P1.0: the latch
    QCOMPARE(sfr->cellText(p10), QString("0"));
    QVERIFY(sfr->cellChanged(p10));
    QVERIFY(!sfr->cellChanged(sfr->cellIndex(sfr::P1, 1)));
    QVERIFY(!memory->cellChanged(ram1));
}

void BitViewsTest::keysEditSfrBits_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("shown");

    QTest::newRow("space sets CY") << int(sfr::PSW) << 7 << int(Qt::Key_Space) << 0x00 << 0x80 << "1";
    QTest::newRow("space clears CY") << int(sfr::PSW) << 7 << int(Qt::Key_Space) << 0x80 << 0x00 << "0";
    QTest::newRow("1 sets RS0") << int(sfr::PSW) << 3 << int(Qt::Key_1) << 0x00 << 0x08 << "1";
    QTest::newRow("1 keeps a set F0") << int(sfr::PSW) << 5 << int(Qt::Key_1) << 0x20 << 0x20 << "1";
    QTest::newRow("0 clears OV") << int(sfr::PSW) << 2 << int(Qt::Key_0) << 0x04 << 0x00 << "0";
    QTest::newRow("PSW bit 1 refuses 1") << int(sfr::PSW) << 1 << int(Qt::Key_1) << 0x00 << 0x00 << "-";
    QTest::newRow("PSW bit 1 refuses space") << int(sfr::PSW) << 1 << int(Qt::Key_Space) << 0x02 << 0x02 << "-";
    QTest::newRow("IE bit 6 refused") << int(sfr::IE) << 6 << int(Qt::Key_1) << 0x00 << 0x00 << "-";
    QTest::newRow("IE EA") << int(sfr::IE) << 7 << int(Qt::Key_1) << 0x00 << 0x80 << "1";
    QTest::newRow("T2MOD bit 2 refused") << int(sfr::T2MOD) << 2 << int(Qt::Key_Space) << 0x00 << 0x00 << "-";
    QTest::newRow("T2MOD DCEN") << int(sfr::T2MOD) << 0 << int(Qt::Key_Space) << 0x00 << 0x01 << "1";
    QTest::newRow("port latch P1.3") << int(sfr::P1) << 3 << int(Qt::Key_0) << 0xFF << 0xF7 << "0";
    QTest::newRow("TMOD timer 1 gate") << int(sfr::TMOD) << 7 << int(Qt::Key_1) << 0x01 << 0x81 << "1";
    QTest::newRow("B keeps its other bits") << int(sfr::B) << 4 << int(Qt::Key_Space) << 0xA5 << 0xB5 << "1";
}

void BitViewsTest::keysEditSfrBits() {
    QFETCH(int, address);
    QFETCH(int, bit);
    QFETCH(int, key);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(QString, shown);
    startFrame();
    ChipState& chip = frame_->machine().chip;
    chip.sfr(uint8_t(address)) = uint8_t(before);
    frame_->runControl().snapshot().sfrs[size_t(address - 0x80)] = uint8_t(before);
    SfrBitView* view = sfrView();
    view->refreshView();
    const int cell = view->cellIndex(uint8_t(address), bit);
    QVERIFY(cell >= 0);

    // A click puts the caret on the value.
    view->setCaret(cell == 0 ? 1 : 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->cellCentre(cell));
    QCOMPARE(view->caret(), cell);
    QTest::keyClick(view, Qt::Key(key), {});

    QCOMPARE(int(chip.sfr(uint8_t(address))), after);
    QCOMPARE(view->cellText(cell), shown);
    // The user's own change is not marked, and the snapshot holds the new bit.
    QVERIFY(!view->cellChanged(cell));
    QCOMPARE(int(frame_->runControl().snapshot().sfrs[size_t(address - 0x80)]), after);
    QCOMPARE(view->caret(), cell); // digits do not move the caret here
}

void BitViewsTest::editDuringARunPausesIt() {
    startFrame();
    writeCode(0, {0x80, 0xFE}); // SJMP $
    SfrBitView* view = sfrView();
    const int acc3 = view->cellIndex(sfr::ACC, 3);
    view->setCaret(acc3);
    frame_->dispatch(id::Go);
    QVERIFY(frame_->runControl().running());
    QTest::keyClick(view, Qt::Key_1);
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Space); // ACC.2
    frame_->dispatch(id::StopExecution);
    QVERIFY(!frame_->runControl().running());
    QCOMPARE(int(frame_->machine().chip.acc()), 0x0C);
    QCOMPARE(view->cellText(acc3), QString("1"));
}

void BitViewsTest::memoryBitsByKeysAndClicks() {
    startFrame();
    MemoryBitView* view = memoryView();
    ChipState& chip = frame_->machine().chip;
    QTest::mouseClick(view, Qt::LeftButton, {}, view->cellCentre(view->cellIndex(0x20, 1)));
    QCOMPARE(view->caret(), view->cellIndex(0x20, 1));

    // "1" and "0" move on to the next bit; space stays.
    QTest::keyClick(view, Qt::Key_1); // bit 01
    QTest::keyClick(view, Qt::Key_1); // bit 02
    QTest::keyClick(view, Qt::Key_0); // bit 03
    QCOMPARE(view->caret(), view->cellIndex(0x20, 4));
    QTest::keyClick(view, Qt::Key_Space); // bit 04
    QCOMPARE(view->caret(), view->cellIndex(0x20, 4));
    QCOMPARE(int(chip.iram[0x20]), 0x16);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(int(chip.iram[0x20]), 0x06);
    QCOMPARE(int(frame_->runControl().snapshot().iram[0x20]), 0x06);
    QVERIFY(!view->cellChanged(view->cellIndex(0x20, 1)));

    // The next bit after 07 is 08, bit 0 of 21H; the last bit keeps the caret.
    view->setCaret(view->cellIndex(0x20, 7));
    QTest::keyClick(view, Qt::Key_1);
    QCOMPARE(view->caret(), view->cellIndex(0x21, 0));
    QTest::keyClick(view, Qt::Key_End);
    QTest::keyClick(view, Qt::Key_1);
    QCOMPARE(view->caret(), view->cellIndex(0x2F, 7));
    QCOMPARE(int(chip.iram[0x20]), 0x86);
    QCOMPARE(int(chip.iram[0x2F]), 0x80);
    QCOMPARE(view->cellText(view->cellIndex(0x2F, 7)), QString("1"));

    // Up and Down go by byte in the table; Home to bit 00.
    QTest::keyClick(view, Qt::Key_Up);
    QCOMPARE(view->caret(), view->cellIndex(0x2E, 7));
    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(view->caret(), view->cellIndex(0x21, 0));
}

void BitViewsTest::normalViewGroupsPerDevice_data() {
    QTest::addColumn<DeviceKind>("kind");
    QTest::addColumn<QString>("headings");
    const QString classic =
        "Accumulator(ACC):-|B Register(B):-|Program Status Word(PSW):-|Port 1(P1):-|"
        "Port 3(P3):-|Interrupt Priority Control Register(IP):-|"
        "Interrupt Enable Register(IE):-|Serial Port Control/Status Register(SCON):-|"
        "Timer/Counter Mode Register(TMOD):-|Timer/Counter Control/Status Register(TCON):-";
    QTest::newRow("AT89C2051") << DeviceKind::AT89C2051 << classic;
    QTest::newRow("8031") << DeviceKind::I8031 << classic;
    QTest::newRow("AT89C51")
        << DeviceKind::AT89C51
        << "Accumulator(ACC):-|B Register(B):-|Program Status Word(PSW):-|Port 0(P0):-|"
           "Port 1(P1):-|Port 2(P2):-|Port 3(P3):-|Interrupt Priority Control Register(IP):-|"
           "Interrupt Enable Register(IE):-|Serial Port Control/Status Register(SCON):-|"
           "Timer/Counter Mode Register(TMOD):-|Timer/Counter Control/Status Register(TCON):-";
    QTest::newRow("8032") << DeviceKind::I8032
                          << classic + "|Timer/Counter2 Control/Status Register(T2CON):-";
    QTest::newRow("AT89S8252")
        << DeviceKind::AT89S8252
        << "Accumulator(ACC):-|B Register(B):-|Program Status Word(PSW):-|Port 0(P0):-|"
           "Port 1(P1):-|Port 2(P2):-|Port 3(P3):-|Interrupt Priority Control Register(IP):-|"
           "Interrupt Enable Register(IE):-|Serial Port Control/Status Register(SCON):-|"
           "Timer/Counter Mode Register(TMOD):-|Timer/Counter Control/Status Register(TCON):-|"
           "Timer/Counter2 Control/Status Register(T2CON):-|"
           "Timer2 Mode Control Register(T2MOD):-|"
           "Watchdog and Memory Control Register(WMCON):-|SPI Status Register(SPSR):-|"
           "SPI Control Register(SPCR):-";
}

void BitViewsTest::normalViewGroupsPerDevice() {
    QFETCH(DeviceKind, kind);
    QFETCH(QString, headings);
    QCOMPARE(joinedHeadings(kind), headings);
    // Every box has six lines, TMOD two more; a value cell per bit.
    const auto groups = sfrBitGroups(kind);
    const BitGridLayout layout = sfrBitNormalLayout(kind);
    QCOMPARE(layout.rows, int(groups.size()) * 6 + 2);
    QCOMPARE(layout.cells.size(), groups.size() * 8);
}

void BitViewsTest::sfrNormalBoxes() {
    startFrame("Atmel 89C2051");
    SfrBitView* view = sfrView();
    ChipState& chip = frame_->machine().chip;
    chip.sfr(sfr::PSW) = 0x81;
    view->refreshView();
    // The PSW box: rows 12-17 (after the ACC and B boxes).
    QCOMPARE(view->rowText(12).trimmed(), QString("Program Status Word(PSW):-"));
    QCOMPARE(view->rowText(13), QString("┌───────┬───────┬───────┬───────┬───────┬───────┬───────┬───────┐"));
    QCOMPARE(view->rowText(14), QString("│  CY   │  AC   │  F0   │  RS1  │  RS0  │  OV   │   -   │   P   │"));
    QCOMPARE(view->rowText(15), QString("├───────┼───────┼───────┼───────┼───────┼───────┼───────┼───────┤"));
    QCOMPARE(view->rowText(16), QString("│   1   │   0   │   0   │   0   │   0   │   0   │   -   │   1   │"));
    QCOMPARE(view->rowText(17), QString("└───────┴───────┴───────┴───────┴───────┴───────┴───────┴───────┘"));
    // TMOD: the timer line over the two nibbles.
    int tmod = 0;
    while (tmod < view->layout().rows && !view->rowText(tmod).startsWith("Timer/Counter Mode")) ++tmod;
    QCOMPARE(view->rowText(tmod + 1), QString("┌───────────────────────────────┬───────────────────────────────┐"));
    QCOMPARE(view->rowText(tmod + 2), QString("│            TIMER1             │            TIMER0             │"));
    QCOMPARE(view->rowText(tmod + 3), QString("├───────┬───────┬───────┬───────┼───────┬───────┬───────┬───────┤"));
    QCOMPARE(view->rowText(tmod + 4), QString("│ GATE  │  C/T  │  M1   │  M0   │ GATE  │  C/T  │  M1   │  M0   │"));
    // An edit of A brings P up to date.
    view->setCaret(view->cellIndex(sfr::ACC, 0));
    QTest::keyClick(view, Qt::Key_1);
    QCOMPARE(int(chip.acc()), 0x01);
    QCOMPARE(view->cellText(view->cellIndex(sfr::PSW, 0)), QString("1"));
    view->setCaret(view->cellIndex(sfr::ACC, 1));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(int(chip.psw()), 0x80);
    // The last rows are reached by scrolling.
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caret(), view->cellIndex(sfr::TCON, 0));
    QVERIFY(view->firstRow() > 0);
    QVERIFY(view->layout().cells[size_t(view->caret())].row < view->firstRow() + view->height() / view->lineHeight());
}

void BitViewsTest::clearViewEntryLists_data() {
    QTest::addColumn<DeviceKind>("kind");
    QTest::addColumn<QString>("names");
    // Spot checks: entry index, SFR, bit, column, row.
    QTest::addColumn<QList<int>>("spots");

    const QString classic = "CY INT0 PT1 AC INT1 EX0 F0 SMOD EX1 OV TR0 ET0 P TR1 ET1 TI GF0 REN RI "
                            "GF1 TBE T0 PX0 RDE T1 PX1 IT0 PS PT0 IT1 GATE0 ES EA GATE1";
    QTest::newRow("AT89C2051") << DeviceKind::AT89C2051 << classic
                               << QList<int>{1, sfr::P3, 2, 10, 0, 20, sfr::SCON, 7, 18, 6, 33,
                                             sfr::TMOD, 7, 0, 11};
    QTest::newRow("AT89C1051") << DeviceKind::AT89C1051 << classic.chopped(6)
                               << QList<int>{32, sfr::IE, 7, 18, 10};
    QTest::newRow("AT89C52") << DeviceKind::AT89C52 << QString(k8052Order)
                             << QList<int>{5, sfr::IP, 5, 17, 1, 10, sfr::T2CON, 6, 9, 3, 39,
                                           sfr::T2MOD, 0, 0, 13};
    QTest::newRow("8032") << DeviceKind::I8032 << QString(k8052Order).chopped(10)
                          << QList<int>{37, sfr::TMOD, 7, 10, 12};
    QTest::newRow("AT89S8252") << DeviceKind::AT89S8252
                               << QString(k8052Order) + " DPS WDTEN EEMEN SPIE DORD MSTR"
                               << QList<int>{0, sfr::PSW, 7, 3, 0, 1, sfr::P3, 2, 10, 0, 37,
                                             sfr::TMOD, 7, 11, 12, 41, sfr::WMCON, 0, 19, 13,
                                             43, sfr::SPCR, 7, 11, 14, 45, sfr::SPCR, 4, 3, 15};
}

void BitViewsTest::clearViewEntryLists() {
    QFETCH(DeviceKind, kind);
    QFETCH(QString, names);
    QFETCH(QList<int>, spots);
    const auto entries = sfrClearViewEntries(kind);
    QCOMPARE(joinedNames(entries), names);
    for (qsizetype i = 0; i + 4 < spots.size(); i += 5) {
        const PlacedSfrBit& placed = entries.at(size_t(spots[i]));
        QCOMPARE(int(placed.entry.address), spots[i + 1]);
        QCOMPARE(int(placed.entry.bit), spots[i + 2]);
        QCOMPARE(placed.column, spots[i + 3]);
        QCOMPARE(placed.row, spots[i + 4]);
    }
    // Three to a row, in order.
    for (size_t i = 0; i < entries.size(); ++i) QCOMPARE(entries[i].row, int(i / 3));

    // The grid: the name in the label colour, the value right after it.
    const BitGridLayout layout = sfrBitClearLayout(kind);
    QCOMPARE(layout.title, QString("        SFR Bit Status         "));
    QCOMPARE(layout.cells.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        QVERIFY(layout.texts[i].label);
        QCOMPARE(layout.cells[i].column, entries[i].column + int(strlen(entries[i].entry.name)));
        QVERIFY(layout.cells[i].editable);
    }
}

void BitViewsTest::memoryLayouts_data() {
    QTest::addColumn<int>("form"); // 0 Normal View, 1 Clear View with external memory, 2 without
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("normal 00") << 0 << 0x00 << 65 << 3 << 4;
    QTest::newRow("normal 0F") << 0 << 0x0F << 65 << 7 << 60;
    QTest::newRow("normal 7A") << 0 << 0x7A << 65 << 63 << 20;
    QTest::newRow("4 per row 00") << 1 << 0x00 << 32 << 0 << 3;
    QTest::newRow("4 per row 25") << 1 << 0x25 << 32 << 9 << 9;
    QTest::newRow("4 per row 7F") << 1 << 0x7F << 32 << 31 << 21;
    QTest::newRow("8 per row 25") << 2 << 0x25 << 16 << 4 << 33;
    QTest::newRow("8 per row 7F") << 2 << 0x7F << 16 << 15 << 45;
}

void BitViewsTest::memoryLayouts() {
    QFETCH(int, form);
    QFETCH(int, bit);
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(int, column);
    const BitGridLayout layout = form == 0 ? memoryBitNormalLayout() : memoryBitClearLayout(form == 1);
    QCOMPARE(layout.rows, rows);
    QCOMPARE(layout.cells.size(), size_t(128));
    const BitCell& cell = layout.cells[size_t(bit)];
    QCOMPARE(int(cell.address), 0x20 + bit / 8);
    QCOMPARE(int(cell.bit), bit % 8);
    QCOMPARE(cell.row, row);
    QCOMPARE(cell.column, column);
    // Its name: "BitNN" above the value, or "NN:" before it.
    const QString name = form == 0 ? QString::asprintf("Bit%02X", bit) : QString::asprintf("%02X:", bit);
    const int nameRow = form == 0 ? row - 2 : row;
    const int nameColumn = form == 0 ? column - 2 : column - 3;
    const bool found = std::any_of(layout.texts.begin(), layout.texts.end(), [&](const GridText& t) {
        return t.row == nameRow && t.column == nameColumn && t.text == name && t.label;
    });
    QVERIFY2(found, qPrintable(name));
    if (form == 1) QCOMPARE(layout.title, QString("      Memory Bit Status         "));
    if (form == 2) QCOMPARE(layout.title, QString("                 Memory Bit Status                   "));
    if (form == 0) {
        QVERIFY(layout.title.isEmpty());
        QCOMPARE(layout.texts.front().text, box::top());
        QCOMPARE(layout.texts.back().text, box::bottom());
        QCOMPARE(layout.texts.back().row, 64);
    }
}

void BitViewsTest::clearViewTiles() {
    startFrame();
    const QSize client(1000, 700);
    QCOMPARE(sfrView()->clearViewGeometry(client), QRect(576, 0, 424, 300));
    MemoryBitView* memory = memoryView();
    QCOMPARE(memory->clearViewGeometry(client), QRect(353, 300, 647, 400));
    ChipState& chip = frame_->machine().chip;
    chip.allocate(chip.codeLimit, 0x7FF, false); // 2K of external data memory
    QCOMPARE(memory->clearViewGeometry(client), QRect(576, 0, 424, 300));
}

QTEST_MAIN(BitViewsTest)
#include "bit_views_test.moc"
