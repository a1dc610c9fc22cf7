// The register window: which registers each device lists and where the
// Clear View grid puts them, red values after a step, typing into values
// (nibbles, 16-bit halves, register banks, P after ACC, PC moving the
// program window), the caret's moves, and the short labels of a narrow
// window.
#include "chip/chip_events.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/views/register_view.h"
#include "shell_test_support.h"

#include <QComboBox>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <set>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

Q_DECLARE_METATYPE(quorvel::DeviceKind)

namespace {

// 0000: MOV A,#05       0002: LCALL 0010     0005: INC A        0006: MOV 30H,A
// 0008: SJMP 0008       0010: MOV R7,#09     0012: RET
constexpr const char* kProgramHex = ":10000000740512001004F53080FE000000000000AE\r\n"
                                    ":030010007F092243\r\n"
                                    ":00000001FF\r\n";

// The register a label names, as the short list and the grid call it.
QString nameOf(const RegisterEntry& e) {
    QString label = QString::fromLatin1(e.label);
    return label.left(label.indexOf(':')).trimmed();
}

// Counts the SCON notices an edit sends.
struct SconRecorder : ChipEvents {
    int scon = 0;
    void sconWritten() override { ++scon; }
};

} // namespace

class RegisterViewTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void listRowsPerDevice_data();
    void listRowsPerDevice();
    void gridPerDevice_data();
    void gridPerDevice();
    void gridPlaces_data();
    void gridPlaces();
    void gridUpAndDown_data();
    void gridUpAndDown();
    void stepShowsChangesInRed();
    void typingWritesRegisters_data();
    void typingWritesRegisters();
    void pswAndAccEditsKeepParityAndBank();
    void caretMovesBetweenFields();
    void editingPcMovesProgramMark();
    void sconEditIsReported();
    void bankRegisterFollowsPsw();
    void shortLabelsBelow48Characters();

  private:
    void startFrame(const char* device = "Atmel 89C52");
    void loadProgram();
    RegisterView* openView();
    void type(RegisterView* view, int entry, int digit, const QString& keys);

    QTemporaryDir dir_;
    std::unique_ptr<RecordedMessages> messages_;
    std::unique_ptr<Frame> frame_;
};

void RegisterViewTest::init() {
    messages_ = std::make_unique<RecordedMessages>();
    frame_ = std::make_unique<Frame>(*messages_);
    frame_->resize(1000, 700);
    frame_->show();
}

void RegisterViewTest::cleanup() {
    frame_.reset();
    messages_.reset();
}

void RegisterViewTest::startFrame(const char* device) {
    onNextModal([device](QDialog* dialog) {
        auto* combo = child<QComboBox>(dialog, "device");
        combo->setCurrentIndex(combo->findText(device));
        child<QPushButton>(dialog, "ok")->click();
    });
    QVERIFY(frame_->startUp());
}

void RegisterViewTest::loadProgram() {
    QString path = dir_.filePath("prog.hex");
    std::ofstream(path.toStdString(), std::ios::binary) << kProgramHex;
    messages_->fileAnswers.push_back(path);
    ModalAnswerer answer([](QDialog* d) {
        if (d->objectName() != "IDM_FILELOADINGDETAILS") return false;
        d->accept();
        return true;
    });
    frame_->dispatch(id::LoadProgram);
}

RegisterView* RegisterViewTest::openView() {
    frame_->dispatch(id::RegisterWindow);
    auto* view = qobject_cast<RegisterView*>(frame_->view(id::RegisterWindow));
    if (!view) qFatal("no register view");
    auto* window = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    window->resize(460, 560); // wide enough for the long labels
    QTest::qWait(1);
    return view;
}

// Clicks digit `digit` of entry `entry` and types `keys`.
void RegisterViewTest::type(RegisterView* view, int entry, int digit, const QString& keys) {
    QVERIFY(entry >= 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->digitPoint(entry, digit));
    QCOMPARE(view->caretEntry(), entry);
    QCOMPARE(view->caretDigit(), digit);
    QTest::keyClicks(view, keys);
}

// ------------------------------------------------------------ the tables

