// The LCD window and its settings dialogs as a user works them: wiring a
// 4-bit LCD through the port-line dialog and running a program that defines
// its own character, the demonstration program on a back-lit 4 x 20 display,
// the painter's dots, cursor and blink at two pixel ratios, and the dialogs'
// Cancel and OK. With QUORVEL_SCREENSHOT_DIR set, the window running the
// demonstration is saved there as lcd_window.png.
#include "modules/lcd_controller.h"
#include "settings/module_settings_file.h"
#include "shell/modules/lcd_painter.h"
#include "shell/modules/lcd_window.h"
#include "shell_test_support.h"
#include "tools/line_assembler.h"

#include <QCheckBox>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QtTest>

#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

// Picks `line` ("P1.4") for control line `entry` in the port-line dialog.
void assignLine(QDialog* dialog, int entry, const char* line) {
    auto* control = child<QComboBox>(dialog, "controlLine");
    auto* port = child<QComboBox>(dialog, "portLine");
    control->setCurrentIndex(entry);
    const int choice = port->findText(line);
    if (choice < 0) qFatal("no port line %s", line);
    port->setCurrentIndex(choice);
    emit port->activated(choice);
}

// Runs "LCD Module Setting", lets `work` set its controls, then presses
// `button` ("ok" or "cancel").
void settingDialog(Frame& frame, std::function<void(QDialog*)> work, const char* button) {
    onNextModal([work, button](QDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QString("LCD Module Setting"));
        work(dialog);
        child<QPushButton>(dialog, button)->click();
    });
    frame.dispatch(id::LcdSetting);
}

// Opens "Port Line Selection" from the settings dialog and works it.
void portLines(QDialog* setting, std::function<void(QDialog*)> work, const char* button) {
    onNextModal([work, button](QDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QString("LCD Module - Port Line Selection"));
        work(dialog);
        child<QPushButton>(dialog, button)->click();
    });
    child<QPushButton>(setting, "portLineSelection")->click();
}

std::string rowOf(const LcdPicture& picture, int row, int columns) {
    const auto& cells = picture.cells[size_t(row)];
    return std::string(cells.begin(), cells.begin() + columns);
}

// Assembles `lines` one after another from `address` into program memory.
uint16_t assemble(StartedFrame& s, uint16_t address, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const AssembledInstruction code = assembleLine(line, address);
        if (code.result != AssembleResult::Success) qFatal("cannot assemble %s", line.c_str());
        for (int i = 0; i < code.length; ++i) s.chip().writeCode(address++, code.bytes[size_t(i)]);
    }
    return address;
}

// The painter's picture as an image, `ratio` device pixels a pixel.
QImage render(const LcdPicture& picture, bool phase, qreal ratio = 1) {
    const QSize size = lcdClientSize(picture.options);
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    paintLcd(painter, picture, phase);
    return image;
}

// Which dots of a cell show lit in `image`, as rows of five bits.
LcdGlyph litDots(const QImage& image, int row, int column, bool backLight) {
    const QColor lit = lcdColours(backLight).litDot;
    LcdGlyph dots{};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 5; ++c)
            if (image.pixelColor(lcdDotCentre(row, column, r, c)) == lit)
                dots[size_t(r)] |= uint8_t(1u << (4 - c));
    return dots;
}

} // namespace

class LcdTest : public QObject {
    Q_OBJECT
private slots:
    void fourBitWiringAndAUserDefinedCharacter();
    void demonstrationOnABackLitDisplay();
    void cursorBlinkAndPixelRatios();
    void settingsCancelRestoresAndOkResizes();
};

