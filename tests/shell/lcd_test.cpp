// The LCD window and its settings dialogs as a user works them: the
// port-line dialog's wiring with Cancel and OK, the demonstration program on
// a back-lit 4 x 20 display, and the painter's user-defined characters,
// cursor and blink at two pixel ratios. With QUORVEL_SCREENSHOT_DIR set, the
// window running the demonstration is saved there as lcd_window.png.
#include "modules/lcd_controller.h"
#include "shell/modules/lcd_painter.h"
#include "shell/modules/lcd_window.h"
#include "shell_test_support.h"

#include <QCheckBox>
#include <QMdiSubWindow>
#include <QPainter>
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
        work(dialog);
        child<QPushButton>(dialog, button)->click();
    });
    frame.dispatch(id::LcdSetting);
}

// Opens "Port Line Selection" from the settings dialog and works it.
void portLines(QDialog* setting, std::function<void(QDialog*)> work, const char* button) {
    onNextModal([work, button](QDialog* dialog) {
        work(dialog);
        child<QPushButton>(dialog, button)->click();
    });
    child<QPushButton>(setting, "portLineSelection")->click();
}

std::string rowOf(const LcdPicture& picture, int row, int columns) {
    const auto& cells = picture.cells[size_t(row)];
    return std::string(cells.begin(), cells.begin() + columns);
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
    void settingsCancelRestoresAndOkWiresAndResizes();
    void demonstrationOnABackLitDisplay();
    void userCharactersCursorBlinkAndPixelRatios();
};

// Cancel keeps the options and puts back the lines changed in a cancelled
// port-line dialog; OK with the window open takes a 4-bit wiring on P1,
// resizes and retitles the window and resets the controller's flags,
// keeping its memory.
void LcdTest::settingsCancelRestoresAndOkWiresAndResizes() {
    StartedFrame s;
    ModuleSettings& settings = s.frame.machine().modules.settings;
    settings.LcdPins = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x20, 0x21, 0x2D};
    auto* window = s.open<LcdWindow>(id::LcdWindow);
    auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    QCOMPARE(settings.LcdPins[10], PinRef(0x25)); // cleaned when the window opened
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
    // RS, R/W, E on P1.0-P1.2 and D4-D7 on P1.4-P1.7.
    settingDialog(s.frame, [](QDialog* dialog) {
        child<QComboBox>(dialog, "size")->setCurrentIndex(2);
        child<QRadioButton>(dialog, "fourBits")->setChecked(true);
        portLines(dialog, [](QDialog* lines) {
            const char* wiring[] = {"P1.0", "P1.1", "P1.2", "P1.4", "P1.5", "P1.6", "P1.7"};
            for (int entry = 0; entry < 7; ++entry) assignLine(lines, entry, wiring[entry]);
        }, "ok");
    }, "ok");
    QCOMPARE(settings.LcdOptions, uint8_t(kLcdFourBit | 2));
    QCOMPARE(settings.LcdPins[kLcdE], PinRef(0x12));
    QCOMPARE(settings.LcdPins[kLcdD0 + 7], PinRef(0x17));
    QCOMPARE(sub->windowTitle(), QString("LCD - 4 Lines X 16 Characters"));
    QCOMPARE(window->size(), QSize(420, 168));
    QCOMPARE(sub->minimumSize(), sub->maximumSize());
    const LcdController& lcd = s.frame.machine().modules.lcd;
    QCOMPARE(lcd.LcdDisplayFlags, kLcdIncrement);
    QCOMPARE(lcd.LcdFunctionFlags, kLcdEightBit);
    QCOMPARE(lcd.displayMemory[0], uint8_t('Z'));
}

// Demo 3 with its module settings and the back light switched on in the
// dialog: the four rows of its message, read from the window.
void LcdTest::demonstrationOnABackLitDisplay() {
    StartedFrame s;
    s.loadDemo("Demo3");
    auto* window = s.open<LcdWindow>(id::LcdWindow);
    settingDialog(s.frame, [](QDialog* dialog) {
        QCOMPARE(child<QComboBox>(dialog, "size")->currentIndex(), 3);
        child<QCheckBox>(dialog, "backLight")->setChecked(true);
    }, "ok");

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

// A user-defined character is drawn from its eight rows, for its code and
// its alias. The cursor is the lit eighth row of its cell; with blink the
// cell turns into the full block every other phase. At twice the pixel
// density each dot is a solid 6 x 6 square with unlit gaps beside it.
void LcdTest::userCharactersCursorBlinkAndPixelRatios() {
    const LcdGlyph heart{0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
    LcdController lcd;
    lcd.displayMemory.fill(0x20);
    lcd.displayMemory[0] = 0x00;
    lcd.displayMemory[1] = 'A';
    lcd.displayMemory[2] = 0x08;
    std::copy(heart.begin(), heart.end(), lcd.cgMemory.begin());
    lcd.addressCounter = 1;
    lcd.LcdDisplayFlags = kLcdDisplayOn | kLcdCursor | kLcdBlink;
    LcdPicture picture = lcdPicture(lcd, 0);
    QCOMPARE(litDots(render(picture, true), 0, 0, false), heart);
    QCOMPARE(litDots(render(picture, true), 0, 2, false), heart);
    QCOMPARE(litDots(render(picture, true), 0, 3, false), LcdGlyph{}); // blank cell

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

QTEST_MAIN(LcdTest)
#include "lcd_test.moc"