void RegisterViewTest::listRowsPerDevice_data() {
    QTest::addColumn<DeviceKind>("kind");
    QTest::addColumn<QString>("registers");
    const QString common = "ACC PC B PSW SP DPTR ";
    QTest::newRow("AT89C1051") << DeviceKind::AT89C1051
                               << common + "P1 P3 IP IE TMOD TCON TH0 TL0 PCON";
    QTest::newRow("AT89C2051") << DeviceKind::AT89C2051
                               << common + "P1 P3 IP IE TMOD TCON TH0 TL0 TH1 TL1 SCON PCON";
    QTest::newRow("8031") << DeviceKind::I8031
                          << common + "P1 P3 IP IE TMOD TCON TH0 TL0 TH1 TL1 SCON PCON";
    QTest::newRow("AT89C51") << DeviceKind::AT89C51
                             << common + "P0 P1 P2 P3 IP IE TMOD TCON TH0 TL0 TH1 TL1 SCON PCON";
    QTest::newRow("AT89C55")
        << DeviceKind::AT89C55
        << common + "P0 P1 P2 P3 IP IE TMOD TCON T2CON T2MOD TH0 TL0 TH1 TL1 TH2 TL2 "
                    "RCAP2 SCON PCON";
    QTest::newRow("8032")
        << DeviceKind::I8032
        << common + "P1 P3 IP IE TMOD TCON T2CON TH0 TL0 TH1 TL1 TH2 TL2 RCAP2 SCON PCON";
    QTest::newRow("AT89S8252")
        << DeviceKind::AT89S8252
        << "ACC PC B PSW SP DPTR0 DPTR1 P0 P1 P2 P3 IP IE TMOD TCON T2CON T2MOD TH0 "
           "TL0 TH1 TL1 TH2 TL2 RCAP2 SCON PCON SPCR SPDR SPSR WMCON";
}