// RS, R/W, E on P1.0-P1.2 and D4-D7 on P1.4-P1.7, chosen in the dialogs; a
// program sends every byte as two nibbles, defines character 0 as a heart
// and writes "Hi" and the character by its code and its alias.
void LcdTest::fourBitWiringAndAUserDefinedCharacter() {
    StartedFrame s;
    settingDialog(s.frame, [](QDialog* dialog) {
        child<QComboBox>(dialog, "size")->setCurrentIndex(1);
        child<QRadioButton>(dialog, "fourBits")->setChecked(true);
        portLines(dialog, [](QDialog* lines) {
            auto* control = child<QComboBox>(lines, "controlLine");
            QCOMPARE(control->count(), 7); // RS, R/W, E, D4-D7
            QCOMPARE(control->itemText(3), QString("D4 "));
            const char* wiring[] = {"P1.0", "P1.1", "P1.2", "P1.4", "P1.5", "P1.6", "P1.7"};
            for (int entry = 0; entry < 7; ++entry) assignLine(lines, entry, wiring[entry]);
            QVERIFY(child<QPlainTextEdit>(lines, "summary")->toPlainText().startsWith(
                "RS  - P1.0\nR/W - P1.1\nE   - P1.2\nD4  - P1.4\n"));
        }, "ok");
    }, "ok");
    const ModuleSettings& settings = s.frame.machine().modules.settings;
    QCOMPARE(settings.LcdOptions, uint8_t(kLcdFourBit | 1));
    QCOMPARE(settings.LcdPins[kLcdE], PinRef(0x12));
    QCOMPARE(settings.LcdPins[kLcdD0 + 7], PinRef(0x17));

    const uint8_t heart[8] = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
    std::vector<std::string> program;
    auto send = [&](bool data, uint8_t byte) {
        for (uint8_t nibble : {uint8_t(byte & 0xF0), uint8_t(byte << 4)}) {
            const uint8_t rs = data ? 0x01 : 0x00;
            program.push_back(QString::asprintf("MOV P1,#%02X", nibble | rs | 0x04).toStdString());
            program.push_back(QString::asprintf("MOV P1,#%02X", nibble | rs).toStdString());
        }
        program.push_back("LCALL 0800");
    };
    for (int command : {0x28, 0x0C, 0x06, 0x01, 0x40}) send(false, uint8_t(command));
    for (uint8_t row : heart) send(true, row);
    send(false, 0x80);
    for (int code : {int('H'), int('i'), 0x00, 0x08}) send(true, uint8_t(code));
    const uint16_t end = assemble(s, 0x0000, program);
    assemble(s, end, {QString::asprintf("SJMP %04X", end).toStdString()});
    // About 2 ms, longer than the clear display's busy time.
    QVERIFY(end < 0x0800);
    assemble(s, 0x0800, {"MOV R6,#04", "MOV R7,#00", "DJNZ R7,0804", "DJNZ R6,0802", "RET"});

    auto* window = s.open<LcdWindow>(id::LcdWindow);
    QCOMPARE(window->parentWidget()->windowTitle(), QString("LCD - 2 Lines X 16 Characters"));
    s.frame.dispatch(id::Go);
    QTRY_COMPARE(rowOf(window->picture(), 0, 4), std::string("Hi\0\0", 4));
    s.frame.dispatch(id::StopExecution);
    QCOMPARE(s.frame.machine().modules.lcd.addressCounter, uint8_t(4));

    // The character is drawn from its eight rows, for the code and its alias;
    // the window shows what the painter draws.
    const QImage shown = window->grab().toImage();
    for (int column : {2, 3}) {
        const LcdGlyph dots = litDots(shown, 0, column, false);
        QCOMPARE(dots, (LcdGlyph{heart[0], heart[1], heart[2], heart[3], heart[4], heart[5],
                                 heart[6], heart[7]}));
    }
    QCOMPARE(litDots(shown, 0, 0, false), lcdRomGlyph('H'));
    QCOMPARE(litDots(shown, 0, 4, false), LcdGlyph{}); // blank cell, unlit dots only
}

// Demo 3 with its module settings and the back light switched on in the
// dialog: the four rows of its message, read from the window.
void LcdTest::demonstrationOnABackLitDisplay() {
    StartedFrame s;
    s.loadDemo("Demo3");
    auto* window = s.open<LcdWindow>(id::LcdWindow);
    QCOMPARE(window->parentWidget()->windowTitle(), QString("LCD - 4 Lines X 20 Characters"));
    settingDialog(s.frame, [](QDialog* dialog) {
        QCOMPARE(child<QComboBox>(dialog, "size")->currentIndex(), 3);
        child<QCheckBox>(dialog, "backLight")->setChecked(true);
    }, "ok");
    QVERIFY(window->picture().options & kLcdBackLight);

    s.frame.dispatch(id::Go);
    const std::vector<std::string> expected{"  Quorvel Simulator ", " 8051 Family Demo 3 ",
                                            "4 Lines X 20 Chars  ", "LCD Module Message  "};
    QTRY_COMPARE(rowOf(window->picture(), 3, 20), expected[3]);
    for (int row = 0; row < 4; ++row) QCOMPARE(rowOf(window->picture(), row, 20), expected[size_t(row)]);
    QCoreApplication::processEvents();
    const QImage shown = window->grab().toImage();
    QCOMPARE(shown.pixelColor(2, 2), lcdColours(true).background);
    QCOMPARE(litDots(shown, 0, 2, true), lcdRomGlyph('Q'));
    QVERIFY(saveScreenshot(window->parentWidget(), "lcd_window.png"));
    s.frame.dispatch(id::StopExecution);
}