// The list: the device's SFRs in order, then the four banks; long and short
// labels name the same registers, each long value label 43 characters and
// each short one 6, so the values line up.
void RegisterViewTest::listRowsPerDevice() {
    QFETCH(DeviceKind, kind);
    QFETCH(QString, registers);
    const auto shortList = registerLayout(kind, RegisterLayout::ShortList);
    const auto longList = registerLayout(kind, RegisterLayout::LongList);
    QCOMPARE(shortList.size(), longList.size());

    QStringList sfrs;
    int ramAddress = 0;
    for (size_t i = 0; i < shortList.size(); ++i) {
        const RegisterEntry& s = shortList[i];
        const RegisterEntry& l = longList[i];
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
    QCOMPARE(QString(shortList.front().label), QString("Special Function Registers: "));
    QCOMPARE(QString(longList.front().label), QString("Special Function Registers(SFRs):"));
    const size_t banks = size_t(sfrs.size()) + 2;
    QCOMPARE(QString(longList[banks - 1].label), QString("General Purpose Registers:"));
    QCOMPARE(QString(longList[banks].label), QString("Bank 0:-"));
    QCOMPARE(QString(longList[banks + 27].label), QString("Bank 3:-"));
    QCOMPARE(QString(longList.back().label),
             QString("Register 7(R7):............................"));
}

void RegisterViewTest::gridPerDevice_data() {
    QTest::addColumn<DeviceKind>("kind");
    for (int k = 0; k < kDeviceCount; ++k) {
        const auto kind = DeviceKind(k);
        QTest::newRow(deviceInfo(kind).captionName) << kind;
    }
}

// The grid holds the same registers as the list (R0-R7 for the banks), one
// entry per register, no two overlapping on a row, all within the tile's
// 27 columns and the rows below the title.
void RegisterViewTest::gridPerDevice() {
    QFETCH(DeviceKind, kind);
    const auto grid = registerLayout(kind, RegisterLayout::Grid);
    std::multiset<QString> gridNames, listNames;
    for (const RegisterEntry& e : grid)
        gridNames.insert(nameOf(e));
    for (const RegisterEntry& e : registerLayout(kind, RegisterLayout::ShortList))
        if (!e.heading && e.reg.kind != RegisterKind::Ram) listNames.insert(nameOf(e));
    for (int n = 0; n < 8; ++n)
        listNames.insert(QString("R%1").arg(n));
    QCOMPARE(QStringList(gridNames.begin(), gridNames.end()),
             QStringList(listNames.begin(), listNames.end()));

    for (size_t i = 0; i < grid.size(); ++i) {
        const RegisterEntry& a = grid[i];
        const int aEnd = a.column + 1 + int(strlen(a.label)) + a.reg.digits();
        QVERIFY2(a.row >= 1 && a.row <= 13, a.label);
        QVERIFY2(aEnd <= 27, a.label);
        if (nameOf(a).startsWith('R') && nameOf(a).size() == 2)
            QCOMPARE(a.reg, bankRegister(uint8_t(nameOf(a)[1].digitValue())));
        for (size_t j = i + 1; j < grid.size(); ++j) {
            const RegisterEntry& b = grid[j];
            const int bEnd = b.column + 1 + int(strlen(b.label)) + b.reg.digits();
            QVERIFY2(a.row != b.row || aEnd <= b.column + 1 || bEnd <= a.column + 1,
                     qPrintable(QString("%1 overlaps %2").arg(a.label, b.label)));
        }
    }
}

void RegisterViewTest::gridPlaces_data() {
    QTest::addColumn<DeviceKind>("kind");
    QTest::addColumn<QString>("places"); // label:column,row ...
    QTest::newRow("AT89C52")
        << DeviceKind::AT89C52
        << "B:1,1 ACC:7,1 TMOD:18,1 P0:0,2 P3:0,5 T2CON:17,5 R0:0,6 SP:20,7 IP:8,9 "
           "PC:8,11 DPTR:8,12 R7:0,13 RCAP2:7,13";
    QTest::newRow("AT89S8252")
        << DeviceKind::AT89S8252
        << "ACC:7,1 SPCR:18,7 SPDR:18,8 SPSR:18,9 WMCON:17,10 SP:8,11 RCAP2:15,11 "
           "R6:0,12 R7:8,12 DPTR0:15,12 PC:0,13 DPTR1:15,13";
    QTest::newRow("AT89C1051") << DeviceKind::AT89C1051
                               << "PCON:18,3 IP :8,5 IE :8,6 SP:9,7 PC:9,8 DPTR:8,9 R7:0,11";
    QTest::newRow("8032") << DeviceKind::I8032
                          << "T2CON:17,5 SP:20,6 TH2:8,7 PC:9,11 R7:0,11 DPTR:0,12 RCAP2:0,13";
}

// Places of the grid entries that differ most between the devices.
void RegisterViewTest::gridPlaces() {
    QFETCH(DeviceKind, kind);
    QFETCH(QString, places);
    QStringList found;
    QStringList wanted;
    const auto grid = registerLayout(kind, RegisterLayout::Grid);
    // Labels may hold a space ("IP :"): match the places, not the words.
    static const QRegularExpression place("([A-Z0-9]+ ?:)(\\d+),(\\d+)");
    for (auto it = place.globalMatch(places); it.hasNext();) {
        const auto m = it.next();
        const QString label = m.captured(1);
        wanted << m.captured(0);
        for (const RegisterEntry& e : grid)
            if (label == e.label) found << QString("%1%2,%3").arg(e.label).arg(e.column).arg(e.row);
    }
    QCOMPARE(found, wanted);
}

void RegisterViewTest::gridUpAndDown_data() {
    QTest::addColumn<DeviceKind>("kind");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("digit");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("to"); // empty: nowhere to go
    QTest::newRow("ACC down") << DeviceKind::AT89C52 << "ACC:" << 0 << 1 << "PSW:";
    QTest::newRow("TMOD down") << DeviceKind::AT89C52 << "TMOD:" << 1 << 1 << "TCON:";
    QTest::newRow("B up: top row") << DeviceKind::AT89C52 << "B:" << 0 << -1 << "";
    QTest::newRow("SP down: nearest value") << DeviceKind::AT89C52 << "SP:" << 0 << 1 << "TL2:";
    QTest::newRow("R7 down: bottom row") << DeviceKind::AT89C52 << "R7:" << 0 << 1 << "";
    QTest::newRow("PC up") << DeviceKind::AT89S8252 << "PC:" << 3 << -1 << "R6:";
    QTest::newRow("DPTR1 up") << DeviceKind::AT89S8252 << "DPTR1:" << 2 << -1 << "DPTR0:";
    QTest::newRow("R7 up") << DeviceKind::I8031 << "R7:" << 0 << -1 << "R6:";
    QTest::newRow("IP up") << DeviceKind::AT89C1051 << "IP :" << 0 << -1 << "TL0:";
}

void RegisterViewTest::gridUpAndDown() {
    QFETCH(DeviceKind, kind);
    QFETCH(QString, from);
    QFETCH(int, digit);
    QFETCH(int, direction);
    QFETCH(QString, to);
    const auto grid = registerLayout(kind, RegisterLayout::Grid);
    const auto start = std::find_if(grid.begin(), grid.end(),
                                    [&](const RegisterEntry& e) { return from == e.label; });
    QVERIFY(start != grid.end());
    const int next =
        gridNeighbour(grid, int(start - grid.begin()), gridValueColumn(*start) + digit, direction);
    QCOMPARE(next < 0 ? QString() : QString(grid[size_t(next)].label), to);
}

// ------------------------------------------------------------ the window

void RegisterViewTest::stepShowsChangesInRed() {
    startFrame();
    loadProgram();
    RegisterView* view = openView();
    QCOMPARE(view->objectName(), QString("MdiRegisterChild"));
    QCOMPARE(view->windowTitle(), QString("Registers"));
    QCOMPARE(view->layout(), RegisterLayout::LongList);
    QCOMPARE(view->clearViewGeometry(QSize(1000, 600)), QRect(353, 0, 223, 300));
    const int acc = view->entryIndex(u"Accumulator");
    const int pc = view->entryIndex(u"Program Counter");
    const int sp = view->entryIndex(u"Stack Pointer");
    const int b = view->entryIndex(u"B Register");
    QCOMPARE(view->valueText(acc), QString("00"));
    QCOMPARE(view->valueText(sp), QString("07"));
    QVERIFY(!view->valueChanged(acc) && !view->valueChanged(sp));

    frame_->dispatch(id::SingleStep); // MOV A,#05
    QCOMPARE(view->valueText(acc), QString("05"));
    QVERIFY(view->valueChanged(acc));
    QCOMPARE(view->valueText(pc), QString("0002"));
    QVERIFY(view->valueChanged(pc));
    QVERIFY(!view->valueChanged(b));

    frame_->dispatch(id::SingleStep); // LCALL 0010: ACC stays, SP grows by 2
    QCOMPARE(view->valueText(acc), QString("05"));
    QVERIFY(!view->valueChanged(acc));
    QCOMPARE(view->valueText(sp), QString("09"));
    QVERIFY(view->valueChanged(sp));
    QCOMPARE(view->valueText(pc), QString("0010"));

    // As painted: red in SP's value cell, none in ACC's; the caret inverts
    // the digit under it.
    frame_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    QTest::mouseClick(view, Qt::LeftButton, {}, view->digitPoint(sp, 1));
    QVERIFY(view->hasFocus());
    const QImage image = view->grab().toImage();
    auto count = [&](int entry, int digit, auto isColour) {
        const QPoint centre = view->digitPoint(entry, digit);
        const QRect cell(centre.x() - view->charWidth() / 2, centre.y() - view->lineHeight() / 2,
                         view->charWidth(), view->lineHeight());
        int n = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                n += isColour(QColor(image.pixel(x, y)));
        return n;
    };
    const auto red = [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
    const auto black = [](QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; };
    QVERIFY(count(sp, 0, red) > 0);
    QCOMPARE(count(acc, 0, red), 0);
    QVERIFY(count(acc, 0, black) > 0);
    QVERIFY(count(sp, 1, red) > view->charWidth() * view->lineHeight() / 2); // the caret's block

    const QByteArray shot = qgetenv("QUORVEL_REGISTER_SCREENSHOT");
    if (!shot.isEmpty()) QVERIFY(image.save(QString::fromLocal8Bit(shot)));
}

void RegisterViewTest::typingWritesRegisters_data() {
    QTest::addColumn<QString>("label"); // the first entry whose label starts so
    QTest::addColumn<int>("offset");    // entries after it
    QTest::addColumn<int>("digit");     // where the caret is put
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("address"); // SFR or RAM byte checked; -1 the pair below
    QTest::addColumn<int>("expected");

    QTest::newRow("ACC 00 to 05") << "Accumulator" << 0 << 0 << "05"
                                  << "05" << 0xE0 << 0x05;
    QTest::newRow("other keys are ignored") << "Accumulator" << 0 << 0 << "g x5"
                                            << "50" << 0xE0 << 0x50;
    QTest::newRow("low nibble only") << "B Register" << 0 << 1 << "c"
                                     << "0C" << 0xF0 << 0x0C;
    QTest::newRow("port latch") << "Port 1" << 0 << 1 << "0"
                                << "F0" << 0x90 << 0xF0;
    QTest::newRow("DPTR high byte") << "Data Pointer" << 0 << 0 << "12"
                                    << "1200" << 0x83 << 0x12;
    QTest::newRow("DPTR low byte") << "Data Pointer" << 0 << 2 << "a4"
                                   << "00A4" << 0x82 << 0xA4;
    QTest::newRow("RCAP2 low byte") << "Timer/Counter2 Capture" << 0 << 2 << "7"
                                    << "0070" << 0xCA << 0x70;
    QTest::newRow("R3 of bank 2") << "Bank 2:-" << 4 << 0 << "3C"
                                  << "3C" << 0x13 << 0x3C;
    QTest::newRow("timer 0 high") << "Timer/Counter0-High" << 0 << 0 << "FF"
                                  << "FF" << 0x8C << 0xFF;
}

// A digit replaces the nibble under the caret and is written at once; the
// edited value is not shown as changed.
void RegisterViewTest::typingWritesRegisters() {
    QFETCH(QString, label);
    QFETCH(int, offset);
    QFETCH(int, digit);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, address);
    QFETCH(int, expected);
    startFrame();
    RegisterView* view = openView();
    const int entry = view->entryIndex(label) + offset;
    type(view, entry, digit, keys);
    QCOMPARE(view->valueText(entry), shown);
    QVERIFY(!view->valueChanged(entry));
    const ChipState& chip = frame_->machine().chip;
    QCOMPARE(int(address < 0x80 ? chip.iram[size_t(address)] : chip.sfr(uint8_t(address))),
             expected);
}

void RegisterViewTest::pswAndAccEditsKeepParityAndBank() {
    startFrame();
    RegisterView* view = openView();
    const int acc = view->entryIndex(u"Accumulator");
    const int psw = view->entryIndex(u"Program Status Word");
    const ChipState& chip = frame_->machine().chip;

    // A typed P gives way to A's parity; the bank shows in the status bar.
    type(view, psw, 0, "19");
    QCOMPARE(int(chip.psw()), 0x18);
    QCOMPARE(view->valueText(psw), QString("18"));
    QVERIFY(!view->valueChanged(psw));
    QCOMPARE(frame_->statusText(1), QString("RB3"));

    // Three bits set in A: odd parity sets P, so PSW is now changed.
    type(view, acc, 0, "07");
    QCOMPARE(int(chip.acc()), 0x07);
    QCOMPARE(int(chip.psw()), 0x19);
    QCOMPARE(view->valueText(psw), QString("19"));
    QVERIFY(view->valueChanged(psw));
    QVERIFY(!view->valueChanged(acc));
}

void RegisterViewTest::caretMovesBetweenFields() {
    startFrame();
    RegisterView* view = openView();
    const int pc = view->entryIndex(u"Program Counter");
    const int b = view->entryIndex(u"B Register");
    const int sp = view->entryIndex(u"Stack Pointer");
    const int dptr = view->entryIndex(u"Data Pointer");
    const int acc = view->entryIndex(u"Accumulator");

    // "7F" at the start of SP: SP is 7F and the caret is past the field.
    type(view, sp, 0, "7F");
    QCOMPARE(int(frame_->machine().chip.sfr(sfr::SP)), 0x7F);
    QCOMPARE(view->caretEntry(), dptr);
    QCOMPARE(view->caretDigit(), 0);

    const struct {
        Qt::Key key;
        int entry;
        int digit;
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

    // End: the last register, scrolled into view.
    auto* vscroll = view->findChild<QScrollBar*>("vscroll");
    QCOMPARE(vscroll->value(), 0);
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->caretEntry(), view->entryCount() - 1);
    QVERIFY(vscroll->value() > 0);
    QVERIFY(view->rect().contains(view->digitPoint(view->caretEntry(), 0)));
    QTest::keyClick(view, Qt::Key_Right); // nowhere further
    QCOMPARE(view->caretEntry(), view->entryCount() - 1);
    QCOMPARE(view->caretDigit(), 1);

    // A click off the values leaves the caret.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(view->caretEntry(), view->entryCount() - 1);
}

void RegisterViewTest::editingPcMovesProgramMark() {
    startFrame();
    loadProgram();
    frame_->dispatch(id::ProgramWindow);
    ProgramView* program = frame_->programView();
    QVERIFY(program);
    QCOMPARE(program->top(), 0);
    RegisterView* view = openView();
    const int pc = view->entryIndex(u"Program Counter");
    type(view, pc, 0, "0100");
    QCOMPARE(frame_->runControl().currentAddress(), 0x0100);
    QCOMPARE(frame_->machine().chip.pc, 0x0100);
    QCOMPARE(view->valueText(pc), QString("0100"));
    QVERIFY(!view->valueChanged(pc));
    // The program window follows: 0100 is now on its first row.
    QCOMPARE(program->top(), 0x0100);
    QVERIFY2(program->rowText(1).startsWith("  0100"), qPrintable(program->rowText(1)));
    // And the next step starts there.
    frame_->dispatch(id::SingleStep);
    QCOMPARE(frame_->runControl().currentAddress(), 0x0101); // FF: MOV R7,A
}

void RegisterViewTest::sconEditIsReported() {
    startFrame();
    SconRecorder recorder;
    frame_->machine().chip.events = &recorder;
    RegisterView* view = openView();
    type(view, view->entryIndex(u"Timer/Counter Control"), 0, "5");
    QCOMPARE(recorder.scon, 0);
    type(view, view->entryIndex(u"Serial Control"), 0, "50");
    QCOMPARE(recorder.scon, 2); // one per digit
    QCOMPARE(int(frame_->machine().chip.sfr(sfr::SCON)), 0x50);
    frame_->machine().chip.events = nullptr;
}

// The grid's R0-R7 are the current bank's: an edit goes to the bank PSW
// selects, and the snapshot keeps it.
void RegisterViewTest::bankRegisterFollowsPsw() {
    ChipState chip;
    ChangeSnapshot snapshot;
    snapshot.iram.assign(128, 0);
    chip.sfr(sfr::PSW) = 0x10;
    writeRegister(chip, snapshot, bankRegister(5), 0xA5);
    QCOMPARE(int(chip.iram[0x15]), 0xA5);
    QCOMPARE(int(snapshot.iram[0x15]), 0xA5);
    QCOMPARE(int(chip.iram[0x05]), 0);
    QCOMPARE(int(registerValue(registerImage(chip), bankRegister(5))), 0xA5);
    QCOMPARE(int(registerValue(registerImage(chip), ramRegister(0x15))), 0xA5);
}

void RegisterViewTest::shortLabelsBelow48Characters() {
    startFrame("Atmel 89S8252");
    RegisterView* view = openView();
    auto* window = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    const int scrollWidth = view->findChild<QScrollBar*>("vscroll")->width();
    const int frameWidth = window->width() - view->width();
    auto setClientColumns = [&](int columns) {
        window->resize(columns * view->charWidth() + scrollWidth + frameWidth, window->height());
        QTest::qWait(1);
    };
    setClientColumns(48);
    QCOMPARE(view->layout(), RegisterLayout::LongList);
    const int wmcon = view->entryIndex(u"Watchdog & Memory");
    type(view, wmcon, 1, "3");
    QTest::keyClick(view, Qt::Key_Left); // back onto WMCON's last digit
    QCOMPARE(view->caretEntry(), wmcon);

    setClientColumns(47);
    QCOMPARE(view->layout(), RegisterLayout::ShortList);
    QCOMPARE(view->entry(0).label, "Special Function Registers: ");
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