// The cursor is the lit eighth row of its cell; with blink the cell turns
// into the full block every other phase. At twice the pixel density each dot
// is a solid 6 x 6 square with unlit gaps beside it.
void LcdTest::cursorBlinkAndPixelRatios() {
    LcdController lcd;
    lcd.displayMemory.fill(0x20);
    lcd.displayMemory[1] = 'A';
    lcd.addressCounter = 1;
    lcd.LcdDisplayFlags = kLcdDisplayOn | kLcdCursor | kLcdBlink;
    LcdPicture picture = lcdPicture(lcd, 0);
    LcdGlyph underlined = lcdRomGlyph('A');
    underlined[7] = 0x1F;
    QCOMPARE(litDots(render(picture, false), 0, 1, false), underlined);
    QCOMPARE(litDots(render(picture, true), 0, 1, false), lcdRomGlyph(0xFF));
    picture.blink = false;
    QCOMPARE(litDots(render(picture, true), 0, 1, false), underlined);
    picture.cursor = false;
    QCOMPARE(litDots(render(picture, true), 0, 1, false), lcdRomGlyph('A'));

    const QImage fine = render(picture, false, 2);
    const QColor lit = lcdColours(false).litDot;
    const QPoint dot = lcdCellOrigin(0, 1) * 2 +
                       QPoint(kLcdDotLeft + 2 * kLcdDotPitch, kLcdDotTop) * 2; // top of 'A'
    for (int y = 0; y < 2 * kLcdDotSize; ++y)
        for (int x = 0; x < 2 * kLcdDotSize; ++x) QCOMPARE(fine.pixelColor(dot + QPoint(x, y)), lit);
    QVERIFY(fine.pixelColor(dot + QPoint(2 * kLcdDotSize, 0)) != lit);
    QVERIFY(fine.pixelColor(dot + QPoint(-1, 0)) != lit);

    // Display off: no characters, no cursor.
    lcd.LcdDisplayFlags = kLcdCursor | kLcdBlink;
    QCOMPARE(litDots(render(lcdPicture(lcd, 0), true), 0, 1, false), LcdGlyph{});
}

// Cancel keeps the options and puts back the lines changed in a cancelled
// port-line dialog; OK with the window open resizes and retitles it and
// resets the controller's flags, keeping its memory.
void LcdTest::settingsCancelRestoresAndOkResizes() {
    StartedFrame s;
    ModuleSettings& settings = s.frame.machine().modules.settings;
    settings.LcdPins = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x20, 0x21, 0x2D};
    auto* window = s.open<LcdWindow>(id::LcdWindow);
    auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    QCOMPARE(settings.LcdPins[10], PinRef(0x25)); // cleaned when the window opened
    QCOMPARE(sub->windowTitle(), QString("LCD - 1 Line X 16 Characters"));
    QCOMPARE(window->size(), QSize(420, 57));
    QVERIFY(!(sub->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(sub->minimumSize(), sub->maximumSize());
    const auto pins = settings.LcdPins;

    settingDialog(s.frame, [](QDialog* dialog) {
        child<QComboBox>(dialog, "size")->setCurrentIndex(3);
        child<QRadioButton>(dialog, "fourBits")->setChecked(true);
        child<QCheckBox>(dialog, "backLight")->setChecked(true);
        portLines(dialog, [](QDialog* lines) { assignLine(lines, 0, "P2.3"); }, "cancel");
    }, "cancel");
    QCOMPARE(settings.LcdOptions, uint8_t(0));
    QCOMPARE(settings.LcdPins, pins);
    QCOMPARE(sub->windowTitle(), QString("LCD - 1 Line X 16 Characters"));

    {
        auto guard = s.frame.runControl().pause();
        s.frame.machine().modules.lcd.LcdDisplayFlags = kLcdDisplayOn | kLcdCursor;
        s.frame.machine().modules.lcd.LcdFunctionFlags = kLcdTwoLines;
        s.frame.machine().modules.lcd.displayMemory[0] = 'Z';
    }
    settingDialog(s.frame, [](QDialog* dialog) {
        child<QComboBox>(dialog, "size")->setCurrentIndex(2);
        portLines(dialog, [](QDialog* lines) { assignLine(lines, 2, "P3.4"); }, "ok");
    }, "ok");
    QCOMPARE(settings.LcdOptions, uint8_t(2));
    QCOMPARE(settings.LcdPins[kLcdE], PinRef(0x34));
    QCOMPARE(sub->windowTitle(), QString("LCD - 4 Lines X 16 Characters"));
    QCOMPARE(window->size(), QSize(420, 168));
    QCOMPARE(sub->minimumSize(), sub->maximumSize());
    const LcdController& lcd = s.frame.machine().modules.lcd;
    QCOMPARE(lcd.LcdDisplayFlags, kLcdIncrement);
    QCOMPARE(lcd.LcdFunctionFlags, kLcdEightBit);
    QCOMPARE(lcd.displayMemory[0], uint8_t('Z'));
}

QTEST_MAIN(LcdTest)
#include "lcd_test.moc"
